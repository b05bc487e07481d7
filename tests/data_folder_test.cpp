// Where the desktop programs find the show's data: the working directory
// first, then the folders beside the program, in order.
#include <gtest/gtest.h>

#include "app/data_folder.h"
#include "tests/test_support.h"

namespace {

std::filesystem::path folderWith(const std::filesystem::path& folder, const char* file)
{
    std::filesystem::create_directories(folder);
    writeFile(folder / file, "x");
    return folder;
}

}  // namespace

TEST(DataFolder, AnyOneOfTheDataFilesMakesAFolderHoldTheData)
{
    const TemporaryDirectory scratch;
    EXPECT_FALSE(holdsShowData(scratch.path()));
    EXPECT_FALSE(holdsShowData(scratch.path() / "missing"));
    EXPECT_FALSE(holdsShowData(folderWith(scratch.path() / "other", "readme.txt")));
    EXPECT_TRUE(holdsShowData(folderWith(scratch.path() / "music", "quirn.ogg")));
    EXPECT_TRUE(holdsShowData(folderWith(scratch.path() / "model", "submarine1_lowerpoly.x")));
}

TEST(DataFolder, TheFirstFolderHoldingTheDataIsFound)
{
    const TemporaryDirectory scratch;
    const std::filesystem::path empty = scratch.path() / "empty";
    std::filesystem::create_directories(empty);
    const std::filesystem::path second = folderWith(scratch.path() / "second", "vinyl.png");
    const std::filesystem::path third = folderWith(scratch.path() / "third", "quirn.ogg");
    EXPECT_EQ(findShowDataFolder({empty, scratch.path() / "missing", second, third}), second);
    EXPECT_EQ(findShowDataFolder({third, second}), third);
    EXPECT_EQ(findShowDataFolder({empty}), std::nullopt);
    EXPECT_EQ(findShowDataFolder({}), std::nullopt);
}

TEST(DataFolder, AWorkingDirectoryWithDataIsKeptWithoutANotice)
{
    const ScratchWorkingDirectory here;
    writeFile("underwater.png", "x");
    const TemporaryDirectory elsewhere;
    writeFile(elsewhere.path() / "quirn.ogg", "x");
    testing::internal::CaptureStderr();
    enterShowDataFolder({elsewhere.path()});
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(std::filesystem::current_path(), here.directory.path());
}

TEST(DataFolder, WithoutDataHereTheFolderFoundBecomesTheWorkingDirectoryAndIsNamed)
{
    const ScratchWorkingDirectory here;
    const TemporaryDirectory beside;
    const std::filesystem::path installed = folderWith(beside.path() / "share/kelpwax", "quirn.ogg");
    testing::internal::CaptureStderr();
    enterShowDataFolder({beside.path(), installed});
    const std::string notice = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::filesystem::current_path(), installed);
    EXPECT_EQ(notice, "kelpwax: no show data in the working directory; reading it from " + installed.string() + "\n");
}

TEST(DataFolder, WithoutDataAnywhereTheWorkingDirectoryStaysAndTheFoldersSearchedAreNamed)
{
    const ScratchWorkingDirectory here;
    const TemporaryDirectory beside;
    testing::internal::CaptureStderr();
    enterShowDataFolder({beside.path(), beside.path() / "share/kelpwax"});
    const std::string notice = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::filesystem::current_path(), here.directory.path());
    EXPECT_EQ(notice, "kelpwax: no show data in the working directory, nor in " + beside.path().string() + ", " +
                          (beside.path() / "share/kelpwax").string() + "\n");
}
