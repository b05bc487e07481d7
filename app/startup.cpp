#include "app/startup.h"

#include "assets/show_data_files.h"

namespace {

// What loading holds at its peak: the three sprite pictures and every glyph the show tries.
constexpr std::size_t kLoadingBytes =
    3 * pictureLoadingBytes(kSpritePictureSize) + (256 - kFirstGlyphCode) * pictureLoadingBytes(kGlyphPictureSize);

}  // namespace

ShowStartup::ShowStartup() : heap_(std::in_place, kLoadingBytes), pictures_(startDecodingShowPictures()) {}

StartedShow ShowStartup::run(Device& device, const AudioOutputOpener& openOutput, const WhileLoading& whileLoading)
{
    StartedShow show;
    show.assets = load(device, whileLoading);
    if (openOutput) {
        show.music = playMusic(openOutput);
    }
    setBlendFactors(device);
    return show;
}

ShowAssets ShowStartup::load(Device& device, const WhileLoading& whileLoading)
{
    ShowAssets assets = loadShowAssets(device, pictures_, whileLoading);
    heap_.reset();
    return assets;
}

std::unique_ptr<MusicStream> playMusic(const AudioOutputOpener& openOutput)
{
    std::unique_ptr<MusicStream> music = MusicStream::open(kMusicFile, openOutput);
    music->play();
    return music;
}
