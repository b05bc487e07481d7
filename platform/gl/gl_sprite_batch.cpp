#include "platform/gl/gl_sprite_batch.h"

#include "platform/gl/gl_program.h"

#include "platform/gl/gl_api.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <optional>
#include <string>

#include "core/d3dx_math.h"

namespace {

// Enough for every sprite of the show's busiest pass; more grows the buffers.
constexpr std::size_t kInitialSpriteCapacity = 2048;
// Covers are numbered in an 8-bit stencil; sprites beyond that many cover nothing.
constexpr int kMaxCovers = 255;
constexpr std::size_t kMaxCoverQuads = 1024;

// Layers for every character code that can have a glyph picture.
constexpr int kLayerSide = 128;
constexpr int kLayerCount = 224;

// The platform's sprite projection, OrthoOffCenter(0.5, 1280.5, 720.5, 0.5, 0, 1),
// puts a vertex at (x, y) on the pixel edge x, y of a target whose pixel centres
// lie on whole numbers. OpenGL's centres lie on halves, so the same edge is
// window coordinate x, height - y: no half-pixel shift is needed here.
const char* const kVertexShader = R"(
uniform vec2 targetSize;
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 texCoord;
layout(location = 2) in vec4 color;
out vec3 pictureCoord;
out vec4 tint;
void main()
{
    vec2 edge = position.xy / targetSize;
    gl_Position = vec4(2.0 * edge.x - 1.0, 1.0 - 2.0 * edge.y, 2.0 * position.z - 1.0, 1.0);
    pictureCoord = texCoord;
    tint = color.zyxw;
}
)";

// Texture times colour for colour and alpha; the alpha test passes alpha above
// 0 only. Two variants: a texture of the sprite's own, or a layer.
const char* const kPictureSampler =
    "uniform sampler2D picture;\n"
    "#define PICTURE_COORD pictureCoord.xy\n";
const char* const kLayerSampler =
    "uniform sampler2DArray picture;\n"
    "#define PICTURE_COORD pictureCoord\n";
const char* const kFragmentShader = R"(
in vec3 pictureCoord;
in vec4 tint;
out vec4 fragColor;
void main()
{
    vec4 color = texture(picture, PICTURE_COORD) * tint;
    if (color.a < 0.5 / 255.0) {
        discard;
    }
    fragColor = color;
}
)";

// Covers are drawn into the stencil alone: their colour is never written.
const char* const kCoverFragmentShader = R"(
out vec4 fragColor;
void main()
{
    fragColor = vec4(0.0);
}
)";

GLuint linkSpriteProgram(const std::string& fragmentShader, const char* purpose)
{
    const GLuint program = buildGlProgram(kVertexShader, fragmentShader, purpose);
    if (program) {
        glUseProgram(program);
        glUniform2f(glGetUniformLocation(program, "targetSize"), kTargetWidth, kTargetHeight);
        glUniform1i(glGetUniformLocation(program, "picture"), 0);
        glUseProgram(0);
    }
    return program;
}

