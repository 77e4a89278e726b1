// The tables of a file structure's globals section that colouring and placing need.
#pragma once

#include "prc/structure/matrix4d.h"

#include <cstdint>
#include <vector>

struct Colour {
    double r = 0, g = 0, b = 0; // as read, nominally 0 to 1
};

// One per material or texture application, in file order. Colour indices are the file
// value minus 1: -1 when absent.
struct MaterialData {
    int64_t ambient = -1;
    int64_t diffuse = -1;
    int64_t emissive = -1;
    int64_t specular = -1;
    double shininess = 0;
    double ambient_alpha = 1;
    double diffuse_alpha = 1;
    double emissive_alpha = 1;
    double specular_alpha = 1;
};

// One per style (line style index). The index is the file value minus 1, all ones when
// absent; it names a material when isMaterial, else a colour.
struct StyleData {
    double lineWidth = 0;
    bool isMaterial = false;
    uint64_t colourOrMaterialIndex = UINT64_MAX;
};

struct GlobalsData {
    std::vector<uint32_t> schemaTypes;
    std::vector<Colour> colours;
    std::vector<MaterialData> materials;
    std::vector<StyleData> styles;
    std::vector<Matrix4d> coordinateSystems; // index = index_local_coordinate_system
};
