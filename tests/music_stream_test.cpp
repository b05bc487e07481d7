// The music stream when its audio output goes away mid-show: the position goes
// on by the wall clock, it says so once, and a reopened output plays on from
// where the show is.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>

#include "music/music_decoder.h"
#include "music/music_stream.h"
#include "tests/test_support.h"

using namespace std::chrono_literals;

namespace {

constexpr int kBuffer = 1024;
constexpr float kVolume = 192.0f / 255.0f;

// An output whose buffers the test pulls, and whose platform says when it is gone.
class PulledOutput final : public AudioOutput {
public:
    PulledOutput(AudioSource& source, int& alive) : source(source), alive(alive) { ++alive; }
    ~PulledOutput() override { --alive; }
    void start() override {}
    int latencyFrames() const override { return kBuffer; }
    std::string failure() const override { return lostBecause; }

    AudioSource& source;
    int& alive;
    std::string lostBecause;
};

struct Outputs {
    int alive = 0;
    int opened = 0;
    bool refuse = false;
    PulledOutput* latest = nullptr;

    AudioOutputOpener opener()
    {
        return [this](int, AudioSource& source, std::string& failure) -> std::unique_ptr<AudioOutput> {
            if (refuse) {
                failure = "no sound server";
                return nullptr;
            }
            ++opened;
            auto output = std::make_unique<PulledOutput>(source, alive);
            latest = output.get();
            return output;
        };
    }
};

// Plays buffers in real time for `duration`, reading the position once a buffer as a frame loop would.
float playFor(MusicStream& stream, PulledOutput& output, std::chrono::milliseconds duration)
{
    std::vector<float> stereo(2 * kBuffer);
    const auto end = std::chrono::steady_clock::now() + duration;
    float position = 0;
    while (std::chrono::steady_clock::now() < end) {
        output.source.fill(stereo.data(), kBuffer);
        position = stream.positionSeconds();
        std::this_thread::sleep_for(std::chrono::microseconds(1'000'000 * kBuffer / 44100));
    }
    return position;
}

// Where in the decoded track `buffer` starts, searching around `nearFrame`; -1 when nowhere near.
long findInTrack(const std::vector<float>& buffer, long nearFrame)
{
    std::ifstream file(showDataDirectory() / "quirn.ogg", std::ios::binary);
    std::string failure;
    const auto decoder = MusicDecoder::open({std::istreambuf_iterator<char>(file), {}}, failure);
    const long from = std::max(0L, nearFrame - 44100 / 2);
    std::vector<float> track(2 * (from + 44100));
    decoder->read(track.data(), static_cast<int>(track.size() / 2));
    for (long frame = from; frame < from + 44100 - kBuffer; ++frame) {
        bool same = true;
        for (int i = 0; i < 64 && same; ++i) {
            same = std::abs(track[2 * frame + 256 + i] * kVolume - buffer[256 + i]) < 1e-6f;
        }
        if (same) {
            return frame;
        }
    }
    return -1;
}

// A stream that has played for 300 ms, its stderr captured from then on.
class MusicStreamLosingItsOutput : public testing::Test {
protected:
    void SetUp() override
    {
        if (!showDataExists()) {
            GTEST_SKIP() << "needs the generated data";
        }
        stream = MusicStream::open((showDataDirectory() / "quirn.ogg").c_str(), outputs.opener());
        stream->play();
        playedTo = playFor(*stream, *outputs.latest, 300ms);
        testing::internal::CaptureStderr();
    }

    Outputs outputs;
    std::unique_ptr<MusicStream> stream;
    float playedTo = 0;
};

}  // namespace

