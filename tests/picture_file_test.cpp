// Pictures from PNG files: rows and sizes as in the file, broken or absurd
// files refused with a reason and no crash, stretching to powers of two,
// the box filter of the mip levels, and uploads in the order given.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "core/picture_decoder.h"
#include "core/picture_file.h"
#include "core/texture_levels.h"
#include "tests/sprite_test_support.h"
#include "tests/test_support.h"

namespace {

std::vector<char> readBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class PictureFileTest : public ::testing::Test {
protected:
    ScratchWorkingDirectory scratch_;
};

TEST_F(PictureFileTest, ReadsRgbaRowsFromTheTop)
{
    writePicture("quarters.png", quarteredPicture(8, 4));
    Picture picture;
    std::string failure;
    ASSERT_TRUE(readPictureFile("quarters.png", picture, failure)) << failure;
    EXPECT_EQ(picture.width, 8);
    EXPECT_EQ(picture.height, 4);
    EXPECT_EQ(texelAt(picture.rgba, 8, 0, 0), (std::array{255, 0, 0, 255}));
    EXPECT_EQ(texelAt(picture.rgba, 8, 7, 0), (std::array{0, 255, 0, 255}));
    EXPECT_EQ(texelAt(picture.rgba, 8, 0, 3), (std::array{0, 0, 255, 255}));
    EXPECT_EQ(texelAt(picture.rgba, 8, 7, 3)[3], 0);
}

TEST_F(PictureFileTest, MissingCorruptAndTruncatedFilesGiveNoTextureAndAReason)
{
    writePicture("noise.png", noisePicture(64, 64));
    const std::vector<char> good = readBytes("noise.png");
    writeFile("truncated.png", {good.data(), good.size() * 6 / 10});
    std::vector<char> corrupt = good;
    for (std::size_t i = good.size() / 2; i < good.size() / 2 + 16; ++i) {
        corrupt[i] = static_cast<char>(~corrupt[i]);
    }
    writeFile("corrupt.png", {corrupt.data(), corrupt.size()});
    writeFile("text.png", "not a PNG");
    writeFile("empty.png", {});

    std::vector<TextureFile> files;
    for (const char* path : {"missing.png", "truncated.png", "corrupt.png", "text.png", "empty.png", "noise.png"}) {
        Picture picture;
        std::string failure;
        EXPECT_EQ(readPictureFile(path, picture, failure), path == std::string("noise.png")) << path;
        files.emplace_back(path);
    }
    RecordingDevice device;
    createTexturesFromFiles(device, files);
    for (const TextureFile& file : files) {
        EXPECT_EQ(file.texture != nullptr, file.path == "noise.png") << file.path;
        EXPECT_EQ(file.failure.empty(), file.path == "noise.png") << file.path << ": " << file.failure;
    }
}

// A 2 x 2 palette picture whose chunks and CRCs are sound but whose pixel data
// starts with deflate block type 3, which does not exist: stb fails without a reason.
TEST_F(PictureFileTest, DamageTheDecoderGivesNoReasonForIsStillSaidAndNotAnEarlierFilesReason)
{
    const std::vector<char> bytes =
        readBytes(std::filesystem::path(KELPWAX_SOURCE_DIR) / "fuzz/corpus/picture/reserved-deflate-block-type.png");
    ASSERT_EQ(bytes.size(), 87u);
    const std::vector<std::uint8_t> file(bytes.begin(), bytes.end());
    Picture picture;
    std::string failure;
    ASSERT_FALSE(decodePicture({'n', 'o', 't', ' ', 'P', 'N', 'G'}, picture, failure));
    EXPECT_EQ(failure, "not a readable picture: unknown image type");
    ASSERT_FALSE(decodePicture(file, picture, failure));
    EXPECT_EQ(failure, "corrupt or truncated picture: its compressed pixel data is damaged");
}

// stb grows its buffer to a chunk's stated length before it reads the chunk,
// so a cut-off chunk header claiming 1.8 GB must be refused before it sees it;
// bytes after IEND are never read, so they may be anything.
TEST_F(PictureFileTest, ChunksAreWholeUpToIendAndAnythingMayFollowIt)
{
    const std::vector<char> bytes = readBytes(std::filesystem::path(KELPWAX_SOURCE_DIR) /
                                              "fuzz/corpus/picture/chunk-header-cut-after-its-length.png");
    ASSERT_EQ(bytes.size(), 111u);
    Picture picture;
    std::string failure;
    EXPECT_FALSE(decodePicture({bytes.begin(), bytes.end()}, picture, failure));
    EXPECT_EQ(failure, "corrupt or truncated picture: a chunk runs past the end of the file");

    writePicture("solid.png", solidPicture(4, 4, 0x336699FF));
    std::vector<char> good = readBytes("solid.png");
    for (const std::size_t cut : {std::size_t{1}, std::size_t{11}}) {
        EXPECT_FALSE(decodePicture({good.begin(), good.end() - static_cast<std::ptrdiff_t>(cut)}, picture, failure))
            << cut;
        EXPECT_EQ(failure, "corrupt or truncated picture: a chunk runs past the end of the file") << cut;
    }
    good.insert(good.end(), {'\0', '\0', '\0', '\x7f', 'I', 'D', 'A', 'T'});
    EXPECT_TRUE(decodePicture({good.begin(), good.end()}, picture, failure)) << failure;
    EXPECT_EQ(picture.width, 4);
}

TEST_F(PictureFileTest, RefusesMoreThan8192TexelsOnASide)
{
    writePicture("too-wide.png", solidPicture(kMaxPictureSide + 1, 1, 0x336699FF));
    writePicture("widest.png", solidPicture(kMaxPictureSide, 1, 0x336699FF));
    Picture picture;
    std::string failure;
    EXPECT_FALSE(readPictureFile("too-wide.png", picture, failure));
    EXPECT_NE(failure.find("8193 x 1"), std::string::npos) << failure;
    EXPECT_TRUE(readPictureFile("widest.png", picture, failure)) << failure;
}

TEST(StretchToPowersOfTwo, KeepsEveryQuarterInItsPlace)
{
    Picture picture = quarteredPicture(300, 200);
    stretchToPowersOfTwo(picture);
    ASSERT_EQ(picture.width, 512);
    ASSERT_EQ(picture.height, 256);
    EXPECT_EQ(texelAt(picture.rgba, 512, 5, 5), (std::array{255, 0, 0, 255}));
    EXPECT_EQ(texelAt(picture.rgba, 512, 250, 122), (std::array{255, 0, 0, 255}));
    EXPECT_EQ(texelAt(picture.rgba, 512, 262, 5), (std::array{0, 255, 0, 255}));
    EXPECT_EQ(texelAt(picture.rgba, 512, 5, 250), (std::array{0, 0, 255, 255}));
    EXPECT_EQ(texelAt(picture.rgba, 512, 506, 250)[3], 0);
}

TEST(StretchToPowersOfTwo, TransparentTexelsLendNoColour)
{
    Picture picture{3, 1, {255, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 255}};
    stretchToPowersOfTwo(picture);
    ASSERT_EQ(picture.width, 4);
    for (int x = 0; x < 4; ++x) {
        const std::array<int, 4> texel = texelAt(picture.rgba, 4, x, 0);
        EXPECT_GT(texel[3], 0) << x;
        EXPECT_EQ(texel[0], 255) << x;
        EXPECT_EQ(texel[1] + texel[2], 0) << x;
    }
}

TEST(HalveWithBoxFilter, AveragesTwoByTwoRoundingHalvesUp)
{
    const std::vector<std::uint8_t> square = {0, 10, 255, 1, 1, 10, 255, 1, 1, 10, 255, 2, 1, 11, 0, 2};
    std::vector<std::uint8_t> half;
    halveWithBoxFilter(square.data(), 2, 2, half);
    EXPECT_EQ(half, (std::vector<std::uint8_t>{1, 10, 191, 2}));

    // Once a side is one texel, pairs along the other side are averaged.
    const std::vector<std::uint8_t> row = {0, 0, 0, 0, 2, 2, 2, 2, 100, 0, 0, 0, 200, 0, 0, 0};
    halveWithBoxFilter(row.data(), 4, 1, half);
    EXPECT_EQ(half, (std::vector<std::uint8_t>{1, 1, 1, 1, 150, 0, 0, 0}));
}

TEST_F(PictureFileTest, UploadsInTheOrderGivenWhateverOrderDecodingEnds)
{
    writePicture("first.png", solidPicture(4, 4, 0xFF0000FF));
    writePicture("biggest.png", noisePicture(256, 256));
    writePicture("last.png", solidPicture(30, 20, 0x00FF00FF));
    std::vector<TextureFile> files = {TextureFile("first.png"), TextureFile("biggest.png"), TextureFile("missing.png"),
                                      TextureFile("last.png")};
    UploadLog device;
    createTexturesFromFiles(device, files);

    EXPECT_EQ(device.uploads(), (std::vector<std::string>{"first.png", "biggest.png", "last.png"}));
    EXPECT_EQ(files[2].texture, nullptr);
    EXPECT_NE(files[2].failure.find("no such file"), std::string::npos) << files[2].failure;
    ASSERT_NE(files[3].texture, nullptr);
    EXPECT_EQ(files[3].texture->name, "last.png");
    EXPECT_EQ(files[3].texture->width, 32);
    EXPECT_EQ(files[3].texture->height, 32);
}

}  // namespace
