// Shared set-up for the benchmarks: they run in the show's data directory, and
// the OpenGL ones on a hidden window with no display.
#pragma once

#include <filesystem>

inline void enterShowDataDirectory()
{
    std::error_code ignored;
    std::filesystem::current_path(KELPWAX_DATA_DIR, ignored);
}
