// Where a picture is see-through and where it is solid, found from its texels
// on the CPU when it becomes a texture. A sprite batch draws only the visible
// part of a picture's quad, and may let the solid parts hide what lies behind.
#pragma once

#include <vector>

#include "core/device.h"

// A rectangle of a picture in texture coordinates, 0 to 1 across and down.
struct TextureArea {
    float left = 0, top = 0, right = 1, bottom = 1;
};

// The bounds of the texels with any alpha, grown by a margin: a texel at mip
// level n blends 2^n texels of the picture along each side, and the sprites are
// drawn no smaller than a quarter, which samples up to level 2. Fragments
// outside those bounds would all be transparent and discarded.
TextureArea visibleAreaOf(const Picture& picture);

// Up to four rectangles of wholly opaque texels that do not overlap, largest
// first, found on a grid of 16 × 16 blocks (a record's hole in the middle
// leaves room on all four sides of it). Sides inside the picture are pulled in
// by the same margin as the visible area's, so every mip level down to 2 is
// opaque over them too; a side on the picture's edge needs none, as sampling
// clamps there. Glyph-sized pictures are not searched: covers pay off on big ones.
std::vector<TextureArea> opaqueAreasOf(const Picture& picture);
