#include "assets/sprite_pictures.h"

#include <cstdio>

#include "assets/show_data_files.h"
#include "core/picture_file.h"

std::vector<std::string> spritePictureFileNames()
{
    return {kLabelPictureFile, kVinylPictureFile, kBackdropPictureFile};
}

SpritePictures loadSpritePictures(Device& device, PictureDecoding& decoding, const WhileLoading& whileLoading)
{
    const std::vector<std::string> names = spritePictureFileNames();
    TextureFile files[] = {TextureFile(names[0]), TextureFile(names[1]), TextureFile(names[2])};
    createTexturesFromFiles(device, decoding, files, whileLoading);
    const char* const consequences[] = {"the record has no label", "no record is drawn", "no backdrop is drawn"};
    for (int i = 0; i < 3; ++i) {
        if (!files[i].texture) {
            std::fprintf(stderr, "%s: %s; %s\n", files[i].path.c_str(), files[i].failure.c_str(), consequences[i]);
        }
    }
    return {.backdropTexture = files[2].texture, .vinylTexture = files[1].texture, .labelTexture = files[0].texture};
}

SpritePictures loadSpritePictures(Device& device, const WhileLoading& whileLoading)
{
    PictureDecoding decoding(spritePictureFileNames());
    return loadSpritePictures(device, decoding, whileLoading);
}
