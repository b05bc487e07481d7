// The glyph pictures the scroller writes with, one texture slot per character code.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "assets/show_data_files.h"
#include "core/device.h"
#include "core/picture_file.h"

using GlyphTable = std::array<const Texture*, 256>;

// Every file loadGlyphSet tries, in code order.
std::vector<std::string> glyphFileNames();

// Tries a picture for every code from 33 up ("./font/A.png", "./font/aa.png" for
// 'a', "./data/slash.png", "./data/colon.png" and "./data/question.png" for '/',
// ':' and '?'); a slot whose picture cannot be read stays empty. Says on stderr
// how many loaded. The pictures come from decoding, which should have been
// started with glyphFileNames(), or are decoded now.
GlyphTable loadGlyphSet(Device& device, PictureDecoding& decoding, const WhileLoading& whileLoading = {});
GlyphTable loadGlyphSet(Device& device, const WhileLoading& whileLoading = {});
