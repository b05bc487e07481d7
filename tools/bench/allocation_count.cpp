// Replaces every form of the global operator new and operator delete of the
// program that links this file. Replacing them all, not just the plain new,
// keeps allocation and release in one pair of hands: memory comes from malloc
// or aligned_alloc and always goes back through free, whichever form a caller
// (the program or a library it loads, such as the OpenGL driver) allocates and
// releases with. Kept in a file of its own so that no caller sees the malloc
// inside.
#include "tools/bench/allocation_count.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> allocations{0};

void* allocate(std::size_t size) noexcept
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}

// aligned_alloc wants a size that is a whole number of alignments.
void* allocate(std::size_t size, std::align_val_t alignment) noexcept
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    const auto align = static_cast<std::size_t>(alignment);
    const std::size_t rounded = size == 0 ? align : (size + align - 1) / align * align;
    return std::aligned_alloc(align, rounded);
}

void* allocateOrThrow(std::size_t size)
{
    if (void* memory = allocate(size)) {
        return memory;
    }
    throw std::bad_alloc();
}

void* allocateOrThrow(std::size_t size, std::align_val_t alignment)
{
    if (void* memory = allocate(size, alignment)) {
        return memory;
    }
    throw std::bad_alloc();
}

}  // namespace

long allocationCount()
{
    return allocations.load(std::memory_order_relaxed);
}

void* operator new(std::size_t size)
{
    return allocateOrThrow(size);
}

void* operator new[](std::size_t size)
{
    return allocateOrThrow(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return allocate(size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return allocate(size);
}

void* operator new(std::size_t size, std::align_val_t alignment)
{
    return allocateOrThrow(size, alignment);
}

void* operator new[](std::size_t size, std::align_val_t alignment)
{
    return allocateOrThrow(size, alignment);
}

void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    return allocate(size, alignment);
}

void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    return allocate(size, alignment);
}

// Every form releases with free: malloc and aligned_alloc both hand out memory that free takes back.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory, std::size_t) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, const std::nothrow_t&) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory, const std::nothrow_t&) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::align_val_t) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory, std::align_val_t) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t, std::align_val_t) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::align_val_t, const std::nothrow_t&) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory, std::align_val_t, const std::nothrow_t&) noexcept
{
    std::free(memory);
}

#pragma GCC diagnostic pop
