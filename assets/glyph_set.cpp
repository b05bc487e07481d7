#include "assets/glyph_set.h"

GlyphTable loadGlyphSet(Device&)
{
    GlyphTable table{};
    return table;
}
