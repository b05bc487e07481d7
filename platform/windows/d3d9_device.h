// The device on Direct3D 9: real fixed-function lighting and materials,
// textures and meshes in the managed pool, and the show's own sprite batch,
// which gathers sprites between SpriteBegin and SpriteEnd and draws them in
// call order with the sprite states of the platform's sprite helper.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/device.h"
#include "core/presentation.h"
#include "platform/windows/d3d9_native.h"

class D3d9Device final : public Device {
public:
    // presents: false for rendering that is only read back, never shown.
    D3d9Device(std::unique_ptr<D3d9Native> native, bool presents);
    ~D3d9Device() override;

    D3d9Native& native() { return *native_; }
    // Waits until every call given so far has been carried out.
    void finish() { native_->finish(); }
    // Each Present waits until its frame is done, so that one is the latest on screen.
    Presentation lastPresentation() const { return {native_->lastFrameShown(), 0}; }
    // The last frame's pixels, RGBA8, rows from the top; false, with why, when they cannot be read.
    bool readBackBuffer(std::vector<std::uint8_t>& rgba, std::string& failure);

    void Clear(std::uint32_t flags, D3DCOLOR color, float z, std::uint32_t stencil) override;
    void BeginScene() override;
    void EndScene() override;
    void Present() override;
    void SetRenderState(D3DRENDERSTATETYPE state, std::uint32_t value) override;
    void SetTransform(D3DTRANSFORMSTATETYPE state, const D3DXMATRIX& matrix) override;
    void SetLight(std::uint32_t index, const D3DLIGHT9& light) override;
    void LightEnable(std::uint32_t index, bool enable) override;
    void SetMaterial(const D3DMATERIAL9& material) override;
    const Texture* CreateTexture(const Picture& picture, std::string_view name) override;
    const Mesh* CreateMesh(const MeshData& data, std::string_view name) override;
    void SpriteBegin(std::uint32_t flags) override;
    void SpriteSetTransform(const D3DXMATRIX& transform) override;
    void SpriteDraw(const Texture& texture, const D3DXVECTOR3& centre, D3DCOLOR color) override;
    void SpriteEnd() override;
    void DrawSubset(const Mesh& mesh, std::uint32_t subset) override;

private:
    struct D3d9Texture;
    struct D3d9Mesh;

    std::unique_ptr<D3d9Native> native_;
    bool presents_;
    std::vector<std::unique_ptr<D3d9Texture>> textures_;
    std::vector<std::unique_ptr<D3d9Mesh>> meshes_;
    D3DXMATRIX spriteTransform_;
    std::vector<SpriteVertex> spriteCorners_;
    std::vector<SpriteRun> spriteRuns_;
};
