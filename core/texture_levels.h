// A decoded picture made ready to be a texture: its sides stretched up to
// powers of two, so a sprite's centre point in texels keeps its meaning, and
// the chain of mip levels below it.
#pragma once

#include <cstdint>
#include <vector>

#include "core/device.h"

// Stretches a picture whose sides are not powers of two up to the next ones.
void stretchToPowersOfTwo(Picture& picture);

// The next mip level down, as the platform's default box filter makes it: each
// texel the rounded average of a 2 × 2 block (2 × 1 once a side is one texel).
void halveWithBoxFilter(const std::uint8_t* rgba, int width, int height, std::vector<std::uint8_t>& half);
// Fills picture.mipLevels with the box filter's chain down to 1 × 1.
void addMipLevels(Picture& picture);
