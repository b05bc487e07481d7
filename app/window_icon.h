// The program's icon: the 48 × 48, 32-bit image of "kelpwax.ico" in the
// working directory, shown as the window icon when the file is there.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "app/device.h"

struct SDL_Window;

// The size × size, 32 bits-per-pixel image of an .ico file's bytes, or nothing
// when the file holds no such image or is malformed.
std::optional<Picture> decodeIconImage(const std::vector<std::uint8_t>& file, int size);

void setWindowIcon(SDL_Window* window);
