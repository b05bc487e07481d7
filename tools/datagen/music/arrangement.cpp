#include "arrangement.h"

#include <algorithm>
#include <array>
#include <span>

#include "dsp.h"

namespace datagen::music {

namespace {

constexpr int beatsPerBar = 4;
constexpr int stepsPerBar = beatsPerBar * stepsPerBeat;
constexpr int samplesPerBar = beatsPerBar * samplesPerBeat;
constexpr int barsPerPhrase = beatsPerPhrase / beatsPerBar;
constexpr int phraseCount = finalHitBeat / beatsPerPhrase;

// The bass's root and the pad's four voices. Every voicing keeps A3 and moves its other
// voices by a step at most, so the changes glide rather than jump.
struct Chord {
    int root;
    std::array<int, 4> voicing;
};
constexpr Chord dMinor9 = {38, {53, 57, 60, 64}};      // D2 | F3 A3 C4 E4
constexpr Chord bFlatMajor9 = {34, {53, 57, 60, 62}};  // Bb1 | F3 A3 C4 D4
constexpr Chord gMinor9 = {31, {53, 57, 58, 62}};      // G1 | F3 A3 Bb3 D4
constexpr Chord aMinor7 = {33, {55, 57, 60, 64}};      // A1 | G3 A3 C4 E4

// One chord per bar of a phrase.
using Progression = std::array<const Chord*, barsPerPhrase>;
constexpr Progression drone = {&dMinor9, &dMinor9, &dMinor9, &dMinor9};
constexpr Progression calm = {&dMinor9, &dMinor9, &bFlatMajor9, &gMinor9};
constexpr Progression rising = {&dMinor9, &bFlatMajor9, &gMinor9, &aMinor7};

enum class Drums { silent, hats, kickOnly, kickAndHats, full, peak };
enum class BassLine { noBass, held, offbeat, rolling };
enum class Lead { noLead, call, answer };

struct Phrase {
    const Progression* chords;
    Drums drums;
    BassLine bass;
    bool stabs;
    bool arp;
    Lead lead;
    bool pings;
    bool bubbles;
    bool crash;     // a cymbal on the first beat
    bool buildsUp;  // a riser and a clap roll into the next phrase
    float brightness;
};

using enum Drums;
using enum BassLine;
using enum Lead;

// clang-format off
constexpr std::array<Phrase, phraseCount> score = {{
  // chords  drums        bass     stabs  arp    lead    pings  bubbles crash builds bright     first beat
  {&drone,  silent,      noBass,  false, false, noLead, true,  true,  false, false, 0.10f},  //   0 backdrop fades in
  {&calm,   silent,      noBass,  true,  false, noLead, true,  false, false, false, 0.20f},  //  16
  {&calm,   hats,        held,    true,  false, noLead, false, true,  false, false, 0.30f},  //  32
  {&calm,   hats,        held,    true,  true,  noLead, false, false, false, false, 0.40f},  //  48
  {&calm,   hats,        held,    true,  true,  noLead, true,  false, false, true,  0.55f},  //  64
  {&calm,   full,        offbeat, true,  false, noLead, false, false, true,  false, 0.50f},  //  80 the record
  {&calm,   full,        offbeat, true,  false, noLead, false, true,  false, false, 0.55f},  //  96
  {&calm,   full,        offbeat, true,  true,  noLead, false, false, false, false, 0.60f},  // 112
  {&calm,   full,        offbeat, true,  true,  noLead, false, false, false, true,  0.65f},  // 128
  {&rising, full,        rolling, true,  true,  noLead, true,  false, true,  false, 0.60f},  // 144 the submarine
  {&rising, full,        rolling, true,  true,  noLead, true,  true,  false, false, 0.65f},  // 160
  {&rising, full,        rolling, true,  true,  noLead, true,  false, false, false, 0.70f},  // 176
  {&rising, full,        rolling, true,  true,  noLead, true,  true,  false, true,  0.75f},  // 192
  {&rising, peak,        rolling, true,  true,  call,   false, false, true,  false, 0.90f},  // 208 the cubes
  {&rising, peak,        rolling, true,  true,  answer, false, false, false, false, 0.95f},  // 224
  {&rising, peak,        rolling, true,  true,  call,   false, false, false, false, 1.00f},  // 240
  {&rising, peak,        rolling, true,  true,  answer, false, false, false, true,  1.00f},  // 256
  {&rising, peak,        rolling, true,  false, call,   false, true,  true,  false, 0.95f},  // 272
  {&rising, peak,        rolling, true,  true,  answer, false, false, false, false, 0.90f},  // 288
  {&calm,   full,        rolling, true,  true,  noLead, true,  false, true,  false, 0.75f},  // 304 build-down
  {&calm,   full,        offbeat, true,  false, noLead, false, true,  false, false, 0.65f},  // 320
  {&calm,   kickAndHats, offbeat, true,  false, noLead, true,  false, false, false, 0.55f},  // 336
  {&calm,   kickAndHats, held,    true,  false, noLead, false, true,  false, false, 0.45f},  // 352
  {&calm,   kickOnly,    held,    true,  false, noLead, true,  false, false, false, 0.35f},  // 368
  {&calm,   kickOnly,    noBass,  true,  false, noLead, true,  true,  false, false, 0.25f},  // 384
}};
// clang-format on

constexpr const Phrase& phraseAt(int beat)
{
    return score[static_cast<std::size_t>(beat / beatsPerPhrase)];
}
static_assert(phraseAt(vinylBeat - 1).drums == hats && phraseAt(vinylBeat).drums == full,
              "the full beat comes in with the record");
static_assert(phraseAt(submarineBeat).pings && phraseAt(submarineBeat).bass == rolling,
              "sonar and the rolling bass come in with the submarine");
static_assert(phraseAt(cubesBeat - 1).drums == full && phraseAt(cubesBeat).drums == peak,
              "the peak comes in with the cubes");
static_assert(phraseAt(buildDownBeat - 1).drums == peak && phraseAt(buildDownBeat).drums == full,
              "the build-down starts after the peak");

bool hasKick(Drums drums)
{
    return drums == kickOnly || drums == kickAndHats || drums == full || drums == peak;
}
bool hasClap(Drums drums)
{
    return drums == full || drums == peak;
}

// A phrase's brightness glides towards the next phrase's over its 16 beats.
float brightnessAt(std::int64_t sample)
{
    const double phrasePosition = static_cast<double>(sample) / (beatsPerPhrase * samplesPerBeat);
    const int phrase = std::min(static_cast<int>(phrasePosition), phraseCount - 1);
    const int next = std::min(phrase + 1, phraseCount - 1);
    const float fraction = static_cast<float>(std::min(phrasePosition - phrase, 1.0));
    return score[phrase].brightness + (score[next].brightness - score[phrase].brightness) * fraction;
}

std::int64_t stepStartSample(int beat, int step)
{
    return beatStartSample(beat) + std::int64_t{step} * samplesPerStep;
}

// A melody note, on a step counted from the phrase's first beat.
struct MelodyNote {
    int step;
    int lengthSteps;
    int pitch;
};
using Melody = std::array<MelodyNote, 13>;
// Over the rising progression: the call falls from A5 and hangs on E5; the answer
// starts an octave above the tonic and comes home to A5.
constexpr Melody callMelody = {{{0, 6, 81},
                                {6, 2, 79},
                                {8, 4, 77},
                                {12, 4, 76},
                                {16, 6, 74},
                                {22, 2, 77},
                                {24, 8, 81},
                                {32, 6, 82},
                                {38, 2, 81},
                                {40, 4, 79},
                                {44, 4, 74},
                                {48, 12, 76},
                                {60, 4, 72}}};
constexpr Melody answerMelody = {{{0, 4, 86},
                                  {4, 4, 84},
                                  {8, 6, 81},
                                  {14, 2, 79},
                                  {16, 6, 77},
                                  {22, 2, 79},
                                  {24, 8, 81},
                                  {32, 4, 82},
                                  {36, 4, 81},
                                  {40, 4, 79},
                                  {44, 4, 77},
                                  {48, 8, 76},
                                  {56, 8, 81}}};

class Composer {
public:
    Arrangement compose()
    {
        addPads();
        for (int phrase = 0; phrase < phraseCount; ++phrase)
            addPhrase(phrase * beatsPerPhrase, score[phrase]);
        addFinalHit();
        std::stable_sort(notes_.begin(), notes_.end(),
                         [](const Note& a, const Note& b) { return a.startSample < b.startSample; });
        return {std::move(notes_), beatStartSample(finalHitBeat) + secondsToSamples(endingTailSeconds)};
    }

private:
    void add(Instrument instrument, std::int64_t start, int gateSamples, int pitch, float velocity, float pan)
    {
        notes_.push_back({instrument, start, gateSamples, pitch, velocity, pan, brightnessAt(start)});
    }

