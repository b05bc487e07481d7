// The two meshes of the 3D passes: the cube of the cube chain, and the
// submarine model with one drawing material per subset.
#pragma once

#include <vector>

#include "core/device.h"

struct SubmarineModel {
    const Mesh* mesh = nullptr;           // null when the file could not be loaded
    std::vector<D3DMATERIAL9> materials;  // subset i is drawn with materials[i]
};

// A box centred on its origin: 24 vertices, four per side with the side's
// normal, 12 clockwise triangles, one subset.
MeshData boxMeshData(float width, float height, float depth);
const Mesh* createCubeMesh(Device& device);
// A missing or unusable file is reported once on stderr and gives an empty model.
SubmarineModel loadSubmarineModel(Device& device, const char* path);
