#include "core/png_check.h"

#include "core/decoder_failure.h"

#include <stb/stb_image.h>

#include <algorithm>
#include <bit>
#include <limits>

extern "C" void forgetStbImageFailure();  // in core/stb_image_implementation.c

namespace {

// CRC-32 as PNG chunks carry it, four bytes a step.
class Crc32 {
public:
    constexpr Crc32()
    {
        for (std::uint32_t byte = 0; byte < 256; ++byte) {
            std::uint32_t crc = byte;
            for (int bit = 0; bit < 8; ++bit) {
                crc = crc & 1 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
            }
            tables_[0][byte] = crc;
        }
        for (int table = 1; table < 4; ++table) {
            for (int byte = 0; byte < 256; ++byte) {
                const std::uint32_t previous = tables_[table - 1][byte];
                tables_[table][byte] = (previous >> 8) ^ tables_[0][previous & 0xFF];
            }
        }
    }

    std::uint32_t of(const std::uint8_t* bytes, std::size_t size) const
    {
        std::uint32_t crc = 0xFFFFFFFFu;
        for (; size >= 4; bytes += 4, size -= 4) {
            crc ^= bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t{bytes[3]} << 24;
            crc = tables_[3][crc & 0xFF] ^ tables_[2][(crc >> 8) & 0xFF] ^ tables_[1][(crc >> 16) & 0xFF] ^
                  tables_[0][crc >> 24];
        }
        for (; size > 0; ++bytes, --size) {
            crc = (crc >> 8) ^ tables_[0][(crc ^ *bytes) & 0xFF];
        }
        return ~crc;
    }

private:
    std::uint32_t tables_[4][256]{};
};

constexpr Crc32 kCrc32;

std::uint32_t bigEndian32(const std::uint8_t* bytes)
{
    return std::uint32_t{bytes[0]} << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3];
}

// The decoder checks no chunk's CRC, so damage inside the image data would
// decode into a garbled picture; and it grows its buffer to each chunk's stated
// length before it finds the data missing, so a few bytes claiming a 2 GB chunk
// would take 2 GB, even when they are too few to hold the chunk's CRC. Every
// chunk up to IEND, where the decoder stops reading, must fit in the file and
// match its CRC.
const char* chunkDamage(const std::vector<std::uint8_t>& file)
{
    constexpr std::size_t kSignatureBytes = 8;
    constexpr std::size_t kChunkOverheadBytes = 12;  // length, type, CRC
    for (std::size_t at = kSignatureBytes; at < file.size();) {
        if (file.size() - at < kChunkOverheadBytes) {
            return "a chunk runs past the end of the file";
        }
        const std::size_t length = bigEndian32(&file[at]);
        if (length > file.size() - at - kChunkOverheadBytes) {
            return "a chunk runs past the end of the file";
        }
        const std::size_t crcAt = at + 8 + length;
        if (kCrc32.of(&file[at + 4], 4 + length) != bigEndian32(&file[crcAt])) {
            return "a chunk does not match its CRC";
        }
        if (std::equal(&file[at + 4], &file[at + 8], "IEND")) {
            return nullptr;
        }
        at = crcAt + 4;
    }
    return nullptr;
}

}  // namespace

std::string pictureTooLargeFailure(int width, int height, int largestSide)
{
    return std::to_string(width) + " x " + std::to_string(height) + " pixels is more than the largest picture, " +
           std::to_string(largestSide) + " on a side";
}

bool checkPngFile(const std::vector<std::uint8_t>& file, int largestSide, std::string& failure)
{
    if (file.empty()) {
        failure = "the file is empty";
        return false;
    }
    if (file.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        failure = "the file is too large";
        return false;
    }
    const int length = static_cast<int>(file.size());
    int width = 0, height = 0, channels = 0;
    forgetStbImageFailure();
    if (!stbi_info_from_memory(file.data(), length, &width, &height, &channels)) {
        failure = "not a readable picture: " + decoderFailure(stbi_failure_reason(), "it is not a PNG file");
        return false;
    }
    // Sides are stretched up to powers of two before they become textures.
    if (std::bit_ceil(static_cast<unsigned>(width)) > static_cast<unsigned>(largestSide) ||
        std::bit_ceil(static_cast<unsigned>(height)) > static_cast<unsigned>(largestSide)) {
        failure = pictureTooLargeFailure(width, height, largestSide);
        return false;
    }
    if (const char* damage = chunkDamage(file)) {
        failure = std::string("corrupt or truncated picture: ") + damage;
        return false;
    }
    return true;
}
