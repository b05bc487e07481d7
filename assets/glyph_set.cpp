#include "assets/glyph_set.h"

#include <cstdio>
#include <string>
#include <vector>

#include "app/picture_file.h"
#include "scene/scroll_texts.h"

namespace {

// Codes up to the space have no picture; no file is tried for them.
constexpr int kFirstGlyphCode = 33;
constexpr int kTriedGlyphCount = 256 - kFirstGlyphCode;

// A lower-case letter is doubled ("./font/aa.png") so that it never names the
// same file as its capital, even where file names ignore case. Three characters
// that file names cannot hold come from fixed names in the data directory.
std::string glyphFileName(int code)
{
    switch (code) {
    case '/': return "./data/slash.png";
    case ':': return "./data/colon.png";
    case '?': return "./data/question.png";
    }
    std::string name = "./font/";
    name += static_cast<char>(code);
    if (code >= 'a' && code <= 'z') {
        name += static_cast<char>(code);
    }
    return name + ".png";
}

void reportGlyphs(const GlyphTable& table, int loadedCount)
{
    std::fprintf(stderr, "glyphs: %d of %d loaded\n", loadedCount, kTriedGlyphCount);
    bool usedWithoutGlyph[256] = {};
    for (const std::string_view text : {upperScrollText, lowerScrollText}) {
        for (const char character : text) {
            const auto code = static_cast<unsigned char>(character);
            usedWithoutGlyph[code] = code != ' ' && !table[code];
        }
    }
    std::string missing;
    for (int code = 0; code < 256; ++code) {
        if (usedWithoutGlyph[code]) {
            missing += static_cast<char>(code);
        }
    }
    if (!missing.empty()) {
        std::fprintf(stderr, "glyphs: no picture for \"%s\" of the scroll texts; those characters leave gaps\n",
                     missing.c_str());
    }
}

}  // namespace

GlyphTable loadGlyphSet(Device& device)
{
    std::vector<TextureFile> files;
    files.reserve(kTriedGlyphCount);
    for (int code = kFirstGlyphCode; code < 256; ++code) {
        files.emplace_back(glyphFileName(code));
    }
    createTexturesFromFiles(device, files);

    GlyphTable table{};
    int loadedCount = 0;
    for (int code = kFirstGlyphCode; code < 256; ++code) {
        table[code] = files[code - kFirstGlyphCode].texture;
        loadedCount += table[code] != nullptr;
    }
    reportGlyphs(table, loadedCount);
    return table;
}
