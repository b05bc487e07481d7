// The show's sound on Windows: the default audio endpoint through WASAPI in
// shared mode, float stereo at the music's rate, kept fed from a thread of its
// own. The device's clock tells how much of what was queued has been played.
#pragma once

#include "music/audio_output.h"

std::unique_ptr<AudioOutput> openWasapiAudioOutput(int sampleRate, AudioSource& source, std::string& failure);
