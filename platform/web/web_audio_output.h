// The show's sound through Web Audio: an AudioContext at the music's rate and a
// script node that asks for one buffer at a time on the page's thread. Each
// buffer's start on the context's clock, and that clock less the output's
// latency, give the play position, so picture and music stay together even
// after the page has been hidden a while.
#pragma once

#include "music/audio_output.h"

// Must be called while the page handles a click or key press: browsers start
// sound only then.
std::unique_ptr<AudioOutput> openWebAudioOutput(int sampleRate, AudioSource& source, std::string& failure);
