// The show's entry point: start-up in a fixed order, then one frame after
// another until the music passes beat 400, a key is pressed or the window closes.
// Built twice: KELPWAX_FULLSCREEN picks the full-screen presentation.
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <vector>

#include "app/command_line.h"
#include "app/data_folder.h"
#include "app/frame_loop.h"
#include "app/show.h"
#include "music/music_stream.h"
#include "platform/gl/gl_device.h"
#include "platform/linux/sdl_audio_output.h"
#include "platform/linux/sdl_window.h"

#ifndef KELPWAX_FULLSCREEN
#define KELPWAX_FULLSCREEN 0
#endif

namespace {

constexpr std::size_t kLoadingBytes = std::size_t{512} << 20;

// Loading writes a few hundred megabytes of fresh memory: the decoded pictures,
// their mip levels and the textures they are copied into. In 4 KiB pages that
// is tens of thousands of page faults, about a third of start-up's CPU time; in
// 2 MiB pages it is a few hundred. So while loading, every allocation of every
// thread comes from the one heap, grown once by enough for all of it and
// marked for huge pages. Nothing is touched until it is used.
void reserveLoadingHeap()
{
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 2 * kLoadingBytes);
    const auto pageMask = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE) - 1);
    const auto oldEnd = (reinterpret_cast<std::uintptr_t>(sbrk(0)) + pageMask) & ~pageMask;
    void* volatile growth = std::malloc(kLoadingBytes);
    std::free(growth);
    const auto newEnd = reinterpret_cast<std::uintptr_t>(sbrk(0));
    if (newEnd > oldEnd) {
        madvise(reinterpret_cast<void*>(oldEnd), newEnd - oldEnd, MADV_HUGEPAGE);
    }
}

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

// Back to the allocator's usual ways, giving back all that loading left free.
void releaseLoadingHeap()
{
    mallopt(M_MMAP_MAX, 65536);
    mallopt(M_TRIM_THRESHOLD, 128 * 1024);
    malloc_trim(0);
}

}  // namespace

int main(int argc, char** argv)
{
    if (const std::optional<int> exitCode = answerArguments(argc, argv)) {
        return *exitCode;
    }
    enterShowDataFolder(dataFoldersBesideProgram());
    reserveLoadingHeap();
    // The pictures decode on worker threads while the window opens; each is freed once uploaded.
    PictureDecoding pictures = startDecodingShowPictures();
    constexpr WindowMode mode = KELPWAX_FULLSCREEN ? WindowMode::fullscreen : WindowMode::windowed;
    std::string error;
    std::unique_ptr<Window> window = Window::open(mode, error);
    if (!window) {
        std::fprintf(stderr, "kelpwax: %s\n", error.c_str());
        return 1;
    }
    GlDevice device(window.get());
    // A key or a closed window while loading ends the program there and then:
    // the desktop gets its display back, and the loading threads go with the process.
    const ShowAssets assets = loadShowAssets(device, pictures, [&] {
        if (window->drainEvents()) {
            window.reset();
            std::_Exit(0);
        }
    });
    releaseLoadingHeap();
    const std::unique_ptr<MusicStream> music = MusicStream::open("quirn.ogg", openSdlAudioOutput);
    music->play();
    setBlendFactors(device);

    return runFrameLoop(device, assets,
                        {[&] { return window->drainEvents(); }, [&] { return music->positionSeconds(); },
                         [&] { return window->lastPresentation(); }});
}
