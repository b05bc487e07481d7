// The show's three sprite pictures. Each painter takes the picture's edge
// length in pixels and scales its design to it (the show uses kSpritePictureSize;
// tests paint small ones). Everything is centred on the middle of the picture, the point
// the show pins each sprite by.
#pragma once

#include "assets/show_data_files.h"
#include "canvas.h"

namespace datagen {

// Deep water seen from inside: depth gradient, light shafts, a seabed with
// caustics, kelp and drifting particles. Translucent throughout (alpha about
// 0.6 to 0.95), so the pulsing colour cleared behind it tints the water.
Canvas paintUnderwater(int size);

// A black record filling the picture: rim, fine grooves, gaps between tracks,
// a sheen across the grooves and a centre hole; transparent outside the disc.
Canvas paintVinyl(int size);

// The record's label, a third of the record's radius, with a printed design and
// lettering that make its spin visible, and a centre hole; transparent elsewhere.
Canvas paintVinylLabel(int size);

// Radii of the record, its label and the spindle hole, as fractions of the picture size.
inline constexpr float kRecordRadius = 0.496f;
inline constexpr float kLabelRadius = kRecordRadius * 0.34f;
inline constexpr float kHoleRadius = 0.0118f;

}  // namespace datagen