TEST_F(MusicStreamLosingItsOutput, ALostOutputIsSaidOnceTheWallClockGoesOnAndAReopenedOnePlaysFromWhereTheShowIs)
{
    outputs.latest->lostBecause = "the sound server went away";
    outputs.refuse = true;
    const float lostAt = stream->positionSeconds();
    EXPECT_EQ(outputs.alive, 0) << "the lost output is closed";
    std::this_thread::sleep_for(1200ms);
    const float silentAt = stream->positionSeconds();
    EXPECT_NEAR(silentAt - lostAt, 1.2f, 0.1f) << "the wall clock goes on";
    EXPECT_EQ(outputs.opened, 1) << "refused reopens do not count";

    outputs.refuse = false;
    std::this_thread::sleep_for(1100ms);
    const float reopenedAt = stream->positionSeconds();
    const auto reopened = std::chrono::steady_clock::now();
    ASSERT_EQ(outputs.opened, 2) << "reopened within a second of the server's return";
    std::vector<float> stereo(2 * kBuffer);
    outputs.latest->source.fill(stereo.data(), kBuffer);
    // The first buffer is what will be heard one buffer from now.
    const long expectedFrame = std::lround((reopenedAt + kBuffer / 44100.0f) * 44100);
    const long firstFrame = findInTrack(stereo, expectedFrame);
    EXPECT_NEAR(firstFrame, expectedFrame, 44100 / 20) << "the music goes on where the show is";
    const float resumed = playFor(*stream, *outputs.latest, 300ms);
    EXPECT_NEAR(resumed - reopenedAt, std::chrono::duration<float>(std::chrono::steady_clock::now() - reopened).count(),
                0.05f)
        << "the show keeps time while the music comes back";

    // Lost a second time: the sound stays off as before, without another word.
    outputs.latest->lostBecause = "the sound server went away";
    stream->positionSeconds();
    const std::string said = testing::internal::GetCapturedStderr();
    char expected[128];
    std::snprintf(expected, sizeof expected, "kelpwax: the sound stopped at %.2f s: the sound server went away.",
                  lostAt);
    EXPECT_EQ(said.find(expected), 0u) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

TEST_F(MusicStreamLosingItsOutput, AnOutputThatStopsTakingBuffersIsTakenForLost)
{
    const float before = playedTo;
    const auto stalled = std::chrono::steady_clock::now();
    float position = before;
    while (outputs.alive > 0 && std::chrono::steady_clock::now() < stalled + 2s) {
        position = stream->positionSeconds();
        std::this_thread::sleep_for(16ms);
    }
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(outputs.alive, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - stalled, 1200ms);
    EXPECT_NE(said.find("the audio output stopped taking sound"), std::string::npos) << said;
    std::this_thread::sleep_for(200ms);
    // No time lost to the stall: the position is where the music would have been.
    EXPECT_NEAR(stream->positionSeconds() - before,
                std::chrono::duration<float>(std::chrono::steady_clock::now() - stalled).count(), 0.06f);
    EXPECT_GE(stream->positionSeconds(), position);
}

// A sound server takes a new stream's first buffer at once and plays it only a
// while later: the picture stays on time, and the music skips what that cost.
TEST_F(MusicStreamLosingItsOutput, AReopenedOutputThatStartsLateIsCaughtUpWithTheWallClock)
{
    outputs.latest->lostBecause = "the sound server went away";
    const float lostAt = stream->positionSeconds();
    const auto lost = std::chrono::steady_clock::now();
    const auto wallClock = [&] {
        return lostAt + std::chrono::duration<float>(std::chrono::steady_clock::now() - lost).count();
    };
    stream->positionSeconds();
    ASSERT_EQ(outputs.opened, 2) << "the first reopen comes at once";
    std::vector<float> stereo(2 * kBuffer);
    outputs.latest->source.fill(stereo.data(), kBuffer);
    std::this_thread::sleep_for(500ms);
    EXPECT_NEAR(stream->positionSeconds(), wallClock(), 0.02f) << "the picture keeps time while the stream starts";
    playFor(*stream, *outputs.latest, 400ms);
    const float position = stream->positionSeconds();
    EXPECT_NEAR(position, wallClock(), 0.05f);
    outputs.latest->source.fill(stereo.data(), kBuffer);
    const long expectedFrame = std::lround((position + kBuffer / 44100.0f) * 44100);
    EXPECT_NEAR(findInTrack(stereo, expectedFrame), expectedFrame, 44100 / 40) << "the music is where the picture is";
    testing::internal::GetCapturedStderr();
}

// An output that queues seconds of sound ahead of what is heard (Web Audio's
// buffer sources) takes them with it when it is lost: the one opened after it
// must not start that far ahead of the show.
TEST_F(MusicStreamLosingItsOutput, AReopenedOutputStartsWhereTheShowIsThoughTheLostOneHadQueuedSecondsAhead)
{
    std::vector<float> stereo(2 * kBuffer);
    for (int i = 0; i < 2 * 44100 / kBuffer; ++i) {
        outputs.latest->source.fill(stereo.data(), kBuffer);
    }
    outputs.latest->lostBecause = "the browser suspended the audio context";
    stream->positionSeconds();
    stream->positionSeconds();
    ASSERT_EQ(outputs.opened, 2) << "the first reopen comes at once";
    const float reopenedAt = stream->positionSeconds();
    outputs.latest->source.fill(stereo.data(), kBuffer);
    const long expectedFrame = std::lround((reopenedAt + kBuffer / 44100.0f) * 44100);
    EXPECT_NEAR(findInTrack(stereo, expectedFrame), expectedFrame, 44100 / 40) << "the music is where the show is";
    testing::internal::GetCapturedStderr();
}
