#include "app/frame_loop.h"

namespace {

constexpr float kSmoothing = 0.1f;  // each frame moves the estimate a tenth of the way
// Above what a web page's frames take to reach the screen at five frames a
// second, three animation frames.
constexpr float kLongestDelaySeconds = 0.75f;

}  // namespace

void PresentationDelay::record(std::chrono::steady_clock::duration clockToScreen)
{
    const float seconds = std::chrono::duration<float>(clockToScreen).count();
    if (seconds < 0 || seconds > kLongestDelaySeconds) {
        return;
    }
    seconds_ = measured_ ? seconds_ + kSmoothing * (seconds - seconds_) : seconds;
    measured_ = true;
}

void PresentationDelay::frameStarted(TimePoint clockRead)
{
    clockReads_[framesStarted_ % kFramesKept] = clockRead;
    ++framesStarted_;
}

void PresentationDelay::presented(const Presentation& latest)
{
    if (latest.at == lastScreenTime_ || latest.framesBehind < 0 || latest.framesBehind >= kFramesKept ||
        static_cast<std::uint64_t>(latest.framesBehind) >= framesStarted_) {
        return;
    }
    lastScreenTime_ = latest.at;
    const std::uint64_t frame = framesStarted_ - 1 - static_cast<std::uint64_t>(latest.framesBehind);
    record(latest.at - clockReads_[frame % kFramesKept]);
}

bool runFrame(Device& device, const ShowAssets& assets, const FrameSources& sources, PresentationDelay& delay)
{
    const bool stopRequested = sources.drainEvents();
    delay.frameStarted(std::chrono::steady_clock::now());
    const BeatClock clock = BeatClock::fromSeconds(sources.positionSeconds() + delay.seconds());
    drawFrame(device, assets, clock);
    if (sources.lastPresentation) {
        delay.presented(sources.lastPresentation());
    }
    return !showHasEnded(clock) && !stopRequested;
}

bool runFrame(Device& device, const ShowAssets& assets, const FrameSources& sources)
{
    PresentationDelay unmeasured;
    return runFrame(device, assets, sources, unmeasured);
}

int runFrameLoop(Device& device, const ShowAssets& assets, const FrameSources& sources)
{
    PresentationDelay delay;
    while (runFrame(device, assets, sources, delay)) {}
    return 0;
}
