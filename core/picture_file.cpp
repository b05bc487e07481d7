#include "core/picture_file.h"

#include "core/data_file.h"
#include "core/decoder_failure.h"

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
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

extern "C" void forgetStbImageFailure();  // in core/stb_implementation.c

namespace {

// A web page built without worker threads cannot start one: it decodes on its own thread.
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
constexpr bool kThreadsAvailable = false;
#else
constexpr bool kThreadsAvailable = true;
#endif

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

constexpr Crc32 kCrc32;

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
        if (kCrc32.of(&file[at + 4], 4 + length) != bigEndian32(&file[crcAt])) {
            return "a chunk does not match its CRC";
        }
        at = crcAt + 4;
    }
    return nullptr;
}

std::string tooLargeFailure(int width, int height, int largestSide)
{
    return std::to_string(width) + " x " + std::to_string(height) + " pixels is more than the largest picture, " +
           std::to_string(largestSide) + " on a side";
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
    forgetStbImageFailure();
    if (!stbi_info_from_memory(file.data(), length, &width, &height, &channels)) {
        failure = "not a readable picture: " + decoderFailure(stbi_failure_reason(), "it is not a PNG file");
        return false;
    }
    // Sides are stretched up to powers of two before they become textures.
    if (std::bit_ceil(static_cast<unsigned>(width)) > static_cast<unsigned>(largestSide) ||
        std::bit_ceil(static_cast<unsigned>(height)) > static_cast<unsigned>(largestSide)) {
        failure = tooLargeFailure(width, height, largestSide);
        return false;
    }
    if (const char* damage = chunkDamage(file)) {
        failure = std::string("corrupt or truncated picture: ") + damage;
        return false;
    }
    stbi_uc* pixels = stbi_load_from_memory(file.data(), length, &width, &height, &channels, 4);
    if (!pixels) {
        // stb gives no reason when the compressed pixel data uses a deflate block type that does not exist.
        failure = "corrupt or truncated picture: " +
                  decoderFailure(stbi_failure_reason(), "its compressed pixel data is damaged");
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

void addMipLevels(Picture& picture)
{
    picture.mipLevels.clear();
    picture.mipLevels.reserve(std::bit_width(static_cast<unsigned>(std::max({picture.width, picture.height, 1}))) - 1);
    const std::uint8_t* source = picture.rgba.data();
    for (int width = picture.width, height = picture.height; width > 1 || height > 1;) {
        std::vector<std::uint8_t>& half = picture.mipLevels.emplace_back();
        halveWithBoxFilter(source, width, height, half);
        width = std::max(1, width / 2);
        height = std::max(1, height / 2);
        source = half.data();
    }
}

struct PictureDecoding::Shared {
    struct Slot {
        std::string path;
        Picture picture;
        std::string failure;
        bool usable = false;
        int fileWidth = 0;  // before stretching
        int fileHeight = 0;
        std::atomic<bool> ready{false};
        bool taken = false;

        void decode()
        {
            usable = readPictureFile(path.c_str(), picture, failure);
            if (usable) {
                fileWidth = picture.width;
                fileHeight = picture.height;
                stretchToPowersOfTwo(picture);
                addMipLevels(picture);
            }
        }
    };

    explicit Shared(std::vector<std::string> paths) : slots(paths.size()), decodeOrder(paths.size())
    {
        for (std::size_t i = 0; i < paths.size(); ++i) {
            slots[i].path = std::move(paths[i]);
            slotOf.emplace(slots[i].path, i);
        }
        // The biggest file first, so that the longest decode does not start last;
        // the others in upload order, so that uploads can start early.
        std::size_t biggest = 0;
        std::uintmax_t biggestSize = 0;
        for (std::size_t i = 0; i < slots.size(); ++i) {
            std::error_code missing;
            const std::uintmax_t size = std::filesystem::file_size(slots[i].path, missing);
            if (!missing && size > biggestSize) {
                biggest = i;
                biggestSize = size;
            }
        }
        std::iota(decodeOrder.begin(), decodeOrder.end(), 0);
        if (!slots.empty()) {
            std::rotate(decodeOrder.begin(), decodeOrder.begin() + biggest, decodeOrder.begin() + biggest + 1);
        }
    }

    void decodeUntilDoneOrStopped()
    {
        for (std::size_t next;
             !stopping.load(std::memory_order_relaxed) && (next = nextDecode.fetch_add(1)) < slots.size();) {
            Slot& slot = slots[decodeOrder[next]];
            slot.decode();
            slot.ready.store(true, std::memory_order_release);
            slot.ready.notify_one();
        }
    }

    std::vector<Slot> slots;
    std::unordered_map<std::string_view, std::size_t> slotOf;
    std::vector<std::size_t> decodeOrder;
    std::atomic<std::size_t> nextDecode{0};
    std::atomic<bool> stopping{false};
    bool decodedWhenTaken = true;
};

PictureDecoding::PictureDecoding(std::vector<std::string> paths) : shared_(std::make_unique<Shared>(std::move(paths)))
{
    const std::size_t workerCount =
        kThreadsAvailable
            ? std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), shared_->slots.size())
            : 0;
    workers_.reserve(workerCount);
    try {
        while (workers_.size() < workerCount) {
            workers_.emplace_back([shared = shared_.get()] { shared->decodeUntilDoneOrStopped(); });
        }
    } catch (const std::system_error&) {
        // No threads to be had: the workers that did start decode every file.
    }
    shared_->decodedWhenTaken = workers_.empty();
}

