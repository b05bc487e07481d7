// Feeds arbitrary bytes to the music decoder as the audio output would pull
// them: opened once, then read one device buffer at a time to the end.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "music/music_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string failure;
    const std::unique_ptr<MusicDecoder> decoder = MusicDecoder::open({data, data + size}, failure);
    if (!decoder) {
        return 0;
    }
    // A minute of music at most, so a small input that decodes to hours stays quick.
    constexpr int kBufferFrames = 1024;
    float stereo[2 * kBufferFrames];
    for (long frames = 0; frames < 60L * decoder->sampleRate();) {
        const int got = decoder->read(stereo, kBufferFrames);
        if (got < kBufferFrames) {
            break;
        }
        frames += got;
    }
    return 0;
}
