#include "tools/capture/png_file.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

bool writePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba, std::string& error)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    const std::string partial = path + ".partial";
    if (!png_image_write_to_file(&image, partial.c_str(), 0, rgba.data(), 0, nullptr)) {
        error = "cannot write " + path + ": " + image.message;
        std::remove(partial.c_str());
        return false;
    }
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        std::remove(partial.c_str());
        return false;
    }
    return true;
}
