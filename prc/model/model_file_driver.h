// Decoding of one whole PRC file into the mesh that marlin_scan sends.
#pragma once

#include "runtime/input_file.h"
#include "runtime/result_stream.h"

#include <cstdint>

// The decoded model handed to the worker entry. Every array is malloc'ed and owned
// by the entry; vertices are x, y, z floats, triangles three vertex numbers, colours
// R, G, B per vertex.
struct PrcModelResult {
    float* vertices;
    uint32_t* triangles;
    uint8_t* colours;
    uint32_t vertexCount;
    uint32_t triangleCount;
    NodeRecord* nodes;
    uint32_t nodeCount;
    float defaultView[9];
    uint32_t hasDefaultView;
    uint32_t minimalVersionForRead;
    uint32_t authoringVersion;
    uint32_t fileStructureCount;
    uint32_t colourTotal;
    uint32_t materialTotal;
    uint32_t styleTotal;
    // 0: no data, or memory ran out building the output; 1: no triangle; 2: undecodable.
    uint32_t status;
};

// Status values of a failed decode.
constexpr uint32_t kPrcStatusNoData = 0;
constexpr uint32_t kPrcStatusNoTriangle = 1;
constexpr uint32_t kPrcStatusUndecodable = 2;

// True when result holds a mesh; false with result.status set otherwise.
bool decodeModelFile(const uint8_t* data, uint32_t size, PrcModelResult& result);
// The same for the worker's input file, whose pages it lets go once every file structure
// is loaded: the rest of the decode reads little of it, and that comes back from the file.
bool decodeInputFile(const InputBytes& input, PrcModelResult& result);

struct AssemblyLimits;
// The same with other assembly limits, so that tests reach them with small models.
bool decodeModelFileWithLimits(const uint8_t* data, uint32_t size, const AssemblyLimits& limits,
                               PrcModelResult& result);
