// The display device the passes draw through, with the calls and meanings of a
// Direct3D 9 device. Every target draws through it: the OpenGL device on Linux
// and the web (platform/gl/gl_device.h), the Direct3D 9 device on Windows
// (platform/windows/d3d9_device.h), and the recording device that writes down
// every call for the tests and the trace tool (core/recording_device.h). All of
// them take the same calls in the same order, and the two that draw give the same picture.
// Resources are made at start-up, owned by the device and live until it is destroyed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/d3d_types.h"

// The largest picture side the show takes on any device.
constexpr int kMaxPictureSide = 8192;

// The back buffer every pass draws into, in pixels.
constexpr int kTargetWidth = 1280;
constexpr int kTargetHeight = 720;

// A decoded picture, RGBA8, rows from the top.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
    // Mip levels 1, 2, … down to 1 × 1, each halved from the one above; empty
    // when nobody made them, and then a texture has level 0 alone.
    std::vector<std::vector<std::uint8_t>> mipLevels{};
};

struct Texture {
    std::string name;  // the file it was loaded from, as opened
    int width = 0;     // size in texels, after stretching to powers of two
    int height = 0;
    virtual ~Texture() = default;
};

struct MeshVertex {
    D3DXVECTOR3 position;
    D3DXVECTOR3 normal;
};

// Subset i is the run of triangles indices[firstIndex, firstIndex + indexCount).
struct MeshSubset {
    std::uint32_t firstIndex = 0;
    std::uint32_t indexCount = 0;
};

struct MeshData {
    std::vector<MeshVertex> vertices;
    std::vector<std::uint32_t> indices;  // triangle list, clockwise front faces
    std::vector<MeshSubset> subsets;
    bool hasNormals = true;  // a mesh without normals is lit by its ambient and emissive terms only
};

struct Mesh {
    std::string name;
    std::vector<MeshSubset> subsets;
    virtual ~Mesh() = default;
};

class Device {
public:
    virtual ~Device() = default;

    virtual void Clear(std::uint32_t flags, D3DCOLOR color, float z, std::uint32_t stencil) = 0;
    virtual void BeginScene() = 0;
    virtual void EndScene() = 0;
    virtual void Present() = 0;

    virtual void SetRenderState(D3DRENDERSTATETYPE state, std::uint32_t value) = 0;
    virtual void SetTransform(D3DTRANSFORMSTATETYPE state, const D3DXMATRIX& matrix) = 0;
    virtual void SetLight(std::uint32_t index, const D3DLIGHT9& light) = 0;
    virtual void LightEnable(std::uint32_t index, bool enable) = 0;
    virtual void SetMaterial(const D3DMATERIAL9& material) = 0;

    // The picture is already stretched to power-of-two sides, none larger than
    // maxTextureSide; its mip levels, where it has them, become the texture's.
    virtual const Texture* CreateTexture(const Picture& picture, std::string_view name) = 0;
    virtual int maxTextureSide() const { return kMaxPictureSide; }
    virtual const Mesh* CreateMesh(const MeshData& data, std::string_view name) = 0;

    // The sprite batch: sprites are collected between SpriteBegin and SpriteEnd
    // and drawn in call order. Each is placed wholly by the transform current
    // when SpriteDraw is called: texel p lands on (p - centre) × transform.
    virtual void SpriteBegin(std::uint32_t flags) = 0;
    virtual void SpriteSetTransform(const D3DXMATRIX& transform) = 0;
    virtual void SpriteDraw(const Texture& texture, const D3DXVECTOR3& centre, D3DCOLOR color) = 0;
    virtual void SpriteEnd() = 0;

    // Draws one subset with the current transforms, light and material.
    virtual void DrawSubset(const Mesh& mesh, std::uint32_t subset) = 0;
};
