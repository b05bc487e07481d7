// While the show loads, every allocation of every thread comes from the one
// heap, grown once by enough for all of loading and marked for huge pages.
// Loading writes a few hundred megabytes of fresh memory: the decoded pictures,
// their mip levels and the textures they are copied into. In 4 KiB pages that
// is tens of thousands of page faults; in 2 MiB pages it is a few hundred.
// Nothing is touched until it is used. Ending it puts every allocator setting
// it changed back to the allocator's default and gives back what loading left
// free. Only glibc's allocator is tuned; elsewhere this does nothing.
#pragma once

#include <cstddef>

class LoadingHeap {
public:
    explicit LoadingHeap(std::size_t bytes);
    ~LoadingHeap();
    LoadingHeap(const LoadingHeap&) = delete;
    LoadingHeap& operator=(const LoadingHeap&) = delete;
};

// Loading at its peak holds each picture twice, decoded and as a texture, and
// each with its mip levels, which add a third.
constexpr std::size_t pictureLoadingBytes(int side)
{
    const std::size_t levelZero = static_cast<std::size_t>(side) * static_cast<std::size_t>(side) * 4;
    return 2 * (levelZero + levelZero / 3);
}
