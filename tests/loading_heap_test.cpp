#include "app/loading_heap.h"

#include <gtest/gtest.h>

#ifdef __GLIBC__

#include <malloc.h>

#include <cstdlib>

namespace {

// AddressSanitizer brings its own allocator, which glibc's settings do not reach.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KELPWAX_TEST_UNDER_ASAN
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(KELPWAX_TEST_UNDER_ASAN)
constexpr bool kGlibcAllocates = false;
#else
constexpr bool kGlibcAllocates = true;
#endif

constexpr std::size_t kReserved = std::size_t{256} << 20;
constexpr std::size_t kBig = std::size_t{32} << 20;  // far above the size glibc maps on its own

// A big block while loading comes out of the heap grown for it; once loading
// is over, big blocks are mapped on their own again and the heap is trimmed.
TEST(LoadingHeap, HoldsBigBlocksInTheHeapWhileItLastsAndGivesTheHeapBackAfter)
{
    if (!kGlibcAllocates) {
        GTEST_SKIP() << "glibc's allocator is not the one in use";
    }
    {
        const LoadingHeap heap(kReserved);
        EXPECT_GE(mallinfo2().arena, kReserved);
        const std::size_t mappedBefore = mallinfo2().hblkhd;
        void* volatile block = std::malloc(kBig);
        EXPECT_EQ(mallinfo2().hblkhd, mappedBefore);
        std::free(block);
    }
    EXPECT_LT(mallinfo2().arena, kReserved / 2);
    const std::size_t mappedBefore = mallinfo2().hblkhd;
    void* volatile block = std::malloc(kBig);
    EXPECT_GE(mallinfo2().hblkhd, mappedBefore + kBig);
    std::free(block);
}

}  // namespace

#endif
