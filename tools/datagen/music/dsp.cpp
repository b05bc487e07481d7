#include "dsp.h"

#include <algorithm>
#include <cmath>

namespace datagen::music {

double noteFrequency(int midiNote)
{
    return 440.0 * std::exp2((midiNote - 69) / 12.0);
}

float decayPerSample(float seconds60dB)
{
    return static_cast<float>(std::pow(10.0, -3.0 / (double{seconds60dB} * sampleRate)));
}

float Rng::unit()
{
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<float>(state_ >> 8) * (1.0f / 16777216.0f);
}

float SawOscillator::next()
{
    float value = static_cast<float>(2.0 * phase_ - 1.0);
    // Replace the hard wrap by a two-sample polynomial step.
    if (phase_ < increment_) {
        const double t = phase_ / increment_;
        value -= static_cast<float>(t + t - t * t - 1.0);
    } else if (phase_ > 1.0 - increment_) {
        const double t = (phase_ - 1.0) / increment_;
        value -= static_cast<float>(t * t + t + t + 1.0);
    }
    phase_ += increment_;
    if (phase_ >= 1.0)
        phase_ -= 1.0;
    return value;
}

void StateVariableFilter::setCutoff(float cutoffHz, float resonance)
{
    const float cutoff = std::clamp(cutoffHz, 20.0f, 0.45f * sampleRate);
    const float g = std::tan(static_cast<float>(twoPi / 2) * cutoff / sampleRate);
    k_ = 2.0f * (1.0f - std::clamp(resonance, 0.0f, 0.98f));
    a1_ = 1.0f / (1.0f + g * (g + k_));
    a2_ = g * a1_;
    a3_ = g * a2_;
}

StateVariableFilter::Output StateVariableFilter::process(float input)
{
    const float v3 = input - state2_;
    const float v1 = a1_ * state1_ + a2_ * v3;
    const float v2 = state2_ + a2_ * state1_ + a3_ * v3;
    state1_ = 2.0f * v1 - state1_;
    state2_ = 2.0f * v2 - state2_;
    return {v2, v1, input - k_ * v1 - v2};
}

OnePoleFilter::OnePoleFilter(float cutoffHz)
    : coefficient_(static_cast<float>(1.0 - std::exp(-twoPi * cutoffHz / sampleRate)))
{
}

Biquad Biquad::highPass(double cutoffHz, double q)
{
    const double w0 = twoPi * cutoffHz / sampleRate;
    const double alpha = std::sin(w0) / (2.0 * q);
    const double cosine = std::cos(w0);
    const double a0 = 1.0 + alpha;
    return Biquad((1.0 + cosine) / 2.0 / a0, -(1.0 + cosine) / a0, (1.0 + cosine) / 2.0 / a0, -2.0 * cosine / a0,
                  (1.0 - alpha) / a0);
}

double Biquad::process(double input)
{
    const double output = b0_ * input + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
    x2_ = x1_;
    x1_ = input;
    y2_ = y1_;
    y1_ = output;
    return output;
}

Envelope::Envelope(const EnvelopeShape& shape, int gateSamples)
    : attackStep_(shape.attackSeconds > 0.0f ? 1.0f / (shape.attackSeconds * sampleRate) : 1.0f),
      decayFactor_(decayPerSample(shape.decaySeconds)),
      sustainLevel_(shape.sustainLevel),
      releaseFactor_(decayPerSample(shape.releaseSeconds)),
      gateSamples_(gateSamples)
{
}

float Envelope::next()
{
    if (position_ < gateSamples_) {
        if (attacking_) {
            level_ += attackStep_;
            if (level_ >= 1.0f) {
                level_ = 1.0f;
                attacking_ = false;
            }
        } else {
            level_ = sustainLevel_ + (level_ - sustainLevel_) * decayFactor_;
        }
    } else {
        level_ *= releaseFactor_;
    }
    ++position_;
    return level_;
}

int envelopeLengthSamples(const EnvelopeShape& shape, int gateSamples)
{
    return gateSamples + secondsToSamples(shape.releaseSeconds);
}

}  // namespace datagen::music
