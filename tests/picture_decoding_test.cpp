// Pictures decoding ahead of their upload: each carries its box-filter mip
// chain, made after stretching; a device's size limit still refuses it at
// upload with the usual message; files taken unasked or twice are decoded on
// the spot; an early start changes neither the uploads nor what is said on
// stderr; and a decoding nobody collects ends without working through the rest.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "app/show.h"
#include "core/picture_file.h"
#include "core/texture_levels.h"
#include "tests/sprite_test_support.h"
#include "tests/test_support.h"

namespace {

class SmallTextureDevice final : public SilentDevice {
public:
    int maxTextureSide() const override { return 64; }
};

class PictureDecodingTest : public ::testing::Test {
protected:
    ScratchWorkingDirectory scratch_;
};

TEST_F(PictureDecodingTest, MipLevelsAreTheBoxFilterChainOfTheStretchedPicture)
{
    writePicture("wide.png", noisePicture(48, 12));
    PictureDecoding decoding({"wide.png"});
    Picture picture;
    std::string failure;
    ASSERT_TRUE(decoding.take("wide.png", kMaxPictureSide, picture, failure)) << failure;

    Picture expected = noisePicture(48, 12);
    stretchToPowersOfTwo(expected);
    ASSERT_EQ(picture.width, 64);
    ASSERT_EQ(picture.height, 16);
    EXPECT_EQ(picture.rgba, expected.rgba);
    // 32 × 8, 16 × 4, 8 × 2, 4 × 1, 2 × 1, 1 × 1.
    ASSERT_EQ(picture.mipLevels.size(), 6u);
    std::vector<std::uint8_t> above = expected.rgba;
    for (int level = 0, width = 64, height = 16; level < 6; ++level) {
        std::vector<std::uint8_t> half;
        halveWithBoxFilter(above.data(), width, height, half);
        width = std::max(1, width / 2);
        height = std::max(1, height / 2);
        EXPECT_EQ(picture.mipLevels[level], half) << "level " << level + 1;
        above = half;
    }
    EXPECT_EQ(picture.mipLevels.back().size(), 4u);
}

TEST_F(PictureDecodingTest, TheDevicesLimitRefusesAPictureDecodedBeforeTheDeviceWasThere)
{
    writePicture("fits.png", solidPicture(64, 40, 0xFF0000FF));
    writePicture("too-wide.png", solidPicture(100, 10, 0xFF0000FF));
    PictureDecoding decoding({"fits.png", "too-wide.png"});
    std::vector<TextureFile> files = {TextureFile("fits.png"), TextureFile("too-wide.png")};
    SmallTextureDevice device;
    createTexturesFromFiles(device, decoding, files);

    EXPECT_NE(files[0].texture, nullptr) << files[0].failure;
    EXPECT_EQ(files[1].texture, nullptr);
    EXPECT_EQ(files[1].failure, "100 x 10 pixels is more than the largest picture, 64 on a side");
}

TEST_F(PictureDecodingTest, AFileNotStartedOrTakenTwiceIsDecodedOnTheSpot)
{
    writePicture("started.png", solidPicture(8, 8, 0x00FF00FF));
    writePicture("unasked.png", solidPicture(4, 2, 0x0000FFFF));
    PictureDecoding decoding({"started.png"});
    std::vector<TextureFile> files = {TextureFile("unasked.png"), TextureFile("started.png"),
                                      TextureFile("started.png"), TextureFile("missing.png")};
    UploadLog device;
    createTexturesFromFiles(device, decoding, files);

    EXPECT_EQ(device.uploads(), (std::vector<std::string>{"unasked.png", "started.png", "started.png"}));
    ASSERT_NE(files[0].texture, nullptr);
    EXPECT_EQ(files[0].texture->width, 4);
    EXPECT_NE(files[3].failure.find("no such file"), std::string::npos) << files[3].failure;
}

// What a show directory with some good, some unusable and some missing pictures says, in order.
TEST_F(PictureDecodingTest, AnEarlyStartSaysTheSameAsDecodingAtLoadTime)
{
    writePicture("font/A.png", solidPicture(128, 128, 0xFFFFFFFF));
    writeFile("font/B.png", "not a PNG");
    writePicture("font/C.png", solidPicture(128, 128, 0xFFFFFFFF));
    writeFile("vinyl.png", "");
    writePicture("underwater.png", noisePicture(300, 200));

    const auto load = [](bool startedEarly) {
        UploadLog device;
        testing::internal::CaptureStderr();
        if (startedEarly) {
            PictureDecoding pictures = startDecodingShowPictures();
            loadShowAssets(device, pictures);
        } else {
            loadShowAssets(device);
        }
        return std::pair{testing::internal::GetCapturedStderr(), device.uploads()};
    };
    const auto [earlyMessages, earlyUploads] = load(true);
    const auto [messages, uploads] = load(false);

    EXPECT_EQ(earlyMessages, messages);
    EXPECT_EQ(earlyUploads, uploads);
    EXPECT_EQ(earlyUploads, (std::vector<std::string>{"./font/A.png", "./font/C.png", "underwater.png"}));
    const std::size_t glyph = earlyMessages.find("./font/B.png: not a readable picture");
    const std::size_t count = earlyMessages.find("glyphs: 2 of 223 loaded");
    const std::size_t label = earlyMessages.find("vinyllabel.png: no such file");
    const std::size_t record = earlyMessages.find("vinyl.png: the file is empty; no record is drawn");
    ASSERT_NE(record, std::string::npos) << earlyMessages;
    EXPECT_LT(glyph, count) << earlyMessages;
    EXPECT_LT(count, label) << earlyMessages;
    EXPECT_LT(label, record) << earlyMessages;
}

TEST_F(PictureDecodingTest, ADecodingNobodyCollectsEndsWithoutDecodingTheRest)
{
    writePicture("noise.png", noisePicture(512, 512));
    const auto decodeSeconds = [](std::size_t count) {
        const auto start = std::chrono::steady_clock::now();
        PictureDecoding decoding(std::vector<std::string>(count, "noise.png"));
        Picture picture;
        std::string failure;
        decoding.take("noise.png", kMaxPictureSide, picture, failure);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    const double one = decodeSeconds(1);
    const auto start = std::chrono::steady_clock::now();
    {
        PictureDecoding abandoned(std::vector<std::string>(200, "noise.png"));
    }
    const double abandonedSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // All 200 would take 200 decodes' time over the workers; those under way finish.
    EXPECT_LT(abandonedSeconds, 20 * one + 0.05) << "one decode takes " << one << " s";
}

}  // namespace
