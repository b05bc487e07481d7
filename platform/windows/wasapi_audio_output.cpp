#include "platform/windows/wasapi_audio_output.h"

#include "platform/windows/com_object.h"

#include <windows.h>

#include <audioclient.h>
#include <mmdeviceapi.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace {

constexpr int kChunkFrames = 1024;
// About 370 ms queued: under Wine on a machine whose cores are all busy the
// feeding thread is held up for 100 ms and more at a time, and a slow frame
// takes 60 ms of the cores it would run on. The clock knows when each chunk
// plays, so a longer queue costs no accuracy, only a later start.
constexpr REFERENCE_TIME kQueueDuration = 3'700'000;  // in 100 ns units
// How often the feeder looks for room; far shorter than a chunk.
constexpr DWORD kFeedIntervalMs = 5;

std::string describe(HRESULT result)
{
    switch (result) {
    case AUDCLNT_E_DEVICE_INVALIDATED: return "the device was removed, or its sound server ended";
    case AUDCLNT_E_SERVICE_NOT_RUNNING: return "the Windows audio service is not running";
    case static_cast<HRESULT>(0x80070490):  // HRESULT_FROM_WIN32(ERROR_NOT_FOUND)
        return "there is no audio output device";
    default: return hresultText(result);
    }
}

// IAudioClock stamps its positions in 100 ns units of the performance counter.
constexpr std::int64_t kStampUnitsPerSecond = 10'000'000;

std::int64_t performanceCounterNow()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    // In whole seconds and the rest, so that neither overflows nor loses the microseconds after days of uptime.
    return count.QuadPart / frequency.QuadPart * kStampUnitsPerSecond +
           count.QuadPart % frequency.QuadPart * kStampUnitsPerSecond / frequency.QuadPart;
}

class WasapiAudioOutput final : public AudioOutput {
public:
    WasapiAudioOutput(IAudioClient* client, IAudioRenderClient* render, IAudioClock* clock, int sampleRate,
                      AudioSource& source)
        : client_(client), render_(render), clock_(clock), sampleRate_(sampleRate), source_(source)
    {
        client_->GetBufferSize(&queueFrames_);
        clock_->GetFrequency(&clockFrequency_);
    }

    ~WasapiAudioOutput() override
    {
        stopping_ = true;
        if (feeder_.joinable()) {
            feeder_.join();
        }
        client_->Stop();
        release(clock_);
        release(render_);
        release(client_);
    }

    void start() override
    {
        feeder_ = std::thread([this] { feed(); });
    }

    // Each chunk says when it starts to play, after what is queued ahead of it.
    int latencyFrames() const override { return 0; }
    std::chrono::steady_clock::time_point pullTime() const override { return pullTime_; }

    std::string failure() const override
    {
        const HRESULT error = error_;
        return SUCCEEDED(error) ? std::string() : "the audio device stopped taking sound: " + describe(error);
    }

private:
    // When the frame written next will be heard: the device's position says how
    // much of what was written it has played, stamped with when it was there.
    std::chrono::steady_clock::time_point whenNextFrameIsHeard() const
    {
        const auto now = std::chrono::steady_clock::now();
        UINT64 position = 0;
        UINT64 stamp = 0;
        if (FAILED(clock_->GetPosition(&position, &stamp)) || clockFrequency_ == 0) {
            return now;
        }
        const double playedFrames = static_cast<double>(position) * sampleRate_ / static_cast<double>(clockFrequency_);
        const double queuedSeconds = (static_cast<double>(framesWritten_) - playedFrames) / sampleRate_;
        const double stampAgeSeconds =
            static_cast<double>(performanceCounterNow() - static_cast<std::int64_t>(stamp)) / kStampUnitsPerSecond;
        return now + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                         std::chrono::duration<double>(queuedSeconds - stampAgeSeconds));
    }

    // Keeps the device's queue full, a chunk at a time, straight from the music.
    bool fillQueue()
    {
        UINT32 padding = 0;
        HRESULT result = client_->GetCurrentPadding(&padding);
        while (SUCCEEDED(result) && queueFrames_ - padding >= kChunkFrames) {
            BYTE* data = nullptr;
            result = render_->GetBuffer(kChunkFrames, &data);
            if (FAILED(result)) {
                break;
            }
            pullTime_ = whenNextFrameIsHeard();
            source_.fill(reinterpret_cast<float*>(data), kChunkFrames);
            result = render_->ReleaseBuffer(kChunkFrames, 0);
            framesWritten_ += kChunkFrames;
            padding += kChunkFrames;
        }
        if (FAILED(result)) {
            error_ = result;
            return false;
        }
        return true;
    }

    void feed()
    {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        // Ahead of the frame thread and the renderer's, so that drawing never holds the sound up.
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
        if (fillQueue()) {
            if (const HRESULT result = client_->Start(); FAILED(result)) {
                error_ = result;
            }
        }
        while (!stopping_ && SUCCEEDED(error_.load()) && fillQueue()) {
            Sleep(kFeedIntervalMs);
        }
        CoUninitialize();
    }

    IAudioClient* client_;
    IAudioRenderClient* render_;
    IAudioClock* clock_;
    int sampleRate_;
    AudioSource& source_;
    UINT32 queueFrames_ = 0;
    UINT64 clockFrequency_ = 0;
    std::atomic<bool> stopping_ = false;
    std::atomic<HRESULT> error_ = S_OK;
    std::int64_t framesWritten_ = 0;  // feeder thread only, as is pullTime_
    std::chrono::steady_clock::time_point pullTime_{};
    std::thread feeder_;
};

}  // namespace

std::unique_ptr<AudioOutput> openWasapiAudioOutput(int sampleRate, AudioSource& source, std::string& failure)
{
    // The audio objects live in the process's multithreaded apartment, so the
    // feeding thread may use what this one made.
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IMMDeviceEnumerator* devices = nullptr;
    IMMDevice* device = nullptr;
    IAudioClient* client = nullptr;
    IAudioRenderClient* render = nullptr;
    IAudioClock* clock = nullptr;

    // Float stereo at the music's rate; the audio engine converts it to the device's own format.
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    format.nChannels = 2;
    format.nSamplesPerSec = static_cast<DWORD>(sampleRate);
    format.wBitsPerSample = 32;
    format.nBlockAlign = format.nChannels * format.wBitsPerSample / 8;
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;

    HRESULT result = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                      reinterpret_cast<void**>(&devices));
    if (SUCCEEDED(result)) {
        result = devices->GetDefaultAudioEndpoint(eRender, eConsole, &device);
    }
    if (SUCCEEDED(result)) {
        result = device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, reinterpret_cast<void**>(&client));
    }
    if (SUCCEEDED(result)) {
        result = client->Initialize(AUDCLNT_SHAREMODE_SHARED,
                                    AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM | AUDCLNT_STREAMFLAGS_SRC_DEFAULT_QUALITY,
                                    kQueueDuration, 0, &format, nullptr);
    }
    if (SUCCEEDED(result)) {
        result = client->GetService(__uuidof(IAudioRenderClient), reinterpret_cast<void**>(&render));
    }
    if (SUCCEEDED(result)) {
        result = client->GetService(__uuidof(IAudioClock), reinterpret_cast<void**>(&clock));
    }
    release(device);
    release(devices);
    if (FAILED(result)) {
        release(clock);
        release(render);
        release(client);
        failure = "cannot open the default audio output: " + describe(result);
        return nullptr;
    }
    return std::make_unique<WasapiAudioOutput>(client, render, clock, sampleRate, source);
}
