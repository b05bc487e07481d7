// Ctrl-C and SIGTERM during a capture: the tool notices them between frames and
// while it waits for its encoder, stops, removes what it had not finished and
// exits with 128 + the signal.
#pragma once

#include <string>

// Takes SIGINT and SIGTERM from here on (SDL is asked to leave them alone).
void catchInterruptions();
// The signal that asked the tool to stop, or 0.
int interruptingSignal();
// Says so on stderr, with what was removed ("removed ..." or ""), and returns the exit code for it.
int reportInterruption(const std::string& removed);
