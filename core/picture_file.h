// Textures from PNG files, in place of the platform's texture-from-file call:
// decoded to RGBA8 and, where a side is not a power of two, stretched up to the
// next one, so a sprite's centre point in texels keeps its meaning.
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/device.h"

constexpr std::size_t kMaxPictureFileBytes = 64u << 20;

// Decodes a PNG file's bytes. False, with `failure` saying why, for bytes that
// are corrupt, truncated or a picture whose sides, stretched to powers of two,
// would be larger than largestSide; that is known before any pixel is decoded.
bool decodePicture(const std::vector<std::uint8_t>& file, Picture& picture, std::string& failure,
                   int largestSide = kMaxPictureSide);
// The same for a file, which must be a regular one of at most kMaxPictureFileBytes.
bool readPictureFile(const char* path, Picture& picture, std::string& failure, int largestSide = kMaxPictureSide);

// Stretches a picture whose sides are not powers of two up to the next ones.
void stretchToPowersOfTwo(Picture& picture);

// The next mip level down, as the platform's default box filter makes it: each
// texel the rounded average of a 2 × 2 block (2 × 1 once a side is one texel).
void halveWithBoxFilter(const std::uint8_t* rgba, int width, int height, std::vector<std::uint8_t>& half);
// Fills picture.mipLevels with the box filter's chain down to 1 × 1.
void addMipLevels(Picture& picture);

struct TextureFile {
    explicit TextureFile(std::string path) : path(std::move(path)) {}

    std::string path;                  // in: opened as given, and the texture's name
    const Texture* texture = nullptr;  // out: null when the file could not be used
    std::string failure;               // out: why, when texture is null
};

// Called now and then during loading, on the loading thread: a platform answers
// its window's events there, so the window stays responsive and can be closed.
using WhileLoading = std::function<void()>;

// Picture files decoding on worker threads from the moment this is made, so
// that decoding overlaps whatever start-up does meanwhile: each is read,
// stretched to powers of two and given its mip levels. The biggest file goes
// first and the others in the order given, which should be the order they are
// taken in. Where the target has no threads, each file is decoded when taken.
// Destroying this waits for the files being decoded and drops the rest.
class PictureDecoding {
public:
    explicit PictureDecoding(std::vector<std::string> paths);
    PictureDecoding(PictureDecoding&& other) noexcept;
    PictureDecoding& operator=(PictureDecoding&&) = delete;
    ~PictureDecoding();

    // Hands over the picture from path, waiting for it if need be and calling
    // whileLoading every millisecond meanwhile. False, with `failure` saying why,
    // for a file that cannot be used, also one with a side, stretched, beyond
    // largestSide. A path not started here, or taken already, is decoded now.
    bool take(const std::string& path, int largestSide, Picture& picture, std::string& failure,
              const WhileLoading& whileLoading = {});

private:
    struct Shared;
    std::unique_ptr<Shared> shared_;
    std::vector<std::thread> workers_;
};

// Creates the files' textures on the calling thread, one after another in the
// order given, from pictures decoding has made or is making. Pictures larger
// than the device takes are refused; a picture is dropped once uploaded.
void createTexturesFromFiles(Device& device, PictureDecoding& decoding, std::span<TextureFile> files,
                             const WhileLoading& whileLoading = {});
// The same, for files that start decoding now.
void createTexturesFromFiles(Device& device, std::span<TextureFile> files, const WhileLoading& whileLoading = {});
