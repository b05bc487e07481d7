// The real programs against bad data and bad environments: each case in
// tests/bad_data.md, run as a user would meet it. A bad data file is said once,
// with its path and what is wrong, and the show goes on without that piece.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

#include "tests/test_support.h"

using namespace std::chrono_literals;

namespace {

enum class Form { missing, empty, truncated, random, directory, symlinkLoop, fifo, absurdHeader, undecodablePixels };

struct BadFileCase {
    const char* file;  // relative to the working directory
    Form form;
    const char* expected;  // in the one line that names the file
};

std::vector<std::uint8_t> bytesOf(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void writeBigEndian32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
}

void writeLittleEndian32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// A header that claims far more than the file holds, each in its own format.
std::vector<std::uint8_t> absurdHeader(const std::filesystem::path& file, std::vector<std::uint8_t> bytes)
{
    const std::string extension = file.extension().string();
    if (extension == ".ogg") {
        const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        writeLittleEndian32(bytes, text.find("\x01vorbis") + 12, 4294967295u);  // the sample rate
    } else if (extension == ".png") {
        writeBigEndian32(bytes, 16, 16384);  // width and height: twice the largest picture's
        writeBigEndian32(bytes, 20, 16384);
        writeBigEndian32(bytes, 29, static_cast<std::uint32_t>(crc32(0, &bytes[12], 17)));
    } else if (extension == ".ico") {
        for (std::size_t entry = 6; entry < 6 + 16u * bytes[4]; entry += 16) {
            writeLittleEndian32(bytes, entry + 12, 0xFFFFFF00u);  // every image far past the end of the file
        }
    } else {
        const std::string text = "xof 0303txt 0032\nMesh { 4000000000;\n0;0;0;;\n}\n";
        bytes.assign(text.begin(), text.end());
    }
    return bytes;
}

// A working directory of links to the generated data, with one file made bad.
void makeWorkingDirectory(const std::filesystem::path& directory, const BadFileCase& bad)
{
    for (const auto& entry : std::filesystem::directory_iterator(showDataDirectory())) {
        const std::filesystem::path target = directory / entry.path().filename();
        if (entry.is_directory()) {
            std::filesystem::create_directory(target);
            for (const auto& file : std::filesystem::directory_iterator(entry.path())) {
                std::filesystem::create_symlink(file.path(), target / file.path().filename());
            }
        } else {
            std::filesystem::create_symlink(entry.path(), target);
        }
    }
    const std::filesystem::path path = directory / bad.file;
    const std::vector<std::uint8_t> good = bytesOf(showDataDirectory() / bad.file);
    std::filesystem::remove(path);
    switch (bad.form) {
    case Form::missing: break;
    case Form::empty: writeBytes(path, {}); break;
    case Form::truncated: writeBytes(path, {good.begin(), good.begin() + good.size() * 4 / 10}); break;
    case Form::random: {
        std::mt19937 generator(7);
        std::vector<std::uint8_t> noise(4096);
        for (std::uint8_t& byte : noise) {
            byte = static_cast<std::uint8_t>(generator());
        }
        writeBytes(path, noise);
        break;
    }
    case Form::directory: std::filesystem::create_directory(path); break;
    case Form::symlinkLoop: std::filesystem::create_symlink(path.filename(), path); break;
    case Form::fifo: ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0); break;
    case Form::absurdHeader: writeBytes(path, absurdHeader(path, good)); break;
    case Form::undecodablePixels:  // sound chunks, but a deflate block type that does not exist
        std::filesystem::copy_file(
            std::filesystem::path(KELPWAX_SOURCE_DIR) / "fuzz/corpus/picture/reserved-deflate-block-type.png", path);
        break;
    }
}

std::vector<std::string> linesNaming(const std::string& text, const std::string& file)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        if (line.find(file) != std::string::npos) {
            lines.push_back(line);
        }
    }
    return lines;
}

bool haveDisplay()
{
    return std::getenv("DISPLAY") != nullptr;
}

// SDL feeds a playback device from a thread it names SDLAudioP<n>; the show
// opens the device only once the music file has been read and its decoder made.
bool hasAudioThread(pid_t pid)
{
    std::error_code ignored;  // the process may be gone
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", ignored)) {
        if (readFile(task.path() / "comm").starts_with("SDLAudioP")) {
            return true;
        }
    }
    return false;
}

class BadDataFile : public ::testing::TestWithParam<BadFileCase> {};

void PrintTo(const BadFileCase& bad, std::ostream* out)
{
    *out << bad.file << " " << static_cast<int>(bad.form);
}

}  // namespace

