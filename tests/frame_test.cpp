#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "app/frame_loop.h"
#include "app/recording_device.h"
#include "tests/test_support.h"

namespace {

std::atomic<long> allocationCount{0};

}  // namespace

void* operator new(std::size_t size)
{
    ++allocationCount;
    if (void* p = std::malloc(size ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}

// The replaced operator new above takes its memory from malloc, so free is the matching release.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

TEST(Frame, CallsComeInFrameOrder)
{
    RecordingDevice device;
    const ShowAssets assets = loadShowAssets(device);
    device.takeCalls();
    drawFrame(device, assets, BeatClock::fromSeconds(60.0f));
    const std::vector<std::string> names = device.callNames();
    ASSERT_GE(names.size(), 4u);
    EXPECT_EQ(names[0], "Clear");
    EXPECT_EQ(names[1], "BeginScene");
    EXPECT_EQ(names[names.size() - 2], "EndScene");
    EXPECT_EQ(names.back(), "Present");
    EXPECT_EQ(device.calls()[0], R"({"call":"Clear","flags":3,"color":"0xFF0000FF","z":1,"stencil":0})");
}

TEST(Frame, BlendFactorsAreSetOnceAtStartUpOnly)
{
    RecordingDevice device;
    const ShowAssets assets = loadShowAssets(device);
    setBlendFactors(device);
    EXPECT_EQ(device.takeCalls(), (std::vector<std::string>{
                                      R"({"call":"SetRenderState","state":"SRCBLEND","value":5})",
                                      R"({"call":"SetRenderState","state":"DESTBLEND","value":6})",
                                  }));
    for (float seconds : {0.0f, 40.0f, 60.0f, 90.0f}) {
        drawFrame(device, assets, BeatClock::fromSeconds(seconds));
    }
    for (const std::string& call : device.calls()) {
        EXPECT_EQ(call.find("BLEND\""), std::string::npos) << call;
    }
}

TEST(FrameLoop, AStopRequestEndsAfterThatFrameIsDrawn)
{
    RecordingDevice device;
    const ShowAssets assets = loadShowAssets(device);
    int drains = 0;
    const int exitCode = runFrameLoop(device, assets, {[&] { return ++drains == 3; }, [] { return 10.0f; }});
    EXPECT_EQ(exitCode, 0);
    const std::vector<std::string> names = device.callNames();
    EXPECT_EQ(std::count(names.begin(), names.end(), "Present"), 3);
}

TEST(FrameLoop, EndsAfterTheFirstFramePastBeat400)
{
    RecordingDevice device;
    const ShowAssets assets = loadShowAssets(device);
    float seconds = 159.8f;
    std::vector<std::int32_t> beats;
    runFrameLoop(device, assets, {[] { return false; }, [&] {
                                      beats.push_back(BeatClock::fromSeconds(seconds).beatIndex);
                                      return std::exchange(seconds, seconds + 0.1f);
                                  }});
    ASSERT_GE(beats.size(), 2u);
    EXPECT_EQ(beats.back(), 401);
    EXPECT_EQ(beats[beats.size() - 2], 400);
}

TEST(FrameLoop, DrawsFramesWithoutAllocating)
{
    // With the show's data every pass has something to draw.
    const ScopedWorkingDirectory inData(showDataExists() ? showDataDirectory() : std::filesystem::current_path());
    SilentDevice device;
    const ShowAssets assets = loadShowAssets(device);
    drawFrame(device, assets, BeatClock::fromSeconds(0.0f));
    const long before = allocationCount.load();
    for (float seconds = 0.0f; seconds < 161.0f; seconds += 0.37f) {
        drawFrame(device, assets, BeatClock::fromSeconds(seconds));
    }
    EXPECT_EQ(allocationCount.load() - before, 0);
}
