// The glyph pictures the scroller writes with, one texture slot per character code.
#pragma once

#include <array>

#include "app/device.h"

using GlyphTable = std::array<const Texture*, 256>;

// Tries a picture for every code from 33 up ("./font/A.png", "./font/aa.png" for
// 'a', "./data/slash.png", "./data/colon.png" and "./data/question.png" for '/',
// ':' and '?'); a slot whose picture cannot be read stays empty. Says on stderr
// how many loaded and which characters of the scroll texts have none.
GlyphTable loadGlyphSet(Device& device);
