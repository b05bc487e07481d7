#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "music/chunk_schedule.h"

namespace {

constexpr int kChunk = 4096;
constexpr std::int64_t kLead = 88200;  // 2 s at 44100 Hz
constexpr std::int64_t kFirstDelay = 4410;

// Every chunk the schedule hands over with the clock at nowFrame.
std::vector<ChunkSchedule::Chunk> drain(ChunkSchedule& schedule, std::int64_t nowFrame)
{
    std::vector<ChunkSchedule::Chunk> chunks;
    while (const auto chunk = schedule.next(nowFrame)) {
        chunks.push_back(*chunk);
    }
    return chunks;
}

}  // namespace

TEST(ChunkSchedule, QueuesBackToBackChunksALeadAheadStartingAfterTheFirstDelay)
{
    ChunkSchedule schedule(kChunk, kLead, kFirstDelay);
    const std::int64_t now = 1000;
    const auto chunks = drain(schedule, now);
    ASSERT_FALSE(chunks.empty());
    EXPECT_EQ(chunks.front().startFrame, now + kFirstDelay);
    for (std::size_t i = 1; i < chunks.size(); ++i) {
        EXPECT_EQ(chunks[i].startFrame, chunks[i - 1].startFrame + kChunk) << "chunk " << i;
    }
    // Just enough to reach the lead: the last chunk starts before it, the next would not.
    EXPECT_LT(chunks.back().startFrame, now + kLead);
    EXPECT_GE(chunks.back().startFrame + kChunk, now + kLead);
    EXPECT_EQ(schedule.lostFrames(), 0);
    for (const auto& chunk : chunks) {
        EXPECT_EQ(chunk.skippedFrames, 0);
    }
}

TEST(ChunkSchedule, FiveFramesASecondNeverLoseSound)
{
    ChunkSchedule schedule(kChunk, kLead, kFirstDelay);
    std::int64_t expectedStart = kFirstDelay;
    for (std::int64_t now = 0; now < 60 * 44100; now += 44100 / 5) {
        for (const auto& chunk : drain(schedule, now)) {
            ASSERT_EQ(chunk.startFrame, expectedStart);
            expectedStart += kChunk;
        }
        // What is queued always reaches beyond the next turn.
        ASSERT_GT(expectedStart, now + 44100 / 5);
    }
    EXPECT_EQ(schedule.lostFrames(), 0);
}

// A turn that comes three seconds late: the chunks due meanwhile are dropped,
// the one under way loses its late part, and the music after it keeps its time.
TEST(ChunkSchedule, AHoldUpLongerThanTheLeadLosesOnlyWhatIsPastAndKeepsTheTiming)
{
    ChunkSchedule schedule(kChunk, kLead, kFirstDelay);
    const auto first = drain(schedule, 0);
    const std::int64_t queuedUntil = first.back().startFrame + kChunk;
    const std::int64_t late = queuedUntil + 44100 + 100;  // 1 s and 100 frames past the queue's end
    const auto chunks = drain(schedule, late);
    ASSERT_FALSE(chunks.empty());
    std::int64_t start = queuedUntil;
    std::int64_t skipped = 0;
    for (const auto& chunk : chunks) {
        EXPECT_EQ(chunk.startFrame, start);
        const std::int64_t expectedSkip = std::clamp<std::int64_t>(late - start, 0, kChunk);
        EXPECT_EQ(chunk.skippedFrames, expectedSkip) << "chunk at " << start;
        skipped += chunk.skippedFrames;
        start += kChunk;
    }
    EXPECT_EQ(skipped, late - queuedUntil);
    EXPECT_EQ(schedule.lostFrames(), late - queuedUntil);
    EXPECT_GE(start, late + kLead);
}
