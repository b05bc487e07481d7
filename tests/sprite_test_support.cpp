#include "tests/sprite_test_support.h"

#include <gtest/gtest.h>

#include <variant>

#include "core/d3dx_math.h"
#include "tools/capture/png_file.h"

Picture solidPicture(int width, int height, std::uint32_t rgba)
{
    Picture picture{width, height, {}};
    for (int i = 0; i < width * height; ++i) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            picture.rgba.push_back(static_cast<std::uint8_t>(rgba >> shift));
        }
    }
    return picture;
}

Picture noisePicture(int width, int height)
{
    Picture picture{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 4)};
    std::uint32_t state = 12345;
    for (std::uint8_t& byte : picture.rgba) {
        state = state * 1664525 + 1013904223;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return picture;
}

Picture quarteredPicture(int width, int height)
{
    Picture picture{width, height, {}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2;
            const bool bottom = y >= height / 2;
            const std::uint8_t texel[4] = {
                static_cast<std::uint8_t>(!right && !bottom ? 255 : 0),
                static_cast<std::uint8_t>(right && !bottom ? 255 : 0),
                static_cast<std::uint8_t>(!right && bottom ? 255 : 0),
                static_cast<std::uint8_t>(right && bottom ? 0 : 255),
            };
            picture.rgba.insert(picture.rgba.end(), texel, texel + 4);
        }
    }
    return picture;
}

void writePicture(const std::filesystem::path& path, const Picture& picture)
{
    std::filesystem::create_directories(path.parent_path().empty() ? "." : path.parent_path());
    std::string error;
    ASSERT_TRUE(writePng(path.string(), picture.width, picture.height, picture.rgba, error)) << error;
}

std::array<int, 4> texelAt(const std::vector<std::uint8_t>& rgba, int width, int x, int y)
{
    const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 4;
    return {rgba[at], rgba[at + 1], rgba[at + 2], rgba[at + 3]};
}

std::vector<PlacedSprite> placedSprites(std::span<const DeviceCall> calls)
{
    std::vector<PlacedSprite> sprites;
    D3DXMATRIX transform = D3DXMatrixIdentity();
    for (const DeviceCall& call : calls) {
        if (const auto* setTransform = std::get_if<SpriteSetTransformCall>(&call)) {
            transform = setTransform->matrix;
        } else if (const auto* draw = std::get_if<SpriteDrawCall>(&call)) {
            sprites.push_back({*draw, transform});
        }
    }
    return sprites;
}

D3DXVECTOR3 placeTexel(const PlacedSprite& sprite, float x, float y)
{
    return D3DXVec3TransformCoord({x - sprite.centre.x, y - sprite.centre.y, -sprite.centre.z}, sprite.transform);
}
