// While the show loads, every allocation of every thread comes from the one
// heap, grown once by enough for all of loading and marked for huge pages.
// Loading writes a few hundred megabytes of fresh memory: the decoded pictures,
// their mip levels and the textures they are copied into. In 4 KiB pages that
// is tens of thousands of page faults; in 2 MiB pages it is a few hundred.
// Nothing is touched until it is used. Ending it puts every allocator setting
// it changed back to glibc's default and gives back what loading left free.
// glibc settles its limit on arenas once, when a thread first needs one, so the
// threads that started while loading go on sharing the one heap even after the
// limit is put back. Only glibc's allocator is tuned; elsewhere this does nothing.
#pragma once

#include <cstddef>

class LoadingHeap {
public:
    explicit LoadingHeap(std::size_t bytes);
    ~LoadingHeap();
    LoadingHeap(const LoadingHeap&) = delete;
    LoadingHeap& operator=(const LoadingHeap&) = delete;
};

// What loading a square picture of this side takes at its peak: the decoded
// pixels with their mip levels (a third more), the texture's copy of both, and
// the inflated file data the pixels are decoded from (about as big as they are).
constexpr std::size_t pictureLoadingBytes(int side)
{
    const std::size_t pixels = static_cast<std::size_t>(side) * static_cast<std::size_t>(side) * 4;
    const std::size_t withMipLevels = pixels + pixels / 3;
    return 2 * withMipLevels + pixels;
}
