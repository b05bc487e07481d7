#include "tests/test_support.h"

#include <unistd.h>

#include <cstdlib>

TemporaryDirectory::TemporaryDirectory()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "kelpwax-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
}

TemporaryDirectory::~TemporaryDirectory()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

bool showDataExists()
{
    return std::filesystem::exists(showDataDirectory() / "underwater.png");
}

std::filesystem::path showDataDirectory()
{
    return KELPWAX_DATA_DIR;
}

std::filesystem::path programPath(const std::string& relativeToBuild)
{
    return std::filesystem::path(KELPWAX_BINARY_DIR) / relativeToBuild;
}

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>
#include <thread>

void writeFile(const std::filesystem::path& path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

ChildProcess startProgram(const std::vector<std::string>& arguments, const EnvironmentChanges& environment,
                          const std::filesystem::path& workingDirectory, const std::filesystem::path& stderrFile)
{
    ChildProcess child;
    child.stderrFile = stderrFile;
    child.pid = ::fork();
    if (child.pid == 0) {
        for (const auto& [name, value] : environment) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
        const int errorOutput = ::open(stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(errorOutput, 2);
        const int nothing = ::open("/dev/null", O_RDWR);
        ::dup2(nothing, 0);
        ::dup2(nothing, 1);
        if (::chdir(workingDirectory.c_str()) != 0) {
            ::_exit(127);
        }
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return child;
}

std::optional<int> waitForExit(const ChildProcess& child, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        if (::waitpid(child.pid, &status, WNOHANG) == child.pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child.pid, SIGKILL);
            ::waitpid(child.pid, &status, 0);
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::string readFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