// Pictures, the model, the icon and the glyphs through the capture tool (the
// show's own start-up on a hidden window); the music through the show itself,
// ended by SIGTERM once it has started, which must end it as a key does.
TEST_P(BadDataFile, IsSaidOnceAndTheShowGoesOnWithoutIt)
{
    if (!showDataExists()) {
        GTEST_SKIP() << "needs the generated data";
    }
    const BadFileCase& bad = GetParam();
    const bool music = std::string(bad.file) == "quirn.ogg";
    if (music && !haveDisplay()) {
        GTEST_SKIP() << "needs an X display (scripts/test.sh provides one)";
    }
    const TemporaryDirectory directory;
    makeWorkingDirectory(directory.path(), bad);
    const std::filesystem::path errors = directory.path() / "stderr.txt";

    if (music) {
        const ChildProcess show =
            startProgram({programPath("kelpwax").string()}, {{"SDL_AUDIODRIVER", "dummy"}}, directory.path(), errors);
        // The music opens after everything else has loaded. A file the show
        // plays, such as a truncated one, says nothing: that is known once the
        // music has opened its audio output.
        const bool plays = *bad.expected == '\0';
        const auto opened = [&] {
            return plays ? hasAudioThread(show.pid) : readFile(errors).find(bad.file) != std::string::npos;
        };
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < deadline && !opened()) {
            std::this_thread::sleep_for(50ms);
        }
        EXPECT_TRUE(opened()) << (plays ? "the music never opened its audio output" : "nothing said") << "\n"
                              << readFile(errors);
        // SIGTERM ends the show after the frame under way, which on a busy
        // machine may be the first and slowest; ignored, the show runs 160 s.
        ::kill(show.pid, SIGTERM);
        EXPECT_EQ(waitForExit(show, 10s), 0) << readFile(errors);
    } else {
        const ChildProcess capture =
            startProgram({programPath("tools/capture/kelpwax-capture").string(), "--at", "60", "-o", "frame.png"},
                         {{"SDL_VIDEODRIVER", "offscreen"}}, directory.path(), errors);
        ASSERT_EQ(waitForExit(capture, 30s), 0) << readFile(errors);
        EXPECT_TRUE(std::filesystem::is_regular_file(directory.path() / "frame.png"));
    }
    const std::vector<std::string> lines = linesNaming(readFile(errors), std::filesystem::path(bad.file).filename());
    if (*bad.expected == '\0') {
        EXPECT_TRUE(lines.empty()) << readFile(errors);
        return;
    }
    ASSERT_EQ(lines.size(), 1u) << readFile(errors);
    EXPECT_NE(lines[0].find(bad.expected), std::string::npos) << lines[0];
}

constexpr BadFileCase kBadFileCases[] = {
    {"quirn.ogg", Form::missing, "no such file"},
    {"quirn.ogg", Form::empty, "the file is empty"},
    {"quirn.ogg", Form::truncated, ""},  // plays what is there
    {"quirn.ogg", Form::random, "not an Ogg Vorbis file"},
    {"quirn.ogg", Form::directory, "is a directory"},
    {"quirn.ogg", Form::symlinkLoop, "symbolic links"},
    {"quirn.ogg", Form::fifo, "not a regular file"},
    {"quirn.ogg", Form::absurdHeader, "sample rate of 4294967295 Hz"},
    {"underwater.png", Form::missing, "no such file"},
    {"underwater.png", Form::empty, "the file is empty"},
    {"underwater.png", Form::truncated, "corrupt or truncated"},
    {"underwater.png", Form::random, "not a readable picture"},
    {"underwater.png", Form::directory, "is a directory"},
    {"underwater.png", Form::symlinkLoop, "symbolic links"},
    {"underwater.png", Form::fifo, "not a regular file"},
    {"underwater.png", Form::absurdHeader, "is more than the largest picture"},
    {"underwater.png", Form::undecodablePixels, "its compressed pixel data is damaged"},
    {"vinyl.png", Form::undecodablePixels, "its compressed pixel data is damaged"},
    {"vinyllabel.png", Form::undecodablePixels, "its compressed pixel data is damaged"},
    {"submarine1_lowerpoly.x", Form::missing, "no such file"},
    {"submarine1_lowerpoly.x", Form::empty, "not a .x file"},
    {"submarine1_lowerpoly.x", Form::truncated, "the file ends"},
    {"submarine1_lowerpoly.x", Form::random, "not a .x file"},
    {"submarine1_lowerpoly.x", Form::directory, "is a directory"},
    {"submarine1_lowerpoly.x", Form::symlinkLoop, "symbolic links"},
    {"submarine1_lowerpoly.x", Form::fifo, "not a regular file"},
    {"submarine1_lowerpoly.x", Form::absurdHeader, "cannot fit in the rest of the file"},
    {"kelpwax.ico", Form::missing, "no such file"},
    {"kelpwax.ico", Form::empty, "holds no readable"},
    {"kelpwax.ico", Form::truncated, "holds no readable"},
    {"kelpwax.ico", Form::random, "holds no readable"},
    {"kelpwax.ico", Form::directory, "is a directory"},
    {"kelpwax.ico", Form::symlinkLoop, "symbolic links"},
    {"kelpwax.ico", Form::fifo, "not a regular file"},
    {"kelpwax.ico", Form::absurdHeader, "holds no readable"},
    {"font/A.png", Form::empty, "the file is empty"},
    {"font/A.png", Form::truncated, "corrupt or truncated"},
    {"font/A.png", Form::directory, "is a directory"},
    {"font/A.png", Form::fifo, "not a regular file"},
    {"font/A.png", Form::undecodablePixels, "its compressed pixel data is damaged"},
};

