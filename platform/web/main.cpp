// The show in a web page: start-up as on the desktop, then it waits for a click
// or key (browsers start sound only after one), plays one frame per animation
// frame, and when it ends leaves the last frame up with a way to play it again.
// The viewer plays it in the page or full screen; leaving full screen ends the
// show as a key does. A frame drawn in one animation frame reaches the screen
// a few animation frames later, so each frame shows the music as it will be
// heard then, predicted from the latest frames. A lost WebGL context pauses
// the picture (the music plays on) until the browser restores it, when
// everything is uploaded again.
// Options come from the page's address, for tests: --at SECONDS holds the clock
// there, silent; --speed FACTOR runs the silent wall clock that many times faster.
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <utility>

#include "app/frame_loop.h"
#include "app/startup.h"
#include "platform/web/web_audio_output.h"
#include "platform/web/web_canvas.h"

namespace {

// What the page shows around the canvas: the prompt to start, nothing while
// the show runs, "Play again" once it has ended.
enum class Stage { waiting, running, ended };

// How many animation frames after its own a frame reaches the screen.
constexpr int kAnimationFramesToScreen = 3;

EM_JS(void, pageShowStage, (const char* stage), { kelpwaxPage.showStage(UTF8ToString(stage)); });
EM_JS(void, pageFail, (const char* message), { kelpwaxPage.fail(UTF8ToString(message)); });
EM_JS(void, pageShowGraphicsLost, (bool lost), { kelpwaxPage.showGraphicsLost(lost); });
EM_JS(bool, pagePrefersFullScreen, (), { return kelpwaxPage.prefersFullScreen; });
EM_JS(void, pageEnterFullScreen, (), { kelpwaxPage.enterFullScreen(); });
EM_JS(void, pageLeaveFullScreen, (), { kelpwaxPage.leaveFullScreen(); });

struct Options {
    std::optional<float> heldAtSeconds;
    float speed = 1;
};

Options parseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const float value = std::strtof(argv[i + 1], nullptr);
        if (std::strcmp(argv[i], "--at") == 0) {
            options.heldAtSeconds = value;
        } else if (std::strcmp(argv[i], "--speed") == 0 && value > 0) {
            options.speed = value;
        }
    }
    return options;
}

std::unique_ptr<AudioOutput> noAudioOutput(int, AudioSource&, std::string& failure)
{
    failure = "sound is off while the clock runs at another speed";
    return nullptr;
}

struct WebShow {
    Options options;
    std::unique_ptr<WebCanvas> canvas;
    std::unique_ptr<GlDevice> device;  // null while the WebGL context is lost
    ShowAssets assets;
    std::unique_ptr<MusicStream> music;
    Stage stage = Stage::waiting;
    bool fullScreen = false;  // how the show was last started
    bool stopRequested = false;
    bool framesRequested = false;
    float shownSeconds = 0;  // the play position of the last frame drawn
    PresentationDelay presentationDelay;
    std::chrono::steady_clock::time_point frameBegan{};  // the latest animation frame's time

    void setStage(Stage next)
    {
        stage = next;
        pageShowStage(next == Stage::waiting ? "waiting" : next == Stage::running ? "running" : "ended");
    }

    float positionSeconds() const
    {
        if (options.heldAtSeconds) {
            return *options.heldAtSeconds;
        }
        return music ? music->positionSeconds() * options.speed : shownSeconds;
    }

    void upload()
    {
        device = std::make_unique<GlDevice>(canvas.get());
        assets = ShowStartup().load(*device);
    }

    void requestFrames()
    {
        if (!framesRequested && device) {
            framesRequested = true;
            emscripten_request_animation_frame_loop(&WebShow::animationFrame, this);
        }
    }

    // Runs inside the click or key handler, so the browser lets the sound
    // start and the page go full screen.
    void start(bool inFullScreen)
    {
        fullScreen = inFullScreen;
        if (fullScreen) {
            pageEnterFullScreen();
        }
        if (!options.heldAtSeconds) {
            music.reset();  // one audio context at a time
            music = playMusic(options.speed == 1 ? openWebAudioOutput : noAudioOutput);
        }
        if (device) {
            setBlendFactors(*device);
        }
        stopRequested = false;
        setStage(Stage::running);
        requestFrames();
    }

    void end()
    {
        music.reset();
        setStage(Stage::ended);
        if (fullScreen) {
            pageLeaveFullScreen();
        }
    }

