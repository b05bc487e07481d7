#include "music/music_stream.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "core/data_file.h"
#include "music/music_decoder.h"
#include "music/playback_clock.h"

namespace {

constexpr float kVolume = 192.0f / 255.0f;
// Far above the show's track; it bounds what start-up reads into memory.
constexpr std::size_t kMaxMusicFileBytes = 64u << 20;

}  // namespace

struct MusicStream::State final : AudioSource {
    std::unique_ptr<MusicDecoder> decoder;
    std::unique_ptr<AudioOutput> output;
    PlaybackClock clock;
    std::chrono::steady_clock::time_point wallClockStart{};

    // The output's thread calls fill until it is closed, so it closes before anything fill uses goes.
    ~State() override { output.reset(); }

    // Runs on the audio thread: decode straight into the device's buffer.
    void fill(float* stereo, int frameCount) override
    {
        // The device asked for the buffer now; decoding it may take a while on a busy machine.
        const auto pulled = output->pullTime();
        const int done = decoder->read(stereo, frameCount);
        std::transform(stereo, stereo + 2 * done, stereo, [](float sample) { return sample * kVolume; });
        std::fill(stereo + 2 * done, stereo + 2 * frameCount, 0.0f);
        clock.recordCallback(frameCount, pulled);
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
    // The track plays at its own rate (44100 Hz for the show's); the output converts if it must.
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
    state_->wallClockStart = std::chrono::steady_clock::now();
    if (state_->output) {
        state_->output->start();
    }
}

float MusicStream::positionSeconds() const
{
    if (!state_->output) {
        return std::chrono::duration<float>(std::chrono::steady_clock::now() - state_->wallClockStart).count();
    }
    return state_->clock.positionSeconds(state_->output->now());
}
