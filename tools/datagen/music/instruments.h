// The track's instruments. Each renders one note, from the key press to the end of its
// release, as a stereo signal; where the note sits in the track and how loud it is in the
// mix is the mixer's business.
#pragma once

#include <cstdint>

#include "sound.h"

namespace datagen::music {

enum class Instrument { kick, clap, closedHat, openHat, crash, riser, bubble, bass, pad, stab, arp, lead, ping };
constexpr int instrumentCount = 13;

struct Note {
    Instrument instrument;
    std::int64_t startSample;
    int gateSamples;             // how long the key is held; the voice rings on through its release
    int pitch = 0;               // MIDI note number; drums and the riser ignore it
    float velocity = 1.0f;       // 0 .. 1
    float pan = 0.0f;            // -1 left .. 1 right
    float brightness = 0.5f;     // 0 dark .. 1 open: the filter cutoffs of the tonal voices
    float attackSeconds = 0.3f;  // pads only: how long the chord swells in
};

// Samples from the key press until the voice is silent.
int noteLengthSamples(const Note& note);

// Resizes `voice` to noteLengthSamples(note) and renders the note into it, unpanned.
void renderNote(const Note& note, StereoBuffer& voice);

}  // namespace datagen::music
