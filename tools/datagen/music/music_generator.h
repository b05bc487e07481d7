// The show's music track, "quirn.ogg", composed, mixed and mastered by code: an
// original underwater electro piece at 150 beats per minute whose sections follow the
// show's scenes. The same sources always give the same bytes.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "sound.h"

namespace datagen {

// Composes and renders the show's track and writes it as Ogg Vorbis.
// onProgress receives the fraction done (0..1) now and then; returns false and fills error on failure.
bool writeMusic(const std::filesystem::path& oggPath, const std::function<void(float fraction)>& onProgress,
                std::string& error);

namespace music {

constexpr double targetLoudnessLufs = -14.0;
// No sample of the decoded file may go above this.
constexpr double decodedPeakLimitDbfs = -1.0;
// A decibel of room under that limit for the lossy coding, which can raise peaks a little.
constexpr double limiterCeilingDbtp = decodedPeakLimitDbfs - 1.0;

// Beats [firstBeat, firstBeat + beatCount) of the track, mixed and mastered on their
// own, without what rings in from earlier beats: a quick stand-in for the whole track.
StereoBuffer renderExcerpt(int firstBeat, int beatCount);

}  // namespace music

}  // namespace datagen
