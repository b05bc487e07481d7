#include "app/frame_loop.h"

bool runFrame(Device& device, const ShowAssets& assets, const FrameSources& sources)
{
    const bool stopRequested = sources.drainEvents();
    const BeatClock clock = BeatClock::fromSeconds(sources.positionSeconds());
    drawFrame(device, assets, clock);
    return !showHasEnded(clock) && !stopRequested;
}

int runFrameLoop(Device& device, const ShowAssets& assets, const FrameSources& sources)
{
    while (runFrame(device, assets, sources)) {}
    return 0;
}
