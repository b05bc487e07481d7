#include "app/command_line.h"

namespace {

std::string helpText(const ProgramDescription& program)
{
    const std::string name(program.name);
    std::string text = name + " " + std::string(programVersion()) + ": a self-running audio-visual show, music with ";
    text += "moving pictures,\n" + std::string(program.presentation) + ".\n";
    text += "It plays for about 160 seconds and then ends by itself.\n\n";
    text += "Usage: " + name + " [--help | --version]\n\n";
    text += "Keys: any key ends the show, as does closing the window.\n\n";
    text += "Data: the music, pictures, model and glyphs are read from the working directory;\n";
    text += "when it holds none of them, from " + std::string(program.dataFolders) + ".\n";
    text += "A line on stderr names the folder used when it is not the working directory.\n\n";
    text += "Exit codes:\n";
    text += "  0  the show ended (" + std::string(program.waysToEnd) + ")\n";
    text += "  1  " + std::string(program.startupFailure) + "\n";
    text += "  2  an argument it does not know\n";
    return text;
}

}  // namespace

std::string_view programVersion()
{
    return KELPWAX_VERSION;
}

std::optional<CommandLineAnswer> answerCommandLine(const std::vector<std::string>& arguments,
                                                   const ProgramDescription& program)
{
    const std::string name(program.name);
    if (arguments.empty()) {
        return std::nullopt;
    }
    if (arguments.size() > 1) {
        return CommandLineAnswer{2, name + ": takes at most one argument, --help or --version; got " +
                                        std::to_string(arguments.size()) + "\n"};
    }
    const std::string& argument = arguments.front();
    if (argument == "--help" || argument == "-h") {
        return CommandLineAnswer{0, helpText(program)};
    }
    if (argument == "--version") {
        return CommandLineAnswer{0, name + " " + std::string(programVersion()) + "\n"};
    }
    return CommandLineAnswer{2, name + ": unknown argument \"" + argument +
                                    "\"; the show takes none (--help says what it does)\n"};
}