    // Chords held over consecutive bars become one long pad note, so nothing re-attacks
    // on a bar line when the harmony stays.
    void addPads()
    {
        const int barCount = phraseCount * barsPerPhrase;
        for (int runStart = 0; runStart < barCount;) {
            const Chord* chord = chordOfBar(runStart);
            int runEnd = runStart + 1;
            while (runEnd < barCount && chordOfBar(runEnd) == chord)
                ++runEnd;
            const std::int64_t start = std::int64_t{runStart} * samplesPerBar;
            for (int pitch : chord->voicing) {
                add(Instrument::pad, start, (runEnd - runStart) * samplesPerBar, pitch, 0.8f, 0.0f);
                // The first chord swells in with the backdrop, over eight beats.
                if (runStart == 0)
                    notes_.back().attackSeconds = 8 * samplesPerBeat / static_cast<float>(sampleRate);
            }
            runStart = runEnd;
        }
    }

    static const Chord* chordOfBar(int bar)
    {
        return (*score[static_cast<std::size_t>(bar / barsPerPhrase)]
                     .chords)[static_cast<std::size_t>(bar % barsPerPhrase)];
    }

    void addPhrase(int firstBeat, const Phrase& phrase)
    {
        addDrums(firstBeat, phrase);
        for (int bar = 0; bar < barsPerPhrase; ++bar) {
            const int barBeat = firstBeat + bar * beatsPerBar;
            const Chord& chord = *(*phrase.chords)[static_cast<std::size_t>(bar)];
            addBass(barBeat, phrase.bass, chord);
            if (phrase.stabs)
                addStabs(barBeat, phrase.drums == peak, chord);
            if (phrase.arp)
                addArpeggio(barBeat, chord);
        }
        if (phrase.lead == call)
            addMelody(firstBeat, callMelody);
        if (phrase.lead == answer)
            addMelody(firstBeat, answerMelody);
        if (phrase.pings)
            addPings(firstBeat);
        if (phrase.bubbles)
            addBubbles(firstBeat);
        if (phrase.crash)
            add(Instrument::crash, beatStartSample(firstBeat), samplesPerBeat, 0, 0.7f, 0.0f);
        if (phrase.buildsUp)
            addBuildUp(firstBeat);
    }

