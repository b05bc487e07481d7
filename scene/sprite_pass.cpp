#include "scene/sprite_pass.h"

#include "core/d3dx_math.h"

void beginSpritePass(Device& device)
{
    device.SetRenderState(D3DRS_ZENABLE, 0);
    device.SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device.SpriteBegin(D3DXSPRITE_SORT_DEPTH_BACKTOFRONT);
}

void endSpritePass(Device& device)
{
    device.SpriteEnd();
    device.SetRenderState(D3DRS_ZENABLE, 1);
}

void drawSprite(Device& device, const Texture* texture, const D3DXVECTOR3& centre, float scaling,
                const D3DXQUATERNION* rotation, const D3DXVECTOR3& translation, D3DCOLOR color)
{
    device.SpriteSetTransform(D3DXMatrixAffineTransformation(scaling, nullptr, rotation, &translation));
    if (texture) {
        device.SpriteDraw(*texture, centre, color);
    }
}
