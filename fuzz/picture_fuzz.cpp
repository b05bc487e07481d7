// Feeds arbitrary bytes to the picture decoder and the steps the show takes
// after it: stretching to powers of two and building the mip chain.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/picture_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> file(data, data + size);
    Picture picture;
    std::string failure;
    if (!decodePicture(file, picture, failure)) {
        return 0;
    }
    stretchToPowersOfTwo(picture);
    addMipLevels(picture);
    return 0;
}
