#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes RGBA8 pixels (rows from the top) as a PNG; false with a message on failure.
bool writePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba,
              std::string& error);
