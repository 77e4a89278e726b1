// The heron_scan entry: library folder, command line, input file, scene load, result
// stream, exit.
#pragma once

#include "runtime/input_file.h"
#include "runtime/result_stream.h"
#include "u3d/u3d_model.h"

#include <cstdint>

// The loader may give the input back once it no longer needs it.
using LoadU3dSceneFn = bool (*)(InputBytes& input, const char* documentFolder, U3dModel* model, char** error);

// Runs the worker. Refusals before loading return the exit code for main to return;
// once a load has run, the stream is written and the process ends here.
int runHeronScan(int argc, char** argv, LoadU3dSceneFn load);

// Writes the stream of a finished load: the header and the arrays, or the header and
// the message (the size-limit message replaces the model when it is too large). True
// when every write succeeded.
bool writeU3dResultStream(bool loaded, const U3dModel& model, const char* message, StreamWriter& out);

// The size-limit message for a model of so many vertices and triangles.
char* modelTooLargeMessage(uint32_t vertexCount, uint32_t triangleCount);
