// Signal building blocks shared by the instruments, the mix bus and the mastering stage:
// pitch, seeded noise, a band-limited sawtooth, filters, an envelope and a delay line.
#pragma once

#include <cstdint>
#include <vector>

#include "sound.h"

namespace datagen::music {

constexpr double twoPi = 6.283185307179586;

// Equal temperament, MIDI numbering: 69 is A4 at 440 Hz.
double noteFrequency(int midiNote);

// Per-sample factor of an exponential fall of 60 dB over the given time.
float decayPerSample(float seconds60dB);

// xorshift32: the same seed gives the same noise on every run and platform.
class Rng {
public:
    explicit Rng(std::uint32_t seed) : state_(seed == 0 ? 0x9e3779b9u : seed) {}

    float unit();  // [0, 1)
    float bipolar() { return 2.0f * unit() - 1.0f; }
    float range(float low, float high) { return low + (high - low) * unit(); }

private:
    std::uint32_t state_;
};

// Sawtooth with polyBLEP smoothing of its wrap, so high notes do not alias. The phase
// counts cycles, from 0 to 1.
class SawOscillator {
public:
    SawOscillator(double frequencyHz, double startPhase) : phase_(startPhase), increment_(frequencyHz / sampleRate) {}

    float next();

private:
    double phase_;
    double increment_;
};

// Zero-delay-feedback state-variable filter (trapezoidal integration): the low, band
// and high outputs come from one step and stay stable under fast cutoff changes.
class StateVariableFilter {
public:
    struct Output {
        float low;
        float band;
        float high;
    };

    // resonance runs from 0 (flat) towards 1 (self-oscillation).
    void setCutoff(float cutoffHz, float resonance);
    Output process(float input);

private:
    float k_ = 2.0f;
    float a1_ = 0.0f;
    float a2_ = 0.0f;
    float a3_ = 0.0f;
    float state1_ = 0.0f;
    float state2_ = 0.0f;
};

// One-pole low-pass; the high-pass is its complement.
class OnePoleFilter {
public:
    explicit OnePoleFilter(float cutoffHz);

    float lowPass(float input) { return state_ += coefficient_ * (input - state_); }
    float highPass(float input) { return input - lowPass(input); }

private:
    float coefficient_;
    float state_ = 0.0f;
};

// Second-order section, direct form I, in double precision: at corners of 20 to 40 Hz
// the coefficients sit so close to their limits that float would add noise and drift.
class Biquad {
public:
    Biquad(double b0, double b1, double b2, double a1, double a2) : b0_(b0), b1_(b1), b2_(b2), a1_(a1), a2_(a2) {}
    static Biquad highPass(double cutoffHz, double q);

    double process(double input);

private:
    double b0_, b1_, b2_, a1_, a2_;
    double x1_ = 0.0, x2_ = 0.0, y1_ = 0.0, y2_ = 0.0;
};

// Linear attack, exponential decay towards the sustain level while the gate is held,
// exponential release after it. Decay and release times are to a fall of 60 dB.
struct EnvelopeShape {
    float attackSeconds;
    float decaySeconds;
    float sustainLevel;
    float releaseSeconds;
};

class Envelope {
public:
    Envelope(const EnvelopeShape& shape, int gateSamples);

    float next();

private:
    float attackStep_;
    float decayFactor_;
    float sustainLevel_;
    float releaseFactor_;
    int gateSamples_;
    int position_ = 0;
    bool attacking_ = true;
    float level_ = 0.0f;
};

// Samples from the key press until the release has fallen 60 dB.
int envelopeLengthSamples(const EnvelopeShape& shape, int gateSamples);

// Fixed delay: read() gives the sample written `length` writes ago.
class DelayLine {
public:
    explicit DelayLine(int length) : samples_(static_cast<std::size_t>(length), 0.0f) {}

    float read() const { return samples_[position_]; }
    void write(float value)
    {
        samples_[position_] = value;
        if (++position_ == samples_.size())
            position_ = 0;
    }

private:
    std::vector<float> samples_;
    std::size_t position_ = 0;
};

}  // namespace datagen::music
