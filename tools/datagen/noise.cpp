#include "noise.h"

#include <cmath>
#include <limits>

namespace datagen {

namespace {

std::uint32_t hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed)
{
    std::uint32_t h = seed * 0x9E3779B9u ^ x * 0x85EBCA6Bu ^ y * 0xC2B2AE35u;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

float toUnit(std::uint32_t h)
{
    return static_cast<float>(h >> 8) * (1.0f / 16777216.0f);
}

float fade(float t)
{
    return t * t * (3.0f - 2.0f * t);
}

}  // namespace

float hashUnit(std::uint32_t x, std::uint32_t y, std::uint32_t seed)
{
    return toUnit(hash(x, y, seed));
}

std::uint64_t Random::next()
{
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

float Random::unit()
{
    return static_cast<float>(next() >> 40) * (1.0f / 16777216.0f);
}

float valueNoise(float x, float y, std::uint32_t seed)
{
    const float fx = std::floor(x);
    const float fy = std::floor(y);
    const auto ix = static_cast<std::uint32_t>(static_cast<std::int32_t>(fx));
    const auto iy = static_cast<std::uint32_t>(static_cast<std::int32_t>(fy));
    const float tx = fade(x - fx);
    const float ty = fade(y - fy);
    const float v00 = hashUnit(ix, iy, seed);
    const float v10 = hashUnit(ix + 1, iy, seed);
    const float v01 = hashUnit(ix, iy + 1, seed);
    const float v11 = hashUnit(ix + 1, iy + 1, seed);
    const float top = v00 + (v10 - v00) * tx;
    const float bottom = v01 + (v11 - v01) * tx;
    return top + (bottom - top) * ty;
}

float fractalNoise(float x, float y, int octaves, std::uint32_t seed)
{
    float sum = 0.0f;
    float weight = 1.0f;
    float totalWeight = 0.0f;
    for (int octave = 0; octave < octaves; ++octave) {
        sum += valueNoise(x, y, seed + static_cast<std::uint32_t>(octave) * 101u) * weight;
        totalWeight += weight;
        x *= 2.0f;
        y *= 2.0f;
        weight *= 0.5f;
    }
    return sum / totalWeight;
}

CellDistances cellNoise(float x, float y, std::uint32_t seed)
{
    const float fx = std::floor(x);
    const float fy = std::floor(y);
    float nearest = std::numeric_limits<float>::max();
    float second = nearest;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const float cx = fx + static_cast<float>(dx);
            const float cy = fy + static_cast<float>(dy);
            const auto ix = static_cast<std::uint32_t>(static_cast<std::int32_t>(cx));
            const auto iy = static_cast<std::uint32_t>(static_cast<std::int32_t>(cy));
            const float px = cx + hashUnit(ix, iy, seed) - x;
            const float py = cy + hashUnit(ix, iy, seed + 7919u) - y;
            const float d = std::sqrt(px * px + py * py);
            if (d < nearest) {
                second = nearest;
                nearest = d;
            } else if (d < second) {
                second = d;
            }
        }
    }
    return {nearest, second};
}

}  // namespace datagen
