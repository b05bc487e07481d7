#include "app/startup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

// Writes down each start-up step as it reaches the device, the audio output or
// the window's events, in the order they come.
class StepLog : public SilentDevice {
public:
    std::vector<std::string> steps;

    const Texture* CreateTexture(const Picture& picture, std::string_view name) override
    {
        steps.push_back("texture " + std::string(name));
        return SilentDevice::CreateTexture(picture, name);
    }
    const Mesh* CreateMesh(const MeshData& data, std::string_view name) override
    {
        steps.push_back("mesh");
        return SilentDevice::CreateMesh(data, name);
    }
    void SetRenderState(D3DRENDERSTATETYPE state, std::uint32_t value) override
    {
        steps.push_back("render state " + std::to_string(state) + " " + std::to_string(value));
    }
    void note(const std::string& step)
    {
        if (steps.empty() || steps.back() != step) {
            steps.push_back(step);
        }
    }
};

std::ptrdiff_t firstIndexOf(const std::vector<std::string>& steps, const std::string& prefix)
{
    return std::find_if(steps.begin(), steps.end(), [&](const std::string& step) { return step.starts_with(prefix); }) -
           steps.begin();
}

const std::vector<std::string> kBlendFactorSteps = {
    "render state " + std::to_string(D3DRS_SRCBLEND) + " " + std::to_string(D3DBLEND_SRCALPHA),
    "render state " + std::to_string(D3DRS_DESTBLEND) + " " + std::to_string(D3DBLEND_INVSRCALPHA),
};

class ShowStartupTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!showDataExists()) {
            GTEST_SKIP() << "no generated show data";
        }
    }
    ScopedWorkingDirectory inData_{showDataExists() ? showDataDirectory() : std::filesystem::current_path()};
};

TEST_F(ShowStartupTest, TakesItsStepsInTheShowsOrder)
{
    StepLog device;
    const AudioOutputOpener openOutput = [&](int, AudioSource&, std::string& failure) {
        device.note("audio output");
        failure = "no sound in this test";
        return std::unique_ptr<AudioOutput>();
    };
    testing::internal::CaptureStderr();
    const StartedShow show = ShowStartup().run(device, openOutput, [&] { device.note("window events"); });
    testing::internal::GetCapturedStderr();
    const std::vector<std::string>& steps = device.steps;

    // The cube and the submarine, then the window's events, then every glyph
    // in code order, then the label, the record and the backdrop.
    ASSERT_GE(steps.size(), 2u);
    EXPECT_EQ(std::vector(steps.begin(), steps.begin() + 2), (std::vector<std::string>{"mesh", "mesh"}));
    const std::ptrdiff_t firstTexture = firstIndexOf(steps, "texture ");
    EXPECT_EQ(firstIndexOf(steps, "window events"), 2);
    EXPECT_LT(2, firstTexture);
    std::vector<std::string> textures;
    for (const std::string& step : steps) {
        if (step.starts_with("texture ")) {
            textures.push_back(step.substr(8));
        }
    }
    std::vector<std::string> expected;
    for (int code = kFirstGlyphCode; code < 256; ++code) {
        if (std::filesystem::exists(glyphFileName(code))) {
            expected.push_back(glyphFileName(code));
        }
    }
    expected.insert(expected.end(), {kLabelPictureFile, kVinylPictureFile, kBackdropPictureFile});
    EXPECT_EQ(textures, expected);

    // Once everything is loaded: the music, and then the blend factors, last of all.
    const std::ptrdiff_t music = firstIndexOf(steps, "audio output");
    EXPECT_EQ(steps[music - 1], "texture " + std::string(kBackdropPictureFile));
    EXPECT_EQ(std::vector(steps.begin() + music + 1, steps.end()), kBlendFactorSteps);
    EXPECT_NE(show.music, nullptr);
}

TEST_F(ShowStartupTest, WithoutAnAudioOutputOpensNoMusicAndStillSetsTheBlendFactors)
{
    StepLog device;
    testing::internal::CaptureStderr();
    const StartedShow show = ShowStartup().run(device, nullptr);
    testing::internal::GetCapturedStderr();

    EXPECT_EQ(show.music, nullptr);
    EXPECT_NE(show.assets.pictures.backdropTexture, nullptr);
    ASSERT_GE(device.steps.size(), 2u);
    EXPECT_EQ(std::vector(device.steps.end() - 2, device.steps.end()), kBlendFactorSteps);
}

}  // namespace
