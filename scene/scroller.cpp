#include "scene/scroller.h"

#include <cmath>

#include "assets/show_data_files.h"
#include "scene/scroll_texts.h"
#include "scene/sprite_pass.h"

namespace {

constexpr D3DXVECTOR3 kGlyphCentre = {kGlyphPictureSize / 2, kGlyphPictureSize / 2, 0};
constexpr float kGlyphScaling = 1.5f;

struct ScrollLine {
    std::string_view text;
    float phase;       // the line's scroll: 112.5 px to the left per unit, and the glyphs' spacing wobbles with it
    float baseY;       // the height the line waves about
    float waveFactor;  // how tightly the line waves along x
    float drift;       // how far the wave has travelled along the line
};

// Every character takes its advance, drawn or not. The arithmetic is single
// precision throughout, which is all the show relies on; x is kept in single
// precision, so its rounding builds up along the line.
void walkLine(Device& device, const GlyphTable& glyphTable, const ScrollLine& line)
{
    float x = static_cast<float>(kTargetWidth - 112.5 * line.phase);
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
