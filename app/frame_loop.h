// The frame loop: drain events, read the clock, draw and present, until the
// music passes beat 400 or a key press or a closed window asks to stop. The
// frame in which the request is handled is still drawn.
//
// A frame is seen only once it has been drawn and presented, so the loop asks
// the clock for the music at that moment: the position now plus the time its
// frames have lately taken from reading the clock to reaching the screen.
// A device that queues frames ahead of the display says so, and each time it
// tells of a frame reaching the screen is matched with that frame's own reading.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>

#include "app/show.h"
#include "core/presentation.h"

struct FrameSources {
    std::function<bool()> drainEvents;       // true once the viewer asked to stop
    std::function<float()> positionSeconds;  // the music's play position
    // The latest frame to reach the screen, asked after each frame is presented.
    // Empty where the platform cannot tell: its frames then show the position at their start.
    std::function<Presentation()> lastPresentation = {};
};

// The time from reading the clock to the picture reaching the screen, smoothed
// over frames. A frame held up far longer (a stopped process, a window being
// dragged) says nothing about the next one and is left out.
class PresentationDelay {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // A frame read the clock at this moment; it is presented next.
    void frameStarted(TimePoint clockRead);
    // After a frame was presented: what the platform says has reached the screen.
    // A presentation already heard of, or of a frame no longer kept, is left out.
    void presented(const Presentation& latest);
    void record(std::chrono::steady_clock::duration clockToScreen);
    float seconds() const { return seconds_; }

private:
    static constexpr int kFramesKept = 4;  // more than any device queues ahead

    float seconds_ = 0;
    bool measured_ = false;
    std::array<TimePoint, kFramesKept> clockReads_{};
    std::uint64_t framesStarted_ = 0;
    TimePoint lastScreenTime_{};
};

// One turn of the loop, for a platform whose own loop calls back once a frame
// (a web page's animation frames). False once this frame was the last.
bool runFrame(Device& device, const ShowAssets& assets, const FrameSources& sources);
bool runFrame(Device& device, const ShowAssets& assets, const FrameSources& sources, PresentationDelay& delay);

// Returns the process's exit code.
int runFrameLoop(Device& device, const ShowAssets& assets, const FrameSources& sources);
