#include "music/music_stream.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <utility>
#include <vector>

#include "core/data_file.h"
#include "music/music_decoder.h"
#include "music/playback_clock.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr float kVolume = 192.0f / 255.0f;
// Far above the show's track; it bounds what start-up reads into memory.
constexpr std::size_t kMaxMusicFileBytes = 64u << 20;
constexpr auto kReopenInterval = std::chrono::seconds(1);
// More than any output queues ahead of what is heard (the web's two seconds).
constexpr int kKeptSeconds = 4;

}  // namespace

struct MusicStream::State final : AudioSource {
    std::unique_ptr<MusicDecoder> decoder;
    AudioOutputOpener openOutput;
    std::unique_ptr<AudioOutput> output;
    PlaybackClock clock;
    std::int64_t nextFrame = 0;  // audio thread: the track frame the next buffer starts at
    // Audio thread: the decoder's place, and the latest frames it decoded, kept
    // in a ring: an output that queued sound ahead took them with it when it
    // was lost, and the one opened after it may need them again.
    std::int64_t decodedFrames = 0;
    std::vector<float> kept;
    std::int64_t keptFrames = 0;
    // A reopened output starts where the wall clock is; once it plays at its
    // pace, what its start-up cost is made up once, and the picture follows it again.
    std::atomic<bool> resuming = false;  // set before it starts: its first buffer starts at the wall clock
    std::atomic<std::int64_t> framesToCatchUp = 0;
    bool followingWallClock = false;

    // While no output plays, the position runs on the wall clock from where the sound left off.
    mutable std::mutex wallClockMutex;
    SteadyClock::time_point wallClockSince{};
    double wallClockFromSeconds = 0;

    bool playing = false;
    bool lossReported = false;
    SteadyClock::time_point nextReopen{};
    float lastPositionSeconds = 0;

    // The output's thread calls fill until it is closed, so it closes before anything fill uses goes.
    ~State() override { output.reset(); }

    double wallClockSeconds(SteadyClock::time_point now) const
    {
        std::lock_guard lock(wallClockMutex);
        return wallClockFromSeconds + std::chrono::duration<double>(now - wallClockSince).count();
    }

    void followWallClockFrom(double seconds)
    {
        std::lock_guard lock(wallClockMutex);
        wallClockSince = SteadyClock::now();
        wallClockFromSeconds = seconds;
    }

    // Audio thread: decodes up to frameCount frames into `stereo`, and keeps them.
    int decode(float* stereo, int frameCount)
    {
        const int done = decoder->read(stereo, frameCount);
        for (int i = 0; i < done; ++i) {
            const std::int64_t at = 2 * ((decodedFrames + i) % keptFrames);
            kept[at] = stereo[2 * i];
            kept[at + 1] = stereo[2 * i + 1];
        }
        decodedFrames += done;
        return done;
    }

    // Audio thread: frameCount frames of the track from nextFrame: those kept
    // first, then newly decoded ones. Returns how many the track had.
    int readTrack(float* stereo, int frameCount)
    {
        int done = 0;
        for (; done < frameCount && nextFrame + done < decodedFrames; ++done) {
            const std::int64_t at = 2 * ((nextFrame + done) % keptFrames);
            stereo[2 * done] = kept[at];
            stereo[2 * done + 1] = kept[at + 1];
        }
        if (done < frameCount && nextFrame + done == decodedFrames) {
            done += decode(stereo + 2 * done, frameCount - done);
        }
        return done;
    }

    // Audio thread: the next buffer starts at the track's frame `target`: back
    // as far as the frames kept, or on, decoding and dropping what lies between.
    // Decoding is many times faster than playing: tens of seconds take a fraction of one.
    void moveTo(std::int64_t target, float* scratch, int frameCount)
    {
        if (target <= decodedFrames) {
            nextFrame = std::max(target, decodedFrames - keptFrames);
            return;
        }
        while (decodedFrames < target) {
            const int wanted = static_cast<int>(std::min<std::int64_t>(frameCount, target - decodedFrames));
            if (decode(scratch, wanted) < wanted) {
                break;  // past the track's end: silence from here on
            }
        }
        nextFrame = target;
    }

    // Runs on the audio thread: decode straight into the device's buffer.
    void fill(float* stereo, int frameCount) override
    {
        if (resuming.exchange(false)) {
            // This buffer is heard one latency from now, where the wall clock will be then.
            const double heardAt = wallClockSeconds(SteadyClock::now()) * decoder->sampleRate();
            moveTo(static_cast<std::int64_t>(heardAt) + output->latencyFrames(), stereo, frameCount);
        }
        if (const std::int64_t frames = framesToCatchUp.exchange(0); frames > 0) {
            moveTo(nextFrame + frames, stereo, frameCount);
        }
        // The device asked for the buffer now; decoding it may take a while on a busy machine.
        const auto pulled = output->pullTime();
        const int done = readTrack(stereo, frameCount);
        std::transform(stereo, stereo + 2 * done, stereo, [](float sample) { return sample * kVolume; });
        std::fill(stereo + 2 * done, stereo + 2 * frameCount, 0.0f);
        clock.recordCallback(nextFrame, frameCount, pulled);
        nextFrame += frameCount;
    }

