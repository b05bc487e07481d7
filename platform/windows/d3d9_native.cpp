#include "platform/windows/d3d9_native.h"

#include "platform/windows/com_object.h"

#include <windows.h>

#include <d3d9.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>

namespace {

constexpr int kBackBufferWidth = 1280;
constexpr int kBackBufferHeight = 720;
constexpr DWORD kSpriteVertexFormat = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
// 16-bit indices reach 65536 corners: sprites go to the device in chunks of this many.
constexpr std::size_t kSpritesPerDraw = 16384;
constexpr int kTransformSlots = 3;  // world, view, projection

D3DPRESENT_PARAMETERS presentationParameters(bool fullscreen)
{
    D3DPRESENT_PARAMETERS parameters{};
    parameters.BackBufferWidth = kBackBufferWidth;
    parameters.BackBufferHeight = kBackBufferHeight;
    parameters.BackBufferFormat = fullscreen ? D3DFMT_X8R8G8B8 : D3DFMT_UNKNOWN;
    parameters.BackBufferCount = 0;
    parameters.MultiSampleType = D3DMULTISAMPLE_NONE;
    parameters.MultiSampleQuality = 0;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.hDeviceWindow = nullptr;
    parameters.Windowed = fullscreen ? FALSE : TRUE;
    parameters.EnableAutoDepthStencil = TRUE;
    parameters.AutoDepthStencilFormat = D3DFMT_D16;
    parameters.Flags = 0;
    parameters.FullScreen_RefreshRateInHz = 0;
    parameters.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
    return parameters;
}

int transformSlot(D3DTRANSFORMSTATETYPE state)
{
    return state == D3DTS_VIEW ? 1 : state == D3DTS_PROJECTION ? 2 : 0;
}

D3DTRANSFORMSTATETYPE transformOfSlot(int slot)
{
    constexpr D3DTRANSFORMSTATETYPE kStates[kTransformSlots] = {D3DTS_WORLDMATRIX(0), D3DTS_VIEW, D3DTS_PROJECTION};
    return kStates[slot];
}

const D3DMATRIX kIdentity = {{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}}};

// Waits until the device has carried out every call given before the query
// was issued, or is lost. It yields at first, as a frame is usually nearly
// done, then sleeps, so that a long wait leaves the cores to the renderer.
void waitFor(IDirect3DQuery9* query)
{
    const auto start = std::chrono::steady_clock::now();
    while (query->GetData(nullptr, 0, D3DGETDATA_FLUSH) == S_FALSE) {
        Sleep(std::chrono::steady_clock::now() - start < std::chrono::milliseconds(1) ? 0 : 1);
    }
}

}  // namespace

struct NativeTexture {
    IDirect3DTexture9* texture = nullptr;
};

struct NativeMesh {
    IDirect3DVertexBuffer9* vertices = nullptr;
    IDirect3DIndexBuffer9* indices = nullptr;
    DWORD vertexFormat = 0;
    UINT vertexStride = 0;
    UINT vertexCount = 0;
};

// What the passes have set, kept so that a reset device gets it all back.
struct D3d9Native::State {
    IDirect3D9* direct3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    D3DPRESENT_PARAMETERS parameters{};
    D3DCAPS9 caps{};
    bool lost = false;

    std::vector<std::pair<D3DRENDERSTATETYPE, DWORD>> renderStates;  // in the order first set
    std::array<D3DMATRIX, kTransformSlots> transforms{kIdentity, kIdentity, kIdentity};
    bool lightSet = false;
    D3DLIGHT9 light{};
    bool lightEnabled = false;
    bool materialSet = false;
    D3DMATERIAL9 material{};

    std::vector<std::unique_ptr<NativeTexture>> textures;
    std::vector<std::unique_ptr<NativeMesh>> meshes;
    std::vector<WORD> spriteIndices;

    // Issued after each frame presented, to learn when the device has carried it out.
    IDirect3DQuery9* frameQuery = nullptr;
    std::chrono::steady_clock::time_point lastFrameShown{};

    ~State()
    {
        release(frameQuery);
        for (auto& mesh : meshes) {
            release(mesh->vertices);
            release(mesh->indices);
        }
        for (auto& texture : textures) {
            release(texture->texture);
        }
        // Releasing a full-screen device gives the desktop its display mode back.
        release(device);
        release(direct3d);
    }

