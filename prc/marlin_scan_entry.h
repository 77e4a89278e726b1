// The marlin_scan entry: command line, input file, decode, result stream, exit.
#pragma once

#include "prc/model/model_file_driver.h"

using DecodeInputFileFn = bool (*)(const InputBytes& input, PrcModelResult& result);

// Runs the worker. Refusals before decoding return the exit code for main to return;
// once a decode has run, the stream is written and the process ends here.
int runMarlinScan(int argc, char** argv, DecodeInputFileFn decode);

// Writes the stream of a finished decode (header, then the arrays or the size-limit
// message); true when every write succeeded.
bool writePrcResultStream(bool decoded, const PrcModelResult& result, StreamWriter& out);
