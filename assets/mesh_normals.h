// Smooth vertex normals recomputed from a mesh's triangles, the way the classic
// normal computation does when it is given adjacency: vertices at the same
// position share one normal, whatever their index.
#pragma once

#include "core/device.h"

// Each triangle's unit normal, (p1 − p0) × (p2 − p0), is added at its corners
// weighted by the corner's angle; the sums are normalised. Sets hasNormals.
void computeSmoothNormals(MeshData& mesh);
