#include "mastering.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <limits>
#include <vector>

#include "dsp.h"

namespace datagen::music {

namespace {

float decibelsToGain(double decibels)
{
    return static_cast<float>(std::pow(10.0, decibels / 20.0));
}

double gainToDecibels(double gain)
{
    return 20.0 * std::log10(gain);
}

// K-weighting, built from the analogue prototypes behind BS.1770's 48 kHz coefficients
// so that the curve holds at 44.1 kHz: a +4 dB shelf above about 1.7 kHz (the head's
// effect) and a high-pass near 38 Hz.
Biquad kWeightingShelf()
{
    constexpr double centreHz = 1681.974450955533;
    constexpr double gainDb = 3.999843853973347;
    constexpr double q = 0.7071752369554196;
    const double k = std::tan(twoPi / 2 * centreHz / sampleRate);
    const double high = std::pow(10.0, gainDb / 20.0);
    const double band = std::pow(high, 0.4996667741545416);
    const double a0 = 1.0 + k / q + k * k;
    return Biquad((high + band * k / q + k * k) / a0, 2.0 * (k * k - high) / a0, (high - band * k / q + k * k) / a0,
                  2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0);
}

Biquad kWeightingHighPass()
{
    constexpr double cornerHz = 38.13547087602444;
    constexpr double q = 0.5003270373238773;
    const double k = std::tan(twoPi / 2 * cornerHz / sampleRate);
    const double a0 = 1.0 + k / q + k * k;
    return Biquad(1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0);
}

// Windowed-sinc interpolator for the three points between two samples at 4×
// oversampling: tap j of phase p weighs sample (n + reach - j) for the point n + (p+1)/4.
constexpr int interpolatorReach = 6;
constexpr int tapsPerPhase = 2 * interpolatorReach;
using InterpolatorTaps = std::array<std::array<float, tapsPerPhase>, 3>;

InterpolatorTaps makeInterpolatorTaps()
{
    constexpr int oversampling = 4;
    constexpr int centre = oversampling * interpolatorReach;
    InterpolatorTaps taps{};
    for (int phase = 1; phase < oversampling; ++phase) {
        float sum = 0.0f;
        for (int j = 0; j < tapsPerPhase; ++j) {
            const int k = phase + oversampling * j;
            const double x = static_cast<double>(k - centre) / oversampling;
            const double sinc = std::sin(twoPi / 2 * x) / (twoPi / 2 * x);
            const double window =
                0.42 - 0.5 * std::cos(twoPi * k / (2 * centre)) + 0.08 * std::cos(2 * twoPi * k / (2 * centre));
            taps[phase - 1][j] = static_cast<float>(sinc * window);
            sum += taps[phase - 1][j];
        }
        for (float& tap : taps[phase - 1])
            tap /= sum;
    }
    return taps;
}

// For each sample, the highest absolute value of either channel on it and at the three
// interpolated points after it.
std::vector<float> interSamplePeaks(const StereoBuffer& signal)
{
    static const InterpolatorTaps taps = makeInterpolatorTaps();
    std::vector<float> peaks(signal.size(), 0.0f);
    std::vector<float> padded(signal.size() + 2 * interpolatorReach, 0.0f);
    for (const std::vector<float>* channel : {&signal.left, &signal.right}) {
        std::copy(channel->begin(), channel->end(), padded.begin() + interpolatorReach);
        for (std::size_t n = 0; n < signal.size(); ++n) {
            const float* newest = &padded[n + 2 * interpolatorReach];
            float peak = std::abs((*channel)[n]);
            for (const auto& phaseTaps : taps) {
                float value = 0.0f;
                for (int j = 0; j < tapsPerPhase; ++j)
                    value += *(newest - j) * phaseTaps[static_cast<std::size_t>(j)];
                peak = std::max(peak, std::abs(value));
            }
            peaks[n] = std::max(peaks[n], peak);
        }
    }
    return peaks;
}

// Per-sample gain keeping inputGain × gain × peak under the ceiling. Each sample's
// required gain is held back over a look-ahead window (a running minimum), recovers
// slowly afterwards, and is smoothed by a moving average of the window's length, which
// can never rise above the requirement at the peak itself.
std::vector<float> limiterGains(const std::vector<float>& peaks, float inputGain, float ceiling)
{
    const auto window = static_cast<std::size_t>(secondsToSamples(0.005));
    const float recovery = static_cast<float>(1.0 - std::exp(-1.0 / (0.1 * sampleRate)));
    const std::size_t count = peaks.size();
    std::vector<float> required(count);
    for (std::size_t i = 0; i < count; ++i) {
        const float level = inputGain * peaks[i];
        required[i] = level > ceiling ? ceiling / level : 1.0f;
    }
    std::vector<float> held(count);
    std::deque<std::size_t> minimumCandidates;
    for (std::size_t i = count; i-- > 0;) {
        while (!minimumCandidates.empty() && required[minimumCandidates.back()] >= required[i])
            minimumCandidates.pop_back();
        minimumCandidates.push_back(i);
        if (minimumCandidates.front() >= i + window)
            minimumCandidates.pop_front();
        held[i] = required[minimumCandidates.front()];
    }
    float level = 1.0f;
    for (float& gain : held) {
        level = std::min(gain, level + (1.0f - level) * recovery);
        gain = level;
    }
    std::vector<float> gains(count);
    double windowSum = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        windowSum += held[i];
        if (i >= window)
            windowSum -= held[i - window];
        gains[i] = static_cast<float>(windowSum / static_cast<double>(std::min(i + 1, window)));
    }
    return gains;
}

}  // namespace

