#include "music/playback_clock.h"

#include <algorithm>

void PlaybackClock::configure(int sampleRate, int latencyFrames)
{
    std::lock_guard lock(mutex_);
    sampleRate_ = sampleRate;
    latencyFrames_ = latencyFrames;
}

void PlaybackClock::recordCallback(std::int64_t frameCount, TimePoint when)
{
    std::lock_guard lock(mutex_);
    if (started_) {
        framesBeforeBuffer_ += bufferFrames_;
    }
    started_ = true;
    bufferFrames_ = frameCount;
    bufferHandedAt_ = when;
}

float PlaybackClock::positionSeconds(TimePoint now) const
{
    std::lock_guard lock(mutex_);
    if (!started_) {
        return 0.0f;
    }
    const double elapsedSeconds = std::max(0.0, std::chrono::duration<double>(now - bufferHandedAt_).count());
    const double handed = static_cast<double>(framesBeforeBuffer_) +
                          std::min(elapsedSeconds * sampleRate_, static_cast<double>(bufferFrames_));
    const double heard = std::max(0.0, handed - latencyFrames_);
    lastPositionFrames_ = std::max(lastPositionFrames_, heard);
    return static_cast<float>(lastPositionFrames_ / sampleRate_);
}
