// The desktop programs' command line, run as a user would, without a display:
// --help and --version answer and exit before any window is opened.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>

#include "tests/test_support.h"

namespace {

struct ProgramRun {
    int exitCode = -1;
    std::string output;
    std::string errors;
};

ProgramRun runWithoutDisplay(const std::string& program, const std::string& arguments)
{
    const TemporaryDirectory scratch;
    const std::filesystem::path output = scratch.path() / "stdout.txt";
    const std::filesystem::path errors = scratch.path() / "stderr.txt";
    const std::string command = "cd " + scratch.path().string() + " && env -u DISPLAY -u WAYLAND_DISPLAY timeout 10 " +
                                programPath(program).string() + " " + arguments + " >" + output.string() + " 2>" +
                                errors.string();
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(output), readFile(errors)};
}

}  // namespace

TEST(CommandLine, HelpSaysWhatTheProgramIsItsKeysDataAndExitCodes)
{
    for (const std::string program : {"kelpwax", "kelpwax-fullscreen"}) {
        SCOPED_TRACE(program);
        for (const char* help : {"--help", "-h"}) {
            const ProgramRun run = runWithoutDisplay(program, help);
            EXPECT_EQ(run.exitCode, 0);
            EXPECT_EQ(run.errors, "");
            EXPECT_EQ(run.output.rfind(program + " " KELPWAX_VERSION ": a self-running audio-visual show", 0), 0u)
                << run.output;
            for (const std::string& part :
                 {"Usage: " + program + " [--help | --version]", std::string("Keys: any key"),
                  std::string("../share/kelpwax"), std::string("Exit codes:\n  0  "),
                  std::string("\n  1  no window or OpenGL 3.3 context"), std::string("\n  2  an argument")}) {
                EXPECT_NE(run.output.find(part), std::string::npos) << part << " not in:\n" << run.output;
            }
        }
    }
}

TEST(CommandLine, VersionIsTheBuildsVersion)
{
    const ProgramRun run = runWithoutDisplay("kelpwax", "--version");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "kelpwax " KELPWAX_VERSION "\n");
    EXPECT_EQ(run.errors, "");
}

TEST(CommandLine, AnythingElseIsOneLineOnStderrAndExitCodeTwo)
{
    const struct {
        const char* arguments;
        const char* expected;
    } cases[] = {
        {"--fullscreen",
         "kelpwax: unknown argument \"--fullscreen\"; the show takes none (--help says what it does)\n"},
        {"''", "kelpwax: unknown argument \"\"; the show takes none (--help says what it does)\n"},
        {"--help --version", "kelpwax: takes at most one argument, --help or --version; got 2\n"},
    };
    for (const auto& c : cases) {
        const ProgramRun run = runWithoutDisplay("kelpwax", c.arguments);
        EXPECT_EQ(run.exitCode, 2) << c.arguments;
        EXPECT_EQ(run.errors, c.expected);
        EXPECT_EQ(run.output, "") << c.arguments;
    }
}
