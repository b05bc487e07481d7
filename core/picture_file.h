// Textures from PNG files, in place of the platform's texture-from-file call:
// the files decode on worker threads while start-up goes on, each becomes a
// power-of-two picture with its mip levels, and they are uploaded in the order given.
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/device.h"

struct TextureFile {
    explicit TextureFile(std::string path) : path(std::move(path)) {}

    std::string path;                  // in: opened as given, and the texture's name
    const Texture* texture = nullptr;  // out: null when the file could not be used
    std::string failure;               // out: why, when texture is null
};

// Called now and then during loading, on the loading thread: a platform answers
// its window's events there, so the window stays responsive and can be closed.
using WhileLoading = std::function<void()>;

// Picture files decoding on worker threads from the moment this is made, so
// that decoding overlaps whatever start-up does meanwhile: each is read,
// stretched to powers of two and given its mip levels. The biggest file goes
// first and the others in the order given, which should be the order they are
// taken in. Where the target has no threads, each file is decoded when taken.
// Destroying this waits for the files being decoded and drops the rest.
class PictureDecoding {
public:
    explicit PictureDecoding(std::vector<std::string> paths);
    PictureDecoding(PictureDecoding&& other) noexcept;
    PictureDecoding& operator=(PictureDecoding&&) = delete;
    ~PictureDecoding();

    // Hands over the picture from path, waiting for it if need be and calling
    // whileLoading every millisecond meanwhile. False, with `failure` saying why,
    // for a file that cannot be used, also one with a side, stretched, beyond
    // largestSide. A path not started here, or taken already, is decoded now.
    bool take(const std::string& path, int largestSide, Picture& picture, std::string& failure,
              const WhileLoading& whileLoading = {});

private:
    struct Shared;
    std::unique_ptr<Shared> shared_;
    std::vector<std::thread> workers_;
};

// Creates the files' textures on the calling thread, one after another in the
// order given, from pictures decoding has made or is making. Pictures larger
// than the device takes are refused; a picture is dropped once uploaded.
void createTexturesFromFiles(Device& device, PictureDecoding& decoding, std::span<TextureFile> files,
                             const WhileLoading& whileLoading = {});
// The same, for files that start decoding now.
void createTexturesFromFiles(Device& device, std::span<TextureFile> files, const WhileLoading& whileLoading = {});
