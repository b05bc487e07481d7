// The desktop programs' command line. The show itself takes no arguments, so
// there is only what users of any program expect: --help, --version, and a
// clear refusal of anything else.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What differs between the programs and platforms in the help text.
struct ProgramDescription {
    std::string_view name;            // the program's file name without extension
    std::string_view presentation;    // how the show is shown, e.g. "in a 1280 x 720 window"
    std::string_view dataFolders;     // where the data is looked for after the working directory
    std::string_view waysToEnd;       // what ends the show with exit code 0
    std::string_view startupFailure;  // what exit code 1 means
};

struct CommandLineAnswer {
    int exitCode;      // 0 for --help and --version, 2 for anything else
    std::string text;  // for stdout when exitCode is 0, for stderr otherwise
};

// The program's version, from the build.
std::string_view programVersion();

// nullopt when there are no arguments and the show should run; otherwise what to say and the exit code.
std::optional<CommandLineAnswer> answerCommandLine(const std::vector<std::string>& arguments,
                                                   const ProgramDescription& program);
