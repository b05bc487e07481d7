#include "scene/scroller.h"

#include <cmath>

#include "scene/scroll_texts.h"
#include "scene/sprite_pass.h"

namespace {

constexpr D3DXVECTOR3 kGlyphCentre = {64, 64, 0};
constexpr float kGlyphScaling = 1.5f;

struct ScrollLine {
    std::string_view text;
    float phase;  // w
    float baseY;
    float waveFactor;  // on x
    float drift;
};

// Every character takes its advance, drawn or not. The arithmetic is single
// precision throughout, which is all the show relies on; x is kept in single
// precision, so its rounding builds up along the line.
void walkLine(Device& device, const GlyphTable& glyphTable, const ScrollLine& line)
{
    float x = static_cast<float>(1280 - 112.5 * line.phase);
    int k = 1;
    for (const char character : line.text) {
        x = x + 10 * std::sin(0.5f * static_cast<float>(k) + line.phase) + 120;
        ++k;
        const float y = line.baseY + 50 * std::sin(line.waveFactor * x - line.drift);
        const Texture* glyph = glyphTable[static_cast<unsigned char>(character)];
        if (glyph) {
            drawSprite(device, glyph, kGlyphCentre, kGlyphScaling, nullptr, {x, y, 0}, 0xFFFFFFFF);
        }
    }
}

}  // namespace

void drawScrollerLines(Device& device, const GlyphTable& glyphTable, const BeatClock& clock)
{
    const double beatTime = clock.beatTime;
    const auto upperPhase = static_cast<float>(2 * beatTime);
    const auto lowerPhase = static_cast<float>(beatTime * 2.51);
    beginSpritePass(device);
    walkLine(device, glyphTable, {upperScrollText, upperPhase, 150, 0.01f, upperPhase * (1.0f / 7)});
    walkLine(device, glyphTable, {lowerScrollText, lowerPhase, 500, 0.005f, lowerPhase * (1.0f / 6)});
    endSpritePass(device);
}
