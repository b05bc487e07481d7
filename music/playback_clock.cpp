#include "music/playback_clock.h"

#include <algorithm>

namespace {

// How far each callback pulls the estimate: small enough to average out
// scheduling noise, large enough to follow the audio clock's drift within seconds.
constexpr double kSmoothing = 0.05;
// A device that takes no buffer for this many buffers' worth of time has
// stopped: far beyond the few milliseconds a busy machine delays a callback.
constexpr double kStallBuffers = 8;
// Before the first callback the buffer size is unknown, and opening a stream
// may take a while: a device that has not begun within this has failed.
constexpr double kFirstCallbackLimitSeconds = 1.0;
// A frame thread that has not looked for this long was held up itself (the
// process stopped, or the machine swapping); slow frames come far more often.
constexpr double kLookGapSeconds = 0.5;

double secondsBetween(PlaybackClock::TimePoint from, PlaybackClock::TimePoint to)
{
    return std::chrono::duration<double>(to - from).count();
}

}  // namespace

void PlaybackClock::configure(int sampleRate, int latencyFrames)
{
    std::lock_guard lock(mutex_);
    sampleRate_ = sampleRate;
    latencyFrames_ = latencyFrames;
    started_ = false;
    looked_ = false;
    lastPositionFrames_ = 0;
}

double PlaybackClock::stallLimitSeconds() const
{
    return started_ ? kStallBuffers * static_cast<double>(bufferFrames_) / sampleRate_ : kFirstCallbackLimitSeconds;
}

void PlaybackClock::recordCallback(std::int64_t firstFrame, std::int64_t frameCount, TimePoint when)
{
    std::lock_guard lock(mutex_);
    const bool continues = started_ && firstFrame == anchorFrame_ + framesBeforeBuffer_ + bufferFrames_ &&
                           secondsBetween(lastCallback_, when) <= stallLimitSeconds();
    if (continues) {
        framesBeforeBuffer_ += bufferFrames_;
        const double observedStart =
            secondsBetween(anchor_, when) - static_cast<double>(framesBeforeBuffer_) / sampleRate_;
        startSeconds_ += (observedStart - startSeconds_) * kSmoothing;
    } else {
        // The first buffer, one after a gap, or one from elsewhere in the track: start the estimate here.
        started_ = true;
        anchor_ = when;
        anchorFrame_ = firstFrame;
        framesBeforeBuffer_ = 0;
        startSeconds_ = 0;
    }
    bufferFrames_ = frameCount;
    lastCallback_ = when;
}

bool PlaybackClock::started() const
{
    std::lock_guard lock(mutex_);
    return started_;
}

double PlaybackClock::expectedFrames(TimePoint now) const
{
    return static_cast<double>(anchorFrame_) + (secondsBetween(anchor_, now) - startSeconds_) * sampleRate_ -
           latencyFrames_;
}

float PlaybackClock::positionSeconds(TimePoint now)
{
    std::lock_guard lock(mutex_);
    if (!started_) {
        return 0.0f;
    }
    const double handedOver = static_cast<double>(anchorFrame_ + framesBeforeBuffer_ + bufferFrames_);
    lastPositionFrames_ = std::max(lastPositionFrames_, std::min(expectedFrames(now), handedOver));
    return static_cast<float>(lastPositionFrames_ / sampleRate_);
}

float PlaybackClock::expectedPositionSeconds(TimePoint now)
{
    std::lock_guard lock(mutex_);
    if (!started_) {
        return 0.0f;
    }
    lastPositionFrames_ = std::max(lastPositionFrames_, expectedFrames(now));
    return static_cast<float>(lastPositionFrames_ / sampleRate_);
}

bool PlaybackClock::outputStalled(TimePoint now)
{
    std::lock_guard lock(mutex_);
    const double limit = stallLimitSeconds();
    if (!looked_ || secondsBetween(lastLook_, now) > std::max(limit, kLookGapSeconds)) {
        // This thread was not looking (the first look, or the process was stopped): the device gets a fresh look.
        watchingFrom_ = now;
    }
    looked_ = true;
    lastLook_ = now;
    const TimePoint lastSign = started_ ? std::max(lastCallback_, watchingFrom_) : watchingFrom_;
    return secondsBetween(lastSign, now) > limit;
}
