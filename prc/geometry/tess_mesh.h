// The start both mesh conversions share: points as floats, each coloured by default.
#pragma once

#include "prc/geometry/tessellation_data.h"

#include <vector>

// Vertices from x, y, z coordinates; every vertex gets defaultRgb, or white when null.
TessMesh meshWithDefaultColour(const std::vector<double>& coordinates, const uint8_t* defaultRgb);
