#include "assets/sprite_pictures.h"

#include <cstdio>

#include "core/picture_file.h"

SpritePictures loadSpritePictures(Device& device, const WhileLoading& whileLoading)
{
    TextureFile files[] = {TextureFile("vinyllabel.png"), TextureFile("vinyl.png"), TextureFile("underwater.png")};
    createTexturesFromFiles(device, files, whileLoading);
    const char* const consequences[] = {"the record has no label", "no record is drawn", "no backdrop is drawn"};
    for (int i = 0; i < 3; ++i) {
        if (!files[i].texture) {
            std::fprintf(stderr, "%s: %s; %s\n", files[i].path.c_str(), files[i].failure.c_str(), consequences[i]);
        }
    }
    return {.backdropTexture = files[2].texture, .vinylTexture = files[1].texture, .labelTexture = files[0].texture};
}
