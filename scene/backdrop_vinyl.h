// The first sprite pass: the underwater backdrop and, from beat 80, the vinyl record.
#pragma once

#include "assets/sprite_pictures.h"
#include "core/device.h"
#include "music/beat_clock.h"

void drawBackdropAndVinyl(Device& device, const SpritePictures& pictures, const BeatClock& clock);
