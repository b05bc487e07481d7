// Figures for the frame loop: one frame's CPU time on the recording device,
// start-up time to the first presented frame, and the music clock's jitter.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

#include "app/startup.h"
#include "core/recording_device.h"
#include "music/music_stream.h"
#include "platform/gl/gl_device.h"
#include "platform/linux/sdl_audio_output.h"
#include "platform/linux/sdl_window.h"
#include "tools/bench/bench_support.h"

namespace {

void FrameOnRecordingDevice(benchmark::State& state)
{
    enterShowDataDirectory();
    RecordingDevice device;
    const ShowAssets assets = ShowStartup().run(device, nullptr).assets;
    const BeatClock clock = BeatClock::fromSeconds(kBeat210Seconds);
    for (auto _ : state) {
        drawFrame(device, assets, clock);
        benchmark::DoNotOptimize(device.takeCalls());
    }
}
BENCHMARK(FrameOnRecordingDevice)->Unit(benchmark::kMicrosecond);

// Window, device, every asset, the music started, and the first frame drawn
// and finished, with the pictures decoding from the start as in the show.
void StartUpToFirstFrame(benchmark::State& state)
{
    enterShowDataDirectory();
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    for (auto _ : state) {
        ShowStartup startup;
        const std::unique_ptr<SdlWindow> window = openHiddenWindow(state);
        if (!window) {
            return;
        }
        GlDevice device(window.get());
        const StartedShow show = startup.run(device, openSdlAudioOutput);
        drawFrame(device, show.assets, BeatClock::fromSeconds(show.music->positionSeconds()));
        device.finish();
    }
}
BENCHMARK(StartUpToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(3);

// RMS of (position step − wall-clock step) between frames 1/60 s apart, over
// 10 s of music, with as many busy loops as the argument says running beside
// it: on a 2-core machine 1 keeps one core busy and 2 oversubscribe both.
void ClockJitter(benchmark::State& state)
{
    enterShowDataDirectory();
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    std::atomic<bool> busy{true};
    std::vector<std::thread> busyLoops;
    for (int i = 0; i < state.range(0); ++i) {
        busyLoops.emplace_back([&busy] {
            while (busy.load(std::memory_order_relaxed)) {}
        });
    }
    for (auto _ : state) {
        const std::unique_ptr<MusicStream> music = playMusic(openSdlAudioOutput);
        while (music->positionSeconds() == 0.0f) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        double sumOfSquares = 0;
        int steps = 0;
        auto lastWall = std::chrono::steady_clock::now();
        float lastPosition = music->positionSeconds();
        while (lastPosition < 10.0f) {
            std::this_thread::sleep_until(lastWall + std::chrono::microseconds(16667));
            const auto wall = std::chrono::steady_clock::now();
            const float position = music->positionSeconds();
            const double error = (position - lastPosition) - std::chrono::duration<double>(wall - lastWall).count();
            sumOfSquares += error * error;
            ++steps;
            lastWall = wall;
            lastPosition = position;
        }
        state.counters["jitter_rms_ms"] = std::sqrt(sumOfSquares / steps) * 1000.0;
        state.counters["frames"] = steps;
    }
    busy = false;
    for (std::thread& loop : busyLoops) {
        loop.join();
    }
}
BENCHMARK(ClockJitter)->Unit(benchmark::kSecond)->Iterations(1)->Arg(0)->Arg(1)->Arg(2);

}  // namespace
