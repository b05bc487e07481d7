// kelpwax-capture: renders the show without a display, with the real OpenGL
// device. The show's own start-up and passes run unchanged; only the clock is
// given instead of read from the audio device.
//
//   kelpwax-capture --at SECONDS... -o DIR|FILE.png   single frames as PNG
//   kelpwax-capture --video FILE.mp4|FILE.webm         the show as a video, with its music
//   kelpwax-capture --png DIR                          the show as a numbered PNG sequence
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/startup.h"
#include "assets/show_data_files.h"
#include "platform/gl/gl_device.h"
#include "platform/linux/sdl_window.h"
#include "tools/capture/frame_range.h"
#include "tools/capture/frame_writer.h"
#include "tools/capture/interruption.h"
#include "tools/capture/png_file.h"
#include "tools/capture/progress.h"

namespace {

const char* kUsage =
    "usage: kelpwax-capture --at SECONDS... -o DIR|FILE.png\n"
    "       kelpwax-capture --video FILE.mp4|FILE.webm [options]\n"
    "       kelpwax-capture --png DIR [options]\n"
    "Renders the show without a display. Run it in the show's working directory\n"
    "(build/data) so it finds the data files.\n"
    "  --at SECONDS...   render single frames at these play positions (with -o)\n"
    "  --video FILE      the whole show as an H.264 MP4 or VP9 WebM, music included (needs ffmpeg)\n"
    "                    H.264 at preset ultrafast, CRF 20: veryfast CRF 18's PSNR, a third of its CPU, 1.9x size\n"
    "  --png DIR         the whole show as frame-NNNNNN.png files\n"
    "  --fps N           frames per second of the export (default 60)\n"
    "  --from SECONDS    start the export here (default 0)\n"
    "  --to SECONDS      end the export here (default: the show's last frame)\n"
    "  --supersample N   render at N x 1280 x 720 and average down (default 1)\n";

struct Options {
    std::vector<float> positions;
    std::string output;
    std::string video;
    std::string pngDirectory;
    int fps = 60;
    std::optional<double> from;
    std::optional<double> to;
    int supersample = 1;
};

bool parseNumber(const char* text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(value);
}

bool parseArguments(int argc, char** argv, Options& options)
{
    const auto fail = [&](const std::string& why) {
        std::fprintf(stderr, "kelpwax-capture: %s\n%s", why.c_str(), kUsage);
        return false;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        double number = 0;
        if (argument == "--at") {
            while (i + 1 < argc && parseNumber(argv[i + 1], number)) {
                options.positions.push_back(static_cast<float>(number));
                ++i;
            }
        } else if (argument == "-o" && hasValue) {
            options.output = argv[++i];
        } else if (argument == "--video" && hasValue) {
            options.video = argv[++i];
        } else if (argument == "--png" && hasValue) {
            options.pngDirectory = argv[++i];
        } else if (argument == "--fps" && hasValue && parseNumber(argv[++i], number) && number >= 1 && number <= 1000 &&
                   number == static_cast<int>(number)) {
            options.fps = static_cast<int>(number);
        } else if (argument == "--from" && hasValue && parseNumber(argv[++i], number)) {
            options.from = number;
        } else if (argument == "--to" && hasValue && parseNumber(argv[++i], number)) {
            options.to = number;
        } else if (argument == "--supersample" && hasValue && parseNumber(argv[++i], number) && number >= 1 &&
                   number <= 8 && number == static_cast<int>(number)) {
            options.supersample = static_cast<int>(number);
        } else {
            return fail("unexpected or invalid argument \"" + argument + "\"");
        }
    }
    const int modes = !options.positions.empty() + !options.video.empty() + !options.pngDirectory.empty();
    if (modes != 1) {
        return fail("give exactly one of --at, --video and --png");
    }
    if (!options.positions.empty() && options.output.empty()) {
        return fail("--at needs -o DIR or -o FILE.png");
    }
    return true;
}

// The show's device on a hidden window, with everything start-up loads.
struct Renderer {
    std::unique_ptr<SdlWindow> window;
    std::unique_ptr<GlDevice> device;
    ShowAssets assets;
};

bool startRenderer(int renderScale, Renderer& renderer)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    std::string error;
    renderer.window = SdlWindow::open(WindowMode::hidden, error);
    if (!renderer.window) {
        std::fprintf(stderr, "kelpwax-capture: %s\n", error.c_str());
        return false;
    }
    renderer.device = std::make_unique<GlDevice>(nullptr, renderScale);
    renderer.assets = ShowStartup().run(*renderer.device, nullptr).assets;
    return true;
}

