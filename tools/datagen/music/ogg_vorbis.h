// Ogg Vorbis encoding (libvorbisenc, variable bit rate around 160 kbit/s at 44100 Hz
// stereo) and decoding (vorbisfile). The stream's serial number is fixed, so the same
// samples always give the same bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "sound.h"

namespace datagen::music {

// onProgress receives the fraction done (0..1) now and then; it may be empty.
bool encodeOggVorbis(const StereoBuffer& pcm, std::vector<std::uint8_t>& bytes, std::string& error,
                     const std::function<void(float fraction)>& onProgress);

struct DecodedAudio {
    int sampleRate = 0;
    int channelCount = 0;
    StereoBuffer pcm;  // a mono stream fills both channels
};

bool decodeOggVorbisFile(const std::filesystem::path& path, DecodedAudio& decoded, std::string& error);

}  // namespace datagen::music
