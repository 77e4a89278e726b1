// Turning a PRC style index into an RGB colour through the globals' tables.
#pragma once

#include "prc/structure/globals_data.h"

#include <cstdint>

// Writes the style's colour into rgb and returns true; otherwise rgb holds the default
// colour (white when defaultRgb is null) and the result is false.
bool resolveStyleColor(const GlobalsData& globals, uint32_t styleIndex, const uint8_t* defaultRgb,
                       uint8_t rgb[3]);

// A colour component as a byte: negative gives 0, otherwise min(c, 1) * 255 rounded.
uint8_t colourComponentToByte(double c);
