#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "music/beat_clock.h"
#include "tests/test_support.h"
#include "tools/capture/frame_range.h"

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

// Runs the capture tool in the show's working directory; its exit code, stderr in `errors`.
int runCapture(const std::vector<std::string>& arguments, const TemporaryDirectory& scratch, std::string& errors,
               const EnvironmentChanges& environment = {})
{
    std::vector<std::string> command = {captureProgram().string()};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const ChildProcess child =
        startProgram(command, environment, showWorkingDirectory(), scratch.path() / "capture-stderr.txt");
    const std::optional<int> exitCode = waitForExit(child, 300s);
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
