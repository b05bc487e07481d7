// Checks of the Direct3D 9 device that need a real device, run under Wine by
// the test command (no test framework is cross-built, so each check prints its
// name and the program exits 1 when one fails). Run in the show's working directory.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/show.h"
#include "core/d3dx_math.h"
#include "platform/windows/d3d9_device.h"
#include "platform/windows/win32_window.h"

namespace {

// Render states the sprite batch changes that the passes never set.
constexpr std::uint32_t kCullMode = 22;
constexpr std::uint32_t kCullCounterClockwise = 3;
constexpr std::uint32_t kAlphaTestEnable = 15;
constexpr std::uint32_t kLighting = 137;

int failures = 0;

void check(bool passed, const char* what)
{
    std::printf("%s: %s\n", passed ? "ok" : "FAILED", what);
    failures += !passed;
}

std::vector<std::uint8_t> readBack(D3d9Device& device)
{
    std::vector<std::uint8_t> pixels;
    std::string failure;
    if (!device.readBackBuffer(pixels, failure)) {
        std::printf("cannot read the back buffer: %s\n", failure.c_str());
    }
    return pixels;
}

// Every resource lives in the managed pool and every state is recorded, so a
// reset device draws the same picture as before.
void resetDeviceDrawsTheSamePicture(D3d9Device& device, const ShowAssets& assets)
{
    const BeatClock clock = BeatClock::fromSeconds(100.0f);
    drawFrame(device, assets, clock);
    const std::vector<std::uint8_t> before = readBack(device);
    check(device.native().reset(), "the device resets");
    drawFrame(device, assets, clock);
    const std::vector<std::uint8_t> after = readBack(device);
    check(!before.empty() && before == after, "a frame after a reset is the frame before it, pixel for pixel");
}

// After a frame, whose last pass is a sprite pass, the device's states are the passes' own again.
void spriteBatchPutsTheStatesBack(D3d9Device& device, const ShowAssets& assets)
{
    drawFrame(device, assets, BeatClock::fromSeconds(100.0f));
    D3d9Native& native = device.native();
    check(native.renderState(D3DRS_SRCBLEND) == D3DBLEND_SRCALPHA &&
              native.renderState(D3DRS_DESTBLEND) == D3DBLEND_INVSRCALPHA,
          "the blend factors set at start-up stay");
    check(native.renderState(D3DRS_ZENABLE) == 1, "depth testing is on again, as the scroller pass left it");
    check(native.renderState(D3DRS_ALPHABLENDENABLE) == 1 && native.renderState(kAlphaTestEnable) == 0,
          "blending as the pass set it, and no alpha test");
    check(native.renderState(kLighting) == 1 && native.renderState(kCullMode) == kCullCounterClockwise,
          "lighting and back-face culling as before the sprites");
}

// A sprite at a whole-pixel position covers one pixel per texel, each exactly its texel's colour.
void spriteTexelsLandOnWholePixels(D3d9Device& device)
{
    Picture picture{4, 4, {}};
    for (int texel = 0; texel < 16; ++texel) {
        const auto level = static_cast<std::uint8_t>(texel * 16);
        picture.rgba.insert(picture.rgba.end(), {level, static_cast<std::uint8_t>(255 - level), 40, 255});
    }
    const Texture* texture = device.CreateTexture(picture, "4x4");
    device.Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_ARGB(255, 0, 0, 0), 1.0f, 0);
    device.BeginScene();
    device.SetRenderState(D3DRS_ZENABLE, 0);
    device.SpriteBegin(D3DXSPRITE_SORT_DEPTH_BACKTOFRONT);
    device.SpriteSetTransform(D3DXMatrixTranslation(10, 20, 0));
    device.SpriteDraw(*texture, {0, 0, 0}, D3DCOLOR_ARGB(255, 255, 255, 255));
    device.SpriteEnd();
    device.SetRenderState(D3DRS_ZENABLE, 1);
    device.EndScene();
    const std::vector<std::uint8_t> pixels = readBack(device);
    bool exact = pixels.size() == static_cast<std::size_t>(kTargetWidth) * kTargetHeight * 4;
    for (int y = 19; exact && y < 25; ++y) {
        for (int x = 9; exact && x < 15; ++x) {
            const std::uint8_t* pixel = &pixels[(static_cast<std::size_t>(y) * kTargetWidth + x) * 4];
            const bool inside = x >= 10 && x < 14 && y >= 20 && y < 24;
            const std::uint8_t* texel = &picture.rgba[((y - 20) * 4 + (x - 10)) * 4];
            exact = inside ? pixel[0] == texel[0] && pixel[1] == texel[1] && pixel[2] == texel[2]
                           : pixel[0] == 0 && pixel[1] == 0 && pixel[2] == 0;
        }
    }
    check(exact, "a 4 x 4 sprite at (10, 20) covers pixels 10-13 x 20-23 with its texels' colours, and no more");
}

// Each present waits until its own frame is done, and says when that was.
void presentWaitsForItsFrame(D3d9Device& device, const ShowAssets& assets)
{
    D3d9Native& native = device.native();
    check(native.reset(), "the device resets");
    std::chrono::steady_clock::time_point shown = native.lastFrameShown();
    bool eachLater = true;
    for (int frame = 0; frame < 3; ++frame) {
        drawFrame(device, assets, BeatClock::fromSeconds(50.0f + 0.1f * static_cast<float>(frame)));
        const auto presentCalled = std::chrono::steady_clock::now();
        native.present();
        eachLater = eachLater && native.lastFrameShown() >= presentCalled && native.lastFrameShown() > shown;
        shown = native.lastFrameShown();
    }
    check(eachLater, "each present waits for its own frame, and says when it was done");
}

}  // namespace

int main()
{
    std::string error;
    const std::unique_ptr<Win32Window> window =
        Win32Window::open(GetModuleHandleA(nullptr), WindowMode::hidden, SW_HIDE, error);
    std::unique_ptr<D3d9Native> native = window ? D3d9Native::create(window->handle(), false, error) : nullptr;
    if (!native) {
        std::printf("FAILED: %s\n", error.c_str());
        return 1;
    }
    D3d9Device device(std::move(native), false);
    const ShowAssets assets = loadShowAssets(device);
    setBlendFactors(device);

    resetDeviceDrawsTheSamePicture(device, assets);
    spriteBatchPutsTheStatesBack(device, assets);
    spriteTexelsLandOnWholePixels(device);
    presentWaitsForItsFrame(device, assets);
    return failures == 0 ? 0 : 1;
}
