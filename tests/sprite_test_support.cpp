#include "tests/sprite_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "app/d3dx_math.h"
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

namespace {

// The numbers of the JSON array that follows "key":[ in a recorded call.
std::vector<float> numbersAfter(const std::string& call, const std::string& key)
{
    std::vector<float> numbers;
    const std::size_t start = call.find("\"" + key + "\":[");
    if (start == std::string::npos) {
        return numbers;
    }
    const char* text = call.c_str() + start + key.size() + 4;
    while (*text != ']') {
        char* end = nullptr;
        numbers.push_back(std::strtof(text, &end));
        text = *end == ',' ? end + 1 : end;
    }
    return numbers;
}

std::string stringAfter(const std::string& call, const std::string& key)
{
    const std::size_t start = call.find("\"" + key + "\":\"") + key.size() + 4;
    return call.substr(start, call.find('"', start) - start);
}

}  // namespace

std::vector<SpriteDrawCall> spriteDraws(const std::vector<std::string>& calls)
{
    std::vector<SpriteDrawCall> draws;
    D3DXMATRIX transform = D3DXMatrixIdentity();
    for (const std::string& call : calls) {
        if (call.find("\"call\":\"SpriteSetTransform\"") != std::string::npos) {
            const std::vector<float> values = numbersAfter(call, "matrix");
            std::copy(values.begin(), values.end(), &transform.m[0][0]);
        } else if (call.find("\"call\":\"SpriteDraw\"") != std::string::npos) {
            const std::vector<float> centre = numbersAfter(call, "center");
            draws.push_back({stringAfter(call, "texture"), transform, {centre[0], centre[1], centre[2]},
                             static_cast<D3DCOLOR>(std::stoul(stringAfter(call, "color"), nullptr, 16))});
        }
    }
    return draws;
}

D3DXVECTOR3 placeTexel(const SpriteDrawCall& draw, float x, float y)
{
    return D3DXVec3TransformCoord({x - draw.centre.x, y - draw.centre.y, -draw.centre.z}, draw.transform);
}
