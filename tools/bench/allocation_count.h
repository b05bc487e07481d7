// Counts the program's C++ allocations, so a benchmark or a test can show that
// a frame makes none. Linking allocation_count.cpp replaces the global
// operator new and operator delete of the whole program.
#pragma once

long allocationCount();
