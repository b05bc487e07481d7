#include "app/gl_mesh_renderer.h"

GlMeshRenderer::GlMeshRenderer() = default;
GlMeshRenderer::~GlMeshRenderer() = default;

const Mesh* GlMeshRenderer::create(const MeshData& data, std::string_view name)
{
    auto mesh = std::make_unique<Mesh>();
    mesh->name = name;
    mesh->subsets = data.subsets;
    return meshes_.emplace_back(std::move(mesh)).get();
}

void GlMeshRenderer::draw(const GlDevice&, const Mesh&, std::uint32_t) {}
