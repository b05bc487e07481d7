// Mastering: brings the track to a target integrated loudness, measured the way
// broadcast and streaming meters do (ITU-R BS.1770: K-weighting, 400 ms blocks, absolute
// and relative gates), while a look-ahead limiter keeps the true peak (the peak of the
// waveform between samples too, which a lossy decoder may reconstruct) under a ceiling.
#pragma once

#include "sound.h"

namespace datagen::music {

double integratedLoudnessLufs(const StereoBuffer& signal);

// Highest level of the waveform between and on samples, from 4× oversampling.
double truePeakDbtp(const StereoBuffer& signal);

// Highest absolute sample value, in dB relative to full scale.
double samplePeakDbfs(const StereoBuffer& signal);

// Scales the track to the target integrated loudness while limiting its true peak to
// the ceiling.
void masterTrack(StereoBuffer& track, double targetLufs, double ceilingDbtp);

}  // namespace datagen::music
