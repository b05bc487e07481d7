#include "scene/light_camera.h"

void setLightMaterialCamera(Device&, double, D3DMATERIAL9& sceneMaterial)
{
    sceneMaterial = {};
}
