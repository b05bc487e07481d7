#include "png_encoder.h"

#include <png.h>

#include <cassert>
#include <stdexcept>
#include <string>

namespace datagen {

namespace {

void appendToVector(png_structp png, png_bytep data, png_size_t size)
{
    auto* bytes = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    bytes->insert(bytes->end(), data, data + size);
}

void flushNothing(png_structp) {}

[[noreturn]] void throwPngError(png_structp, png_const_charp message)
{
    throw std::runtime_error(std::string("PNG encoding failed: ") + message);
}

}  // namespace

std::vector<std::uint8_t> encodePng(const std::vector<std::uint8_t>& rgba, int width, int height, int compressionLevel)
{
    assert(rgba.size() == static_cast<std::size_t>(width) * height * 4 && "pixel buffer does not match the size");
    std::vector<std::uint8_t> bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, throwPngError, nullptr);
    if (png == nullptr)
        throw std::runtime_error("PNG encoding failed: out of memory");
    png_infop info = png_create_info_struct(png);
    struct Release {
        png_structp& png;
        png_infop& info;
        ~Release() { png_destroy_write_struct(&png, &info); }
    } release{png, info};
    if (info == nullptr)
        throw std::runtime_error("PNG encoding failed: out of memory");

    png_set_write_fn(png, &bytes, appendToVector, flushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGBA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, compressionLevel);
    // One fixed filter: adaptive filtering costs several passes a row for little gain on dithered pictures.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        png_write_row(png, rgba.data() + static_cast<std::size_t>(y) * width * 4);
    }
    png_write_end(png, info);
    return bytes;
}

}  // namespace datagen
