// FreeType outlines placed anywhere on a picture: a glyph's outline is mapped
// by an affine placement into picture pixels, can be grown by a stroke, and is
// rendered antialiased into a Mask. Used for the glyph set, the record label
// and its lettering.
#pragma once

#include <filesystem>
#include <memory>
#include <string_view>

#include "canvas.h"

namespace datagen {

// The font every picture's lettering uses; it comes with fonts-dejavu-core.
inline const std::filesystem::path kLetteringFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// Maps glyph space (pixels at the chosen size, origin on the baseline, y up)
// to picture pixels (y down): picture = origin + xAxis·gx + yAxis·gy.
struct Placement {
    Vec2 origin;
    Vec2 xAxis{1.0f, 0.0f};
    Vec2 yAxis{0.0f, -1.0f};

    // Upright lettering at `origin`, squeezed horizontally by `widthScale`.
    static Placement upright(Vec2 origin, float widthScale = 1.0f)
    {
        return {origin, {widthScale, 0.0f}, {0.0f, -1.0f}};
    }
    // Lettering turned by `angle` radians clockwise on screen.
    static Placement turned(Vec2 origin, float angle)
    {
        const float c = std::cos(angle);
        const float s = std::sin(angle);
        return {origin, {c, s}, {s, -c}};
    }
};

struct Bounds {
    Vec2 min;
    Vec2 max;
    Vec2 centre() const { return (min + max) * 0.5f; }
    float width() const { return max.x - min.x; }
};

// One glyph's outline in picture pixels.
class GlyphShape {
public:
    ~GlyphShape();
    GlyphShape(GlyphShape&& other) noexcept;
    GlyphShape& operator=(GlyphShape&&) = delete;

    // The same outline grown outwards by `radius` pixels, joints rounded.
    GlyphShape stroked(float radius) const;
    void translate(Vec2 offset);
    // Exact bounds of the outline in picture pixels (empty for a blank glyph).
    Bounds bounds() const;
    void unite(Mask& mask) const;

private:
    friend class Font;
    struct Handle;
    explicit GlyphShape(std::unique_ptr<Handle> handle);
    std::unique_ptr<Handle> handle_;
};

// A loaded face. One Font per thread: FreeType objects are not shared.
class Font {
public:
    // Throws std::runtime_error when the file cannot be loaded.
    explicit Font(const std::filesystem::path& file);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    GlyphShape shape(char32_t code, float pixelSize, const Placement& placement) const;
    // Horizontal advance in pixels at `pixelSize`, unhinted.
    float advance(char32_t code, float pixelSize) const;
    float textWidth(std::string_view text, float pixelSize) const;

private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
};

// Lays `text` along a circle about `centre`, centred on the angle `middleAngle`
// (radians, measured clockwise from straight up). Text on the upper part reads
// clockwise with its baseline on the circle; with `readsInside` it runs
// anticlockwise upright along the lower part with its tops on the circle.
void uniteTextOnCircle(Mask& mask, const Font& font, std::string_view text, float pixelSize, Vec2 centre, float radius,
                       float middleAngle, bool readsInside);

// Writes `text` upright with its baseline centre at `baselineCentre`.
void uniteTextLine(Mask& mask, const Font& font, std::string_view text, float pixelSize, Vec2 baselineCentre);

}  // namespace datagen
