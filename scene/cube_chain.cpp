#include "scene/cube_chain.h"

void drawCubeChain(Device&, const Mesh*, D3DMATERIAL9&, const BeatClock&) {}
