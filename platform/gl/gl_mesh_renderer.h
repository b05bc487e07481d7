// Meshes on the OpenGL device, lit per vertex like the fixed-function pipeline:
// one directional light, lighting done in camera space, diffuse and specular
// colours clamped per vertex and interpolated, specular added after.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "platform/gl/gl_state.h"

struct GlMesh final : Mesh {
    unsigned vertexArray = 0;
    unsigned vertexBuffer = 0;
    unsigned indexBuffer = 0;
    bool hasNormals = true;
};

class GlMeshRenderer {
public:
    GlMeshRenderer();
    ~GlMeshRenderer();

    const Mesh* create(const MeshData& data, std::string_view name);
    // Draws with the device's current transforms, light, material and render states.
    void draw(const FixedFunctionState& state, const Mesh& mesh, std::uint32_t subset);

private:
    struct Uniforms {
        int worldView, projection, normalMatrix;
        int lightEnabled, hasNormals, normalizeNormals, specularEnabled;
        int towardsLight, lightDiffuse, lightSpecular, lightAmbient;
        int materialDiffuse, materialAmbient, materialSpecular, materialEmissive, materialPower;
    };

    unsigned program_ = 0;  // 0 when the shaders did not build: then nothing is drawn
    Uniforms uniforms_{};
    std::vector<std::unique_ptr<GlMesh>> meshes_;
};
