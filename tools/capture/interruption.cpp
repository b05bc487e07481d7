#include "tools/capture/interruption.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

volatile std::sig_atomic_t caughtSignal = 0;

extern "C" void noteSignal(int signal)
{
    caughtSignal = signal;
}

}  // namespace

void catchInterruptions()
{
    setenv("SDL_NO_SIGNAL_HANDLERS", "1", 1);
    struct sigaction action {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int interruptingSignal()
{
    return caughtSignal;
}

int reportInterruption(const std::string& removed)
{
    const int signal = caughtSignal;
    const char* name = signal == SIGINT ? "Ctrl-C (SIGINT)" : "SIGTERM";
    std::fprintf(stderr, "\nkelpwax-capture: interrupted by %s%s%s\n", name, removed.empty() ? "" : "; ",
                 removed.c_str());
    return 128 + signal;
}
