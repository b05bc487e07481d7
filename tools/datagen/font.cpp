#include "font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BBOX_H
#include FT_GLYPH_H
#include FT_OUTLINE_H
#include FT_STROKER_H

#include <stdexcept>
#include <string>

namespace datagen {

// Outlines are kept in 26.6 fixed point with y pointing up, as FreeType's
// rasterizer expects: picture pixel (x, y) is stored as (64x, -64y).
namespace {

FT_Pos toFixed(float pixels)
{
    return static_cast<FT_Pos>(std::lround(pixels * 64.0f));
}

FT_Outline& outlineOf(FT_Glyph glyph)
{
    return reinterpret_cast<FT_OutlineGlyph>(glyph)->outline;
}

struct SpanTarget {
    Mask* mask;
};

void uniteSpans(int y, int count, const FT_Span* spans, void* user)
{
    Mask& mask = *static_cast<SpanTarget*>(user)->mask;
    const int row = -y - 1;
    if (row < 0 || row >= mask.height())
        return;
    for (int i = 0; i < count; ++i) {
        const float coverage = static_cast<float>(spans[i].coverage) / 255.0f;
        const int end = std::min<int>(mask.width(), spans[i].x + spans[i].len);
        for (int x = std::max<int>(0, spans[i].x); x < end; ++x)
            mask.unite(x, row, coverage);
    }
}

}  // namespace

struct Font::Handle {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Handle()
    {
        if (face != nullptr)
            FT_Done_Face(face);
        if (library != nullptr)
            FT_Done_FreeType(library);
    }

