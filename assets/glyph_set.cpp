#include "assets/glyph_set.h"

#include <cstdio>
#include <string>
#include <vector>

#include "core/picture_file.h"

namespace {

constexpr int kTriedGlyphCount = 256 - kFirstGlyphCode;

}  // namespace

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
    std::fprintf(stderr, "glyphs: %d of %d loaded\n", loadedCount, kTriedGlyphCount);
    return table;
}
