#include "platform/windows/d3d9_device.h"

#include <algorithm>

#include "core/d3dx_math.h"

// The native layer takes the core's records as they are: they must keep the published layouts.
static_assert(sizeof(D3DXMATRIX) == 16 * sizeof(float));
static_assert(sizeof(D3DLIGHT9) == 104);
static_assert(sizeof(D3DMATERIAL9) == 68);
static_assert(sizeof(MeshVertex) == 6 * sizeof(float));

struct D3d9Device::D3d9Texture final : Texture {
    const NativeTexture* native = nullptr;
};

struct D3d9Device::D3d9Mesh final : Mesh {
    const NativeMesh* native = nullptr;
};

namespace {

void rgbaToBgra(const std::uint8_t* rgba, std::size_t pixelCount, std::vector<std::uint8_t>& bgra)
{
    bgra.resize(pixelCount * 4);
    for (std::size_t i = 0; i < pixelCount * 4; i += 4) {
        bgra[i] = rgba[i + 2];
        bgra[i + 1] = rgba[i + 1];
        bgra[i + 2] = rgba[i];
        bgra[i + 3] = rgba[i + 3];
    }
}

// The sprite helper's projection: pixel edges of the 1280 × 720 target, whose
// pixel centres lie on whole numbers, so a texel-sized quad covers one pixel.
const D3DXMATRIX kSpriteProjection =
    D3DXMatrixOrthoOffCenterLH(0.5f, kTargetWidth + 0.5f, kTargetHeight + 0.5f, 0.5f, 0.0f, 1.0f);

}  // namespace

D3d9Device::D3d9Device(std::unique_ptr<D3d9Native> native, bool presents)
    : native_(std::move(native)), presents_(presents), spriteTransform_(D3DXMatrixIdentity())
{
}

D3d9Device::~D3d9Device() = default;

bool D3d9Device::readBackBuffer(std::vector<std::uint8_t>& rgba, std::string& failure)
{
    return native_->readBackBuffer(rgba, failure);
}

void D3d9Device::Clear(std::uint32_t flags, D3DCOLOR color, float z, std::uint32_t stencil)
{
    native_->clear(flags, color, z, stencil);
}

void D3d9Device::BeginScene()
{
    native_->beginScene();
}

void D3d9Device::EndScene()
{
    native_->endScene();
}

void D3d9Device::Present()
{
    if (presents_) {
        native_->present();
    }
}

void D3d9Device::SetRenderState(D3DRENDERSTATETYPE state, std::uint32_t value)
{
    native_->setRenderState(state, value);
}

void D3d9Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DXMATRIX& matrix)
{
    native_->setTransform(state, &matrix.m[0][0]);
}

void D3d9Device::SetLight(std::uint32_t index, const D3DLIGHT9& light)
{
    native_->setLight(index, &light, sizeof light);
}

void D3d9Device::LightEnable(std::uint32_t index, bool enable)
{
    native_->lightEnable(index, enable);
}

void D3d9Device::SetMaterial(const D3DMATERIAL9& material)
{
    native_->setMaterial(&material, sizeof material);
}

// The picture's mip levels become the texture's, converted to the platform's byte order.
const Texture* D3d9Device::CreateTexture(const Picture& picture, std::string_view name)
{
    std::vector<std::vector<std::uint8_t>> levels(1 + picture.mipLevels.size());
    rgbaToBgra(picture.rgba.data(), picture.rgba.size() / 4, levels[0]);
    for (std::size_t level = 1; level < levels.size(); ++level) {
        const std::vector<std::uint8_t>& rgba = picture.mipLevels[level - 1];
        rgbaToBgra(rgba.data(), rgba.size() / 4, levels[level]);
    }
    const NativeTexture* native = native_->createTexture(picture.width, picture.height, levels);
    if (!native) {
        return nullptr;
    }
    auto texture = std::make_unique<D3d9Texture>();
    texture->name = name;
    texture->width = picture.width;
    texture->height = picture.height;
    texture->native = native;
    return textures_.emplace_back(std::move(texture)).get();
}

const Mesh* D3d9Device::CreateMesh(const MeshData& data, std::string_view name)
{
    auto mesh = std::make_unique<D3d9Mesh>();
    mesh->name = name;
    mesh->subsets = data.subsets;
    // Without normals the vertices hold positions alone, so the platform lights them by ambient and emissive only.
    std::vector<D3DXVECTOR3> positions;
    const void* vertices = data.vertices.data();
    if (!data.hasNormals) {
        positions.reserve(data.vertices.size());
        for (const MeshVertex& vertex : data.vertices) {
            positions.push_back(vertex.position);
        }
        vertices = positions.data();
    }
    mesh->native =
        native_->createMesh(vertices, data.vertices.size(), data.hasNormals, data.indices.data(), data.indices.size());
    return meshes_.emplace_back(std::move(mesh)).get();
}

// The one flag the passes give asks for sorting by depth; their sprites all lie
// at one depth, so they are drawn in call order.
void D3d9Device::SpriteBegin(std::uint32_t)
{
    spriteTransform_ = D3DXMatrixIdentity();
    spriteCorners_.clear();
    spriteRuns_.clear();
}

void D3d9Device::SpriteSetTransform(const D3DXMATRIX& transform)
{
    spriteTransform_ = transform;
}

// The corners (0, 0), (w, 0), (w, h) and (0, h) of the picture, less the centre,
// each taken through the transform current now.
void D3d9Device::SpriteDraw(const Texture& texture, const D3DXVECTOR3& centre, D3DCOLOR color)
{
    const auto& picture = static_cast<const D3d9Texture&>(texture);
    const float width = static_cast<float>(picture.width);
    const float height = static_cast<float>(picture.height);
    const float corners[4][4] = {{0, 0, 0, 0}, {width, 0, 1, 0}, {width, height, 1, 1}, {0, height, 0, 1}};
    for (const auto& [x, y, u, v] : corners) {
        const D3DXVECTOR3 placed = D3DXVec3TransformCoord({x - centre.x, y - centre.y, -centre.z}, spriteTransform_);
        spriteCorners_.push_back({placed.x, placed.y, placed.z, color, u, v});
    }
    if (spriteRuns_.empty() || spriteRuns_.back().texture != picture.native) {
        spriteRuns_.push_back({picture.native, 1});
    } else {
        ++spriteRuns_.back().spriteCount;
    }
}

void D3d9Device::SpriteEnd()
{
    native_->drawSprites(spriteCorners_, spriteRuns_, &kSpriteProjection.m[0][0]);
}

void D3d9Device::DrawSubset(const Mesh& mesh, std::uint32_t subset)
{
    const auto& d3d9Mesh = static_cast<const D3d9Mesh&>(mesh);
    if (!d3d9Mesh.native || subset >= mesh.subsets.size() || mesh.subsets[subset].indexCount == 0) {
        return;
    }
    native_->drawIndexedTriangles(*d3d9Mesh.native, mesh.subsets[subset].firstIndex, mesh.subsets[subset].indexCount);
}
