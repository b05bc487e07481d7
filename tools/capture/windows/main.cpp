// kelpwax-capture.exe: the capture tool's single-frame mode on Windows, and a
// frame-rate measurement. Renders with the Direct3D 9 device on a hidden window
// and reads the back buffer back before it would be presented, so the pictures
// can be set beside the OpenGL device's.
//
//   kelpwax-capture.exe --at SECONDS... -o DIR|FILE.png   single frames as PNG
//   kelpwax-capture.exe --fps-at SECONDS                  start-up time and frames per second there
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <stb/stb_image_write.h>

#include "app/startup.h"
#include "platform/windows/d3d9_device.h"
#include "platform/windows/win32_window.h"

namespace {

const char* kUsage =
    "usage: kelpwax-capture --at SECONDS... -o DIR|FILE.png\n"
    "       kelpwax-capture --fps-at SECONDS\n"
    "Renders frames at these play positions with the Direct3D 9 device and writes them as PNG,\n"
    "or measures start-up and the frame rate at one position. Run it in the show's working\n"
    "directory so it finds the data files.\n";

using Clock = std::chrono::steady_clock;
constexpr double kMeasureSeconds = 5.0;

bool isNumber(const char* text)
{
    char* end = nullptr;
    std::strtof(text, &end);
    return end != text && *end == '\0';
}

struct Options {
    std::vector<float> positions;
    std::string output;
    bool measureFrameRate = false;
};

bool parseArguments(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--at") {
            while (i + 1 < argc && isNumber(argv[i + 1])) {
                options.positions.push_back(std::strtof(argv[++i], nullptr));
            }
        } else if (argument == "--fps-at" && i + 1 < argc && isNumber(argv[i + 1])) {
            options.positions.push_back(std::strtof(argv[++i], nullptr));
            options.measureFrameRate = true;
        } else if (argument == "-o" && i + 1 < argc) {
            options.output = argv[++i];
        } else {
            std::fprintf(stderr, "kelpwax-capture: unexpected or invalid argument \"%s\"\n%s", argument.c_str(),
                         kUsage);
            return false;
        }
    }
    if (options.measureFrameRate ? options.positions.size() != 1
                                 : options.positions.empty() || options.output.empty()) {
        std::fprintf(stderr, "kelpwax-capture: give --at SECONDS... with -o DIR|FILE.png, or --fps-at SECONDS\n%s",
                     kUsage);
        return false;
    }
    return true;
}

// Whole frames at one position, each finished, for a few seconds.
double framesPerSecond(D3d9Device& device, const ShowAssets& assets, const BeatClock& clock)
{
    const Clock::time_point start = Clock::now();
    int frameCount = 0;
    double elapsed = 0;
    do {
        drawFrame(device, assets, clock);
        device.finish();
        ++frameCount;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < kMeasureSeconds);
    return frameCount / elapsed;
}

}  // namespace

int main(int argc, char** argv)
{
    const Clock::time_point start = Clock::now();
    Options options;
    if (!parseArguments(argc, argv, options)) {
        return 2;
    }
    std::string error;
    const std::unique_ptr<Win32Window> window =
        Win32Window::open(GetModuleHandleA(nullptr), WindowMode::hidden, SW_HIDE, error);
    std::unique_ptr<D3d9Native> native = window ? D3d9Native::create(window->handle(), false, error) : nullptr;
    if (!native) {
        std::fprintf(stderr, "kelpwax-capture: %s\n", error.c_str());
        return 1;
    }
    D3d9Device device(std::move(native), false);
    const ShowAssets assets = ShowStartup().run(device, nullptr).assets;

    if (options.measureFrameRate) {
        const BeatClock clock = BeatClock::fromSeconds(options.positions.front());
        drawFrame(device, assets, clock);
        device.finish();
        const double startUpSeconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf("start-up to the first frame: %.0f ms; %.1f frames per second at %.2f s\n", startUpSeconds * 1000,
                    framesPerSecond(device, assets, clock), options.positions.front());
        return 0;
    }

    const std::filesystem::path outputPath(options.output);
    const bool singleFile = outputPath.extension() == ".png" && options.positions.size() == 1;
    if (!singleFile) {
        std::error_code ignored;
        std::filesystem::create_directories(outputPath, ignored);
    }
    std::vector<std::uint8_t> pixels;
    for (const float seconds : options.positions) {
        drawFrame(device, assets, BeatClock::fromSeconds(seconds));
        if (!device.readBackBuffer(pixels, error)) {
            std::fprintf(stderr, "kelpwax-capture: %s\n", error.c_str());
            return 1;
        }
        std::string path = options.output;
        if (!singleFile) {
            char name[64];
            std::snprintf(name, sizeof name, "frame-%09.3f.png", seconds);
            path = (outputPath / name).string();
        }
        if (!stbi_write_png(path.c_str(), kTargetWidth, kTargetHeight, 4, pixels.data(), kTargetWidth * 4)) {
            std::fprintf(stderr, "kelpwax-capture: cannot write \"%s\"\n", path.c_str());
            return 1;
        }
        std::printf("%s\n", path.c_str());
    }
    return 0;
}
