// kelpwax-capture --at SECONDS... -o DIR|FILE.png
// Renders frames of the show at the given play positions with the real
// OpenGL device and no display, and writes them as 1280 × 720 PNGs. The show's
// own start-up and passes run unchanged; only the clock is given.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/gl_device.h"
#include "app/show.h"
#include "app/window.h"
#include "tools/capture/png_file.h"

namespace {

struct Options {
    std::vector<float> positions;
    std::string output;
};

bool parseSeconds(const char* text, float& seconds)
{
    char* end = nullptr;
    seconds = std::strtof(text, &end);
    return end != text && *end == '\0';
}

const char* kUsage =
    "usage: kelpwax-capture --at SECONDS... -o DIR|FILE.png\n"
    "Renders the show's frames at the given play positions to PNG files (1280 x 720).\n"
    "Run it in the show's working directory so it finds the data files.\n";

bool parseArguments(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--at") {
            float seconds = 0;
            while (i + 1 < argc && parseSeconds(argv[i + 1], seconds)) {
                options.positions.push_back(seconds);
                ++i;
            }
        } else if (argument == "-o" && i + 1 < argc) {
            options.output = argv[++i];
        } else {
            std::fprintf(stderr, "kelpwax-capture: unexpected argument \"%s\"\n%s", argv[i], kUsage);
            return false;
        }
    }
    if (options.positions.empty() || options.output.empty()) {
        std::fprintf(stderr, "%s", kUsage);
        return false;
    }
    return true;
}

// One file when the output names a .png and one position is given; otherwise a directory.
std::string framePath(const Options& options, float seconds)
{
    const std::filesystem::path output(options.output);
    if (output.extension() == ".png" && options.positions.size() == 1) {
        return output.string();
    }
    char name[64];
    std::snprintf(name, sizeof name, "frame-%09.3f.png", seconds);
    return (output / name).string();
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parseArguments(argc, argv, options)) {
        return 2;
    }
    const std::filesystem::path output(options.output);
    if (!(output.extension() == ".png" && options.positions.size() == 1)) {
        std::error_code ignored;
        std::filesystem::create_directories(output, ignored);
    }

    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    std::string error;
    const std::unique_ptr<Window> window = Window::open(WindowMode::hidden, error);
    if (!window) {
        std::fprintf(stderr, "kelpwax-capture: %s\n", error.c_str());
        return 1;
    }
    GlDevice device(nullptr);
    const ShowAssets assets = loadShowAssets(device);
    setBlendFactors(device);

    std::vector<std::uint8_t> pixels;
    for (float seconds : options.positions) {
        drawFrame(device, assets, BeatClock::fromSeconds(seconds));
        device.readRenderTarget(pixels);
        const std::string path = framePath(options, seconds);
        if (!writePng(path, kTargetWidth, kTargetHeight, pixels, error)) {
            std::fprintf(stderr, "kelpwax-capture: %s\n", error.c_str());
            return 1;
        }
        std::printf("%s\n", path.c_str());
    }
    return 0;
}
