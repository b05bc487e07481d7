// What a PNG file's bytes must pass before a pixel of it is decoded: a header
// the decoder reads, sides that fit the limit once stretched to powers of two,
// and chunks that lie within the file and match their CRCs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// False, with `failure` saying why, for bytes that are empty, not a PNG file,
// a picture whose sides, stretched to powers of two, would be larger than
// largestSide, or chunks that run past the end or do not match their CRCs.
bool checkPngFile(const std::vector<std::uint8_t>& file, int largestSide, std::string& failure);

// How a picture of width × height pixels that is over the limit is put in words.
std::string pictureTooLargeFailure(int width, int height, int largestSide);
