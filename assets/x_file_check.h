// A pass over a text .x file before Assimp reads it. Assimp sizes its arrays
// by the counts a file states and trusts the indices it gives, so a truncated
// or lying file could make it allocate gigabytes or read outside its arrays.
// This pass proves every count is backed by that many values in the text and
// every index is in range, without allocating anything.
#pragma once

#include <string>
#include <string_view>

// False, with the reason, when the file is not a text .x file or a mesh,
// normal, material list or skin weight block is inconsistent.
bool checkXFileText(std::string_view text, std::string& problem);
