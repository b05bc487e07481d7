#include "core/picture_areas.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <functional>

namespace {

// The alphas of the texels [x0, x1) of row y combined, a whole texel at a
// time so that it vectorises: OR tells whether any is visible, AND whether all
// are opaque.
template <typename Combine>
std::uint8_t combinedAlpha(const Picture& picture, int y, int x0, int x1, std::uint32_t start, Combine combine)
{
    static_assert(std::endian::native == std::endian::little, "alpha is an RGBA8 texel's top byte");
    const std::uint8_t* texel = picture.rgba.data() + (static_cast<std::size_t>(y) * picture.width + x0) * 4;
    std::uint32_t combined = start;
    for (int x = x0; x < x1; ++x, texel += 4) {
        std::uint32_t word = 0;
        std::memcpy(&word, texel, sizeof word);
        combined = combine(combined, word);
    }
    return static_cast<std::uint8_t>(combined >> 24);
}

// The largest rectangle of ones in a grid of cells, as (left, top, right, bottom) in cells.
std::array<int, 4> largestRectangleOfOnes(const std::vector<std::uint8_t>& cells, int columns, int rows)
{
    std::array<int, 4> best{};
    int bestArea = 0;
    std::vector<int> heights(columns + 1, 0);  // the extra column, always 0, empties the stack at each row's end
    std::vector<int> rising;
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            heights[column] = cells[static_cast<std::size_t>(row) * columns + column] ? heights[column] + 1 : 0;
        }
        rising.clear();
        for (int column = 0; column <= columns; ++column) {
            while (!rising.empty() && heights[rising.back()] >= heights[column]) {
                const int height = heights[rising.back()];
                rising.pop_back();
                const int left = rising.empty() ? 0 : rising.back() + 1;
                if (height * (column - left) > bestArea) {
                    bestArea = height * (column - left);
                    best = {left, row + 1 - height, column, row + 1};
                }
            }
            rising.push_back(column);
        }
    }
    return best;
}

}  // namespace

TextureArea visibleAreaOf(const Picture& picture)
{
    constexpr int kMarginTexels = 8;
    const int width = picture.width;
    const int height = picture.height;
    const auto visible = [&](int x, int y) { return picture.rgba[(static_cast<std::size_t>(y) * width + x) * 4 + 3]; };
    const auto rowIsVisible = [&](int y) { return combinedAlpha(picture, y, 0, width, 0, std::bit_or<>()) != 0; };
    // Each bound is found by scanning in from its edge and stops at the first
    // visible texel, so an opaque picture costs a row and a column, not every texel.
    int top = 0;
    while (top < height && !rowIsVisible(top)) {
        ++top;
    }
    if (top == height) {
        return {0, 0, 0, 0};
    }
    int bottom = height;
    while (!rowIsVisible(bottom - 1)) {
        --bottom;
    }
    int left = width;
    int right = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = 0; x < left; ++x) {
            if (visible(x, y)) {
                left = x;
                break;
            }
        }
        for (int x = width - 1; x >= right; --x) {
            if (visible(x, y)) {
                right = x + 1;
                break;
            }
        }
    }
    const auto across = static_cast<float>(width);
    const auto down = static_cast<float>(height);
    return {std::max(0, left - kMarginTexels) / across, std::max(0, top - kMarginTexels) / down,
            std::min(width, right + kMarginTexels) / across, std::min(height, bottom + kMarginTexels) / down};
}

std::vector<TextureArea> opaqueAreasOf(const Picture& picture)
{
    constexpr int kBlock = 16;
    constexpr int kMarginTexels = 8;
    constexpr int kSmallestSearched = 256;
    constexpr int kMostAreas = 4;
    constexpr int kFewestBlocks = 16;
    const int width = picture.width;
    const int height = picture.height;
    if (width < kSmallestSearched || height < kSmallestSearched) {
        return {};
    }
    const int columns = width / kBlock;
    const int rows = height / kBlock;
    std::vector<std::uint8_t> opaqueBlocks(static_cast<std::size_t>(columns) * rows);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            bool opaque = true;
            for (int y = row * kBlock; opaque && y < (row + 1) * kBlock; ++y) {
                opaque =
                    combinedAlpha(picture, y, column * kBlock, (column + 1) * kBlock, ~0u, std::bit_and<>()) == 255;
            }
            opaqueBlocks[static_cast<std::size_t>(row) * columns + column] = opaque;
        }
    }
    std::vector<TextureArea> areas;
    for (int found = 0; found < kMostAreas; ++found) {
        const auto [left, top, right, bottom] = largestRectangleOfOnes(opaqueBlocks, columns, rows);
        if ((right - left) * (bottom - top) < kFewestBlocks) {
            break;
        }
        for (int row = top; row < bottom; ++row) {
            std::fill_n(opaqueBlocks.begin() + static_cast<std::ptrdiff_t>(row) * columns + left, right - left, 0);
        }
        const auto edge = [&](int block, int blocks, int inwards) {
            return block * kBlock + (block > 0 && block < blocks ? inwards * kMarginTexels : 0);
        };
        areas.push_back({static_cast<float>(edge(left, columns, 1)) / width,
                         static_cast<float>(edge(top, rows, 1)) / height,
                         static_cast<float>(edge(right, columns, -1)) / width,
                         static_cast<float>(edge(bottom, rows, -1)) / height});
    }
    return areas;
}
