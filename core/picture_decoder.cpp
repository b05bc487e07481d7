#include "core/picture_decoder.h"

#include "core/data_file.h"
#include "core/decoder_failure.h"
#include "core/png_check.h"

#include <stb/stb_image.h>

bool decodePicture(const std::vector<std::uint8_t>& file, Picture& picture, std::string& failure, int largestSide)
{
    picture = {};
    if (!checkPngFile(file, largestSide, failure)) {
        return false;
    }
    const int length = static_cast<int>(file.size());
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = stbi_load_from_memory(file.data(), length, &width, &height, &channels, 4);
    if (!pixels) {
        // stb gives no reason when the compressed pixel data uses a deflate block type that does not exist.
        failure = "corrupt or truncated picture: " +
                  decoderFailure(stbi_failure_reason(), "its compressed pixel data is damaged");
        return false;
    }
    picture.width = width;
    picture.height = height;
    picture.rgba.assign(pixels, pixels + static_cast<std::size_t>(width) * height * 4);
    stbi_image_free(pixels);
    return true;
}

bool readPictureFile(const char* path, Picture& picture, std::string& failure, int largestSide)
{
    std::vector<std::uint8_t> file;
    return readDataFile(path, kMaxPictureFileBytes, file, failure) &&
           decodePicture(file, picture, failure, largestSide);
}
