// A one-line progress bar on stderr: frames done, speed as a multiple of real
// time, and time left. Silent when stderr is not a terminal.
#pragma once

#include <chrono>
#include <cstdint>

class ProgressBar {
public:
    ProgressBar(std::int64_t totalFrames, int fps);
    void update(std::int64_t framesDone);
    void finish();

private:
    std::int64_t totalFrames_;
    int fps_;
    bool enabled_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDrawn_{};
};
