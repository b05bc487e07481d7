#include "scene/cube_chain.h"

#include <cmath>
#include <numbers>

#include "core/d3dx_math.h"

namespace {

constexpr int kCubeCount = 10;
constexpr double kPi = std::numbers::pi;
constexpr double kPiTimes033 = 0.33 * kPi;  // 0.33 × π, not π/3

}  // namespace

void drawCubeChain(Device& device, const Mesh* cubeMesh, const BeatClock& clock)
{
    // Each frame starts from a cleared material: its ambient and emissive colours stay black.
    D3DMATERIAL9 sceneMaterial{};
    const double beatTime = clock.beatTime;
    const auto cubeScale = static_cast<float>(((clock.beatIndex & 1) + 1) * 0.5);
    const double rippleLevel = std::sin(kPi / 4 * beatTime);
    const double tintDrift = 0.01 * beatTime;

    for (int j = 0; j < kCubeCount; ++j) {
        const auto cubePhase = static_cast<float>(std::fmod(j + beatTime, 10.0) + beatTime);
        const D3DXMATRIX scaling = D3DXMatrixScaling(cubeScale, cubeScale, cubeScale);
        const auto yaw = static_cast<float>(std::sin(kPi * cubePhase));
        const auto pitch = static_cast<float>(std::sin(kPi / 2 * cubePhase));
        const auto roll = static_cast<float>(std::sin(kPiTimes033 * cubePhase));
        const D3DXMATRIX rotation = D3DXMatrixRotationYawPitchRoll(yaw, pitch, roll);
        const D3DXMATRIX turnedAndScaled = D3DXMatrixMultiply(rotation, scaling);

        // The row slides one spacing right during each beat and jumps back on the next.
        const auto x = static_cast<float>((j - 5) + clock.beatPhase);
        const auto y = static_cast<float>(std::sin(8.0 * x) * rippleLevel + std::sin(x + 0.5 * beatTime));
        const D3DXMATRIX translation = D3DXMatrixTranslation(x, y, 2.0f);
        device.SetTransform(D3DTS_WORLD, D3DXMatrixMultiply(turnedAndScaled, translation));

        // Components may be negative: they darken, and are handed over as they are.
        const double colourPhase = 0.5 * cubePhase + tintDrift;
        const auto r = static_cast<float>(0.5 * std::sin(kPi * colourPhase));
        const auto g = static_cast<float>(0.5 * std::sin(kPi / 2 * colourPhase));
        const auto b = static_cast<float>(0.5 * std::sin(kPiTimes033 * colourPhase));
        sceneMaterial.Diffuse = {r, g, b, 0};
        sceneMaterial.Specular = {r, g, b, 0};
        sceneMaterial.Power = 5.0f;
        device.SetMaterial(sceneMaterial);

        // The transform and material above are set before the cubes appear too, and the grey material
        // below ends every frame: the show's sequence of device calls is the same on every frame.
        if (clock.beatIndex >= kCubesFirstBeat && cubeMesh) {
            device.DrawSubset(*cubeMesh, 0);
        }
    }

    sceneMaterial.Diffuse = {0.5f, 0.5f, 0.5f, 0.5f};
    sceneMaterial.Ambient = {0.5f, 0.5f, 0.5f, 0.5f};
    sceneMaterial.Specular = {0.5f, 0.5f, 0.5f, 0.5f};
    sceneMaterial.Power = 5.0f;
    device.SetMaterial(sceneMaterial);
}
