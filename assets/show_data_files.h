// The show's data files, relative to its working directory, and the sizes of
// the pictures in them. The show reads these names, the tools look for them and
// the data generator writes them, so all of them take them from here.
#pragma once

#include <string>

inline constexpr const char* kMusicFile = "quirn.ogg";
inline constexpr const char* kModelFile = "submarine1_lowerpoly.x";
inline constexpr const char* kIconFile = "kelpwax.ico";
inline constexpr const char* kBackdropPictureFile = "underwater.png";
inline constexpr const char* kVinylPictureFile = "vinyl.png";
inline constexpr const char* kLabelPictureFile = "vinyllabel.png";

// The three sprite pictures are squares of this side; the scene pins each by
// its middle, so that middle is in their pixels.
inline constexpr int kSpritePictureSize = 2048;
// Each glyph picture is a square of this side, pinned by its middle.
inline constexpr int kGlyphPictureSize = 128;

// Codes up to the space have no picture; no file is tried for them.
inline constexpr int kFirstGlyphCode = 33;

// Where a character's glyph picture is. A lower-case letter is doubled
// ("./font/aa.png") so that it never names the same file as its capital, even
// where file names ignore case. Three characters that file names cannot hold
// come from fixed names in the data directory.
inline std::string glyphFileName(int code)
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
