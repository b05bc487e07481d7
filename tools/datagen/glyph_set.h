// The scroller's glyph pictures: one 128 × 128 picture per printable ASCII
// character, bold lettering with a vertical gradient, dark outline and soft
// shadow, centred on (64, 64) where the show pins each glyph.
#pragma once

#include <string>

#include "canvas.h"
#include "font.h"

namespace datagen {

inline constexpr int kGlyphPictureSize = 128;
inline constexpr unsigned char kFirstGlyphCode = 33;
inline constexpr unsigned char kLastGlyphCode = 126;
// The show draws glyphs 1.5× about 120 px apart, so a glyph this wide (outline
// included) leaves its neighbours a few pixels clear.
inline constexpr float kMaxGlyphInkWidth = 75.0f;

// Where the show looks for a character's glyph, relative to its working
// directory: "font/A.png", "font/aa.png" for 'a' (lower-case letters are
// doubled so they differ from capitals on case-blind file systems), and
// "data/slash.png", "data/colon.png", "data/question.png" for the three
// characters no file name can hold.
std::string glyphFileName(unsigned char code);

Canvas renderGlyph(const Font& font, unsigned char code);

}  // namespace datagen
