#include <gtest/gtest.h>

#include "music/beat_clock.h"
#include "scene/background_pulse.h"
#include "tests/test_support.h"

TEST(BeatClock, BeatBoundariesFollowTheReportedPosition)
{
    const BeatClock start = BeatClock::fromSeconds(0.0f);
    EXPECT_EQ(start.beatIndex, 0);
    EXPECT_EQ(start.beatPhase, 0.0);

    const BeatClock beforeFirst = BeatClock::fromSeconds(0.399f);
    EXPECT_EQ(beforeFirst.beatIndex, 0);
    const BeatClock first = BeatClock::fromSeconds(0.4f);  // 0.4f × 2.5 is just above 1
    EXPECT_EQ(first.beatIndex, 1);
    EXPECT_NEAR(first.beatPhase, 0.0, 1e-6);

    const BeatClock minute = BeatClock::fromSeconds(60.0f);
    EXPECT_EQ(minute.beatTime, 150.0);
    EXPECT_EQ(minute.beatIndex, 150);
}

TEST(BeatClock, NegativePositionTruncatesTowardZero)
{
    const BeatClock clock = BeatClock::fromSeconds(-1.0f);
    EXPECT_EQ(clock.beatTime, -2.5);
    EXPECT_EQ(clock.beatIndex, -2);
    EXPECT_EQ(clock.beatPhase, -0.5);
    EXPECT_FALSE(showHasEnded(clock));
}

TEST(BeatClock, ShowEndsOnTheFirstFramePastBeat400)
{
    EXPECT_FALSE(showHasEnded(BeatClock::fromSeconds(160.0f)));
    EXPECT_FALSE(showHasEnded(BeatClock::fromSeconds(160.39f)));
    EXPECT_EQ(BeatClock::fromSeconds(160.39f).beatIndex, 400);
    EXPECT_TRUE(showHasEnded(BeatClock::fromSeconds(160.41f)));
    EXPECT_EQ(BeatClock::fromSeconds(160.41f).beatIndex, 401);
}

TEST(BackgroundPulse, ColoursAtTheEdgeValues)
{
    EXPECT_EQ(backgroundColour(clockAtBeat(0.0)), 0xFF000000u);
    EXPECT_EQ(backgroundColour(clockAtBeat(0.25)), 0xFF7F2510u);
    EXPECT_EQ(backgroundColour(clockAtBeat(0.5)), 0xFFFF7F3Eu);
    EXPECT_EQ(backgroundColour(clockAtBeat(150.0)), 0xFF0000FFu);  // blue peaks on beat 150
    for (double beat = 1; beat < 400; beat += 1) {
        const D3DCOLOR colour = backgroundColour(clockAtBeat(beat));
        EXPECT_EQ(colour >> 24, 0xFFu);
        EXPECT_EQ((colour >> 16) & 0xFF, 0u) << "red is zero on every whole beat, beat " << beat;
        const unsigned green = (colour >> 8) & 0xFF;
        EXPECT_EQ(green, static_cast<int>(beat) % 2 ? 255u : 0u) << "beat " << beat;
    }
}
