// The last pass of a frame: two lines of glyphs scrolling on sine waves.
#pragma once

#include "assets/glyph_set.h"
#include "music/beat_clock.h"

void drawScrollerLines(Device& device, const GlyphTable& glyphTable, const BeatClock& clock);
