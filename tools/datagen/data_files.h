// Every data file the show reads except the music, as independent jobs that
// each produce one file's bytes, so they can run on any thread in any order.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "assets/show_data_files.h"

namespace datagen {

struct DataFileJob {
    std::filesystem::path relativePath;  // from the show's working directory
    std::function<std::vector<std::uint8_t>()> make;
};

// Longest jobs first, so a pool of workers finishes them evenly.
std::vector<DataFileJob> visualDataJobs();

// The folders under the working directory that the jobs write into.
std::vector<std::filesystem::path> visualDataFolders();

}  // namespace datagen
