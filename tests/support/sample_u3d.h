// The U3D model of the bundled sample PDF, built with the test writer: a picture
// frame with a checked, textured board, a line-set border, two pegs sharing one
// mesh, a view and a light.
#pragma once

#include <cstdint>
#include <vector>

// Kept free of the writer's headers: the PDF generator includes it, and qpdf's
// headers build as C++17 only with clang 14.
std::vector<uint8_t> sampleFrameU3d();
