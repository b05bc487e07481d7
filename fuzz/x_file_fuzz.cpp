// libFuzzer target for the .x reader: any bytes go through parseXModel, and a
// model it accepts is checked for what drawing relies on, then given smooth
// normals as the show does.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "assets/mesh_normals.h"
#include "core/x_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    XModel model;
    std::string problem;
    if (!parseXModel(std::string_view(reinterpret_cast<const char*>(data), size), model, problem)) {
        if (problem.empty() || !model.mesh.vertices.empty() || !model.materials.empty()) {
            __builtin_trap();
        }
        return 0;
    }
    // What drawing relies on: subsets of whole triangles, one per material,
    // covering the indices in order, and every index naming a vertex.
    const MeshData& mesh = model.mesh;
    std::size_t covered = 0;
    for (const MeshSubset& subset : mesh.subsets) {
        if (subset.firstIndex != covered || subset.indexCount % 3 != 0) {
            __builtin_trap();
        }
        covered += subset.indexCount;
    }
    if (mesh.subsets.size() != model.materials.size() || covered != mesh.indices.size() || covered == 0) {
        __builtin_trap();
    }
    for (const std::uint32_t index : mesh.indices) {
        if (index >= mesh.vertices.size()) {
            __builtin_trap();
        }
    }
    computeSmoothNormals(model.mesh);
    return 0;
}
