// Float RGBA pictures that the painters compose, antialiased shape coverage,
// and the dithered conversion to 8-bit RGBA that every written picture goes through.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace datagen {

struct Vec2 {
    float x = 0.0f;
    float y = 0.0f;
};

inline Vec2 operator+(Vec2 a, Vec2 b)
{
    return {a.x + b.x, a.y + b.y};
}
inline Vec2 operator-(Vec2 a, Vec2 b)
{
    return {a.x - b.x, a.y - b.y};
}
inline Vec2 operator*(Vec2 a, float s)
{
    return {a.x * s, a.y * s};
}
inline float dot(Vec2 a, Vec2 b)
{
    return a.x * b.x + a.y * b.y;
}
inline float length(Vec2 a)
{
    return std::sqrt(dot(a, a));
}

// Straight (not premultiplied) colour, every channel 0..1.
struct Colour {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 1.0f;
};

inline float mix(float a, float b, float t)
{
    return a + (b - a) * t;
}
inline Colour mix(const Colour& a, const Colour& b, float t)
{
    return {mix(a.r, b.r, t), mix(a.g, b.g, t), mix(a.b, b.b, t), mix(a.a, b.a, t)};
}
inline float smoothstep(float edge0, float edge1, float x)
{
    const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// A picture being painted. Pixels are kept premultiplied so that layers
// composite with one multiply-add; pixel (x, y) covers [x, x+1) × [y, y+1).
class Canvas {
public:
    Canvas(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }

    Colour pixel(int x, int y) const;
    void setPixel(int x, int y, const Colour& colour);
    // Composites `colour` over the pixel, weighted by `coverage` (0..1).
    void blendOver(int x, int y, const Colour& colour, float coverage = 1.0f);
    // Adds light to the colour (alpha grows by `alphaGain` × the light's strength).
    void addLight(int x, int y, const Colour& light, float strength, float alphaGain);

    // Straight RGBA, 4 bytes a pixel, rows top to bottom. Every channel is
    // dithered with a fixed per-pixel pattern so gradients do not band; fully
    // opaque and fully transparent stay exact.
    std::vector<std::uint8_t> toRgba8(std::uint32_t ditherSeed) const;

private:
    float* at(int x, int y) { return &premultiplied_[(static_cast<std::size_t>(y) * width_ + x) * 4]; }
    const float* at(int x, int y) const { return &premultiplied_[(static_cast<std::size_t>(y) * width_ + x) * 4]; }

    int width_;
    int height_;
    std::vector<float> premultiplied_;
};

// Coverage of one channel (0..1 a pixel): shapes are unioned into it first and
// the union is composited once, so overlapping parts of a silhouette do not
// darken each other.
class Mask {
public:
    Mask(int width, int height) : width_(width), height_(height), coverage_(static_cast<std::size_t>(width) * height) {}

    int width() const { return width_; }
    int height() const { return height_; }
    float at(int x, int y) const { return coverage_[static_cast<std::size_t>(y) * width_ + x]; }
    void unite(int x, int y, float coverage)
    {
        float& c = coverage_[static_cast<std::size_t>(y) * width_ + x];
        c = std::max(c, coverage);
    }
    void set(int x, int y, float coverage) { coverage_[static_cast<std::size_t>(y) * width_ + x] = coverage; }

private:
    int width_;
    int height_;
    std::vector<float> coverage_;
};

// Composites `colour` over every pixel of the canvas, weighted by the mask.
void paintMask(Canvas& canvas, const Mask& mask, const Colour& colour);

// A segment with rounded ends whose radius goes linearly from radiusA to radiusB.
struct Capsule {
    Vec2 a;
    Vec2 b;
    float radiusA = 1.0f;
    float radiusB = 1.0f;

    float distance(Vec2 p) const;
    float reach() const { return std::max(radiusA, radiusB); }
    Vec2 boundsMin() const { return {std::min(a.x, b.x) - reach(), std::min(a.y, b.y) - reach()}; }
    Vec2 boundsMax() const { return {std::max(a.x, b.x) + reach(), std::max(a.y, b.y) + reach()}; }
};

// An ellipse turned by `angle` radians (clockwise on screen, y pointing down).
struct Ellipse {
    Vec2 centre;
    Vec2 radii;
    float angle = 0.0f;

    float distance(Vec2 p) const;
    float reach() const { return std::max(radii.x, radii.y); }
    Vec2 boundsMin() const { return {centre.x - reach(), centre.y - reach()}; }
    Vec2 boundsMax() const { return {centre.x + reach(), centre.y + reach()}; }
};

// Calls visit(x, y, coverage) for each pixel the shape touches. The edge is a
// ramp `softness` pixels wide centred on the outline (1 = plain antialiasing).
template <class Shape, class Visit>
void rasterize(const Shape& shape, int width, int height, float softness, Visit&& visit)
{
    const Vec2 low = shape.boundsMin();
    const Vec2 high = shape.boundsMax();
    const int x0 = std::max(0, static_cast<int>(std::floor(low.x - softness)));
    const int y0 = std::max(0, static_cast<int>(std::floor(low.y - softness)));
    const int x1 = std::min(width - 1, static_cast<int>(std::ceil(high.x + softness)));
    const int y1 = std::min(height - 1, static_cast<int>(std::ceil(high.y + softness)));
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const float d = shape.distance({x + 0.5f, y + 0.5f});
            const float coverage = std::clamp(0.5f - d / softness, 0.0f, 1.0f);
            if (coverage > 0.0f)
                visit(x, y, coverage);
        }
    }
}

template <class Shape>
void unite(Mask& mask, const Shape& shape, float softness = 1.0f)
{
    rasterize(shape, mask.width(), mask.height(), softness,
              [&](int x, int y, float coverage) { mask.unite(x, y, coverage); });
}

template <class Shape>
void blendShape(Canvas& canvas, const Shape& shape, const Colour& colour, float softness = 1.0f)
{
    rasterize(shape, canvas.width(), canvas.height(), softness,
              [&](int x, int y, float coverage) { canvas.blendOver(x, y, colour, coverage); });
}

// Coverage of the ring between two radii about a centre, antialiased on both edges.
inline float annulusCoverage(float radius, float innerRadius, float outerRadius)
{
    return std::clamp(outerRadius - radius + 0.5f, 0.0f, 1.0f) * std::clamp(radius - innerRadius + 0.5f, 0.0f, 1.0f);
}

}  // namespace datagen
