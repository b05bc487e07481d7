// The show's sound on Windows: the default waveOut device, 16-bit stereo at the
// music's rate, kept fed with a few short buffers from a thread of its own.
#pragma once

#include "music/audio_output.h"

std::unique_ptr<AudioOutput> openWaveOutAudioOutput(int sampleRate, AudioSource& source, std::string& failure);
