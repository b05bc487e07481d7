#include "core/picture_file.h"

#include "core/data_file.h"

#include <stb/stb_image.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <numeric>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// A web page built without worker threads cannot start one: it decodes on its own thread.
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
constexpr bool kThreadsAvailable = false;
#else
constexpr bool kThreadsAvailable = true;
#endif

// std::jthread is missing from some targets' libraries.
struct JoinOnExit {
    std::vector<std::thread>& threads;
    ~JoinOnExit()
    {
        for (std::thread& thread : threads) {
            thread.join();
        }
    }
};

// Where an output texel of a stretched side samples the source side: two
// neighbours and the weight of the second. Texel centres line up, so the
// stretch neither shifts nor crops the picture.
struct Tap {
    int first = 0;
    int second = 0;
    float secondWeight = 0;
};

std::vector<Tap> stretchTaps(int sourceSize, int stretchedSize)
{
    std::vector<Tap> taps(stretchedSize);
    const double step = static_cast<double>(sourceSize) / stretchedSize;
    for (int i = 0; i < stretchedSize; ++i) {
        const double at = std::clamp((i + 0.5) * step - 0.5, 0.0, sourceSize - 1.0);
        const int first = static_cast<int>(at);
        taps[i] = {first, std::min(first + 1, sourceSize - 1), static_cast<float>(at - first)};
    }
    return taps;
}

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

[[maybe_unused]] constexpr Crc32 kCrc32;

std::uint32_t bigEndian32(const std::uint8_t* bytes)
{
    return std::uint32_t{bytes[0]} << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3];
}

// The decoder checks no chunk's CRC, so damage inside the image data would
// decode into a garbled picture; and it grows its buffer to each chunk's stated
// length before it finds the data missing, so a few bytes claiming a 2 GB chunk
// would take 2 GB. Every chunk must fit in the file and match its CRC.
const char* chunkDamage(const std::vector<std::uint8_t>& file)
{
    constexpr std::size_t kSignatureBytes = 8;
    constexpr std::size_t kChunkOverheadBytes = 12;  // length, type, CRC
    for (std::size_t at = kSignatureBytes; at + kChunkOverheadBytes <= file.size();) {
        const std::size_t length = bigEndian32(&file[at]);
        if (length > file.size() - at - kChunkOverheadBytes) {
            return "a chunk runs past the end of the file";
        }
        const std::size_t crcAt = at + 8 + length;
#ifndef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION  // lets a fuzzer's changes reach the decoder
        if (kCrc32.of(&file[at + 4], 4 + length) != bigEndian32(&file[crcAt])) {
            return "a chunk does not match its CRC";
        }
#endif
        at = crcAt + 4;
    }
    return nullptr;
}

}  // namespace

bool decodePicture(const std::vector<std::uint8_t>& file, Picture& picture, std::string& failure, int largestSide)
{
    picture = {};
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
    if (!stbi_info_from_memory(file.data(), length, &width, &height, &channels)) {
        failure = std::string("not a readable picture: ") + stbi_failure_reason();
        return false;
    }
    // Sides are stretched up to powers of two before they become textures.
    if (std::bit_ceil(static_cast<unsigned>(width)) > static_cast<unsigned>(largestSide) ||
        std::bit_ceil(static_cast<unsigned>(height)) > static_cast<unsigned>(largestSide)) {
        failure = std::to_string(width) + " x " + std::to_string(height) +
                  " pixels is more than the largest picture, " + std::to_string(largestSide) + " on a side";
        return false;
    }
    if (const char* damage = chunkDamage(file)) {
        failure = std::string("corrupt or truncated picture: ") + damage;
        return false;
    }
    stbi_uc* pixels = stbi_load_from_memory(file.data(), length, &width, &height, &channels, 4);
    if (!pixels) {
        failure = std::string("corrupt or truncated picture: ") + stbi_failure_reason();
        return false;
    }
    picture.width = width;
    picture.height = height;
    picture.rgba.assign(pixels, pixels + static_cast<std::size_t>(width) * height * 4);
    stbi_image_free(pixels);
    return true;
}

bool readPictureFile(const char* path, Picture& picture, std::string& failure, int largestSide)
{
    std::vector<std::uint8_t> file;
    return readDataFile(path, kMaxPictureFileBytes, file, failure) &&
           decodePicture(file, picture, failure, largestSide);
}

