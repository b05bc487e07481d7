#include "app/frame_loop.h"

int runFrameLoop(Device& device, const ShowAssets& assets, const FrameSources& sources)
{
    for (;;) {
        const bool stopRequested = sources.drainEvents();
        const BeatClock clock = BeatClock::fromSeconds(sources.positionSeconds());
        drawFrame(device, assets, clock);
        if (showHasEnded(clock) || stopRequested) {
            return 0;
        }
    }
}
