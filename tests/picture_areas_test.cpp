// The visible area and the opaque areas of a picture: the visible area holds
// every texel with any alpha and a margin for the mip levels; an opaque area
// holds only texels that stay opaque down to mip level 2.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "core/picture_areas.h"

namespace {

constexpr int kMarginTexels = 8;

Picture solidPicture(int width, int height, std::uint8_t alpha)
{
    Picture picture{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 4, 200)};
    for (std::size_t i = 3; i < picture.rgba.size(); i += 4) {
        picture.rgba[i] = alpha;
    }
    return picture;
}

void setAlpha(Picture& picture, int left, int top, int right, int bottom, std::uint8_t alpha)
{
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            picture.rgba[(static_cast<std::size_t>(y) * picture.width + x) * 4 + 3] = alpha;
        }
    }
}

struct TexelBounds {
    int left, top, right, bottom;
};

TexelBounds texelsOf(const TextureArea& area, const Picture& picture)
{
    return {static_cast<int>(std::lround(area.left * picture.width)),
            static_cast<int>(std::lround(area.top * picture.height)),
            static_cast<int>(std::lround(area.right * picture.width)),
            static_cast<int>(std::lround(area.bottom * picture.height))};
}

// Every texel within the margin of the area is wholly opaque, so the mip
// levels the show samples are opaque over the whole area.
void expectOpaqueWithMargin(const Picture& picture, const TextureArea& area)
{
    const TexelBounds bounds = texelsOf(area, picture);
    ASSERT_LT(bounds.left, bounds.right);
    ASSERT_LT(bounds.top, bounds.bottom);
    for (int y = std::max(0, bounds.top - kMarginTexels); y < std::min(picture.height, bounds.bottom + kMarginTexels);
         ++y) {
        for (int x = std::max(0, bounds.left - kMarginTexels);
             x < std::min(picture.width, bounds.right + kMarginTexels); ++x) {
            ASSERT_EQ(picture.rgba[(static_cast<std::size_t>(y) * picture.width + x) * 4 + 3], 255)
                << "texel " << x << ", " << y << " near the area " << bounds.left << ", " << bounds.top << " - "
                << bounds.right << ", " << bounds.bottom;
        }
    }
}

bool overlap(const TextureArea& a, const TextureArea& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

TEST(VisibleArea, HoldsEveryTexelWithAlphaAndTheMarginClampedToThePicture)
{
    Picture picture = solidPicture(64, 32, 0);
    setAlpha(picture, 20, 10, 30, 14, 1);
    const TexelBounds inside = texelsOf(visibleAreaOf(picture), picture);
    EXPECT_EQ(inside.left, 20 - kMarginTexels);
    EXPECT_EQ(inside.top, 10 - kMarginTexels);
    EXPECT_EQ(inside.right, 30 + kMarginTexels);
    EXPECT_EQ(inside.bottom, 14 + kMarginTexels);

    // A second visible texel in a corner stretches the area to the picture's edges, and no further.
    setAlpha(picture, 63, 31, 64, 32, 255);
    const TexelBounds toCorner = texelsOf(visibleAreaOf(picture), picture);
    EXPECT_EQ(toCorner.left, 20 - kMarginTexels);
    EXPECT_EQ(toCorner.top, 10 - kMarginTexels);
    EXPECT_EQ(toCorner.right, 64);
    EXPECT_EQ(toCorner.bottom, 32);

    setAlpha(picture, 0, 0, 1, 1, 255);
    const TextureArea whole = visibleAreaOf(picture);
    EXPECT_EQ(whole.left, 0);
    EXPECT_EQ(whole.top, 0);
    EXPECT_EQ(whole.right, 1);
    EXPECT_EQ(whole.bottom, 1);
}

TEST(VisibleArea, IsEmptyForAWhollyTransparentPicture)
{
    const TextureArea area = visibleAreaOf(solidPicture(16, 16, 0));
    EXPECT_EQ(area.right - area.left, 0);
    EXPECT_EQ(area.bottom - area.top, 0);
}

TEST(OpaqueAreas, ARecordWithAHoleIsCoveredOnAllFourSidesAndNeverOverTheHole)
{
    Picture record = solidPicture(256, 256, 255);
    setAlpha(record, 100, 100, 156, 156, 0);
    setAlpha(record, 30, 220, 31, 221, 254);  // one texel not quite opaque
    const std::vector<TextureArea> areas = opaqueAreasOf(record);
    ASSERT_EQ(areas.size(), 4u);
    for (std::size_t i = 0; i < areas.size(); ++i) {
        SCOPED_TRACE(i);
        expectOpaqueWithMargin(record, areas[i]);
        for (std::size_t j = i + 1; j < areas.size(); ++j) {
            EXPECT_FALSE(overlap(areas[i], areas[j])) << i << " and " << j;
        }
    }
}

TEST(OpaqueAreas, AWhollyOpaquePictureIsOneAreaToItsEdges)
{
    const std::vector<TextureArea> areas = opaqueAreasOf(solidPicture(256, 512, 255));
    ASSERT_EQ(areas.size(), 1u);
    EXPECT_EQ(areas[0].left, 0);
    EXPECT_EQ(areas[0].top, 0);
    EXPECT_EQ(areas[0].right, 1);
    EXPECT_EQ(areas[0].bottom, 1);
}

TEST(OpaqueAreas, NoneForGlyphSizedPicturesOrIslandsTooSmallToPayOff)
{
    EXPECT_TRUE(opaqueAreasOf(solidPicture(128, 512, 255)).empty());

    Picture islands = solidPicture(256, 256, 0);
    setAlpha(islands, 0, 0, 48, 48, 255);        // 3 × 3 blocks
    setAlpha(islands, 128, 128, 176, 176, 255);  // and another
    EXPECT_TRUE(opaqueAreasOf(islands).empty());
}

}  // namespace
