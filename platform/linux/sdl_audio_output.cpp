#include "platform/linux/sdl_audio_output.h"

#include <SDL.h>

namespace {

constexpr int kDeviceBufferFrames = 1024;

class SdlAudioOutput final : public AudioOutput {
public:
    SdlAudioOutput(SDL_AudioDeviceID device, int bufferFrames) : device_(device), bufferFrames_(bufferFrames) {}
    ~SdlAudioOutput() override
    {
        SDL_CloseAudioDevice(device_);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    void start() override
    {
        SDL_PauseAudioDevice(device_, 0);
        started_ = true;
    }
    int latencyFrames() const override { return bufferFrames_; }

    // SDL stops a device whose connection failed (its sound server ended, the
    // card unplugged) and posts SDL_AUDIODEVICEREMOVED for it; it then goes on
    // calling back at the buffer's pace into nothing, so only its status tells.
    std::string failure() const override
    {
        if (started_ && SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED) {
            return std::string("the audio device was lost (SDL's ") + SDL_GetCurrentAudioDriver() + " driver)";
        }
        return {};
    }

private:
    SDL_AudioDeviceID device_;
    int bufferFrames_;
    bool started_ = false;
};

void pull(void* source, Uint8* bytes, int byteCount)
{
    static_cast<AudioSource*>(source)->fill(reinterpret_cast<float*>(bytes),
                                            byteCount / static_cast<int>(2 * sizeof(float)));
}

}  // namespace

std::unique_ptr<AudioOutput> openSdlAudioOutput(int sampleRate, AudioSource& source, std::string& failure)
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        failure = SDL_GetError();
        return nullptr;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = sampleRate;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = 2;
    wanted.samples = kDeviceBufferFrames;
    wanted.callback = &pull;
    wanted.userdata = &source;
    SDL_AudioSpec obtained{};
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (!device) {
        failure = std::string("cannot open the default audio output: ") + SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    return std::make_unique<SdlAudioOutput>(device, obtained.samples);
}
