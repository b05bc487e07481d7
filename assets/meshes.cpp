#include "assets/meshes.h"

#include <cstdio>

#include "assets/mesh_normals.h"
#include "core/x_file.h"

namespace {

struct BoxSide {
    D3DXVECTOR3 normal;
    float corners[4][3];  // signs of the half extents
};

// Each side's corners run clockwise seen from outside, the front-face winding.
constexpr BoxSide kBoxSides[6] = {
    {{-1, 0, 0}, {{-1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}, {-1, 1, -1}}},
    {{0, 1, 0}, {{-1, 1, -1}, {-1, 1, 1}, {1, 1, 1}, {1, 1, -1}}},
    {{1, 0, 0}, {{1, 1, -1}, {1, 1, 1}, {1, -1, 1}, {1, -1, -1}}},
    {{0, -1, 0}, {{-1, -1, 1}, {-1, -1, -1}, {1, -1, -1}, {1, -1, 1}}},
    {{0, 0, 1}, {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}}},
    {{0, 0, -1}, {{-1, -1, -1}, {-1, 1, -1}, {1, 1, -1}, {1, -1, -1}}},
};

// The file's materials as the passes draw them: lit by the light's ambient
// colour as much as by its diffuse one, with a broad highlight.
std::vector<D3DMATERIAL9> drawingMaterials(const std::vector<XMaterial>& fileMaterials)
{
    std::vector<D3DMATERIAL9> materials;
    materials.reserve(fileMaterials.size());
    for (const XMaterial& file : fileMaterials) {
        D3DMATERIAL9 material = file.material;
        material.Ambient = material.Diffuse;
        material.Power = 4.0f;
        materials.push_back(material);
    }
    return materials;
}

}  // namespace

MeshData boxMeshData(float width, float height, float depth)
{
    MeshData box;
    for (const BoxSide& side : kBoxSides) {
        const auto first = static_cast<std::uint32_t>(box.vertices.size());
        for (const auto& corner : side.corners) {
            const D3DXVECTOR3 position{corner[0] * width / 2, corner[1] * height / 2, corner[2] * depth / 2};
            box.vertices.push_back({position, side.normal});
        }
        box.indices.insert(box.indices.end(), {first, first + 1, first + 2, first + 2, first + 3, first});
    }
    box.subsets.push_back({0, static_cast<std::uint32_t>(box.indices.size())});
    return box;
}

const Mesh* createCubeMesh(Device& device)
{
    return device.CreateMesh(boxMeshData(1.0f, 1.0f, 1.0f), "cube");
}

SubmarineModel loadSubmarineModel(Device& device, const char* path)
{
    XModel file;
    std::string problem;
    if (!readXModel(path, file, problem)) {
        std::fprintf(stderr, "%s: %s; no submarine is drawn\n", path, problem.c_str());
        return {};
    }
    computeSmoothNormals(file.mesh);
    SubmarineModel model;
    model.materials = drawingMaterials(file.materials);
    model.mesh = device.CreateMesh(file.mesh, path);
    return model;
}
