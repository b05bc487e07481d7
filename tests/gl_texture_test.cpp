// Textures on the OpenGL device take the mip levels their pictures carry, and
// a picture without any is still drawn, from its full-size level.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "core/d3dx_math.h"
#include "platform/gl/gl_device.h"
#include "platform/linux/sdl_window.h"
#include "tests/gl_window_test.h"
#include "tests/sprite_test_support.h"

namespace {

class GlTextureTest : public GlWindowTest {
protected:
    // The colour at the centre of the texture drawn at half size around (400, 300).
    static std::array<int, 4> drawnAtHalfSize(const Picture& picture)
    {
        GlDevice device(nullptr);
        const Texture* texture = device.CreateTexture(picture, "picture");
        device.Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1, 0);
        device.BeginScene();
        device.SetRenderState(D3DRS_ZENABLE, 0);
        device.SpriteBegin(D3DXSPRITE_SORT_DEPTH_BACKTOFRONT);
        const D3DXVECTOR3 translation = {400, 300, 0};
        device.SpriteSetTransform(D3DXMatrixAffineTransformation(0.5f, nullptr, nullptr, &translation));
        device.SpriteDraw(*texture, {picture.width / 2.0f, picture.height / 2.0f, 0}, 0xFFFFFFFF);
        device.SpriteEnd();
        device.EndScene();
        std::vector<std::uint8_t> pixels;
        device.readRenderTarget(pixels);
        return texelAt(pixels, kTargetWidth, 400, 300);
    }
};

TEST_F(GlTextureTest, HalfSizeSamplesTheLevelThePictureCarries)
{
    Picture picture = solidPicture(64, 64, 0xFF0000FF);
    for (int side = 32; side >= 1; side /= 2) {
        picture.mipLevels.push_back(solidPicture(side, side, side == 32 ? 0x00FF00FF : 0x0000FFFF).rgba);
    }
    EXPECT_EQ(drawnAtHalfSize(picture), (std::array{0, 255, 0, 255}));
}

TEST_F(GlTextureTest, APictureWithoutMipLevelsIsDrawnFromItsOwnTexels)
{
    EXPECT_EQ(drawnAtHalfSize(solidPicture(64, 64, 0xFF0000FF)), (std::array{255, 0, 0, 255}));
}

}  // namespace