    void addDrums(int firstBeat, const Phrase& phrase)
    {
        for (int beat = firstBeat; beat < firstBeat + beatsPerPhrase; ++beat) {
            if (hasKick(phrase.drums))
                add(Instrument::kick, beatStartSample(beat), samplesPerStep, 0, 1.0f, 0.0f);
            const bool inClapRoll = phrase.buildsUp && beat >= firstBeat + beatsPerPhrase - beatsPerBar;
            if (hasClap(phrase.drums) && beat % 2 == 1 && !inClapRoll) {
                add(Instrument::clap, beatStartSample(beat), samplesPerStep, 0, 0.85f, 0.0f);
            }
            addHats(beat, phrase.drums);
        }
    }

    void addHats(int beat, Drums drums)
    {
        const auto hat = [&](Instrument instrument, int step, float velocity, float pan) {
            add(instrument, stepStartSample(beat, step), samplesPerStep, 0, velocity, pan);
        };
        switch (drums) {
        case hats: hat(Instrument::closedHat, 2, 0.45f, 0.2f); break;
        case kickAndHats:
        case full:
            hat(Instrument::closedHat, 1, 0.3f, -0.15f);
            hat(Instrument::closedHat, 2, 0.75f, 0.2f);
            hat(Instrument::closedHat, 3, 0.3f, -0.15f);
            break;
        case peak:
            hat(Instrument::closedHat, 0, 0.4f, -0.15f);
            hat(Instrument::closedHat, 1, 0.3f, -0.15f);
            hat(Instrument::openHat, 2, 0.55f, 0.25f);
            hat(Instrument::closedHat, 3, 0.45f, -0.15f);
            break;
        case silent:
        case kickOnly: break;
        }
    }

