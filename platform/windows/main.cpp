// The show's entry point on Windows: start-up in a fixed order, then one frame
// after another until the music passes beat 400, a key is pressed or the
// window closes. Built twice: KELPWAX_FULLSCREEN picks the full-screen presentation.
#include <windows.h>

#include "app/frame_loop.h"
#include "app/show.h"
#include "music/music_stream.h"
#include "platform/windows/d3d9_device.h"
#include "platform/windows/waveout_audio_output.h"
#include "platform/windows/win32_window.h"

#ifndef KELPWAX_FULLSCREEN
#define KELPWAX_FULLSCREEN 0
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    PictureDecoding pictures = startDecodingShowPictures();
    constexpr WindowMode mode = KELPWAX_FULLSCREEN ? WindowMode::fullscreen : WindowMode::windowed;
    std::string error;
    const std::unique_ptr<Win32Window> window = Win32Window::open(instance, mode, showCommand, error);
    if (!window) {
        reportStartupFailure(error);
        return 1;
    }
    std::unique_ptr<D3d9Native> native = D3d9Native::create(window->handle(), KELPWAX_FULLSCREEN, error);
    if (!native) {
        reportStartupFailure(error);
        return 1;
    }
    D3d9Device device(std::move(native), true);
    const ShowAssets assets = loadShowAssets(device, pictures);
    const std::unique_ptr<MusicStream> music = MusicStream::open("quirn.ogg", openWaveOutAudioOutput);
    music->play();
    setBlendFactors(device);

    return runFrameLoop(device, assets,
                        {[&] { return window->drainEvents(); }, [&] { return music->positionSeconds(); }});
}
