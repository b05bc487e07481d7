// kelpwax-capture.exe --at SECONDS... -o DIR|FILE.png: the capture tool's
// single-frame mode on Windows. Renders with the Direct3D 9 device on a hidden
// window and reads the back buffer back before it would be presented, so the
// pictures can be set beside the OpenGL device's.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <stb/stb_image_write.h>

#include "app/show.h"
#include "platform/windows/d3d9_device.h"
#include "platform/windows/win32_window.h"

namespace {

const char* kUsage =
    "usage: kelpwax-capture --at SECONDS... -o DIR|FILE.png\n"
    "Renders frames at these play positions with the Direct3D 9 device and writes them as PNG.\n"
    "Run it in the show's working directory so it finds the data files.\n";

bool parseArguments(int argc, char** argv, std::vector<float>& positions, std::string& output)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--at") {
            char* end = nullptr;
            while (i + 1 < argc && (std::strtof(argv[i + 1], &end), end != argv[i + 1] && *end == '\0')) {
                positions.push_back(std::strtof(argv[++i], nullptr));
            }
        } else if (argument == "-o" && i + 1 < argc) {
            output = argv[++i];
        } else {
            std::fprintf(stderr, "kelpwax-capture: unexpected or invalid argument \"%s\"\n%s", argument.c_str(),
                         kUsage);
            return false;
        }
    }
    if (positions.empty() || output.empty()) {
        std::fprintf(stderr, "kelpwax-capture: give --at SECONDS... and -o DIR|FILE.png\n%s", kUsage);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<float> positions;
    std::string output;
    if (!parseArguments(argc, argv, positions, output)) {
        return 2;
    }
    const std::filesystem::path outputPath(output);
    const bool singleFile = outputPath.extension() == ".png" && positions.size() == 1;
    if (!singleFile) {
        std::error_code ignored;
        std::filesystem::create_directories(outputPath, ignored);
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
    const ShowAssets assets = loadShowAssets(device);
    setBlendFactors(device);

    std::vector<std::uint8_t> pixels;
    for (const float seconds : positions) {
        drawFrame(device, assets, BeatClock::fromSeconds(seconds));
        if (!device.readBackBuffer(pixels, error)) {
            std::fprintf(stderr, "kelpwax-capture: %s\n", error.c_str());
            return 1;
        }
        std::string path = output;
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
