#include "png_encoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/picture_decoder.h"

namespace {

// Every byte different from its neighbours, as in the show's dithered pictures.
std::vector<std::uint8_t> noisyPixels(int width, int height)
{
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * height * 4);
    std::uint32_t state = 12345;
    for (std::uint8_t& byte : rgba) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return rgba;
}

TEST(PngEncoder, TheShowsPictureReaderGetsBackEveryTexel)
{
    const std::vector<std::uint8_t> rgba = noisyPixels(64, 32);
    Picture picture;
    std::string failure;
    ASSERT_TRUE(decodePicture(datagen::encodePng(rgba, 64, 32), picture, failure)) << failure;
    EXPECT_EQ(picture.width, 64);
    EXPECT_EQ(picture.height, 32);
    EXPECT_EQ(picture.rgba, rgba);
}

}  // namespace
