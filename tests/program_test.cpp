// The real programs, run as a viewer would: under a display (the test script
// starts a virtual one), with SDL's dummy audio driver standing in for a sound card.
#include <gtest/gtest.h>

#include <png.h>
#include <sys/wait.h>

#include <cstdlib>

#include "tests/test_support.h"

using namespace std::chrono_literals;

namespace {

bool commandExists(const char* name)
{
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Still running, without reaping it: waitForExit does that.
bool isRunning(const ChildProcess& child)
{
    siginfo_t info{};
    return ::waitid(P_PID, child.pid, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

std::filesystem::path showWorkingDirectory()
{
    return showDataExists() ? showDataDirectory() : std::filesystem::current_path();
}

}  // namespace

TEST(Program, AKeyPressEndsTheShowWithExitCodeZero)
{
    if (!std::getenv("DISPLAY") || !commandExists("xdotool")) {
        GTEST_SKIP() << "needs an X display and xdotool (scripts/test.sh provides both)";
    }
    const TemporaryDirectory scratch;
    const ChildProcess show = startProgram({programPath("kelpwax").string()}, {{"SDL_AUDIODRIVER", "dummy"}},
                                           showWorkingDirectory(), scratch.path() / "stderr.txt");
    // The key goes in as soon as the window is mapped: the show takes keys
    // from then on, also while it is still loading. The window is found by
    // the show's process id, as other tests may show theirs at the same time.
    const std::string window =
        "search --sync --all --onlyvisible --pid " + std::to_string(show.pid) + " --name '^Tidewobbler$'";
    ASSERT_EQ(std::system(("timeout 20 xdotool " + window + " >/dev/null 2>&1").c_str()), 0)
        << readFile(scratch.path() / "stderr.txt");
    ASSERT_TRUE(isRunning(show)) << readFile(scratch.path() / "stderr.txt");
    ASSERT_EQ(std::system(("timeout 20 xdotool " + window + " key --window %1 space").c_str()), 0);
    // Without the key the show runs for 160 s. With it, a loaded machine has
    // been seen to take 4 s to end a show still loading.
    const std::optional<int> exitCode = waitForExit(show, 15s);
    ASSERT_TRUE(exitCode.has_value()) << "the show did not end after a key press";
    EXPECT_EQ(*exitCode, 0);
}

TEST(Program, WithoutADisplayItSaysSoAndFails)
{
    const TemporaryDirectory scratch;
    const ChildProcess show = startProgram({programPath("kelpwax").string()},
                                           {{"DISPLAY", std::nullopt},
                                            {"WAYLAND_DISPLAY", std::nullopt},
                                            {"SDL_VIDEODRIVER", std::nullopt},
                                            {"SDL_AUDIODRIVER", "dummy"}},
                                           scratch.path(), scratch.path() / "stderr.txt");
    const std::optional<int> exitCode = waitForExit(show, 10s);
    ASSERT_TRUE(exitCode.has_value()) << "the show kept running without a display";
    EXPECT_NE(*exitCode, 0);
    const std::string message = readFile(scratch.path() / "stderr.txt");
    EXPECT_NE(message.find("no display"), std::string::npos) << message;
}

TEST(Program, CapturedFrameShowsTheClearColourWhereNothingIsDrawn)
{
    // An empty working directory: no pictures, no glyphs, no model; only the clear colour remains.
    const TemporaryDirectory scratch;
    const ChildProcess capture =
        startProgram({programPath("tools/capture/kelpwax-capture").string(), "--at", "60", "-o", "frame.png"}, {},
                     scratch.path(), scratch.path() / "stderr.txt");
    ASSERT_EQ(waitForExit(capture, 60s), 0) << readFile(scratch.path() / "stderr.txt");

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, (scratch.path() / "frame.png").c_str()));
    image.format = PNG_FORMAT_BGRA;  // in memory as 0xAARRGGBB on a little-endian machine
    std::vector<std::uint32_t> pixels(image.width * image.height);
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    ASSERT_EQ(image.width, 1280u);
    ASSERT_EQ(image.height, 720u);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0xFF0000FFu), static_cast<long>(pixels.size()));
}
