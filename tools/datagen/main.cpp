// kelpwax-datagen <output directory>: writes every file the show reads into
// the directory, laid out as the show's working directory. The music renders
// on its own thread while a pool of workers makes the pictures, glyphs, model
// and icon. Every file appears whole or not at all; any failure is reported
// and makes the exit status non-zero.
// kelpwax-datagen --desktop-icons <theme directory>: the icon as PNG files
// for a Linux desktop's icon theme (hicolor), outside the show's data.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "atomic_file.h"
#include "data_files.h"
#include "icon.h"
#include "music_generator.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Progress lines from several threads, each stamped with the time since the start.
class ProgressLog {
public:
    void say(const std::string& line)
    {
        const std::lock_guard lock(mutex_);
        std::printf("[%6.2f s] %s\n", secondsSince(start_), line.c_str());
        std::fflush(stdout);
    }
    void fail(const std::string& message)
    {
        const std::lock_guard lock(mutex_);
        std::fprintf(stderr, "kelpwax-datagen: error: %s\n", message.c_str());
        errors_.push_back(message);
    }
    bool failed()
    {
        const std::lock_guard lock(mutex_);
        return !errors_.empty();
    }

private:
    std::mutex mutex_;
    Clock::time_point start_ = Clock::now();
    std::vector<std::string> errors_;
};

std::string describeSize(std::uintmax_t bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

std::string formatSeconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", seconds);
    return text;
}

void writeMusicFile(const std::filesystem::path& directory, ProgressLog& log)
{
    const std::filesystem::path path = directory / kMusicFile;
    const Clock::time_point start = Clock::now();
    int lastTenth = -1;
    auto onProgress = [&](float fraction) {
        const int tenth = static_cast<int>(fraction * 10.0f);
        if (tenth == lastTenth)
            return;
        lastTenth = tenth;
        log.say(std::string(kMusicFile) + ": " + std::to_string(tenth * 10) + "%");
    };
    try {
        std::string error;
        if (!datagen::writeMusic(datagen::partialPath(path), onProgress, error)) {
            std::error_code ignored;
            std::filesystem::remove(datagen::partialPath(path), ignored);
            log.fail("cannot make " + path.string() + ": " + error);
            return;
        }
        datagen::commitPartialFile(path);
        log.say("wrote " + std::string(kMusicFile) + " (" + describeSize(std::filesystem::file_size(path)) + ", " +
                formatSeconds(secondsSince(start)) + ")");
    } catch (const std::exception& e) {
        log.fail(e.what());
    }
}

void runVisualJobs(const std::filesystem::path& directory, const std::vector<datagen::DataFileJob>& jobs,
                   std::atomic<std::size_t>& nextJob, ProgressLog& log)
{
    for (std::size_t index = nextJob++; index < jobs.size() && !log.failed(); index = nextJob++) {
        const datagen::DataFileJob& job = jobs[index];
        const Clock::time_point start = Clock::now();
        try {
            const std::vector<std::uint8_t> bytes = job.make();
            datagen::writeFileAtomically(directory / job.relativePath, bytes);
            log.say("wrote " + job.relativePath.string() + " (" + describeSize(bytes.size()) + ", " +
                    formatSeconds(secondsSince(start)) + ")");
        } catch (const std::exception& e) {
            log.fail("cannot make " + (directory / job.relativePath).string() + ": " + e.what());
        }
    }
}

// The icon as PNG files for a desktop's icon theme, laid out as the theme's folder.
int writeDesktopIcons(const std::filesystem::path& themeDirectory)
{
    try {
        for (const int size : datagen::kDesktopIconSizes) {
            const std::filesystem::path path = themeDirectory / datagen::desktopIconPath(size);
            std::filesystem::create_directories(path.parent_path());
            datagen::writeFileAtomically(path, datagen::encodeIconPng(size));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kelpwax-datagen: error: %s\n", e.what());
        return 1;
    }
    std::printf("wrote the icon in %zu sizes into %s\n", std::size(datagen::kDesktopIconSizes), themeDirectory.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string_view(argv[1]) == "--desktop-icons") {
        return writeDesktopIcons(argv[2]);
    }
    if (argc != 2) {
        std::fprintf(stderr,
                     "usage: kelpwax-datagen <output directory>\n"
                     "       kelpwax-datagen --desktop-icons <icon theme directory>\n");
        return 2;
    }
    const std::filesystem::path directory = argv[1];
    for (const std::filesystem::path& folder : datagen::visualDataFolders()) {
        std::error_code error;
        std::filesystem::create_directories(directory / folder, error);
        if (error) {
            std::fprintf(stderr, "kelpwax-datagen: error: cannot create %s: %s\n", (directory / folder).c_str(),
                         error.message().c_str());
            return 1;
        }
    }

    ProgressLog log;
    log.say("generating the show's data into " + directory.string());
    const Clock::time_point start = Clock::now();
    std::thread music(writeMusicFile, directory, std::ref(log));

    const std::vector<datagen::DataFileJob> jobs = datagen::visualDataJobs();
    std::atomic<std::size_t> nextJob{0};
    const unsigned workerCount = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < workerCount; ++i) {
        workers.emplace_back(runVisualJobs, std::cref(directory), std::cref(jobs), std::ref(nextJob), std::ref(log));
    }
    for (std::thread& worker : workers)
        worker.join();
    if (!log.failed())
        log.say("pictures, glyphs, model and icon done in " + formatSeconds(secondsSince(start)));
    music.join();

    if (log.failed()) {
        std::fprintf(stderr,
                     "kelpwax-datagen: failed; the files that were written are complete, the others are missing\n");
        return 1;
    }
    log.say("all data written in " + formatSeconds(secondsSince(start)));
    return 0;
}
