// Ten tumbling, colour-changing cubes riding a wave; drawn from beat 208.
#pragma once

#include "core/device.h"
#include "music/beat_clock.h"

void drawCubeChain(Device& device, const Mesh* cubeMesh, const BeatClock& clock);
