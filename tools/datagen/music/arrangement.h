// The score: every note of the track, in 16-beat phrases that follow the show's scenes.
// An intro while the backdrop fades in, the full beat when the record appears, sonar and
// a rolling bass with the submarine, the peak with the cubes, a build-down, a final hit.
#pragma once

#include <cstdint>
#include <vector>

#include "instruments.h"
#include "music/beat_clock.h"

namespace datagen::music {

// Beats at which the show's scenes come in, and the track's last note, on the show's last beat.
constexpr int vinylBeat = kVinylFirstBeat;
constexpr int submarineBeat = kSubmarineFirstBeat;
constexpr int cubesBeat = kCubesFirstBeat;
constexpr int buildDownBeat = 304;
constexpr int finalHitBeat = kLastBeat;
constexpr int beatsPerPhrase = 16;

// How long the final hit rings before the track ends.
constexpr double endingTailSeconds = 3.0;

// Everything in the key of D minor.
bool isInKey(int midiNote);

struct Arrangement {
    std::vector<Note> notes;  // sorted by start
    std::int64_t lengthSamples;
};

Arrangement composeTrack();

}  // namespace datagen::music
