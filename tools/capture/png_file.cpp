#include "tools/capture/png_file.h"

#include <png.h>
#include <zlib.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

struct PngFailure {
    char message[256] = "";
    int systemError = 0;  // errno of a failed write, which libpng reports only as "Write Error"
};

extern "C" void recordPngError(png_structp png, png_const_charp message)
{
    auto* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
    std::snprintf(failure->message, sizeof failure->message, "%s", message);
    png_longjmp(png, 1);
}

extern "C" void writePngBytes(png_structp png, png_bytep bytes, std::size_t size)
{
    if (std::fwrite(bytes, 1, size, static_cast<std::FILE*>(png_get_io_ptr(png))) != size) {
        static_cast<PngFailure*>(png_get_error_ptr(png))->systemError = errno;
        png_error(png, std::strerror(errno));
    }
}

extern "C" void flushPngBytes(png_structp) {}

std::string cannotWrite(const std::string& path, int systemError)
{
    if (systemError == ENOSPC) {
        const std::filesystem::path folder = std::filesystem::absolute(path).parent_path();
        return "cannot write " + path + ": the disk holding " + folder.string() +
               " is full (ENOSPC); free some space there or export to another disk";
    }
    return "cannot write " + path + ": " + std::strerror(systemError);
}

extern "C" void ignorePngWarning(png_structp, png_const_charp) {}

bool isOpaque(const std::uint8_t* rgba, std::size_t pixelCount)
{
    std::uint8_t alpha = 0xFF;
    for (std::size_t i = 0; i < pixelCount; ++i) {
        alpha &= rgba[i * 4 + 3];
    }
    return alpha == 0xFF;
}

// Exports write many frames a second, so speed comes first: the SUB filter
// with zlib's run-length matching packs the show's frames about as small as
// libpng's defaults do, at a tenth of the time. Opaque frames leave out the
// alpha channel, a quarter less to compress.
void writeImage(png_structp png, png_infop info, std::FILE* file, int width, int height, const std::uint8_t* rgba)
{
    const bool opaque = isOpaque(rgba, static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    png_set_write_fn(png, file, writePngBytes, flushPngBytes);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_compression_level(png, 1);
    png_set_compression_strategy(png, Z_RLE);
    png_write_info(png, info);
    if (opaque) {
        png_set_filler(png, 0, PNG_FILLER_AFTER);
    }
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    for (int y = 0; y < height; ++y) {
        png_write_row(png, rgba + rowBytes * static_cast<std::size_t>(y));
    }
    png_write_end(png, info);
}

// libpng reports errors by longjmp back here.
bool encodePng(std::FILE* file, int width, int height, const std::uint8_t* rgba, PngFailure& failure)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &failure, recordPngError, ignorePngWarning);
    if (!png) {
        std::snprintf(failure.message, sizeof failure.message, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    writeImage(png, info, file, width, height, rgba);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool writePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba, std::string& error)
{
    const std::string partial = path + ".partial";
    std::FILE* file = std::fopen(partial.c_str(), "wb");
    if (!file) {
        error = cannotWrite(path, errno);
        return false;
    }
    PngFailure failure;
    const bool encoded = encodePng(file, width, height, rgba.data(), failure);
    const bool closed = std::fclose(file) == 0;
    if (!encoded || !closed) {
        error = encoded || failure.systemError ? cannotWrite(path, encoded ? errno : failure.systemError)
                                               : "cannot write " + path + ": " + failure.message;
        std::remove(partial.c_str());
        return false;
    }
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
        error = cannotWrite(path, errno);
        std::remove(partial.c_str());
        return false;
    }
    return true;
}
