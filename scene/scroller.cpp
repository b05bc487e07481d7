#include "scene/scroller.h"

void drawScrollerLines(Device&, const GlyphTable&, double) {}
