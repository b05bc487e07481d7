#include "tools/capture/frame_writer.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "platform/gl/gl_device.h"
#include "tools/capture/interruption.h"
#include "tools/capture/png_file.h"

extern char** environ;

namespace {

constexpr int kBuffersInFlight = 4;
constexpr int kSignalCheckMilliseconds = 100;        // how long a stalled write waits before it checks for a signal
constexpr std::uintmax_t kFullDiskBytes = 1u << 20;  // less room than a frame or two of video
constexpr double kShowVolume = 192.0 / 255.0;        // the show plays its music at this volume

bool programExists(const char* name)
{
    const char* path = std::getenv("PATH");
    std::string directories = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= directories.size();) {
        const std::size_t end = std::min(directories.find(':', start), directories.size());
        const std::filesystem::path candidate = std::filesystem::path(directories.substr(start, end - start)) / name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

// How the encoder ended, from its wait status.
std::string encoderEnd(int status)
{
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        const char* abbreviation = sigabbrev_np(signal);
        return "the encoder, ffmpeg, was killed by " +
               (abbreviation ? "SIG" + std::string(abbreviation) : "signal " + std::to_string(signal)) + " (" +
               strsignal(signal) + ")";
    }
    return "ffmpeg failed with exit code " + std::to_string(WEXITSTATUS(status)) + " (see its message above)";
}

// Frames go into ffmpeg's standard input through a pipe that never blocks, so
// that a stalled encoder cannot hold up Ctrl-C or SIGTERM.
class VideoFile final : public FrameSink {
public:
    VideoFile(pid_t encoder, int pipe, std::filesystem::path partial, std::filesystem::path output)
        : encoder_(encoder), pipe_(pipe), partial_(std::move(partial)), output_(std::move(output))
    {
    }

    ~VideoFile() override { discard(); }

    bool write(std::int64_t, const std::vector<std::uint8_t>& rgba, std::string& error) override
    {
        const std::uint8_t* bytes = rgba.data();
        std::size_t left = rgba.size();
        while (left > 0) {
            const ssize_t written = ::write(pipe_, bytes, left);
            if (written > 0) {
                bytes += written;
                left -= static_cast<std::size_t>(written);
            } else if (written < 0 && (errno == EAGAIN || errno == EINTR)) {
                if (interruptingSignal()) {
                    error = "interrupted";
                    return false;
                }
                pollfd writable{pipe_, POLLOUT, 0};
                ::poll(&writable, 1, kSignalCheckMilliseconds);
            } else {
                const int writeError = errno;
                const std::optional<int> status = waitForEncoder(std::chrono::seconds(2));
                error = status ? whyEncoderFailed(*status)
                               : "ffmpeg stopped taking frames (" + std::string(std::strerror(writeError)) + ")";
                return false;
            }
        }
        return true;
    }

    bool finish(std::string& error) override
    {
        ::close(pipe_);
        pipe_ = -1;
        const std::optional<int> status = waitForEncoder(std::nullopt);
        if (!status) {
            error = "interrupted";
            return false;
        }
        if (!WIFEXITED(*status) || WEXITSTATUS(*status) != 0) {
            error = whyEncoderFailed(*status);
            return false;
        }
        std::error_code renameError;
        std::filesystem::rename(partial_, output_, renameError);
        if (renameError) {
            error = "cannot write " + output_.string() + ": " + renameError.message();
            return false;
        }
        finished_ = true;
        return true;
    }

    // The encoder is killed outright: it may be stopped, and what it wrote is removed anyway.
    std::string discard() override
    {
        if (pipe_ >= 0) {
            ::close(pipe_);
            pipe_ = -1;
        }
        if (encoder_ > 0) {
            ::kill(encoder_, SIGKILL);
            ::waitpid(encoder_, nullptr, 0);
            encoder_ = -1;
        }
        std::error_code ignored;
        if (finished_ || !std::filesystem::remove(partial_, ignored)) {
            return "";
        }
        return "removed the unfinished video " + partial_.string();
    }

private:
    // ffmpeg says on its own when the disk is full, but a user should not have to find that in its output.
    std::string whyEncoderFailed(int status) const
    {
        std::string why = encoderEnd(status);
        const std::filesystem::path folder = std::filesystem::absolute(partial_).parent_path();
        std::error_code failure;
        if (const std::filesystem::space_info space = std::filesystem::space(folder, failure);
            !failure && space.available < kFullDiskBytes) {
            why += "; the disk holding " + folder.string() + " is full (ENOSPC)";
        }
        return why;
    }

