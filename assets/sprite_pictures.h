// The three pictures of the backdrop and record pass, from the working directory
// (their names are in assets/show_data_files.h).
#pragma once

#include <string>
#include <vector>

#include "core/device.h"
#include "core/picture_file.h"

struct SpritePictures {
    const Texture* backdropTexture = nullptr;
    const Texture* vinylTexture = nullptr;
    const Texture* labelTexture = nullptr;
};

// The three files, in the order loadSpritePictures uploads them.
std::vector<std::string> spritePictureFileNames();

// A picture that cannot be read leaves its slot empty, said once on stderr.
// The pictures come from decoding, which should have been started with
// spritePictureFileNames(), or are decoded now.
SpritePictures loadSpritePictures(Device& device, PictureDecoding& decoding, const WhileLoading& whileLoading = {});
SpritePictures loadSpritePictures(Device& device, const WhileLoading& whileLoading = {});
