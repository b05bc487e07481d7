// The show's one clock: the music's play position turned into beats
// (150 per minute, 2.5 a second), and the beats at which scenes come in.
#pragma once

#include <cstdint>

struct BeatClock {
    double beatTime = 0;         // play position × 2.5
    double beatPhase = 0;        // fmod(beatTime, 1): negative for a negative beatTime
    std::int32_t beatIndex = 0;  // beatTime truncated toward zero

    // The position arrives as the audio layer reports it, in single precision.
    static BeatClock fromSeconds(float playSeconds);
};

constexpr double kBeatsPerSecond = 2.5;
constexpr std::int32_t kVinylFirstBeat = 80;
constexpr std::int32_t kSubmarineFirstBeat = 144;
constexpr std::int32_t kCubesFirstBeat = 208;
constexpr std::int32_t kLastBeat = 400;  // the show ends after the first frame past this beat

constexpr bool showHasEnded(const BeatClock& clock)
{
    return clock.beatIndex > kLastBeat;
}
