// PNG encoding of 8-bit RGBA pictures into memory, with no time stamp or other
// varying chunk, so the same pixels always give the same bytes.
#pragma once

#include <cstdint>
#include <vector>

namespace datagen {

// Pixels are straight RGBA, 4 bytes each, rows top to bottom. The show inflates
// its three big pictures while it starts, so they are packed for that: at zlib
// level 6 a 2048 x 2048 picture decodes in about two thirds of the time it takes
// at level 1 (more of the dithered noise is matched), and its file is a quarter
// smaller; encoding takes about a second longer.
std::vector<std::uint8_t> encodePng(const std::vector<std::uint8_t>& rgba, int width, int height,
                                    int compressionLevel = 6);

}  // namespace datagen
