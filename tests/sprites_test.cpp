// The two sprite passes on the recording device: where each picture lands at
// the beats the show's description works through, the colours, the frame of
// render states around each pass, and their place in a whole frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>
#include <span>
#include <variant>

#include "app/show.h"
#include "scene/backdrop_vinyl.h"
#include "scene/scroll_texts.h"
#include "scene/scroller.h"
#include "tests/recorded_calls.h"
#include "tests/sprite_test_support.h"
#include "tests/test_support.h"

namespace {

float rollOf(const PlacedSprite& draw)
{
    return std::atan2(draw.transform.m[0][1], draw.transform.m[0][0]);
}

float scalingOf(const PlacedSprite& draw)
{
    return std::hypot(draw.transform.m[0][0], draw.transform.m[0][1]);
}

class BackdropAndVinylTest : public ::testing::Test {
protected:
    std::vector<PlacedSprite> drawsAt(double beatTime)
    {
        device_.takeCalls();
        drawBackdropAndVinyl(device_, pictures_, clockAtBeat(beatTime));
        return placedSprites(device_.calls());
    }

    RecordingDevice device_;
    SpritePictures pictures_{device_.CreateTexture({2048, 2048, {}}, "underwater.png"),
                             device_.CreateTexture({2048, 2048, {}}, "vinyl.png"),
                             device_.CreateTexture({2048, 2048, {}}, "vinyllabel.png")};
};

TEST_F(BackdropAndVinylTest, BackdropStartsAloneInOpaqueBlackAndFadesIn)
{
    const std::vector<PlacedSprite> draws = drawsAt(0);
    ASSERT_EQ(draws.size(), 1u);
    const PlacedSprite& backdrop = draws[0];
    EXPECT_EQ(backdrop.texture, "underwater.png");
    EXPECT_EQ(backdrop.color, 0xFF000000);
    EXPECT_FLOAT_EQ(rollOf(backdrop), 0.1f);
    EXPECT_FLOAT_EQ(scalingOf(backdrop), 0.8f);
    const D3DXVECTOR3 middle = placeTexel(backdrop, 1024, 1024);
    EXPECT_FLOAT_EQ(middle.x, 640);
    EXPECT_FLOAT_EQ(middle.y, 380);
    EXPECT_FLOAT_EQ(middle.z, 0);

    // Then it fades in from black over eight beats.
    EXPECT_EQ(drawsAt(0.5)[0].color, 0xFF101010);
    EXPECT_EQ(drawsAt(7.9)[0].color, 0xFFFCFCFC);
    EXPECT_EQ(drawsAt(255.0 / 32)[0].color, 0xFFFFFFFF);
    EXPECT_EQ(drawsAt(300)[0].color, 0xFFFFFFFF);
}

TEST_F(BackdropAndVinylTest, BackdropStepsSidewaysOnlyOnWholeBeats)
{
    const PlacedSprite early = drawsAt(1.0)[0];
    const PlacedSprite late = drawsAt(1.99)[0];
    EXPECT_NEAR(placeTexel(early, 1024, 1024).x, 647.42f, 0.005f);
    EXPECT_FLOAT_EQ(placeTexel(late, 1024, 1024).x, placeTexel(early, 1024, 1024).x);
    EXPECT_NE(placeTexel(late, 1024, 1024).y, placeTexel(early, 1024, 1024).y);
    EXPECT_NE(scalingOf(late), scalingOf(early));
}

TEST_F(BackdropAndVinylTest, RecordAndLabelComeInAtBeat80)
{
    EXPECT_EQ(drawsAt(79.999).size(), 1u);

    const std::vector<PlacedSprite> draws = drawsAt(80);
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_EQ(draws[0].texture, "underwater.png");
    const PlacedSprite& record = draws[1];
    const PlacedSprite& label = draws[2];
    EXPECT_EQ(record.texture, "vinyl.png");
    EXPECT_EQ(label.texture, "vinyllabel.png");
    for (const PlacedSprite& draw : {record, label}) {
        const D3DXVECTOR3 middle = placeTexel(draw, 1024, 1024);
        EXPECT_NEAR(middle.x, 615.94f, 0.005f);
        EXPECT_NEAR(middle.y, -78.27f, 0.005f);
        EXPECT_FLOAT_EQ(scalingOf(draw), 0.5f);
        EXPECT_EQ(draw.color, 0xFFFFFFFF);
    }
    EXPECT_NEAR(rollOf(record), 0.99673f, 0.00001f);
    // The label has turned 80 radians.
    EXPECT_NEAR(std::remainder(rollOf(label) - 80.0, 2 * std::numbers::pi), 0, 1e-4);
}

TEST_F(BackdropAndVinylTest, PassTurnsDepthOffAndBlendingOnAroundOneBatch)
{
    device_.takeCalls();
    drawBackdropAndVinyl(device_, pictures_, clockAtBeat(100));
    const std::vector<DeviceCall>& calls = device_.calls();
    ASSERT_GE(calls.size(), 5u);
    EXPECT_EQ(std::get<SetRenderStateCall>(calls[0]), (SetRenderStateCall{D3DRS_ZENABLE, 0}));
    EXPECT_EQ(std::get<SetRenderStateCall>(calls[1]), (SetRenderStateCall{D3DRS_ALPHABLENDENABLE, 1}));
    EXPECT_EQ(std::get<SpriteBeginCall>(calls[2]), (SpriteBeginCall{D3DXSPRITE_SORT_DEPTH_BACKTOFRONT}));
    EXPECT_TRUE(std::holds_alternative<SpriteEndCall>(calls[calls.size() - 2]));
    EXPECT_EQ(std::get<SetRenderStateCall>(calls.back()), (SetRenderStateCall{D3DRS_ZENABLE, 1}));
}

TEST(SpritePictures, EachMissingPictureIsSaidOnceAndLeftOut)
{
    TemporaryDirectory directory;
    ScopedWorkingDirectory inDirectory(directory.path());
    writePicture("vinyl.png", solidPicture(16, 16, 0x000000FF));
    RecordingDevice device;
    testing::internal::CaptureStderr();
    const SpritePictures pictures = loadSpritePictures(device);
    const std::string messages = testing::internal::GetCapturedStderr();

    EXPECT_EQ(pictures.backdropTexture, nullptr);
    EXPECT_EQ(pictures.labelTexture, nullptr);
    ASSERT_NE(pictures.vinylTexture, nullptr);
    EXPECT_EQ(std::count(messages.begin(), messages.end(), '\n'), 2) << messages;
    EXPECT_NE(messages.find("underwater.png: "), std::string::npos) << messages;
    EXPECT_NE(messages.find("vinyllabel.png: "), std::string::npos) << messages;

    drawBackdropAndVinyl(device, pictures, clockAtBeat(90));
    const std::vector<PlacedSprite> draws = placedSprites(device.calls());
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].texture, "vinyl.png");
}

