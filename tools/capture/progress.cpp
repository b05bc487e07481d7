#include "tools/capture/progress.h"

#include <unistd.h>

#include <cstdio>
#include <string>

ProgressBar::ProgressBar(std::int64_t totalFrames, int fps)
    : totalFrames_(totalFrames),
      fps_(fps),
      enabled_(::isatty(STDERR_FILENO) != 0),
      start_(std::chrono::steady_clock::now())
{
}

void ProgressBar::update(std::int64_t framesDone)
{
    const auto now = std::chrono::steady_clock::now();
    if (!enabled_ || (now - lastDrawn_ < std::chrono::milliseconds(200) && framesDone < totalFrames_)) {
        return;
    }
    lastDrawn_ = now;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    const double speed = elapsed > 0 ? framesDone / static_cast<double>(fps_) / elapsed : 0;
    const double secondsLeft = framesDone > 0 ? elapsed * (totalFrames_ - framesDone) / framesDone : 0;
    constexpr int kBarWidth = 30;
    const int filled = static_cast<int>(kBarWidth * framesDone / std::max<std::int64_t>(1, totalFrames_));
    std::fprintf(stderr, "\r[%s%s] %lld/%lld frames  %.2fx real time  %d:%02d left ", std::string(filled, '#').c_str(),
                 std::string(kBarWidth - filled, '.').c_str(), static_cast<long long>(framesDone),
                 static_cast<long long>(totalFrames_), speed, static_cast<int>(secondsLeft) / 60,
                 static_cast<int>(secondsLeft) % 60);
}

void ProgressBar::finish()
{
    if (enabled_) {
        update(totalFrames_);
        std::fprintf(stderr, "\n");
    }
}
