#include "ogg_vorbis.h"

#include <vorbis/vorbisenc.h>

// The header's unused static callback tables would only raise warnings here.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <algorithm>

namespace datagen::music {

namespace {

constexpr float vorbisQuality = 0.52f;          // about 160 kbit/s on the show's track
constexpr int streamSerialNumber = 0x6b656c70;  // any fixed number; "kelp"
constexpr std::size_t chunkSamples = 4096;

class VorbisEncoder {
public:
    explicit VorbisEncoder(std::vector<std::uint8_t>& bytes) : bytes_(bytes)
    {
        vorbis_info_init(&info_);
        vorbis_comment_init(&comment_);
    }
    ~VorbisEncoder()
    {
        if (started_) {
            ogg_stream_clear(&stream_);
            vorbis_block_clear(&block_);
            vorbis_dsp_clear(&dsp_);
        }
        vorbis_comment_clear(&comment_);
        vorbis_info_clear(&info_);
    }
    VorbisEncoder(const VorbisEncoder&) = delete;
    VorbisEncoder& operator=(const VorbisEncoder&) = delete;

    bool start(std::string& error)
    {
        if (vorbis_encode_init_vbr(&info_, 2, sampleRate, vorbisQuality) != 0) {
            error = "the Vorbis encoder rejected 44100 Hz stereo at quality " + std::to_string(vorbisQuality);
            return false;
        }
        vorbis_comment_add_tag(&comment_, "TITLE", "quirn");
        vorbis_analysis_init(&dsp_, &info_);
        vorbis_block_init(&dsp_, &block_);
        ogg_stream_init(&stream_, streamSerialNumber);
        started_ = true;
        ogg_packet identification;
        ogg_packet comments;
        ogg_packet codebooks;
        vorbis_analysis_headerout(&dsp_, &comment_, &identification, &comments, &codebooks);
        ogg_stream_packetin(&stream_, &identification);
        ogg_stream_packetin(&stream_, &comments);
        ogg_stream_packetin(&stream_, &codebooks);
        // The audio starts on a page of its own, as decoders expect.
        appendPages(ogg_stream_flush);
        return true;
    }

    void write(const float* left, const float* right, std::size_t count)
    {
        float** buffer = vorbis_analysis_buffer(&dsp_, static_cast<int>(count));
        std::copy(left, left + count, buffer[0]);
        std::copy(right, right + count, buffer[1]);
        vorbis_analysis_wrote(&dsp_, static_cast<int>(count));
        encodeBlocks();
    }

    void finish()
    {
        vorbis_analysis_wrote(&dsp_, 0);
        encodeBlocks();
        appendPages(ogg_stream_flush);
    }

private:
    void encodeBlocks()
    {
        while (vorbis_analysis_blockout(&dsp_, &block_) == 1) {
            vorbis_analysis(&block_, nullptr);
            vorbis_bitrate_addblock(&block_);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp_, &packet) == 1) {
                ogg_stream_packetin(&stream_, &packet);
                appendPages(ogg_stream_pageout);
            }
        }
    }

    void appendPages(int (*takePage)(ogg_stream_state*, ogg_page*))
    {
        ogg_page page;
        while (takePage(&stream_, &page) != 0) {
            bytes_.insert(bytes_.end(), page.header, page.header + page.header_len);
            bytes_.insert(bytes_.end(), page.body, page.body + page.body_len);
        }
    }

    std::vector<std::uint8_t>& bytes_;
    vorbis_info info_;
    vorbis_comment comment_;
    vorbis_dsp_state dsp_;
    vorbis_block block_;
    ogg_stream_state stream_;
    bool started_ = false;
};

}  // namespace

bool encodeOggVorbis(const StereoBuffer& pcm, std::vector<std::uint8_t>& bytes, std::string& error,
                     const std::function<void(float fraction)>& onProgress)
{
    bytes.clear();
    VorbisEncoder encoder(bytes);
    if (!encoder.start(error))
        return false;
    for (std::size_t start = 0; start < pcm.size(); start += chunkSamples) {
        encoder.write(&pcm.left[start], &pcm.right[start], std::min(chunkSamples, pcm.size() - start));
        if (onProgress && start % (64 * chunkSamples) == 0) {
            onProgress(static_cast<float>(start) / static_cast<float>(pcm.size()));
        }
    }
    encoder.finish();
    if (onProgress)
        onProgress(1.0f);
    return true;
}

bool decodeOggVorbisFile(const std::filesystem::path& path, DecodedAudio& decoded, std::string& error)
{
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0) {
        error = "cannot decode " + path.string() + ": unreadable or not Ogg Vorbis";
        return false;
    }
    const vorbis_info* info = ov_info(&file, -1);
    decoded.sampleRate = static_cast<int>(info->rate);
    decoded.channelCount = info->channels;
    decoded.pcm = StereoBuffer();
    const int rightChannel = std::min(1, info->channels - 1);
    for (;;) {
        float** channels = nullptr;
        int section = 0;
        const long count = ov_read_float(&file, &channels, static_cast<int>(chunkSamples), &section);
        if (count == 0)
            break;
        if (count < 0) {
            ov_clear(&file);
            error = "corrupt Ogg Vorbis data in " + path.string();
            return false;
        }
        decoded.pcm.left.insert(decoded.pcm.left.end(), channels[0], channels[0] + count);
        decoded.pcm.right.insert(decoded.pcm.right.end(), channels[rightChannel], channels[rightChannel] + count);
    }
    ov_clear(&file);
    return true;
}

}  // namespace datagen::music
