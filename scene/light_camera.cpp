#include "scene/light_camera.h"

#include "core/d3dx_math.h"

namespace {

// The target's width over its height: 16:9.
constexpr float kTargetAspect = static_cast<float>(kTargetWidth) / kTargetHeight;

}  // namespace

void setLightAndCamera(Device& device, const BeatClock& clock)
{
    D3DLIGHT9 sceneLight{};
    sceneLight.Type = D3DLIGHT_DIRECTIONAL;
    sceneLight.Direction = D3DXVec3Normalize({1.25f, -0.25f, 0.5f});

    // Brightest on the beat, falling with the square of the time left in it.
    const double untilNextBeat = 1.0 - clock.beatPhase;
    const double lightLevel = 4.0 * untilNextBeat * untilNextBeat + 0.5;
    const auto level = static_cast<float>(lightLevel);
    const auto ambientLevel = static_cast<float>(lightLevel * 0.5);
    sceneLight.Diffuse = {level, level, level, 0};
    sceneLight.Specular = {level, level, level, 0};
    sceneLight.Ambient = {ambientLevel, ambientLevel, ambientLevel, 0};
    sceneLight.Range = 1000.0f;
    sceneLight.Attenuation0 = 1.0f;

    device.SetLight(0, sceneLight);
    device.LightEnable(0, true);
    device.SetRenderState(D3DRS_SPECULARENABLE, 1);
    device.SetRenderState(D3DRS_NORMALIZENORMALS, 1);  // the models are scaled by their world transforms
    device.SetRenderState(D3DRS_SPECULARMATERIALSOURCE, D3DMCS_MATERIAL);
    device.SetRenderState(D3DRS_ALPHABLENDENABLE, 0);

    // The eye at (0, 0, −2) looking along +z.
    const D3DXMATRIX view = D3DXMatrixTranslation(0.0f, 0.0f, 2.0f);
    const D3DXMATRIX projection = D3DXMatrixPerspectiveFovLH(1.0f, kTargetAspect, 0.1f, 100.0f);
    device.SetTransform(D3DTS_VIEW, view);
    device.SetTransform(D3DTS_PROJECTION, projection);
}
