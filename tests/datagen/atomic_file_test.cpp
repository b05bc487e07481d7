#include "atomic_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace datagen {
namespace {

std::filesystem::path freshDirectory(const std::string& name)
{
    const std::filesystem::path directory = std::filesystem::temp_directory_path() / ("kelpwax-datagen-test-" + name);
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    return directory;
}

std::string contents(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(AtomicFile, ReplacesAnOldFileWholeAndLeavesNoPartialFileBehind)
{
    const std::filesystem::path directory = freshDirectory("replace");
    const std::filesystem::path path = directory / "model.x";
    writeFileAtomically(path, std::string_view("old and longer contents"));
    writeFileAtomically(path, std::string_view("new"));
    EXPECT_EQ(contents(path), "new");
    EXPECT_FALSE(std::filesystem::exists(partialPath(path)));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory), std::filesystem::directory_iterator()), 1);
    std::filesystem::remove_all(directory);
}

TEST(AtomicFile, FailureNamesTheFileAndLeavesNothingBehind)
{
    const std::filesystem::path directory = freshDirectory("failures");
    // A missing folder fails on creating the partial file, a folder in the way on renaming it.
    std::filesystem::create_directories(directory / "vinyl.png" / "in-the-way");
    for (const std::filesystem::path& path : {directory / "no-such-folder" / "vinyl.png", directory / "vinyl.png"}) {
        try {
            writeFileAtomically(path, std::vector<std::uint8_t>{1, 2, 3});
            ADD_FAILURE() << "writing " << path << " succeeded";
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()).find("vinyl.png"), std::string::npos) << error.what();
        }
        EXPECT_FALSE(std::filesystem::exists(partialPath(path))) << path;
    }
    EXPECT_FALSE(std::filesystem::exists(directory / "no-such-folder"));
    std::filesystem::remove_all(directory);
}

}  // namespace
}  // namespace datagen
