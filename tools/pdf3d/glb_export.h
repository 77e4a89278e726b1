// A result stream as glTF 2.0 binary: node records as nodes, triangle, point and line
// ranges as primitives over one shared vertex array, colours in linear space.
#pragma once

#include "tools/result_stream_reader.h"

#include <string>

// Writes the GLB; false with a reason in error.
bool writeGlb(const ParsedResultStream& stream, const std::string& path, std::string& error);
