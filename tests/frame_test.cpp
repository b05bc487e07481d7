#include <gtest/gtest.h>

#include <chrono>
#include <utility>

#include "app/frame_loop.h"
#include "core/recording_device.h"
#include "scene/background_pulse.h"
#include "tests/recorded_calls.h"
#include "tests/test_support.h"
#include "tools/bench/allocation_count.h"

TEST(Frame, CallsComeInFrameOrder)
{
    RecordingDevice device;
    const ShowAssets assets = loadShowAssets(device);
    device.takeCalls();
    drawFrame(device, assets, BeatClock::fromSeconds(60.0f));
    const std::vector<std::string> names = callNames(device.calls());
    ASSERT_GE(names.size(), 4u);
    EXPECT_EQ(names[0], "Clear");
    EXPECT_EQ(names[1], "BeginScene");
    EXPECT_EQ(names[names.size() - 2], "EndScene");
    EXPECT_EQ(names.back(), "Present");
    EXPECT_EQ(std::get<ClearCall>(device.calls()[0]),
              (ClearCall{D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FF, 1, 0}));
}

TEST(Frame, BlendFactorsAreSetOnceAtStartUpOnly)
{
    RecordingDevice device;
    const ShowAssets assets = loadShowAssets(device);
    setBlendFactors(device);
    const std::vector<DeviceCall> startUp = device.takeCalls();
    EXPECT_EQ(callNames(startUp), (std::vector<std::string>{"SetRenderState", "SetRenderState"}));
    EXPECT_EQ(callsOfType<SetRenderStateCall>(startUp), (std::vector<SetRenderStateCall>{
                                                            {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
                                                            {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
                                                        }));
    for (float seconds : {0.0f, 40.0f, 60.0f, 90.0f}) {
        drawFrame(device, assets, BeatClock::fromSeconds(seconds));
    }
    for (const SetRenderStateCall& call : callsOfType<SetRenderStateCall>(device.calls())) {
        EXPECT_NE(call.state, D3DRS_SRCBLEND);
        EXPECT_NE(call.state, D3DRS_DESTBLEND);
    }
}

TEST(FrameLoop, AStopRequestEndsAfterThatFrameIsDrawn)
{
    RecordingDevice device;
    const ShowAssets assets = loadShowAssets(device);
    int drains = 0;
    const int exitCode = runFrameLoop(device, assets, {[&] { return ++drains == 3; }, [] { return 10.0f; }});
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(callsOfType<PresentCall>(device.calls()).size(), 3u);
}

TEST(FrameLoop, OneTurnDrawsTheFrameAndSaysWhetherTheLoopGoesOn)
{
    RecordingDevice device;
    const ShowAssets assets = loadShowAssets(device);
    const auto turn = [&](bool stop, float seconds) {
        return runFrame(device, assets, {[=] { return stop; }, [=] { return seconds; }});
    };
    EXPECT_TRUE(turn(false, 160.0f));   // beat 400
    EXPECT_FALSE(turn(false, 160.5f));  // beat 401
    EXPECT_FALSE(turn(true, 10.0f));
    EXPECT_EQ(callsOfType<PresentCall>(device.calls()).size(), 3u);
}

TEST(FrameLoop, EndsAfterTheFirstFramePastBeat400)
{
    RecordingDevice device;
    const ShowAssets assets = loadShowAssets(device);
    float seconds = 159.8f;
    std::vector<std::int32_t> beats;
    runFrameLoop(device, assets,
                 {[] { return false; },
                  [&] {
                      beats.push_back(BeatClock::fromSeconds(seconds).beatIndex);
                      return std::exchange(seconds, seconds + 0.1f);
                  }});
    ASSERT_GE(beats.size(), 2u);
    EXPECT_EQ(beats.back(), 401);
    EXPECT_EQ(beats[beats.size() - 2], 400);
}

TEST(FrameLoop, DrawsFramesWithoutAllocating)
{
    // Without the show's data the passes would draw nothing and allocate nothing.
    ASSERT_TRUE(showDataExists()) << "needs the generated data in " << showDataDirectory()
                                  << " (the build's kelpwax-data target makes it)";
    const ScopedWorkingDirectory inData(showDataDirectory());
    SilentDevice device;
    const ShowAssets assets = loadShowAssets(device);
    ASSERT_NE(assets.submarine.mesh, nullptr);
    ASSERT_NE(assets.pictures.backdropTexture, nullptr);
    ASSERT_NE(assets.pictures.vinylTexture, nullptr);
    ASSERT_NE(assets.pictures.labelTexture, nullptr);
    ASSERT_NE(assets.glyphTable['A'], nullptr);
    drawFrame(device, assets, BeatClock::fromSeconds(0.0f));
    const long before = allocationCount();
    for (float seconds = 0.0f; seconds < 161.0f; seconds += 0.37f) {
        drawFrame(device, assets, BeatClock::fromSeconds(seconds));
    }
    EXPECT_EQ(allocationCount() - before, 0);
}

TEST(Frame, PresentationDelayFollowsRecentFramesAndLeavesOutHeldUpOnes)
{
    using std::chrono::milliseconds;
    PresentationDelay delay;
    EXPECT_EQ(delay.seconds(), 0.0f);
    delay.record(milliseconds(20));
    EXPECT_FLOAT_EQ(delay.seconds(), 0.020f);
    delay.record(std::chrono::seconds(5));  // the process was stopped
    delay.record(milliseconds(-1));         // a clock that stepped back
    EXPECT_FLOAT_EQ(delay.seconds(), 0.020f);
    for (int frame = 0; frame < 100; ++frame) {
        delay.record(milliseconds(10));
    }
    EXPECT_NEAR(delay.seconds(), 0.010f, 0.0001f);
}

// A device that queues one frame ahead tells of each frame reaching the screen
// only while the next is presented: the delay is that frame's own, from its own
// clock reading, and a presentation told of twice counts once.
TEST(Frame, PresentationDelayMatchesEachPresentationWithItsOwnFrame)
{
    using std::chrono::milliseconds;
    const std::chrono::steady_clock::time_point start{std::chrono::seconds(100)};
    PresentationDelay delay;
    delay.frameStarted(start);
    delay.presented({});          // nothing on screen yet
    delay.presented({start, 1});  // behind by more frames than were drawn
    EXPECT_EQ(delay.seconds(), 0.0f);
    for (int frame = 1; frame < 6; ++frame) {
        const auto clockRead = start + frame * milliseconds(30);
        delay.frameStarted(clockRead);
        // The frame before, which read the clock 30 ms before this one, reached the screen 50 ms after its reading.
        const Presentation previousShown{clockRead + milliseconds(20), 1};
        delay.presented(previousShown);
        EXPECT_FLOAT_EQ(delay.seconds(), 0.050f) << "frame " << frame;
        delay.presented(previousShown);
    }
    delay.frameStarted(start + milliseconds(400));
    delay.presented({start + milliseconds(420), 4});  // no longer kept
    EXPECT_FLOAT_EQ(delay.seconds(), 0.050f);
    delay.presented({start + milliseconds(410), 0});
    EXPECT_NEAR(delay.seconds(), 0.050f + 0.1f * (0.010f - 0.050f), 1e-6f);
}

TEST(Frame, EachFrameShowsTheMusicAsHeardWhenItReachesTheScreen)
{
    RecordingDevice device;
    const ShowAssets assets = loadShowAssets(device);
    // Frames reach the screen 40 ms after they read the clock, which stands at 60 s.
    std::chrono::steady_clock::time_point clockRead;
    const FrameSources sources{[] { return false; },
                               [&] {
                                   clockRead = std::chrono::steady_clock::now();
                                   return 60.0f;
                               },
                               [&] {
                                   return Presentation{clockRead + std::chrono::milliseconds(40), 0};
                               }};
    PresentationDelay delay;
    runFrame(device, assets, sources, delay);
    device.takeCalls();
    runFrame(device, assets, sources, delay);
    const D3DCOLOR shown = std::get<ClearCall>(device.calls()[0]).color;
    EXPECT_EQ(shown, backgroundColour(BeatClock::fromSeconds(60.04f)));
    EXPECT_NE(shown, backgroundColour(BeatClock::fromSeconds(60.0f)));
}
