#include "core/texture_levels.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

// Where an output texel of a stretched side samples the source side: two
// neighbours and the weight of the second. Texel centres line up, so the
// stretch neither shifts nor crops the picture.
struct Tap {
    int first = 0;
    int second = 0;
    float secondWeight = 0;
};

std::vector<Tap> stretchTaps(int sourceSize, int stretchedSize)
{
    std::vector<Tap> taps(stretchedSize);
    const double step = static_cast<double>(sourceSize) / stretchedSize;
    for (int i = 0; i < stretchedSize; ++i) {
        const double at = std::clamp((i + 0.5) * step - 0.5, 0.0, sourceSize - 1.0);
        const int first = static_cast<int>(at);
        taps[i] = {first, std::min(first + 1, sourceSize - 1), static_cast<float>(at - first)};
    }
    return taps;
}

}  // namespace

// Bilinear with premultiplied alpha, so transparent texels lend no colour to
// their neighbours. A texel that comes out wholly transparent keeps the plain
// average colour, since texture filtering later mixes it into its neighbours.
void stretchToPowersOfTwo(Picture& picture)
{
    const int width = static_cast<int>(std::bit_ceil(static_cast<unsigned>(picture.width)));
    const int height = static_cast<int>(std::bit_ceil(static_cast<unsigned>(picture.height)));
    if (width == picture.width && height == picture.height) {
        return;
    }
    const std::vector<Tap> columns = stretchTaps(picture.width, width);
    const std::vector<Tap> rows = stretchTaps(picture.height, height);
    std::vector<std::uint8_t> stretched(static_cast<std::size_t>(width) * height * 4);
    const auto texel = [&](int x, int y) {
        return &picture.rgba[(static_cast<std::size_t>(y) * picture.width + x) * 4];
    };

    std::uint8_t* out = stretched.data();
    for (const Tap& row : rows) {
        for (const Tap& column : columns) {
            const std::uint8_t* corners[4] = {texel(column.first, row.first), texel(column.second, row.first),
                                              texel(column.first, row.second), texel(column.second, row.second)};
            const float weights[4] = {
                (1 - column.secondWeight) * (1 - row.secondWeight), column.secondWeight * (1 - row.secondWeight),
                (1 - column.secondWeight) * row.secondWeight, column.secondWeight * row.secondWeight};
            float alpha = 0;
            float premultiplied[3] = {};
            float plain[3] = {};
            for (int corner = 0; corner < 4; ++corner) {
                const float cornerAlpha = weights[corner] * corners[corner][3];
                alpha += cornerAlpha;
                for (int channel = 0; channel < 3; ++channel) {
                    premultiplied[channel] += cornerAlpha * corners[corner][channel];
                    plain[channel] += weights[corner] * corners[corner][channel];
                }
            }
            for (int channel = 0; channel < 3; ++channel) {
                const float value = alpha > 0 ? premultiplied[channel] / alpha : plain[channel];
                out[channel] = static_cast<std::uint8_t>(std::lround(std::min(value, 255.0f)));
            }
            out[3] = static_cast<std::uint8_t>(std::lround(std::min(alpha, 255.0f)));
            out += 4;
        }
    }
    picture.width = width;
    picture.height = height;
    picture.rgba = std::move(stretched);
}

void halveWithBoxFilter(const std::uint8_t* rgba, int width, int height, std::vector<std::uint8_t>& half)
{
    const int halfWidth = std::max(1, width / 2);
    const int halfHeight = std::max(1, height / 2);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    // Along a side of one texel the "second" texel of a pair is the first again.
    const std::size_t stepRight = width > 1 ? 4 : 0;
    const std::size_t stepDown = height > 1 ? rowBytes : 0;
    half.resize(static_cast<std::size_t>(halfWidth) * halfHeight * 4);
    std::uint8_t* out = half.data();
    for (int y = 0; y < halfHeight; ++y) {
        const std::uint8_t* top = rgba + 2 * y * rowBytes;
        const std::uint8_t* bottom = top + stepDown;
        for (int x = 0; x < halfWidth; ++x) {
            const std::size_t left = 8 * static_cast<std::size_t>(x);
            for (int channel = 0; channel < 4; ++channel) {
                const unsigned sum = top[left + channel] + top[left + stepRight + channel] + bottom[left + channel] +
                                     bottom[left + stepRight + channel];
                *out++ = static_cast<std::uint8_t>((sum + 2) / 4);
            }
        }
    }
}

void addMipLevels(Picture& picture)
{
    picture.mipLevels.clear();
    picture.mipLevels.reserve(std::bit_width(static_cast<unsigned>(std::max({picture.width, picture.height, 1}))) - 1);
    const std::uint8_t* source = picture.rgba.data();
    for (int width = picture.width, height = picture.height; width > 1 || height > 1;) {
        std::vector<std::uint8_t>& half = picture.mipLevels.emplace_back();
        halveWithBoxFilter(source, width, height, half);
        width = std::max(1, width / 2);
        height = std::max(1, height / 2);
        source = half.data();
    }
}
