#include "music/music_stream.h"

#include <SDL.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cerrno>
#include <cstring>

#include "music/playback_clock.h"

namespace {

constexpr float kVolume = 192.0f / 255.0f;
constexpr int kOutputRate = 44100;
constexpr int kDeviceBufferFrames = 1024;

const char* vorbisErrorText(int code)
{
    switch (code) {
    case OV_EREAD: return "the file could not be read";
    case OV_ENOTVORBIS: return "it is not an Ogg Vorbis file";
    case OV_EVERSION: return "its Vorbis version is not supported";
    case OV_EBADHEADER: return "its Vorbis header is corrupt";
    case OV_EFAULT: return "the decoder failed";
    }
    return "it could not be decoded";
}

}  // namespace

struct MusicStream::State {
    OggVorbis_File file{};
    bool fileOpen = false;
    SDL_AudioDeviceID device = 0;
    int channels = 0;
    bool trackEnded = false;
    PlaybackClock clock;
    std::chrono::steady_clock::time_point wallClockStart{};
    bool useWallClock = true;

    ~State()
    {
        if (device) {
            SDL_CloseAudioDevice(device);
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
        if (fileOpen) {
            ov_clear(&file);
        }
    }

    // Runs on the audio thread: decode straight into the device's buffer.
    static void fill(void* userData, Uint8* bytes, int byteCount)
    {
        auto* self = static_cast<State*>(userData);
        auto* out = reinterpret_cast<float*>(bytes);
        const int frameCount = byteCount / static_cast<int>(2 * sizeof(float));
        int done = 0;
        while (done < frameCount && !self->trackEnded) {
            float** planes = nullptr;
            int section = 0;
            const long got = ov_read_float(&self->file, &planes, frameCount - done, &section);
            if (got == OV_HOLE) {
                continue;  // a gap in the data: decoding resumes after it
            }
            if (got <= 0) {
                self->trackEnded = true;  // the end, or damage the decoder cannot get past
                break;
            }
            const float* left = planes[0];
            const float* right = self->channels > 1 ? planes[1] : planes[0];
            for (long i = 0; i < got; ++i, ++done) {
                out[2 * done] = left[i] * kVolume;
                out[2 * done + 1] = right[i] * kVolume;
            }
        }
        std::fill(out + 2 * done, out + 2 * frameCount, 0.0f);
        self->clock.recordCallback(frameCount, std::chrono::steady_clock::now());
    }
};

MusicStream::MusicStream(std::unique_ptr<State> state) : state_(std::move(state)) {}
MusicStream::~MusicStream() = default;

std::unique_ptr<MusicStream> MusicStream::open(const char* path)
{
    auto state = std::make_unique<State>();
    std::FILE* input = std::fopen(path, "rb");
    const int result = input ? ov_open(input, &state->file, nullptr, 0) : OV_EREAD;
    if (result != 0) {
        std::fprintf(stderr, "kelpwax: no music: cannot open \"%s\": %s. The show runs silent on a wall clock.\n", path,
                     input ? vorbisErrorText(result) : std::strerror(errno));
        if (input) {
            std::fclose(input);  // ov_open takes the file only when it succeeds
        }
        return std::unique_ptr<MusicStream>(new MusicStream(std::move(state)));
    }
    state->fileOpen = true;
    const vorbis_info* info = ov_info(&state->file, -1);
    state->channels = info->channels;

    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "kelpwax: no music: no audio output (%s). The show runs silent on a wall clock.\n",
                     SDL_GetError());
        return std::unique_ptr<MusicStream>(new MusicStream(std::move(state)));
    }
    // The track plays at its own rate (44100 Hz for the show's); SDL converts if the output differs.
    SDL_AudioSpec wanted{};
    wanted.freq = info->rate > 0 ? static_cast<int>(info->rate) : kOutputRate;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = 2;
    wanted.samples = kDeviceBufferFrames;
    wanted.callback = &State::fill;
    wanted.userdata = state.get();
    SDL_AudioSpec obtained{};
    state->device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (!state->device) {
        std::fprintf(stderr, "kelpwax: no music: cannot open the audio output (%s). The show runs silent on a wall clock.\n",
                     SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return std::unique_ptr<MusicStream>(new MusicStream(std::move(state)));
    }
    state->clock.configure(wanted.freq, obtained.samples);
    state->useWallClock = false;
    return std::unique_ptr<MusicStream>(new MusicStream(std::move(state)));
}

void MusicStream::play()
{
    state_->wallClockStart = std::chrono::steady_clock::now();
    if (!state_->useWallClock) {
        SDL_PauseAudioDevice(state_->device, 0);
    }
}

float MusicStream::positionSeconds() const
{
    const auto now = std::chrono::steady_clock::now();
    if (state_->useWallClock) {
        return std::chrono::duration<float>(now - state_->wallClockStart).count();
    }
    return state_->clock.positionSeconds(now);
}
