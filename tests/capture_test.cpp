#include <gtest/gtest.h>
#include <png.h>
#include <sys/mount.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <thread>

#include "music/beat_clock.h"
#include "platform/gl/gl_device.h"
#include "tests/test_support.h"
#include "tools/capture/frame_range.h"
#include "tools/capture/frame_writer.h"

using namespace std::chrono_literals;

namespace {

std::filesystem::path captureProgram()
{
    return programPath("tools/capture/kelpwax-capture");
}

std::filesystem::path showWorkingDirectory()
{
    return showDataExists() ? showDataDirectory() : std::filesystem::current_path();
}

// Starts the capture tool in the show's working directory, its stderr going to the scratch directory.
ChildProcess startCapture(const std::vector<std::string>& arguments, const TemporaryDirectory& scratch,
                          const EnvironmentChanges& environment = {})
{
    std::vector<std::string> command = {captureProgram().string()};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return startProgram(command, environment, showWorkingDirectory(), scratch.path() / "capture-stderr.txt");
}

// Runs the capture tool; its exit code (-1 when it ran past `timeout`), stderr in `errors`.
int runCapture(const std::vector<std::string>& arguments, const TemporaryDirectory& scratch, std::string& errors,
               const EnvironmentChanges& environment = {}, std::chrono::milliseconds timeout = 300s)
{
    const std::optional<int> exitCode = waitForExit(startCapture(arguments, scratch, environment), timeout);
    errors = readFile(scratch.path() / "capture-stderr.txt");
    return exitCode.value_or(-1);
}

std::string commandOutput(const std::string& command)
{
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char chunk[256];
        while (std::fgets(chunk, sizeof chunk, pipe)) {
            output += chunk;
        }
        ::pclose(pipe);
    }
    return output;
}

bool ffmpegInstalled()
{
    return std::system("command -v ffmpeg >/dev/null 2>&1 && command -v ffprobe >/dev/null 2>&1") == 0;
}

// Noise that differs from frame to frame, slow enough to compress that
// threads finish out of order; opaque unless asked otherwise.
void fillFrame(std::vector<std::uint8_t>& rgba, int frame, bool translucent = false)
{
    std::uint32_t state = 2654435761u * static_cast<std::uint32_t>(frame + 1);
    for (std::size_t i = 0; i < rgba.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        rgba[i] = (i % 4 == 3 && !translucent) ? 0xFF : static_cast<std::uint8_t>(state >> 24);
    }
}

std::vector<std::uint8_t> readPng(const std::filesystem::path& path)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return {};
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr) || image.width != kTargetWidth ||
        image.height != kTargetHeight) {
        return {};
    }
    return rgba;
}

std::set<std::string> filesIn(const std::filesystem::path& directory)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

std::unique_ptr<FrameWriter> pngWriter(const std::filesystem::path& directory, std::int64_t firstFrame,
                                       unsigned coreCount)
{
    std::string error;
    std::unique_ptr<FrameSink> sink = openPngSequence(directory, firstFrame, error);
    EXPECT_TRUE(sink) << error;
    return std::make_unique<FrameWriter>(std::move(sink), 1, coreCount);
}

// Submits frames 0, 1, ... until `count` or the first refusal; how many were taken.
int submitFrames(FrameWriter& writer, int count, int translucentFrame = -1)
{
    for (int frame = 0; frame < count; ++frame) {
        std::vector<std::uint8_t> buffer = writer.takeBuffer();
        fillFrame(buffer, frame, frame == translucentFrame);
        if (!writer.submit(std::move(buffer))) {
            return frame;
        }
    }
    return count;
}

// PATH with `directory` first.
EnvironmentChanges pathStartingWith(const std::filesystem::path& directory)
{
    const char* path = std::getenv("PATH");
    return {{"PATH", directory.string() + ":" + (path ? path : "/usr/bin:/bin")}};
}