// Sampled as the device samples its own textures: trilinear, clamped.
void setPictureSampling(GLenum target)
{
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(target, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(target, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

int mipLevelCount(int side)
{
    return std::bit_width(static_cast<unsigned>(side));
}

constexpr float kScaleTolerance = 1.0f / 256;

// For a transform that scales both axes alike (turning and moving as it
// likes), the mip level its scale selects, negative when it enlarges; none
// for any other transform.
std::optional<float> mipLevelOf(const D3DXMATRIX& transform)
{
    const auto& m = transform.m;
    const float acrossLength = std::hypot(m[0][0], m[0][1]);
    const float downLength = std::hypot(m[1][0], m[1][1]);
    const float skew = m[0][0] * m[1][0] + m[0][1] * m[1][1];
    if (acrossLength <= 0 || std::abs(acrossLength - downLength) > kScaleTolerance * acrossLength ||
        std::abs(skew) > kScaleTolerance * acrossLength * downLength) {
        return std::nullopt;
    }
    return -std::log2(acrossLength);
}

// Trilinear filtering takes all of a sprite's colour from one mip level when
// it scales both axes alike and either enlarges, taking the base level, or
// shrinks by a power of two: the record drawn at exactly half size samples
// only level 1. Bilinear sampling of that one level gives the same colours for
// a fraction of the work. The tolerance keeps the weight of a second level
// under 1/256.
GlSpriteBatch::Sampling samplingFor(std::optional<float> level)
{
    using enum GlSpriteBatch::Sampling;
    if (!level) {
        return trilinear;
    }
    if (*level <= kScaleTolerance) {
        return baseLevel;
    }
    return std::abs(*level - std::round(*level)) <= kScaleTolerance ? nearestLevel : trilinear;
}

GLuint makeSampler(GLenum minifying)
{
    GLuint sampler = 0;
    glGenSamplers(1, &sampler);
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, minifying);
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    return sampler;
}

}  // namespace

GlSpriteBatch::GlSpriteBatch() : transform_(D3DXMatrixIdentity())
{
    pictureProgram_ = linkSpriteProgram(std::string(kPictureSampler) + kFragmentShader, "no picture or text is drawn");
    layerProgram_ = linkSpriteProgram(std::string(kLayerSampler) + kFragmentShader, "no picture or text is drawn");
    coverProgram_ = linkSpriteProgram(kCoverFragmentShader, "sprites are drawn in full under opaque ones");
    coverVertices_.reserve(4 * kMaxCoverQuads);
    coverQuadRefs_.reserve(kMaxCoverQuads);
    // No sampler for trilinear: the textures' own parameters ask for it.
    samplers_[static_cast<int>(Sampling::nearestLevel)] = makeSampler(GL_LINEAR_MIPMAP_NEAREST);
    samplers_[static_cast<int>(Sampling::baseLevel)] = makeSampler(GL_LINEAR);
    glGenVertexArrays(1, &vertexArray_);
    glGenBuffers(1, &vertexBuffer_);
    glGenBuffers(1, &indexBuffer_);

    glBindVertexArray(vertexArray_);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer_);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), reinterpret_cast<void*>(offsetof(Vertex, x)));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), reinterpret_cast<void*>(offsetof(Vertex, u)));
    // A D3DCOLOR in memory is B, G, R, A: the shader swaps it into place.
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex),
                          reinterpret_cast<void*>(offsetof(Vertex, color)));
    reserve(kInitialSpriteCapacity);
    glBindVertexArray(0);

    if (glCanCopyImages()) {
        glGenTextures(1, &layerTexture_);
        glBindTexture(GL_TEXTURE_2D_ARRAY, layerTexture_);
        for (int level = 0, side = kLayerSide; level < mipLevelCount(kLayerSide); ++level, side /= 2) {
            glTexImage3D(GL_TEXTURE_2D_ARRAY, level, GL_RGBA8, side, side, kLayerCount, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                         nullptr);
        }
        setPictureSampling(GL_TEXTURE_2D_ARRAY);
        pendingLayerCopies_.reserve(kLayerCount);
    }
}

GlSpriteBatch::~GlSpriteBatch()
{
    glDeleteTextures(1, &layerTexture_);
    glDeleteBuffers(1, &indexBuffer_);
    glDeleteBuffers(1, &vertexBuffer_);
    glDeleteVertexArrays(1, &vertexArray_);
    glDeleteSamplers(static_cast<GLsizei>(samplers_.size()), samplers_.data());
    glDeleteProgram(coverProgram_);
    glDeleteProgram(layerProgram_);
    glDeleteProgram(pictureProgram_);
}

// Needs the batch's vertex array bound, so the index buffer lands in it.
void GlSpriteBatch::reserve(std::size_t spriteCapacity)
{
    vertices_.reserve(spriteCapacity * 4);
    runs_.reserve(spriteCapacity);
    std::vector<GLuint> indices;
    indices.reserve(spriteCapacity * 6);
    for (GLuint corner = 0; corner < spriteCapacity * 4; corner += 4) {
        indices.insert(indices.end(), {corner, corner + 1, corner + 2, corner, corner + 2, corner + 3});
    }
    glUploadBuffer(GL_ELEMENT_ARRAY_BUFFER, indices.size() * sizeof(GLuint), indices.data(), GL_STATIC_DRAW);
    indexCapacity_ = spriteCapacity;
}

int GlSpriteBatch::layerFor(const GlTexture& texture)
{
    // Only a picture with every mip level has all of them to copy into its layer.
    if (!layerTexture_ || texture.width != kLayerSide || texture.height != kLayerSide ||
        texture.levelCount != mipLevelCount(kLayerSide)) {
        return -1;
    }
    if (texture.layer >= 0 || layersGiven_ == kLayerCount) {
        return texture.layer;
    }
    texture.layer = layersGiven_++;
    pendingLayerCopies_.push_back({texture.id, texture.layer});
    return texture.layer;
}

