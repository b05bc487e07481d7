#include "app/startup.h"

#include "assets/show_data_files.h"

namespace {

// What loading holds at its peak, the three sprite pictures and every glyph the
// show tries, and half as much again: how high the heap's top climbs also
// depends on the order blocks are freed in, and the window and the OpenGL
// driver take their share of the heap while it lasts.
constexpr std::size_t kLoadedBytes =
    3 * pictureLoadingBytes(kSpritePictureSize) + (256 - kFirstGlyphCode) * pictureLoadingBytes(kGlyphPictureSize);
constexpr std::size_t kLoadingBytes = kLoadedBytes + kLoadedBytes / 2;

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
