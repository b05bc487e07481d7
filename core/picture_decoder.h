// PNG files decoded into RGBA8 pictures, rows from the top, once their bytes
// have passed the file check.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
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
