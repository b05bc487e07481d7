#include "icon.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <limits>
#include <string>

#include "png_encoder.h"

namespace datagen {

namespace {

using Rgb = std::array<std::uint8_t, 3>;

std::vector<Rgb> opaqueColours(const Canvas& canvas)
{
    std::vector<Rgb> colours;
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            const Colour c = canvas.pixel(x, y);
            if (c.a < 0.5f)
                continue;
            colours.push_back({static_cast<std::uint8_t>(std::lround(c.r * 255.0f)),
                               static_cast<std::uint8_t>(std::lround(c.g * 255.0f)),
                               static_cast<std::uint8_t>(std::lround(c.b * 255.0f))});
        }
    }
    return colours;
}

// Median cut: split the box of colours with the widest channel at its median
// until there are `paletteSize` boxes, then take each box's mean. The icon is
// a few flat colours and their edges, so even 16 entries hold it well.
std::vector<Rgb> medianCutPalette(std::vector<Rgb> colours, std::size_t paletteSize)
{
    using Box = std::pair<std::size_t, std::size_t>;  // [first, last) in `colours`
    auto widestChannel = [&](const Box& box, int& channel) {
        int widest = 0;
        for (int c = 0; c < 3; ++c) {
            auto [low, high] = std::minmax_element(colours.begin() + box.first, colours.begin() + box.second,
                                                   [c](const Rgb& a, const Rgb& b) { return a[c] < b[c]; });
            if ((*high)[c] - (*low)[c] > widest) {
                widest = (*high)[c] - (*low)[c];
                channel = c;
            }
        }
        return widest;
    };
    std::vector<Box> boxes{{0, colours.size()}};
    while (boxes.size() < paletteSize) {
        std::size_t chosen = boxes.size();
        int chosenChannel = 0;
        int chosenWidth = 0;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            int channel = 0;
            const int width = widestChannel(boxes[i], channel);
            if (width > chosenWidth) {
                chosen = i;
                chosenWidth = width;
                chosenChannel = channel;
            }
        }
        if (chosen == boxes.size())
            break;  // every box holds one colour
        const auto [first, last] = boxes[chosen];
        std::stable_sort(colours.begin() + first, colours.begin() + last,
                         [chosenChannel](const Rgb& a, const Rgb& b) { return a[chosenChannel] < b[chosenChannel]; });
        const std::size_t middle = first + (last - first) / 2;
        boxes[chosen] = {first, middle};
        boxes.push_back({middle, last});
    }
    std::vector<Rgb> palette;
    for (const auto& [first, last] : boxes) {
        std::array<unsigned, 3> sum{};
        for (std::size_t i = first; i < last; ++i) {
            for (int c = 0; c < 3; ++c)
                sum[c] += colours[i][c];
        }
        const auto count = static_cast<unsigned>(std::max<std::size_t>(1, last - first));
        palette.push_back({static_cast<std::uint8_t>(sum[0] / count), static_cast<std::uint8_t>(sum[1] / count),
                           static_cast<std::uint8_t>(sum[2] / count)});
    }
    palette.resize(paletteSize, Rgb{0, 0, 0});
    return palette;
}

