// Where the desktop programs find the show's data. The readers take names
// relative to the working directory, so the folder found becomes it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Whether the folder holds any of the show's data files (the music, a picture or the model).
bool holdsShowData(const std::filesystem::path& folder);

// The first of the folders that holds any of the show's data.
std::optional<std::filesystem::path> findShowDataFolder(const std::vector<std::filesystem::path>& folders);

// Keeps the working directory when it holds any of the data; otherwise makes
// the first of `otherFolders` that does the working directory and says so in
// one line on stderr. When none does, the working directory stays, and
// loading says what is missing there.
void enterShowDataFolder(const std::vector<std::filesystem::path>& otherFolders);

// The path as UTF-8, for messages, on every platform.
std::string displayPath(const std::filesystem::path& path);
