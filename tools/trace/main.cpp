// kelpwax-trace SECONDS...: runs the show's start-up in the current directory
// against the recording device, then one frame per play position given, and
// prints every device call as a JSON line.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/startup.h"
#include "core/recording_device.h"
#include "tools/trace/trace_json.h"

namespace {

void printCalls(const std::vector<DeviceCall>& calls, bool atStartUp)
{
    for (const DeviceCall& call : calls) {
        std::printf("%s\n", callJson(call, atStartUp).c_str());
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: kelpwax-trace SECONDS...\n"
                     "Prints the device calls of one frame per play position, as JSON lines.\n"
                     "Run it in the show's working directory so it finds the data files.\n");
        return 2;
    }
    std::vector<float> positions;
    for (int i = 1; i < argc; ++i) {
        char* end = nullptr;
        const float seconds = std::strtof(argv[i], &end);
        if (end == argv[i] || *end != '\0') {
            std::fprintf(stderr, "kelpwax-trace: \"%s\" is not a number of seconds\n", argv[i]);
            return 2;
        }
        positions.push_back(seconds);
    }

    RecordingDevice device;
    const ShowAssets assets = ShowStartup().run(device, nullptr).assets;
    printCalls(device.takeCalls(), true);

    for (float seconds : positions) {
        const BeatClock clock = BeatClock::fromSeconds(seconds);
        std::printf("{\"frame\":{\"seconds\":%s,\"beatTime\":%s,\"beatPhase\":%s,\"beatIndex\":%d}}\n",
                    jsonFloat(seconds).c_str(), jsonFloat(clock.beatTime).c_str(), jsonFloat(clock.beatPhase).c_str(),
                    clock.beatIndex);
        drawFrame(device, assets, clock);
        printCalls(device.takeCalls(), false);
    }
    return 0;
}
