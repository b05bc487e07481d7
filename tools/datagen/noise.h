// Deterministic randomness for the painters: a seeded generator for placing
// things, and hash-based noise fields that give the same value for the same
// point and seed on every run.
#pragma once

#include <cstdint>

namespace datagen {

// A hash of (x, y, seed) as a float in [0, 1).
float hashUnit(std::uint32_t x, std::uint32_t y, std::uint32_t seed);

// splitmix64: small, fast and fully specified, so the sequence never depends
// on the standard library's implementation.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next();
    float unit();  // [0, 1)
    float range(float low, float high) { return low + (high - low) * unit(); }

private:
    std::uint64_t state_;
};

// Smoothly interpolated lattice noise in [0, 1), one lattice cell per unit.
float valueNoise(float x, float y, std::uint32_t seed);

// Sum of `octaves` layers of value noise, each twice the frequency and half the
// weight of the last, normalised to [0, 1).
float fractalNoise(float x, float y, int octaves, std::uint32_t seed);

// Distances from a point to the nearest and second-nearest of a set of random
// points, one per unit cell. Their difference is zero on the cell borders.
struct CellDistances {
    float nearest;
    float secondNearest;
};
CellDistances cellNoise(float x, float y, std::uint32_t seed);

}  // namespace datagen
