#include "app/show.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/data_folder.h"
#include "assets/show_data_files.h"
#include "scene/background_pulse.h"
#include "scene/cube_chain.h"
#include "scene/light_camera.h"
#include "scene/scroll_texts.h"
#include "scene/scroller.h"
#include "scene/submarine.h"

namespace {

// A character of the scroll texts without a glyph leaves a gap in its line: say which, once.
void reportCharactersWithoutGlyphs(const GlyphTable& table)
{
    bool usedWithoutGlyph[256] = {};
    for (const std::string_view text : {upperScrollText, lowerScrollText}) {
        for (const char character : text) {
            const auto code = static_cast<unsigned char>(character);
            usedWithoutGlyph[code] = code != ' ' && !table[code];
        }
    }
    std::string missing;
    for (int code = 0; code < 256; ++code) {
        if (usedWithoutGlyph[code]) {
            missing += static_cast<char>(code);
        }
    }
    if (!missing.empty()) {
        std::fprintf(stderr, "glyphs: no picture for \"%s\" of the scroll texts; those characters leave gaps\n",
                     missing.c_str());
    }
}

// Each missing file is reported on its own; when none of them is here, the
// show was most likely started from the wrong folder, and that is worth one line.
void reportMissingDataFolder()
{
    if (holdsShowData(".")) {
        return;
    }
    std::error_code ignored;
    std::fprintf(stderr,
                 "kelpwax: none of the show's data is in %s. The show reads quirn.ogg, the pictures, the model "
                 "and the glyphs from its working directory: run it from the folder that holds them "
                 "(build/data after a build; scripts/run.sh does this).\n",
                 displayPath(std::filesystem::current_path(ignored)).c_str());
}

}  // namespace

PictureDecoding startDecodingShowPictures()
{
    std::vector<std::string> paths = glyphFileNames();
    for (std::string& path : spritePictureFileNames()) {
        paths.push_back(std::move(path));
    }
    return PictureDecoding(std::move(paths));
}

ShowAssets loadShowAssets(Device& device, PictureDecoding& pictures, const WhileLoading& whileLoading)
{
    reportMissingDataFolder();
    ShowAssets assets;
    assets.cubeMesh = createCubeMesh(device);
    assets.submarine = loadSubmarineModel(device, kModelFile);
    if (whileLoading) {
        whileLoading();
    }
    assets.glyphTable = loadGlyphSet(device, pictures, whileLoading);
    reportCharactersWithoutGlyphs(assets.glyphTable);
    assets.pictures = loadSpritePictures(device, pictures, whileLoading);
    return assets;
}

ShowAssets loadShowAssets(Device& device, const WhileLoading& whileLoading)
{
    PictureDecoding pictures = startDecodingShowPictures();
    return loadShowAssets(device, pictures, whileLoading);
}

void setBlendFactors(Device& device)
{
    device.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
}

void drawFrame(Device& device, const ShowAssets& assets, const BeatClock& clock)
{
    device.Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, backgroundColour(clock), 1.0f, 0);
    device.BeginScene();
    drawBackdropAndVinyl(device, assets.pictures, clock);
    setLightAndCamera(device, clock);
    drawCubeChain(device, assets.cubeMesh, clock);
    drawSubmarine(device, assets.submarine, clock);
    drawScrollerLines(device, assets.glyphTable, clock);
    device.EndScene();
    device.Present();
}
