#include "scene/submarine.h"

void drawSubmarine(Device&, const SubmarineModel&, const BeatClock&) {}
