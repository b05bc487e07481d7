// The show's entry point: start-up in a fixed order, then one frame after
// another until the music passes beat 400, a key is pressed or the window closes.
// Built twice: KELPWAX_FULLSCREEN picks the full-screen presentation.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <vector>

#include "app/command_line.h"
#include "app/data_folder.h"
#include "app/frame_loop.h"
#include "app/startup.h"
#include "platform/gl/gl_device.h"
#include "platform/linux/sdl_audio_output.h"
#include "platform/linux/sdl_window.h"

#ifndef KELPWAX_FULLSCREEN
#define KELPWAX_FULLSCREEN 0
#endif

namespace {

// The folder that holds the program, then ../share/kelpwax beside it, where the packages put the data.
std::vector<std::filesystem::path> dataFoldersBesideProgram()
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return {};
    }
    return {program.parent_path(), (program.parent_path() / "../share/kelpwax").lexically_normal()};
}

// Answers --help and --version; nullopt when the show should run.
std::optional<int> answerArguments(int argc, char** argv)
{
    const ProgramDescription program{
        KELPWAX_FULLSCREEN ? "kelpwax-fullscreen" : "kelpwax",
        KELPWAX_FULLSCREEN ? "on the whole screen, switched to 1280 x 720 where the display offers that mode"
                           : "in a 1280 x 720 window",
        "the folder that holds the program, then from ../share/kelpwax\nbeside that folder (where the packages put it)",
        "by itself, by a key, by closing the window, or on Ctrl-C or SIGTERM",
        "no window or OpenGL 3.3 context could be made; the message on stderr says what failed",
    };
    const std::optional<CommandLineAnswer> answer = answerCommandLine({argv + 1, argv + argc}, program);
    if (!answer) {
        return std::nullopt;
    }
    std::fputs(answer->text.c_str(), answer->exitCode == 0 ? stdout : stderr);
    return answer->exitCode;
}

}  // namespace

int main(int argc, char** argv)
{
    if (const std::optional<int> exitCode = answerArguments(argc, argv)) {
        return *exitCode;
    }
    enterShowDataFolder(dataFoldersBesideProgram());
    ShowStartup startup;
    constexpr WindowMode mode = KELPWAX_FULLSCREEN ? WindowMode::fullscreen : WindowMode::windowed;
    std::string error;
    std::unique_ptr<SdlWindow> window = SdlWindow::open(mode, error);
    if (!window) {
        std::fprintf(stderr, "kelpwax: %s\n", error.c_str());
        return 1;
    }
    GlDevice device(window.get());
    // A key or a closed window while loading ends the program there and then:
    // the desktop gets its display back, and the loading threads go with the process.
    const StartedShow show = startup.run(device, openSdlAudioOutput, [&] {
        if (window->drainEvents()) {
            window.reset();
            std::_Exit(0);
        }
    });

    return runFrameLoop(device, show.assets,
                        {[&] { return window->drainEvents(); }, [&] { return show.music->positionSeconds(); },
                         [&] { return window->lastPresentation(); }});
}
