// Shared set-up for the benchmarks: they run in the show's data directory, and
// the OpenGL ones on a hidden window with no display.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/linux/sdl_window.h"

// Beat 210: every pass draws.
constexpr float kBeat210Seconds = 84.0f;

inline void enterShowDataDirectory()
{
    std::error_code ignored;
    std::filesystem::current_path(KELPWAX_DATA_DIR, ignored);
}

// Null, with the benchmark marked as skipped, when no OpenGL context can be made.
inline std::unique_ptr<SdlWindow> openHiddenWindow(benchmark::State& state)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    std::string error;
    std::unique_ptr<SdlWindow> window = SdlWindow::open(WindowMode::hidden, error);
    if (!window) {
        state.SkipWithError(error.c_str());
    }
    return window;
}
