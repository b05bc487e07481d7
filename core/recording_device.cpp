#include "core/recording_device.h"

#include <utility>

std::string_view callName(const DeviceCall& call)
{
    return std::visit([](const auto& typed) { return typed.name; }, call);
}

std::vector<DeviceCall> RecordingDevice::takeCalls()
{
    return std::exchange(calls_, {});
}

void RecordingDevice::Clear(std::uint32_t flags, D3DCOLOR color, float z, std::uint32_t stencil)
{
    calls_.push_back(ClearCall{flags, color, z, stencil});
}

void RecordingDevice::BeginScene()
{
    calls_.push_back(BeginSceneCall{});
}

void RecordingDevice::EndScene()
{
    calls_.push_back(EndSceneCall{});
}

void RecordingDevice::Present()
{
    calls_.push_back(PresentCall{});
}

void RecordingDevice::SetRenderState(D3DRENDERSTATETYPE state, std::uint32_t value)
{
    calls_.push_back(SetRenderStateCall{state, value});
}

void RecordingDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DXMATRIX& matrix)
{
    calls_.push_back(SetTransformCall{state, matrix});
}

void RecordingDevice::SetLight(std::uint32_t index, const D3DLIGHT9& light)
{
    calls_.push_back(SetLightCall{index, light});
}

void RecordingDevice::LightEnable(std::uint32_t index, bool enable)
{
    calls_.push_back(LightEnableCall{index, enable});
}

void RecordingDevice::SetMaterial(const D3DMATERIAL9& material)
{
    calls_.push_back(SetMaterialCall{material});
}

const Texture* RecordingDevice::CreateTexture(const Picture& picture, std::string_view name)
{
    auto texture = std::make_unique<Texture>();
    texture->name = name;
    texture->width = picture.width;
    texture->height = picture.height;
    return textures_.emplace_back(std::move(texture)).get();
}

const Mesh* RecordingDevice::CreateMesh(const MeshData& data, std::string_view name)
{
    auto mesh = std::make_unique<Mesh>();
    mesh->name = name;
    mesh->subsets = data.subsets;
    return meshes_.emplace_back(std::move(mesh)).get();
}

void RecordingDevice::SpriteBegin(std::uint32_t flags)
{
    calls_.push_back(SpriteBeginCall{flags});
}

void RecordingDevice::SpriteSetTransform(const D3DXMATRIX& transform)
{
    calls_.push_back(SpriteSetTransformCall{transform});
}

void RecordingDevice::SpriteDraw(const Texture& texture, const D3DXVECTOR3& centre, D3DCOLOR color)
{
    calls_.push_back(SpriteDrawCall{texture.name, centre, color});
}

void RecordingDevice::SpriteEnd()
{
    calls_.push_back(SpriteEndCall{});
}

void RecordingDevice::DrawSubset(const Mesh& mesh, std::uint32_t subset)
{
    calls_.push_back(DrawSubsetCall{mesh.name, subset});
}
