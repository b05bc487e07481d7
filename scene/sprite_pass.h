// The frame every sprite pass draws in, and the placing of one sprite: the
// picture's centre point (in texels) lands on the translation, scaled and
// turned about that point. Shared by the backdrop and scroller passes.
#pragma once

#include "core/device.h"

// Depth test off and blending on, then the batch begins.
void beginSpritePass(Device& device);
// The batch ends and the depth test comes back on; blending is left on.
void endSpritePass(Device& device);

// `rotation` may be null for no turn. An empty texture slot sets the transform
// and draws nothing.
void drawSprite(Device& device, const Texture* texture, const D3DXVECTOR3& centre, float scaling,
                const D3DXQUATERNION* rotation, const D3DXVECTOR3& translation, D3DCOLOR color);