    // Meshes carry no texture or vertex colour: stage 0 passes the lit colour through.
    void useMeshStages()
    {
        device->SetTexture(0, nullptr);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    }

    void applyRecordedStates()
    {
        for (const auto& [renderState, value] : renderStates) {
            device->SetRenderState(renderState, value);
        }
        for (int slot = 0; slot < kTransformSlots; ++slot) {
            device->SetTransform(transformOfSlot(slot), &transforms[slot]);
        }
        if (lightSet) {
            device->SetLight(0, &light);
        }
        device->LightEnable(0, lightEnabled);
        if (materialSet) {
            device->SetMaterial(&material);
        }
        useMeshStages();
    }
};

D3d9Native::D3d9Native(std::unique_ptr<State> state) : state_(std::move(state)) {}
D3d9Native::~D3d9Native() = default;

std::unique_ptr<D3d9Native> D3d9Native::create(HWND__* window, bool fullscreen, std::string& failure)
{
    auto state = std::make_unique<State>();
    state->direct3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!state->direct3d) {
        failure = "cannot create the Direct3D 9 object: Direct3D 9 is not available";
        return nullptr;
    }
    state->parameters = presentationParameters(fullscreen);
    HRESULT result = D3DERR_NOTAVAILABLE;
    for (const DWORD vertexProcessing : {D3DCREATE_MIXED_VERTEXPROCESSING, D3DCREATE_SOFTWARE_VERTEXPROCESSING}) {
        D3DPRESENT_PARAMETERS parameters = state->parameters;
        result = state->direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, vertexProcessing,
                                               &parameters, &state->device);
        if (SUCCEEDED(result)) {
            break;
        }
    }
    if (FAILED(result)) {
        failure = "cannot create the Direct3D 9 device (" + hresultText(result) + ", with mixed and with software " +
                  "vertex processing)" + (fullscreen ? ": the display may not offer 1280 x 720 in 32-bit colour" : "");
        return nullptr;
    }
    state->device->GetDeviceCaps(&state->caps);
    state->spriteIndices.reserve(kSpritesPerDraw * 6);
    for (std::size_t corner = 0; corner < kSpritesPerDraw * 4; corner += 4) {
        const auto first = static_cast<WORD>(corner);
        state->spriteIndices.insert(state->spriteIndices.end(),
                                    {first, static_cast<WORD>(first + 1), static_cast<WORD>(first + 2), first,
                                     static_cast<WORD>(first + 2), static_cast<WORD>(first + 3)});
    }
    state->useMeshStages();
    return std::unique_ptr<D3d9Native>(new D3d9Native(std::move(state)));
}

void D3d9Native::clear(std::uint32_t flags, std::uint32_t color, float z, std::uint32_t stencil)
{
    state_->device->Clear(0, nullptr, flags, color, z, stencil);
}

void D3d9Native::beginScene()
{
    state_->device->BeginScene();
}

void D3d9Native::endScene()
{
    state_->device->EndScene();
}

void D3d9Native::present()
{
    State& state = *state_;
    if (state.lost) {
        // Lost: the frame's calls did nothing. Reset as soon as the device lets us.
        if (state.device->TestCooperativeLevel() == D3DERR_DEVICENOTRESET && reset()) {
            state.lost = false;
        }
        return;
    }
    if (state.device->Present(nullptr, nullptr, nullptr, nullptr) == D3DERR_DEVICELOST) {
        state.lost = true;
        return;
    }
    // Drawing the next frame only once this one is done keeps the screen no
    // more than a frame behind the play position. The wait sleeps: a present
    // that found the frame before still queued would be held instead, and
    // some drivers hold it in a loop that keeps a core busy (Wine's Direct3D
    // does), a core the renderer and the sound need.
    if (state.frameQuery || SUCCEEDED(state.device->CreateQuery(D3DQUERYTYPE_EVENT, &state.frameQuery))) {
        state.frameQuery->Issue(D3DISSUE_END);
        waitFor(state.frameQuery);
        state.lastFrameShown = std::chrono::steady_clock::now();
    }
}