    void addBass(int barBeat, BassLine line, const Chord& chord)
    {
        const auto bass = [&](int beat, int step, int gateSamples, int pitch, float velocity) {
            add(Instrument::bass, stepStartSample(beat, step), gateSamples, pitch, velocity, 0.0f);
        };
        if (line == held)
            bass(barBeat, 0, samplesPerBar - samplesPerStep, chord.root, 0.55f);
        for (int beat = barBeat; beat < barBeat + beatsPerBar; ++beat) {
            if (line == offbeat)
                bass(beat, 2, samplesPerStep * 3 / 2, chord.root, 0.9f);
            if (line == rolling) {
                // Root, root, octave on the three sixteenths after each kick.
                bass(beat, 1, samplesPerStep * 4 / 5, chord.root, 0.75f);
                bass(beat, 2, samplesPerStep * 4 / 5, chord.root, 0.9f);
                bass(beat, 3, samplesPerStep * 4 / 5, chord.root + 12, 0.7f);
            }
        }
    }

    // Off-beat chord stabs; the echo turns each into a dotted-eighth trail.
    void addStabs(int barBeat, bool busy, const Chord& chord)
    {
        static constexpr std::array<int, 2> calmSteps = {2, 10};
        static constexpr std::array<int, 3> busySteps = {2, 7, 10};
        for (int step : busy ? std::span<const int>(busySteps) : std::span<const int>(calmSteps)) {
            for (int pitch : chord.voicing) {
                add(Instrument::stab, stepStartSample(barBeat, step), samplesPerStep * 3 / 2, pitch, 0.6f, 0.0f);
            }
        }
    }

    // Sixteenths up and down the chord an octave above the pad, swinging left and right;
    // tone 4 is the lowest voice an octave higher.
    void addArpeggio(int barBeat, const Chord& chord)
    {
        constexpr std::array<int, 8> pattern = {0, 1, 2, 3, 4, 3, 2, 1};
        for (int step = 0; step < stepsPerBar; ++step) {
            const int index = pattern[static_cast<std::size_t>(step % 8)];
            const int pitch = 12 + (index < 4 ? chord.voicing[static_cast<std::size_t>(index)] : chord.voicing[0] + 12);
            const float velocity = step % stepsPerBeat == 0 ? 0.85f : 0.55f;
            add(Instrument::arp, stepStartSample(barBeat, step), samplesPerStep * 7 / 10, pitch, velocity,
                step % 2 == 0 ? -0.45f : 0.45f);
        }
    }

    // Each note lets go a quarter step early so the next one strikes afresh.
    void addMelody(int firstBeat, const Melody& melody)
    {
        for (const MelodyNote& note : melody) {
            add(Instrument::lead, stepStartSample(firstBeat, note.step),
                note.lengthSteps * samplesPerStep - samplesPerStep / 4, note.pitch, 0.75f, 0.0f);
        }
    }

