// Writing a data file so that it appears whole or not at all: the bytes go to a
// temporary name in the same directory, which is then renamed over the target.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace datagen {

// The temporary name a file is written under before it takes its own name.
std::filesystem::path partialPath(const std::filesystem::path& path);

// Throws std::runtime_error naming the file and the reason when it cannot be written.
void writeFileAtomically(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
void writeFileAtomically(const std::filesystem::path& path, std::string_view text);

// Gives a finished partial file its real name; on failure the partial file is removed.
void commitPartialFile(const std::filesystem::path& path);

}  // namespace datagen
