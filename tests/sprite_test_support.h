// Helpers for the tests of pictures, glyphs and sprite passes: pictures made
// in memory and written as files, the sprite draws read back from a recording
// device's calls with their transforms, and a device that notes the order of
// its uploads.
#pragma once

#include <array>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "core/recording_device.h"
#include "tests/test_support.h"

// Every texel the same colour, given as 0xRRGGBBAA.
Picture solidPicture(int width, int height, std::uint32_t rgba);
// Every byte, alpha too, from a fixed pseudo-random sequence: hard to compress, easy to compare.
Picture noisePicture(int width, int height);
// Red top-left, green top-right, blue bottom-left and a fully transparent bottom-right quarter.
Picture quarteredPicture(int width, int height);
void writePicture(const std::filesystem::path& path, const Picture& picture);
std::array<int, 4> texelAt(const std::vector<std::uint8_t>& rgba, int width, int x, int y);

struct PlacedSprite : SpriteDrawCall {
    D3DXMATRIX transform;  // the one set last before the draw
};
std::vector<PlacedSprite> placedSprites(std::span<const DeviceCall> calls);

// Where a sprite's texel lands on the screen.
D3DXVECTOR3 placeTexel(const PlacedSprite& sprite, float x, float y);

// A device that only notes the names of the textures it is asked to create, in order.
class UploadLog final : public SilentDevice {
public:
    const std::vector<std::string>& uploads() const { return uploads_; }

    const Texture* CreateTexture(const Picture& picture, std::string_view name) override
    {
        uploads_.emplace_back(name);
        return SilentDevice::CreateTexture(picture, name);
    }

private:
    std::vector<std::string> uploads_;
};
