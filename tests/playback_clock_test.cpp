#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "music/playback_clock.h"

using namespace std::chrono_literals;

namespace {

constexpr int kRate = 44100;
constexpr int kBuffer = 1024;
const std::chrono::nanoseconds kBufferDuration{1'000'000'000LL * kBuffer / kRate};

}  // namespace

TEST(PlaybackClock, HoldsAtZeroUntilTheFirstCallback)
{
    PlaybackClock clock;
    clock.configure(kRate, kBuffer);
    EXPECT_EQ(clock.positionSeconds(PlaybackClock::TimePoint{} + 5s), 0.0f);
}

TEST(PlaybackClock, TakesOffOneBufferOfLatencyAndNeverPassesWhatWasHandedOver)
{
    PlaybackClock clock;
    clock.configure(kRate, kBuffer);
    const PlaybackClock::TimePoint t0{};
    clock.recordCallback(0, kBuffer, t0);
    // Right after the first callback nothing has been heard yet.
    EXPECT_EQ(clock.positionSeconds(t0 + 10ms), 0.0f);
    clock.recordCallback(kBuffer, kBuffer, t0 + kBufferDuration);
    EXPECT_NEAR(clock.positionSeconds(t0 + kBufferDuration + 10ms), 0.010f, 1e-5);
    // A device that stops taking buffers: the position stops at the end of both buffers, never beyond.
    EXPECT_NEAR(clock.positionSeconds(t0 + 500ms), 2.0f * kBuffer / kRate, 1e-6);
}

TEST(PlaybackClock, SmoothsNoisyCallbacksIntoSteadySteps)
{
    PlaybackClock clock;
    clock.configure(kRate, kBuffer);
    const PlaybackClock::TimePoint t0{};
    // Callbacks that arrive up to 0.3 ms early or late, around the true pace.
    const auto callbackTime = [&](int n) {
        const auto noise = std::chrono::microseconds(n % 3 == 0 ? 300 : n % 3 == 1 ? -200 : -100);
        return t0 + n * kBufferDuration + noise;
    };
    int nextCallback = 0;
    double sumOfSquares = 0;
    int steps = 0;
    float lastPosition = 0;
    for (auto now = t0 + 2s; now < t0 + 12s; now += 16667us) {
        while (callbackTime(nextCallback) <= now) {
            clock.recordCallback(std::int64_t{nextCallback} * kBuffer, kBuffer, callbackTime(nextCallback));
            ++nextCallback;
        }
        const float position = clock.positionSeconds(now);
        if (now > t0 + 4s) {  // once the estimate has settled
            const double error = (position - lastPosition) - 0.016667;
            sumOfSquares += error * error;
            ++steps;
        }
        EXPECT_GE(position, lastPosition);
        lastPosition = position;
    }
    EXPECT_LT(std::sqrt(sumOfSquares / steps), 0.0001) << "RMS step error in seconds";
}

// On a machine whose cores are all busy the audio thread runs late, by a few
// milliseconds now and then, and a device that is timed by its own thread
// (as a dummy device is) stays late from then on, so it plays a little slower
// than the wall clock. The position must follow it without stalling: every
// frame's step stays close to the average step.
TEST(PlaybackClock, FollowsCallbacksDelayedByABusyMachineWithoutStalling)
{
    PlaybackClock clock;
    clock.configure(kRate, kBuffer);
    const PlaybackClock::TimePoint t0{};
    auto nextCallback = t0;
    std::int64_t handedOver = 0;
    unsigned seed = 1;
    std::vector<double> stepsSeconds;
    float lastPosition = 0;
    for (auto now = t0; now < t0 + 12s; now += 16667us) {
        while (nextCallback <= now) {
            clock.recordCallback(handedOver, kBuffer, nextCallback);
            handedOver += kBuffer;
            seed = seed * 1103515245 + 12345;
            // One callback in eight is 1 to 8 ms late, and the device's timeline moves with it.
            const auto delay = (seed >> 16) % 8 == 0 ? std::chrono::microseconds(1000 + (seed >> 8) % 7000) : 0us;
            nextCallback += kBufferDuration + delay;
        }
        const float position = clock.positionSeconds(now);
        ASSERT_GE(position, lastPosition);
        if (now > t0 + 2s) {
            stepsSeconds.push_back(position - lastPosition);
        }
        lastPosition = position;
    }
    const double mean = std::accumulate(stepsSeconds.begin(), stepsSeconds.end(), 0.0) / stepsSeconds.size();
    double sumOfSquares = 0;
    for (const double step : stepsSeconds) {
        sumOfSquares += (step - mean) * (step - mean);
    }
    EXPECT_LT(std::sqrt(sumOfSquares / stepsSeconds.size()), 0.0005) << "RMS deviation of a step, in seconds";
}

namespace {

// Feeds a clock one buffer per buffer period, as a device does, from frame 0 at t0.
struct SteadyDevice {
    PlaybackClock& clock;
    PlaybackClock::TimePoint next{};
    std::int64_t frame = 0;

