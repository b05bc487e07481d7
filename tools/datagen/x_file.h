// Writing a mesh as a DirectX text model file ("xof 0303txt 0032"): one frame
// with an identity transform holding one mesh, its normals and its materials.
#pragma once

#include <string>

#include "mesh.h"

namespace datagen {

// `name` is used for the frame and the mesh; like the material names it must be a plain identifier.
std::string writeXFile(const Mesh& mesh, const std::string& name);

}  // namespace datagen
