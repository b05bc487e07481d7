// What the show needs of a platform's sound device: it plays stereo float
// frames at the music's rate, pulling them from a source on its own thread,
// one device buffer at a time. Each pull tells the source how many frames the
// device has taken so far, which is where the play position comes from.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

class AudioSource {
public:
    virtual ~AudioSource() = default;
    // Audio thread: fill `stereo` with frameCount frames (left, right, ...).
    virtual void fill(float* stereo, int frameCount) = 0;
};

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    virtual void start() = 0;
    // Frames the device holds before they are heard: one buffer for a pull device.
    virtual int latencyFrames() const = 0;

    // The clock the play position is read on. A device that pulls each buffer
    // just as it needs it goes by the steady clock and hands the buffer over at
    // the pull. A device that schedules buffers ahead on a clock of its own
    // (Web Audio) says when, on that clock, the buffer of the pull under way
    // starts to play.
    virtual std::chrono::steady_clock::time_point now() const { return std::chrono::steady_clock::now(); }
    virtual std::chrono::steady_clock::time_point pullTime() const { return now(); }

    // Empty while the device plays; once the platform says it is gone (unplugged,
    // its sound server ended, its context stopped), what happened. Read on the frame thread.
    virtual std::string failure() const { return {}; }
};

// Opens the platform's default output; null, with the reason, when there is none.
// Called again, from the frame thread, to get the sound back after the output was lost.
using AudioOutputOpener =
    std::function<std::unique_ptr<AudioOutput>(int sampleRate, AudioSource& source, std::string& failure)>;
