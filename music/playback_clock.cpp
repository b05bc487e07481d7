#include "music/playback_clock.h"

#include <algorithm>

namespace {

// How far each callback pulls the estimate: small enough to average out
// scheduling noise, large enough to follow the audio clock's drift within seconds.
constexpr double kSmoothing = 0.05;
// A device that takes no buffer for this many buffers' worth of time, and no
// less than the shortest limit, has stopped. A busy machine delays callbacks
// by a few milliseconds, and with every core taken by half a second now and
// then; a device that stopped costs at most this long a still picture.
constexpr double kStallBuffers = 8;
constexpr double kShortestStallSeconds = 1.0;
// A device that is starting may wait a while before its first buffers, and
// between them (a sound server sets up its stream after the first): until it
// has taken this many buffers, only a longer wait counts as a stall.
constexpr double kStartingLimitSeconds = 2.0;
constexpr double kStartingGapBuffers = 2;

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

bool PlaybackClock::starting() const
{
    return !started_ || framesBeforeBuffer_ < kStallBuffers * bufferFrames_;
}

double PlaybackClock::stallLimitSeconds() const
{
    if (starting()) {
        return kStartingLimitSeconds;
    }
    return std::max(kStallBuffers * static_cast<double>(bufferFrames_) / sampleRate_, kShortestStallSeconds);
}

void PlaybackClock::recordCallback(std::int64_t firstFrame, std::int64_t frameCount, TimePoint when)
{
    std::lock_guard lock(mutex_);
    // A starting device that waits between buffers was not yet playing: the estimate starts again at its next one.
    const double allowedGap =
        starting() ? kStartingGapBuffers * static_cast<double>(bufferFrames_) / sampleRate_ : stallLimitSeconds();
    const bool continues = started_ && firstFrame == anchorFrame_ + framesBeforeBuffer_ + bufferFrames_ &&
                           secondsBetween(lastCallback_, when) <= allowedGap;
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

bool PlaybackClock::settled() const
{
    std::lock_guard lock(mutex_);
    return started_ && !starting();
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
    if (!looked_ || secondsBetween(lastLook_, now) > limit) {
        // This thread was not looking (the first look, or the process was stopped): the device gets a fresh look.
        watchingFrom_ = now;
    }
    looked_ = true;
    lastLook_ = now;
    const TimePoint lastSign = started_ ? std::max(lastCallback_, watchingFrom_) : watchingFrom_;
    return secondsBetween(lastSign, now) > limit;
}
