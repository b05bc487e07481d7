#include "music/music_decoder.h"

// The decoder itself is compiled once, in core/stb_implementation.c.
#define STB_VORBIS_HEADER_ONLY
#include <stb/stb_vorbis.h>

#include <algorithm>
#include <limits>

namespace {

// The show's track needs 190 KB; streams with far larger code books are still
// well inside this, and a hostile header cannot make the decoder take more.
constexpr std::size_t kDecoderMemoryBytes = 16u << 20;

std::string vorbisErrorText(int code)
{
    switch (code) {
    case VORBIS_outofmem: return "its code books need more memory than any music stream should";
    case VORBIS_unexpected_eof: return "the file ends in its headers";
    case VORBIS_invalid_setup: return "its Vorbis setup header is corrupt";
    case VORBIS_invalid_stream: return "it is not an Ogg Vorbis file, or its headers are corrupt";
    case VORBIS_missing_capture_pattern:
    case VORBIS_invalid_stream_structure_version: return "it is not an Ogg file";
    case VORBIS_invalid_first_page: return "its first page is not a Vorbis header";
    case VORBIS_cant_find_last_page: return "its last page cannot be found";
    case VORBIS_seek_failed: return "it cannot be read to its end";
    }
    return "it cannot be decoded (Vorbis error " + std::to_string(code) + ")";
}

std::uint32_t littleEndian32(const std::uint8_t* bytes)
{
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t{bytes[3]} << 24;
}

// The second packet of the first Ogg stream, gathered from its pages: empty
// when the pages end or break before it is whole.
std::vector<std::uint8_t> secondPacket(const std::vector<std::uint8_t>& file)
{
    constexpr std::size_t kPageHeaderBytes = 27;
    std::vector<std::uint8_t> packet;
    int packetIndex = 0;
    std::size_t at = 0;
    while (at + kPageHeaderBytes <= file.size() && std::equal(file.begin() + at, file.begin() + at + 4, "OggS")) {
        const std::size_t segmentCount = file[at + 26];
        const std::uint8_t* lacing = &file[at + kPageHeaderBytes];
        std::size_t data = at + kPageHeaderBytes + segmentCount;
        if (data > file.size()) {
            break;
        }
        for (std::size_t segment = 0; segment < segmentCount; ++segment) {
            const std::size_t length = lacing[segment];
            if (data + length > file.size()) {
                return {};
            }
            if (packetIndex == 1) {
                packet.insert(packet.end(), file.begin() + data, file.begin() + data + length);
            }
            data += length;
            if (length < 255 && packetIndex++ == 1) {
                return packet;
            }
        }
        at = data;
    }
    return {};
}

// stb_vorbis sizes the comment list by the count the header states and, when
// that allocation fails, walks the missing list while cleaning up; it also
// truncates the list's byte size to an int. A comment header whose every
// count and length is backed by its own bytes rules out both.
bool commentHeaderIsWhole(const std::vector<std::uint8_t>& file)
{
    const std::vector<std::uint8_t> packet = secondPacket(file);
    constexpr std::size_t kSignatureBytes = 7;  // 3, then "vorbis"
    std::size_t at = kSignatureBytes;
    const auto skipCounted = [&] {
        if (at + 4 > packet.size()) {
            return false;
        }
        const std::size_t length = littleEndian32(&packet[at]);
        at += 4;
        if (length > packet.size() - at) {
            return false;
        }
        at += length;
        return true;
    };
    if (packet.size() < kSignatureBytes || packet[0] != 3 || !skipCounted() || at + 4 > packet.size()) {
        return false;
    }
    const std::size_t commentCount = littleEndian32(&packet[at]);
    at += 4;
    if (commentCount > (packet.size() - at) / 4) {
        return false;
    }
    for (std::size_t i = 0; i < commentCount; ++i) {
        if (!skipCounted()) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::unique_ptr<MusicDecoder> MusicDecoder::open(std::vector<std::uint8_t> bytes, std::string& failure)
{
    if (bytes.empty()) {
        failure = "the file is empty";
        return nullptr;
    }
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        failure = "the file is too large";
        return nullptr;
    }
    if (!commentHeaderIsWhole(bytes)) {
        failure = "it is not an Ogg Vorbis file, or its comment header is corrupt";
        return nullptr;
    }
    std::unique_ptr<MusicDecoder> decoder(new MusicDecoder);
    decoder->bytes_ = std::move(bytes);
    initVorbisMemory(&decoder->memory_, kDecoderMemoryBytes);
    useVorbisMemory(&decoder->memory_);
    int error = 0;
    decoder->vorbis_ =
        stb_vorbis_open_memory(decoder->bytes_.data(), static_cast<int>(decoder->bytes_.size()), &error, nullptr);
    if (!decoder->vorbis_) {
        failure = vorbisErrorText(error);
        return nullptr;
    }
    const stb_vorbis_info info = stb_vorbis_get_info(decoder->vorbis_);
    if (info.sample_rate < kMinSampleRate || info.sample_rate > kMaxSampleRate) {
        failure = "its sample rate of " + std::to_string(info.sample_rate) + " Hz is outside " +
                  std::to_string(kMinSampleRate) + " to " + std::to_string(kMaxSampleRate) + " Hz";
        return nullptr;
    }
    if (info.channels < 1) {
        failure = "its stream has no channels";
        return nullptr;
    }
    decoder->sampleRate_ = static_cast<int>(info.sample_rate);
    return decoder;
}

MusicDecoder::~MusicDecoder()
{
    useVorbisMemory(&memory_);
    stb_vorbis_close(vorbis_);
    releaseVorbisMemory(&memory_);
}

int MusicDecoder::read(float* stereo, int frameCount)
{
    constexpr int kChunkFrames = 1024;
    float left[kChunkFrames];
    float right[kChunkFrames];
    float* planes[2] = {left, right};
    useVorbisMemory(&memory_);
    int done = 0;
    while (done < frameCount && !ended_) {
        const int wanted = std::min(kChunkFrames, frameCount - done);
        // The channel count is read per piece: a chained stream may change it.
        const int channels = std::clamp(stb_vorbis_get_info(vorbis_).channels, 1, 2);
        const int got = stb_vorbis_get_samples_float(vorbis_, channels, planes, wanted);
        if (got <= 0) {
            ended_ = true;  // the end, or damage the decoder cannot get past
            break;
        }
        const float* second = channels == 2 ? right : left;
        for (int i = 0; i < got; ++i, ++done) {
            stereo[2 * done] = left[i];
            stereo[2 * done + 1] = second[i];
        }
    }
    return done;
}
