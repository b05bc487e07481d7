#include "scene/background_pulse.h"

#include <cmath>
#include <numbers>

namespace {

// 255 × sin², truncated: a channel reaches 255 only where the square is exactly 1.
std::uint32_t pulseChannel(double angle)
{
    const double s = std::sin(angle);
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(255.0 * (s * s))) & 0xFF;
}

}  // namespace

D3DCOLOR backgroundColour(const BeatClock& clock)
{
    const double beatTime = clock.beatTime;
    constexpr double pi = std::numbers::pi;
    constexpr double blueRate = 0.33 * pi;
    return D3DCOLOR_ARGB(255, pulseChannel(pi * beatTime), pulseChannel(pi / 2 * beatTime),
                         pulseChannel(blueRate * beatTime));
}
