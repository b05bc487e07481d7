#include "tools/capture/frame_range.h"

#include <cmath>

#include "music/beat_clock.h"

float framePosition(std::int64_t frame, int fps)
{
    return static_cast<float>(static_cast<double>(frame) / fps);
}

std::optional<FrameRange> exportFrameRange(int fps, std::optional<double> fromSeconds, std::optional<double> toSeconds)
{
    const double lastBeatEndSeconds = (kLastBeat + 1) / kBeatsPerSecond;
    std::int64_t showEnd = std::max<std::int64_t>(0, static_cast<std::int64_t>(lastBeatEndSeconds * fps) - 2);
    while (!showHasEnded(BeatClock::fromSeconds(framePosition(showEnd, fps)))) {
        ++showEnd;
    }
    FrameRange range{0, showEnd};
    // A tiny tolerance keeps a bound given in seconds on the frame it names despite rounding.
    constexpr double kTolerance = 1e-9;
    if (fromSeconds) {
        range.first = std::max<std::int64_t>(0, static_cast<std::int64_t>(std::ceil(*fromSeconds * fps - kTolerance)));
    }
    if (toSeconds) {
        range.last = std::min(showEnd, static_cast<std::int64_t>(std::floor(*toSeconds * fps + kTolerance)));
    }
    if (range.first > range.last) {
        return std::nullopt;
    }
    return range;
}
