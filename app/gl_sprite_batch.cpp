#include "app/gl_sprite_batch.h"

GlSpriteBatch::GlSpriteBatch() = default;
GlSpriteBatch::~GlSpriteBatch() = default;
void GlSpriteBatch::begin(std::uint32_t) {}
void GlSpriteBatch::setTransform(const D3DXMATRIX&) {}
void GlSpriteBatch::draw(const GlTexture&, const D3DXVECTOR3&, D3DCOLOR) {}
void GlSpriteBatch::end(const GlDevice&) {}
