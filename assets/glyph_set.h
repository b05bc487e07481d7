// The glyph pictures the scroller writes with, one texture slot per character code.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/device.h"
#include "core/picture_file.h"

using GlyphTable = std::array<const Texture*, 256>;

// Codes up to the space have no picture; no file is tried for them.
constexpr int kFirstGlyphCode = 33;

// Where a character's glyph picture is, relative to the working directory.
std::string glyphFileName(int code);

// Every file loadGlyphSet tries, in code order.
std::vector<std::string> glyphFileNames();

// Tries a picture for every code from 33 up ("./font/A.png", "./font/aa.png" for
// 'a', "./data/slash.png", "./data/colon.png" and "./data/question.png" for '/',
// ':' and '?'); a slot whose picture cannot be read stays empty. Says on stderr
// how many loaded. The pictures come from decoding, which should have been
// started with glyphFileNames(), or are decoded now.
GlyphTable loadGlyphSet(Device& device, PictureDecoding& decoding, const WhileLoading& whileLoading = {});
GlyphTable loadGlyphSet(Device& device, const WhileLoading& whileLoading = {});