// Every glyph named after its character, so a draw tells which character it is.
class ScrollerTest : public ::testing::Test {
protected:
    ScrollerTest()
    {
        for (int code = 33; code < 127; ++code) {
            glyphs_[code] = device_.CreateTexture({128, 128, {}}, std::string(1, static_cast<char>(code)));
        }
    }

    std::vector<PlacedSprite> drawsAt(double beatTime)
    {
        device_.takeCalls();
        drawScrollerLines(device_, glyphs_, clockAtBeat(beatTime));
        return placedSprites(device_.calls());
    }

    static std::size_t glyphCount(std::string_view text)
    {
        return text.size() - std::count(text.begin(), text.end(), ' ');
    }

    RecordingDevice device_;
    GlyphTable glyphs_{};
};

void expectGlyphAt(const PlacedSprite& draw, char character, float x, float y)
{
    EXPECT_EQ(draw.texture, std::string(1, character));
    const D3DXVECTOR3 pinned = placeTexel(draw, 64, 64);
    EXPECT_NEAR(pinned.x, x, 0.001f) << character;
    EXPECT_NEAR(pinned.y, y, 0.001f) << character;
    EXPECT_FLOAT_EQ(scalingOf(draw), 1.5f);
    EXPECT_EQ(rollOf(draw), 0);
    EXPECT_EQ(draw.color, 0xFFFFFFFF);
}

TEST_F(ScrollerTest, FirstCharactersStandJustPastTheRightEdgeAtBeatZero)
{
    const std::vector<PlacedSprite> draws = drawsAt(0);
    const std::size_t lowerFirst = glyphCount(upperScrollText);
    ASSERT_EQ(draws.size(), lowerFirst + glyphCount(lowerScrollText));
    expectGlyphAt(draws[0], upperScrollText[0], 1404.794f, 199.801f);
    expectGlyphAt(draws[1], upperScrollText[1], 1533.209f, 168.354f);
    EXPECT_NEAR(placeTexel(draws[2], 64, 64).x, 1663.184f, 0.001f);
    expectGlyphAt(draws[lowerFirst], lowerScrollText[0], 1404.794f, 533.743f);
    expectGlyphAt(draws[lowerFirst + 1], lowerScrollText[1], 1533.209f, 549.120f);
}

