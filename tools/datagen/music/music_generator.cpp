#include "music_generator.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "arrangement.h"
#include "mastering.h"
#include "mixer.h"
#include "ogg_vorbis.h"

namespace datagen {

namespace {

// The share of the whole job that one stage's own 0..1 progress covers.
std::function<void(float)> progressStage(const std::function<void(float)>& onProgress, float begin, float end)
{
    return [&onProgress, begin, end](float fraction) {
        if (onProgress)
            onProgress(begin + (end - begin) * fraction);
    };
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

bool writeMusic(const std::filesystem::path& oggPath, const std::function<void(float fraction)>& onProgress,
                std::string& error)
{
    using namespace music;
    // Fail before the long render when the file cannot be made.
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(oggPath.c_str(), "wb"));
    if (!file) {
        error = "cannot create " + oggPath.string() + ": " + std::strerror(errno);
        return false;
    }
    const Arrangement arrangement = composeTrack();
    StereoBuffer track = mixNotes(arrangement.notes, arrangement.lengthSamples, progressStage(onProgress, 0.0f, 0.5f));
    masterTrack(track, targetLoudnessLufs, limiterCeilingDbtp);
    if (onProgress)
        onProgress(0.65f);
    std::vector<std::uint8_t> bytes;
    if (!encodeOggVorbis(track, bytes, error, progressStage(onProgress, 0.65f, 0.93f)))
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    if (std::fclose(file.release()) != 0 || !written) {
        error = "cannot write " + oggPath.string() + ": " + std::strerror(errno);
        return false;
    }
    // The limiter works before encoding; make sure decoding did not push a peak over.
    DecodedAudio decoded;
    if (!decodeOggVorbisFile(oggPath, decoded, error))
        return false;
    const double decodedPeakDbfs = samplePeakDbfs(decoded.pcm);
    if (decodedPeakDbfs > decodedPeakLimitDbfs) {
        error = oggPath.string() + " peaks at " + std::to_string(decodedPeakDbfs) + " dBFS once decoded, above " +
                std::to_string(decodedPeakLimitDbfs) + " dBFS";
        return false;
    }
    if (onProgress)
        onProgress(1.0f);
    return true;
}

namespace music {

StereoBuffer renderExcerpt(int firstBeat, int beatCount)
{
    const std::int64_t begin = beatStartSample(firstBeat);
    const std::int64_t end = beatStartSample(firstBeat + beatCount);
    std::vector<Note> notes;
    for (Note note : composeTrack().notes) {
        if (note.startSample < begin || note.startSample >= end)
            continue;
        note.startSample -= begin;
        notes.push_back(note);
    }
    StereoBuffer excerpt = mixNotes(notes, end - begin, {});
    masterTrack(excerpt, targetLoudnessLufs, limiterCeilingDbtp);
    return excerpt;
}

}  // namespace music

}  // namespace datagen
