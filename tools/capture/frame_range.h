// Which frames an export renders. Frame n shows the play position n / fps
// seconds; the whole show runs from frame 0 to the first frame whose beat
// index is past 400, that frame included, exactly as the show itself ends.
#pragma once

#include <cstdint>
#include <optional>

struct FrameRange {
    std::int64_t first = 0;
    std::int64_t last = 0;  // included
    std::int64_t count() const { return last - first + 1; }
};

// The play position of frame n, as the clock receives it (single precision).
float framePosition(std::int64_t frame, int fps);

// The show's frames at `fps`, narrowed to [fromSeconds, toSeconds] when given;
// nullopt when the range holds no frame.
std::optional<FrameRange> exportFrameRange(int fps, std::optional<double> fromSeconds, std::optional<double> toSeconds);
