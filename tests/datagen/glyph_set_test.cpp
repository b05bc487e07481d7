#include "glyph_set.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace datagen {
namespace {

struct OpaqueBox {
    int left = kGlyphPictureSize;
    int right = -1;
    int top = kGlyphPictureSize;
    int bottom = -1;
};

// The letter and its outline are opaque; the shadow never is, so it stays out of the box.
OpaqueBox opaqueBox(const Canvas& glyph)
{
    OpaqueBox box;
    for (int y = 0; y < glyph.height(); ++y) {
        for (int x = 0; x < glyph.width(); ++x) {
            if (glyph.pixel(x, y).a < 0.9f)
                continue;
            box.left = std::min(box.left, x);
            box.right = std::max(box.right, x);
            box.top = std::min(box.top, y);
            box.bottom = std::max(box.bottom, y);
        }
    }
    return box;
}

TEST(GlyphPicture, IsCentredOnItsPinAndNarrowEnoughNotToTouchItsNeighbours)
{
    const Font font(kLetteringFontPath);
    for (int code = kFirstGlyphCode; code <= kLastGlyphCode; ++code) {
        SCOPED_TRACE(std::string(1, static_cast<char>(code)));
        const Canvas glyph = renderGlyph(font, static_cast<unsigned char>(code));
        ASSERT_EQ(glyph.width(), kGlyphPictureSize);
        ASSERT_EQ(glyph.height(), kGlyphPictureSize);
        const OpaqueBox box = opaqueBox(glyph);
        ASSERT_GE(box.right, box.left) << "nothing drawn";
        EXPECT_LE(box.right - box.left + 1, kMaxGlyphInkWidth + 1.0f);
        EXPECT_NEAR((box.left + box.right + 1) * 0.5f, kGlyphPictureSize * 0.5f, 1.5f);
        // Shadow and descenders included, nothing reaches the picture's edge.
        for (int i = 0; i < kGlyphPictureSize; ++i) {
            EXPECT_EQ(glyph.pixel(i, 0).a, 0.0f);
            EXPECT_EQ(glyph.pixel(i, kGlyphPictureSize - 1).a, 0.0f);
            EXPECT_EQ(glyph.pixel(0, i).a, 0.0f);
            EXPECT_EQ(glyph.pixel(kGlyphPictureSize - 1, i).a, 0.0f);
        }
    }
}

TEST(GlyphPicture, CapitalsSitOnTheMiddleRowSoALineOfTextStaysLevel)
{
    const Font font(kLetteringFontPath);
    for (const char letter : {'H', 'E', 'X'}) {
        const OpaqueBox box = opaqueBox(renderGlyph(font, letter));
        EXPECT_NEAR((box.top + box.bottom + 1) * 0.5f, kGlyphPictureSize * 0.5f, 1.5f) << letter;
    }
    const OpaqueBox x = opaqueBox(renderGlyph(font, 'x'));
    const OpaqueBox capitalX = opaqueBox(renderGlyph(font, 'X'));
    EXPECT_EQ(x.bottom, capitalX.bottom) << "lower case shares the capitals' baseline";
}

}  // namespace
}  // namespace datagen
