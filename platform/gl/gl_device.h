// The device on OpenGL 3.3 core. Every pass draws into a render target of
// 1280 × 720 logical pixels with depth in 16-bit steps: the window's back
// buffer when it has that size, else an off-screen one (optionally
// supersampled) that Present scales into the window's drawable.
// Needs a current OpenGL context; no OpenGL header leaks out of this layer.
#pragma once

#include <memory>
#include <vector>

#include "core/device.h"
#include "platform/gl/gl_state.h"

// Where Present puts the picture: the window layer implements it.
class PresentSurface {
public:
    virtual ~PresentSurface() = default;
    virtual void drawableSize(int& width, int& height) const = 0;  // in pixels, not window units
    virtual bool keepsAspect() const = 0;  // letterbox instead of stretching to the whole drawable
    // Depth of 16 bits or more and an 8-bit stencil, so the device can draw straight into it.
    virtual bool hasDepthAndStencil() const = 0;
    virtual void swapBuffers() = 0;
};

class GlSpriteBatch;
class GlMeshRenderer;

class GlDevice final : public Device {
public:
    // renderScale > 1 renders every frame at that multiple of 1280 × 720.
    explicit GlDevice(PresentSurface* surface, int renderScale = 1);
    ~GlDevice() override;

    const FixedFunctionState& state() const { return state_; }
    // The off-screen render target's pixels, RGBA8, rows from the top: for a device without a window.
    void readRenderTarget(std::vector<std::uint8_t>& rgba) const;
    // Waits until every command given so far has been carried out.
    void finish() const;
    // The same, in two halves so rendering goes on while the copy is made:
    // start copying the current frame into readback slot `slot` (a ring the
    // caller cycles through), and later collect it, waiting only if it is unfinished.
    void startReadback(int slot);
    void finishReadback(int slot, std::vector<std::uint8_t>& rgba);

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
    int maxTextureSide() const override { return maxTextureSide_; }
    const Mesh* CreateMesh(const MeshData& data, std::string_view name) override;
    void SpriteBegin(std::uint32_t flags) override;
    void SpriteSetTransform(const D3DXMATRIX& transform) override;
    void SpriteDraw(const Texture& texture, const D3DXVECTOR3& centre, D3DCOLOR color) override;
    void SpriteEnd() override;
    void DrawSubset(const Mesh& mesh, std::uint32_t subset) override;

private:
    void bindRenderTarget();

    PresentSurface* surface_;
    bool drawsIntoWindow_ = false;
    int renderScale_;
    int maxTextureSide_ = 0;
    unsigned framebuffer_ = 0;
    unsigned colorTexture_ = 0;
    unsigned depthBuffer_ = 0;
    std::vector<unsigned> readbackBuffers_;
    FixedFunctionState state_;
    std::vector<std::unique_ptr<GlTexture>> textures_;
    std::unique_ptr<GlSpriteBatch> sprites_;
    std::unique_ptr<GlMeshRenderer> meshes_;
};