std::chrono::steady_clock::time_point D3d9Native::lastFrameShown() const
{
    return state_->lastFrameShown;
}

bool D3d9Native::reset()
{
    release(state_->frameQuery);  // a reset device knows nothing of the frames before
    D3DPRESENT_PARAMETERS parameters = state_->parameters;
    if (FAILED(state_->device->Reset(&parameters))) {
        return false;
    }
    state_->applyRecordedStates();
    return true;
}

std::uint32_t D3d9Native::renderState(std::uint32_t renderState) const
{
    DWORD value = 0;
    state_->device->GetRenderState(static_cast<D3DRENDERSTATETYPE>(renderState), &value);
    return value;
}

void D3d9Native::setRenderState(std::uint32_t renderState, std::uint32_t value)
{
    const auto key = static_cast<D3DRENDERSTATETYPE>(renderState);
    auto& recorded = state_->renderStates;
    const auto found =
        std::find_if(recorded.begin(), recorded.end(), [key](const auto& entry) { return entry.first == key; });
    if (found == recorded.end()) {
        recorded.emplace_back(key, value);
    } else {
        found->second = value;
    }
    state_->device->SetRenderState(key, value);
}

void D3d9Native::setTransform(std::uint32_t transformState, const float* matrix16)
{
    const auto key = static_cast<D3DTRANSFORMSTATETYPE>(transformState);
    D3DMATRIX& recorded = state_->transforms[transformSlot(key)];
    std::memcpy(&recorded, matrix16, sizeof recorded);
    state_->device->SetTransform(key, &recorded);
}

void D3d9Native::setLight(std::uint32_t index, const void* light, std::size_t size)
{
    if (index != 0 || size != sizeof(D3DLIGHT9)) {
        return;
    }
    std::memcpy(&state_->light, light, size);
    state_->lightSet = true;
    state_->device->SetLight(0, &state_->light);
}

void D3d9Native::lightEnable(std::uint32_t index, bool enable)
{
    if (index == 0) {
        state_->lightEnabled = enable;
    }
    state_->device->LightEnable(index, enable);
}

void D3d9Native::setMaterial(const void* material, std::size_t size)
{
    if (size != sizeof(D3DMATERIAL9)) {
        return;
    }
    std::memcpy(&state_->material, material, size);
    state_->materialSet = true;
    state_->device->SetMaterial(&state_->material);
}

const NativeTexture* D3d9Native::createTexture(int width, int height,
                                               const std::vector<std::vector<std::uint8_t>>& levels)
{
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(state_->device->CreateTexture(width, height, static_cast<UINT>(levels.size()), 0, D3DFMT_A8R8G8B8,
                                             D3DPOOL_MANAGED, &texture, nullptr))) {
        return nullptr;
    }
    for (UINT level = 0; level < levels.size(); ++level) {
        const int levelWidth = std::max(1, width >> level);
        const int levelHeight = std::max(1, height >> level);
        D3DLOCKED_RECT locked;
        if (FAILED(texture->LockRect(level, &locked, nullptr, 0))) {
            texture->Release();
            return nullptr;
        }
        const std::size_t rowBytes = static_cast<std::size_t>(levelWidth) * 4;
        for (int row = 0; row < levelHeight; ++row) {
            std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + row * locked.Pitch,
                        levels[level].data() + row * rowBytes, rowBytes);
        }
        texture->UnlockRect(level);
    }
    auto native = std::make_unique<NativeTexture>();
    native->texture = texture;
    return state_->textures.emplace_back(std::move(native)).get();
}

