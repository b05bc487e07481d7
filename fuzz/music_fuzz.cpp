// Feeds arbitrary bytes to the music decoder as the audio output would pull
// them: opened once, then read one device buffer at a time to the end.
//
// stb_vorbis finds each Ogg page where the previous one's lacing values say it
// ends, so a mutation that inserts or erases bytes inside a page loses every
// page after it. Mutated inputs get their pages framed again: each page's last
// lacing values are set so the page ends where the next "OggS" begins, and its
// CRC is put right, so the mutation reaches the Vorbis headers and packets.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/mutate_then_repair.h"
#include "music/music_decoder.h"

namespace {

constexpr std::size_t kPageHeaderBytes = 27;

// Ogg's CRC-32: polynomial 0x04C11DB7, most significant bit first, no inversion.
std::uint32_t oggCrc(const std::uint8_t* bytes, std::size_t size)
{
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= std::uint32_t{bytes[i]} << 24;
        for (int bit = 0; bit < 8; ++bit) {
            crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        }
    }
    return crc;
}

bool isPageStart(const std::uint8_t* data, std::size_t size, std::size_t at)
{
    return at + kPageHeaderBytes <= size && std::memcmp(&data[at], "OggS", 4) == 0;
}

// Frames each page from the start up to the next capture pattern, as far as
// its number of lacing values allows, and sets its CRC.
void reframePages(std::uint8_t* data, std::size_t size)
{
    for (std::size_t at = 0; isPageStart(data, size, at);) {
        const std::size_t segmentCount = data[at + 26];
        const std::size_t bodyStart = at + kPageHeaderBytes + segmentCount;
        if (bodyStart > size) {
            return;
        }
        std::size_t next = bodyStart;
        while (next < size && !isPageStart(data, size, next)) {
            ++next;
        }
        std::uint8_t* lacing = &data[at + kPageHeaderBytes];
        std::size_t stated = 0;
        for (std::size_t i = 0; i < segmentCount; ++i) {
            stated += lacing[i];
        }
        const std::size_t found = next - bodyStart;
        if (found > 255 * segmentCount) {
            return;
        }
        // The last values take the difference, so packets keep their ends where they can.
        for (std::size_t i = segmentCount; i-- > 0 && stated != found;) {
            const std::size_t others = stated - lacing[i];
            const std::size_t value = found > others ? std::min<std::size_t>(found - others, 255) : 0;
            stated = others + value;
            lacing[i] = static_cast<std::uint8_t>(value);
        }
        std::memset(&data[at + 22], 0, 4);
        const std::uint32_t crc = oggCrc(&data[at], next - at);
        for (int i = 0; i < 4; ++i) {
            data[at + 22 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
        }
        at = next;
    }
}

}  // namespace

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned int seed)
{
    return mutateThenRepair(data, size, maxSize, seed, reframePages);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string failure;
    const std::unique_ptr<MusicDecoder> decoder = MusicDecoder::open({data, data + size}, failure);
    if (!decoder) {
        if (failure.empty()) {
            __builtin_trap();
        }
        return 0;
    }
    // A minute of music at most, so a small input that decodes to hours stays quick.
    constexpr int kBufferFrames = 1024;
    float stereo[2 * kBufferFrames];
    for (long frames = 0; frames < 60L * decoder->sampleRate();) {
        const int got = decoder->read(stereo, kBufferFrames);
        if (got < kBufferFrames) {
            break;
        }
        frames += got;
    }
    return 0;
}
