// The show in a web page: start-up as on the desktop, then it waits for a click
// or key (browsers start sound only after one), plays one frame per animation
// frame, and when it ends leaves the last frame up with a way to play it again.
// Options come from the page's address, for tests: --at SECONDS holds the clock
// there, silent; --speed FACTOR runs the silent wall clock that many times faster.
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

#include "app/frame_loop.h"
#include "app/show.h"
#include "music/music_stream.h"
#include "platform/web/web_audio_output.h"
#include "platform/web/web_canvas.h"

namespace {

// What the page shows around the canvas: the prompt to start, nothing while
// the show runs, "Play again" once it has ended.
enum class Stage { waiting, running, ended };

EM_JS(void, pageShowStage, (const char* stage), { kelpwaxPage.showStage(UTF8ToString(stage)); });
EM_JS(void, pageFail, (const char* message), { kelpwaxPage.fail(UTF8ToString(message)); });

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
    std::unique_ptr<GlDevice> device;
    ShowAssets assets;
    std::unique_ptr<MusicStream> music;
    Stage stage = Stage::waiting;
    bool stopRequested = false;

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
        return music->positionSeconds() * options.speed;
    }

    // Runs inside the click or key handler, so the browser lets the sound start.
    void start()
    {
        if (!options.heldAtSeconds) {
            music.reset();  // one audio context at a time
            music = MusicStream::open("quirn.ogg", options.speed == 1 ? openWebAudioOutput : noAudioOutput);
            music->play();
        }
        setBlendFactors(*device);
        stopRequested = false;
        setStage(Stage::running);
        emscripten_request_animation_frame_loop(&WebShow::animationFrame, this);
    }

    void end()
    {
        music.reset();
        setStage(Stage::ended);
    }

    static EM_BOOL animationFrame(double, void* self)
    {
        auto& show = *static_cast<WebShow*>(self);
        if (show.stage != Stage::running) {
            return EM_FALSE;
        }
        show.canvas->fitToPage();
        const bool goesOn = runFrame(
            *show.device, show.assets,
            {[&] { return std::exchange(show.stopRequested, false); }, [&] { return show.positionSeconds(); }});
        if (!goesOn) {
            show.end();
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
            show.start();
        } else if (show.stage == Stage::running) {
            show.stopRequested = true;
        }
        return EM_FALSE;
    }

    static EM_BOOL click(int, const EmscriptenMouseEvent*, void* self)
    {
        auto& show = *static_cast<WebShow*>(self);
        if (show.stage == Stage::waiting) {
            show.start();
        }
        return EM_FALSE;
    }

    // A resized canvas loses its picture; while no frames run, show the last one again.
    static EM_BOOL resize(int, const EmscriptenUiEvent*, void* self)
    {
        auto& show = *static_cast<WebShow*>(self);
        if (show.stage != Stage::running) {
            show.canvas->fitToPage();
            show.device->Present();
        }
        return EM_FALSE;
    }
};

// The show lives as long as the page; main returns to the browser's event loop.
WebShow* theShow = nullptr;

}  // namespace

// "Play again" on the page.
extern "C" EMSCRIPTEN_KEEPALIVE void kelpwaxPlayAgain()
{
    if (theShow && theShow->stage == Stage::ended) {
        theShow->start();
    }
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
    show->device = std::make_unique<GlDevice>(show->canvas.get());
    show->assets = loadShowAssets(*show->device);

    theShow = show.release();
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, theShow, EM_FALSE, &WebShow::keyDown);
    emscripten_set_click_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, theShow, EM_FALSE, &WebShow::click);
    emscripten_set_resize_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, theShow, EM_FALSE, &WebShow::resize);
    if (theShow->options.heldAtSeconds) {
        theShow->start();
    } else {
        theShow->setStage(Stage::waiting);
    }
    return 0;
}
