#include "mixer.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "dsp.h"

namespace datagen::music {

namespace {

struct ChannelStrip {
    float gain;
    float echoSend;
    float reverbSend;
    bool drumBus;  // the drum bus is neither ducked nor widened
};

// In the order of Instrument.
constexpr std::array<ChannelStrip, instrumentCount> channelStrips = {{
    {0.80f, 0.00f, 0.00f, true},   // kick
    {0.85f, 0.10f, 0.35f, true},   // clap
    {0.60f, 0.00f, 0.10f, true},   // closed hat
    {0.40f, 0.05f, 0.15f, true},   // open hat
    {0.20f, 0.00f, 0.40f, true},   // crash
    {0.50f, 0.20f, 0.40f, false},  // riser
    {0.30f, 0.30f, 0.50f, false},  // bubble
    {0.63f, 0.00f, 0.00f, false},  // bass
    {0.18f, 0.00f, 0.35f, false},  // pad
    {0.42f, 0.60f, 0.35f, false},  // stab
    {0.27f, 0.40f, 0.25f, false},  // arp
    {0.19f, 0.35f, 0.35f, false},  // lead
    {0.28f, 0.50f, 0.60f, false},  // ping
}};

// Voices end at -60 dB; this last ramp takes them to exactly zero.
void fadeToSilence(StereoBuffer& signal, std::size_t rampSamples)
{
    const std::size_t ramp = std::min(rampSamples, signal.size());
    for (std::size_t i = 0; i < ramp; ++i) {
        const float gain = static_cast<float>(i) / static_cast<float>(ramp);
        signal.left[signal.size() - 1 - i] *= gain;
        signal.right[signal.size() - 1 - i] *= gain;
    }
}

// Ping-pong echo of a dotted eighth: the repeats alternate left and right, each darker
// and thinner than the last, like worn tape. Replaces the send with the echo's return.
void applyEcho(StereoBuffer& signal)
{
    constexpr float feedback = 0.55f;
    DelayLine toLeft(3 * samplesPerStep);
    DelayLine toRight(3 * samplesPerStep);
    OnePoleFilter lowCut(300.0f);
    OnePoleFilter highCut(2800.0f);
    for (std::size_t i = 0; i < signal.size(); ++i) {
        const float left = toLeft.read();
        const float right = toRight.read();
        toLeft.write(0.5f * (signal.left[i] + signal.right[i]) + feedback * highCut.lowPass(lowCut.highPass(right)));
        toRight.write(left);
        signal.left[i] = left;
        signal.right[i] = right;
    }
}

// Eight-line feedback delay network with a Householder mixing matrix and damping in
// every line, after a short pre-delay: a large, dark room. Replaces the send with the
// reverb's return.
void applyReverb(StereoBuffer& signal)
{
    constexpr float decaySeconds = 3.2f;
    constexpr std::array<int, 8> lineLengths = {1693, 2011, 2381, 2707, 3089, 3433, 3833, 4211};
    std::vector<DelayLine> lines;
    std::vector<OnePoleFilter> dampers;
    std::array<float, 8> lineGains{};
    for (std::size_t k = 0; k < lineLengths.size(); ++k) {
        lines.emplace_back(lineLengths[k]);
        dampers.emplace_back(5500.0f);
        lineGains[k] = std::pow(decayPerSample(decaySeconds), static_cast<float>(lineLengths[k]));
    }
    DelayLine leftPreDelay(secondsToSamples(0.02));
    DelayLine rightPreDelay(secondsToSamples(0.02));
    OnePoleFilter leftLowCut(180.0f);
    OnePoleFilter rightLowCut(180.0f);
    std::array<float, 8> outputs{};
    for (std::size_t i = 0; i < signal.size(); ++i) {
        const float left = leftLowCut.highPass(leftPreDelay.read());
        const float right = rightLowCut.highPass(rightPreDelay.read());
        leftPreDelay.write(signal.left[i]);
        rightPreDelay.write(signal.right[i]);
        float sum = 0.0f;
        for (std::size_t k = 0; k < lines.size(); ++k) {
            outputs[k] = dampers[k].lowPass(lines[k].read()) * lineGains[k];
            sum += outputs[k];
        }
        const float reflection = sum * (2.0f / static_cast<float>(lines.size()));
        for (std::size_t k = 0; k < lines.size(); ++k) {
            const float input = (k % 2 == 0 ? left : right) * (k % 4 < 2 ? 1.0f : -1.0f);
            lines[k].write(outputs[k] - reflection + input);
        }
        signal.left[i] = 0.35f * (outputs[0] - outputs[2] + outputs[4] - outputs[6]);
        signal.right[i] = 0.35f * (outputs[1] - outputs[3] + outputs[5] - outputs[7]);
    }
}

// Mid/side: scales the difference between the channels; mono content such as the bass
// is untouched.
void widen(StereoBuffer& signal, float sideGain)
{
    for (std::size_t i = 0; i < signal.size(); ++i) {
        const float mid = 0.5f * (signal.left[i] + signal.right[i]);
        const float side = 0.5f * (signal.left[i] - signal.right[i]) * sideGain;
        signal.left[i] = mid + side;
        signal.right[i] = mid - side;
    }
}

// The music dips under every kick and swells back within the beat: the pump of a
// sidechained dance mix. The dip starts a few milliseconds early, so the kick's attack
// lands in the clear.
void duckUnderKicks(StereoBuffer& music, const std::vector<Note>& notes)
{
    constexpr float depth = 0.45f;
    const int leadSamples = secondsToSamples(0.004);
    const float recoveryFactor = decayPerSample(0.55f);
    std::vector<float> gain(music.size(), 1.0f);
    for (const Note& note : notes) {
        if (note.instrument != Instrument::kick)
            continue;
        float dip = depth * note.velocity;
        for (int t = -leadSamples; t < samplesPerBeat; ++t) {
            const std::int64_t index = note.startSample + t;
            if (index < 0)
                continue;
            if (index >= static_cast<std::int64_t>(gain.size()))
                break;
            const float level =
                t < 0 ? dip * static_cast<float>(t + leadSamples) / static_cast<float>(leadSamples) : dip;
            gain[static_cast<std::size_t>(index)] = std::min(gain[static_cast<std::size_t>(index)], 1.0f - level);
            if (t >= 0)
                dip *= recoveryFactor;
        }
    }
    for (std::size_t i = 0; i < music.size(); ++i) {
        music.left[i] *= gain[i];
        music.right[i] *= gain[i];
    }
}

// Rumble below the kick's body only eats headroom.
void removeSubsonics(StereoBuffer& signal)
{
    Biquad left = Biquad::highPass(20.0, 0.7071);
    Biquad right = Biquad::highPass(20.0, 0.7071);
    for (std::size_t i = 0; i < signal.size(); ++i) {
        signal.left[i] = static_cast<float>(left.process(signal.left[i]));
        signal.right[i] = static_cast<float>(right.process(signal.right[i]));
    }
}

void addInto(StereoBuffer& target, const StereoBuffer& source, float gain)
{
    for (std::size_t i = 0; i < target.size(); ++i) {
        target.left[i] += source.left[i] * gain;
        target.right[i] += source.right[i] * gain;
    }
}

void report(const std::function<void(float)>& onProgress, float fraction)
{
    if (onProgress)
        onProgress(fraction);
}

}  // namespace

StereoBuffer mixNotes(const std::vector<Note>& notes, std::int64_t lengthSamples,
                      const std::function<void(float fraction)>& onProgress)
{
    const auto length = static_cast<std::size_t>(lengthSamples);
    StereoBuffer drums(length);
    StereoBuffer music(length);
    StereoBuffer echoSend(length);
    StereoBuffer reverbSend(length);
    StereoBuffer voice;
    for (std::size_t n = 0; n < notes.size(); ++n) {
        const Note& note = notes[n];
        if (note.startSample < 0 || static_cast<std::size_t>(note.startSample) >= length)
            continue;
        renderNote(note, voice);
        fadeToSilence(voice, static_cast<std::size_t>(secondsToSamples(0.002)));
        const ChannelStrip& strip = channelStrips[static_cast<std::size_t>(note.instrument)];
        // Constant-power pan, normalised to unity in the centre.
        const float angle = static_cast<float>(twoPi / 8.0) * (note.pan + 1.0f);
        const float leftGain = std::sqrt(2.0f) * std::cos(angle) * strip.gain;
        const float rightGain = std::sqrt(2.0f) * std::sin(angle) * strip.gain;
        StereoBuffer& bus = strip.drumBus ? drums : music;
        const auto start = static_cast<std::size_t>(note.startSample);
        const std::size_t count = std::min(voice.size(), length - start);
        for (std::size_t i = 0; i < count; ++i) {
            const float left = voice.left[i] * leftGain;
            const float right = voice.right[i] * rightGain;
            bus.left[start + i] += left;
            bus.right[start + i] += right;
            echoSend.left[start + i] += left * strip.echoSend;
            echoSend.right[start + i] += right * strip.echoSend;
            reverbSend.left[start + i] += left * strip.reverbSend;
            reverbSend.right[start + i] += right * strip.reverbSend;
        }
        if (n % 256 == 0)
            report(onProgress, 0.8f * static_cast<float>(n) / static_cast<float>(notes.size()));
    }
    applyEcho(echoSend);
    addInto(music, echoSend, 1.0f);
    addInto(reverbSend, echoSend, 0.3f);
    report(onProgress, 0.85f);
    applyReverb(reverbSend);
    addInto(music, reverbSend, 1.0f);
    report(onProgress, 0.95f);
    widen(music, 1.3f);
    duckUnderKicks(music, notes);
    StereoBuffer track = std::move(drums);
    addInto(track, music, 1.0f);
    removeSubsonics(track);
    // Whatever still rings at the track's end fades out over its last second.
    fadeToSilence(track, static_cast<std::size_t>(sampleRate));
    report(onProgress, 1.0f);
    return track;
}

}  // namespace datagen::music
