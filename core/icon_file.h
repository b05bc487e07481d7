// The program's icon file, "kelpwax.ico": the window shows its 48 × 48, 32-bit image.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/device.h"

// The size × size, 32 bits-per-pixel image of an .ico file's bytes, or nothing
// when the file holds no such image or is malformed.
std::optional<Picture> decodeIconImage(const std::vector<std::uint8_t>& file, int size);

// Reads and decodes one image of an .ico file; false, with the reason, when it cannot.
bool readIconFile(const std::string& path, int size, Picture& picture, std::string& failure);
