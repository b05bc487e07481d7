// A device that draws nothing and writes down every call with its arguments,
// one JSON object per call, in call order. Tests read the calls back; the
// trace tool prints them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/device.h"

class RecordingDevice final : public Device {
public:
    // Every call since construction or the last takeCalls().
    const std::vector<std::string>& calls() const { return calls_; }
    std::vector<std::string> takeCalls();
    // The "call" field of each recorded call, e.g. "SpriteDraw".
    std::vector<std::string> callNames() const;

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
    std::vector<std::string> calls_;
    std::vector<std::unique_ptr<Texture>> textures_;
    std::vector<std::unique_ptr<Mesh>> meshes_;
};

// JSON spellings shared with the trace tool: floats with 9 significant digits,
// colours as "0xAARRGGBB".
std::string jsonFloat(double value);
std::string jsonColor(D3DCOLOR color);
