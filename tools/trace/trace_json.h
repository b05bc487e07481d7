// The trace's JSON spelling of recorded device calls: one object per call,
// {"call":"<method>", then the arguments in the method's order}. Floats have
// 9 significant digits, so a float reads back exactly; colours are strings
// "0xAARRGGBB"; matrices are 16 numbers row by row.
#pragma once

#include <string>

#include "core/recording_device.h"

std::string jsonFloat(double value);

// A call made at start-up, before the first frame, carries "startup":true as its last member.
std::string callJson(const DeviceCall& call, bool atStartUp);
