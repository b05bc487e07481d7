// A device that draws nothing and writes down every call with its arguments,
// one record per call, in call order. Tests read the calls back; the trace
// tool prints them. Textures and meshes are written down by name, so a record
// stays meaningful after the device is gone.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/device.h"

// One record per Device method that draws or sets state; each knows the name of its method.
struct ClearCall {
    static constexpr std::string_view name = "Clear";
    std::uint32_t flags;
    D3DCOLOR color;
    float z;
    std::uint32_t stencil;
    friend bool operator==(const ClearCall&, const ClearCall&) = default;
};

struct BeginSceneCall {
    static constexpr std::string_view name = "BeginScene";
};

struct EndSceneCall {
    static constexpr std::string_view name = "EndScene";
};

struct PresentCall {
    static constexpr std::string_view name = "Present";
};

struct SetRenderStateCall {
    static constexpr std::string_view name = "SetRenderState";
    D3DRENDERSTATETYPE state;
    std::uint32_t value;
    friend bool operator==(const SetRenderStateCall&, const SetRenderStateCall&) = default;
};

struct SetTransformCall {
    static constexpr std::string_view name = "SetTransform";
    D3DTRANSFORMSTATETYPE state;
    D3DXMATRIX matrix;
};

struct SetLightCall {
    static constexpr std::string_view name = "SetLight";
    std::uint32_t index;
    D3DLIGHT9 light;
};

struct LightEnableCall {
    static constexpr std::string_view name = "LightEnable";
    std::uint32_t index;
    bool enable;
    friend bool operator==(const LightEnableCall&, const LightEnableCall&) = default;
};

struct SetMaterialCall {
    static constexpr std::string_view name = "SetMaterial";
    D3DMATERIAL9 material;
};

struct SpriteBeginCall {
    static constexpr std::string_view name = "SpriteBegin";
    std::uint32_t flags;
    friend bool operator==(const SpriteBeginCall&, const SpriteBeginCall&) = default;
};

struct SpriteSetTransformCall {
    static constexpr std::string_view name = "SpriteSetTransform";
    D3DXMATRIX matrix;
};

struct SpriteDrawCall {
    static constexpr std::string_view name = "SpriteDraw";
    std::string texture;
    D3DXVECTOR3 centre;
    D3DCOLOR color;
};

struct SpriteEndCall {
    static constexpr std::string_view name = "SpriteEnd";
};

struct DrawSubsetCall {
    static constexpr std::string_view name = "DrawSubset";
    std::string mesh;
    std::uint32_t subset;
    friend bool operator==(const DrawSubsetCall&, const DrawSubsetCall&) = default;
};

using DeviceCall = std::variant<ClearCall, BeginSceneCall, EndSceneCall, PresentCall, SetRenderStateCall,
                                SetTransformCall, SetLightCall, LightEnableCall, SetMaterialCall, SpriteBeginCall,
                                SpriteSetTransformCall, SpriteDrawCall, SpriteEndCall, DrawSubsetCall>;

// The Device method that made the call, e.g. "SpriteDraw".
std::string_view callName(const DeviceCall& call);

class RecordingDevice final : public Device {
public:
    // Every call since construction or the last takeCalls(). Making textures
    // and meshes is not written down.
    const std::vector<DeviceCall>& calls() const { return calls_; }
    std::vector<DeviceCall> takeCalls();

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
    std::vector<DeviceCall> calls_;
    std::vector<std::unique_ptr<Texture>> textures_;
    std::vector<std::unique_ptr<Mesh>> meshes_;
};