    void runUntil(PlaybackClock::TimePoint until)
    {
        for (; next <= until; next += kBufferDuration, frame += kBuffer) {
            clock.recordCallback(frame, kBuffer, next);
        }
    }
};

// The device plays and the frame thread looks once a frame for 10 s; returns when that ends.
PlaybackClock::TimePoint playTenSeconds(PlaybackClock& clock, SteadyDevice& device)
{
    auto now = PlaybackClock::TimePoint{};
    for (; now < PlaybackClock::TimePoint{} + 10s; now += 16667us) {
        device.runUntil(now);
        EXPECT_FALSE(clock.outputStalled(now));
        clock.positionSeconds(now);
    }
    return now;
}

}  // namespace

TEST(PlaybackClock, ADeviceThatStopsTakingBuffersIsNoticedWithinASecondAndTimeGoesOn)
{
    PlaybackClock clock;
    clock.configure(kRate, kBuffer);
    const PlaybackClock::TimePoint t0{};
    SteadyDevice device{clock};
    auto now = playTenSeconds(clock, device);
    // The device takes nothing more: the picture holds where the sound ends, until the stall is plain.
    const auto lastCallback = device.next - kBufferDuration;
    for (; !clock.outputStalled(now); now += 16667us) {
        ASSERT_LE(clock.positionSeconds(now), static_cast<float>(device.frame) / kRate + 1e-6f);
    }
    EXPECT_GT(now - lastCallback, 1000ms);
    EXPECT_LT(now - lastCallback, 1020ms);
    // From then on the position is where the music would have been: no time lost to the stall.
    const double expected = std::chrono::duration<double>(now - t0).count() - static_cast<double>(kBuffer) / kRate;
    EXPECT_NEAR(clock.expectedPositionSeconds(now), expected, 0.001);
}

TEST(PlaybackClock, AStoppedProcessIsNoStallAndGoesOnFromTheMusicWithoutRacing)
{
    PlaybackClock clock;
    clock.configure(kRate, kBuffer);
    SteadyDevice device{clock};
    auto now = playTenSeconds(clock, device);
    const float before = clock.positionSeconds(now);
    // Both threads stop for 5 s (SIGSTOP, SIGCONT); the device then plays on from where it was.
    now += 5s;
    device.next = now + 2ms;
    float last = before;
    for (const auto resumed = now; now < resumed + 3s; now += 16667us) {
        ASSERT_FALSE(clock.outputStalled(now));
        device.runUntil(now);
        const float position = clock.positionSeconds(now);
        ASSERT_GE(position, last);
        ASSERT_LT(position - last, 0.040f) << "a jump at " << (now - resumed).count() << " ns after resuming";
        last = position;
    }
    EXPECT_NEAR(last - before, 3.0f, 0.05f);
}

TEST(PlaybackClock, StartsAfreshWhereABufferFromElsewhereInTheTrackBegins)
{
    PlaybackClock clock;
    clock.configure(kRate, kBuffer);
    const PlaybackClock::TimePoint t0{};
    SteadyDevice device{clock, t0, 0};
    device.runUntil(t0 + 1s);
    // A reopened device's first buffer starts 30 s into the track.
    clock.configure(kRate, kBuffer);
    EXPECT_FALSE(clock.started());
    device.frame = 30 * kRate;
    device.next = t0 + 2s;
    device.runUntil(t0 + 3s);
    EXPECT_NEAR(clock.positionSeconds(t0 + 3s), 31.0f - static_cast<float>(kBuffer) / kRate, 0.001f);
}

TEST(PlaybackClock, ADeviceGetsTwoSecondsToStart)
{
    PlaybackClock clock;
    clock.configure(kRate, kBuffer);
    const PlaybackClock::TimePoint t0{};
    auto now = t0;
    for (; !clock.outputStalled(now) && now < t0 + 5s; now += 16667us) {}
    EXPECT_NEAR(std::chrono::duration<double>(now - t0).count(), 2.0, 0.02) << "one that never calls back";
    EXPECT_EQ(clock.positionSeconds(now), 0.0f);

    // One that takes a first buffer, then waits a second and a half for its stream to run.
    clock.configure(kRate, kBuffer);
    clock.recordCallback(0, kBuffer, now);
    SteadyDevice device{clock, now + 1500ms, kBuffer};
    for (const auto started = now; now < started + 4s; now += 16667us) {
        device.runUntil(now);
        ASSERT_FALSE(clock.outputStalled(now));
    }
}
