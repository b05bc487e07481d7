#include "music/music_decoder.h"

// The decoder itself is compiled once, in music/stb_vorbis_implementation.c.
#define STB_VORBIS_HEADER_ONLY
#include <stb/stb_vorbis.h>

#include "core/decoder_failure.h"

#include <algorithm>
#include <limits>
#include <span>

namespace {

// The show's track needs 190 KB; streams with far larger code books are still
// well inside this, and a hostile header cannot make the decoder take more.
constexpr std::size_t kDecoderMemoryBytes = 16u << 20;

// What an stb_vorbis error code means for a user; null for codes opening a file does not give.
const char* vorbisErrorReason(int code)
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
    return nullptr;
}

std::uint32_t littleEndian32(const std::uint8_t* bytes)
{
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t{bytes[3]} << 24;
}

constexpr std::size_t kPageHeaderBytes = 27;

// Where the Ogg page at `at` ends, or 0 when no whole page starts there.
std::size_t pageEnd(std::span<const std::uint8_t> file, std::size_t at)
{
    if (at + kPageHeaderBytes > file.size() || !std::equal(file.begin() + at, file.begin() + at + 4, "OggS")) {
        return 0;
    }
    const std::size_t segmentCount = file[at + 26];
    std::size_t end = at + kPageHeaderBytes + segmentCount;
    if (end > file.size()) {
        return 0;
    }
    for (std::size_t segment = 0; segment < segmentCount; ++segment) {
        end += file[at + kPageHeaderBytes + segment];
    }
    return end <= file.size() ? end : 0;
}

// Where the next stream of a chained file begins (a page that starts a
// stream), after the stream that begins at `streamStart`; 0 when none does.
std::size_t nextStreamStart(std::span<const std::uint8_t> file, std::size_t streamStart)
{
    constexpr std::uint8_t kFirstPageOfStream = 0x02;
    for (std::size_t at = pageEnd(file, streamStart); at != 0 && pageEnd(file, at) != 0; at = pageEnd(file, at)) {
        if (file[at + 5] & kFirstPageOfStream) {
            return at;
        }
    }
    return 0;
}

// The second packet of the first Ogg stream, gathered from its pages: empty
// when the pages end or break before it is whole.
std::vector<std::uint8_t> secondPacket(std::span<const std::uint8_t> file)
{
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
bool commentHeaderIsWhole(std::span<const std::uint8_t> file)
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
    std::unique_ptr<MusicDecoder> decoder(new MusicDecoder);
    decoder->bytes_ = std::move(bytes);
    initVorbisMemory(&decoder->memory_, kDecoderMemoryBytes);
    if (!decoder->openStream(0, failure)) {
        return nullptr;
    }
    decoder->sampleRate_ = static_cast<int>(stb_vorbis_get_info(decoder->vorbis_).sample_rate);
    return decoder;
}

bool MusicDecoder::openStream(std::size_t start, std::string& failure)
{
    const std::span<const std::uint8_t> stream = std::span(bytes_).subspan(start);
    if (!commentHeaderIsWhole(stream)) {
        failure = "it is not an Ogg Vorbis file, or its comment header is corrupt";
        return false;
    }
    useVorbisMemory(&memory_);
    stb_vorbis_close(vorbis_);
    int error = 0;
    vorbis_ = stb_vorbis_open_memory(stream.data(), static_cast<int>(stream.size()), &error, nullptr);
    streamStart_ = start;
    if (!vorbis_) {
        failure = decoderFailure(vorbisErrorReason(error),
                                 "it cannot be decoded (Vorbis error " + std::to_string(error) + ")");
        return false;
    }
    const stb_vorbis_info info = stb_vorbis_get_info(vorbis_);
    if (info.sample_rate < kMinSampleRate || info.sample_rate > kMaxSampleRate) {
        failure = "its sample rate of " + std::to_string(info.sample_rate) + " Hz is outside " +
                  std::to_string(kMinSampleRate) + " to " + std::to_string(kMaxSampleRate) + " Hz";
        return false;
    }
    if (info.channels < 1) {
        failure = "its stream has no channels";
        return false;
    }
    return true;
}

// A chained file plays its streams one after another, each mono or stereo as
// it is, always as stereo; a later stream at another rate ends the music, as
// the output cannot change its rate while it plays.
bool MusicDecoder::openNextStream()
{
    const std::size_t next = nextStreamStart(bytes_, streamStart_);
    std::string failure;
    return next != 0 && openStream(next, failure) &&
           static_cast<int>(stb_vorbis_get_info(vorbis_).sample_rate) == sampleRate_;
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
        const int channels = std::clamp(stb_vorbis_get_info(vorbis_).channels, 1, 2);
        const int got = stb_vorbis_get_samples_float(vorbis_, channels, planes, wanted);
        if (got <= 0) {
            // The end of a stream, or damage the decoder cannot get past.
            ended_ = !openNextStream();
            continue;
        }
        const float* second = channels == 2 ? right : left;
        for (int i = 0; i < got; ++i, ++done) {
            stereo[2 * done] = left[i];
            stereo[2 * done + 1] = second[i];
        }
    }
    return done;
}
