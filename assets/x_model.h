// A .x model read through Assimp into the show's own terms: one mesh in the
// file's left-handed coordinates with clockwise front faces and every frame
// transform applied, and the file's materials in file order, subset i being
// the triangles of material i.
#pragma once

#include <string>
#include <vector>

#include "app/device.h"

struct XMaterial {
    D3DMATERIAL9 material{};      // as the file gives it; Ambient is (0, 0, 0, 1)
    std::string textureFilename;  // empty when the material names none
};

struct XModel {
    MeshData mesh;  // normals as the file writes them, not turned by the frames; or none
    std::vector<XMaterial> materials;
};

// False, with the reason, for a missing, oversized, inconsistent or faceless file.
bool readXModel(const std::string& path, XModel& model, std::string& problem);
