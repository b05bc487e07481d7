// The show's entry point: start-up in a fixed order, then one frame after
// another until the music passes beat 400, a key is pressed or the window closes.
// Built twice: KELPWAX_FULLSCREEN picks the full-screen presentation.
#include <malloc.h>

#include <cstdio>
#include <cstdlib>

#include "app/frame_loop.h"
#include "app/show.h"
#include "music/music_stream.h"
#include "platform/gl/gl_device.h"
#include "platform/linux/sdl_audio_output.h"
#include "platform/linux/sdl_window.h"

#ifndef KELPWAX_FULLSCREEN
#define KELPWAX_FULLSCREEN 0
#endif

int main()
{
    // The pictures are decoded on worker threads and freed here once uploaded.
    // With one heap for every thread, each decode reuses the memory the last
    // one freed instead of touching fresh pages, and the loading thread can
    // give back what is left once all are uploaded.
    mallopt(M_ARENA_MAX, 1);
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
    malloc_trim(0);
    const std::unique_ptr<MusicStream> music = MusicStream::open("quirn.ogg", openSdlAudioOutput);
    music->play();
    setBlendFactors(device);

    return runFrameLoop(device, assets,
                        {[&] { return window->drainEvents(); }, [&] { return music->positionSeconds(); }});
}
