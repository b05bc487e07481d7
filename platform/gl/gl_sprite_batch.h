// The sprite batch of the OpenGL device. Sprites are gathered into one vertex
// buffer between begin and end, then drawn in call order, one draw call per run
// of sprites that share a texture. Coordinates are pixel edges of the 1280 × 720
// target whatever its render scale, so a texel-sized quad covers one pixel.
//
// Glyph-sized pictures (128 × 128) are also copied, the first time they are
// drawn, into the layers of one array texture: a line of glyphs, each its own
// texture, then still draws as one run.
#pragma once

#include <array>
#include <vector>

#include "platform/gl/gl_state.h"

class GlSpriteBatch {
public:
    // How a run of sprites samples its texture: what its scale makes of trilinear filtering.
    enum class Sampling { trilinear, nearestLevel, baseLevel };

    GlSpriteBatch();
    ~GlSpriteBatch();
    GlSpriteBatch(const GlSpriteBatch&) = delete;
    GlSpriteBatch& operator=(const GlSpriteBatch&) = delete;

    void begin(std::uint32_t flags);
    void setTransform(const D3DXMATRIX& transform);
    void draw(const GlTexture& texture, const D3DXVECTOR3& centre, D3DCOLOR color);
    // Draws what was collected since begin, with the device's current depth
    // state. What opaque sprites cover of the sprites before them is not drawn
    // at all: the target must have an 8-bit stencil, which the batch clears.
    void end(const RenderStates& states);

    // What the last pass did: sprites handed to draw, those on the target, and GL draw calls.
    std::size_t spriteCount() const { return spriteCount_; }
    std::size_t keptSpriteCount() const { return vertices_.size() / 4; }
    std::size_t drawCallCount() const { return runs_.size(); }

private:
    struct Vertex {
        float x, y, z;  // target pixels, y down; depth 0 to 1
        float u, v;
        float layer;  // in the layer texture; unused for a sprite drawn from its own texture
        D3DCOLOR color;
    };
    struct Run {
        unsigned textureId;  // layerTexture_ for sprites drawn from layers
        Sampling sampling;
        int coverRef;  // covers among the sprites up to this run's
        std::size_t spriteCount;
    };
    struct LayerCopy {
        unsigned textureId;
        int layer;
    };

    void reserve(std::size_t spriteCapacity);
    void drawCovers();
    // The layer holding the texture's texels, given one now if it has none yet; -1 when it cannot have one.
    int layerFor(const GlTexture& texture);

    D3DXMATRIX transform_;
    std::vector<Vertex> vertices_;
    std::vector<Run> runs_;
    std::vector<Vertex> coverVertices_;  // the opaque parts of sprites that cover others, in call order
    std::vector<int> coverQuadRefs_;     // for each of their quads, the number of the sprite it covers for
    int coverCount_ = 0;
    std::size_t spriteCount_ = 0;
    std::size_t indexCapacity_ = 0;  // sprites the index buffer covers
    unsigned pictureProgram_ = 0;
    unsigned layerProgram_ = 0;
    unsigned coverProgram_ = 0;
    unsigned vertexArray_ = 0;
    unsigned vertexBuffer_ = 0;
    unsigned indexBuffer_ = 0;
    std::array<unsigned, 3> samplers_{};  // by Sampling; 0 for trilinear, the textures' own
    unsigned layerTexture_ = 0;           // 0 where the driver cannot copy between textures
    int layersGiven_ = 0;
    std::vector<LayerCopy> pendingLayerCopies_;
};
