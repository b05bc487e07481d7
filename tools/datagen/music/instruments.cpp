// Drum voices are noise and swept sines shaped by fixed decays; tonal voices are
// sawtooth, sine and FM oscillators through filters, shaped by an envelope that opens
// from silence and releases to silence, so no note starts or stops with a click.
#include "instruments.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>

#include "dsp.h"

namespace datagen::music {

namespace {

// Filters with moving cutoffs are retuned every this many samples: tan() per sample
// would cost more than the rest of the voice, and 0.7 ms steps are inaudible.
constexpr int controlInterval = 32;

constexpr float kickSeconds = 0.45f;
constexpr float clapSeconds = 0.4f;
constexpr float closedHatSeconds = 0.1f;
constexpr float openHatSeconds = 0.55f;
constexpr float crashSeconds = 3.0f;
constexpr float riserReleaseSeconds = 0.15f;
constexpr float bubbleSeconds = 0.1f;
constexpr float pingSeconds = 2.5f;

EnvelopeShape tonalEnvelope(const Note& note)
{
    switch (note.instrument) {
    case Instrument::bass: return {0.004f, 0.35f, 0.7f, 0.07f};
    case Instrument::pad: return {note.attackSeconds, 1.5f, 0.8f, 1.4f};
    case Instrument::stab: return {0.002f, 0.6f, 0.0f, 0.12f};
    case Instrument::arp: return {0.002f, 0.45f, 0.0f, 0.08f};
    case Instrument::lead: return {0.012f, 2.0f, 0.6f, 0.5f};
    default: assert(false && "drums and effects shape themselves with fixed decays"); return {};
    }
}

std::uint32_t noiseSeed(const Note& note)
{
    return (static_cast<std::uint32_t>(note.startSample) * 2654435761u) ^
           (static_cast<std::uint32_t>(note.pitch) << 20) ^ static_cast<std::uint32_t>(note.instrument);
}

float centsToRatio(float cents)
{
    return std::exp2(cents / 1200.0f);
}

void setBoth(StereoBuffer& voice, int index, float value)
{
    voice.left[index] = value;
    voice.right[index] = value;
}

// Six detuned square waves at inharmonic ratios: the clang under hats and cymbals.
class MetallicTone {
public:
    float next()
    {
        float sum = 0.0f;
        for (std::size_t i = 0; i < phases_.size(); ++i) {
            phases_[i] += partialsHz[i] / sampleRate;
            if (phases_[i] >= 1.0)
                phases_[i] -= 1.0;
            sum += phases_[i] < 0.5 ? 1.0f : -1.0f;
        }
        return sum / static_cast<float>(phases_.size());
    }

private:
    static constexpr std::array<double, 6> partialsHz = {317.0, 453.0, 538.0, 627.0, 811.0, 1049.0};
    std::array<double, 6> phases_ = {};
};

// A sine whose pitch falls from a knock to a deep body, with a short noise click on top.
void renderKick(const Note& note, StereoBuffer& voice)
{
    Rng noise(noiseSeed(note));
    OnePoleFilter clickTone(5000.0f);
    const float sweepFactor = decayPerSample(0.12f);
    const float bodyFactor = decayPerSample(0.4f);
    const float clickFactor = decayPerSample(0.012f);
    const int holdSamples = secondsToSamples(0.025);
    const double bodyHz = noteFrequency(31);  // G1, in key
    const float saturation = 1.8f;
    const float makeUp = 1.0f / std::tanh(saturation);
    double phase = 0.0;
    float sweep = 1.0f;
    float body = 1.0f;
    float click = 1.0f;
    for (int i = 0; i < static_cast<int>(voice.size()); ++i) {
        const float tone = static_cast<float>(std::sin(twoPi * phase)) * body;
        const float transient = clickTone.lowPass(noise.bipolar()) * click * 0.4f;
        setBoth(voice, i, std::tanh(saturation * (tone + transient)) * makeUp * note.velocity);
        phase += (bodyHz + 240.0 * sweep) / sampleRate;
        sweep *= sweepFactor;
        // Cut the click once it is 100 dB down, before it decays into slow denormal floats.
        click = click > 1e-5f ? click * clickFactor : 0.0f;
        if (i >= holdSamples)
            body *= bodyFactor;
    }
}

// Three quick band-passed noise bursts, like several hands, then a short room tail.
void renderClap(const Note& note, StereoBuffer& voice)
{
    Rng noise(noiseSeed(note));
    StateVariableFilter tone;
    tone.setCutoff(1150.0f, 0.35f);
    const std::array<int, 3> burstStarts = {0, secondsToSamples(0.010), secondsToSamples(0.021)};
    const int tailStart = secondsToSamples(0.032);
    const float burstFactor = decayPerSample(0.045f);
    const float tailFactor = decayPerSample(0.32f);
    float burst = 0.0f;
    float tail = 0.0f;
    for (int i = 0; i < static_cast<int>(voice.size()); ++i) {
        for (int start : burstStarts) {
            if (i == start)
                burst = 1.0f;
        }
        if (i == tailStart)
            tail = 1.0f;
        setBoth(voice, i, 2.0f * tone.process(noise.bipolar()).band * (0.9f * burst + tail) * note.velocity);
        burst *= burstFactor;
        tail *= tailFactor;
    }
}

// A struck sound's envelope: a quick linear attack, then a decay that never holds,
// over the whole voice.
Envelope struckEnvelope(float attackSeconds, float decaySeconds, const StereoBuffer& voice)
{
    return Envelope({attackSeconds, decaySeconds, 0.0f, decaySeconds}, static_cast<int>(voice.size()));
}

// Hats and the crash: high-passed noise and metal; the crash has independent noise per
// channel so it spreads across the stereo field.
void renderCymbal(const Note& note, StereoBuffer& voice, float decaySeconds, float cutoffHz, bool stereo)
{
    Rng noise(noiseSeed(note));
    MetallicTone metal;
    StateVariableFilter leftFilter;
    StateVariableFilter rightFilter;
    leftFilter.setCutoff(cutoffHz, 0.2f);
    rightFilter.setCutoff(cutoffHz, 0.2f);
    Envelope envelope = struckEnvelope(0.0005f, decaySeconds, voice);
    for (int i = 0; i < static_cast<int>(voice.size()); ++i) {
        const float level = envelope.next();
        const float clang = 0.5f * metal.next();
        const float leftNoise = noise.bipolar();
        const float rightNoise = stereo ? noise.bipolar() : leftNoise;
        const float gain = level * note.velocity;
        voice.left[i] = leftFilter.process(clang + 0.6f * leftNoise).high * gain;
        voice.right[i] = rightFilter.process(clang + 0.6f * rightNoise).high * gain;
    }
}

// Noise through a band-pass that sweeps up four octaves while it swells: the whoosh
// into a new section.
void renderRiser(const Note& note, StereoBuffer& voice)
{
    Rng noise(noiseSeed(note));
    StateVariableFilter leftFilter;
    StateVariableFilter rightFilter;
    const float releaseFactor = decayPerSample(riserReleaseSeconds);
    float level = 0.0f;
    for (int i = 0; i < static_cast<int>(voice.size()); ++i) {
        if (i < note.gateSamples) {
            const float progress = static_cast<float>(i) / static_cast<float>(note.gateSamples);
            if (i % controlInterval == 0) {
                const float cutoff = 250.0f * std::pow(32.0f, progress);
                leftFilter.setCutoff(cutoff, 0.5f);
                rightFilter.setCutoff(cutoff, 0.5f);
            }
            level = progress * progress;
        } else {
            level *= releaseFactor;
        }
        const float gain = level * note.velocity;
        voice.left[i] = leftFilter.process(noise.bipolar()).band * gain;
        voice.right[i] = rightFilter.process(noise.bipolar()).band * gain;
    }
}

// A short sine chirping upwards as it fades, the sound of a rising air bubble.
void renderBubble(const Note& note, StereoBuffer& voice)
{
    const double startHz = noteFrequency(note.pitch);
    double phase = 0.0;
    Envelope envelope = struckEnvelope(0.0015f, bubbleSeconds, voice);
    for (int i = 0; i < static_cast<int>(voice.size()); ++i) {
        const float level = envelope.next();
        setBoth(voice, i, static_cast<float>(std::sin(twoPi * phase)) * level * note.velocity);
        phase += startHz * (1.0 + 8.0 * i / sampleRate) / sampleRate;
    }
}

// A sine with one quickly fading inharmonic partial: the sonar's ping.
void renderPing(const Note& note, StereoBuffer& voice)
{
    const double frequency = noteFrequency(note.pitch);
    const float partialFactor = decayPerSample(0.4f);
    float partial = 0.2f;
    Envelope envelope = struckEnvelope(0.003f, pingSeconds - 0.1f, voice);
    for (int i = 0; i < static_cast<int>(voice.size()); ++i) {
        const float level = envelope.next();
        const double time = static_cast<double>(i) / sampleRate;
        const double tone = std::sin(twoPi * frequency * time) + partial * std::sin(twoPi * 2.76 * frequency * time);
        setBoth(voice, i, static_cast<float>(tone) * level * note.velocity);
        partial *= partialFactor;
    }
}

// Sine plus a filtered sawtooth, saturated: deep, but with enough overtones to be heard
// on small speakers.
void renderBass(const Note& note, StereoBuffer& voice)
{
    const double frequency = noteFrequency(note.pitch);
    Envelope envelope(tonalEnvelope(note), note.gateSamples);
    SawOscillator saw(frequency, 0.5);
    StateVariableFilter filter;
    const float filterFactor = decayPerSample(0.25f);
    float filterSweep = 1.0f;
    for (int i = 0; i < static_cast<int>(voice.size()); ++i) {
        if (i % controlInterval == 0) {
            filter.setCutoff(static_cast<float>(frequency) * (2.5f + 10.0f * note.brightness * filterSweep), 0.25f);
        }
        const float sine = static_cast<float>(std::sin(twoPi * frequency * i / sampleRate));
        const float value = std::tanh(1.3f * (0.8f * sine + 0.45f * filter.process(saw.next()).low));
        setBoth(voice, i, value * envelope.next() * note.velocity);
        filterSweep *= filterFactor;
    }
}

// Three detuned sawtooths spread left, centre and right through slowly breathing
// low-pass filters: the wide, soft chord bed.
void renderPad(const Note& note, StereoBuffer& voice)
{
    const double frequency = noteFrequency(note.pitch);
    Rng phases(noiseSeed(note));
    Envelope envelope(tonalEnvelope(note), note.gateSamples);
    SawOscillator leftSaw(frequency * centsToRatio(-11.0f), phases.unit());
    SawOscillator centreSaw(frequency, phases.unit());
    SawOscillator rightSaw(frequency * centsToRatio(11.0f), phases.unit());
    StateVariableFilter leftFilter;
    StateVariableFilter rightFilter;
    const float baseCutoff = 280.0f + 2600.0f * note.brightness * note.brightness;
    const double breathPhase = phases.unit() * twoPi;
    for (int i = 0; i < static_cast<int>(voice.size()); ++i) {
        if (i % controlInterval == 0) {
            const double breath = std::sin(twoPi * 0.11 * i / sampleRate + breathPhase);
            const float cutoff = baseCutoff * static_cast<float>(1.0 + 0.3 * breath);
            leftFilter.setCutoff(cutoff, 0.25f);
            rightFilter.setCutoff(cutoff, 0.25f);
        }
        const float centre = 0.6f * centreSaw.next();
        const float gain = 0.5f * envelope.next() * note.velocity;
        voice.left[i] = leftFilter.process(leftSaw.next() + centre).low * gain;
        voice.right[i] = rightFilter.process(rightSaw.next() + centre).low * gain;
    }
}

// Short sawtooth chord notes (stab, two detuned and spread) or single plucks (arp)
// through a resonant low-pass that snaps shut: the dub chord and the arpeggio.
void renderPluck(const Note& note, StereoBuffer& voice, float detuneCents, float filterSeconds, float resonance)
{
    const double frequency = noteFrequency(note.pitch);
    Envelope envelope(tonalEnvelope(note), note.gateSamples);
    SawOscillator leftSaw(frequency * centsToRatio(-detuneCents), 0.0);
    SawOscillator rightSaw(frequency * centsToRatio(detuneCents), 0.5);
    StateVariableFilter leftFilter;
    StateVariableFilter rightFilter;
    const float baseCutoff = 200.0f + 3200.0f * note.brightness * note.brightness;
    const float filterFactor = decayPerSample(filterSeconds);
    float filterSweep = 1.0f;
    for (int i = 0; i < static_cast<int>(voice.size()); ++i) {
        if (i % controlInterval == 0) {
            const float cutoff = baseCutoff * (1.0f + 4.0f * filterSweep);
            leftFilter.setCutoff(cutoff, resonance);
            rightFilter.setCutoff(cutoff, resonance);
        }
        const float left = leftSaw.next();
        const float right = rightSaw.next();
        const float gain = envelope.next() * note.velocity;
        voice.left[i] = leftFilter.process(0.75f * left + 0.25f * right).low * gain;
        voice.right[i] = rightFilter.process(0.25f * left + 0.75f * right).low * gain;
        filterSweep *= filterFactor;
    }
}

// Two-operator FM at a 2:1 ratio with a falling index: a glassy bell that mellows as
// it sustains, with a vibrato that creeps in on held notes.
void renderLead(const Note& note, StereoBuffer& voice)
{
    const double frequency = noteFrequency(note.pitch);
    Envelope envelope(tonalEnvelope(note), note.gateSamples);
    const float indexFactor = decayPerSample(0.8f);
    const int vibratoStart = secondsToSamples(0.15);
    const int vibratoFull = secondsToSamples(0.5);
    double carrierPhase = 0.0;
    double modulatorPhase = 0.0;
    float indexSweep = 1.0f;
    for (int i = 0; i < static_cast<int>(voice.size()); ++i) {
        const double vibratoDepth =
            0.0035 * std::clamp(static_cast<double>(i - vibratoStart) / (vibratoFull - vibratoStart), 0.0, 1.0);
        const double pitch = frequency * (1.0 + vibratoDepth * std::sin(twoPi * 5.5 * i / sampleRate));
        const double index = 0.6 + 2.0 * indexSweep;
        const double value = std::sin(twoPi * carrierPhase + index * std::sin(twoPi * modulatorPhase));
        setBoth(voice, i, static_cast<float>(value) * envelope.next() * note.velocity);
        carrierPhase += pitch / sampleRate;
        modulatorPhase += 2.0 * pitch / sampleRate;
        indexSweep *= indexFactor;
    }
}

}  // namespace

int noteLengthSamples(const Note& note)
{
    switch (note.instrument) {
    case Instrument::kick: return secondsToSamples(kickSeconds);
    case Instrument::clap: return secondsToSamples(clapSeconds);
    case Instrument::closedHat: return secondsToSamples(closedHatSeconds);
    case Instrument::openHat: return secondsToSamples(openHatSeconds);
    case Instrument::crash: return secondsToSamples(crashSeconds);
    case Instrument::riser: return note.gateSamples + secondsToSamples(riserReleaseSeconds);
    case Instrument::bubble: return secondsToSamples(bubbleSeconds);
    case Instrument::ping: return secondsToSamples(pingSeconds);
    case Instrument::bass:
    case Instrument::pad:
    case Instrument::stab:
    case Instrument::arp:
    case Instrument::lead: return envelopeLengthSamples(tonalEnvelope(note), note.gateSamples);
    }
    return 0;
}

void renderNote(const Note& note, StereoBuffer& voice)
{
    voice.assignSilence(static_cast<std::size_t>(noteLengthSamples(note)));
    switch (note.instrument) {
    case Instrument::kick: renderKick(note, voice); break;
    case Instrument::clap: renderClap(note, voice); break;
    case Instrument::closedHat: renderCymbal(note, voice, closedHatSeconds, 7000.0f, false); break;
    case Instrument::openHat: renderCymbal(note, voice, openHatSeconds, 6500.0f, false); break;
    case Instrument::crash: renderCymbal(note, voice, crashSeconds, 4500.0f, true); break;
    case Instrument::riser: renderRiser(note, voice); break;
    case Instrument::bubble: renderBubble(note, voice); break;
    case Instrument::ping: renderPing(note, voice); break;
    case Instrument::bass: renderBass(note, voice); break;
    case Instrument::pad: renderPad(note, voice); break;
    case Instrument::stab: renderPluck(note, voice, 7.0f, 0.18f, 0.6f); break;
    case Instrument::arp: renderPluck(note, voice, 3.0f, 0.2f, 0.35f); break;
    case Instrument::lead: renderLead(note, voice); break;
    }
}

}  // namespace datagen::music
