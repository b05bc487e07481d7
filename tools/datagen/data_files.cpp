#include "data_files.h"

#include "glyph_set.h"
#include "icon.h"
#include "pictures.h"
#include "png_encoder.h"
#include "submarine.h"
#include "x_file.h"

namespace datagen {

namespace {

std::vector<std::uint8_t> encodePicture(const Canvas& canvas, std::uint32_t ditherSeed)
{
    return encodePng(canvas.toRgba8(ditherSeed), canvas.width(), canvas.height());
}

}  // namespace

std::vector<DataFileJob> visualDataJobs()
{
    std::vector<DataFileJob> jobs;
    jobs.push_back({kBackdropPictureFile, [] { return encodePicture(paintUnderwater(kSpritePictureSize), 1); }});
    jobs.push_back({kVinylPictureFile, [] { return encodePicture(paintVinyl(kSpritePictureSize), 2); }});
    jobs.push_back({kLabelPictureFile, [] { return encodePicture(paintVinylLabel(kSpritePictureSize), 3); }});
    jobs.push_back({kModelFile, [] {
                        const std::string text = writeXFile(buildSubmarine(), "Submarine");
                        return std::vector<std::uint8_t>(text.begin(), text.end());
                    }});
    jobs.push_back({kIconFile, [] { return encodeIcon({std::begin(kIconEntries), std::end(kIconEntries)}); }});
    for (int code = kFirstGlyphCode; code <= kLastGlyphCode; ++code) {
        jobs.push_back({std::filesystem::path(glyphFileName(code)).lexically_normal(), [code] {
                            const Font font(kLetteringFontPath);
                            return encodePicture(renderGlyph(font, static_cast<unsigned char>(code)), 100u + code);
                        }});
    }
    return jobs;
}

std::vector<std::filesystem::path> visualDataFolders()
{
    return {"font", "data"};
}

}  // namespace datagen
