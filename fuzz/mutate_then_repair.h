// A custom mutation for inputs guarded by a checksum or length that libFuzzer's
// byte changes almost never keep right: the guard would refuse nearly every
// input before the decoder behind it. Seven mutated inputs in eight get the
// guard repaired so they reach the decoder; the eighth stays as mutated, so the
// guard itself is still fuzzed.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

inline std::size_t mutateThenRepair(std::uint8_t* data, std::size_t size, std::size_t maxSize, unsigned int seed,
                                    void (*repair)(std::uint8_t* data, std::size_t size))
{
    size = LLVMFuzzerMutate(data, size, maxSize);
    if (seed % 8 != 0) {
        repair(data, size);
    }
    return size;
}
