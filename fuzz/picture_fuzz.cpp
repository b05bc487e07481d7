// Feeds arbitrary bytes to the picture decoder and the steps the show takes
// after it: stretching to powers of two and building the mip chain.
// The reader refuses a chunk whose CRC does not match before stb sees it, so
// mutated inputs get every chunk's CRC put right again, which lets them reach
// stb's inflate, filters, palettes and interlacing.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/picture_decoder.h"
#include "core/texture_levels.h"
#include "fuzz/mutate_then_repair.h"

namespace {

std::uint32_t bigEndian32(const std::uint8_t* bytes)
{
    return std::uint32_t{bytes[0]} << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3];
}

// Sets each whole chunk's CRC to match its type and data; stops at the first
// chunk that runs past the end.
void repairChunkCrcs(std::uint8_t* file, std::size_t size)
{
    constexpr std::size_t kSignatureBytes = 8;
    for (std::size_t at = kSignatureBytes; at + 12 <= size;) {
        const std::size_t length = bigEndian32(&file[at]);
        if (length > size - at - 12) {
            return;
        }
        const std::size_t crcAt = at + 8 + length;
        const auto crc = static_cast<std::uint32_t>(crc32(0, &file[at + 4], static_cast<uInt>(4 + length)));
        for (int i = 0; i < 4; ++i) {
            file[crcAt + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
        }
        at = crcAt + 4;
    }
}

}  // namespace

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned int seed)
{
    return mutateThenRepair(data, size, maxSize, seed, repairChunkCrcs);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> file(data, data + size);
    Picture picture;
    std::string failure;
    if (!decodePicture(file, picture, failure)) {
        if (failure.empty()) {
            __builtin_trap();
        }
        return 0;
    }
    stretchToPowersOfTwo(picture);
    addMipLevels(picture);
    return 0;
}
