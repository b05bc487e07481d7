// The 3D state of a frame: a directional light that flashes on every beat,
// the render states of the lit passes, and the camera. Clears sceneMaterial.
#pragma once

#include "app/device.h"

void setLightMaterialCamera(Device& device, double beatPhase, D3DMATERIAL9& sceneMaterial);
