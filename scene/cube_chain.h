// Ten tumbling, colour-changing cubes riding a wave; drawn from beat 208.
#pragma once

#include "app/device.h"
#include "music/beat_clock.h"

void drawCubeChain(Device& device, const Mesh* cubeMesh, D3DMATERIAL9& sceneMaterial, const BeatClock& clock);
