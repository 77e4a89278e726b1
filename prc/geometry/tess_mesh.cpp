#include "prc/geometry/tess_mesh.h"

#include <cstddef>

TessMesh meshWithDefaultColour(const std::vector<double>& coordinates, const uint8_t* defaultRgb)
{
    TessMesh mesh;
    mesh.vertices.reserve(coordinates.size());
    for (const double c : coordinates)
        mesh.vertices.push_back(static_cast<float>(c));
    mesh.colours.assign(mesh.vertices.size(), 255);
    if (defaultRgb != nullptr)
        for (std::size_t i = 0; i + 3 <= mesh.colours.size(); i += 3)
            mesh.colours[i] = defaultRgb[0], mesh.colours[i + 1] = defaultRgb[1], mesh.colours[i + 2] = defaultRgb[2];
    return mesh;
}