double integratedLoudnessLufs(const StereoBuffer& signal)
{
    // Blocks of 400 ms overlapping by three quarters, built from 100 ms chunks.
    constexpr std::size_t chunkSamples = sampleRate / 10;
    constexpr std::size_t chunksPerBlock = 4;
    std::array<Biquad, 2> shelves = {kWeightingShelf(), kWeightingShelf()};
    std::array<Biquad, 2> highPasses = {kWeightingHighPass(), kWeightingHighPass()};
    std::vector<double> chunkEnergies;
    double energy = 0.0;
    for (std::size_t i = 0; i < signal.size(); ++i) {
        const double left = highPasses[0].process(shelves[0].process(signal.left[i]));
        const double right = highPasses[1].process(shelves[1].process(signal.right[i]));
        energy += left * left + right * right;
        if ((i + 1) % chunkSamples == 0) {
            chunkEnergies.push_back(energy);
            energy = 0.0;
        }
    }
    std::vector<double> blockPowers;
    for (std::size_t chunk = 0; chunk + chunksPerBlock <= chunkEnergies.size(); ++chunk) {
        double sum = 0.0;
        for (std::size_t c = chunk; c < chunk + chunksPerBlock; ++c)
            sum += chunkEnergies[c];
        blockPowers.push_back(sum / (chunksPerBlock * chunkSamples));
    }
    const auto loudness = [](double power) { return -0.691 + 10.0 * std::log10(power); };
    const auto gatedMeanPower = [&](double thresholdLufs) {
        double sum = 0.0;
        int count = 0;
        for (double power : blockPowers) {
            if (power > 0.0 && loudness(power) > thresholdLufs) {
                sum += power;
                ++count;
            }
        }
        return count > 0 ? sum / count : 0.0;
    };
    const double absolutelyGated = gatedMeanPower(-70.0);
    if (absolutelyGated <= 0.0)
        return -std::numeric_limits<double>::infinity();
    return loudness(gatedMeanPower(loudness(absolutelyGated) - 10.0));
}

double truePeakDbtp(const StereoBuffer& signal)
{
    const std::vector<float> peaks = interSamplePeaks(signal);
    return gainToDecibels(*std::max_element(peaks.begin(), peaks.end()));
}

double samplePeakDbfs(const StereoBuffer& signal)
{
    float peak = 0.0f;
    for (const std::vector<float>* channel : {&signal.left, &signal.right}) {
        for (float value : *channel)
            peak = std::max(peak, std::abs(value));
    }
    return gainToDecibels(peak);
}

void masterTrack(StereoBuffer& track, double targetLufs, double ceilingDbtp)
{
    const double unlimitedLoudness = integratedLoudnessLufs(track);
    if (!std::isfinite(unlimitedLoudness))
        return;
    const std::vector<float> peaks = interSamplePeaks(track);
    const float ceiling = decibelsToGain(ceilingDbtp);
    StereoBuffer limited(track.size());
    const auto limitedLoudness = [&](double gainDb) {
        const float inputGain = decibelsToGain(gainDb);
        const std::vector<float> gains = limiterGains(peaks, inputGain, ceiling);
        for (std::size_t i = 0; i < track.size(); ++i) {
            limited.left[i] = track.left[i] * inputGain * gains[i];
            limited.right[i] = track.right[i] * inputGain * gains[i];
        }
        return integratedLoudnessLufs(limited);
    };
    // The harder the limiter works, the less loudness each dB of gain buys, so the gain
    // is found by secant steps, starting from the unlimited slope of one.
    double gainDb = targetLufs - unlimitedLoudness;
    double slope = 1.0;
    double previousGainDb = 0.0;
    double previousLoudness = 0.0;
    constexpr int maximumPasses = 8;
    for (int pass = 0; pass < maximumPasses; ++pass) {
        const double loudness = limitedLoudness(gainDb);
        const double shortfall = targetLufs - loudness;
        if (std::abs(shortfall) < 0.05)
            break;
        if (pass > 0)
            slope = std::clamp((loudness - previousLoudness) / (gainDb - previousGainDb), 0.1, 1.0);
        previousGainDb = gainDb;
        previousLoudness = loudness;
        gainDb += shortfall / slope;
    }
    track = std::move(limited);
}

}  // namespace datagen::music