PictureDecoding::PictureDecoding(PictureDecoding&& other) noexcept = default;

PictureDecoding::~PictureDecoding()
{
    if (shared_) {
        shared_->stopping.store(true, std::memory_order_relaxed);
    }
    for (std::thread& worker : workers_) {
        worker.join();
    }
}

bool PictureDecoding::take(const std::string& path, int largestSide, Picture& picture, std::string& failure,
                           const WhileLoading& whileLoading)
{
    Shared::Slot unstarted;
    Shared::Slot* slot = &unstarted;
    if (const auto found = shared_->slotOf.find(path);
        found != shared_->slotOf.end() && !shared_->slots[found->second].taken) {
        slot = &shared_->slots[found->second];
    } else {
        unstarted.path = path;
    }
    if (slot == &unstarted || shared_->decodedWhenTaken) {
        slot->decode();
    } else {
        while (!slot->ready.load(std::memory_order_acquire)) {
            if (!whileLoading) {
                slot->ready.wait(false, std::memory_order_acquire);
                break;
            }
            whileLoading();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    slot->taken = true;
    failure = std::move(slot->failure);
    Picture decoded = std::exchange(slot->picture, {});
    if (!slot->usable) {
        return false;
    }
    if (decoded.width > largestSide || decoded.height > largestSide) {
        failure = tooLargeFailure(slot->fileWidth, slot->fileHeight, largestSide);
        return false;
    }
    picture = std::move(decoded);
    return true;
}

void createTexturesFromFiles(Device& device, PictureDecoding& decoding, std::span<TextureFile> files,
                             const WhileLoading& whileLoading)
{
    const int largestSide = std::min(kMaxPictureSide, device.maxTextureSide());
    for (TextureFile& file : files) {
        Picture picture;
        const bool usable = decoding.take(file.path, largestSide, picture, file.failure, whileLoading);
        if (whileLoading) {
            whileLoading();
        }
        if (usable) {
            file.texture = device.CreateTexture(picture, file.path);
        }
    }
}

void createTexturesFromFiles(Device& device, std::span<TextureFile> files, const WhileLoading& whileLoading)
{
    std::vector<std::string> paths;
    paths.reserve(files.size());
    for (const TextureFile& file : files) {
        paths.push_back(file.path);
    }
    PictureDecoding decoding(std::move(paths));
    createTexturesFromFiles(device, decoding, files, whileLoading);
}
