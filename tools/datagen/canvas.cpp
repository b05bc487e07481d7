#include "canvas.h"

#include "noise.h"

namespace datagen {

Canvas::Canvas(int width, int height)
    : width_(width), height_(height), premultiplied_(static_cast<std::size_t>(width) * height * 4, 0.0f)
{
}

Colour Canvas::pixel(int x, int y) const
{
    const float* p = at(x, y);
    if (p[3] <= 0.0f)
        return {0.0f, 0.0f, 0.0f, 0.0f};
    return {p[0] / p[3], p[1] / p[3], p[2] / p[3], p[3]};
}

void Canvas::setPixel(int x, int y, const Colour& colour)
{
    float* p = at(x, y);
    p[0] = colour.r * colour.a;
    p[1] = colour.g * colour.a;
    p[2] = colour.b * colour.a;
    p[3] = colour.a;
}

void Canvas::blendOver(int x, int y, const Colour& colour, float coverage)
{
    float* p = at(x, y);
    const float alpha = colour.a * coverage;
    const float keep = 1.0f - alpha;
    p[0] = colour.r * alpha + p[0] * keep;
    p[1] = colour.g * alpha + p[1] * keep;
    p[2] = colour.b * alpha + p[2] * keep;
    p[3] = alpha + p[3] * keep;
}

void Canvas::addLight(int x, int y, const Colour& light, float strength, float alphaGain)
{
    float* p = at(x, y);
    const float newAlpha = std::min(1.0f, p[3] + alphaGain * strength * (1.0f - p[3]));
    // Light is added to the straight colour, so keep the pixel's hue where the
    // alpha grows rather than letting the premultiplied sum wash it out.
    const float scale = p[3] > 0.0f ? newAlpha / p[3] : 0.0f;
    p[0] = std::min(newAlpha, p[0] * scale + light.r * strength * newAlpha);
    p[1] = std::min(newAlpha, p[1] * scale + light.g * strength * newAlpha);
    p[2] = std::min(newAlpha, p[2] * scale + light.b * strength * newAlpha);
    p[3] = newAlpha;
}

std::vector<std::uint8_t> Canvas::toRgba8(std::uint32_t ditherSeed) const
{
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width_) * height_ * 4);
    std::uint8_t* out = bytes.data();
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x, out += 4) {
            const Colour c = pixel(x, y);
            if (c.a <= 0.0f) {
                out[0] = out[1] = out[2] = out[3] = 0;
                continue;
            }
            const float channels[4] = {c.r, c.g, c.b, c.a};
            for (int i = 0; i < 4; ++i) {
                // floor(v + u) with u uniform in [0, 1) rounds up with probability equal
                // to the fraction, so the average is exact and 0 and 255 stay put.
                const float u = hashUnit(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), ditherSeed + i);
                const float v = std::floor(std::clamp(channels[i], 0.0f, 1.0f) * 255.0f + u);
                out[i] = static_cast<std::uint8_t>(std::min(v, 255.0f));
            }
        }
    }
    return bytes;
}

void paintMask(Canvas& canvas, const Mask& mask, const Colour& colour)
{
    for (int y = 0; y < mask.height(); ++y) {
        for (int x = 0; x < mask.width(); ++x) {
            const float coverage = mask.at(x, y);
            if (coverage > 0.0f)
                canvas.blendOver(x, y, colour, coverage);
        }
    }
}

float Capsule::distance(Vec2 p) const
{
    const Vec2 ab = b - a;
    const float lengthSquared = dot(ab, ab);
    const float t = lengthSquared > 0.0f ? std::clamp(dot(p - a, ab) / lengthSquared, 0.0f, 1.0f) : 0.0f;
    return length(p - (a + ab * t)) - mix(radiusA, radiusB, t);
}

float Ellipse::distance(Vec2 p) const
{
    const Vec2 d = p - centre;
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    const Vec2 local{d.x * c + d.y * s, -d.x * s + d.y * c};
    // First-order distance estimate: the implicit function divided by its gradient.
    const float k0 = length({local.x / radii.x, local.y / radii.y});
    const float k1 = length({local.x / (radii.x * radii.x), local.y / (radii.y * radii.y)});
    if (k1 <= 0.0f)
        return -std::min(radii.x, radii.y);
    return k0 * (k0 - 1.0f) / k1;
}

}  // namespace datagen
