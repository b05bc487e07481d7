// Units of the track generator. A sample index counts positions in the track, 44100 to
// the second; a stereo pair counts once. A beat is 0.4 s (150 per minute) and starts on
// an exact sample; a step is a sixteenth note, four to the beat.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace datagen::music {

constexpr int sampleRate = 44100;
constexpr int samplesPerBeat = 17640;
constexpr int stepsPerBeat = 4;
constexpr int samplesPerStep = samplesPerBeat / stepsPerBeat;
static_assert(samplesPerBeat * 5 == sampleRate * 2, "a beat is exactly 0.4 s");
static_assert(samplesPerStep * stepsPerBeat == samplesPerBeat, "steps divide the beat exactly");

constexpr std::int64_t beatStartSample(int beat)
{
    return std::int64_t{beat} * samplesPerBeat;
}

constexpr int secondsToSamples(double seconds)
{
    return static_cast<int>(seconds * sampleRate + 0.5);
}

struct StereoBuffer {
    std::vector<float> left;
    std::vector<float> right;

    StereoBuffer() = default;
    explicit StereoBuffer(std::size_t sampleCount) : left(sampleCount), right(sampleCount) {}

    std::size_t size() const { return left.size(); }
    void assignSilence(std::size_t sampleCount)
    {
        left.assign(sampleCount, 0.0f);
        right.assign(sampleCount, 0.0f);
    }
};

}  // namespace datagen::music
