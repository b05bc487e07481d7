// The music generator, checked on its score and on short renders: the beat grid, the
// form and key, the voices' edges, the meters, and the Ogg stream and its determinism.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <set>

#include "arrangement.h"
#include "dsp.h"
#include "instruments.h"
#include "mastering.h"
#include "mixer.h"
#include "music_generator.h"
#include "ogg_vorbis.h"

namespace datagen::music {
namespace {

constexpr int samplesIn2Ms = sampleRate / 500;

bool isPitched(Instrument instrument)
{
    switch (instrument) {
    case Instrument::bubble:
    case Instrument::bass:
    case Instrument::pad:
    case Instrument::stab:
    case Instrument::arp:
    case Instrument::lead:
    case Instrument::ping: return true;
    default: return false;
    }
}

// Where the kick near `beatStart` begins: the first sample at which the low band (below
// about 1 kHz) climbs a quarter of the way from its level just before the beat to the
// kick's crest. The filter's first 4 ms, while it settles, are left out.
std::int64_t kickOnsetSample(const StereoBuffer& audio, std::int64_t beatStart)
{
    const float smoothing = 1.0f - std::exp(-static_cast<float>(twoPi) * 1000.0f / sampleRate);
    const std::int64_t from = beatStart - sampleRate / 100;
    const std::int64_t to = beatStart + sampleRate / 30;
    std::vector<float> lowBand;
    float state = 0.0f;
    for (std::int64_t i = from; i < to; ++i) {
        state += smoothing * (0.5f * (audio.left[i] + audio.right[i]) - state);
        lowBand.push_back(std::abs(state));
    }
    const auto beatOffset = static_cast<std::size_t>(beatStart - from);
    const std::size_t quietEnd = beatOffset - samplesIn2Ms;
    const float before = *std::max_element(lowBand.begin() + 2 * samplesIn2Ms, lowBand.begin() + quietEnd);
    const float crest = *std::max_element(lowBand.begin() + quietEnd, lowBand.end());
    const float threshold = before + 0.25f * (crest - before);
    const auto onset = std::find_if(lowBand.begin() + quietEnd, lowBand.end(), [&](float v) { return v >= threshold; });
    return from + (onset - lowBand.begin());
}

std::vector<std::uint8_t> encodeExcerpt(int firstBeat, int beatCount)
{
    std::vector<std::uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(encodeOggVorbis(renderExcerpt(firstBeat, beatCount), bytes, error, {})) << error;
    return bytes;
}

TEST(MusicArrangement, KicksLandOnEveryBeatFromTheRecordToTheFinalHit)
{
    std::vector<std::int64_t> kicks;
    for (const Note& note : composeTrack().notes) {
        if (note.instrument == Instrument::kick)
            kicks.push_back(note.startSample);
    }
    std::vector<std::int64_t> everyBeat;
    for (int beat = vinylBeat; beat <= finalHitBeat; ++beat)
        everyBeat.push_back(std::int64_t{beat} * 17640);
    EXPECT_EQ(kicks, everyBeat);
}

TEST(MusicArrangement, TrackRingsOnPastTheFinalHitAndEveryNoteEndsInsideIt)
{
    const Arrangement arrangement = composeTrack();
    EXPECT_GE(arrangement.lengthSamples, 162 * sampleRate);
    EXPECT_LE(arrangement.lengthSamples, 164 * sampleRate);
    std::int64_t lastStart = 0;
    for (const Note& note : arrangement.notes) {
        lastStart = std::max(lastStart, note.startSample);
        EXPECT_LE(note.startSample + noteLengthSamples(note), arrangement.lengthSamples)
            << "instrument " << static_cast<int>(note.instrument) << " at sample " << note.startSample;
    }
    EXPECT_EQ(lastStart, std::int64_t{160} * sampleRate);
}

TEST(MusicArrangement, ACymbalMarksEachSceneAndTheFinalHit)
{
    std::vector<std::int64_t> crashes;
    for (const Note& note : composeTrack().notes) {
        if (note.instrument == Instrument::crash)
            crashes.push_back(note.startSample);
    }
    for (int beat : {vinylBeat, submarineBeat, cubesBeat, buildDownBeat, finalHitBeat}) {
        EXPECT_NE(std::find(crashes.begin(), crashes.end(), beatStartSample(beat)), crashes.end()) << "beat " << beat;
    }
}

TEST(MusicArrangement, EveryPitchIsInDMinor)
{
    std::set<int> pitchClasses;
    for (const Note& note : composeTrack().notes) {
        if (isPitched(note.instrument)) {
            EXPECT_TRUE(isInKey(note.pitch)) << "pitch " << note.pitch << " at sample " << note.startSample;
            pitchClasses.insert(note.pitch % 12);
        }
    }
    EXPECT_EQ(pitchClasses, (std::set<int>{0, 2, 4, 5, 7, 9, 10}));
    EXPECT_FALSE(isInKey(61));  // C sharp
    EXPECT_FALSE(isInKey(66));  // F sharp
}

TEST(MusicInstruments, EveryVoiceFadesInAndOutWithoutAStep)
{
    StereoBuffer voice;
    for (int index = 0; index < instrumentCount; ++index) {
        const auto instrument = static_cast<Instrument>(index);
        SCOPED_TRACE(index);
        renderNote({instrument, 0, 17640, 62, 1.0f}, voice);
        ASSERT_EQ(voice.size(), static_cast<std::size_t>(noteLengthSamples({instrument, 0, 17640, 62})));
        const float peak = std::pow(10.0f, static_cast<float>(samplePeakDbfs(voice)) / 20.0f);
        EXPECT_GT(peak, 0.05f);
        // Drums may start with a hit; pitched voices rise from silence.
        if (isPitched(instrument)) {
            EXPECT_LT(std::abs(voice.left[0]) + std::abs(voice.right[0]), 0.02f * peak);
        }
        const std::size_t tail = voice.size() - samplesIn2Ms;
        for (std::size_t i = tail; i < voice.size(); ++i) {
            ASSERT_LT(std::abs(voice.left[i]) + std::abs(voice.right[i]), 0.004f * peak) << "sample " << i;
        }
    }
}

TEST(MusicMixer, EchoRepeatsADottedEighthLaterOnTheLeftThenAgainOnTheRight)
{
    const Note stab = {Instrument::stab, 0, 4410, 62, 1.0f};
    const StereoBuffer mix = mixNotes({stab}, 2 * sampleRate, {});
    // Energy over 50 ms from the given time.
    const auto energy = [&](const std::vector<float>& channel, double fromSeconds) {
        double sum = 0.0;
        const auto from = static_cast<std::size_t>(fromSeconds * sampleRate);
        for (std::size_t i = from; i < from + sampleRate / 20; ++i)
            sum += double{channel[i]} * channel[i];
        return sum;
    };
    EXPECT_GT(energy(mix.left, 0.3), 4.0 * energy(mix.left, 0.25));
    EXPECT_GT(energy(mix.left, 0.3), 4.0 * energy(mix.right, 0.3));
    EXPECT_GT(energy(mix.right, 0.6), 4.0 * energy(mix.left, 0.6));
}

TEST(MusicMastering, MetersReadCalibrationSines)
{
    // A 1 kHz sine at -20 dBFS in both channels reads -20 LUFS.
    StereoBuffer tone(5 * sampleRate);
    for (std::size_t i = 0; i < tone.size(); ++i) {
        tone.left[i] = tone.right[i] = 0.1f * static_cast<float>(std::sin(twoPi * 1000.0 * i / sampleRate));
    }
    EXPECT_NEAR(integratedLoudnessLufs(tone), -20.0, 0.1);
    EXPECT_EQ(integratedLoudnessLufs(StereoBuffer(sampleRate)), -std::numeric_limits<double>::infinity());
    // The gates leave out silence: a pause after the tone barely lowers its loudness (the
    // blocks across the tone's end still count), where an ungated mean would fall 4.8 dB.
    StereoBuffer toneThenSilence = tone;
    toneThenSilence.left.resize(3 * tone.size());
    toneThenSilence.right.resize(3 * tone.size());
    EXPECT_NEAR(integratedLoudnessLufs(toneThenSilence), -20.0, 0.25);
    // A sine at a quarter of the sample rate sampled 45 degrees off its crests: its
    // samples sit 3 dB below its true peak.
    for (std::size_t i = 0; i < tone.size(); ++i) {
        tone.left[i] = tone.right[i] = 0.5f * static_cast<float>(std::sin(twoPi / 4 * (i + 0.5)));
    }
    EXPECT_NEAR(samplePeakDbfs(tone), -9.03, 0.01);
    EXPECT_NEAR(truePeakDbtp(tone), -6.02, 0.15);
}

TEST(MusicMastering, LimiterHoldsTheCeilingWhenTheLoudnessTargetPushesPeaksPastIt)
{
    StereoBuffer excerpt = renderExcerpt(cubesBeat, 8);
    masterTrack(excerpt, -9.0, -2.0);
    EXPECT_NEAR(integratedLoudnessLufs(excerpt), -9.0, 0.1);
    EXPECT_LE(truePeakDbtp(excerpt), -1.9);
}

TEST(MusicOggVorbis, ExcerptDecodesAsStereo44100WithKicksOnTheGridAndRoomAtTheTop)
{
    // Eight beats of the peak, the busiest part of the track.
    const std::filesystem::path path = std::filesystem::path(testing::TempDir()) / "music_test_excerpt.ogg";
    const std::vector<std::uint8_t> bytes = encodeExcerpt(cubesBeat, 8);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    DecodedAudio decoded;
    std::string error;
    ASSERT_TRUE(decodeOggVorbisFile(path, decoded, error)) << error;
    EXPECT_EQ(decoded.sampleRate, 44100);
    EXPECT_EQ(decoded.channelCount, 2);
    ASSERT_EQ(decoded.pcm.size(), std::size_t{8 * 17640});
    EXPECT_LE(samplePeakDbfs(decoded.pcm), -1.0);
    EXPECT_NEAR(integratedLoudnessLufs(decoded.pcm), -14.0, 0.5);
    for (int beat = 1; beat < 8; ++beat) {
        const std::int64_t beatStart = std::int64_t{beat} * 17640;
        EXPECT_NEAR(kickOnsetSample(decoded.pcm, beatStart), beatStart, samplesIn2Ms) << "beat " << beat;
    }
    std::filesystem::remove(path);
}

TEST(MusicOggVorbis, SameSourcesGiveTheSameBytes)
{
    const std::vector<std::uint8_t> first = encodeExcerpt(submarineBeat, 4);
    EXPECT_GT(first.size(), 1000u);
    EXPECT_EQ(first, encodeExcerpt(submarineBeat, 4));
}

TEST(MusicGenerator, WriteMusicFailsAtOnceOnAnUncreatableFile)
{
    const std::filesystem::path path = std::filesystem::path(testing::TempDir()) / "no-such-directory" / "quirn.ogg";
    std::string error;
    EXPECT_FALSE(writeMusic(path, {}, error));
    EXPECT_NE(error.find("no-such-directory"), std::string::npos) << error;
}

}  // namespace
}  // namespace datagen::music
