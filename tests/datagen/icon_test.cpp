#include "icon.h"

#include <gtest/gtest.h>

#include "decoded_png.h"

namespace datagen {
namespace {

std::uint32_t readLe(const std::vector<std::uint8_t>& bytes, std::size_t offset, int size)
{
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | bytes.at(offset + i);
    return value;
}

std::size_t stride(int width, int bitsPerPixel)
{
    return static_cast<std::size_t>((width * bitsPerPixel + 31) / 32) * 4;
}

const std::vector<IconEntrySize> kEntries(std::begin(kIconEntries), std::end(kIconEntries));

TEST(Icon, HoldsTheEightImagesAsClassicBitmapEntries)
{
    const std::vector<std::uint8_t> icon = encodeIcon(kEntries);
    ASSERT_EQ(kEntries.size(), 8u);
    EXPECT_EQ(readLe(icon, 0, 2), 0u);
    EXPECT_EQ(readLe(icon, 2, 2), 1u);
    ASSERT_EQ(readLe(icon, 4, 2), 8u);
    std::size_t expectedOffset = 6 + 16 * kEntries.size();
    for (std::size_t i = 0; i < kEntries.size(); ++i) {
        const IconEntrySize& entry = kEntries[i];
        SCOPED_TRACE(std::to_string(entry.size) + " px, " + std::to_string(entry.bitsPerPixel) + " bpp");
        const std::size_t directory = 6 + 16 * i;
        EXPECT_EQ(icon[directory], entry.size);
        EXPECT_EQ(icon[directory + 1], entry.size);
        EXPECT_EQ(icon[directory + 2], entry.bitsPerPixel == 4 ? 16 : 0);
        EXPECT_EQ(readLe(icon, directory + 4, 2), 1u);
        EXPECT_EQ(readLe(icon, directory + 6, 2), static_cast<std::uint32_t>(entry.bitsPerPixel));
        const std::size_t bytes = readLe(icon, directory + 8, 4);
        const std::size_t offset = readLe(icon, directory + 12, 4);
        EXPECT_EQ(offset, expectedOffset);
        expectedOffset += bytes;

        // BITMAPINFOHEADER with the height doubled for the AND mask, not a PNG.
        EXPECT_EQ(readLe(icon, offset, 4), 40u);
        EXPECT_EQ(readLe(icon, offset + 4, 4), static_cast<std::uint32_t>(entry.size));
        EXPECT_EQ(readLe(icon, offset + 8, 4), static_cast<std::uint32_t>(entry.size * 2));
        EXPECT_EQ(readLe(icon, offset + 14, 2), static_cast<std::uint32_t>(entry.bitsPerPixel));
        EXPECT_EQ(readLe(icon, offset + 16, 4), 0u) << "uncompressed";
        const std::size_t paletteBytes = entry.bitsPerPixel <= 8 ? 4u << entry.bitsPerPixel : 0;
        EXPECT_EQ(bytes,
                  40 + paletteBytes + (stride(entry.size, entry.bitsPerPixel) + stride(entry.size, 1)) * entry.size);
    }
    EXPECT_EQ(expectedOffset, icon.size());
}

// The window icon is the 48 × 48, 32-bit entry: transparent round the record, opaque on it.
TEST(Icon, ThirtyTwoBitEntryKeepsAlphaAndAMatchingMask)
{
    const std::vector<std::uint8_t> icon = encodeIcon(kEntries);
    const auto entry = std::find_if(kEntries.begin(), kEntries.end(),
                                    [](const IconEntrySize& e) { return e.size == 48 && e.bitsPerPixel == 32; });
    ASSERT_NE(entry, kEntries.end());
    const std::size_t offset = readLe(icon, 6 + 16 * (entry - kEntries.begin()) + 12, 4);
    const std::size_t pixels = offset + 40;
    const std::size_t mask = pixels + 48 * 48 * 4;
    // Rows are stored bottom-up.
    auto alpha = [&](int x, int y) { return icon.at(pixels + ((47 - y) * 48 + x) * 4 + 3); };
    auto masked = [&](int x, int y) { return (icon.at(mask + (47 - y) * stride(48, 1) + x / 8) >> (7 - x % 8)) & 1; };
    EXPECT_EQ(alpha(0, 0), 0);
    EXPECT_EQ(masked(0, 0), 1);
    EXPECT_EQ(alpha(47, 0), 0);
    EXPECT_EQ(masked(47, 0), 1);
    EXPECT_EQ(alpha(30, 24), 255);
    EXPECT_EQ(masked(30, 24), 0);
}

// The desktop's icon files: each size a PNG of the same record, transparent round it.
TEST(Icon, DesktopIconsArePngsOfTheRecordAtEachThemeSize)
{
    for (const int size : kDesktopIconSizes) {
        SCOPED_TRACE(std::to_string(size) + " px");
        const DecodedPng png = decodePng(encodeIconPng(size));
        ASSERT_EQ(png.width, size);
        ASSERT_EQ(png.height, size);
        EXPECT_EQ(png.alpha(0, 0), 0);
        EXPECT_EQ(png.alpha(size - 1, size - 1), 0);
        EXPECT_EQ(png.alpha(size * 5 / 8, size / 2), 255);
    }
}

}  // namespace
}  // namespace datagen