// Bilinear with premultiplied alpha, so transparent texels lend no colour to
// their neighbours. A texel that comes out wholly transparent keeps the plain
// average colour, since texture filtering later mixes it into its neighbours.
void stretchToPowersOfTwo(Picture& picture)
{
    const int width = static_cast<int>(std::bit_ceil(static_cast<unsigned>(picture.width)));
    const int height = static_cast<int>(std::bit_ceil(static_cast<unsigned>(picture.height)));
    if (width == picture.width && height == picture.height) {
        return;
    }
    const std::vector<Tap> columns = stretchTaps(picture.width, width);
    const std::vector<Tap> rows = stretchTaps(picture.height, height);
    std::vector<std::uint8_t> stretched(static_cast<std::size_t>(width) * height * 4);
    const auto texel = [&](int x, int y) {
        return &picture.rgba[(static_cast<std::size_t>(y) * picture.width + x) * 4];
    };

    std::uint8_t* out = stretched.data();
    for (const Tap& row : rows) {
        for (const Tap& column : columns) {
            const std::uint8_t* corners[4] = {texel(column.first, row.first), texel(column.second, row.first),
                                              texel(column.first, row.second), texel(column.second, row.second)};
            const float weights[4] = {
                (1 - column.secondWeight) * (1 - row.secondWeight), column.secondWeight * (1 - row.secondWeight),
                (1 - column.secondWeight) * row.secondWeight, column.secondWeight * row.secondWeight};
            float alpha = 0;
            float premultiplied[3] = {};
            float plain[3] = {};
            for (int corner = 0; corner < 4; ++corner) {
                const float cornerAlpha = weights[corner] * corners[corner][3];
                alpha += cornerAlpha;
                for (int channel = 0; channel < 3; ++channel) {
                    premultiplied[channel] += cornerAlpha * corners[corner][channel];
                    plain[channel] += weights[corner] * corners[corner][channel];
                }
            }
            for (int channel = 0; channel < 3; ++channel) {
                const float value = alpha > 0 ? premultiplied[channel] / alpha : plain[channel];
                out[channel] = static_cast<std::uint8_t>(std::lround(std::min(value, 255.0f)));
            }
            out[3] = static_cast<std::uint8_t>(std::lround(std::min(alpha, 255.0f)));
            out += 4;
        }
    }
    picture.width = width;
    picture.height = height;
    picture.rgba = std::move(stretched);
}

void halveWithBoxFilter(const std::uint8_t* rgba, int width, int height, std::vector<std::uint8_t>& half)
{
    const int halfWidth = std::max(1, width / 2);
    const int halfHeight = std::max(1, height / 2);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    // Along a side of one texel the "second" texel of a pair is the first again.
    const std::size_t stepRight = width > 1 ? 4 : 0;
    const std::size_t stepDown = height > 1 ? rowBytes : 0;
    half.resize(static_cast<std::size_t>(halfWidth) * halfHeight * 4);
    std::uint8_t* out = half.data();
    for (int y = 0; y < halfHeight; ++y) {
        const std::uint8_t* top = rgba + 2 * y * rowBytes;
        const std::uint8_t* bottom = top + stepDown;
        for (int x = 0; x < halfWidth; ++x) {
            const std::size_t left = 8 * static_cast<std::size_t>(x);
            for (int channel = 0; channel < 4; ++channel) {
                const unsigned sum = top[left + channel] + top[left + stepRight + channel] + bottom[left + channel] +
                                     bottom[left + stepRight + channel];
                *out++ = static_cast<std::uint8_t>((sum + 2) / 4);
            }
        }
    }
}

void createTexturesFromFiles(Device& device, std::span<TextureFile> files, const WhileLoading& whileLoading)
{
    if (files.empty()) {
        return;
    }
    struct Decoded {
        Picture picture;
        bool usable = false;
        std::atomic<bool> ready{false};
    };
    std::vector<Decoded> decoded(files.size());
    // The biggest file first, so that the longest decode does not start last;
    // the others in upload order, so that uploads can start early.
    std::size_t biggest = 0;
    std::uintmax_t biggestSize = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::error_code missing;
        const std::uintmax_t size = std::filesystem::file_size(files[i].path, missing);
        if (!missing && size > biggestSize) {
            biggest = i;
            biggestSize = size;
        }
    }
    std::vector<std::size_t> decodeOrder(files.size());
    std::iota(decodeOrder.begin(), decodeOrder.end(), 0);
    std::rotate(decodeOrder.begin(), decodeOrder.begin() + biggest, decodeOrder.begin() + biggest + 1);
    std::atomic<std::size_t> nextDecode{0};
    const int largestSide = std::min(kMaxPictureSide, device.maxTextureSide());
    const auto decodeFiles = [&] {
        for (std::size_t next; (next = nextDecode.fetch_add(1)) < files.size();) {
            const std::size_t i = decodeOrder[next];
            Decoded& slot = decoded[i];
            slot.usable = readPictureFile(files[i].path.c_str(), slot.picture, files[i].failure, largestSide);
            if (slot.usable) {
                stretchToPowersOfTwo(slot.picture);
            }
            slot.ready.store(true, std::memory_order_release);
            slot.ready.notify_one();
        }
    };

    const std::size_t workerCount =
        kThreadsAvailable ? std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), files.size()) : 0;
    std::vector<std::thread> workers;
    workers.reserve(workerCount);
    try {
        while (workers.size() < workerCount) {
            workers.emplace_back(decodeFiles);
        }
    } catch (const std::system_error&) {
        // No threads to be had: whatever no worker took is decoded here.
    }
    if (workers.empty()) {
        decodeFiles();
    }
    const JoinOnExit joinWorkers{workers};

    // Uploads overlap the decoding of later files but keep the given order.
    // While a file is still decoding, the caller gets to answer its window.
    for (std::size_t i = 0; i < files.size(); ++i) {
        while (!decoded[i].ready.load(std::memory_order_acquire)) {
            if (!whileLoading) {
                decoded[i].ready.wait(false, std::memory_order_acquire);
                break;
            }
            whileLoading();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (whileLoading) {
            whileLoading();
        }
        if (decoded[i].usable) {
            files[i].texture = device.CreateTexture(decoded[i].picture, files[i].path);
            decoded[i].picture = {};
        }
    }
}
