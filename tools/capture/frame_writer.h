// Where exported frames go, and the thread that sends them there, so that
// encoding never holds up rendering.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// One 1280 × 720 RGBA frame after another, in order.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual bool write(const std::vector<std::uint8_t>& rgba, std::string& error) = 0;
    // Completes the output; until then it does not look complete.
    virtual bool finish(std::string& error) = 0;
};

struct VideoOptions {
    std::filesystem::path output;  // .mp4 (H.264 + AAC) or .webm (VP9 + Opus)
    int fps = 60;
    double startSeconds = 0;  // the music starts here, with the first frame
    double durationSeconds = 0;
    std::optional<std::filesystem::path> music;  // muxed in when given
};

// Frames piped raw into the ffmpeg program, written to a temporary name and
// renamed when ffmpeg has finished well.
std::unique_ptr<FrameSink> openVideoFile(const VideoOptions& options, std::string& error);
// frame-000000.png, frame-000001.png, ... numbered from `firstFrame`.
std::unique_ptr<FrameSink> openPngSequence(const std::filesystem::path& directory, std::int64_t firstFrame,
                                           std::string& error);

// Runs a sink on its own thread. Frames are downsampled from renderScale ×
// 1280 × 720 there too. Buffers travel between the two threads and are reused.
class FrameWriter {
public:
    FrameWriter(std::unique_ptr<FrameSink> sink, int renderScale);
    ~FrameWriter();

    // A buffer to fill with the next frame (waits while every buffer is queued).
    std::vector<std::uint8_t> takeBuffer();
    // Queues a filled buffer; false once the sink has failed.
    bool submit(std::vector<std::uint8_t> frame);
    // Waits for every queued frame and completes the output.
    bool finish(std::string& error);
    double secondsWriting() const { return secondsWriting_; }

private:
    void run();

    std::unique_ptr<FrameSink> sink_;
    int renderScale_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<std::uint8_t>> queued_;
    std::vector<std::vector<std::uint8_t>> spare_;
    bool closing_ = false;
    bool failed_ = false;
    std::string error_;
    double secondsWriting_ = 0;
    std::thread thread_;
};
