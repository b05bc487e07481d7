// The record and its label. The record barely turns in the show (its roll
// stays near one radian), so its sheen is painted in; the label spins a radian
// a beat, so its design is deliberately lopsided and lettered.
#include <cmath>
#include <numbers>

#include "font.h"
#include "noise.h"
#include "pictures.h"

namespace datagen {

namespace {

constexpr std::uint32_t kSeed = 0x76696E79u;
constexpr float kPi = std::numbers::pi_v<float>;

// Radii, as fractions of the record's radius, of the smooth bands between tracks.
constexpr float kTrackGaps[] = {0.885f, 0.80f, 0.715f, 0.61f, 0.525f, 0.455f};
constexpr float kTrackGapHalfWidth = 0.0035f;
constexpr float kGroovedOuter = 0.962f;
constexpr float kGroovedInner = 0.40f;
constexpr float kSheenAngle = 0.6f;

struct PolarPoint {
    float radius;  // pixels from the centre
    float angle;
};

PolarPoint polarAround(int x, int y, float centre)
{
    const float dx = x + 0.5f - centre;
    const float dy = y + 0.5f - centre;
    return {std::sqrt(dx * dx + dy * dy), std::atan2(dy, dx)};
}

// 1 inside the band [inner, outer] of fractional radius rho, ramping over `edge`.
float band(float rho, float inner, float outer, float edge)
{
    return smoothstep(inner - edge, inner, rho) * (1.0f - smoothstep(outer, outer + edge, rho));
}

float vinylBrightness(float rho, float radiusPixels, float angle, float groovePeriod)
{
    const float edge = 1.0f / radiusPixels;
    float grooved = band(rho, kGroovedInner, kGroovedOuter, edge * 2.0f);
    for (const float gap : kTrackGaps)
        grooved *= 1.0f - band(rho, gap - kTrackGapHalfWidth, gap + kTrackGapHalfWidth, edge * 2.0f);

    // Louder and quieter passages cut the grooves a little differently.
    const float loudness = fractalNoise(rho * 70.0f, 0.5f, 3, kSeed);
    const float groove = 0.5f + 0.5f * std::sin(2.0f * kPi * rho * radiusPixels / groovePeriod);

    // Light catches the grooves in two opposite wedges; smooth vinyl shows a broad soft gloss.
    const float wedge = std::pow(std::abs(std::cos(angle - kSheenAngle)), 24.0f);
    const float gloss = 0.5f + 0.5f * std::cos(angle - kSheenAngle - 0.4f);
    float value = 0.035f + 0.02f * gloss;
    value += grooved * (0.012f * groove + 0.008f * loudness);
    value += grooved * wedge * (0.28f + 0.14f * loudness) * (0.75f + 0.25f * groove);
    value += (1.0f - grooved) * wedge * 0.035f;

    // A lead-out line in the run-out, and the raised rounded rim catching light.
    value += 0.03f * band(rho, 0.372f, 0.374f, edge);
    value += (0.05f + 0.10f * wedge) * band(rho, 0.988f, 0.994f, edge * 3.0f);
    return value;
}

}  // namespace

Canvas paintVinyl(int size)
{
    Canvas canvas(size, size);
    const float centre = size * 0.5f;
    const float radius = kRecordRadius * size;
    const float hole = kHoleRadius * size;
    const float groovePeriod = std::max(2.2f, 3.0f * size / 2048.0f);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const PolarPoint p = polarAround(x, y, centre);
            const float alpha = annulusCoverage(p.radius, hole, radius);
            if (alpha <= 0.0f)
                continue;
            const float v = vinylBrightness(p.radius / radius, radius, p.angle, groovePeriod);
            canvas.setPixel(x, y, {v * 0.95f, v * 0.97f, v * 1.05f, alpha});
        }
    }
    return canvas;
}

