// Plans a sound output that is handed chunks of a fixed length to play at set
// times on a clock of its own (Web Audio's buffer sources), a lead ahead of
// what it plays. The chunks follow one another on that clock without a gap, so
// a chunk's time tells exactly when its music is heard. A chunk handed over too
// late to play whole (its thread was held up for longer than the lead) loses
// its late part: the music after it stays where the clock says, and what was
// lost is counted. Times are in frames of the output's clock.
#pragma once

#include <cstdint>
#include <optional>

class ChunkSchedule {
public:
    struct Chunk {
        std::int64_t startFrame = 0;  // when its first frame plays
        int skippedFrames = 0;        // its late part, which is not played: the whole chunk when all of it is late
    };

    // The first chunk plays firstDelayFrames after the clock's time when it is asked for.
    ChunkSchedule(int chunkFrames, std::int64_t leadFrames, std::int64_t firstDelayFrames);

    // The next chunk to hand over with the output's clock at nowFrame; none
    // while what is queued reaches a lead beyond it.
    std::optional<Chunk> next(std::int64_t nowFrame);

    int chunkFrames() const { return chunkFrames_; }
    // Frames not played because their chunk came too late.
    std::int64_t lostFrames() const { return lostFrames_; }

private:
    int chunkFrames_;
    std::int64_t leadFrames_;
    std::int64_t firstDelayFrames_;
    std::optional<std::int64_t> nextStartFrame_;
    std::int64_t lostFrames_ = 0;
};