    // The encoder's wait status once it has ended; nullopt when it has not
    // within `limit` (no limit: until it ends), or a signal asked the tool to stop.
    std::optional<int> waitForEncoder(std::optional<std::chrono::milliseconds> limit)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit.value_or(std::chrono::milliseconds(0));
        for (;;) {
            int status = 0;
            if (::waitpid(encoder_, &status, WNOHANG) == encoder_) {
                encoder_ = -1;
                return status;
            }
            if (interruptingSignal() || (limit && std::chrono::steady_clock::now() >= deadline)) {
                return std::nullopt;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    pid_t encoder_;
    int pipe_;
    std::filesystem::path partial_;
    std::filesystem::path output_;
    bool finished_ = false;
};

class PngSequence final : public FrameSink {
public:
    // `createdFolders`: the folders made for this sequence, the innermost first.
    PngSequence(std::filesystem::path directory, std::int64_t firstFrame,
                std::vector<std::filesystem::path> createdFolders)
        : directory_(std::move(directory)), firstFrame_(firstFrame), createdFolders_(std::move(createdFolders))
    {
    }

    // Runs once no write is under way any more.
    ~PngSequence() override { discard(); }

    bool write(std::int64_t frame, const std::vector<std::uint8_t>& rgba, std::string& error) override
    {
        if (!writePng(pathOf(frame).string(), kTargetWidth, kTargetHeight, rgba, error)) {
            return false;
        }
        std::lock_guard lock(mutex_);
        framesWritten_.push_back(frame);
        return true;
    }

    bool finish(std::string&) override
    {
        finished_ = true;
        return true;
    }

    // An unfinished sequence is removed like an unfinished video, with the
    // folders made for it once they are empty.
    std::string discard() override
    {
        if (finished_) {
            return "";
        }
        std::size_t framesRemoved = 0;
        for (std::int64_t frame : framesWritten_) {
            std::error_code ignored;
            framesRemoved += std::filesystem::remove(pathOf(frame), ignored);
        }
        framesWritten_.clear();
        bool folderRemoved = false;
        for (const std::filesystem::path& folder : createdFolders_) {
            std::error_code notEmpty;
            if (!std::filesystem::remove(folder, notEmpty)) {
                break;
            }
            folderRemoved = true;
        }
        createdFolders_.clear();
        const std::string frames = std::to_string(framesRemoved) + (framesRemoved == 1 ? " frame" : " frames");
        if (folderRemoved) {
            return "removed " + (framesRemoved > 0 ? "the " + frames + " written so far and " : std::string()) +
                   "the folder " + directory_.string() + ", which this export had made";
        }
        return framesRemoved > 0 ? "removed the " + frames + " written so far to " + directory_.string() : "";
    }

    bool writesConcurrently() const override { return true; }

private:
    std::filesystem::path pathOf(std::int64_t frame) const
    {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(firstFrame_ + frame));
        return directory_ / name;
    }

    std::filesystem::path directory_;
    std::int64_t firstFrame_;
    std::vector<std::filesystem::path> createdFolders_;
    std::mutex mutex_;
    std::vector<std::int64_t> framesWritten_;
    bool finished_ = false;
};

// Averages each scale × scale block of pixels into one.
void downsample(const std::vector<std::uint8_t>& large, int scale, std::vector<std::uint8_t>& small)
{
    const int largeWidth = kTargetWidth * scale;
    small.resize(static_cast<std::size_t>(kTargetWidth) * kTargetHeight * 4);
    const unsigned blockSize = static_cast<unsigned>(scale * scale);
    for (int y = 0; y < kTargetHeight; ++y) {
        for (int x = 0; x < kTargetWidth; ++x) {
            unsigned sums[4] = {0, 0, 0, 0};
            for (int dy = 0; dy < scale; ++dy) {
                const std::uint8_t* row =
                    &large[((static_cast<std::size_t>(y) * scale + dy) * largeWidth + x * scale) * 4];
                for (int i = 0; i < scale * 4; ++i) {
                    sums[i % 4] += row[i];
                }
            }
            std::uint8_t* out = &small[(static_cast<std::size_t>(y) * kTargetWidth + x) * 4];
            for (int c = 0; c < 4; ++c) {
                out[c] = static_cast<std::uint8_t>((sums[c] + blockSize / 2) / blockSize);
            }
        }
    }
}

}  // namespace

std::unique_ptr<FrameSink> openVideoFile(const VideoOptions& options, std::string& error)
{
    if (!programExists("ffmpeg")) {
        error =
            "the ffmpeg program is not installed (Debian: apt-get install ffmpeg); "
            "use --png DIR to write a PNG sequence instead";
        return nullptr;
    }
    const bool webm = options.output.extension() == ".webm";
    std::filesystem::path partial = options.output;
    partial += ".partial";
    // Find out now, not after minutes of rendering, whether the output can be written.
    if (std::filesystem::is_directory(options.output)) {
        error = "cannot write " + options.output.string() + ": it is a directory; give a file name ending in " +
                (webm ? ".webm" : ".mp4");
        return nullptr;
    }
    const int probe = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (probe < 0) {
        error = "cannot write " + options.output.string() + ": " + std::strerror(errno);
        return nullptr;
    }
    ::close(probe);

    char size[32], rate[16], start[32], duration[32], volume[32];
    std::snprintf(size, sizeof size, "%dx%d", kTargetWidth, kTargetHeight);
    std::snprintf(rate, sizeof rate, "%d", options.fps);
    std::snprintf(start, sizeof start, "%.6f", options.startSeconds);
    std::snprintf(duration, sizeof duration, "%.6f", options.durationSeconds);
    std::snprintf(volume, sizeof volume, "volume=%.6f", kShowVolume);
    std::vector<std::string> arguments = {"ffmpeg",     "-hide_banner", "-loglevel", "error", "-nostdin",    "-y",
                                          "-f",         "rawvideo",     "-pix_fmt",  "rgba",  "-video_size", size,
                                          "-framerate", rate,           "-i",        "pipe:0"};
    if (options.music) {
        arguments.insert(arguments.end(), {"-ss", start, "-t", duration, "-i", options.music->string(), "-map", "0:v",
                                           "-map", "1:a", "-af", volume});
    }
    if (webm) {
        arguments.insert(arguments.end(),
                         {"-c:v", "libvpx-vp9", "-crf", "30", "-b:v", "0", "-row-mt", "1", "-deadline", "realtime",
                          "-cpu-used", "8", "-c:a", "libopus", "-b:a", "160k", "-f", "webm"});
    } else {
        arguments.insert(arguments.end(),
                         {"-c:v", "libx264", "-preset", "ultrafast", "-crf", "20", "-pix_fmt", "yuv420p", "-movflags",
                          "+faststart", "-c:a", "aac", "-b:a", "192k", "-f", "mp4"});
    }
    arguments.push_back(partial.string());

    const auto cannotStart = [&](int errorNumber) {
        error = std::string("cannot start ffmpeg: ") + std::strerror(errorNumber);
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        return nullptr;
    };
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0 || ::fcntl(pipeEnds[1], F_SETFL, O_NONBLOCK) != 0) {
        return cannotStart(errno);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], STDIN_FILENO);
    // In a process group of its own, Ctrl-C in the terminal reaches only the
    // tool, which then stops the encoder itself and removes what it wrote.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t encoder = -1;
    const int spawnResult = posix_spawnp(&encoder, "ffmpeg", &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[0]);
    if (spawnResult != 0) {
        ::close(pipeEnds[1]);
        return cannotStart(spawnResult);
    }
    std::signal(SIGPIPE, SIG_IGN);  // a failed encoder shows as a write error, not a dead process
    return std::make_unique<VideoFile>(encoder, pipeEnds[1], std::move(partial), options.output);
}

