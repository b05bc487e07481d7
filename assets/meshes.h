// The two meshes of the 3D passes: the cube of the cube chain, and the
// submarine model with one drawing material per subset.
#pragma once

#include <vector>

#include "app/device.h"

struct SubmarineModel {
    const Mesh* mesh = nullptr;              // null when the file could not be loaded
    std::vector<D3DMATERIAL9> materials;     // subset i is drawn with materials[i]
};

const Mesh* createCubeMesh(Device& device);
SubmarineModel loadSubmarineModel(Device& device, const char* path);
