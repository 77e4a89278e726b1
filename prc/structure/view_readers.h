// Views, scene display parameters (lights, camera, clipping planes) and the planes they
// use: read to stay in step with the tree section, nothing is kept.
#pragma once

#include "prc/bits/prc_bit_reader.h"

// Directional lights carry an intensity only in files newer than this.
inline constexpr uint32_t kPrcLastVersionWithoutLightIntensity = 8029;
// Views gained a flag in version 7309, and two flags, linked items and filters in 8016.
inline constexpr uint32_t kPrcFirstVersionWithViewFlag = 7309;
inline constexpr uint32_t kPrcFirstVersionWithViewLinks = 8016;
// Scene display parameters end with one more bit in files newer than this.
inline constexpr uint32_t kPrcLastVersionWithoutSceneTrailingBit = 8136;

void readView(PRCBitReader& reader);
void readSceneDisplayParameters(PRCBitReader& reader);
void readSurfacePlane(PRCBitReader& reader);
