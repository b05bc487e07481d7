// Figures for the 3D layer on the OpenGL device (Mesa's llvmpipe when run
// headless): loading the submarine model (read, check, Assimp, normals,
// upload), the three 3D passes alone, and a whole frame at beat 210, where
// the cubes and the submarine are both drawn.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "app/startup.h"
#include "assets/meshes.h"
#include "assets/show_data_files.h"
#include "platform/gl/gl_device.h"
#include "platform/linux/sdl_window.h"
#include "scene/cube_chain.h"
#include "scene/light_camera.h"
#include "scene/submarine.h"
#include "tools/bench/bench_support.h"

namespace {

void LoadSubmarineModelOnGlDevice(benchmark::State& state)
{
    enterShowDataDirectory();
    const std::unique_ptr<SdlWindow> window = openHiddenWindow(state);
    if (!window) {
        return;
    }
    std::size_t subsetCount = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto device = std::make_unique<GlDevice>(nullptr);
        state.ResumeTiming();
        const SubmarineModel model = loadSubmarineModel(*device, kModelFile);
        device->finish();
        state.PauseTiming();
        subsetCount = model.mesh ? model.mesh->subsets.size() : 0;
        device.reset();
        state.ResumeTiming();
    }
    state.counters["subsets"] = static_cast<double>(subsetCount);
}
BENCHMARK(LoadSubmarineModelOnGlDevice)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

// Light and camera, ten cubes and the submarine, into the render target and finished.
void ThreeDPassesOnGlDevice(benchmark::State& state)
{
    enterShowDataDirectory();
    const std::unique_ptr<SdlWindow> window = openHiddenWindow(state);
    if (!window) {
        return;
    }
    GlDevice device(nullptr);
    const ShowAssets assets = ShowStartup().run(device, nullptr).assets;
    const BeatClock clock = BeatClock::fromSeconds(kBeat210Seconds);
    for (auto _ : state) {
        device.Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        setLightAndCamera(device, clock);
        drawCubeChain(device, assets.cubeMesh, clock);
        drawSubmarine(device, assets.submarine, clock);
        device.finish();
    }
}
BENCHMARK(ThreeDPassesOnGlDevice)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
