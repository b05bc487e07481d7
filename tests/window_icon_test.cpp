#include <gtest/gtest.h>

#include "core/icon_file.h"
#include "tests/test_support.h"

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& text)
{
    return {text.begin(), text.end()};
}

// An .ico holding one 2 × 2, 32-bit image: bottom row blue, top row red (stored bottom-up, BGRA).
std::vector<std::uint8_t> tinyIcon()
{
    std::vector<std::uint8_t> file = {0,           0, 1, 0, 1,  0,          // directory: one image
                                      2,           2, 0, 0, 1,  0, 32, 0,   // 2 × 2, 32 bits
                                      40 + 16 + 8, 0, 0, 0, 22, 0, 0,  0};  // bytes, offset
    const std::uint8_t header[40] = {40, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0, 1, 0, 32, 0};
    file.insert(file.end(), header, header + 40);
    const std::uint8_t pixels[16] = {255, 0, 0, 255, 255, 0, 0, 255, 0, 0, 255, 255, 0, 0, 255, 255};
    file.insert(file.end(), pixels, pixels + 16);
    file.insert(file.end(), 8, 0);  // the AND mask
    return file;
}

}  // namespace

TEST(WindowIcon, ReadsThe32BitImageTopRowFirst)
{
    const std::optional<Picture> icon = decodeIconImage(tinyIcon(), 2);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->width, 2);
    EXPECT_EQ(std::vector<std::uint8_t>(icon->rgba.begin(), icon->rgba.begin() + 4),
              (std::vector<std::uint8_t>{255, 0, 0, 255}));  // top-left is red
    EXPECT_EQ(std::vector<std::uint8_t>(icon->rgba.end() - 4, icon->rgba.end()),
              (std::vector<std::uint8_t>{0, 0, 255, 255}));  // bottom-right is blue
    EXPECT_FALSE(decodeIconImage(tinyIcon(), 48)) << "no image of that size";
}

TEST(WindowIcon, MalformedFilesGiveNoIcon)
{
    EXPECT_FALSE(decodeIconImage({}, 48));
    EXPECT_FALSE(decodeIconImage(bytesOf("not an icon at all"), 48));
    std::vector<std::uint8_t> truncated = tinyIcon();
    truncated.resize(truncated.size() - 20);
    EXPECT_FALSE(decodeIconImage(truncated, 2));
    std::vector<std::uint8_t> offsetPastTheEnd = tinyIcon();
    offsetPastTheEnd[18] = 0xFF;
    offsetPastTheEnd[19] = 0xFF;
    EXPECT_FALSE(decodeIconImage(offsetPastTheEnd, 2));
    std::vector<std::uint8_t> tooManyEntries = tinyIcon();
    tooManyEntries[4] = 0xFF;
    EXPECT_TRUE(decodeIconImage(tooManyEntries, 2)) << "the first entry is still good";
    EXPECT_FALSE(decodeIconImage(tooManyEntries, 48));
}

TEST(WindowIcon, TheGeneratedIconHoldsA48PixelImage)
{
    if (!showDataExists()) {
        GTEST_SKIP() << "needs the generated show data";
    }
    const std::string file = readFile(showDataDirectory() / "kelpwax.ico");
    const std::optional<Picture> icon = decodeIconImage(bytesOf(file), 48);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->rgba.size(), 48u * 48u * 4u);
}