    // The sonar: a ping on the phrase's first beat and a fainter one half a phrase later.
    void addPings(int firstBeat)
    {
        add(Instrument::ping, beatStartSample(firstBeat), samplesPerBeat, 81, 0.7f, 0.3f);
        add(Instrument::ping, beatStartSample(firstBeat + beatsPerPhrase / 2), samplesPerBeat, 81, 0.45f, -0.3f);
    }

    // Three clusters of rising bubbles at places drawn from a generator seeded by the
    // phrase, so any excerpt of the track has the same bubbles as the whole.
    void addBubbles(int firstBeat)
    {
        constexpr std::array<int, 7> scale = {74, 76, 77, 79, 81, 82, 84};
        Rng random(static_cast<std::uint32_t>(firstBeat) * 7919u + 17u);
        for (int cluster = 0; cluster < 3; ++cluster) {
            std::int64_t start =
                stepStartSample(firstBeat, static_cast<int>(random.unit() * (beatsPerPhrase - 1) * stepsPerBeat));
            const int bubbleCount = 4 + static_cast<int>(random.unit() * 5.0f);
            for (int bubble = 0; bubble < bubbleCount; ++bubble) {
                const int pitch =
                    scale[static_cast<std::size_t>(random.unit() * scale.size())] + (random.unit() < 0.3f ? 12 : 0);
                add(Instrument::bubble, start, samplesPerStep, pitch, random.range(0.15f, 0.35f),
                    random.range(-0.7f, 0.7f));
                start += secondsToSamples(random.range(0.02f, 0.09f));
            }
        }
    }

    // A riser over the phrase's last eight beats and a clap roll, eighths then
    // sixteenths, over its last four.
    void addBuildUp(int firstBeat)
    {
        const int riserBeat = firstBeat + beatsPerPhrase / 2;
        add(Instrument::riser, beatStartSample(riserBeat), (beatsPerPhrase / 2) * samplesPerBeat, 0, 0.5f, 0.0f);
        const int rollBeat = firstBeat + beatsPerPhrase - beatsPerBar;
        for (int step = 0; step < beatsPerBar * stepsPerBeat; ++step) {
            const bool sixteenths = step >= 2 * stepsPerBeat;
            if (!sixteenths && step % 2 == 1)
                continue;
            const float velocity = 0.3f + 0.6f * static_cast<float>(step) / (beatsPerBar * stepsPerBeat);
            add(Instrument::clap, stepStartSample(rollBeat, step), samplesPerStep, 0, velocity, 0.0f);
        }
    }

    // Kick, cymbal, a long tonic in the bass and the pad, one last stab for the echo to
    // carry, and the sonar fading into the tail.
    void addFinalHit()
    {
        const std::int64_t start = beatStartSample(finalHitBeat);
        add(Instrument::kick, start, samplesPerStep, 0, 1.0f, 0.0f);
        add(Instrument::crash, start, samplesPerBeat, 0, 0.8f, 0.0f);
        add(Instrument::bass, start, 2 * samplesPerBeat, dMinor9.root, 0.9f, 0.0f);
        for (int pitch : dMinor9.voicing) {
            add(Instrument::pad, start, 3 * samplesPerBeat, pitch, 0.8f, 0.0f);
            add(Instrument::stab, start, samplesPerStep * 3 / 2, pitch, 0.6f, 0.0f);
        }
        add(Instrument::ping, start, samplesPerBeat, 81, 0.6f, 0.0f);
    }

    std::vector<Note> notes_;
};

}  // namespace

bool isInKey(int midiNote)
{
    constexpr std::array<bool, 12> dMinorPitchClasses = {true,  false, true,  false, true, true,
                                                         false, true,  false, true,  true, false};
    return dMinorPitchClasses[static_cast<std::size_t>(midiNote % 12)];
}

Arrangement composeTrack()
{
    return Composer().compose();
}

}  // namespace datagen::music
