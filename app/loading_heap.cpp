#include "app/loading_heap.h"

#ifdef __GLIBC__

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace {

// glibc's own settings, which it has no call to read back.
constexpr int kDefaultMmapMax = 65536;
constexpr int kDefaultTrimThreshold = 128 * 1024;
// Without a limit glibc allows eight arenas per core on 64-bit systems.
constexpr int kArenasPerCore = 8;

int defaultArenaMax()
{
    const long cores = sysconf(_SC_NPROCESSORS_ONLN);
    return kArenasPerCore * static_cast<int>(cores > 0 ? cores : 1);
}

}  // namespace

LoadingHeap::LoadingHeap(std::size_t bytes)
{
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(2 * bytes));
    const auto pageMask = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE) - 1);
    const auto oldEnd = (reinterpret_cast<std::uintptr_t>(sbrk(0)) + pageMask) & ~pageMask;
    void* volatile growth = std::malloc(bytes);
    std::free(growth);
    const auto newEnd = reinterpret_cast<std::uintptr_t>(sbrk(0));
    if (newEnd > oldEnd) {
        madvise(reinterpret_cast<void*>(oldEnd), newEnd - oldEnd, MADV_HUGEPAGE);
    }
}

LoadingHeap::~LoadingHeap()
{
    mallopt(M_ARENA_MAX, defaultArenaMax());
    mallopt(M_MMAP_MAX, kDefaultMmapMax);
    mallopt(M_TRIM_THRESHOLD, kDefaultTrimThreshold);
    malloc_trim(0);
}

#else

LoadingHeap::LoadingHeap(std::size_t) {}
LoadingHeap::~LoadingHeap() = default;

#endif
