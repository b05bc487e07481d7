// The last pass of a frame: two lines of glyphs scrolling on sine waves.
#pragma once

#include "assets/glyph_set.h"

void drawScrollerLines(Device& device, const GlyphTable& glyphTable, double beatTime);
