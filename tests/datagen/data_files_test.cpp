#include "data_files.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "decoded_png.h"
#include "glyph_set.h"
#include "pictures.h"

namespace datagen {
namespace {

// Makes every file once (the big pictures take a few seconds) and keeps the bytes.
class VisualData : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        files_ = new std::map<std::string, std::vector<std::uint8_t>>;
        for (const DataFileJob& job : visualDataJobs())
            (*files_)[job.relativePath.string()] = job.make();
    }
    static void TearDownTestSuite() { delete files_; }

    static DecodedPng picture(const std::string& name) { return decodePng(files_->at(name)); }

    static std::map<std::string, std::vector<std::uint8_t>>* files_;
};

std::map<std::string, std::vector<std::uint8_t>>* VisualData::files_ = nullptr;

TEST_F(VisualData, LaysOutEveryFileWhereTheShowLooksForIt)
{
    std::set<std::string> expected = {"underwater.png", "vinyl.png",      "vinyllabel.png", "submarine1_lowerpoly.x",
                                      "kelpwax.ico",    "data/slash.png", "data/colon.png", "data/question.png",
                                      "font/A.png",     "font/aa.png",    "font/..png"};
    std::set<std::string> made;
    for (const auto& [name, bytes] : *files_)
        made.insert(name);
    for (const std::string& name : expected)
        EXPECT_TRUE(made.count(name)) << name;
    EXPECT_EQ(made.size(), 5u + (kLastGlyphCode - kFirstGlyphCode + 1));
    for (const std::filesystem::path& folder : visualDataFolders()) {
        EXPECT_TRUE(folder == "font" || folder == "data") << folder;
    }
}

TEST_F(VisualData, PicturesAreRgbaAtTheSizesTheShowPinsThemBy)
{
    for (const char* name : {"underwater.png", "vinyl.png", "vinyllabel.png"}) {
        const DecodedPng png = picture(name);
        EXPECT_TRUE(png.isRgba8) << name;
        EXPECT_EQ(png.width, kSpritePictureSize) << name;
        EXPECT_EQ(png.height, kSpritePictureSize) << name;
    }
    for (int code = kFirstGlyphCode; code <= kLastGlyphCode; ++code) {
        const DecodedPng png = picture(std::filesystem::path(glyphFileName(code)).lexically_normal().string());
        EXPECT_TRUE(png.isRgba8);
        EXPECT_EQ(png.width, kGlyphPictureSize);
        EXPECT_EQ(png.height, kGlyphPictureSize);
    }
}

// Alpha at a distance from the picture's centre, as a fraction of the picture's size, and an angle.
std::uint8_t alphaAt(const DecodedPng& png, float radius, float angle)
{
    const float centre = png.width * 0.5f;
    const int x = static_cast<int>(centre + std::cos(angle) * radius * png.width);
    const int y = static_cast<int>(centre + std::sin(angle) * radius * png.width);
    return png.alpha(x, y);
}

TEST_F(VisualData, RecordIsOpaqueOnTheDiscAndTransparentOutsideItAndInItsHole)
{
    const DecodedPng vinyl = picture("vinyl.png");
    for (float angle = 0.0f; angle < 6.28f; angle += 0.3f) {
        EXPECT_EQ(alphaAt(vinyl, kRecordRadius - 0.01f, angle), 255);
        EXPECT_EQ(alphaAt(vinyl, kHoleRadius * 1.5f, angle), 255);
        EXPECT_EQ(alphaAt(vinyl, kRecordRadius + 0.002f, angle), 0);
        EXPECT_EQ(alphaAt(vinyl, kHoleRadius * 0.6f, angle), 0);
    }
    EXPECT_EQ(vinyl.alpha(0, 0), 0);
    EXPECT_EQ(vinyl.alpha(vinyl.width - 1, vinyl.height - 1), 0);
}

TEST_F(VisualData, LabelIsAThirdOfTheRecordWithAHoleAndNothingAroundIt)
{
    const DecodedPng label = picture("vinyllabel.png");
    EXPECT_NEAR(kLabelRadius / kRecordRadius, 1.0f / 3.0f, 0.02f);
    for (float angle = 0.0f; angle < 6.28f; angle += 0.3f) {
        EXPECT_EQ(alphaAt(label, kLabelRadius - 0.005f, angle), 255);
        EXPECT_EQ(alphaAt(label, kLabelRadius + 0.005f, angle), 0);
        EXPECT_EQ(alphaAt(label, kHoleRadius * 0.6f, angle), 0);
    }
}

TEST_F(VisualData, LabelLooksDifferentTurnedSoItsSpinShows)
{
    const DecodedPng label = picture("vinyllabel.png");
    const int size = label.width;
    for (const int quarterTurns : {1, 2}) {
        double difference = 0.0;
        int compared = 0;
        for (int y = 0; y < size; y += 4) {
            for (int x = 0; x < size; x += 4) {
                const int tx = quarterTurns == 1 ? size - 1 - y : size - 1 - x;
                const int ty = quarterTurns == 1 ? x : size - 1 - y;
                if (label.alpha(x, y) < 255 || label.alpha(tx, ty) < 255)
                    continue;
                for (int c = 0; c < 3; ++c) {
                    difference += std::abs(label.rgba[(y * size + x) * 4 + c] - label.rgba[(ty * size + tx) * 4 + c]);
                }
                ++compared;
            }
        }
        EXPECT_GT(difference / (compared * 3.0), 20.0) << quarterTurns << " quarter turns";
    }
}

TEST_F(VisualData, BackdropIsTranslucentAllOverSoTheClearColourTintsIt)
{
    const DecodedPng backdrop = picture("underwater.png");
    // The show never scales it below 0.7, so with the sway and roll the screen
    // can reach nearly to its edges: no part may be see-through or fully opaque.
    std::size_t inRange = 0;
    std::size_t total = 0;
    int lowest = 255;
    double sum = 0.0;
    for (int y = 0; y < backdrop.height; y += 2) {
        for (int x = 0; x < backdrop.width; x += 2) {
            const int alpha = backdrop.alpha(x, y);
            lowest = std::min(lowest, alpha);
            sum += alpha;
            inRange += alpha >= 0.55 * 255 && alpha <= 0.95 * 255;
            ++total;
        }
    }
    EXPECT_GE(lowest, 0.5 * 255);
    EXPECT_GT(static_cast<double>(inRange) / total, 0.9);
    EXPECT_NEAR(sum / total / 255.0, 0.75, 0.1);
}

TEST_F(VisualData, GlyphsModelAndIconComeOutTheSameEveryTime)
{
    for (const DataFileJob& job : visualDataJobs()) {
        const std::string name = job.relativePath.string();
        if (name.ends_with(".png") && name.find('/') == std::string::npos)
            continue;  // the big pictures, below
        EXPECT_EQ(job.make(), files_->at(name)) << name;
    }
}

TEST(Pictures, ComeOutTheSameEveryTime)
{
    constexpr int kSize = 256;
    EXPECT_EQ(paintUnderwater(kSize).toRgba8(1), paintUnderwater(kSize).toRgba8(1));
    EXPECT_EQ(paintVinyl(kSize).toRgba8(2), paintVinyl(kSize).toRgba8(2));
    EXPECT_EQ(paintVinylLabel(kSize).toRgba8(3), paintVinylLabel(kSize).toRgba8(3));
}

}  // namespace
}  // namespace datagen