TEST_F(ScrollerTest, FirstCharactersHaveCrossedTheLeftEdgeAtBeatTen)
{
    const std::vector<PlacedSprite> draws = drawsAt(10);
    expectGlyphAt(draws[0], upperScrollText[0], -840.032f, 198.295f);
    expectGlyphAt(draws[glyphCount(upperScrollText)], lowerScrollText[0], -1419.246f, 547.997f);
}

TEST_F(ScrollerTest, MissingGlyphsLeaveGapsWithoutShiftingTheLine)
{
    const std::vector<PlacedSprite> everyGlyph = drawsAt(37.5);
    for (int code = 33; code < 127; ++code) {
        if (code != 'E' && code != 'e') {
            glyphs_[code] = nullptr;
        }
    }
    const std::vector<PlacedSprite> onlyEs = drawsAt(37.5);

    std::vector<PlacedSprite> esOfEveryGlyph;
    std::copy_if(everyGlyph.begin(), everyGlyph.end(), std::back_inserter(esOfEveryGlyph),
                 [](const PlacedSprite& draw) { return draw.texture == "E" || draw.texture == "e"; });
    ASSERT_EQ(onlyEs.size(), esOfEveryGlyph.size());
    for (std::size_t i = 0; i < onlyEs.size(); ++i) {
        EXPECT_EQ(placeTexel(onlyEs[i], 64, 64).x, placeTexel(esOfEveryGlyph[i], 64, 64).x) << i;
    }
}

TEST(ScrollTexts, HaveTheirLengthsAndOnlyCharactersWithGlyphs)
{
    EXPECT_EQ(upperScrollText.size(), 553u);
    EXPECT_EQ(lowerScrollText.size(), 741u);
    const auto usesOnly = [](std::string_view text, std::string_view marks) {
        return std::all_of(text.begin(), text.end(), [&](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == ' ' || marks.find(c) != std::string_view::npos;
        });
    };
    EXPECT_TRUE(usesOnly(upperScrollText, "!#$,.?"));
    EXPECT_TRUE(usesOnly(lowerScrollText, "!#,-.:"));
}

TEST(SpritesInAFrame, AtBeat80BackdropRecordAndLabelComeFirstAndTheScrollerLast)
{
    TemporaryDirectory directory;
    ScopedWorkingDirectory inDirectory(directory.path());
    for (const char* path : {"underwater.png", "vinyl.png", "vinyllabel.png", "font/E.png", "font/ee.png"}) {
        writePicture(path, solidPicture(8, 8, 0xFFFFFFFF));
    }
    RecordingDevice device;
    testing::internal::CaptureStderr();
    const ShowAssets assets = loadShowAssets(device);
    setBlendFactors(device);
    testing::internal::GetCapturedStderr();
    device.takeCalls();
    drawFrame(device, assets, BeatClock::fromSeconds(32.0f));

    const std::vector<std::string> names = callNames(device.calls());
    const auto firstBegin = std::find(names.begin(), names.end(), "SpriteBegin");
    const auto firstEnd = std::find(firstBegin, names.end(), "SpriteEnd");
    const std::vector<PlacedSprite> firstPass =
        placedSprites(std::span(device.calls()).subspan(firstBegin - names.begin(), firstEnd - firstBegin));
    ASSERT_EQ(firstPass.size(), 3u);
    EXPECT_EQ(firstPass[0].texture, "underwater.png");
    EXPECT_EQ(firstPass[1].texture, "vinyl.png");
    EXPECT_EQ(firstPass[2].texture, "vinyllabel.png");

    const auto lastBegin = std::find(names.rbegin(), names.rend(), "SpriteBegin").base() - 1;
    EXPECT_GT(lastBegin, firstEnd);
    EXPECT_EQ(std::find(lastBegin, names.end(), "DrawSubset"), names.end());
    EXPECT_GT(std::count(lastBegin, names.end(), "SpriteDraw"), 0);
    EXPECT_EQ(names[names.size() - 4], "SpriteEnd");
    EXPECT_EQ(names[names.size() - 2], "EndScene");
}

}  // namespace
