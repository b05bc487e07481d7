// Turns the audio device's callbacks into a smooth play position.
//
// Each callback hands the device one buffer; we note which frame of the track
// it starts at and when. Callbacks arrive with scheduling noise, so their
// times are smoothed into one running estimate of when the buffers began to be
// handed over; between callbacks the position advances from that estimate
// with elapsed time, less the output latency (one device buffer), so the
// position is what is being heard. It never passes the end of what has been
// handed over while the device is taking buffers. A callback that comes late,
// as it does when other programs keep every core busy, lands within the
// latency's slack and only nudges the estimate, so the picture's motion does
// not stall with it.
//
// A device that takes nothing for eight buffers' worth of time (a second
// at least; two seconds while it starts) while the frame thread watches has stopped: outputStalled says so, and the
// caller carries on without it. A gap that the frame thread saw too (the whole process stopped, as under SIGSTOP) is no
// stall: the first callback after it starts the estimate afresh, so the position goes on from the music, neither racing
// to make up the gap nor waiting for it. Glossary: a frame is one sample per channel; seconds are frames / rate.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>

class PlaybackClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // For a newly opened output: forgets all that the one before it did.
    void configure(int sampleRate, int latencyFrames);

    // Audio thread: the buffer of frameCount frames that starts at the track's
    // frame firstFrame was handed to the device at `when`.
    void recordCallback(std::int64_t firstFrame, std::int64_t frameCount, TimePoint when);

    // Frame thread: false until the first callback.
    bool started() const;
    // Frame thread: true once the device has taken eight buffers at its pace,
    // so that the estimate follows what it plays.
    bool settled() const;
    // Frame thread: 0 until the first callback; never goes backwards.
    float positionSeconds(TimePoint now);
    // Frame thread: where the music would be heard now had the device kept
    // taking buffers at its pace, not held back by what was handed over.
    float expectedPositionSeconds(TimePoint now);
    // Frame thread, once a frame: true when the device has taken no buffer
    // for that long while this thread watched.
    bool outputStalled(TimePoint now);

private:
    bool starting() const;
    double stallLimitSeconds() const;
    double expectedFrames(TimePoint now) const;

    mutable std::mutex mutex_;
    int sampleRate_ = 44100;
    int latencyFrames_ = 0;
    bool started_ = false;
    TimePoint anchor_{};                   // the estimate's origin: a callback's hand-over
    std::int64_t anchorFrame_ = 0;         // the track frame that buffer started at
    std::int64_t framesBeforeBuffer_ = 0;  // handed over between the anchor and the latest buffer
    std::int64_t bufferFrames_ = 0;
    TimePoint lastCallback_{};
    double startSeconds_ = 0;  // smoothed: when the anchor's frame was handed over, in seconds after anchor_
    double lastPositionFrames_ = 0;
    bool looked_ = false;
    TimePoint lastLook_{};      // the frame thread's last stall check
    TimePoint watchingFrom_{};  // since when the frame thread has been watching without a break
};