INSTANTIATE_TEST_SUITE_P(EveryDataFile, BadDataFile, ::testing::ValuesIn(kBadFileCases),
                         [](const ::testing::TestParamInfo<BadFileCase>& info) {
                             std::string name = std::to_string(info.index) + "_";
                             for (const char c : std::string(info.param.file)) {
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

TEST(BadEnvironment, AFileThatCannotBeReadIsSaidOnce)
{
    if (::geteuid() == 0 || !showDataExists()) {
        GTEST_SKIP() << "root reads every file; needs the generated data";
    }
    const TemporaryDirectory directory;
    std::filesystem::copy_file(showDataDirectory() / "vinyl.png", directory.path() / "vinyl.png");
    std::filesystem::permissions(directory.path() / "vinyl.png", std::filesystem::perms::none);
    const ChildProcess capture =
        startProgram({programPath("tools/capture/kelpwax-capture").string(), "--at", "100", "-o", "frame.png"},
                     {{"SDL_VIDEODRIVER", "offscreen"}}, directory.path(), directory.path() / "stderr.txt");
    ASSERT_EQ(waitForExit(capture, 30s), 0);
    const std::vector<std::string> lines = linesNaming(readFile(directory.path() / "stderr.txt"), "vinyl.png");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("permission denied"), std::string::npos) << lines[0];
}

TEST(BadEnvironment, EachSaysWhatIsWrongWithTheExitCodeItCalls)
{
    if (!haveDisplay() || !showDataExists()) {
        GTEST_SKIP() << "needs an X display (scripts/test.sh provides one) and the generated data";
    }
    struct Case {
        const char* name;
        EnvironmentChanges environment;
        bool emptyWorkingDirectory;
        int exitCode;  // or -1: the show runs and is ended by SIGTERM, which must give 0
        const char* expected;
    };
    const Case cases[] = {
        {"unreachable display", {{"DISPLAY", ":231"}}, false, 1, "cannot reach the display named by DISPLAY=:231"},
        {"no OpenGL 3.3", {{"MESA_GL_VERSION_OVERRIDE", "3.0"}}, false, 1, "OpenGL 3.3"},
        {"no audio output", {{"SDL_AUDIODRIVER", "no-such-output"}}, false, -1, "no audio output"},
        {"no data here", {}, true, -1, "none of the show's data is in"},
    };
    for (const Case& c : cases) {
        const TemporaryDirectory scratch;
        EnvironmentChanges environment = {{"SDL_AUDIODRIVER", "dummy"}};
        environment.insert(environment.end(), c.environment.begin(), c.environment.end());
        const std::filesystem::path errors = scratch.path() / "stderr.txt";
        const ChildProcess show = startProgram({programPath("kelpwax").string()}, environment,
                                               c.emptyWorkingDirectory ? scratch.path() : showDataDirectory(), errors);
        if (c.exitCode < 0) {
            // The message may come only once loading is done, which takes tens
            // of seconds in the sanitizer build on a busy machine.
            const auto deadline = std::chrono::steady_clock::now() + 90s;
            while (std::chrono::steady_clock::now() < deadline &&
                   readFile(errors).find(c.expected) == std::string::npos) {
                std::this_thread::sleep_for(50ms);
            }
            ::kill(show.pid, SIGTERM);
            EXPECT_EQ(waitForExit(show, 2s), 0) << c.name;
        } else {
            EXPECT_EQ(waitForExit(show, 10s), c.exitCode) << c.name;
        }
        EXPECT_NE(readFile(errors).find(c.expected), std::string::npos) << c.name << ": " << readFile(errors);
    }
}

TEST(BadEnvironment, AnInterruptedExportRemovesWhatItHadWrittenAndSaysSo)
{
    if (!showDataExists()) {
        GTEST_SKIP() << "needs the generated data";
    }
    const TemporaryDirectory scratch;
    const std::filesystem::path errors = scratch.path() / "stderr.txt";
    const ChildProcess capture = startProgram(
        {programPath("tools/capture/kelpwax-capture").string(), "--png", (scratch.path() / "frames").string()},
        {{"SDL_VIDEODRIVER", "offscreen"}}, showDataDirectory(), errors);
    for (auto waited = 0ms; waited < 20s && !std::filesystem::exists(scratch.path() / "frames/frame-000002.png");
         waited += 50ms) {
        std::this_thread::sleep_for(50ms);
    }
    ::kill(capture.pid, SIGTERM);
    EXPECT_EQ(waitForExit(capture, 1s), 128 + SIGTERM);
    EXPECT_FALSE(std::filesystem::exists(scratch.path() / "frames"));  // the export had made it
    EXPECT_NE(readFile(errors).find("interrupted by SIGTERM; removed the "), std::string::npos) << readFile(errors);
    EXPECT_NE(readFile(errors).find(" and the folder " + (scratch.path() / "frames").string()), std::string::npos)
        << readFile(errors);
}
