#include "core/icon_file.h"

#include "core/data_file.h"

namespace {

std::uint32_t readLittleEndian(const std::vector<std::uint8_t>& bytes, std::size_t offset, int byteCount)
{
    std::uint32_t value = 0;
    for (int i = byteCount - 1; i >= 0; --i) {
        value = (value << 8) | bytes[offset + i];
    }
    return value;
}

}  // namespace

std::optional<Picture> decodeIconImage(const std::vector<std::uint8_t>& file, int size)
{
    constexpr std::size_t kDirectorySize = 6, kEntrySize = 16, kBitmapHeaderSize = 40;
    if (file.size() < kDirectorySize || readLittleEndian(file, 0, 2) != 0 || readLittleEndian(file, 2, 2) != 1) {
        return std::nullopt;
    }
    const std::size_t entryCount = readLittleEndian(file, 4, 2);
    for (std::size_t i = 0; i < entryCount; ++i) {
        const std::size_t entry = kDirectorySize + i * kEntrySize;
        if (entry + kEntrySize > file.size()) {
            return std::nullopt;
        }
        const int width = file[entry] ? file[entry] : 256;
        const int height = file[entry + 1] ? file[entry + 1] : 256;
        const std::size_t imageBytes = readLittleEndian(file, entry + 8, 4);
        const std::size_t imageOffset = readLittleEndian(file, entry + 12, 4);
        if (width != size || height != size || imageOffset > file.size() || imageBytes > file.size() - imageOffset) {
            continue;
        }
        const std::size_t pixelBytes = static_cast<std::size_t>(size) * size * 4;
        if (imageBytes < kBitmapHeaderSize + pixelBytes ||
            readLittleEndian(file, imageOffset, 4) != kBitmapHeaderSize ||
            readLittleEndian(file, imageOffset + 14, 2) != 32 || readLittleEndian(file, imageOffset + 16, 4) != 0) {
            continue;
        }
        Picture picture{size, size, std::vector<std::uint8_t>(pixelBytes)};
        const std::size_t pixels = imageOffset + kBitmapHeaderSize;
        for (int y = 0; y < size; ++y) {
            const std::size_t sourceRow = pixels + static_cast<std::size_t>(size - 1 - y) * size * 4;  // bottom-up
            for (int x = 0; x < size; ++x) {
                const std::uint8_t* bgra = &file[sourceRow + x * 4];
                std::uint8_t* rgba = &picture.rgba[(static_cast<std::size_t>(y) * size + x) * 4];
                rgba[0] = bgra[2];
                rgba[1] = bgra[1];
                rgba[2] = bgra[0];
                rgba[3] = bgra[3];
            }
        }
        return picture;
    }
    return std::nullopt;
}

bool readIconFile(const std::string& path, int size, Picture& picture, std::string& failure)
{
    constexpr std::size_t kMaxIconFileBytes = 1 << 20;
    std::vector<std::uint8_t> file;
    if (!readDataFile(path, kMaxIconFileBytes, file, failure)) {
        return false;
    }
    std::optional<Picture> image = decodeIconImage(file, size);
    if (!image) {
        failure = "holds no readable " + std::to_string(size) + " x " + std::to_string(size) + ", 32-bit image";
        return false;
    }
    picture = std::move(*image);
    return true;
}
