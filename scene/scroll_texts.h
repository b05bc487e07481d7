// The show's own words for the two scroller lines. The upper line may use the
// space, letters, digits and ! # $ , . ?; the lower one the space, letters,
// digits and ! # , - . : (each character needs a glyph picture).
#pragma once

#include <string_view>

extern const std::string_view upperScrollText;  // 553 characters
extern const std::string_view lowerScrollText;  // 741 characters
