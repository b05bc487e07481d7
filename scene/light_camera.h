// The 3D state of a frame: a directional light that flashes on every beat,
// the render states of the lit passes, and the camera.
#pragma once

#include "core/device.h"
#include "music/beat_clock.h"

void setLightAndCamera(Device& device, const BeatClock& clock);