    static EM_BOOL animationFrame(double frameMilliseconds, void* self)
    {
        auto& show = *static_cast<WebShow*>(self);
        if (show.stage != Stage::running || !show.device) {
            show.framesRequested = false;
            return EM_FALSE;
        }
        // The animation frame's time, on the page's clock, is when the browser began it: a moment ago.
        show.frameBegan =
            std::chrono::steady_clock::now() -
            std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::duration<double, std::milli>(emscripten_performance_now() - frameMilliseconds));
        show.canvas->fitToPage();
        // The browser draws and composites a frame while the page runs the
        // next ones: a frame is on the screen by the start of the third
        // animation frame after it. A held clock shows its position as it is,
        // with no delay added.
        std::function<Presentation()> frameShown;
        if (!show.options.heldAtSeconds) {
            frameShown = [&] { return Presentation{show.frameBegan, kAnimationFramesToScreen}; };
        }
        const bool goesOn = runFrame(*show.device, show.assets,
                                     {[&] { return std::exchange(show.stopRequested, false); },
                                      [&] { return show.shownSeconds = show.positionSeconds(); }, frameShown},
                                     show.presentationDelay);
        if (!goesOn) {
            show.end();
            show.framesRequested = false;
        }
        return goesOn;
    }

    static EM_BOOL keyDown(int, const EmscriptenKeyboardEvent* event, void* self)
    {
        auto& show = *static_cast<WebShow*>(self);
        // A key held down from the start would otherwise end the show at once by repeating.
        if (event->repeat) {
            return EM_FALSE;
        }
        if (show.stage == Stage::waiting) {
            show.start(pagePrefersFullScreen() || std::strcmp(event->code, "KeyF") == 0);
        } else if (show.stage == Stage::running) {
            show.stopRequested = true;
            if (!show.device) {
                show.end();  // no frame runs to see the request while the context is lost
            }
        }
        return EM_FALSE;
    }

    static EM_BOOL click(int, const EmscriptenMouseEvent*, void* self)
    {
        auto& show = *static_cast<WebShow*>(self);
        if (show.stage == Stage::waiting) {
            show.start(pagePrefersFullScreen());
        }
        return EM_FALSE;
    }

    static EM_BOOL fullScreenChange(int, const EmscriptenFullscreenChangeEvent* event, void* self)
    {
        auto& show = *static_cast<WebShow*>(self);
        if (!event->isFullscreen && show.fullScreen && show.stage == Stage::running) {
            show.stopRequested = true;
            if (!show.device) {
                show.end();
            }
        }
        return EM_FALSE;
    }

    // A resized canvas loses its picture; while no frames run, show the last one again.
    static EM_BOOL resize(int, const EmscriptenUiEvent*, void* self)
    {
        auto& show = *static_cast<WebShow*>(self);
        if (show.stage != Stage::running && show.device) {
            show.canvas->fitToPage();
            show.device->Present();
        }
        return EM_FALSE;
    }

    // Every texture, mesh and buffer went with the context. Deleting them on a
    // lost context does nothing, so the device goes now, before a restored
    // context could take the old names for its own. True lets the browser restore it.
    static EM_BOOL contextLost(int, const void*, void* self)
    {
        auto& show = *static_cast<WebShow*>(self);
        std::fprintf(stderr, "kelpwax: the WebGL context was lost; the picture waits for the browser to restore it\n");
        show.assets = {};
        show.device.reset();
        pageShowGraphicsLost(true);
        return EM_TRUE;
    }

    static EM_BOOL contextRestored(int, const void*, void* self)
    {
        auto& show = *static_cast<WebShow*>(self);
        std::fprintf(stderr, "kelpwax: the WebGL context is back; uploading the show again\n");
        show.canvas->fitToPage();
        show.upload();
        pageShowGraphicsLost(false);
        if (show.stage != Stage::waiting) {
            setBlendFactors(*show.device);
        }
        if (show.stage == Stage::running) {
            show.requestFrames();
        } else if (show.stage == Stage::ended) {
            drawFrame(*show.device, show.assets, BeatClock::fromSeconds(show.shownSeconds));
        }
        return EM_FALSE;
    }
};

// The show lives as long as the page; main returns to the browser's event loop.
WebShow* theShow = nullptr;

}  // namespace

// The page's buttons: 1 plays full screen, 0 in the page, -1 the way it was last played.
extern "C" EMSCRIPTEN_KEEPALIVE void kelpwaxPlay(int fullScreen)
{
    if (theShow && theShow->stage != Stage::running) {
        theShow->start(fullScreen < 0 ? theShow->fullScreen : fullScreen != 0);
    }
}

// For tests: the play position of the frame last drawn, and the clock's now.
extern "C" EMSCRIPTEN_KEEPALIVE float kelpwaxShownSeconds()
{
    return theShow ? theShow->shownSeconds : 0;
}

extern "C" EMSCRIPTEN_KEEPALIVE float kelpwaxMusicSeconds()
{
    return theShow ? theShow->positionSeconds() : 0;
}

int main(int argc, char** argv)
{
    auto show = std::make_unique<WebShow>();
    show->options = parseOptions(argc, argv);
    std::string error;
    show->canvas = WebCanvas::open(error);
    if (!show->canvas) {
        std::fprintf(stderr, "kelpwax: %s\n", error.c_str());
        pageFail(error.c_str());
        return 1;
    }
    show->upload();

    theShow = show.release();
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, theShow, EM_FALSE, &WebShow::keyDown);
    emscripten_set_click_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, theShow, EM_FALSE, &WebShow::click);
    emscripten_set_resize_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, theShow, EM_FALSE, &WebShow::resize);
    emscripten_set_fullscreenchange_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, theShow, EM_FALSE,
                                             &WebShow::fullScreenChange);
    emscripten_set_webglcontextlost_callback(WebCanvas::kSelector, theShow, EM_FALSE, &WebShow::contextLost);
    emscripten_set_webglcontextrestored_callback(WebCanvas::kSelector, theShow, EM_FALSE, &WebShow::contextRestored);
    if (theShow->options.heldAtSeconds) {
        theShow->start(false);
    } else {
        theShow->setStage(Stage::waiting);
    }
    return 0;
}
