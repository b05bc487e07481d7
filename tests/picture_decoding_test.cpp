// Pictures decoding ahead of their upload: each carries its box-filter mip
// chain, made after stretching; a device's size limit still refuses it at
// upload with the usual message; files taken unasked or twice are decoded on
// the spot; an early start changes neither the uploads nor what is said on
// stderr; and a decoding nobody collects ends without working through the rest.
#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>

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

// Every decode opens its file, so the files opened under inotify's eye are the ones decoded.
class OpenedFiles {
public:
    explicit OpenedFiles(const std::filesystem::path& directory) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        EXPECT_GE(::inotify_add_watch(fd_, directory.c_str(), IN_OPEN), 0) << std::strerror(errno);
    }
    ~OpenedFiles() { ::close(fd_); }
    OpenedFiles(const OpenedFiles&) = delete;
    OpenedFiles& operator=(const OpenedFiles&) = delete;

    // The names opened since the last call.
    std::set<std::string> take()
    {
        std::set<std::string> names;
        alignas(inotify_event) char buffer[64 * 1024];
        for (ssize_t size; (size = ::read(fd_, buffer, sizeof buffer)) > 0;) {
            for (const char* at = buffer; at < buffer + size;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                if (event->len > 0) {
                    names.insert(event->name);
                }
                at += sizeof(inotify_event) + event->len;
            }
        }
        return names;
    }

private:
    int fd_;
};

TEST_F(PictureDecodingTest, ADecodingNobodyCollectsEndsWithoutDecodingTheRest)
{
    constexpr std::size_t kFiles = 200;
    writePicture("noise.png", noisePicture(512, 512));
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < kFiles; ++i) {
        paths.push_back("noise-" + std::to_string(i) + ".png");
        std::filesystem::create_hard_link("noise.png", paths.back());
    }
    OpenedFiles opened(".");
    {
        PictureDecoding collected({paths[0]});
        Picture picture;
        std::string failure;
        ASSERT_TRUE(collected.take(paths[0], kMaxPictureSide, picture, failure)) << failure;
    }
    ASSERT_EQ(opened.take(), std::set<std::string>{paths[0]}) << "inotify does not see the decoding open its file";

    {
        PictureDecoding abandoned(paths);
    }
    // Decodes under way when it ends finish, one a worker; 200 decodes take
    // seconds, so a decoding that worked through them all opens every file.
    const std::size_t openedCount = opened.take().size();
    EXPECT_LT(openedCount, kFiles / 4) << openedCount << " of " << kFiles << " files were decoded";
}

}  // namespace
