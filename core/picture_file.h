// Textures from PNG files, in place of the platform's texture-from-file call:
// decoded to RGBA8 and, where a side is not a power of two, stretched up to the
// next one, so a sprite's centre point in texels keeps its meaning.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <utility>

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

struct TextureFile {
    explicit TextureFile(std::string path) : path(std::move(path)) {}

    std::string path;                  // in: opened as given, and the texture's name
    const Texture* texture = nullptr;  // out: null when the file could not be used
    std::string failure;               // out: why, when texture is null
};

// Called now and then during loading, on the loading thread: a platform answers
// its window's events there, so the window stays responsive and can be closed.
using WhileLoading = std::function<void()>;

// Decodes the files on worker threads and creates their textures on the calling
// thread, one after another in the order given. Pictures larger than the device
// takes are refused before they are decoded.
void createTexturesFromFiles(Device& device, std::span<TextureFile> files, const WhileLoading& whileLoading = {});
