#include "music/playback_clock.h"

#include <algorithm>

namespace {

// How far each callback pulls the estimate: small enough to average out
// scheduling noise, large enough to follow the audio clock's drift within seconds.
constexpr double kSmoothing = 0.05;

}  // namespace

void PlaybackClock::configure(int sampleRate, int latencyFrames)
{
    std::lock_guard lock(mutex_);
    sampleRate_ = sampleRate;
    latencyFrames_ = latencyFrames;
}

void PlaybackClock::recordCallback(std::int64_t frameCount, TimePoint when)
{
    std::lock_guard lock(mutex_);
    if (!started_) {
        started_ = true;
        firstCallback_ = when;
    } else {
        framesBeforeBuffer_ += bufferFrames_;
        const double observedStart = std::chrono::duration<double>(when - firstCallback_).count() -
                                     static_cast<double>(framesBeforeBuffer_) / sampleRate_;
        startSeconds_ += (observedStart - startSeconds_) * kSmoothing;
    }
    bufferFrames_ = frameCount;
}

float PlaybackClock::positionSeconds(TimePoint now) const
{
    std::lock_guard lock(mutex_);
    if (!started_) {
        return 0.0f;
    }
    const double elapsedSeconds = std::chrono::duration<double>(now - firstCallback_).count() - startSeconds_;
    const double heard = std::min(elapsedSeconds * sampleRate_ - latencyFrames_,
                                  static_cast<double>(framesBeforeBuffer_ + bufferFrames_));
    lastPositionFrames_ = std::max(lastPositionFrames_, heard);
    return static_cast<float>(lastPositionFrames_ / sampleRate_);
}
