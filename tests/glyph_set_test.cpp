// The glyph set: which file each character code comes from, in which order,
// and a show that runs on with no glyphs at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <variant>

#include "app/show.h"
#include "assets/glyph_set.h"
#include "tests/recorded_calls.h"
#include "tests/sprite_test_support.h"
#include "tests/test_support.h"

namespace {

class GlyphSetTest : public ::testing::Test {
protected:
    void writeGlyph(const std::string& path) { writePicture(path, solidPicture(128, 128, 0xFFFFFFFF)); }

    ScratchWorkingDirectory scratch_;
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
        EXPECT_TRUE(callsOfType<SpriteDrawCall>(device.calls()).empty());
        EXPECT_EQ(callsOfType<SpriteBeginCall>(device.calls()).size(), 2u);
        EXPECT_TRUE(std::holds_alternative<PresentCall>(device.calls().back()));
        device.takeCalls();
    }
}

}  // namespace

TEST(GlyphFileName, FollowsTheShowsRuleForTheAwkwardCharacters)
{
    EXPECT_EQ(glyphFileName('A'), "./font/A.png");
    EXPECT_EQ(glyphFileName('a'), "./font/aa.png");
    EXPECT_EQ(glyphFileName('z'), "./font/zz.png");
    EXPECT_EQ(glyphFileName('.'), "./font/..png");
    EXPECT_EQ(glyphFileName('!'), "./font/!.png");
    EXPECT_EQ(glyphFileName('{'), "./font/{.png");
    EXPECT_EQ(glyphFileName('~'), "./font/~.png");
    EXPECT_EQ(glyphFileName('/'), "./data/slash.png");
    EXPECT_EQ(glyphFileName(':'), "./data/colon.png");
    EXPECT_EQ(glyphFileName('?'), "./data/question.png");
}

TEST(GlyphFileName, GivesEveryCharacterItsOwnFileEvenWhereCaseIsIgnored)
{
    std::set<std::string> caseBlindNames;
    for (int code = kFirstGlyphCode; code <= 255; ++code) {
        std::string name = glyphFileName(code);
        // Only the folder separators may hold '/', and no name may hold ':' or '?'.
        EXPECT_EQ(std::count(name.begin(), name.end(), '/'), 2) << name;
        EXPECT_EQ(name.find_first_of(":?"), std::string::npos) << name;
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        caseBlindNames.insert(name);
    }
    EXPECT_EQ(caseBlindNames.size(), static_cast<std::size_t>(255 - kFirstGlyphCode + 1));
}
