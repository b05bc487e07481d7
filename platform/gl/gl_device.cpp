#include "platform/gl/gl_device.h"

#include "platform/gl/gl_api.h"

#include <algorithm>

#include "core/d3dx_math.h"
#include "core/picture_areas.h"
#include "platform/gl/gl_mesh_renderer.h"
#include "platform/gl/gl_sprite_batch.h"

GlDevice::GlDevice(PresentSurface* surface, int renderScale) : surface_(surface), renderScale_(std::max(1, renderScale))
{
    const int width = kTargetWidth * renderScale_;
    const int height = kTargetHeight * renderScale_;

    glGenTextures(1, &colorTexture_);
    glBindTexture(GL_TEXTURE_2D, colorTexture_);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    glGenRenderbuffers(1, &depthBuffer_);
    glBindRenderbuffer(GL_RENDERBUFFER, depthBuffer_);
    // Depth is kept in 16-bit steps by the mesh shader; the stencil serves the sprite batch.
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);

    glGenFramebuffers(1, &framebuffer_);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colorTexture_, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthBuffer_);
    glViewport(0, 0, width, height);

    // Clockwise triangles are the front faces, counter-clockwise ones are culled.
    glFrontFace(GL_CW);
    glCullFace(GL_BACK);
    glDepthFunc(GL_LEQUAL);

    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSide_);
    state_.world = state_.view = state_.projection = D3DXMatrixIdentity();
    sprites_ = std::make_unique<GlSpriteBatch>();
    meshes_ = std::make_unique<GlMeshRenderer>();
}

GlDevice::~GlDevice()
{
    sprites_.reset();
    meshes_.reset();
    for (const auto& texture : textures_) {
        glDeleteTextures(1, &texture->id);
    }
    glDeleteBuffers(static_cast<GLsizei>(readbackBuffers_.size()), readbackBuffers_.data());
    glDeleteFramebuffers(1, &framebuffer_);
    glDeleteRenderbuffers(1, &depthBuffer_);
    glDeleteTextures(1, &colorTexture_);
}

namespace {

// OpenGL's rows run from the bottom; copy them into rows from the top.
void copyRowsFlipped(const std::uint8_t* bottomUp, int width, int height, std::vector<std::uint8_t>& topDown)
{
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    topDown.resize(rowBytes * height);
    for (int row = 0; row < height; ++row) {
        std::copy_n(bottomUp + (height - 1 - row) * rowBytes, rowBytes, topDown.data() + row * rowBytes);
    }
}

}  // namespace

void GlDevice::readRenderTarget(std::vector<std::uint8_t>& rgba) const
{
    const int width = kTargetWidth * renderScale_;
    const int height = kTargetHeight * renderScale_;
    std::vector<std::uint8_t> bottomUp(static_cast<std::size_t>(width) * height * 4);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    copyRowsFlipped(bottomUp.data(), width, height, rgba);
}

void GlDevice::finish() const
{
    glFinish();
}

void GlDevice::startReadback(int slot)
{
    const int width = kTargetWidth * renderScale_;
    const int height = kTargetHeight * renderScale_;
    if (slot >= static_cast<int>(readbackBuffers_.size())) {
        const std::size_t first = readbackBuffers_.size();
        readbackBuffers_.resize(slot + 1);
        glGenBuffers(static_cast<GLsizei>(readbackBuffers_.size() - first), &readbackBuffers_[first]);
        for (std::size_t i = first; i < readbackBuffers_.size(); ++i) {
            glBindBuffer(GL_PIXEL_PACK_BUFFER, readbackBuffers_[i]);
            glBufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(width) * height * 4, nullptr, GL_STREAM_READ);
        }
    }
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, readbackBuffers_[slot]);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}

