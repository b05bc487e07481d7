#include "scene/submarine.h"

#include <cmath>
#include <numbers>

#include "core/d3dx_math.h"

void drawSubmarine(Device& device, const SubmarineModel& submarine, const BeatClock& clock)
{
    constexpr double kPi = std::numbers::pi;
    const double beatTime = clock.beatTime;

    // The model's own units: moved off its origin, laid along the world's x axis
    // with a gentle rock about its length, and shrunk to world size with a pulse.
    const D3DXMATRIX offset = D3DXMatrixTranslation(0.0f, -50.0f, 300.0f);
    const auto rockAngle = static_cast<float>(0.125 * std::sin(kPi / 2 * beatTime));
    const D3DXMATRIX laidAlong = D3DXMatrixRotationYawPitchRoll(std::numbers::pi_v<float> / 2, 0.0f, rockAngle);
    D3DXMATRIX world = D3DXMatrixMultiply(offset, laidAlong);
    const auto pulseScale = static_cast<float>(double{0.005f} + 0.00025 * std::sin(kPi * beatTime));
    world = D3DXMatrixMultiply(world, D3DXMatrixScaling(pulseScale, 0.005f, 0.005f));

    // One crossing every 24 beats, from the right towards the lower left, turning away as it goes.
    const double cruisePhase = std::fmod(beatTime * 0.125, 3.0);
    const auto turnAway = static_cast<float>(-0.25 * cruisePhase);
    world = D3DXMatrixMultiply(world, D3DXMatrixRotationYawPitchRoll(turnAway, 0.0f, 0.0f));
    const double alongPath = 1.5 - cruisePhase;
    world = D3DXMatrixMultiply(
        world, D3DXMatrixTranslation(static_cast<float>(alongPath * 2.25), static_cast<float>(alongPath * 0.5), 0.0f));
    // Set before the submarine appears too: the show's sequence of device calls is the same on every frame.
    device.SetTransform(D3DTS_WORLD, world);

    if (clock.beatIndex < kSubmarineFirstBeat) {
        return;
    }
    for (std::uint32_t i = 0; i < submarine.materials.size(); ++i) {
        device.SetMaterial(submarine.materials[i]);
        if (submarine.mesh) {
            device.DrawSubset(*submarine.mesh, i);
        }
    }
}
