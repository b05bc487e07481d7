// The submarine crossing the picture every 24 beats from beat 144.
#pragma once

#include "assets/meshes.h"
#include "music/beat_clock.h"

void drawSubmarine(Device& device, const SubmarineModel& submarine, const BeatClock& clock);
