#include "scene/backdrop_vinyl.h"

SpritePictures loadSpritePictures(Device&)
{
    return {};
}

void drawBackdropAndVinyl(Device&, const SpritePictures&, const BeatClock&) {}
