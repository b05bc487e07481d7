// The first sprite pass: the underwater backdrop and, from beat 80, the vinyl record.
#pragma once

#include "app/device.h"
#include "music/beat_clock.h"

struct SpritePictures {
    const Texture* backdropTexture = nullptr;
    const Texture* vinylTexture = nullptr;
    const Texture* labelTexture = nullptr;
};

// A picture that cannot be read leaves its slot empty, said once on stderr.
SpritePictures loadSpritePictures(Device& device);
void drawBackdropAndVinyl(Device& device, const SpritePictures& pictures, const BeatClock& clock);
