// The underwater backdrop. The show draws it at 0.7 to 0.9 of its size about
// the middle, so the screen sees roughly the band from 0.27 to 0.75 of the
// height: the brightest water is at the band's top and the seabed at its
// bottom. The rest is painted too, since the sway and roll reach the corners.
#include <cmath>
#include <numbers>

#include "noise.h"
#include "pictures.h"

namespace datagen {

namespace {

constexpr std::uint32_t kSeed = 0x6B656C70u;
constexpr float kPi = std::numbers::pi_v<float>;

struct GradientStop {
    float depth;
    Colour colour;
};

Colour waterColour(float depth)
{
    static const GradientStop stops[] = {
        {0.20f, {0.28f, 0.70f, 0.76f, 0.66f}}, {0.32f, {0.12f, 0.47f, 0.60f, 0.68f}},
        {0.50f, {0.05f, 0.27f, 0.45f, 0.72f}}, {0.72f, {0.02f, 0.12f, 0.28f, 0.78f}},
        {1.00f, {0.01f, 0.05f, 0.13f, 0.84f}},
    };
    if (depth <= stops[0].depth)
        return stops[0].colour;
    for (std::size_t i = 1; i < std::size(stops); ++i) {
        if (depth <= stops[i].depth) {
            const float t = (depth - stops[i - 1].depth) / (stops[i].depth - stops[i - 1].depth);
            return mix(stops[i - 1].colour, stops[i].colour, t);
        }
    }
    return stops[std::size(stops) - 1].colour;
}

float seabedDepth(float u)
{
    return 0.645f + 0.018f * std::sin(u * 2.0f * kPi * 1.3f + 0.7f) +
           0.05f * (fractalNoise(u * 5.0f, 0.5f, 3, kSeed + 1) - 0.5f);
}

// Bright wavy lines where light focused by the rippling surface falls: the
// borders of two warped cell patterns, glowing brighter where they cross.
float caustics(float x, float y)
{
    const float warpX = fractalNoise(x * 0.9f, y * 0.9f, 2, kSeed + 2) - 0.5f;
    const float warpY = fractalNoise(x * 0.9f + 17.0f, y * 0.9f, 2, kSeed + 2) - 0.5f;
    const CellDistances a = cellNoise(x + warpX * 0.9f, y + warpY * 0.9f, kSeed + 3);
    const CellDistances b = cellNoise(x * 1.3f - warpY * 1.1f + 11.0f, y * 1.3f + warpX * 1.1f, kSeed + 4);
    const float lineA = std::exp(-(a.secondNearest - a.nearest) / 0.05f);
    const float lineB = std::exp(-(b.secondNearest - b.nearest) / 0.04f);
    return std::min(1.0f, 0.6f * lineA + 0.45f * lineB + 0.8f * lineA * lineB);
}

void paintWaterAndSeabed(Canvas& canvas)
{
    const int size = canvas.width();
    const Colour sand{0.30f, 0.36f, 0.30f, 0.92f};
    const Colour causticLight{0.55f, 0.85f, 0.80f, 0.0f};
    for (int y = 0; y < size; ++y) {
        const float v = (y + 0.5f) / size;
        for (int x = 0; x < size; ++x) {
            const float u = (x + 0.5f) / size;
            Colour colour = waterColour(v);
            const float tint = fractalNoise(u * 3.0f, v * 3.0f, 3, kSeed + 5) - 0.5f;
            colour.g += tint * 0.05f;
            colour.b += tint * 0.04f;
            colour.a += tint * 0.08f;
            // Faint ripples of light in the upper water.
            const float ripple = (1.0f - smoothstep(0.22f, 0.5f, v)) * caustics(u * 9.0f, v * 14.0f);
            colour.r += ripple * 0.05f;
            colour.g += ripple * 0.09f;
            colour.b += ripple * 0.09f;

            const float bed = seabedDepth(u);
            const float bedCoverage = std::clamp((v - bed) * size + 0.5f, 0.0f, 1.0f);
            if (bedCoverage > 0.0f) {
                // The seabed fades into the water towards its far edge; its caustic
                // cells are squashed there, as if seen at a grazing angle.
                const float nearness = smoothstep(0.0f, 0.22f, v - bed);
                const float grain = fractalNoise(u * 40.0f, v * 90.0f, 2, kSeed + 6);
                Colour ground = sand;
                ground.r *= 0.8f + 0.3f * grain;
                ground.g *= 0.8f + 0.3f * grain;
                ground.b *= 0.8f + 0.3f * grain;
                const float light = caustics(u * 16.0f, (v - bed) * 42.0f) * (0.4f + 0.6f * nearness);
                ground.r += causticLight.r * light * 0.5f;
                ground.g += causticLight.g * light * 0.5f;
                ground.b += causticLight.b * light * 0.5f;
                const Colour seen = mix(colour, ground, 0.15f + 0.65f * nearness);
                colour = mix(colour, seen, bedCoverage);
            }
            colour.a = std::clamp(colour.a, 0.0f, 1.0f);
            canvas.setPixel(x, y, colour);
        }
    }
}

struct KelpStyle {
    float rootWidth;
    float tipWidth;
    float bladeLength;
    float bladeWidth;
};

// One kelp stalk swaying up from `root`, blades on alternate sides, unioned into the mask.
void growKelp(Mask& mask, Random& random, Vec2 root, float height, const KelpStyle& style)
{
    constexpr int kSegments = 48;
    const float swayAmplitude = height * random.range(0.03f, 0.07f);
    const float swayWaves = random.range(0.6f, 1.4f);
    const float swayPhase = random.range(0.0f, 2.0f * kPi);
    const float lean = height * random.range(-0.12f, 0.12f);
    auto stalkPoint = [&](float t) {
        const float sway = swayAmplitude * (std::sin(t * swayWaves * 2.0f * kPi + swayPhase) - std::sin(swayPhase));
        return root + Vec2{sway + lean * t * t, -height * t};
    };

    for (int i = 0; i < kSegments; ++i) {
        const float t0 = static_cast<float>(i) / kSegments;
        const float t1 = static_cast<float>(i + 1) / kSegments;
        unite(mask, Capsule{stalkPoint(t0), stalkPoint(t1), mix(style.rootWidth, style.tipWidth, t0) * 0.5f,
                            mix(style.rootWidth, style.tipWidth, t1) * 0.5f});
    }

    float side = random.unit() < 0.5f ? -1.0f : 1.0f;
    for (float t = random.range(0.08f, 0.14f); t < 1.0f; t += random.range(0.06f, 0.09f)) {
        const Vec2 along = stalkPoint(std::min(1.0f, t + 0.01f)) - stalkPoint(std::max(0.0f, t - 0.01f));
        // A blade leaves the stalk pointing up and out from a small float, then
        // bends further out along its length; it is widest a third of the way.
        float angle = std::atan2(along.y, along.x) + side * random.range(0.3f, 0.6f);
        const float bend = side * random.range(0.12f, 0.3f);
        const float bladeLength = style.bladeLength * random.range(0.75f, 1.2f) * (1.0f - 0.3f * t);
        const float bladeWidth = style.bladeWidth * random.range(0.8f, 1.2f);
        const float widths[] = {0.2f, 1.0f, 0.75f, 0.08f};
        Vec2 point = stalkPoint(t);
        unite(mask, Ellipse{point, Vec2{1.0f, 1.0f} * (bladeWidth * 0.28f), 0.0f});
        for (int piece = 0; piece < 3; ++piece) {
            const Vec2 next = point + Vec2{std::cos(angle), std::sin(angle)} * (bladeLength / 3.0f);
            unite(mask, Capsule{point, next, bladeWidth * 0.5f * widths[piece], bladeWidth * 0.5f * widths[piece + 1]});
            point = next;
            angle += bend;
        }
        side = -side;
    }
}

void paintKelpForest(Canvas& canvas, Random& random, bool near)
{
    const float size = static_cast<float>(canvas.width());
    const float pixel = size / 2048.0f;
    Mask mask(canvas.width(), canvas.height());
    if (near) {
        // Close stalks frame the sides and leave the middle, where the record and
        // the submarine pass, open.
        const float roots[] = {0.06f, 0.17f, 0.27f, 0.75f, 0.86f, 0.95f};
        const KelpStyle style{16.0f * pixel, 6.0f * pixel, 230.0f * pixel, 36.0f * pixel};
        for (const float u : roots) {
            const float height = size * random.range(0.55f, 0.72f);
            growKelp(mask, random, {size * (u + random.range(-0.02f, 0.02f)), size * 1.02f}, height, style);
        }
        paintMask(canvas, mask, {0.025f, 0.08f, 0.055f, 0.93f});
    } else {
        const KelpStyle style{7.0f * pixel, 3.0f * pixel, 100.0f * pixel, 16.0f * pixel};
        for (int i = 0; i < 14; ++i) {
            const float u = (static_cast<float>(i) + random.range(0.1f, 0.9f)) / 14.0f;
            const float height = size * random.range(0.18f, 0.34f);
            growKelp(mask, random, {size * u, size * (seabedDepth(u) + 0.01f)}, height, style);
        }
        paintMask(canvas, mask, {0.04f, 0.17f, 0.22f, 0.6f});
    }
}

// Rays of sunlight fanning down from a point above the surface, fading with depth.
void addLightShafts(Canvas& canvas, Random& random)
{
    struct Shaft {
        float angle;
        float width;
        float strength;
    };
    std::vector<Shaft> shafts;
    for (int i = 0; i < 11; ++i) {
        shafts.push_back({random.range(-0.55f, 0.45f), random.range(0.006f, 0.03f), random.range(0.12f, 0.35f)});
    }
    const int size = canvas.width();
    const Vec2 source{0.60f, -0.35f};
    const Colour light{0.55f, 0.85f, 0.85f, 1.0f};
    for (int y = 0; y < size; ++y) {
        const float v = (y + 0.5f) / size;
        const float fade = std::exp(-std::max(0.0f, v - 0.22f) / 0.22f);
        for (int x = 0; x < size; ++x) {
            const Vec2 offset = Vec2{(x + 0.5f) / size, v} - source;
            const float angle = std::atan2(offset.x, offset.y);
            float strength = 0.0f;
            for (const Shaft& shaft : shafts) {
                const float d = (angle - shaft.angle) / shaft.width;
                strength += shaft.strength * std::exp(-d * d);
            }
            // The rays shimmer along their length.
            const float shimmer = 0.55f + 0.45f * valueNoise(angle * 60.0f, length(offset) * 6.0f, kSeed + 7);
            canvas.addLight(x, y, light, strength * fade * shimmer, 0.35f);
        }
    }
}

// Marine snow: many small specks and a few large out-of-focus motes.
void addParticles(Canvas& canvas, Random& random)
{
    const float size = static_cast<float>(canvas.width());
    const float pixel = size / 2048.0f;
    for (int i = 0; i < 2400; ++i) {
        const Vec2 centre{random.range(0.0f, size), random.range(0.0f, size)};
        const float radius = random.range(0.5f, 2.0f) * pixel;
        const float brightness = 1.0f - 0.5f * centre.y / size;
        blendShape(canvas, Ellipse{centre, {radius, radius}, 0.0f},
                   {0.78f, 0.92f, 0.95f, random.range(0.25f, 0.7f) * brightness}, std::max(1.0f, radius * 0.8f));
    }
    for (int i = 0; i < 80; ++i) {
        const Vec2 centre{random.range(0.0f, size), random.range(0.0f, size)};
        const float radius = random.range(6.0f, 22.0f) * pixel;
        blendShape(canvas, Ellipse{centre, {radius, radius}, 0.0f}, {0.7f, 0.9f, 0.95f, random.range(0.05f, 0.14f)},
                   radius * 0.5f);
    }
}

}  // namespace

Canvas paintUnderwater(int size)
{
    Canvas canvas(size, size);
    Random random(kSeed);
    paintWaterAndSeabed(canvas);
    paintKelpForest(canvas, random, false);
    addLightShafts(canvas, random);
    paintKelpForest(canvas, random, true);
    addParticles(canvas, random);
    return canvas;
}

}  // namespace datagen
