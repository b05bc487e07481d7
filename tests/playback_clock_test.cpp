#include <gtest/gtest.h>

#include <cmath>

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

TEST(PlaybackClock, TakesOffOneBufferOfLatencyAndNeverPassesTheBufferHandedOver)
{
    PlaybackClock clock;
    clock.configure(kRate, kBuffer);
    const PlaybackClock::TimePoint t0{};
    clock.recordCallback(kBuffer, t0);
    // Right after the first callback nothing has been heard yet.
    EXPECT_EQ(clock.positionSeconds(t0 + 10ms), 0.0f);
    clock.recordCallback(kBuffer, t0 + kBufferDuration);
    EXPECT_NEAR(clock.positionSeconds(t0 + kBufferDuration + 10ms), 0.010f, 1e-5);
    // A late callback: the position stops at the end of the buffer handed over, never beyond.
    EXPECT_NEAR(clock.positionSeconds(t0 + 500ms), static_cast<float>(kBuffer) / kRate, 1e-6);
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
