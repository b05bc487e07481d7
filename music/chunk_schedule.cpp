#include "music/chunk_schedule.h"

#include <algorithm>

ChunkSchedule::ChunkSchedule(int chunkFrames, std::int64_t leadFrames, std::int64_t firstDelayFrames)
    : chunkFrames_(chunkFrames), leadFrames_(leadFrames), firstDelayFrames_(firstDelayFrames)
{
}

std::optional<ChunkSchedule::Chunk> ChunkSchedule::next(std::int64_t nowFrame)
{
    if (!nextStartFrame_) {
        nextStartFrame_ = nowFrame + firstDelayFrames_;
    }
    const std::int64_t startFrame = *nextStartFrame_;
    if (startFrame >= nowFrame + leadFrames_) {
        return std::nullopt;
    }
    const auto skippedFrames = static_cast<int>(std::clamp<std::int64_t>(nowFrame - startFrame, 0, chunkFrames_));
    lostFrames_ += skippedFrames;
    *nextStartFrame_ += chunkFrames_;
    return Chunk{startFrame, skippedFrames};
}
