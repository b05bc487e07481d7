// The show's start-up and one frame, shared by the programs, the trace tool and
// the capture tool: they differ only in the device and where the clock comes from.
#pragma once

#include "assets/glyph_set.h"
#include "assets/meshes.h"
#include "core/device.h"
#include "music/beat_clock.h"
#include "scene/backdrop_vinyl.h"

// Everything start-up makes for the passes; it lives for the whole run.
struct ShowAssets {
    const Mesh* cubeMesh = nullptr;
    SubmarineModel submarine;
    GlyphTable glyphTable{};
    SpritePictures pictures;
};

// Starts decoding the glyphs and pictures on worker threads, so that decoding
// overlaps opening the window and the rest of start-up.
PictureDecoding startDecodingShowPictures();

// Meshes, glyphs and pictures, in that order, from the working directory.
// whileLoading is called between steps and while pictures decode. Without
// pictures already decoding, their decoding starts here.
ShowAssets loadShowAssets(Device& device, PictureDecoding& pictures, const WhileLoading& whileLoading = {});
ShowAssets loadShowAssets(Device& device, const WhileLoading& whileLoading = {});
// Set once, after the music has started; no pass sets them again.
void setBlendFactors(Device& device);
// Clear, every pass in order, and present.
void drawFrame(Device& device, const ShowAssets& assets, const BeatClock& clock);