const NativeMesh* D3d9Native::createMesh(const void* vertices, std::size_t vertexCount, bool withNormals,
                                         const std::uint32_t* indices, std::size_t indexCount)
{
    auto mesh = std::make_unique<NativeMesh>();
    mesh->vertexFormat = withNormals ? D3DFVF_XYZ | D3DFVF_NORMAL : D3DFVF_XYZ;
    mesh->vertexStride = (withNormals ? 6 : 3) * sizeof(float);
    mesh->vertexCount = static_cast<UINT>(vertexCount);
    const UINT vertexBytes = mesh->vertexStride * mesh->vertexCount;
    const UINT indexBytes = static_cast<UINT>(indexCount * sizeof(std::uint32_t));
    IDirect3DDevice9* device = state_->device;
    void* locked = nullptr;
    if (vertexBytes == 0 || indexBytes == 0 ||
        FAILED(device->CreateVertexBuffer(vertexBytes, D3DUSAGE_WRITEONLY, mesh->vertexFormat, D3DPOOL_MANAGED,
                                          &mesh->vertices, nullptr)) ||
        FAILED(device->CreateIndexBuffer(indexBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX32, D3DPOOL_MANAGED,
                                         &mesh->indices, nullptr))) {
        release(mesh->vertices);
        return nullptr;
    }
    if (SUCCEEDED(mesh->vertices->Lock(0, 0, &locked, 0))) {
        std::memcpy(locked, vertices, vertexBytes);
        mesh->vertices->Unlock();
    }
    if (SUCCEEDED(mesh->indices->Lock(0, 0, &locked, 0))) {
        std::memcpy(locked, indices, indexBytes);
        mesh->indices->Unlock();
    }
    return state_->meshes.emplace_back(std::move(mesh)).get();
}

void D3d9Native::drawIndexedTriangles(const NativeMesh& mesh, std::uint32_t firstIndex, std::uint32_t indexCount)
{
    IDirect3DDevice9* device = state_->device;
    device->SetFVF(mesh.vertexFormat);
    device->SetStreamSource(0, mesh.vertices, 0, mesh.vertexStride);
    device->SetIndices(mesh.indices);
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, mesh.vertexCount, firstIndex, indexCount / 3);
}

