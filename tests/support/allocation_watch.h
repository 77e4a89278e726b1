// The largest single allocation through operator new since the last reset, to show that
// a count read from a file did not size an allocation. Linking this in replaces the
// global operator new and delete of the test program.
#pragma once

#include <cstddef>

void resetLargestAllocation();
size_t largestAllocation();
