#include "platform/web/web_audio_output.h"

#include <emscripten/emscripten.h>

#include <vector>

// The script node's handler: fills the buffer that starts to play at startSeconds on the context's clock.
extern "C" EMSCRIPTEN_KEEPALIVE float* kelpwaxWebAudioPull(void* output, double startSeconds);

namespace {

// About 93 ms at 44100 Hz: long enough that a slow frame on the page's thread does not starve it.
constexpr int kBufferFrames = 4096;

// 0 when the context and its node are made (the node plays nothing until
// webAudioStart); otherwise what went wrong: 1 no Web Audio, 2 the browser
// would not run the context at the music's rate, 3 it refused to make one.
EM_JS(int, webAudioOpen, (int sampleRate, int bufferFrames, void* output), {
    const AudioContextType = window.AudioContext || window.webkitAudioContext;
    if (!AudioContextType) {
        return 1;
    }
    try {
        const context = new AudioContextType({sampleRate : sampleRate});
        if (context.sampleRate != sampleRate) {
            context.close();
            return 2;
        }
        const node = context.createScriptProcessor(bufferFrames, 0, 2);
        node.onaudioprocess = function(event)
        {
            const stereo = _kelpwaxWebAudioPull(output, event.playbackTime) >> 2;
            const left = event.outputBuffer.getChannelData(0);
            const right = event.outputBuffer.getChannelData(1);
            for (let i = 0; i < bufferFrames; ++i) {
                left[i] = HEAPF32[stereo + 2 * i];
                right[i] = HEAPF32[stereo + 2 * i + 1];
            }
        };
        Module.kelpwaxAudio = {context : context, node : node};
        return 0;
    } catch (error) {
        return 3;
    }
});

EM_JS(void, webAudioStart, (), {
    const audio = Module.kelpwaxAudio;
    audio.node.connect(audio.context.destination);
    audio.context.resume();
});

// 0 while the context plays, or has not yet begun to; once it has played and
// then stopped: 1 suspended (by the browser or the system), 2 interrupted (a
// call, another app taking the sound), 3 closed.
EM_JS(int, webAudioStopped, (), {
    const audio = Module.kelpwaxAudio;
    const state = audio.context.state;
    if (state == "running") {
        audio.played = true;
        return 0;
    }
    if (!audio.played) {
        return 0;
    }
    return state == "suspended" ? 1 : state == "interrupted" ? 2 : 3;
});

EM_JS(double, webAudioHeardSeconds, (), {
    const context = Module.kelpwaxAudio.context;
    return context.currentTime - (context.outputLatency || 0);
});

EM_JS(void, webAudioClose, (), {
    const audio = Module.kelpwaxAudio;
    audio.node.onaudioprocess = null;
    audio.node.disconnect();
    audio.context.close();
    delete Module.kelpwaxAudio;
});

std::chrono::steady_clock::time_point onContextClock(double seconds)
{
    return std::chrono::steady_clock::time_point(
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds)));
}

class WebAudioOutput final : public AudioOutput {
public:
    explicit WebAudioOutput(AudioSource& source) : source_(source), stereo_(2 * kBufferFrames) {}
    ~WebAudioOutput() override
    {
        if (opened_) {
            webAudioClose();
        }
    }

    bool open(int sampleRate, std::string& failure)
    {
        switch (webAudioOpen(sampleRate, kBufferFrames, this)) {
        case 0: opened_ = true; return true;
        case 1: failure = "this browser has no Web Audio"; return false;
        case 2: failure = "this browser will not play sound at " + std::to_string(sampleRate) + " Hz"; return false;
        default: failure = "the browser refused to open an audio context"; return false;
        }
    }

    void start() override { webAudioStart(); }
    // The context's clock already has the output's latency taken off.
    int latencyFrames() const override { return 0; }
    std::chrono::steady_clock::time_point now() const override { return onContextClock(webAudioHeardSeconds()); }
    std::chrono::steady_clock::time_point pullTime() const override { return onContextClock(pullStartSeconds_); }

    // A stopped context's clock stands still, so only its state tells. The
    // show then closes it and opens a fresh one, which the browser lets play
    // once the page has had a click or key.
    std::string failure() const override
    {
        switch (webAudioStopped()) {
        case 0: return {};
        case 1: return "the browser suspended the audio context";
        case 2: return "the audio context was interrupted";
        default: return "the audio context was closed";
        }
    }

    float* pull(double startSeconds)
    {
        pullStartSeconds_ = startSeconds;
        source_.fill(stereo_.data(), kBufferFrames);
        return stereo_.data();
    }

private:
    AudioSource& source_;
    std::vector<float> stereo_;
    double pullStartSeconds_ = 0;
    bool opened_ = false;
};

}  // namespace

extern "C" EMSCRIPTEN_KEEPALIVE float* kelpwaxWebAudioPull(void* output, double startSeconds)
{
    return static_cast<WebAudioOutput*>(output)->pull(startSeconds);
}

std::unique_ptr<AudioOutput> openWebAudioOutput(int sampleRate, AudioSource& source, std::string& failure)
{
    auto output = std::make_unique<WebAudioOutput>(source);
    if (!output->open(sampleRate, failure)) {
        return nullptr;
    }
    return output;
}