void GlDevice::finishReadback(int slot, std::vector<std::uint8_t>& rgba)
{
    const int width = kTargetWidth * renderScale_;
    const int height = kTargetHeight * renderScale_;
    glBindBuffer(GL_PIXEL_PACK_BUFFER, readbackBuffers_[slot]);
    const auto* pixels = static_cast<const std::uint8_t*>(
        glMapBufferRange(GL_PIXEL_PACK_BUFFER, 0, static_cast<GLsizeiptr>(width) * height * 4, GL_MAP_READ_BIT));
    if (pixels) {
        copyRowsFlipped(pixels, width, height, rgba);
        glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}

// The window's own back buffer is the render target whenever it has the
// target's size: presenting is then only a swap, with no copy of every pixel.
// Otherwise (supersampling, a letterboxed or resized window, no window) the
// frame is drawn off-screen and scaled into the window.
void GlDevice::bindRenderTarget()
{
    drawsIntoWindow_ = false;
    if (surface_ && renderScale_ == 1) {
        int width = 0;
        int height = 0;
        surface_->drawableSize(width, height);
        drawsIntoWindow_ = surface_->hasDepthAndStencil() && width == kTargetWidth && height == kTargetHeight;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, drawsIntoWindow_ ? 0 : framebuffer_);
    glViewport(0, 0, kTargetWidth * renderScale_, kTargetHeight * renderScale_);
}

void GlDevice::Clear(std::uint32_t flags, D3DCOLOR color, float z, std::uint32_t)
{
    bindRenderTarget();
    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET) {
        glClearColor(((color >> 16) & 0xFF) / 255.0f, ((color >> 8) & 0xFF) / 255.0f, (color & 0xFF) / 255.0f,
                     ((color >> 24) & 0xFF) / 255.0f);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & D3DCLEAR_ZBUFFER) {
        glClearDepthf(z);
        glDepthMask(GL_TRUE);
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    glClear(mask);
}

void GlDevice::BeginScene()
{
    glBindFramebuffer(GL_FRAMEBUFFER, drawsIntoWindow_ ? 0 : framebuffer_);
}

void GlDevice::EndScene() {}

void GlDevice::Present()
{
    if (!surface_) {
        return;
    }
    if (drawsIntoWindow_) {
        surface_->swapBuffers();
        return;
    }
    int drawableWidth = 0;
    int drawableHeight = 0;
    surface_->drawableSize(drawableWidth, drawableHeight);
    int x = 0, y = 0, width = drawableWidth, height = drawableHeight;
    if (surface_->keepsAspect()) {
        width = std::min(drawableWidth, drawableHeight * kTargetWidth / kTargetHeight);
        height = width * kTargetHeight / kTargetWidth;
        x = (drawableWidth - width) / 2;
        y = (drawableHeight - height) / 2;
    }
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glBlitFramebuffer(0, 0, kTargetWidth * renderScale_, kTargetHeight * renderScale_, x, y, x + width, y + height,
                      GL_COLOR_BUFFER_BIT, GL_LINEAR);
    surface_->swapBuffers();
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
}

void GlDevice::SetRenderState(D3DRENDERSTATETYPE state, std::uint32_t value)
{
    RenderStates& states = state_.renderStates;
    switch (state) {
    case D3DRS_ZENABLE: states.zEnable = value != 0; break;
    case D3DRS_SRCBLEND: states.srcBlend = value; break;
    case D3DRS_DESTBLEND: states.destBlend = value; break;
    case D3DRS_ALPHABLENDENABLE: states.alphaBlendEnable = value != 0; break;
    case D3DRS_SPECULARENABLE: states.specularEnable = value != 0; break;
    case D3DRS_NORMALIZENORMALS: states.normalizeNormals = value != 0; break;
    // The show's meshes have no vertex colours, so every source falls back to the material.
    case D3DRS_SPECULARMATERIALSOURCE: break;
    }
}

void GlDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DXMATRIX& matrix)
{
    switch (state) {
    case D3DTS_WORLD: state_.world = matrix; break;
    case D3DTS_VIEW: state_.view = matrix; break;
    case D3DTS_PROJECTION: state_.projection = matrix; break;
    }
}

void GlDevice::SetLight(std::uint32_t index, const D3DLIGHT9& light)
{
    if (index == 0) {
        state_.light = light;
    }
}

void GlDevice::LightEnable(std::uint32_t index, bool enable)
{
    if (index == 0) {
        state_.lightEnabled = enable;
    }
}

void GlDevice::SetMaterial(const D3DMATERIAL9& material)
{
    state_.material = material;
}

const Texture* GlDevice::CreateTexture(const Picture& picture, std::string_view name)
{
    auto texture = std::make_unique<GlTexture>();
    texture->name = name;
    texture->width = picture.width;
    texture->height = picture.height;
    texture->visibleArea = visibleAreaOf(picture);
    texture->opaqueAreas = opaqueAreasOf(picture);
    const auto mipLevelCount = static_cast<GLint>(picture.mipLevels.size());
    texture->levelCount = mipLevelCount + 1;
    glGenTextures(1, &texture->id);
    glBindTexture(GL_TEXTURE_2D, texture->id);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, picture.width, picture.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 picture.rgba.data());
    // The mip levels come with the picture: glGenerateMipmap on a software
    // rasteriser costs tens of milliseconds a picture.
    for (int level = 1, width = picture.width, height = picture.height; level <= mipLevelCount; ++level) {
        width = std::max(1, width / 2);
        height = std::max(1, height / 2);
        glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     picture.mipLevels[level - 1].data());
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, mipLevelCount);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    return textures_.emplace_back(std::move(texture)).get();
}

const Mesh* GlDevice::CreateMesh(const MeshData& data, std::string_view name)
{
    return meshes_->create(data, name);
}

void GlDevice::SpriteBegin(std::uint32_t flags)
{
    sprites_->begin(flags);
}
void GlDevice::SpriteSetTransform(const D3DXMATRIX& transform)
{
    sprites_->setTransform(transform);
}

void GlDevice::SpriteDraw(const Texture& texture, const D3DXVECTOR3& centre, D3DCOLOR color)
{
    sprites_->draw(static_cast<const GlTexture&>(texture), centre, color);
}

void GlDevice::SpriteEnd()
{
    sprites_->end(state_.renderStates);
}

void GlDevice::DrawSubset(const Mesh& mesh, std::uint32_t subset)
{
    meshes_->draw(state_, mesh, subset);
}
