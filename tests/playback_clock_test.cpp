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
    clock.recordCallback(kBuffer, t0);
    // Right after the first callback nothing has been heard yet.
    EXPECT_EQ(clock.positionSeconds(t0 + 10ms), 0.0f);
    clock.recordCallback(kBuffer, t0 + kBufferDuration);
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
            clock.recordCallback(kBuffer, callbackTime(nextCallback++));
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
    unsigned seed = 1;
    std::vector<double> stepsSeconds;
    float lastPosition = 0;
    for (auto now = t0; now < t0 + 12s; now += 16667us) {
        while (nextCallback <= now) {
            clock.recordCallback(kBuffer, nextCallback);
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
