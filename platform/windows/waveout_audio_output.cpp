#include "platform/windows/waveout_audio_output.h"

#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

namespace {

constexpr int kBufferFrames = 1024;
// About 370 ms queued: under Wine on a machine whose cores are all busy the
// feeding thread is held up for 100 ms and more at a time, and a slow frame
// takes 60 ms of the cores it would run on. The clock knows when each buffer
// plays, so a longer queue costs no accuracy, only a later start.
constexpr int kBufferCount = 16;

std::int16_t toSample(float value)
{
    return static_cast<std::int16_t>(std::lround(std::clamp(value, -1.0f, 1.0f) * 32767.0f));
}

class WaveOutAudioOutput final : public AudioOutput {
public:
    WaveOutAudioOutput(HWAVEOUT device, HANDLE bufferDone, int sampleRate, AudioSource& source)
        : device_(device), bufferDone_(bufferDone), sampleRate_(sampleRate), source_(source), stereo_(2 * kBufferFrames)
    {
        for (int i = 0; i < kBufferCount; ++i) {
            samples_[i].resize(2 * kBufferFrames);
            headers_[i] = {};
            headers_[i].lpData = reinterpret_cast<LPSTR>(samples_[i].data());
            headers_[i].dwBufferLength = static_cast<DWORD>(samples_[i].size() * sizeof(std::int16_t));
            waveOutPrepareHeader(device_, &headers_[i], sizeof(WAVEHDR));
            headers_[i].dwFlags |= WHDR_DONE;  // free to fill
        }
    }

    ~WaveOutAudioOutput() override
    {
        stopping_ = true;
        SetEvent(bufferDone_);
        if (feeder_.joinable()) {
            feeder_.join();
        }
        waveOutReset(device_);
        for (WAVEHDR& header : headers_) {
            waveOutUnprepareHeader(device_, &header, sizeof(WAVEHDR));
        }
        waveOutClose(device_);
        CloseHandle(bufferDone_);
    }

    void start() override
    {
        feeder_ = std::thread([this] { feed(); });
    }

    // Each buffer says when it starts to play, after what is queued ahead of it.
    int latencyFrames() const override { return 0; }
    std::chrono::steady_clock::time_point pullTime() const override { return pullTime_; }

    // A device that goes away (unplugged, the default changed, its driver
    // gone) refuses new buffers, or stops handing them back: the play
    // position notices the latter, this the former.
    std::string failure() const override
    {
        const MMRESULT error = writeError_;
        if (error == MMSYSERR_NOERROR) {
            return {};
        }
        char text[MAXERRORLENGTH] = "";
        waveOutGetErrorTextA(error, text, sizeof text);
        return std::string("the audio device refused a buffer: ") + text;
    }

private:
    // Frames handed to the device and not yet played: from the device's play
    // position where it tells it in samples, else whole buffers not yet done.
    std::int64_t framesQueued() const
    {
        MMTIME time{};
        time.wType = TIME_SAMPLES;
        if (waveOutGetPosition(device_, &time, sizeof time) == MMSYSERR_NOERROR && time.wType == TIME_SAMPLES) {
            // The position is a 32-bit count that wraps after a day at 44100 Hz.
            const auto queued = static_cast<DWORD>(static_cast<DWORD>(framesWritten_) - time.u.sample);
            return std::min<std::int64_t>(queued, kBufferCount * kBufferFrames);
        }
        return kBufferFrames * std::count_if(headers_.begin(), headers_.end(),
                                             [](const WAVEHDR& header) { return !(header.dwFlags & WHDR_DONE); });
    }

    // Refills each buffer the device has finished with, then waits for the next one to finish.
    void feed()
    {
        // Ahead of the frame thread and the renderer's, so that drawing never holds the sound up.
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
        while (!stopping_) {
            for (int i = 0; i < kBufferCount; ++i) {
                if (headers_[i].dwFlags & WHDR_DONE) {
                    pullTime_ = std::chrono::steady_clock::now() +
                                std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                    std::chrono::duration<double>(static_cast<double>(framesQueued()) / sampleRate_));
                    source_.fill(stereo_.data(), kBufferFrames);
                    std::transform(stereo_.begin(), stereo_.end(), samples_[i].begin(), toSample);
                    headers_[i].dwFlags &= ~WHDR_DONE;
                    const MMRESULT result = waveOutWrite(device_, &headers_[i], sizeof(WAVEHDR));
                    if (result != MMSYSERR_NOERROR) {
                        writeError_ = result;
                        return;
                    }
                    framesWritten_ += kBufferFrames;
                }
            }
            WaitForSingleObject(bufferDone_, INFINITE);
        }
    }

    HWAVEOUT device_;
    HANDLE bufferDone_;
    int sampleRate_;
    AudioSource& source_;
    std::vector<float> stereo_;
    std::array<std::vector<std::int16_t>, kBufferCount> samples_;
    std::array<WAVEHDR, kBufferCount> headers_;
    std::atomic<bool> stopping_ = false;
    std::atomic<MMRESULT> writeError_ = MMSYSERR_NOERROR;
    std::int64_t framesWritten_ = 0;  // feeder thread only, as is pullTime_
    std::chrono::steady_clock::time_point pullTime_{};
    std::thread feeder_;
};

}  // namespace

std::unique_ptr<AudioOutput> openWaveOutAudioOutput(int sampleRate, AudioSource& source, std::string& failure)
{
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = static_cast<DWORD>(sampleRate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = format.nChannels * format.wBitsPerSample / 8;
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    // Signalled each time the device finishes a buffer.
    const HANDLE bufferDone = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HWAVEOUT device = nullptr;
    const MMRESULT result =
        waveOutOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(bufferDone), 0, CALLBACK_EVENT);
    if (result != MMSYSERR_NOERROR) {
        char text[MAXERRORLENGTH] = "";
        waveOutGetErrorTextA(result, text, sizeof text);
        failure = std::string("cannot open the default audio output: ") + text;
        CloseHandle(bufferDone);
        return nullptr;
    }
    return std::make_unique<WaveOutAudioOutput>(device, bufferDone, sampleRate, source);
}
