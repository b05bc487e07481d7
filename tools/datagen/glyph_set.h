// The scroller's glyph pictures: one kGlyphPictureSize square picture per printable ASCII
// character from the show's first glyph code, written where the show looks; bold lettering with a vertical gradient,
// dark outline and soft shadow, centred on the middle where the show pins each glyph.
#pragma once

#include "assets/show_data_files.h"
#include "canvas.h"
#include "font.h"

namespace datagen {

inline constexpr unsigned char kLastGlyphCode = 126;
// The show draws glyphs 1.5× about 120 px apart, so a glyph this wide (outline
// included) leaves its neighbours a few pixels clear.
inline constexpr float kMaxGlyphInkWidth = 75.0f;

Canvas renderGlyph(const Font& font, unsigned char code);

}  // namespace datagen
