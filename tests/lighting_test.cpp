#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <numbers>

#include "assets/meshes.h"
#include "core/d3dx_math.h"
#include "platform/gl/gl_device.h"
#include "platform/linux/sdl_window.h"

namespace {

struct Pixel {
    int r, g, b, a;
};

// A unit box three units in front of the eye on the OpenGL device, under one
// directional light travelling along +x. Turned by 45° about y, its left front
// side faces the light (N·L = √½) and its right front side faces away.
class BoxOnGlDevice : public testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        std::string error;
        window_ = SdlWindow::open(WindowMode::hidden, error);
        if (!window_) {
            GTEST_SKIP() << error;
        }
        device_ = std::make_unique<GlDevice>(nullptr);
        box_ = createCubeMesh(*device_);
        device_->SetTransform(D3DTS_VIEW, D3DXMatrixIdentity());
        device_->SetTransform(D3DTS_PROJECTION, D3DXMatrixPerspectiveFovLH(1.0f, 16.0f / 9.0f, 0.1f, 100.0f));
        D3DLIGHT9 light{};
        light.Type = D3DLIGHT_DIRECTIONAL;
        light.Diffuse = {1, 1, 1, 0};
        light.Specular = {1, 1, 1, 0};
        light.Ambient = {0.5f, 0.5f, 0.5f, 0};
        light.Direction = {1, 0, 0};
        device_->SetLight(0, light);
        device_->LightEnable(0, true);
        device_->SetRenderState(D3DRS_NORMALIZENORMALS, 1);
    }

    void drawBox(const D3DXMATRIX& world, const D3DMATERIAL9& material)
    {
        device_->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_ARGB(255, 0, 0, 0), 1.0f, 0);
        device_->BeginScene();
        device_->SetTransform(D3DTS_WORLD, world);
        device_->SetMaterial(material);
        device_->DrawSubset(*box_, 0);
        device_->EndScene();
        device_->readRenderTarget(pixels_);
    }

    void drawTurnedBox(const D3DMATERIAL9& material)
    {
        drawBox(D3DXMatrixMultiply(D3DXMatrixRotationYawPitchRoll(std::numbers::pi_v<float> / 4, 0, 0),
                                   D3DXMatrixTranslation(0, 0, 3)),
                material);
    }

    Pixel at(int x, int y) const
    {
        const std::uint8_t* p = &pixels_[(static_cast<std::size_t>(y) * kTargetWidth + x) * 4];
        return {p[0], p[1], p[2], p[3]};
    }

    // The centres of the two front sides of the turned box: (∓0.354, 0, 2.646)
    // projected, x = 640 × (1 ∓ 1.0296 × 0.354 / 2.646).
    Pixel litSide() const { return at(552, 360); }
    Pixel unlitSide() const { return at(728, 360); }

    std::unique_ptr<SdlWindow> window_;
    std::unique_ptr<GlDevice> device_;
    const Mesh* box_ = nullptr;
    std::vector<std::uint8_t> pixels_;
};

void expectPixel(const Pixel& actual, const Pixel& expected, int tolerance = 2)
{
    EXPECT_NEAR(actual.r, expected.r, tolerance);
    EXPECT_NEAR(actual.g, expected.g, tolerance);
    EXPECT_NEAR(actual.b, expected.b, tolerance);
    EXPECT_NEAR(actual.a, expected.a, tolerance);
}

D3DMATERIAL9 paint(const D3DCOLORVALUE& diffuse, const D3DCOLORVALUE& specular = {0, 0, 0, 0}, float power = 0)
{
    D3DMATERIAL9 material{};
    material.Diffuse = diffuse;
    material.Ambient = {0.2f, 0.2f, 0.2f, 1};
    material.Specular = specular;
    material.Power = power;
    return material;
}

}  // namespace

TEST_F(BoxOnGlDevice, ASideFacingTheLightIsLitAndOneFacingAwayGetsAmbientOnly)
{
    drawTurnedBox(paint({0.8f, 0.4f, 0.2f, 0}));
    // 0.2 × 0.5 + (0.8, 0.4, 0.2) × √½, and 0.2 × 0.5 alone; the diffuse alpha of 0
    // leaves the picture opaque, the back buffer having no alpha channel.
    expectPixel(litSide(), {170, 98, 62, 255});
    expectPixel(unlitSide(), {26, 26, 26, 255});
}

TEST_F(BoxOnGlDevice, AMeshWithoutNormalsGetsTheAmbientTermOnly)
{
    MeshData flat = boxMeshData(1.0f, 1.0f, 1.0f);
    flat.hasNormals = false;
    box_ = device_->CreateMesh(flat, "box without normals");
    device_->SetRenderState(D3DRS_SPECULARENABLE, 1);
    drawTurnedBox(paint({0.8f, 0.4f, 0.2f, 0}, {1, 1, 1, 0}, 0));
    expectPixel(litSide(), {26, 26, 26, 255});
    expectPixel(unlitSide(), {26, 26, 26, 255});
}

TEST_F(BoxOnGlDevice, SpecularIsAddedOnlyWhereTheLightFallsAndNegativeColoursAddNothing)
{
    device_->SetRenderState(D3DRS_SPECULARENABLE, 1);
    // Power 0 makes the highlight the whole specular colour wherever N·L > 0.
    drawTurnedBox(paint({0.8f, 0.4f, 0.2f, 0}, {1, 1, 1, 0}, 0));
    expectPixel(litSide(), {255, 255, 255, 255});
    expectPixel(unlitSide(), {26, 26, 26, 255});

    // A negative diffuse red pulls that channel to 0; a negative specular colour is
    // clamped before it is added, so it darkens nothing.
    drawTurnedBox(paint({-0.8f, 0.4f, 0.2f, 0}, {-1, -1, -1, 0}, 0));
    expectPixel(litSide(), {0, 98, 62, 255});
    expectPixel(unlitSide(), {26, 26, 26, 255});
}

TEST_F(BoxOnGlDevice, CullingKeepsTheOutsideOfTheBoxAndDropsTheInside)
{
    // With the light off only the emissive colour shows.
    device_->LightEnable(0, false);
    D3DMATERIAL9 glow{};
    glow.Emissive = {1, 1, 1, 1};
    drawBox(D3DXMatrixTranslation(0, 0, 3), glow);
    expectPixel(at(640, 360), {255, 255, 255, 255});

    // Seen from inside, every side winds counter-clockwise and is culled.
    drawBox(D3DXMatrixScaling(10, 10, 10), glow);
    for (const auto& [x, y] : {std::pair{640, 360}, std::pair{20, 20}, std::pair{1260, 700}}) {
        expectPixel(at(x, y), {0, 0, 0, 255});
    }
}