// The one flag the show passes asks for sorting by depth, and all its sprites
// lie at one depth: they are drawn in call order.
void GlSpriteBatch::begin(std::uint32_t)
{
    vertices_.clear();
    runs_.clear();
    coverVertices_.clear();
    coverQuadRefs_.clear();
    coverCount_ = 0;
    spriteCount_ = 0;
    transform_ = D3DXMatrixIdentity();
}

void GlSpriteBatch::setTransform(const D3DXMATRIX& transform)
{
    assert(transform.m[0][3] == 0 && transform.m[1][3] == 0 && transform.m[2][3] == 0 && transform.m[3][3] == 1 &&
           "a sprite transform places, scales and turns: its last column is (0, 0, 0, 1)");
    transform_ = transform;
}

// Texel p lands on (p - centre) × transform, p a row vector: the quad's first
// corner is -centre × transform and its sides are the transform's first two rows,
// scaled by the picture's size.
void GlSpriteBatch::draw(const GlTexture& texture, const D3DXVECTOR3& centre, D3DCOLOR color)
{
    ++spriteCount_;
    const auto& m = transform_.m;
    const float width = static_cast<float>(texture.width);
    const float height = static_cast<float>(texture.height);
    const float originX = m[3][0] - centre.x * m[0][0] - centre.y * m[1][0] - centre.z * m[2][0];
    const float originY = m[3][1] - centre.x * m[0][1] - centre.y * m[1][1] - centre.z * m[2][1];
    const float depth = m[3][2] - centre.x * m[0][2] - centre.y * m[1][2] - centre.z * m[2][2];
    const float acrossX = width * m[0][0], acrossY = width * m[0][1], acrossZ = width * m[0][2];
    const float downX = height * m[1][0], downY = height * m[1][1], downZ = height * m[1][2];

    const float left = originX + std::min(acrossX, 0.0f) + std::min(downX, 0.0f);
    const float right = originX + std::max(acrossX, 0.0f) + std::max(downX, 0.0f);
    const float top = originY + std::min(acrossY, 0.0f) + std::min(downY, 0.0f);
    const float bottom = originY + std::max(acrossY, 0.0f) + std::max(downY, 0.0f);
    if (right <= 0 || left >= kTargetWidth || bottom <= 0 || top >= kTargetHeight) {
        return;
    }

    const TextureArea& area = texture.visibleArea;
    if (area.right <= area.left || area.bottom <= area.top) {
        return;  // wholly transparent: nothing would be drawn
    }
    const int layer = layerFor(texture);
    const unsigned runTexture = layer < 0 ? texture.id : layerTexture_;
    const float layerCoord = static_cast<float>(std::max(layer, 0));
    // The quad covers only the picture's visible area: the point (u, v) of the
    // picture lies at origin + u × across + v × down.
    const auto corner = [&](float u, float v) {
        return Vertex{originX + u * acrossX + v * downX,
                      originY + u * acrossY + v * downY,
                      depth + u * acrossZ + v * downZ,
                      u,
                      v,
                      layerCoord,
                      color};
    };
    const auto pushQuad = [&](std::vector<Vertex>& quads, const TextureArea& over) {
        quads.push_back(corner(over.left, over.top));
        quads.push_back(corner(over.right, over.top));
        quads.push_back(corner(over.right, over.bottom));
        quads.push_back(corner(over.left, over.bottom));
    };
    pushQuad(vertices_, area);

    // A sprite opaque over part of its quad covers what the sprites before it
    // drew there. That holds at mip levels down to 1 (half size) and with the
    // picture's alpha untouched by the colour.
    const std::optional<float> level = mipLevelOf(transform_);
    if (!runs_.empty() && !texture.opaqueAreas.empty() && (color >> 24) == 0xFF && level &&
        *level <= 1 + kScaleTolerance && coverCount_ < kMaxCovers &&
        coverQuadRefs_.size() + texture.opaqueAreas.size() <= kMaxCoverQuads) {
        ++coverCount_;
        for (const TextureArea& opaque : texture.opaqueAreas) {
            pushQuad(coverVertices_, opaque);
            coverQuadRefs_.push_back(coverCount_);
        }
    }
    const Sampling sampling = samplingFor(level);
    const int coverRef = coverCount_;
    if (runs_.empty() || runs_.back().textureId != runTexture || runs_.back().sampling != sampling ||
        runs_.back().coverRef != coverRef) {
        runs_.push_back({runTexture, sampling, coverRef, 1});
    } else {
        ++runs_.back().spriteCount;
    }
}