bool processExists(pid_t pid)
{
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

// A small file system of its own, so that an export can fill it; unmounted with the object.
class SmallDisk {
public:
    SmallDisk(const std::filesystem::path& mountPoint, const char* size) : mountPoint_(mountPoint)
    {
        std::filesystem::create_directory(mountPoint_);
        const std::string options = std::string("size=") + size;
        mounted_ = ::mount("tmpfs", mountPoint_.c_str(), "tmpfs", 0, options.c_str()) == 0;
        failure_ = mounted_ ? "" : std::strerror(errno);
    }
    ~SmallDisk()
    {
        if (mounted_) {
            ::umount2(mountPoint_.c_str(), MNT_DETACH);
        }
    }
    bool mounted() const { return mounted_; }
    const std::string& failure() const { return failure_; }

private:
    std::filesystem::path mountPoint_;
    bool mounted_ = false;
    std::string failure_;
};

class RecordingSink final : public FrameSink {
public:
    bool write(std::int64_t frame, const std::vector<std::uint8_t>& rgba, std::string&) override
    {
        frames.push_back(frame);
        firstBytes.push_back(rgba[0]);
        return true;
    }
    bool finish(std::string&) override { return true; }

    std::vector<std::int64_t> frames;
    std::vector<std::uint8_t> firstBytes;
};

}  // namespace

TEST(ExportFrames, TheLastFrameIsTheFirstPastBeat400)
{
    for (int fps : {60, 30, 25, 24}) {
        const std::optional<FrameRange> range = exportFrameRange(fps, std::nullopt, std::nullopt);
        ASSERT_TRUE(range);
        EXPECT_EQ(range->first, 0);
        EXPECT_EQ(BeatClock::fromSeconds(framePosition(range->last, fps)).beatIndex, 401) << fps;
        EXPECT_EQ(BeatClock::fromSeconds(framePosition(range->last - 1, fps)).beatIndex, 400) << fps;
    }
    EXPECT_EQ(exportFrameRange(60, std::nullopt, std::nullopt)->last, 9625);  // 160.4166 s
}

TEST(ExportFrames, FromAndToPickTheFramesTheyName)
{
    const FrameRange range = *exportFrameRange(60, 10.0, 12.0);
    EXPECT_EQ(range.first, 600);
    EXPECT_EQ(range.last, 720);
    EXPECT_EQ(range.count(), 121);
    // Between frames: the first frame at or after --from, the last at or before --to.
    EXPECT_EQ(exportFrameRange(60, 10.01, 11.99)->first, 601);
    EXPECT_EQ(exportFrameRange(60, 10.01, 11.99)->last, 719);
    // Past the show's end the range stops at the show's last frame; an empty range is refused.
    EXPECT_EQ(exportFrameRange(60, 150.0, 500.0)->last, 9625);
    EXPECT_FALSE(exportFrameRange(60, 12.0, 11.0));
    EXPECT_FALSE(exportFrameRange(60, 200.0, std::nullopt));
}

