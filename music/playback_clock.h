// Turns the audio device's callbacks into a smooth play position.
//
// Each callback hands the device one buffer; we note how many frames went
// before it and when. Callbacks arrive with scheduling noise, so their times
// are smoothed into one running estimate of when the track's first frame was
// handed over; between callbacks the position advances from that estimate
// with elapsed time, less the output latency (one device buffer), so the
// position is what is being heard. It never passes the end of what has been
// handed over: a device that stops taking buffers stops the position there.
// A callback that comes late, as it does when other programs keep every core
// busy, lands within the latency's slack and only nudges the estimate, so the
// picture's motion does not stall with it.
// Glossary: a frame is one sample per channel; seconds are frames / rate.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>

class PlaybackClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    void configure(int sampleRate, int latencyFrames);

    // Audio thread: a buffer of frameCount frames was handed to the device at `when`.
    void recordCallback(std::int64_t frameCount, TimePoint when);

    // Frame thread: 0 until the first callback; never goes backwards.
    float positionSeconds(TimePoint now) const;

private:
    mutable std::mutex mutex_;
    int sampleRate_ = 44100;
    int latencyFrames_ = 0;
    bool started_ = false;
    std::int64_t framesBeforeBuffer_ = 0;
    std::int64_t bufferFrames_ = 0;
    TimePoint firstCallback_{};
    double startSeconds_ = 0;  // smoothed: when frame 0 was handed over, in seconds after firstCallback_
    mutable double lastPositionFrames_ = 0;
};
