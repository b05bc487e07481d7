// The frame loop: drain events, read the clock, draw and present, until the
// music passes beat 400 or a key press or a closed window asks to stop. The
// frame in which the request is handled is still drawn.
#pragma once

#include <functional>

#include "app/show.h"

struct FrameSources {
    std::function<bool()> drainEvents;       // true once the viewer asked to stop
    std::function<float()> positionSeconds;  // the music's play position
};

// One turn of the loop, for a platform whose own loop calls back once a frame
// (a web page's animation frames). False once this frame was the last.
bool runFrame(Device& device, const ShowAssets& assets, const FrameSources& sources);

// Returns the process's exit code.
int runFrameLoop(Device& device, const ShowAssets& assets, const FrameSources& sources);
