// The sprite batch of the OpenGL device.
#pragma once

#include "app/gl_device.h"

class GlSpriteBatch {
public:
    GlSpriteBatch();
    ~GlSpriteBatch();

    void begin(std::uint32_t flags);
    void setTransform(const D3DXMATRIX& transform);
    void draw(const GlTexture& texture, const D3DXVECTOR3& centre, D3DCOLOR color);
    // Draws what was collected since begin, with the device's current depth state.
    void end(const GlDevice& device);
};