std::unique_ptr<FrameSink> openPngSequence(const std::filesystem::path& directory, std::int64_t firstFrame,
                                           std::string& error)
{
    std::vector<std::filesystem::path> createdFolders;
    std::filesystem::path folder = std::filesystem::absolute(directory).lexically_normal();
    if (!folder.has_filename()) {
        folder = folder.parent_path();  // from a trailing separator
    }
    for (std::error_code ignored;
         folder.has_relative_path() && !std::filesystem::exists(std::filesystem::symlink_status(folder, ignored));
         folder = folder.parent_path()) {
        createdFolders.push_back(folder);
    }
    std::error_code failure;
    std::filesystem::create_directories(directory, failure);
    if (failure || !std::filesystem::is_directory(directory)) {
        error = "cannot write into " + directory.string() + ": " +
                (failure ? failure.message() : std::string("it is not a directory"));
        return nullptr;
    }
    return std::make_unique<PngSequence>(directory, firstFrame, std::move(createdFolders));
}

FrameWriter::FrameWriter(std::unique_ptr<FrameSink> sink, int renderScale, unsigned coreCount)
    : sink_(std::move(sink)), renderScale_(renderScale)
{
    const int threadCount = sink_->writesConcurrently() ? static_cast<int>(std::max(coreCount, 1u)) : 1;
    const std::size_t frameBytes =
        static_cast<std::size_t>(kTargetWidth) * kTargetHeight * 4 * renderScale * renderScale;
    // A thread holds a large supersampled buffer only while it downsamples, but a
    // frame of the target size for as long as it writes it.
    const int buffers = kBuffersInFlight + (renderScale == 1 ? threadCount - 1 : 0);
    for (int i = 0; i < buffers; ++i) {
        spare_.emplace_back(frameBytes);
    }
    for (int i = 0; i < threadCount; ++i) {
        threads_.emplace_back(&FrameWriter::run, this);
    }
}

