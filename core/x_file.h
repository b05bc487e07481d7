// The show's reader for DirectX text model files (.x, "xof 0303txt 0032"): a
// model's frames, meshes, normals and materials become one mesh in the file's
// left-handed coordinates with its clockwise front faces, a subset per material.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/device.h"

struct XMaterial {
    D3DMATERIAL9 material{};      // as the file gives it; Ambient is (0, 0, 0, 1)
    std::string textureFilename;  // empty when the material names none
};

// Every frame transform is applied to the positions. The materials are in the
// order the file defines them, and subset i holds the triangles of material i.
struct XModel {
    MeshData mesh;  // normals as the file writes them, not turned by the frames; or none
    std::vector<XMaterial> materials;
};

// Reads the text of a .x file. False, with what is wrong ("line 12: ..."), and
// an empty model for a file that is not a text .x file, is malformed or has no faces.
bool parseXModel(std::string_view text, XModel& model, std::string& problem);

// Reads a .x file of at most 32 MiB and parses it; `problem` reads on after "<path>: ".
bool readXModel(const std::string& path, XModel& model, std::string& problem);