void D3d9Native::drawSprites(const std::vector<SpriteVertex>& corners, const std::vector<SpriteRun>& runs,
                             const float* projection16)
{
    if (corners.empty()) {
        return;
    }
    IDirect3DDevice9* device = state_->device;
    const D3DCAPS9& caps = state_->caps;
    // The sprite batch's states; the ones the passes may set are put back afterwards.
    const std::pair<D3DRENDERSTATETYPE, DWORD> spriteStates[] = {
        {D3DRS_ALPHABLENDENABLE, TRUE},
        {D3DRS_ALPHAFUNC, D3DCMP_GREATER},
        {D3DRS_ALPHAREF, 0},
        {D3DRS_ALPHATESTENABLE, caps.AlphaCmpCaps != 0},
        {D3DRS_BLENDOP, D3DBLENDOP_ADD},
        {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
        {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
        {D3DRS_SEPARATEALPHABLENDENABLE, FALSE},
        {D3DRS_CLIPPING, TRUE},
        {D3DRS_CLIPPLANEENABLE, 0},
        {D3DRS_COLORWRITEENABLE,
         D3DCOLORWRITEENABLE_ALPHA | D3DCOLORWRITEENABLE_RED | D3DCOLORWRITEENABLE_GREEN | D3DCOLORWRITEENABLE_BLUE},
        {D3DRS_CULLMODE, D3DCULL_NONE},
        {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
        {D3DRS_FILLMODE, D3DFILL_SOLID},
        {D3DRS_FOGENABLE, FALSE},
        {D3DRS_RANGEFOGENABLE, FALSE},
        {D3DRS_LIGHTING, FALSE},
        {D3DRS_SPECULARENABLE, FALSE},
        {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
        {D3DRS_SRGBWRITEENABLE, FALSE},
        {D3DRS_STENCILENABLE, FALSE},
        {D3DRS_VERTEXBLEND, FALSE},
        {D3DRS_INDEXEDVERTEXBLENDENABLE, FALSE},
        {D3DRS_WRAP0, 0},
    };
    std::array<DWORD, std::size(spriteStates)> savedStates;
    for (std::size_t i = 0; i < std::size(spriteStates); ++i) {
        device->GetRenderState(spriteStates[i].first, &savedStates[i]);
        device->SetRenderState(spriteStates[i].first, spriteStates[i].second);
    }
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    // The platform's sprite helper asks for anisotropic filtering where the device
    // offers it. For sprites drawn at one texel per pixel that equals linear on
    // hardware, but on a software rasteriser (Wine over llvmpipe) it blurs them
    // and costs over half the frame: linear, as the OpenGL device samples.
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER,
                            (caps.TextureFilterCaps & D3DPTFILTERCAPS_MIPFLINEAR) ? D3DTEXF_LINEAR : D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MAXMIPLEVEL, 0);
    device->SetSamplerState(0, D3DSAMP_MIPMAPLODBIAS, 0);
    device->SetSamplerState(0, D3DSAMP_SRGBTEXTURE, 0);
    device->SetVertexShader(nullptr);
    device->SetPixelShader(nullptr);
    device->SetTransform(D3DTS_WORLDMATRIX(0), &kIdentity);
    device->SetTransform(D3DTS_VIEW, &kIdentity);
    D3DMATRIX projection;
    std::memcpy(&projection, projection16, sizeof projection);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    device->SetFVF(kSpriteVertexFormat);

    std::size_t firstSprite = 0;
    for (const SpriteRun& run : runs) {
        device->SetTexture(0, run.texture ? run.texture->texture : nullptr);
        for (std::size_t done = 0; done < run.spriteCount; done += kSpritesPerDraw) {
            const std::size_t count = std::min(kSpritesPerDraw, run.spriteCount - done);
            device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(count * 4),
                                           static_cast<UINT>(count * 2), state_->spriteIndices.data(), D3DFMT_INDEX16,
                                           &corners[(firstSprite + done) * 4], sizeof(SpriteVertex));
        }
        firstSprite += run.spriteCount;
    }

    for (std::size_t i = 0; i < std::size(spriteStates); ++i) {
        device->SetRenderState(spriteStates[i].first, savedStates[i]);
    }
    for (int slot = 0; slot < kTransformSlots; ++slot) {
        device->SetTransform(transformOfSlot(slot), &state_->transforms[slot]);
    }
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    state_->useMeshStages();
}

void D3d9Native::finish()
{
    IDirect3DQuery9* query = nullptr;
    if (FAILED(state_->device->CreateQuery(D3DQUERYTYPE_EVENT, &query))) {
        return;
    }
    query->Issue(D3DISSUE_END);
    waitFor(query);
    query->Release();
}

bool D3d9Native::readBackBuffer(std::vector<std::uint8_t>& rgba, std::string& failure)
{
    IDirect3DDevice9* device = state_->device;
    IDirect3DSurface9* target = nullptr;
    IDirect3DSurface9* copy = nullptr;
    D3DSURFACE_DESC description{};
    HRESULT result = device->GetRenderTarget(0, &target);
    if (SUCCEEDED(result)) {
        target->GetDesc(&description);
        if (description.Format != D3DFMT_X8R8G8B8 && description.Format != D3DFMT_A8R8G8B8) {
            release(target);
            failure = "the back buffer is not 32-bit (format " + std::to_string(description.Format) + ")";
            return false;
        }
        result = device->CreateOffscreenPlainSurface(description.Width, description.Height, description.Format,
                                                     D3DPOOL_SYSTEMMEM, &copy, nullptr);
    }
    if (SUCCEEDED(result)) {
        result = device->GetRenderTargetData(target, copy);
    }
    D3DLOCKED_RECT locked{};
    if (SUCCEEDED(result)) {
        result = copy->LockRect(&locked, nullptr, D3DLOCK_READONLY);
    }
    if (FAILED(result)) {
        release(copy);
        release(target);
        failure = "cannot read the back buffer back (" + hresultText(result) + ")";
        return false;
    }
    rgba.resize(static_cast<std::size_t>(description.Width) * description.Height * 4);
    for (UINT row = 0; row < description.Height; ++row) {
        const auto* bgrx = static_cast<const std::uint8_t*>(locked.pBits) + row * locked.Pitch;
        std::uint8_t* out = rgba.data() + static_cast<std::size_t>(row) * description.Width * 4;
        for (UINT column = 0; column < description.Width; ++column, bgrx += 4, out += 4) {
            out[0] = bgrx[2];
            out[1] = bgrx[1];
            out[2] = bgrx[0];
            out[3] = 0xFF;
        }
    }
    copy->UnlockRect();
    release(copy);
    release(target);
    return true;
}
