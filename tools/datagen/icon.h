// The program's icon: a record with an orange label and a kelp frond, painted
// at each size and written as a Windows .ico whose entries are classic DIBs
// (info header, doubled height, rows bottom-up, 1-bit AND mask), and as PNG
// files for the icon themes of Linux desktops.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "canvas.h"

namespace datagen {

struct IconEntrySize {
    int size;          // width and height in pixels
    int bitsPerPixel;  // 4, 8 or 32
};

// The eight images the program's icon holds, in file order.
inline constexpr IconEntrySize kIconEntries[] = {{32, 4}, {16, 4},  {48, 8},  {32, 8},
                                                 {16, 8}, {48, 32}, {32, 32}, {16, 32}};

Canvas paintIcon(int size);

// The sizes the desktop's icon theme gets the same drawing in, as PNG files.
inline constexpr int kDesktopIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

// The icon's drawing at one size as a PNG file, for a desktop's icon theme.
std::vector<std::uint8_t> encodeIconPng(int size);

// Where the icon theme's file of that size goes, relative to the theme's folder (e.g. hicolor).
std::filesystem::path desktopIconPath(int size);

// 4- and 8-bit entries get a palette made from their own picture and show
// transparency only through the AND mask.
std::vector<std::uint8_t> encodeIcon(const std::vector<IconEntrySize>& entries);

}  // namespace datagen
