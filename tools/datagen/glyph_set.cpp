#include "glyph_set.h"

#include <cassert>

namespace datagen {

namespace {

constexpr float kEmPixels = 68.0f;
constexpr float kCapHeight = 0.729f * kEmPixels;  // DejaVu Sans Bold's capitals
constexpr float kOutlineRadius = 3.0f;
constexpr Vec2 kShadowOffset{3.0f, 4.0f};
constexpr int kShadowBlurRadius = 2;

// Capitals are centred on the middle row; every glyph shares this baseline so
// a line of text keeps its shape.
constexpr float kBaselineY = kGlyphPictureSize * 0.5f + kCapHeight * 0.5f;

const Colour kOutlineColour{0.06f, 0.05f, 0.14f, 1.0f};
const Colour kShadowColour{0.0f, 0.0f, 0.05f, 0.6f};

// The fill runs from pale gold at the capitals' tops to deep orange at the baseline.
Colour fillColour(float y)
{
    const Colour top{1.0f, 0.98f, 0.80f, 1.0f};
    const Colour middle{1.0f, 0.78f, 0.30f, 1.0f};
    const Colour bottom{0.95f, 0.40f, 0.10f, 1.0f};
    const float t = (y - (kBaselineY - kCapHeight)) / kCapHeight;
    if (t < 0.5f)
        return mix(top, middle, std::clamp(t * 2.0f, 0.0f, 1.0f));
    return mix(middle, bottom, std::clamp((t - 0.5f) * 2.0f, 0.0f, 1.0f));
}

// Two box blurs in each direction: close to a Gaussian, and cheap at this size.
Mask blurred(const Mask& source, int radius)
{
    Mask result = source;
    Mask scratch(source.width(), source.height());
    const float weight = 1.0f / static_cast<float>(2 * radius + 1);
    for (int pass = 0; pass < 2; ++pass) {
        for (int y = 0; y < source.height(); ++y) {
            for (int x = 0; x < source.width(); ++x) {
                float sum = 0.0f;
                for (int k = -radius; k <= radius; ++k)
                    sum += result.at(std::clamp(x + k, 0, source.width() - 1), y);
                scratch.set(x, y, sum * weight);
            }
        }
        for (int y = 0; y < source.height(); ++y) {
            for (int x = 0; x < source.width(); ++x) {
                float sum = 0.0f;
                for (int k = -radius; k <= radius; ++k)
                    sum += scratch.at(x, std::clamp(y + k, 0, source.height() - 1));
                result.set(x, y, sum * weight);
            }
        }
    }
    return result;
}

}  // namespace

Canvas renderGlyph(const Font& font, unsigned char code)
{
    const Vec2 pen{0.0f, kBaselineY};
    const float naturalWidth = font.shape(code, kEmPixels, Placement::upright(pen)).bounds().width();
    const float widthLimit = kMaxGlyphInkWidth - 2.0f * kOutlineRadius;
    const float widthScale = naturalWidth > widthLimit ? widthLimit / naturalWidth : 1.0f;

    GlyphShape fill = font.shape(code, kEmPixels, Placement::upright(pen, widthScale));
    const float centreX = fill.bounds().centre().x;
    fill.translate({kGlyphPictureSize * 0.5f - centreX, 0.0f});
    GlyphShape outline = fill.stroked(kOutlineRadius);

    Mask fillMask(kGlyphPictureSize, kGlyphPictureSize);
    Mask outlineMask(kGlyphPictureSize, kGlyphPictureSize);
    Mask shadowMask(kGlyphPictureSize, kGlyphPictureSize);
    fill.unite(fillMask);
    outline.unite(outlineMask);
    outline.translate(kShadowOffset);
    outline.unite(shadowMask);

    Canvas canvas(kGlyphPictureSize, kGlyphPictureSize);
    paintMask(canvas, blurred(shadowMask, kShadowBlurRadius), kShadowColour);
    paintMask(canvas, outlineMask, kOutlineColour);
    for (int y = 0; y < kGlyphPictureSize; ++y) {
        for (int x = 0; x < kGlyphPictureSize; ++x) {
            const float coverage = fillMask.at(x, y);
            if (coverage > 0.0f)
                canvas.blendOver(x, y, fillColour(y + 0.5f), coverage);
        }
    }
    return canvas;
}

}  // namespace datagen
