// Feeds arbitrary bytes to the icon reader, asking for each size the window might use.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/icon_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> file(data, data + size);
    for (const int side : {16, 32, 48, 256}) {
        decodeIconImage(file, side);
    }
    return 0;
}
