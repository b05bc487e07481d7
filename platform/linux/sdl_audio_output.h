// The show's sound on SDL: the default output device, opened for stereo floats
// at the music's rate, pulling one 1024-frame buffer per callback.
#pragma once

#include "music/audio_output.h"

std::unique_ptr<AudioOutput> openSdlAudioOutput(int sampleRate, AudioSource& source, std::string& failure);