TEST(Export, AShortVideoHasTheRightSizeRateDurationAndSound)
{
    if (!ffmpegInstalled() || !showDataExists()) {
        GTEST_SKIP() << "needs ffmpeg and the generated show data";
    }
    const TemporaryDirectory scratch;
    const std::filesystem::path video = scratch.path() / "short.mp4";
    std::string errors;
    ASSERT_EQ(runCapture({"--video", video.string(), "--from", "30", "--to", "32"}, scratch, errors), 0) << errors;
    const std::string streams = commandOutput(
        "ffprobe -v error -show_entries stream=codec_type,width,height,"
        "r_frame_rate,nb_frames -of compact=nk=0 '" +
        video.string() + "'");
    EXPECT_NE(streams.find("codec_type=video|width=1280|height=720|r_frame_rate=60/1|nb_frames=121"), std::string::npos)
        << streams;
    EXPECT_NE(streams.find("codec_type=audio"), std::string::npos) << streams;
    const double duration = std::atof(
        commandOutput("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + video.string() + "'").c_str());
    EXPECT_NEAR(duration, 121.0 / 60.0, 0.05);
    EXPECT_FALSE(std::filesystem::exists(video.string() + ".partial"));
}

TEST(Export, ThePngSequenceStartsWithTheSingleFrameCapture)
{
    const TemporaryDirectory scratch;
    std::string errors;
    ASSERT_EQ(runCapture({"--png", (scratch.path() / "sequence").string(), "--to", "0.05"}, scratch, errors), 0)
        << errors;
    ASSERT_EQ(runCapture({"--at", "0", "-o", (scratch.path() / "single.png").string()}, scratch, errors), 0) << errors;
    const std::filesystem::path sequence = scratch.path() / "sequence";
    EXPECT_TRUE(std::filesystem::exists(sequence / "frame-000003.png"));
    EXPECT_FALSE(std::filesystem::exists(sequence / "frame-000004.png"));
    EXPECT_EQ(readFile(sequence / "frame-000000.png"), readFile(scratch.path() / "single.png"));
}

TEST(Export, HelpIsAnAnswerNotAnError)
{
    const TemporaryDirectory scratch;
    std::string errors;
    const std::string help = commandOutput(captureProgram().string() + " --help");
    EXPECT_NE(help.find("preset"), std::string::npos) << help;
    EXPECT_EQ(runCapture({"--help"}, scratch, errors), 0) << errors;
    EXPECT_EQ(errors, "");
}

TEST(Export, OutputErrorsAreReportedAndFail)
{
    const TemporaryDirectory scratch;
    std::string errors;
    EXPECT_NE(runCapture({"--video", "/nonexistent-directory/show.mp4", "--to", "0.1"}, scratch, errors), 0);
    EXPECT_NE(errors.find("cannot write /nonexistent-directory/show.mp4"), std::string::npos) << errors;

    const std::filesystem::path video = scratch.path() / "show.mp4";
    EXPECT_NE(
        runCapture({"--video", video.string(), "--to", "0.1"}, scratch, errors, {{"PATH", scratch.path().string()}}),
        0);
    EXPECT_NE(errors.find("ffmpeg program is not installed"), std::string::npos) << errors;
    EXPECT_FALSE(std::filesystem::exists(video));
}

TEST(Export, AVideoOntoADirectoryIsRefusedBeforeAnyFrameIsRendered)
{
    const TemporaryDirectory scratch;
    const std::filesystem::path video = scratch.path() / "show.mp4";
    std::filesystem::create_directory(video);
    std::string errors;
    EXPECT_EQ(runCapture({"--video", video.string()}, scratch, errors, {}, 10s), 1) << errors;
    EXPECT_NE(errors.find("cannot write " + video.string() + ": it is a directory"), std::string::npos) << errors;
    EXPECT_EQ(filesIn(scratch.path()), (std::set<std::string>{"capture-stderr.txt", "show.mp4"}));
}

// ffmpeg is started through a script first on PATH that notes its process id,
// then stopped with SIGSTOP once frames flow: the tool is blocked writing to it.
TEST(Export, ASignalEndsAVideoExportWithinASecondWhileTheEncoderIsStalled)
{
    if (!ffmpegInstalled() || !showDataExists()) {
        GTEST_SKIP() << "needs ffmpeg and the generated show data";
    }
    for (const int signal : {SIGINT, SIGTERM}) {
        const TemporaryDirectory scratch;
        const std::filesystem::path pidFile = scratch.path() / "ffmpeg.pid";
        writeFile(scratch.path() / "ffmpeg", "#!/bin/sh\necho $$ > '" + pidFile.string() + "'\nexec " +
                                                 commandOutput("command -v ffmpeg | tr -d '\\n'") + " \"$@\"\n");
        std::filesystem::permissions(scratch.path() / "ffmpeg", std::filesystem::perms::owner_all);
        const std::filesystem::path video = scratch.path() / "show.mp4";
        const ChildProcess capture =
            startCapture({"--video", video.string(), "--from", "30"}, scratch, pathStartingWith(scratch.path()));
        pid_t encoder = 0;
        for (auto waited = 0ms; waited < 20s && encoder == 0; waited += 50ms) {
            std::this_thread::sleep_for(50ms);
            encoder = std::atoi(readFile(pidFile).c_str());
        }
        ASSERT_GT(encoder, 0) << readFile(scratch.path() / "capture-stderr.txt");
        const std::filesystem::path partial = video.string() + ".partial";
        for (auto waited = 0ms; waited < 30s && std::filesystem::file_size(partial) == 0; waited += 50ms) {
            std::this_thread::sleep_for(50ms);  // until frames flow
        }
        ASSERT_GT(std::filesystem::file_size(partial), 0u);
        ASSERT_EQ(::kill(encoder, SIGSTOP), 0);
        std::this_thread::sleep_for(1s);  // the pipe fills and the tool waits on it

        ::kill(capture.pid, signal);
        const std::string errors = readFile(scratch.path() / "capture-stderr.txt");
        EXPECT_EQ(waitForExit(capture, 1s), 128 + signal) << errors;
        EXPECT_FALSE(processExists(encoder));
        EXPECT_NE(readFile(scratch.path() / "capture-stderr.txt")
                      .find("; removed the unfinished video " + video.string() + ".partial"),
                  std::string::npos)
            << readFile(scratch.path() / "capture-stderr.txt");
        EXPECT_FALSE(std::filesystem::exists(video));
        EXPECT_FALSE(std::filesystem::exists(partial));
        if (processExists(encoder)) {
            ::kill(encoder, SIGKILL);
        }
    }
}

// Both kinds of export onto a 2 MiB file system: each says the disk is full,
// names the folder, says what it removed, and leaves the disk empty.
TEST(Export, AFullDiskIsSaidByNameAndTheUnfinishedExportIsRemoved)
{
    if (!showDataExists()) {
        GTEST_SKIP() << "needs the generated show data";
    }
    const TemporaryDirectory scratch;
    const std::filesystem::path disk = scratch.path() / "small";
    const SmallDisk smallDisk(disk, "2m");
    if (!smallDisk.mounted()) {
        GTEST_SKIP() << "cannot mount a 2 MiB tmpfs on " << disk << " (" << smallDisk.failure()
                     << "); mounting needs root or CAP_SYS_ADMIN";
    }
    std::string errors;
    const std::filesystem::path frames = disk / "frames";
    EXPECT_EQ(runCapture({"--png", frames.string(), "--to", "10"}, scratch, errors), 1) << errors;
    EXPECT_NE(errors.find("the disk holding " + frames.string() + " is full (ENOSPC)"), std::string::npos) << errors;
    EXPECT_NE(errors.find(" written so far and the folder " + frames.string() + ", which this export had made"),
              std::string::npos)
        << errors;
    EXPECT_TRUE(std::filesystem::is_empty(disk));

    if (!ffmpegInstalled()) {
        GTEST_SKIP() << "needs ffmpeg for the video";
    }
    const std::filesystem::path video = disk / "show.mp4";
    EXPECT_EQ(runCapture({"--video", video.string(), "--to", "30"}, scratch, errors), 1) << errors;
    EXPECT_NE(errors.find("the disk holding " + disk.string() + " is full (ENOSPC); removed the unfinished video " +
                          video.string() + ".partial"),
              std::string::npos)
        << errors;
    EXPECT_TRUE(std::filesystem::is_empty(disk));
}

TEST(PngSequence, FramesFromSeveralThreadsAreAllWrittenUnderTheirOwnNumbers)
{
    const TemporaryDirectory scratch;
    auto writer = pngWriter(scratch.path(), 600, 4);
    EXPECT_EQ(writer->threadCount(), 4);
    constexpr int kFrames = 12;
    constexpr int kTranslucentFrame = 5;
    ASSERT_EQ(submitFrames(*writer, kFrames, kTranslucentFrame), kFrames);
    std::string error;
    ASSERT_TRUE(writer->finish(error)) << error;
    writer.reset();  // a finished sequence stays

    std::set<std::string> expected;
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(kTargetWidth) * kTargetHeight * 4);
    for (int i = 0; i < kFrames; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06d.png", 600 + i);
        expected.insert(name);
        fillFrame(frame, i, i == kTranslucentFrame);
        EXPECT_TRUE(readPng(scratch.path() / name) == frame) << name << " does not hold frame " << i;
    }
    EXPECT_EQ(filesIn(scratch.path()), expected);
}

TEST(PngSequence, SupersampledFramesAreAveragedDownBeforeTheyAreWritten)
{
    const TemporaryDirectory scratch;
    std::string error;
    FrameWriter writer(openPngSequence(scratch.path(), 0, error), 2, 2);
    std::vector<std::uint8_t> small(static_cast<std::size_t>(kTargetWidth) * kTargetHeight * 4);
    constexpr int kFrames = 6;
    for (int frame = 0; frame < kFrames; ++frame) {
        fillFrame(small, frame);
        std::vector<std::uint8_t> large = writer.takeBuffer();
        for (std::size_t y = 0; y < 2 * kTargetHeight; ++y) {
            for (std::size_t x = 0; x < 2 * kTargetWidth; ++x) {
                std::copy_n(&small[((y / 2) * kTargetWidth + x / 2) * 4], 4, &large[(y * 2 * kTargetWidth + x) * 4]);
            }
        }
        ASSERT_TRUE(writer.submit(std::move(large)));
    }
    ASSERT_TRUE(writer.finish(error)) << error;
    for (int frame = 0; frame < kFrames; ++frame) {
        fillFrame(small, frame);
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06d.png", frame);
        EXPECT_TRUE(readPng(scratch.path() / name) == small) << name;
    }
}

TEST(PngSequence, AFailedFrameIsReportedAndNothingOfTheSequenceStays)
{
    const TemporaryDirectory scratch;
    std::filesystem::create_directory(scratch.path() / "frame-000003.png");  // in the way of frame 3
    auto writer = pngWriter(scratch.path(), 0, 2);
    EXPECT_LT(submitFrames(*writer, 40), 40);
    std::string error;
    EXPECT_FALSE(writer->finish(error));
    EXPECT_NE(error.find("cannot write " + (scratch.path() / "frame-000003.png").string()), std::string::npos) << error;
    writer.reset();
    EXPECT_EQ(filesIn(scratch.path()), std::set<std::string>{"frame-000003.png"});
}

TEST(PngSequence, AnAbandonedSequenceIsRemovedWithFramesStillBeingWritten)
{
    const TemporaryDirectory scratch;
    auto writer = pngWriter(scratch.path(), 0, 2);
    ASSERT_EQ(submitFrames(*writer, 8), 8);
    writer.reset();
    EXPECT_TRUE(filesIn(scratch.path()).empty());
}

TEST(PngSequence, AbandoningSaysWhatWasRemovedWithTheFoldersTheSequenceMade)
{
    const TemporaryDirectory scratch;
    const std::vector<std::uint8_t> frame(static_cast<std::size_t>(kTargetWidth) * kTargetHeight * 4);
    std::string error;
    const std::filesystem::path folder = scratch.path() / "made" / "for it";
    std::unique_ptr<FrameSink> sink = openPngSequence(folder, 0, error);
    ASSERT_TRUE(sink && sink->write(0, frame, error) && sink->write(1, frame, error)) << error;
    EXPECT_EQ(sink->discard(),
              "removed the 2 frames written so far and the folder " + folder.string() + ", which this export had made");
    EXPECT_TRUE(filesIn(scratch.path()).empty());

    sink = openPngSequence(scratch.path(), 0, error);
    ASSERT_TRUE(sink && sink->write(0, frame, error)) << error;
    EXPECT_EQ(sink->discard(), "removed the 1 frame written so far to " + scratch.path().string());
    EXPECT_EQ(sink->discard(), "");
    EXPECT_TRUE(filesIn(scratch.path()).empty());
}

TEST(FrameWriter, AVideoGetsEveryFrameInOrderFromOneThread)
{
    auto sink = std::make_unique<RecordingSink>();
    RecordingSink& recorded = *sink;
    FrameWriter writer(std::move(sink), 1, 4);
    EXPECT_EQ(writer.threadCount(), 1);
    ASSERT_EQ(submitFrames(writer, 10), 10);
    std::string error;
    ASSERT_TRUE(writer.finish(error)) << error;

    std::vector<std::uint8_t> frame(static_cast<std::size_t>(kTargetWidth) * kTargetHeight * 4);
    ASSERT_EQ(recorded.frames.size(), 10u);
    for (int i = 0; i < 10; ++i) {
        fillFrame(frame, i);
        EXPECT_EQ(recorded.frames[i], i);
        EXPECT_EQ(recorded.firstBytes[i], frame[0]) << "frame " << i;
    }
}
