// Every Direct3D 9 call of the Windows device, behind an interface free of
// Direct3D types: d3d9.h and the core's D3D-style records share their names and
// constants, so no file can include both. The core's records have the
// published layouts and values, so states, matrices, lights and materials pass
// through unchanged (as numbers, 16 floats and raw records).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct HWND__;
struct NativeTexture;
struct NativeMesh;

// A sprite corner in target pixels (y down), as Direct3D's XYZ | DIFFUSE | TEX1 vertex.
struct SpriteVertex {
    float x, y, z;
    std::uint32_t color;  // 0xAARRGGBB
    float u, v;
};

// Consecutive sprites drawn from one texture.
struct SpriteRun {
    const NativeTexture* texture;
    std::size_t spriteCount;
};

class D3d9Native {
public:
    // Creates the device for `window` with the show's presentation parameters:
    // mixed vertex processing, else software; null, with what failed, when neither works.
    static std::unique_ptr<D3d9Native> create(HWND__* window, bool fullscreen, std::string& failure);
    ~D3d9Native();
    D3d9Native(const D3d9Native&) = delete;
    D3d9Native& operator=(const D3d9Native&) = delete;

    void clear(std::uint32_t flags, std::uint32_t color, float z, std::uint32_t stencil);
    void beginScene();
    void endScene();
    // Presents the back buffer, then waits, sleeping, until the device has
    // carried the frame out, so that the next frame is drawn for a screen that
    // shows this one. A lost device skips frames until it can be reset, then
    // gets its states back; every resource lives in the managed pool and survives.
    void present();
    // When the wait in the latest present() saw its frame done: the moment
    // that frame reached the screen. The epoch until then.
    std::chrono::steady_clock::time_point lastFrameShown() const;

    // Resets the device, as once it is lost and can be reset, and gives it back
    // every state the passes set. False when the device refuses.
    bool reset();

    void setRenderState(std::uint32_t state, std::uint32_t value);
    // The device's own current value of a render state.
    std::uint32_t renderState(std::uint32_t state) const;
    void setTransform(std::uint32_t state, const float* matrix16);
    void setLight(std::uint32_t index, const void* light, std::size_t size);
    void lightEnable(std::uint32_t index, bool enable);
    void setMaterial(const void* material, std::size_t size);

    // levels[i] holds mip level i as BGRA rows from the top; level 0 is width × height.
    const NativeTexture* createTexture(int width, int height, const std::vector<std::vector<std::uint8_t>>& levels);
    // Each vertex is three floats of position, followed by three of normal when withNormals.
    const NativeMesh* createMesh(const void* vertices, std::size_t vertexCount, bool withNormals,
                                 const std::uint32_t* indices, std::size_t indexCount);
    void drawIndexedTriangles(const NativeMesh& mesh, std::uint32_t firstIndex, std::uint32_t indexCount);

    // Draws four corners per sprite with the sprite batch's states under `projection16`,
    // then puts back every state the passes had set.
    void drawSprites(const std::vector<SpriteVertex>& corners, const std::vector<SpriteRun>& runs,
                     const float* projection16);

    // Waits until every call given so far has been carried out.
    void finish();

    // The back buffer's pixels as RGBA8 rows from the top, alpha opaque; false, with why, when they cannot be read.
    bool readBackBuffer(std::vector<std::uint8_t>& rgba, std::string& failure);

private:
    struct State;
    explicit D3d9Native(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};
