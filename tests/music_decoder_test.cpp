// The music as the show plays it: the decoder's answers to broken and hostile
// files, and the stream that hands decoded samples to an audio output.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <thread>

#include "music/music_decoder.h"
#include "music/music_stream.h"
#include "tests/test_support.h"

namespace {

std::vector<std::uint8_t> generatedTrack()
{
    std::ifstream file(showDataDirectory() / "quirn.ogg", std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// The identification header is the first packet: "\x01vorbis", version,
// channels, then the sample rate, little-endian.
std::size_t sampleRateOffset(const std::vector<std::uint8_t>& track)
{
    const std::string_view text(reinterpret_cast<const char*>(track.data()), track.size());
    return text.find("\x01vorbis") + 7 + 4 + 1;
}

void writeLittleEndian32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

class FakeOutput final : public AudioOutput {
public:
    explicit FakeOutput(AudioSource& source) : source(source) {}
    void start() override { started = true; }
    int latencyFrames() const override { return 1024; }

    AudioSource& source;
    bool started = false;
};

// A device that plays buffers at times it schedules on its own clock, as Web Audio does.
class ScheduledOutput final : public AudioOutput {
public:
    explicit ScheduledOutput(AudioSource& source) : source(source) {}
    void start() override {}
    int latencyFrames() const override { return 0; }
    std::chrono::steady_clock::time_point now() const override { return deviceNow; }
    std::chrono::steady_clock::time_point pullTime() const override { return bufferStart; }

    AudioSource& source;
    std::chrono::steady_clock::time_point deviceNow{};
    std::chrono::steady_clock::time_point bufferStart{};
};

}  // namespace

TEST(MusicDecoder, RefusesFilesThatAreNotOggVorbisSayingWhy)
{
    const std::string text = "this is not music";
    for (const auto& bytes : {std::vector<std::uint8_t>{}, std::vector<std::uint8_t>(text.begin(), text.end()),
                              std::vector<std::uint8_t>(4096, 0)}) {
        std::string failure;
        EXPECT_EQ(MusicDecoder::open(bytes, failure), nullptr);
        EXPECT_FALSE(failure.empty());
    }
}

TEST(MusicDecoder, RefusesTruncatedHeadersAndAbsurdSampleRates)
{
    if (!showDataExists()) {
        GTEST_SKIP() << "needs the generated data";
    }
    const std::vector<std::uint8_t> track = generatedTrack();
    std::string failure;
    EXPECT_EQ(MusicDecoder::open({track.begin(), track.begin() + 4096}, failure), nullptr);

    for (const std::uint32_t rate : {1u, 7999u, 192001u, 2147483647u, 4294967295u}) {
        std::vector<std::uint8_t> patched = track;
        writeLittleEndian32(patched, sampleRateOffset(track), rate);
        failure.clear();
        EXPECT_EQ(MusicDecoder::open(patched, failure), nullptr) << rate;
        EXPECT_NE(failure.find("sample rate"), std::string::npos) << failure;
    }
}

// The comment header follows the identification header: "\x03vorbis", the
// vendor string's length and text, then the number of comments.
TEST(MusicDecoder, RefusesACommentCountTheFileCannotHold)
{
    if (!showDataExists()) {
        GTEST_SKIP() << "needs the generated data";
    }
    std::vector<std::uint8_t> track = generatedTrack();
    const std::string_view text(reinterpret_cast<const char*>(track.data()), track.size());
    const std::size_t vendorLength = text.find("\x03vorbis") + 7;
    const std::uint32_t vendorBytes = track[vendorLength] | track[vendorLength + 1] << 8;
    writeLittleEndian32(track, vendorLength + 4 + vendorBytes, 0x7FFFFFFF);
    std::string failure;
    EXPECT_EQ(MusicDecoder::open(track, failure), nullptr);
    EXPECT_NE(failure.find("comment header"), std::string::npos) << failure;
}

TEST(MusicDecoder, DecodesTheGeneratedTrackToItsEnd)
{
    if (!showDataExists()) {
        GTEST_SKIP() << "needs the generated data";
    }
    std::string failure;
    const std::unique_ptr<MusicDecoder> decoder = MusicDecoder::open(generatedTrack(), failure);
    ASSERT_NE(decoder, nullptr) << failure;
    EXPECT_EQ(decoder->sampleRate(), 44100);
    std::vector<float> stereo(2 * 4096);
    long frames = 0;
    float loudest = 0;
    for (int got; (got = decoder->read(stereo.data(), 4096)) > 0;) {
        frames += got;
        for (int i = 0; i < 2 * got; ++i) {
            loudest = std::max(loudest, std::abs(stereo[i]));
        }
    }
    // The track runs past the show's last beat (400 beats = 160 s).
    EXPECT_GT(frames, 160L * 44100);
    EXPECT_GT(loudest, 0.1f);
    EXPECT_EQ(decoder->read(stereo.data(), 4096), 0);
}

TEST(MusicStream, HandsTheOutputDecodedSamplesAtTheShowsVolume)
{
    if (!showDataExists()) {
        GTEST_SKIP() << "needs the generated data";
    }
    FakeOutput* output = nullptr;
    int openedRate = 0;
    const std::unique_ptr<MusicStream> stream = MusicStream::open(
        (showDataDirectory() / "quirn.ogg").c_str(), [&](int sampleRate, AudioSource& source, std::string&) {
            openedRate = sampleRate;
            auto fake = std::make_unique<FakeOutput>(source);
            output = fake.get();
            return fake;
        });
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(openedRate, 44100);
    EXPECT_EQ(stream->positionSeconds(), 0.0f);
    stream->play();
    EXPECT_TRUE(output->started);

    std::string failure;
    const std::unique_ptr<MusicDecoder> reference = MusicDecoder::open(generatedTrack(), failure);
    std::vector<float> played(2 * 44100), decoded(2 * 44100);
    for (int second = 0; second < 3; ++second) {
        output->source.fill(played.data(), 44100);
        reference->read(decoded.data(), 44100);
    }
    for (std::size_t i = 0; i < played.size(); ++i) {
        ASSERT_FLOAT_EQ(played[i], decoded[i] * (192.0f / 255.0f)) << i;
    }
    EXPECT_GT(stream->positionSeconds(), 0.0f);
}

TEST(MusicStream, WithoutAnOutputTheWallClockRuns)
{
    if (!showDataExists()) {
        GTEST_SKIP() << "needs the generated data";
    }
    const std::unique_ptr<MusicStream> stream =
        MusicStream::open((showDataDirectory() / "quirn.ogg").c_str(), [](int, AudioSource&, std::string& failure) {
            failure = "no sound card";
            return std::unique_ptr<AudioOutput>();
        });
    stream->play();
    const float start = stream->positionSeconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_GE(stream->positionSeconds() - start, 0.04f);
}

// A mono stream of a quarter second at 8 kHz, then a stereo one, chained.
TEST(MusicDecoder, PlaysTheStreamsOfAChainedFileInTurnAsStereo)
{
    std::ifstream file(std::filesystem::path(KELPWAX_SOURCE_DIR) / "fuzz/corpus/music/chained-mono-then-stereo.ogg",
                       std::ios::binary);
    std::string failure;
    const std::unique_ptr<MusicDecoder> decoder =
        MusicDecoder::open({std::istreambuf_iterator<char>(file), {}}, failure);
    ASSERT_NE(decoder, nullptr) << failure;
    std::vector<float> stereo(2 * 8000);
    ASSERT_EQ(decoder->read(stereo.data(), 8000), 4000);
    float monoDifference = 0, stereoDifference = 0;
    for (int i = 0; i < 4000; ++i) {
        (i < 2000 ? monoDifference : stereoDifference) += std::abs(stereo[2 * i] - stereo[2 * i + 1]);
    }
    EXPECT_EQ(monoDifference, 0.0f);
    EXPECT_GT(stereoDifference, 1.0f);
}

TEST(MusicStream, AScheduledOutputsPositionFollowsItsOwnClockNotTheTimeOfThePull)
{
    if (!showDataExists()) {
        GTEST_SKIP() << "needs the generated data";
    }
    using namespace std::chrono_literals;
    ScheduledOutput* output = nullptr;
    const std::unique_ptr<MusicStream> stream =
        MusicStream::open((showDataDirectory() / "quirn.ogg").c_str(), [&](int, AudioSource& source, std::string&) {
            auto scheduled = std::make_unique<ScheduledOutput>(source);
            output = scheduled.get();
            return scheduled;
        });
    ASSERT_NE(output, nullptr);
    stream->play();
    // Two buffers of 4096 frames are pulled early, to play from device time 10 s on, back to back.
    const auto bufferDuration =
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(4096.0 / 44100));
    const std::chrono::steady_clock::time_point start{10s};
    std::vector<float> stereo(2 * 4096);
    output->deviceNow = start - 200ms;
    for (int buffer = 0; buffer < 2; ++buffer) {
        output->bufferStart = start + buffer * bufferDuration;
        output->source.fill(stereo.data(), 4096);
    }
    EXPECT_EQ(stream->positionSeconds(), 0.0f);
    output->deviceNow = start + 50ms;
    EXPECT_NEAR(stream->positionSeconds(), 0.050f, 1e-4);
    output->deviceNow = start + 120ms;
    EXPECT_NEAR(stream->positionSeconds(), 0.120f, 1e-4);
}
