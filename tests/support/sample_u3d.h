// The U3D model of the bundled sample PDF, built with the test writer: a picture
// frame with a checked, textured board, a line-set border, two pegs sharing one
// mesh, a view and a light.
#pragma once

#include "tests/support/u3d_block_writer.h"

U3dBytes sampleFrameU3d();
