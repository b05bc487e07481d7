// Depth test and blending, applied from the render states the passes set.
#include "platform/gl/gl_state.h"

#include "platform/gl/gl_api.h"

namespace {

GLenum blendFactor(std::uint32_t blend)
{
    switch (blend) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    }
    return GL_ONE;
}

}  // namespace

void applyDepthAndBlend(const RenderStates& states)
{
    if (states.zEnable) {
        glEnable(GL_DEPTH_TEST);
    } else {
        glDisable(GL_DEPTH_TEST);
    }
    if (states.alphaBlendEnable) {
        glEnable(GL_BLEND);
        glBlendFunc(blendFactor(states.srcBlend), blendFactor(states.destBlend));
    } else {
        glDisable(GL_BLEND);
    }
}
