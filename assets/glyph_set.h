// The glyph pictures the scroller writes with, one texture slot per character code.
#pragma once

#include <array>

#include "app/device.h"

using GlyphTable = std::array<const Texture*, 256>;

GlyphTable loadGlyphSet(Device& device);
