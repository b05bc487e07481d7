#include "platform/web/web_audio_output.h"

#include <emscripten/emscripten.h>

#include <cmath>
#include <vector>

#include "music/chunk_schedule.h"

// Hands the context what it needs to stay two seconds ahead; the page calls it
// each time a buffer source has finished, so sound keeps coming while no frames run.
extern "C" EMSCRIPTEN_KEEPALIVE void kelpwaxWebAudioFeed(void* output);

namespace {

// About 93 ms at 44100 Hz: about ten buffer sources a second.
constexpr int kChunkFrames = 4096;
// Ten frames at five a second, and a page that is hidden, whose timers fire
// once a second, still has its sources' end events to keep it fed.
constexpr double kLeadSeconds = 2.0;
// Time for the first source to reach the context's thread before it is due.
constexpr double kFirstDelaySeconds = 0.1;

// 0 when the context is made (it plays nothing until webAudioStart);
// otherwise what went wrong: 1 no Web Audio, 2 the browser would not run the
// context at the music's rate, 3 it refused to make one.
EM_JS(int, webAudioOpen, (int sampleRate, void* output), {
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
        const audio = {context : context, output : output};
        audio.sources = new Set();  // those not yet ended
        // For tests: the frames lost to a late feed, and the end of what is queued on the context's clock.
        audio.lostFrames = 0;
        audio.queuedUntil = 0;
        Module.kelpwaxAudio = audio;
        return 0;
    } catch (error) {
        return 3;
    }
});

EM_JS(void, webAudioStart, (), {
    const audio = Module.kelpwaxAudio;
    audio.context.resume();
    _kelpwaxWebAudioFeed(audio.output);
});

EM_JS(double, webAudioContextSeconds, (), { return Module.kelpwaxAudio.context.currentTime; });

// Plays frameCount stereo frames (left, right, ...) at `stereo` from
// startSeconds on the context's clock, less their first skippedFrames, which
// are already past.
EM_JS(void, webAudioPlayAt, (const float* stereo, int frameCount, int skippedFrames, double startSeconds), {
    const audio = Module.kelpwaxAudio;
    const context = audio.context;
    audio.lostFrames += skippedFrames;
    audio.queuedUntil = startSeconds + frameCount / context.sampleRate;
    if (skippedFrames >= frameCount) {
        return;
    }
    const buffer = context.createBuffer(2, frameCount, context.sampleRate);
    const left = buffer.getChannelData(0);
    const right = buffer.getChannelData(1);
    const first = stereo >> 2;
    for (let i = 0; i < frameCount; ++i) {
        left[i] = HEAPF32[first + 2 * i];
        right[i] = HEAPF32[first + 2 * i + 1];
    }
    const source = context.createBufferSource();
    source.buffer = buffer;
    source.connect(context.destination);
    source.onended = function()
    {
        audio.sources.delete(source);
        _kelpwaxWebAudioFeed(audio.output);
    };
    audio.sources.add(source);
    const skippedSeconds = skippedFrames / context.sampleRate;
    source.start(startSeconds + skippedSeconds, skippedSeconds);
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

// The moment on the context's clock that the listener hears now: the output's
// latest timestamp carried on to this moment of the page's clock, or, where
// the browser has none, the context's time less the output's latency. A
// context that does not run stands still.
EM_JS(double, webAudioHeardSeconds, (), {
    const context = Module.kelpwaxAudio.context;
    if (context.getOutputTimestamp) {
        const stamp = context.getOutputTimestamp();
        if (stamp.performanceTime > 0) {
            const sinceStamp = context.state == "running" ? (performance.now() - stamp.performanceTime) / 1000 : 0;
            return Math.max(0, stamp.contextTime + sinceStamp);
        }
    }
    return Math.max(0, context.currentTime - (context.outputLatency || 0));
});

EM_JS(void, webAudioClose, (), {
    const audio = Module.kelpwaxAudio;
    for (const source of audio.sources) {
        source.onended = null;
    }
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
    WebAudioOutput(int sampleRate, AudioSource& source)
        : sampleRate_(sampleRate),
          source_(source),
          stereo_(2 * kChunkFrames),
          schedule_(kChunkFrames, std::llround(kLeadSeconds * sampleRate),
                    std::llround(kFirstDelaySeconds * sampleRate))
    {
    }
    ~WebAudioOutput() override
    {
        if (opened_) {
            webAudioClose();
        }
    }

    bool open(std::string& failure)
    {
        switch (webAudioOpen(sampleRate_, this)) {
        case 0: opened_ = true; return true;
        case 1: failure = "this browser has no Web Audio"; return false;
        case 2: failure = "this browser will not play sound at " + std::to_string(sampleRate_) + " Hz"; return false;
        default: failure = "the browser refused to open an audio context"; return false;
        }
    }

    void start() override { webAudioStart(); }
    // Each buffer's time on the context's clock is when it is heard.
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

    // The clock is read afresh for each chunk: decoding many after a hold-up takes a while.
    void feed()
    {
        while (const auto chunk = schedule_.next(contextFrame())) {
            pullStartSeconds_ = static_cast<double>(chunk->startFrame) / sampleRate_;
            source_.fill(stereo_.data(), kChunkFrames);
            webAudioPlayAt(stereo_.data(), kChunkFrames, chunk->skippedFrames, pullStartSeconds_);
        }
    }

private:
    std::int64_t contextFrame() const
    {
        return static_cast<std::int64_t>(std::floor(webAudioContextSeconds() * sampleRate_));
    }

    int sampleRate_;
    AudioSource& source_;
    std::vector<float> stereo_;
    ChunkSchedule schedule_;
    double pullStartSeconds_ = 0;
    bool opened_ = false;
};

}  // namespace

extern "C" EMSCRIPTEN_KEEPALIVE void kelpwaxWebAudioFeed(void* output)
{
    static_cast<WebAudioOutput*>(output)->feed();
}

std::unique_ptr<AudioOutput> openWebAudioOutput(int sampleRate, AudioSource& source, std::string& failure)
{
    auto output = std::make_unique<WebAudioOutput>(sampleRate, source);
    if (!output->open(failure)) {
        return nullptr;
    }
    return output;
}
