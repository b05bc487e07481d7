#include "scene/backdrop_vinyl.h"

#include <cmath>
#include <numbers>

#include "assets/show_data_files.h"
#include "core/d3dx_math.h"
#include "scene/sprite_pass.h"

namespace {

constexpr double kPi = std::numbers::pi;

// The middle of a sprite picture as generated; it stays so whatever size a picture has.
constexpr D3DXVECTOR3 kPictureCentre = {kSpritePictureSize / 2, kSpritePictureSize / 2, 0};

D3DXQUATERNION rollRotation(float roll)
{
    return D3DXQuaternionRotationYawPitchRoll(0, 0, roll);
}

// Fades in from black: 32 grey levels a beat, full from T = 255 / 32.
D3DCOLOR backdropColour(double beatTime)
{
    const int grey = 32 * beatTime < 255 ? static_cast<int>(32 * beatTime) : 255;
    const auto g = static_cast<std::uint32_t>(grey);
    return D3DCOLOR_ARGB(255, g, g, g);
}

void drawBackdrop(Device& device, const Texture* texture, const BeatClock& clock)
{
    const double beatTime = clock.beatTime;
    // x uses the whole beat, so the backdrop steps sideways once a beat.
    const D3DXVECTOR3 translation = {static_cast<float>(kTargetWidth / 2 + 30 * std::sin(0.25 * clock.beatIndex)),
                                     static_cast<float>(kTargetHeight / 2 + 20 * std::cos(0.25 * beatTime)), 0};
    const D3DXQUATERNION rotation = rollRotation(static_cast<float>(0.1 * std::cos(std::sin(0.25 * beatTime))));
    const auto scaling = static_cast<float>(0.8 + 0.1 * std::sin(0.5 * beatTime));
    drawSprite(device, texture, kPictureCentre, scaling, &rotation, translation, backdropColour(beatTime));
}

void drawVinyl(Device& device, const SpritePictures& pictures, const BeatClock& clock)
{
    const double beatTime = clock.beatTime;
    const double amplitude = 0.5 * (std::sin(5 * kPi / 32 * beatTime) + 1.125);
    // The record swings about the target's lower right corner.
    const D3DXVECTOR3 translation = {
        static_cast<float>(kTargetWidth + 1250 * amplitude * (std::sin(kPi / 16 * beatTime) - 0.5)),
        static_cast<float>(kTargetHeight + 550 * amplitude * (std::sin(kPi / 24 * beatTime) - 0.5)), 0};
    const D3DXQUATERNION recordRotation =
        rollRotation(static_cast<float>(std::cos(0.1 * std::cos(-8 * beatTime) + 0.08 * std::sin(2 * beatTime))));
    if (clock.beatIndex < kVinylFirstBeat) {
        return;
    }
    drawSprite(device, pictures.vinylTexture, kPictureCentre, 0.5f, &recordRotation, translation, 0xFFFFFFFF);
    // The label turns one radian a beat.
    const D3DXQUATERNION labelRotation = rollRotation(static_cast<float>(beatTime));
    drawSprite(device, pictures.labelTexture, kPictureCentre, 0.5f, &labelRotation, translation, 0xFFFFFFFF);
}

}  // namespace

void drawBackdropAndVinyl(Device& device, const SpritePictures& pictures, const BeatClock& clock)
{
    beginSpritePass(device);
    drawBackdrop(device, pictures.backdropTexture, clock);
    drawVinyl(device, pictures, clock);
    endSpritePass(device);
}
