// The music: "quirn.ogg" decoded while it plays, and its play position as the
// listener hears it, which is the show's only clock.
#pragma once

#include <memory>

#include "music/audio_output.h"

class MusicStream {
public:
    // Opens the file and the platform's audio output. When either fails it says
    // so once on stderr and the position follows a monotonic wall clock instead.
    static std::unique_ptr<MusicStream> open(const char* path, const AudioOutputOpener& openOutput);
    ~MusicStream();

    // Starts the track from its beginning (or the wall clock).
    void play();

    // Frame thread, once a frame: seconds of music heard so far: smooth between
    // audio callbacks, never backwards, 0 until the first samples have been
    // handed to the device. Past the track's end it keeps advancing at the same rate.
    // When the output stops taking sound (its device gone, or no buffer taken
    // for eight buffers, a second at least) the position goes on from there on the
    // wall clock, said once on stderr; the output is opened again at once and then every second,
    // and once one plays, the music goes on from the position the show is at.
    float positionSeconds() const;

private:
    struct State;
    explicit MusicStream(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};
