// The three pictures of the backdrop and record pass: "underwater.png",
// "vinyl.png" and "vinyllabel.png" from the working directory.
#pragma once

#include "core/device.h"
#include "core/picture_file.h"

struct SpritePictures {
    const Texture* backdropTexture = nullptr;
    const Texture* vinylTexture = nullptr;
    const Texture* labelTexture = nullptr;
};

// A picture that cannot be read leaves its slot empty, said once on stderr.
SpritePictures loadSpritePictures(Device& device, const WhileLoading& whileLoading = {});
