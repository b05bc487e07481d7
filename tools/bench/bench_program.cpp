// The show as its viewers start it: the real program, windowed on the X
// display in DISPLAY (Xvfb will do), from exec to its first presented frame.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/bench/bench_support.h"

namespace {

// The show's first frame after exec in seconds, or a negative number when it
// ended without presenting one.
double secondsToFirstFrame()
{
    int output[2];
    if (pipe(output) != 0) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    std::vector<std::string> variables = {"LD_PRELOAD=" KELPWAX_FIRST_FRAME_STAMP, "SDL_AUDIODRIVER=dummy",
                                          "SDL_VIDEODRIVER=x11"};
    for (char** variable = environ; *variable; ++variable) {
        const std::string entry = *variable;
        const std::string name = entry.substr(0, entry.find('='));
        if (name != "LD_PRELOAD" && name != "SDL_AUDIODRIVER" && name != "SDL_VIDEODRIVER") {
            variables.push_back(entry);
        }
    }
    std::vector<char*> environment;
    for (std::string& variable : variables) {
        environment.push_back(variable.data());
    }
    environment.push_back(nullptr);
    char program[] = KELPWAX_SHOW_PROGRAM;
    char* arguments[] = {program, nullptr};

    const auto start = std::chrono::steady_clock::now();
    pid_t child = -1;
    const int spawned = posix_spawn(&child, program, &actions, nullptr, arguments, environment.data());
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    std::string stamp;
    char buffer[64];
    for (ssize_t got; (got = read(output[0], buffer, sizeof buffer)) > 0;) {
        stamp.append(buffer, static_cast<std::size_t>(got));
    }
    close(output[0]);
    if (spawned != 0) {
        return -1;
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (stamp.empty()) {
        return -1;
    }
    const std::chrono::steady_clock::time_point presented{std::chrono::nanoseconds(std::atoll(stamp.c_str()))};
    return std::chrono::duration<double>(presented - start).count();
}

void ShowToFirstFrame(benchmark::State& state)
{
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("needs an X display in DISPLAY (Xvfb will do)");
        return;
    }
    enterShowDataDirectory();
    std::vector<double> milliseconds;
    for (auto _ : state) {
        const double seconds = secondsToFirstFrame();
        if (seconds < 0) {
            state.SkipWithError("the show ended without presenting a frame");
            return;
        }
        state.SetIterationTime(seconds);
        milliseconds.push_back(seconds * 1000);
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    state.counters["fastest_ms"] = milliseconds.front();
    state.counters["median_ms"] = milliseconds[milliseconds.size() / 2];
    state.counters["slowest_ms"] = milliseconds.back();
}
BENCHMARK(ShowToFirstFrame)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

}  // namespace