    // Loads the unscaled outline; returns the factor from font units to pixels.
    float load(char32_t code, float pixelSize) const
    {
        if (FT_Load_Char(face, code, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0 ||
            face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) {
            throw std::runtime_error("the lettering font has no outline for code " + std::to_string(code));
        }
        return pixelSize / static_cast<float>(face->units_per_EM);
    }
};

struct GlyphShape::Handle {
    FT_Library library = nullptr;
    FT_Glyph glyph = nullptr;
    ~Handle()
    {
        if (glyph != nullptr)
            FT_Done_Glyph(glyph);
    }
};

GlyphShape::GlyphShape(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}
GlyphShape::~GlyphShape() = default;
GlyphShape::GlyphShape(GlyphShape&& other) noexcept = default;

GlyphShape GlyphShape::stroked(float radius) const
{
    auto result = std::make_unique<Handle>();
    result->library = handle_->library;
    FT_Stroker stroker = nullptr;
    if (FT_Stroker_New(handle_->library, &stroker) != 0)
        throw std::runtime_error("FreeType cannot make a stroker");
    FT_Stroker_Set(stroker, toFixed(radius), FT_STROKER_LINECAP_ROUND, FT_STROKER_LINEJOIN_ROUND, 0);
    FT_Error error = FT_Glyph_Copy(handle_->glyph, &result->glyph);
    if (error == 0)
        error = FT_Glyph_StrokeBorder(&result->glyph, stroker, false, true);
    FT_Stroker_Done(stroker);
    if (error != 0)
        throw std::runtime_error("FreeType cannot stroke a glyph outline");
    return GlyphShape(std::move(result));
}

void GlyphShape::translate(Vec2 offset)
{
    FT_Outline_Translate(&outlineOf(handle_->glyph), toFixed(offset.x), -toFixed(offset.y));
}

Bounds GlyphShape::bounds() const
{
    FT_BBox box;
    FT_Outline_Get_BBox(&outlineOf(handle_->glyph), &box);
    return {{static_cast<float>(box.xMin) / 64.0f, static_cast<float>(-box.yMax) / 64.0f},
            {static_cast<float>(box.xMax) / 64.0f, static_cast<float>(-box.yMin) / 64.0f}};
}

void GlyphShape::unite(Mask& mask) const
{
    SpanTarget target{&mask};
    FT_Raster_Params params{};
    params.source = &outlineOf(handle_->glyph);
    params.flags = FT_RASTER_FLAG_AA | FT_RASTER_FLAG_DIRECT | FT_RASTER_FLAG_CLIP;
    params.gray_spans = uniteSpans;
    params.user = &target;
    params.clip_box = {0, -static_cast<FT_Pos>(mask.height()), static_cast<FT_Pos>(mask.width()), 0};
    FT_Outline_Render(handle_->library, &outlineOf(handle_->glyph), &params);
}

Font::Font(const std::filesystem::path& file) : handle_(std::make_unique<Handle>())
{
    if (FT_Init_FreeType(&handle_->library) != 0)
        throw std::runtime_error("FreeType cannot start");
    if (FT_New_Face(handle_->library, file.c_str(), 0, &handle_->face) != 0) {
        throw std::runtime_error("cannot load the font " + file.string() + " (install fonts-dejavu-core)");
    }
}

Font::~Font() = default;

GlyphShape Font::shape(char32_t code, float pixelSize, const Placement& placement) const
{
    const float scale = handle_->load(code, pixelSize);
    auto result = std::make_unique<GlyphShape::Handle>();
    result->library = handle_->library;
    if (FT_Get_Glyph(handle_->face->glyph, &result->glyph) != 0)
        throw std::runtime_error("FreeType cannot copy a glyph");
    FT_Outline& outline = outlineOf(result->glyph);
    for (int i = 0; i < outline.n_points; ++i) {
        const float gx = static_cast<float>(outline.points[i].x) * scale;
        const float gy = static_cast<float>(outline.points[i].y) * scale;
        const Vec2 p = placement.origin + placement.xAxis * gx + placement.yAxis * gy;
        outline.points[i] = {toFixed(p.x), -toFixed(p.y)};
    }
    return GlyphShape(std::move(result));
}

float Font::advance(char32_t code, float pixelSize) const
{
    const float scale = handle_->load(code, pixelSize);
    return static_cast<float>(handle_->face->glyph->advance.x) * scale;
}

float Font::textWidth(std::string_view text, float pixelSize) const
{
    float width = 0.0f;
    for (const char c : text)
        width += advance(static_cast<unsigned char>(c), pixelSize);
    return width;
}

void uniteTextOnCircle(Mask& mask, const Font& font, std::string_view text, float pixelSize, Vec2 centre, float radius,
                       float middleAngle, bool readsInside)
{
    // Inside text has its baseline further out, so its capitals end on the circle.
    const float capHeight = 0.73f * pixelSize;
    const float baselineRadius = readsInside ? radius + capHeight : radius;
    const float direction = readsInside ? -1.0f : 1.0f;
    float angle = middleAngle - direction * font.textWidth(text, pixelSize) / baselineRadius * 0.5f;
    for (const char c : text) {
        const float step = font.advance(static_cast<unsigned char>(c), pixelSize) / baselineRadius;
        const float glyphAngle = angle + direction * step * 0.5f;
        const Vec2 onCircle = centre + Vec2{std::sin(glyphAngle), -std::cos(glyphAngle)} * baselineRadius;
        const Placement placement = Placement::turned({}, readsInside ? glyphAngle - 3.14159265f : glyphAngle);
        // Start the glyph half its advance back along the baseline, so it sits centred on its angle.
        const float halfAdvance = step * 0.5f * baselineRadius;
        const Vec2 origin = onCircle - placement.xAxis * halfAdvance;
        font.shape(static_cast<unsigned char>(c), pixelSize, {origin, placement.xAxis, placement.yAxis}).unite(mask);
        angle += direction * step;
    }
}

void uniteTextLine(Mask& mask, const Font& font, std::string_view text, float pixelSize, Vec2 baselineCentre)
{
    Vec2 pen = baselineCentre - Vec2{font.textWidth(text, pixelSize) * 0.5f, 0.0f};
    for (const char c : text) {
        font.shape(static_cast<unsigned char>(c), pixelSize, Placement::upright(pen)).unite(mask);
        pen.x += font.advance(static_cast<unsigned char>(c), pixelSize);
    }
}

}  // namespace datagen
