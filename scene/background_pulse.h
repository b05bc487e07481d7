#pragma once

#include "core/d3d_types.h"
#include "music/beat_clock.h"

// The clear colour of a frame: red pulses once a beat, green every two beats,
// blue drifts against the beat with a period of 1/0.33 beats.
D3DCOLOR backgroundColour(const BeatClock& clock);