std::uint8_t nearestColour(const std::vector<Rgb>& palette, const Rgb& colour)
{
    std::size_t best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (std::size_t i = 0; i < palette.size(); ++i) {
        int distance = 0;
        for (int c = 0; c < 3; ++c)
            distance += (palette[i][c] - colour[c]) * (palette[i][c] - colour[c]);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return static_cast<std::uint8_t>(best);
}

void putLe16(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void putLe32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    putLe16(out, value & 0xFFFFu);
    putLe16(out, value >> 16);
}

std::size_t rowBytes(int width, int bitsPerPixel)
{
    return static_cast<std::size_t>((width * bitsPerPixel + 31) / 32) * 4;
}

// One entry's DIB: header, palette, colour rows and AND-mask rows, both bottom-up.
std::vector<std::uint8_t> encodeDib(const Canvas& canvas, int bitsPerPixel)
{
    const int size = canvas.width();
    const std::size_t colourRow = rowBytes(size, bitsPerPixel);
    const std::size_t maskRow = rowBytes(size, 1);
    std::vector<std::uint8_t> out;
    putLe32(out, 40);
    putLe32(out, static_cast<std::uint32_t>(size));
    putLe32(out, static_cast<std::uint32_t>(size * 2));  // colour rows and mask rows together
    putLe16(out, 1);
    putLe16(out, static_cast<std::uint32_t>(bitsPerPixel));
    putLe32(out, 0);  // uncompressed
    putLe32(out, static_cast<std::uint32_t>((colourRow + maskRow) * size));
    for (int i = 0; i < 4; ++i)
        putLe32(out, 0);  // resolution, colours used and important: defaults

    std::vector<Rgb> palette;
    if (bitsPerPixel <= 8) {
        palette = medianCutPalette(opaqueColours(canvas), std::size_t{1} << bitsPerPixel);
        for (const Rgb& colour : palette)
            out.insert(out.end(), {colour[2], colour[1], colour[0], 0});
    }
    const std::vector<std::uint8_t> straight = canvas.toRgba8(0x1C0u + static_cast<std::uint32_t>(size));
    for (int y = size - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(colourRow, 0);
        for (int x = 0; x < size; ++x) {
            const std::size_t pixel = static_cast<std::size_t>(y) * size + x;
            if (bitsPerPixel == 32) {
                const std::uint8_t* rgba = &straight[pixel * 4];
                row[x * 4 + 0] = rgba[2];
                row[x * 4 + 1] = rgba[1];
                row[x * 4 + 2] = rgba[0];
                row[x * 4 + 3] = rgba[3];
            } else {
                const std::uint8_t* rgba = &straight[pixel * 4];
                const std::uint8_t index = rgba[3] >= 128 ? nearestColour(palette, {rgba[0], rgba[1], rgba[2]}) : 0;
                if (bitsPerPixel == 8)
                    row[x] = index;
                else
                    row[x / 2] |= static_cast<std::uint8_t>(index << (x % 2 == 0 ? 4 : 0));
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    for (int y = size - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(maskRow, 0);
        for (int x = 0; x < size; ++x) {
            if (canvas.pixel(x, y).a < 0.5f)
                row[x / 8] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

}  // namespace

Canvas paintIcon(int size)
{
    const float s = static_cast<float>(size);
    const Vec2 centre{s * 0.5f, s * 0.5f};
    Canvas canvas(size, size);
    blendShape(canvas, Ellipse{centre, Vec2{0.47f, 0.47f} * s, 0.0f}, {0.07f, 0.07f, 0.09f, 1.0f});
    // A sheen across the grooves, then the label and its hole.
    blendShape(canvas, Ellipse{centre + Vec2{0.2f, -0.2f} * s, Vec2{0.2f, 0.05f} * s, -0.785f},
               {0.45f, 0.47f, 0.52f, 0.8f});
    blendShape(canvas, Ellipse{centre - Vec2{0.2f, -0.2f} * s, Vec2{0.2f, 0.05f} * s, -0.785f},
               {0.45f, 0.47f, 0.52f, 0.8f});
    blendShape(canvas, Ellipse{centre, Vec2{0.19f, 0.19f} * s, 0.0f}, {0.96f, 0.50f, 0.14f, 1.0f});
    blendShape(canvas, Ellipse{centre, Vec2{0.045f, 0.045f} * s, 0.0f}, {0.1f, 0.05f, 0.02f, 1.0f});
    // A kelp frond rising up the left side in front of the record, its blades
    // reaching up and out like the backdrop's.
    const Colour kelp{0.20f, 0.72f, 0.30f, 1.0f};
    const float stroke = std::max(0.8f, 0.04f * s);
    const Vec2 stalk[] = {{0.14f, 1.0f}, {0.13f, 0.75f}, {0.19f, 0.5f}, {0.17f, 0.2f}};
    for (int i = 0; i + 1 < 4; ++i)
        blendShape(canvas, Capsule{stalk[i] * s, stalk[i + 1] * s, stroke, stroke * 0.8f}, kelp);
    const Vec2 bladeStarts[] = {{0.13f, 0.78f}, {0.17f, 0.56f}, {0.18f, 0.34f}};
    const Vec2 bladeTips[] = {{0.36f, 0.60f}, {0.02f, 0.36f}, {0.36f, 0.16f}};
    for (int i = 0; i < 3; ++i) {
        const Vec2 middle = (bladeStarts[i] + bladeTips[i]) * 0.5f;
        blendShape(canvas, Capsule{bladeStarts[i] * s, middle * s, stroke * 0.7f, stroke * 1.5f}, kelp);
        blendShape(canvas, Capsule{middle * s, bladeTips[i] * s, stroke * 1.5f, stroke * 0.3f}, kelp);
    }
    return canvas;
}

std::vector<std::uint8_t> encodeIcon(const std::vector<IconEntrySize>& entries)
{
    std::vector<std::vector<std::uint8_t>> images;
    for (const IconEntrySize& entry : entries) {
        assert((entry.bitsPerPixel == 4 || entry.bitsPerPixel == 8 || entry.bitsPerPixel == 32) && entry.size < 256 &&
               "unsupported icon entry");
        images.push_back(encodeDib(paintIcon(entry.size), entry.bitsPerPixel));
    }
    std::vector<std::uint8_t> out;
    putLe16(out, 0);
    putLe16(out, 1);  // an icon, not a cursor
    putLe16(out, static_cast<std::uint32_t>(entries.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        out.push_back(static_cast<std::uint8_t>(entries[i].size));
        out.push_back(static_cast<std::uint8_t>(entries[i].size));
        out.push_back(entries[i].bitsPerPixel == 4 ? 16 : 0);  // palette size, 0 for 256 or none
        out.push_back(0);
        putLe16(out, 1);
        putLe16(out, static_cast<std::uint32_t>(entries[i].bitsPerPixel));
        putLe32(out, static_cast<std::uint32_t>(images[i].size()));
        putLe32(out, offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const auto& image : images)
        out.insert(out.end(), image.begin(), image.end());
    return out;
}

std::vector<std::uint8_t> encodeIconPng(int size)
{
    return encodePng(paintIcon(size).toRgba8(static_cast<std::uint32_t>(size)), size, size);
}

std::filesystem::path desktopIconPath(int size)
{
    const std::string folder = std::to_string(size) + "x" + std::to_string(size);
    return std::filesystem::path(folder) / "apps" / "kelpwax.png";
}

}  // namespace datagen
