// Meshes on the OpenGL device, lit per vertex like the fixed-function pipeline.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "app/gl_device.h"

class GlMeshRenderer {
public:
    GlMeshRenderer();
    ~GlMeshRenderer();

    const Mesh* create(const MeshData& data, std::string_view name);
    void draw(const GlDevice& device, const Mesh& mesh, std::uint32_t subset);

private:
    std::vector<std::unique_ptr<Mesh>> meshes_;
};