// Each cover writes its number into the stencil over its opaque part; each run
// then draws only where the stencil holds no later sprite's number. The
// rasteriser drops those fragments before sampling: the record hides most of
// the backdrop at its largest. What is skipped would have been painted over by
// an opaque sprite, so the picture is the same.
void GlSpriteBatch::drawCovers()
{
    glEnable(GL_STENCIL_TEST);
    glStencilMask(0xFF);
    glClearStencil(0);
    glClear(GL_STENCIL_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
    glUseProgram(coverProgram_);
    for (std::size_t first = 0, next; first < coverQuadRefs_.size(); first = next) {
        next = first + 1;
        while (next < coverQuadRefs_.size() && coverQuadRefs_[next] == coverQuadRefs_[first]) {
            ++next;
        }
        glStencilFunc(GL_ALWAYS, coverQuadRefs_[first], 0xFF);
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>((next - first) * 6), GL_UNSIGNED_INT,
                       reinterpret_cast<void*>((keptSpriteCount() + first) * 6 * sizeof(GLuint)));
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    glStencilMask(0);  // a stencil that is only tested lets the rasteriser test it before shading
}

void GlSpriteBatch::end(const RenderStates& states)
{
    if (vertices_.empty()) {
        return;
    }
    for (const LayerCopy& copy : pendingLayerCopies_) {
        for (int level = 0, side = kLayerSide; level < mipLevelCount(kLayerSide); ++level, side /= 2) {
            glCopyImageSubData(copy.textureId, GL_TEXTURE_2D, level, 0, 0, 0, layerTexture_, GL_TEXTURE_2D_ARRAY, level,
                               0, 0, copy.layer, side, side, 1);
        }
    }
    pendingLayerCopies_.clear();

    glBindVertexArray(vertexArray_);
    const std::size_t quadCount = keptSpriteCount() + coverQuadRefs_.size();
    if (quadCount > indexCapacity_) {
        reserve(std::max(quadCount, indexCapacity_ * 2));
    }
    // Fresh storage each time, so the upload never waits for the last frame's draws.
    // The covers' quads follow the sprites'.
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
    const std::size_t spriteBytes = vertices_.size() * sizeof(Vertex);
    const std::size_t coverBytes = coverVertices_.size() * sizeof(Vertex);
    glUploadBuffer(GL_ARRAY_BUFFER, spriteBytes + coverBytes, nullptr, GL_STREAM_DRAW);
    glUploadBufferRange(GL_ARRAY_BUFFER, 0, spriteBytes, vertices_.data());
    glUploadBufferRange(GL_ARRAY_BUFFER, spriteBytes, coverBytes, coverVertices_.data());

    const GLboolean culling = glIsEnabled(GL_CULL_FACE);
    glDisable(GL_CULL_FACE);
    const bool covering = coverProgram_ && coverCount_ > 0;
    if (covering) {
        drawCovers();
    }

    // Depth as the render states say; blending and no culling as the sprite batch
    // always draws. The target's alpha stays as cleared, as the platform's back
    // buffer has no alpha to blend into.
    applyDepthAndBlend(states);
    glDepthMask(GL_TRUE);
    glEnable(GL_BLEND);
    glBlendEquation(GL_FUNC_ADD);
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ZERO, GL_ONE);

    glActiveTexture(GL_TEXTURE0);
    std::size_t firstSprite = 0;
    for (const Run& run : runs_) {
        const bool layered = run.textureId == layerTexture_;
        const GLuint program = layered ? layerProgram_ : pictureProgram_;
        if (program) {
            glUseProgram(program);
            glBindTexture(layered ? GL_TEXTURE_2D_ARRAY : GL_TEXTURE_2D, run.textureId);
            glBindSampler(0, samplers_[static_cast<int>(run.sampling)]);
            if (covering) {
                glStencilFunc(GL_GEQUAL, run.coverRef, 0xFF);
            }
            glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(run.spriteCount * 6), GL_UNSIGNED_INT,
                           reinterpret_cast<void*>(firstSprite * 6 * sizeof(GLuint)));
        }
        firstSprite += run.spriteCount;
    }

    // Leave the states as the device's render states say, for whoever draws next.
    if (culling) {
        glEnable(GL_CULL_FACE);
    }
    if (covering) {
        glDisable(GL_STENCIL_TEST);
        glStencilMask(0xFF);
    }
    applyDepthAndBlend(states);
    glBindSampler(0, 0);
    glUseProgram(0);
    glBindVertexArray(0);
}
