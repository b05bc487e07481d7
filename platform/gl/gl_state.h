// The state the OpenGL device keeps for its renderers: the fixed-function
// render states, transforms, light and material as the passes last set them,
// and the device's textures.
#pragma once

#include <vector>

#include "core/device.h"
#include "core/picture_areas.h"

// The fixed-function state the passes set, as the renderers read it at draw time.
struct RenderStates {
    bool zEnable = true;
    bool alphaBlendEnable = false;
    std::uint32_t srcBlend = D3DBLEND_ONE;
    std::uint32_t destBlend = D3DBLEND_ZERO;
    bool specularEnable = false;
    bool normalizeNormals = false;
};

struct FixedFunctionState {
    RenderStates renderStates;
    D3DXMATRIX world;
    D3DXMATRIX view;
    D3DXMATRIX projection;
    D3DLIGHT9 light{};
    bool lightEnabled = false;
    D3DMATERIAL9 material{};
};

struct GlTexture final : Texture {
    unsigned id = 0;
    int levelCount = 1;  // mip levels, the base one included
    // The part of the picture a sprite's quad needs to cover: what lies outside
    // is transparent at every mip level the show samples.
    TextureArea visibleArea;
    // A few rectangles, apart, over which it is opaque at every mip level down to 2.
    std::vector<TextureArea> opaqueAreas;
    // The sprite batch's layer holding a copy of it, given on first draw; -1 for none yet.
    mutable int layer = -1;
};

// Depth test and blending as the render states say; the renderers call it before drawing.
void applyDepthAndBlend(const RenderStates& states);
