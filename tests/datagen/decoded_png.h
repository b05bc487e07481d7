// Reads a PNG the generator wrote back into straight 8-bit RGBA, for checks on
// what the show will actually load.
#pragma once

#include <png.h>

#include <cstdint>
#include <vector>

struct DecodedPng {
    int width = 0;
    int height = 0;
    bool isRgba8 = false;  // stored as 8-bit RGBA, as the show's pictures must be
    std::vector<std::uint8_t> rgba;

    std::uint8_t alpha(int x, int y) const { return rgba[(static_cast<std::size_t>(y) * width + x) * 4 + 3]; }
};

inline DecodedPng decodePng(const std::vector<std::uint8_t>& bytes)
{
    DecodedPng result;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        return result;
    result.isRgba8 = image.format == PNG_FORMAT_RGBA;
    image.format = PNG_FORMAT_RGBA;
    result.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, result.rgba.data(), 0, nullptr))
        return DecodedPng{};
    result.width = static_cast<int>(image.width);
    result.height = static_cast<int>(image.height);
    return result;
}
