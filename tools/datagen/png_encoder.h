// PNG encoding of 8-bit RGBA pictures into memory, with no time stamp or other
// varying chunk, so the same pixels always give the same bytes.
#pragma once

#include <cstdint>
#include <vector>

namespace datagen {

// Pixels are straight RGBA, 4 bytes each, rows top to bottom. zlib level 1
// keeps the big pictures fast; dithered noise barely compresses further.
std::vector<std::uint8_t> encodePng(const std::vector<std::uint8_t>& rgba, int width, int height,
                                    int compressionLevel = 1);

}  // namespace datagen
