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

// One 1280 × 720 RGBA frame after another, numbered from 0.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual bool write(std::int64_t frame, const std::vector<std::uint8_t>& rgba, std::string& error) = 0;
    // Completes the output; until then it does not look complete.
    virtual bool finish(std::string& error) = 0;
    // Removes an unfinished output, stopping whatever was writing it, and says
    // what was removed ("" when nothing was). Does nothing once finished.
    virtual std::string discard() { return ""; }
    // Whether several frames may be written at once, from different threads and out of order.
    virtual bool writesConcurrently() const { return false; }
};

struct VideoOptions {
    std::filesystem::path output;  // .mp4 (H.264 + AAC) or .webm (VP9 + Opus)
    int fps = 60;
    double startSeconds = 0;  // the music starts here, with the first frame
    double durationSeconds = 0;
    std::optional<std::filesystem::path> music;  // muxed in when given
};

// Frames piped raw into the ffmpeg program, written to a temporary name and
// renamed when ffmpeg has finished well. A write to a stalled ffmpeg gives up
// within a tenth of a second of SIGINT or SIGTERM.
std::unique_ptr<FrameSink> openVideoFile(const VideoOptions& options, std::string& error);
// frame-000000.png, frame-000001.png, ... numbered from `firstFrame`, in
// `directory`, which is made if need be (and removed with the frames when the
// sequence is abandoned).
std::unique_ptr<FrameSink> openPngSequence(const std::filesystem::path& directory, std::int64_t firstFrame,
                                           std::string& error);

// Runs a sink on threads of its own: one, or one per core where the sink
// writes concurrently. Frames are downsampled from renderScale × 1280 × 720
// there too. Buffers travel between the threads and are reused.
class FrameWriter {
public:
    FrameWriter(std::unique_ptr<FrameSink> sink, int renderScale,
                unsigned coreCount = std::thread::hardware_concurrency());
    ~FrameWriter();

    // A buffer to fill with the next frame (waits while every buffer is queued).
    std::vector<std::uint8_t> takeBuffer();
    // Queues a filled buffer; false once the sink has failed.
    bool submit(std::vector<std::uint8_t> frame);
    // Waits for every queued frame and completes the output.
    bool finish(std::string& error);
    // Drops the queued frames and removes the unfinished output; says what was removed.
    std::string abandon();
    // Summed over the writing threads.
    double secondsWriting() const { return secondsWriting_; }
    int threadCount() const { return static_cast<int>(threads_.size()); }

private:
    struct QueuedFrame {
        std::int64_t number;
        std::vector<std::uint8_t> pixels;
    };

    void run();
    void stopThreads();
    void recycle(std::vector<std::uint8_t> buffer);

    std::unique_ptr<FrameSink> sink_;
    int renderScale_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<QueuedFrame> queued_;
    std::vector<std::vector<std::uint8_t>> spare_;
    std::int64_t framesSubmitted_ = 0;
    bool closing_ = false;
    bool failed_ = false;
    std::string error_;
    double secondsWriting_ = 0;
    std::vector<std::thread> threads_;
};
