// What a platform's window or device can tell of its frames reaching the
// screen: when the latest one got there, and how many presented after it are
// still on their way (a device that queues frames ahead of the display).
#pragma once

#include <chrono>

struct Presentation {
    std::chrono::steady_clock::time_point at{};  // the epoch until a frame has reached the screen
    int framesBehind = 0;                        // 0: the frame just presented is the one on screen
};
