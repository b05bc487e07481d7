#include "music/beat_clock.h"

#include <cmath>

BeatClock BeatClock::fromSeconds(float playSeconds)
{
    BeatClock clock;
    clock.beatTime = static_cast<double>(playSeconds) * kBeatsPerSecond;
    clock.beatPhase = std::fmod(clock.beatTime, 1.0);
    clock.beatIndex = static_cast<std::int32_t>(static_cast<std::int64_t>(clock.beatTime));
    return clock;
}
