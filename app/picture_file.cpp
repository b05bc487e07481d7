#include "app/picture_file.h"

#include <png.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <numeric>
#include <system_error>
#include <thread>
#include <vector>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
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

}  // namespace

bool readPictureFile(const char* path, Picture& picture, std::string& failure)
{
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
    if (!file) {
        failure = "cannot open it: " + std::generic_category().message(errno);
        return false;
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_stdio(&image, file.get())) {
        failure = std::string("not a readable PNG file: ") + image.message;
        return false;
    }
    if (image.width > kMaxPictureSide || image.height > kMaxPictureSide) {
        failure = std::to_string(image.width) + " x " + std::to_string(image.height) +
                  " pixels is more than the largest picture, " + std::to_string(kMaxPictureSide) + " on a side";
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.rgba.data(), 0, nullptr)) {
        failure = std::string("corrupt or truncated PNG file: ") + image.message;
        picture = {};
        return false;
    }
    return true;
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
            const float weights[4] = {(1 - column.secondWeight) * (1 - row.secondWeight),
                                      column.secondWeight * (1 - row.secondWeight),
                                      (1 - column.secondWeight) * row.secondWeight,
                                      column.secondWeight * row.secondWeight};
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

void createTexturesFromFiles(Device& device, std::span<TextureFile> files)
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
    const auto decodeFiles = [&] {
        for (std::size_t next; (next = nextDecode.fetch_add(1)) < files.size();) {
            const std::size_t i = decodeOrder[next];
            Decoded& slot = decoded[i];
            slot.usable = readPictureFile(files[i].path.c_str(), slot.picture, files[i].failure);
            if (slot.usable) {
                stretchToPowersOfTwo(slot.picture);
            }
            slot.ready.store(true, std::memory_order_release);
            slot.ready.notify_one();
        }
    };

    const std::size_t workerCount =
        std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), files.size());
    std::vector<std::jthread> workers;
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

    // Uploads overlap the decoding of later files but keep the given order.
    for (std::size_t i = 0; i < files.size(); ++i) {
        decoded[i].ready.wait(false, std::memory_order_acquire);
        if (decoded[i].usable) {
            files[i].texture = device.CreateTexture(decoded[i].picture, files[i].path);
            decoded[i].picture = {};
        }
    }
}

const Texture* CreateTextureFromFile(Device& device, const char* path)
{
    TextureFile file(path);
    createTexturesFromFiles(device, {&file, 1});
    return file.texture;
}