// Unless finish() ran, the output is being abandoned: frames still queued are
// dropped, and the sink removes what it wrote once its threads have stopped.
FrameWriter::~FrameWriter()
{
    abandon();
}

std::string FrameWriter::abandon()
{
    {
        std::lock_guard lock(mutex_);
        queued_.clear();
    }
    stopThreads();
    return sink_->discard();
}

void FrameWriter::stopThreads()
{
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) {
        if (thread.joinable()) {
            thread.join();
        }
    }
}

std::vector<std::uint8_t> FrameWriter::takeBuffer()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !spare_.empty(); });
    std::vector<std::uint8_t> buffer = std::move(spare_.back());
    spare_.pop_back();
    return buffer;
}

bool FrameWriter::submit(std::vector<std::uint8_t> frame)
{
    {
        std::lock_guard lock(mutex_);
        if (failed_) {
            spare_.push_back(std::move(frame));
            return false;
        }
        queued_.push_back({framesSubmitted_++, std::move(frame)});
    }
    changed_.notify_all();
    return true;
}

bool FrameWriter::finish(std::string& error)
{
    stopThreads();
    if (failed_) {
        error = error_;
        return false;
    }
    return sink_->finish(error);
}

void FrameWriter::run()
{
    std::vector<std::uint8_t> downsampled;
    for (;;) {
        QueuedFrame frame;
        bool failedBefore = false;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return closing_ || !queued_.empty(); });
            if (queued_.empty()) {
                return;
            }
            frame = std::move(queued_.front());
            queued_.pop_front();
            failedBefore = failed_;
        }
        if (failedBefore) {
            recycle(std::move(frame.pixels));
            continue;
        }
        const auto start = std::chrono::steady_clock::now();
        if (renderScale_ > 1) {
            downsample(frame.pixels, renderScale_, downsampled);
            recycle(std::move(frame.pixels));
        }
        std::string error;
        const bool written = sink_->write(frame.number, renderScale_ > 1 ? downsampled : frame.pixels, error);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        {
            std::lock_guard lock(mutex_);
            secondsWriting_ += seconds;
            if (!written && !failed_) {
                failed_ = true;
                error_ = error;
            }
        }
        if (renderScale_ == 1) {
            recycle(std::move(frame.pixels));
        }
    }
}

void FrameWriter::recycle(std::vector<std::uint8_t> buffer)
{
    {
        std::lock_guard lock(mutex_);
        spare_.push_back(std::move(buffer));
    }
    changed_.notify_all();
}
