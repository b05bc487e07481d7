// The music file's Ogg Vorbis stream, decoded a piece at a time as the audio
// output asks for it. The file's bytes are read whole at start-up; decoding
// them is what costs, and that happens while the music plays.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "music/vorbis_memory.h"

struct stb_vorbis;

class MusicDecoder {
public:
    // Sample rates outside this range are refused: an audio output either
    // rejects them or plays them at a speed that no longer follows the music.
    static constexpr int kMinSampleRate = 8000;
    static constexpr int kMaxSampleRate = 192000;

    // Null, with `failure` saying why, when the bytes are not a playable Ogg Vorbis stream.
    static std::unique_ptr<MusicDecoder> open(std::vector<std::uint8_t> bytes, std::string& failure);
    ~MusicDecoder();
    MusicDecoder(const MusicDecoder&) = delete;
    MusicDecoder& operator=(const MusicDecoder&) = delete;

    int sampleRate() const { return sampleRate_; }

    // Decodes up to frameCount frames into `stereo` (left, right, left, ...).
    // A mono stream plays on both sides; a stream with more channels plays its
    // first two. Returns the frames written: fewer only at the end of the music.
    // The streams of a chained file play one after another.
    int read(float* stereo, int frameCount);

private:
    MusicDecoder() = default;
    // Opens the stream that begins at byte `start`, closing the one before.
    bool openStream(std::size_t start, std::string& failure);
    bool openNextStream();

    std::vector<std::uint8_t> bytes_;  // stb_vorbis reads from these while the music plays
    VorbisMemory memory_{};
    stb_vorbis* vorbis_ = nullptr;
    std::size_t streamStart_ = 0;
    int sampleRate_ = 0;
    bool ended_ = false;
};
