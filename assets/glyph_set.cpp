#include "assets/glyph_set.h"

#include <cstdio>
#include <string>
#include <vector>

#include "core/data_file.h"
#include "core/picture_file.h"

namespace {

constexpr int kTriedGlyphCount = 256 - kFirstGlyphCode;

}  // namespace

std::vector<std::string> glyphFileNames()
{
    std::vector<std::string> names;
    names.reserve(kTriedGlyphCount);
    for (int code = kFirstGlyphCode; code < 256; ++code) {
        names.push_back(glyphFileName(code));
    }
    return names;
}

GlyphTable loadGlyphSet(Device& device, PictureDecoding& decoding, const WhileLoading& whileLoading)
{
    std::vector<TextureFile> files;
    files.reserve(kTriedGlyphCount);
    for (int code = kFirstGlyphCode; code < 256; ++code) {
        files.emplace_back(glyphFileName(code));
    }
    createTexturesFromFiles(device, decoding, files, whileLoading);

    GlyphTable table{};
    int loadedCount = 0;
    for (int code = kFirstGlyphCode; code < 256; ++code) {
        const TextureFile& file = files[code - kFirstGlyphCode];
        table[code] = file.texture;
        loadedCount += table[code] != nullptr;
        // Most codes have no picture at all; a picture that is there but unusable is worth saying.
        if (!file.texture && file.failure != kNoSuchFile) {
            std::fprintf(stderr, "%s: %s; that character is left out\n", file.path.c_str(), file.failure.c_str());
        }
    }
    std::fprintf(stderr, "glyphs: %d of %d loaded\n", loadedCount, kTriedGlyphCount);
    return table;
}

GlyphTable loadGlyphSet(Device& device, const WhileLoading& whileLoading)
{
    PictureDecoding decoding(glyphFileNames());
    return loadGlyphSet(device, decoding, whileLoading);
}
