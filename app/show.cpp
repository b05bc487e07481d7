#include "app/show.h"

#include "scene/background_pulse.h"
#include "scene/cube_chain.h"
#include "scene/light_camera.h"
#include "scene/scroller.h"
#include "scene/submarine.h"

ShowAssets loadShowAssets(Device& device)
{
    ShowAssets assets;
    assets.cubeMesh = createCubeMesh(device);
    assets.submarine = loadSubmarineModel(device, "submarine1_lowerpoly.x");
    assets.glyphTable = loadGlyphSet(device);
    assets.pictures = loadSpritePictures(device);
    return assets;
}

void setBlendFactors(Device& device)
{
    device.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
}

void drawFrame(Device& device, const ShowAssets& assets, const BeatClock& clock)
{
    device.Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, backgroundColour(clock.beatTime), 1.0f, 0);
    device.BeginScene();
    drawBackdropAndVinyl(device, assets.pictures, clock);
    D3DMATERIAL9 sceneMaterial;
    setLightMaterialCamera(device, clock.beatPhase, sceneMaterial);
    drawCubeChain(device, assets.cubeMesh, sceneMaterial, clock);
    drawSubmarine(device, assets.submarine, clock);
    drawScrollerLines(device, assets.glyphTable, clock.beatTime);
    device.EndScene();
    device.Present();
}
