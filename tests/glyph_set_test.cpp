// The glyph set: which file each character code comes from, in which order,
// and a show that runs on with no glyphs at all.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/show.h"
#include "assets/glyph_set.h"
#include "tests/sprite_test_support.h"
#include "tests/test_support.h"

namespace {

class GlyphSetTest : public ::testing::Test {
protected:
    void writeGlyph(const std::string& path) { writePicture(path, solidPicture(128, 128, 0xFFFFFFFF)); }

    TemporaryDirectory directory_;
    ScopedWorkingDirectory inDirectory_{directory_.path()};
};

std::string nameOf(const Texture* texture)
{
    return texture ? texture->name : "(empty)";
}

TEST_F(GlyphSetTest, FollowsTheFileNameRule)
{
    for (const char* path : {"font/aa.png", "font/A.png", "font/0.png", "font/!.png", "font/..png", "font/{.png",
                             "font/\xC4.png", "data/slash.png", "data/colon.png", "data/question.png"}) {
        writeGlyph(path);
    }
    // Files the rule must never pick: a single lower-case letter, a colon and a
    // question mark in the font directory, and codes up to the space.
    for (const char* path : {"font/a.png", "font/:.png", "font/?.png", "font/ .png", "font/\x01.png"}) {
        writeGlyph(path);
    }
    UploadLog device;
    testing::internal::CaptureStderr();
    const GlyphTable table = loadGlyphSet(device);
    const std::string messages = testing::internal::GetCapturedStderr();

    // Tried in ascending code order, each from its one file.
    EXPECT_EQ(device.uploads(),
              (std::vector<std::string>{"./font/!.png", "./font/..png", "./data/slash.png", "./font/0.png",
                                        "./data/colon.png", "./data/question.png", "./font/A.png", "./font/aa.png",
                                        "./font/{.png", "./font/\xC4.png"}));
    EXPECT_NE(messages.find("glyphs: 10 of 223 loaded\n"), std::string::npos) << messages;
    EXPECT_EQ(nameOf(table['a']), "./font/aa.png");
    EXPECT_EQ(nameOf(table['A']), "./font/A.png");
    EXPECT_EQ(nameOf(table[0xC4]), "./font/\xC4.png");
    EXPECT_EQ(nameOf(table['/']), "./data/slash.png");
    EXPECT_EQ(nameOf(table[':']), "./data/colon.png");
    EXPECT_EQ(nameOf(table['?']), "./data/question.png");
    for (int code = 0; code <= ' '; ++code) {
        EXPECT_EQ(table[code], nullptr) << code;
    }
}

TEST_F(GlyphSetTest, AnEmptyFontDirectoryGivesAnEmptyTableAndTheShowRunsOn)
{
    std::filesystem::create_directory("font");
    RecordingDevice device;
    testing::internal::CaptureStderr();
    const ShowAssets assets = loadShowAssets(device);
    const std::string messages = testing::internal::GetCapturedStderr();

    EXPECT_TRUE(std::all_of(assets.glyphTable.begin(), assets.glyphTable.end(),
                            [](const Texture* glyph) { return glyph == nullptr; }));
    EXPECT_NE(messages.find("glyphs: 0 of 223 loaded\n"), std::string::npos) << messages;
    // One more line names the characters of the scroll texts that will leave gaps.
    EXPECT_NE(messages.find("\"!#$,-.0"), std::string::npos) << messages;

    device.takeCalls();
    for (const float seconds : {0.0f, 40.0f, 100.0f}) {
        drawFrame(device, assets, BeatClock::fromSeconds(seconds));
        const std::vector<std::string> names = device.callNames();
        EXPECT_EQ(std::count(names.begin(), names.end(), "SpriteDraw"), 0);
        EXPECT_EQ(std::count(names.begin(), names.end(), "SpriteBegin"), 2);
        EXPECT_EQ(names.back(), "Present");
        device.takeCalls();
    }
}

}  // namespace