    // Frame thread: closes an output that stopped taking sound and goes on by the wall clock.
    void checkOutput()
    {
        const auto now = output->now();
        std::string failure = output->failure();
        if (failure.empty() && clock.outputStalled(now)) {
            failure = clock.started() ? "the audio output stopped taking sound" : "the audio output never started";
        }
        if (failure.empty()) {
            return;
        }
        const float position = std::max(lastPositionSeconds, clock.expectedPositionSeconds(now));
        followWallClockFrom(position);
        followingWallClock = true;
        output.reset();
        nextReopen = SteadyClock::now();
        if (!lossReported) {
            lossReported = true;
            std::fprintf(stderr,
                         "kelpwax: the sound stopped at %.2f s: %s. The show goes on silent on the wall clock; "
                         "the music comes back when the audio output can be opened again.\n",
                         position, failure.c_str());
        }
    }

    // Frame thread: opens the default output again; its first buffer starts where the show is.
    void reopenOutput()
    {
        nextReopen = SteadyClock::now() + kReopenInterval;
        std::string failure;
        std::unique_ptr<AudioOutput> reopened = openOutput(decoder->sampleRate(), *this, failure);
        if (!reopened) {
            return;
        }
        clock.configure(decoder->sampleRate(), reopened->latencyFrames());
        resuming = true;
        output = std::move(reopened);
        output->start();
    }

    // Frame thread: a reopened output began to play later than its first buffer
    // was handed over (a sound server sets up its stream a while): the music
    // skips what that cost once, and the picture follows the music again.
    void catchUpWithWallClock()
    {
        const double lagSeconds = wallClockSeconds(SteadyClock::now()) - clock.expectedPositionSeconds(output->now());
        framesToCatchUp = std::max<std::int64_t>(0, std::llround(lagSeconds * decoder->sampleRate()));
        followingWallClock = false;
    }

    float positionSeconds()
    {
        if (!playing) {
            return 0.0f;
        }
        if (output) {
            checkOutput();
        } else if (lossReported && SteadyClock::now() >= nextReopen) {
            reopenOutput();
        }
        if (output && followingWallClock && clock.settled()) {
            catchUpWithWallClock();
        }
        const float position = output && !followingWallClock ? clock.positionSeconds(output->now())
                                                             : static_cast<float>(wallClockSeconds(SteadyClock::now()));
        lastPositionSeconds = std::max(lastPositionSeconds, position);
        return lastPositionSeconds;
    }
};

MusicStream::MusicStream(std::unique_ptr<State> state) : state_(std::move(state)) {}
MusicStream::~MusicStream() = default;

std::unique_ptr<MusicStream> MusicStream::open(const char* path, const AudioOutputOpener& openOutput)
{
    auto state = std::make_unique<State>();
    std::vector<std::uint8_t> bytes;
    std::string failure;
    if (readDataFile(path, kMaxMusicFileBytes, bytes, failure)) {
        state->decoder = MusicDecoder::open(std::move(bytes), failure);
    }
    if (!state->decoder) {
        std::fprintf(stderr, "kelpwax: no music: \"%s\": %s. The show runs silent on a wall clock.\n", path,
                     failure.c_str());
        return std::unique_ptr<MusicStream>(new MusicStream(std::move(state)));
    }
    state->keptFrames = std::int64_t{kKeptSeconds} * state->decoder->sampleRate();
    state->kept.resize(static_cast<std::size_t>(2 * state->keptFrames));
    // The track plays at its own rate (44100 Hz for the show's); the output converts if it must.
    state->openOutput = openOutput;
    state->output = openOutput(state->decoder->sampleRate(), *state, failure);
    if (!state->output) {
        std::fprintf(stderr, "kelpwax: no music: no audio output (%s). The show runs silent on a wall clock.\n",
                     failure.c_str());
        return std::unique_ptr<MusicStream>(new MusicStream(std::move(state)));
    }
    state->clock.configure(state->decoder->sampleRate(), state->output->latencyFrames());
    return std::unique_ptr<MusicStream>(new MusicStream(std::move(state)));
}

void MusicStream::play()
{
    state_->followWallClockFrom(0);
    state_->playing = true;
    if (state_->output) {
        state_->output->start();
    }
}

float MusicStream::positionSeconds() const
{
    return state_->positionSeconds();
}