int captureSingleFrames(const Options& options)
{
    const std::filesystem::path output(options.output);
    const bool singleFile = output.extension() == ".png" && options.positions.size() == 1;
    if (!singleFile) {
        std::error_code ignored;
        std::filesystem::create_directories(output, ignored);
    }
    Renderer renderer;
    if (!startRenderer(1, renderer)) {
        return 1;
    }
    std::vector<std::uint8_t> pixels;
    for (float seconds : options.positions) {
        if (interruptingSignal()) {
            return reportInterruption("");
        }
        drawFrame(*renderer.device, renderer.assets, BeatClock::fromSeconds(seconds));
        renderer.device->readRenderTarget(pixels);
        std::string path = output.string();
        if (!singleFile) {
            char name[64];
            std::snprintf(name, sizeof name, "frame-%09.3f.png", seconds);
            path = (output / name).string();
        }
        std::string error;
        if (!writePng(path, kTargetWidth, kTargetHeight, pixels, error)) {
            std::fprintf(stderr, "kelpwax-capture: %s\n", error.c_str());
            return 1;
        }
        std::printf("%s\n", path.c_str());
    }
    return 0;
}

int exportShow(const Options& options)
{
    const std::optional<FrameRange> range = exportFrameRange(options.fps, options.from, options.to);
    if (!range) {
        std::fprintf(stderr, "kelpwax-capture: --from and --to leave no frame to export\n");
        return 2;
    }
    std::string error;
    std::unique_ptr<FrameSink> sink;
    if (!options.video.empty()) {
        VideoOptions video;
        video.output = options.video;
        video.fps = options.fps;
        video.startSeconds = static_cast<double>(range->first) / options.fps;
        video.durationSeconds = static_cast<double>(range->count()) / options.fps;
        if (std::filesystem::exists(kMusicFile)) {
            video.music = kMusicFile;
        } else {
            std::fprintf(stderr, "kelpwax-capture: no %s in the working directory: the video has no sound\n",
                         kMusicFile);
        }
        sink = openVideoFile(video, error);
    } else {
        sink = openPngSequence(options.pngDirectory, range->first, error);
    }
    if (!sink) {
        std::fprintf(stderr, "kelpwax-capture: %s\n", error.c_str());
        return 1;
    }
    Renderer renderer;
    if (!startRenderer(options.supersample, renderer)) {
        return 1;
    }
    const std::string output = options.video.empty() ? options.pngDirectory : options.video;
    GlDevice& device = *renderer.device;
    FrameWriter writer(std::move(sink), options.supersample);
    ProgressBar progress(range->count(), options.fps);

    // Frames are read back through a ring of buffers: frame n is collected
    // while frames n + 1 and n + 2 are being drawn.
    constexpr int kReadbacksInFlight = 3;
    double renderSeconds = 0, readbackSeconds = 0;
    const auto exportStart = std::chrono::steady_clock::now();
    const auto collect = [&](std::int64_t index) {
        const auto start = std::chrono::steady_clock::now();
        std::vector<std::uint8_t> buffer = writer.takeBuffer();
        device.finishReadback(static_cast<int>(index % kReadbacksInFlight), buffer);
        readbackSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return writer.submit(std::move(buffer));
    };
    bool written = true;
    for (std::int64_t index = 0; index < range->count() && written && !interruptingSignal(); ++index) {
        const auto start = std::chrono::steady_clock::now();
        drawFrame(device, renderer.assets, BeatClock::fromSeconds(framePosition(range->first + index, options.fps)));
        device.startReadback(static_cast<int>(index % kReadbacksInFlight));
        renderSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (index >= kReadbacksInFlight - 1) {
            written = collect(index - (kReadbacksInFlight - 1));
        }
        progress.update(index + 1);
    }
    for (std::int64_t index = std::max<std::int64_t>(0, range->count() - (kReadbacksInFlight - 1));
         index < range->count() && written && !interruptingSignal(); ++index) {
        written = collect(index);
    }
    if (interruptingSignal() || !writer.finish(error)) {
        const std::string removed = writer.abandon();
        if (interruptingSignal()) {
            return reportInterruption(removed);
        }
        std::fprintf(stderr, "\nkelpwax-capture: %s%s%s\n", error.c_str(), removed.empty() ? "" : "; ",
                     removed.c_str());
        return 1;
    }
    progress.finish();
    const double totalSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - exportStart).count();
    const double showSeconds = static_cast<double>(range->count()) / options.fps;
    const std::string writingThreads =
        writer.threadCount() == 1 ? "on its own thread" : "on " + std::to_string(writer.threadCount()) + " threads";
    std::fprintf(stderr,
                 "kelpwax-capture: %lld frames (%.2f s of show) in %.2f s, %.2fx real time; "
                 "rendering %.2f s, reading back %.2f s, encoding and writing %.2f s (%s)\n",
                 static_cast<long long>(range->count()), showSeconds, totalSeconds, showSeconds / totalSeconds,
                 renderSeconds, readbackSeconds, writer.secondsWriting(), writingThreads.c_str());
    std::printf("%s\n", output.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    Options options;
    if (!parseArguments(argc, argv, options)) {
        return 2;
    }
    catchInterruptions();
    return options.positions.empty() ? exportShow(options) : captureSingleFrames(options);
}
