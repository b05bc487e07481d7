// The frame loop: drain events, read the clock, draw and present, until the
// music passes beat 400 or a key press or a closed window asks to stop. The
// frame in which the request is handled is still drawn.
//
// A frame is seen only once it has been drawn and presented, so the loop asks
// the clock for the music at that moment: the position now plus the time its
// frames have lately taken from reading the clock to reaching the screen.
#pragma once

#include <chrono>
#include <functional>

#include "app/show.h"

struct FrameSources {
    std::function<bool()> drainEvents;       // true once the viewer asked to stop
    std::function<float()> positionSeconds;  // the music's play position
    // When the frame last presented reached the screen. Empty where the
    // platform cannot tell: its frames then show the position at their start.
    std::function<std::chrono::steady_clock::time_point()> lastPresentation = {};
};

// The time from reading the clock to the picture reaching the screen, smoothed
// over frames. A frame held up far longer (a stopped process, a window being
// dragged) says nothing about the next one and is left out.
class PresentationDelay {
public:
    void record(std::chrono::steady_clock::duration clockToScreen);
    float seconds() const { return seconds_; }

private:
    float seconds_ = 0;
    bool measured_ = false;
};

// One turn of the loop, for a platform whose own loop calls back once a frame
// (a web page's animation frames). False once this frame was the last.
bool runFrame(Device& device, const ShowAssets& assets, const FrameSources& sources);
bool runFrame(Device& device, const ShowAssets& assets, const FrameSources& sources, PresentationDelay& delay);

// Returns the process's exit code.
int runFrameLoop(Device& device, const ShowAssets& assets, const FrameSources& sources);
