// The glyph pictures the scroller writes with, one texture slot per character code.
#pragma once

#include <array>
#include <string>

#include "core/device.h"
#include "core/picture_file.h"

using GlyphTable = std::array<const Texture*, 256>;

// Codes up to the space have no picture; no file is tried for them.
constexpr int kFirstGlyphCode = 33;

// Where a character's glyph picture is, relative to the working directory.
std::string glyphFileName(int code);

// Tries a picture for every code from 33 up ("./font/A.png", "./font/aa.png" for
// 'a', "./data/slash.png", "./data/colon.png" and "./data/question.png" for '/',
// ':' and '?'); a slot whose picture cannot be read stays empty. Says on stderr
// how many loaded.
GlyphTable loadGlyphSet(Device& device, const WhileLoading& whileLoading = {});
