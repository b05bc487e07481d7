#include <gtest/gtest.h>

#include "music/playback_clock.h"

using namespace std::chrono_literals;

namespace {

constexpr int kRate = 44100;
constexpr int kBuffer = 1024;

}  // namespace

TEST(PlaybackClock, HoldsAtZeroUntilTheFirstCallback)
{
    PlaybackClock clock;
    clock.configure(kRate, kBuffer);
    EXPECT_EQ(clock.positionSeconds(PlaybackClock::TimePoint{} + 5s), 0.0f);
}

TEST(PlaybackClock, AdvancesSmoothlyBetweenCallbacksWithoutPassingTheBuffer)
{
    PlaybackClock clock;
    clock.configure(kRate, kBuffer);
    const PlaybackClock::TimePoint t0{};
    clock.recordCallback(kBuffer, t0);
    // The latency takes one buffer off: right after the first callback nothing has been heard yet.
    EXPECT_EQ(clock.positionSeconds(t0), 0.0f);
    clock.recordCallback(kBuffer, t0 + 23ms);
    const float atCallback = clock.positionSeconds(t0 + 23ms);
    EXPECT_NEAR(atCallback, 0.0f, 1e-6);
    const float later = clock.positionSeconds(t0 + 33ms);
    EXPECT_NEAR(later, 0.010f, 1e-4);
    // A late callback: the position stops at the end of the buffer handed over, never beyond.
    EXPECT_NEAR(clock.positionSeconds(t0 + 500ms), static_cast<float>(kBuffer) / kRate, 1e-6);
}

TEST(PlaybackClock, NeverGoesBackwards)
{
    PlaybackClock clock;
    clock.configure(kRate, kBuffer);
    const PlaybackClock::TimePoint t0{};
    clock.recordCallback(kBuffer, t0);
    clock.recordCallback(kBuffer, t0 + 10ms);
    const float ahead = clock.positionSeconds(t0 + 40ms);
    // A callback whose timestamp lags (scheduling noise) must not pull the position back.
    clock.recordCallback(kBuffer, t0 + 41ms);
    EXPECT_GE(clock.positionSeconds(t0 + 41ms), ahead);
}
