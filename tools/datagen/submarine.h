// The submarine model: hull, sail, dive planes, tail fins, propeller and
// portholes, in model units: about 350 long along z with the nose towards -z,
// y up, centred near the origin.
#pragma once

#include "mesh.h"

namespace datagen {

// Material indices, in the order the model file lists them.
enum SubmarineMaterial : std::uint32_t { kHullPaint, kSailPaint, kDarkDetail, kGlass, kPropellerBrass };

Mesh buildSubmarine();

}  // namespace datagen
