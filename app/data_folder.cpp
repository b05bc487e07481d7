#include "app/data_folder.h"

#include <cstdio>

#include "assets/show_data_files.h"

bool holdsShowData(const std::filesystem::path& folder)
{
    std::error_code ignored;
    for (const char* file : {kMusicFile, kBackdropPictureFile, kVinylPictureFile, kLabelPictureFile, kModelFile}) {
        if (std::filesystem::exists(folder / file, ignored)) {
            return true;
        }
    }
    return false;
}

std::optional<std::filesystem::path> findShowDataFolder(const std::vector<std::filesystem::path>& folders)
{
    for (const std::filesystem::path& folder : folders) {
        if (holdsShowData(folder)) {
            return folder;
        }
    }
    return std::nullopt;
}

void enterShowDataFolder(const std::vector<std::filesystem::path>& otherFolders)
{
    if (holdsShowData(".")) {
        return;
    }
    const std::optional<std::filesystem::path> found = findShowDataFolder(otherFolders);
    if (!found) {
        std::string searched;
        for (const std::filesystem::path& folder : otherFolders) {
            searched += (searched.empty() ? "" : ", ") + displayPath(folder);
        }
        std::fprintf(stderr, "kelpwax: no show data in the working directory, nor in %s\n", searched.c_str());
        return;
    }
    std::error_code error;
    std::filesystem::current_path(*found, error);
    if (error) {
        std::fprintf(stderr, "kelpwax: cannot enter the show's data folder %s: %s\n", displayPath(*found).c_str(),
                     error.message().c_str());
        return;
    }
    std::fprintf(stderr, "kelpwax: no show data in the working directory; reading it from %s\n",
                 displayPath(*found).c_str());
}

std::string displayPath(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return {reinterpret_cast<const char*>(text.data()), text.size()};
}
