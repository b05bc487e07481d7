// Loaded into the show with LD_PRELOAD by the ShowToFirstFrame benchmark: once
// the first frame has been presented, it prints the monotonic clock in
// nanoseconds on stdout and ends the program.
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

extern "C" void SDL_GL_SwapWindow(void* window)
{
    using Swap = void (*)(void*);
    const auto swap = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
    if (swap) {
        swap(window);
    }
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::printf("%lld\n", static_cast<long long>(now.tv_sec) * 1'000'000'000 + now.tv_nsec);
    std::fflush(stdout);
    _exit(0);
}
