// Figures for the 2D layer on the OpenGL device (Mesa's llvmpipe when run
// headless): the scroller pass with every character of both lines handed to
// the batch, a whole frame and the frame rate, and the start-up load of the
// glyphs and the three pictures. "allocations" counts C++ allocations per
// iteration: the passes and the batch should make none.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "app/startup.h"
#include "assets/glyph_set.h"
#include "core/texture_levels.h"
#include "platform/gl/gl_device.h"
#include "platform/linux/sdl_window.h"
#include "scene/backdrop_vinyl.h"
#include "scene/scroller.h"
#include "tools/bench/allocation_count.h"
#include "tools/bench/bench_support.h"

namespace {

// A 128 × 128 glyph for every printable character, made in memory.
GlyphTable syntheticGlyphs(Device& device)
{
    Picture picture{128, 128, std::vector<std::uint8_t>(128 * 128 * 4, 0xFF)};
    addMipLevels(picture);
    GlyphTable table{};
    for (int code = 33; code < 127; ++code) {
        table[code] = device.CreateTexture(picture, std::string(1, static_cast<char>(code)));
    }
    return table;
}

long allocationsPerIteration(long before, const benchmark::State& state)
{
    return (allocationCount() - before) / static_cast<long>(state.iterations());
}

// Beat 30: both lines cross the screen, about 20 glyphs on it.
void ScrollerPassOnGlBatch(benchmark::State& state)
{
    const std::unique_ptr<SdlWindow> window = openHiddenWindow(state);
    if (!window) {
        return;
    }
    GlDevice device(nullptr);
    const GlyphTable glyphs = syntheticGlyphs(device);
    device.BeginScene();
    drawScrollerLines(device, glyphs, BeatClock::fromSeconds(12.0f));  // the driver compiles its shaders on first use
    device.finish();
    const long before = allocationCount();
    for (auto _ : state) {
        drawScrollerLines(device, glyphs, BeatClock::fromSeconds(12.0f));
        state.PauseTiming();
        device.finish();
        state.ResumeTiming();
    }
    state.counters["allocations"] = allocationsPerIteration(before, state);
}
BENCHMARK(ScrollerPassOnGlBatch)->Unit(benchmark::kMicrosecond);

// The show started on the real GL device with a hidden window, as the programs start it.
struct ShowOnGlDevice {
    std::unique_ptr<SdlWindow> window;
    std::unique_ptr<GlDevice> device;
    ShowAssets assets;
};

// False, with the benchmark skipped, when no OpenGL context can be made.
bool startShowOnGlDevice(benchmark::State& state, ShowOnGlDevice& show)
{
    enterShowDataDirectory();
    show.window = openHiddenWindow(state);
    if (!show.window) {
        return false;
    }
    show.device = std::make_unique<GlDevice>(show.window.get());
    show.assets = ShowStartup().run(*show.device, nullptr).assets;
    return true;
}

// CPU time of every thread of the process, the rasteriser's included.
double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// One frame at the play position given in tenths of a second (840: beat 210),
// every pass drawing, presented to the hidden window and finished: CPU time is
// the show's thread, all_threads_cpu_ms that of every thread (the rasteriser's
// too, and less disturbed by other programs than wall time), fps the
// wall-clock rate of whole frames.
void FrameOnGlDevice(benchmark::State& state)
{
    ShowOnGlDevice show;
    if (!startShowOnGlDevice(state, show)) {
        return;
    }
    GlDevice& device = *show.device;
    const ShowAssets& assets = show.assets;
    const BeatClock clock = BeatClock::fromSeconds(static_cast<float>(state.range(0)) / 10);
    drawFrame(device, assets, clock);  // the driver compiles its shaders on first use
    device.finish();
    const long before = allocationCount();
    const double cpuBefore = processCpuSeconds();
    for (auto _ : state) {
        drawFrame(device, assets, clock);
        device.finish();
    }
    state.counters["allocations"] = allocationsPerIteration(before, state);
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["all_threads_cpu_ms"] =
        (processCpuSeconds() - cpuBefore) * 1000 / static_cast<double>(state.iterations());
}
BENCHMARK(FrameOnGlDevice)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Arg(100)
    ->Arg(400)
    ->Arg(840)
    ->Arg(1102)
    ->Arg(1300)
    ->Arg(1500);

// What start-up spends on the glyph set and the three pictures, decoding and
// uploading, up to the textures being ready on the device.
void LoadGlyphsAndPictures(benchmark::State& state)
{
    enterShowDataDirectory();
    const std::unique_ptr<SdlWindow> window = openHiddenWindow(state);
    if (!window) {
        return;
    }
    int textureCount = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto device = std::make_unique<GlDevice>(nullptr);
        state.ResumeTiming();
        const GlyphTable glyphs = loadGlyphSet(*device);
        const SpritePictures pictures = loadSpritePictures(*device);
        device->finish();
        state.PauseTiming();
        textureCount = 0;
        for (const Texture* glyph : glyphs) {
            textureCount += glyph != nullptr;
        }
        textureCount += (pictures.backdropTexture != nullptr) + (pictures.vinylTexture != nullptr) +
                        (pictures.labelTexture != nullptr);
        device.reset();
        state.ResumeTiming();
    }
    state.counters["textures"] = textureCount;
}
BENCHMARK(LoadGlyphsAndPictures)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// Walks the whole show every 0.5 s, timing each frame drawn and finished, to
// find the busiest one: its position and time are the counters.
void BusiestFrameOnGlDevice(benchmark::State& state)
{
    ShowOnGlDevice show;
    if (!startShowOnGlDevice(state, show)) {
        return;
    }
    GlDevice& device = *show.device;
    const ShowAssets& assets = show.assets;
    for (float seconds = 0; seconds < 161; seconds += 10) {  // the driver compiles its shaders on first use
        drawFrame(device, assets, BeatClock::fromSeconds(seconds));
    }
    device.finish();
    double slowestMilliseconds = 0, slowestSeconds = 0;
    for (auto _ : state) {
        for (int halfSeconds = 0; halfSeconds <= 321; ++halfSeconds) {
            const float seconds = 0.5f * static_cast<float>(halfSeconds);
            const auto start = std::chrono::steady_clock::now();
            drawFrame(device, assets, BeatClock::fromSeconds(seconds));
            device.finish();
            const double milliseconds =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            if (milliseconds > slowestMilliseconds) {
                slowestMilliseconds = milliseconds;
                slowestSeconds = seconds;
            }
        }
    }
    state.counters["busiest_at_s"] = slowestSeconds;
    state.counters["busiest_ms"] = slowestMilliseconds;
}
BENCHMARK(BusiestFrameOnGlDevice)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
