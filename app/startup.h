// The show's start-up, the same for every program and tool; they differ only
// in the device, the audio output and what they do with window events while
// loading. Made before the window opens, it starts decoding the pictures on
// worker threads, so that decoding overlaps opening the window and the device.
// The allocator is set up for loading first (app/loading_heap.h).
// Then, once the device is there, in this order: the cube mesh and the
// submarine model, the glyphs, the sprite pictures, the music opened and
// started, and the blend factors that hold for the whole run.
#pragma once

#include <memory>
#include <optional>

#include "app/loading_heap.h"
#include "app/show.h"
#include "music/music_stream.h"

struct StartedShow {
    ShowAssets assets;
    std::unique_ptr<MusicStream> music;  // null when no audio output was asked for
};

class ShowStartup {
public:
    ShowStartup();

    // Every step after the device is made. Without openOutput no music is
    // opened: the tools that set the play position themselves need none.
    // whileLoading is called between the loading steps and while pictures decode.
    StartedShow run(Device& device, const AudioOutputOpener& openOutput, const WhileLoading& whileLoading = {});

    // The loading steps alone, for a page that starts the music later, on a
    // click: it then calls playMusic and setBlendFactors.
    ShowAssets load(Device& device, const WhileLoading& whileLoading = {});

private:
    std::optional<LoadingHeap> heap_;  // from before decoding starts until the loading steps are done
    PictureDecoding pictures_;
};

// The show's music, opened and started.
std::unique_ptr<MusicStream> playMusic(const AudioOutputOpener& openOutput);
