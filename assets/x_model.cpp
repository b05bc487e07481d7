#include "assets/x_model.h"

#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <filesystem>
#include <fstream>

#include "app/d3dx_math.h"
#include "assets/x_file_check.h"

namespace {

// Far above any model the show draws; it bounds what Assimp may be asked to hold.
constexpr std::size_t kMaxModelFileBytes = 32u << 20;

bool readFile(const std::string& path, std::string& bytes, std::string& problem)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        problem = "no such file";
        return false;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        problem = "cannot read the file";
        return false;
    }
    if (size > kMaxModelFileBytes) {
        problem = "the file is larger than " + std::to_string(kMaxModelFileBytes >> 20) + " MiB";
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size));
    std::ifstream file(path, std::ios::binary);
    if (!file.read(bytes.data(), static_cast<std::streamsize>(size))) {
        problem = "cannot read the file";
        return false;
    }
    return true;
}

D3DCOLORVALUE colourValue(const aiMaterial& material, const char* key, unsigned type, unsigned index)
{
    aiColor4D colour(0, 0, 0, 1);  // a colour given as RGB reads back with alpha 1
    material.Get(key, type, index, colour);
    return {colour.r, colour.g, colour.b, colour.a};
}

// Assimp invents one nameless grey material for a file that has none; the
// classic loader's stand-in is a different grey, with alpha 0 and grey specular.
XMaterial fileMaterial(const aiMaterial& material)
{
    XMaterial out;
    aiString name;
    if (material.Get(AI_MATKEY_NAME, name) != AI_SUCCESS) {
        out.material.Diffuse = {0.5f, 0.5f, 0.5f, 0.0f};
        out.material.Specular = {0.5f, 0.5f, 0.5f, 0.0f};
        return out;
    }
    out.material.Diffuse = colourValue(material, AI_MATKEY_COLOR_DIFFUSE);
    out.material.Ambient = {0, 0, 0, 1};
    out.material.Specular = colourValue(material, AI_MATKEY_COLOR_SPECULAR);
    out.material.Emissive = colourValue(material, AI_MATKEY_COLOR_EMISSIVE);
    material.Get(AI_MATKEY_SHININESS, out.material.Power);
    // The first texture file the material names, whatever use Assimp guessed for it from the name.
    for (unsigned p = 0; p < material.mNumProperties; ++p) {
        const aiMaterialProperty& property = *material.mProperties[p];
        if (std::string_view(property.mKey.C_Str()) == _AI_MATKEY_TEXTURE_BASE) {
            aiString file;
            material.Get(_AI_MATKEY_TEXTURE_BASE, property.mSemantic, property.mIndex, file);
            out.textureFilename = file.C_Str();
            break;
        }
    }
    return out;
}

// Assimp's column-vector matrix as a row-vector one.
D3DXMATRIX rowVectorMatrix(const aiMatrix4x4& m)
{
    D3DXMATRIX out;
    for (unsigned row = 0; row < 4; ++row) {
        for (unsigned col = 0; col < 4; ++col) {
            out.m[row][col] = m[col][row];
        }
    }
    return out;
}

struct MeshBuilder {
    MeshData& mesh;
    std::vector<std::vector<std::uint32_t>>& trianglesByMaterial;
    bool fileHasNormals = true;

    // A frame's own transform applies first, then its parent's.
    void addNode(const aiScene& scene, const aiNode& node, const D3DXMATRIX& parentTransform)
    {
        const D3DXMATRIX transform = D3DXMatrixMultiply(rowVectorMatrix(node.mTransformation), parentTransform);
        for (unsigned m = 0; m < node.mNumMeshes; ++m) {
            addMesh(*scene.mMeshes[node.mMeshes[m]], transform);
        }
        for (unsigned c = 0; c < node.mNumChildren; ++c) {
            addNode(scene, *node.mChildren[c], transform);
        }
    }

    // A polygon becomes a fan of triangles around its first corner.
    void addMesh(const aiMesh& source, const D3DXMATRIX& transform)
    {
        if (source.mMaterialIndex >= trianglesByMaterial.size()) {
            return;
        }
        fileHasNormals = fileHasNormals && source.HasNormals();
        const auto base = static_cast<std::uint32_t>(mesh.vertices.size());
        for (unsigned v = 0; v < source.mNumVertices; ++v) {
            const aiVector3D& p = source.mVertices[v];
            const aiVector3D n = source.HasNormals() ? source.mNormals[v] : aiVector3D();
            mesh.vertices.push_back({D3DXVec3TransformCoord({p.x, p.y, p.z}, transform), {n.x, n.y, n.z}});
        }
        std::vector<std::uint32_t>& triangles = trianglesByMaterial[source.mMaterialIndex];
        for (unsigned f = 0; f < source.mNumFaces; ++f) {
            const aiFace& face = source.mFaces[f];
            for (unsigned corner = 2; corner < face.mNumIndices; ++corner) {
                triangles.insert(triangles.end(), {base + face.mIndices[0], base + face.mIndices[corner - 1],
                                                   base + face.mIndices[corner]});
            }
        }
    }
};

}  // namespace

bool readXModel(const std::string& path, XModel& model, std::string& problem)
{
    model = {};
    std::string bytes;
    if (!readFile(path, bytes, problem) || !checkXFileText(bytes, problem)) {
        return false;
    }

    // Assimp's .x reader hands out right-handed meshes: it mirrors z and reverses
    // every face. These two steps are that same conversion once more, which
    // restores the file's own coordinates and its clockwise front faces.
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFileFromMemory(bytes.data(), bytes.size(),
                                                       aiProcess_MakeLeftHanded | aiProcess_FlipWindingOrder, "x");
    if (!scene || !scene->mRootNode) {
        problem = importer.GetErrorString();
        return false;
    }

    for (unsigned m = 0; m < scene->mNumMaterials; ++m) {
        model.materials.push_back(fileMaterial(*scene->mMaterials[m]));
    }
    std::vector<std::vector<std::uint32_t>> trianglesByMaterial(model.materials.size());
    MeshBuilder builder{model.mesh, trianglesByMaterial};
    builder.addNode(*scene, *scene->mRootNode, D3DXMatrixIdentity());
    for (const std::vector<std::uint32_t>& triangles : trianglesByMaterial) {
        const auto firstIndex = static_cast<std::uint32_t>(model.mesh.indices.size());
        model.mesh.indices.insert(model.mesh.indices.end(), triangles.begin(), triangles.end());
        model.mesh.subsets.push_back({firstIndex, static_cast<std::uint32_t>(triangles.size())});
    }
    model.mesh.hasNormals = builder.fileHasNormals;
    if (model.mesh.indices.empty()) {
        problem = "the model has no faces";
        model = {};
        return false;
    }
    return true;
}
