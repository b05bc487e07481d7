// The show's sound through Web Audio: an AudioContext at the music's rate, fed
// buffer sources that the context's own thread plays at set times, two seconds
// ahead, so a slow frame or a hidden page on the page's thread leaves no gap.
// The source that plays each stretch of music says when, on the context's
// clock, it is heard; the context tells which of its moments the listener hears
// at which page time, so picture and music stay together.
#pragma once

#include "music/audio_output.h"

// Must be called while the page handles a click or key press: browsers start
// sound only then.
std::unique_ptr<AudioOutput> openWebAudioOutput(int sampleRate, AudioSource& source, std::string& failure);