namespace {

const Colour kLabelOrange{0.96f, 0.50f, 0.14f, 1.0f};
const Colour kLabelCream{0.98f, 0.92f, 0.76f, 1.0f};
const Colour kLabelTeal{0.04f, 0.30f, 0.34f, 1.0f};
const Colour kLabelInk{0.24f, 0.08f, 0.03f, 1.0f};

// Lettering and emblem, drawn into masks in picture pixels.
struct LabelArtwork {
    Mask inkOnOrange;
    Mask tealOnCream;
    Mask creamOnTeal;
    Mask emblem;
};

LabelArtwork drawLabelArtwork(int size)
{
    const Font font(kLetteringFontPath);
    const float centre = size * 0.5f;
    const float r = kLabelRadius * size;
    const Vec2 middle{centre, centre};
    LabelArtwork art{Mask(size, size), Mask(size, size), Mask(size, size), Mask(size, size)};

    uniteTextOnCircle(art.inkOnOrange, font, "KELPWAX RECORDS", 0.13f * r, middle, 0.76f * r, 0.15f, false);
    uniteTextOnCircle(art.tealOnCream, font, "150 BPM - SIDE A", 0.085f * r, middle, 0.80f * r, kPi, true);
    uniteTextLine(art.tealOnCream, font, "QUIRN", 0.24f * r, middle + Vec2{0.05f * r, 0.58f * r});
    uniteTextLine(art.inkOnOrange, font, "33", 0.16f * r, middle + Vec2{0.52f * r, 0.02f * r});

    const Vec2 emblemCentre = middle + Vec2{-0.47f, -0.13f} * r;
    unite(art.emblem, Ellipse{emblemCentre, Vec2{0.21f, 0.21f} * r, 0.0f});
    uniteTextLine(art.creamOnTeal, font, "K", 0.26f * r, emblemCentre + Vec2{0.0f, 0.095f * r});
    return art;
}

}  // namespace

Canvas paintVinylLabel(int size)
{
    const LabelArtwork art = drawLabelArtwork(size);
    Canvas canvas(size, size);
    const float centre = size * 0.5f;
    const float radius = kLabelRadius * size;
    const float hole = kHoleRadius * size;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const PolarPoint p = polarAround(x, y, centre);
            const float alpha = annulusCoverage(p.radius, hole, radius);
            if (alpha <= 0.0f)
                continue;
            const Vec2 q{(x + 0.5f - centre) / radius, (y + 0.5f - centre) / radius};
            const float rho = p.radius / radius;

            // Orange above a wavy cream band that fills the lower part.
            const float waveLine = 0.28f + 0.07f * std::sin(q.x * 4.5f + 0.8f);
            const float cream = std::clamp((q.y - waveLine) * radius + 0.5f, 0.0f, 1.0f);
            Colour colour = mix(kLabelOrange, kLabelCream, cream);
            colour = mix(colour, kLabelInk, art.inkOnOrange.at(x, y) * (1.0f - cream));
            colour = mix(colour, kLabelTeal, art.tealOnCream.at(x, y) * cream);
            colour = mix(colour, kLabelTeal, art.emblem.at(x, y));
            colour = mix(colour, kLabelCream, art.creamOnTeal.at(x, y));

            // Printed rings at the edge and round the spindle; the edge darkens a little like worn paper.
            const float ringWidth = 0.006f * radius;
            colour = mix(colour, kLabelInk,
                         annulusCoverage(p.radius, 0.93f * radius - ringWidth, 0.93f * radius + ringWidth));
            colour =
                mix(colour, kLabelInk, annulusCoverage(p.radius, hole * 2.2f - ringWidth, hole * 2.2f + ringWidth));
            const float shade = 1.0f - 0.18f * smoothstep(0.85f, 1.0f, rho);
            const float grain = 0.97f + 0.06f * fractalNoise(q.x * 40.0f, q.y * 40.0f, 2, kSeed + 1);
            canvas.setPixel(x, y,
                            {colour.r * shade * grain, colour.g * shade * grain, colour.b * shade * grain, alpha});
        }
    }
    return canvas;
}

}  // namespace datagen
