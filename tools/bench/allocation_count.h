// Counts the program's C++ allocations, so a benchmark can show that a frame makes none.
#pragma once

long allocationCount();
