// Reads a result stream back into records and checks it for consistency: every
// length, every vertex number, every node range. Used by tests, tools and fuzzers;
// never linked into the workers.
#pragma once

#include "runtime/result_stream.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ParsedResultStream {
    StreamForm form = StreamForm::Prc;
    PrcResultHeader prcHeader{};
    U3dResultHeader u3dHeader{};
    bool ok = false;
    std::string message;

    std::vector<float> vertices;   // x, y, z
    std::vector<uint32_t> triangles;
    std::vector<uint8_t> colours;  // R, G, B
    std::vector<uint32_t> points;
    std::vector<uint32_t> lines;   // pairs
    bool hasDefaultView = false;
    float defaultView[9] = {};
    std::vector<float> textureCoordinates; // u, v
    std::vector<uint8_t> texturePixels;    // RGBA
    std::vector<NodeRecord> nodes;
    std::vector<ViewRecord> views;
    std::vector<float> normals;
    std::vector<uint16_t> vertexMaterials;
    std::vector<MaterialRecord> materials;
    std::vector<LightRecord> lights;

    uint32_t vertexCount() const { return static_cast<uint32_t>(vertices.size() / 3); }
    uint32_t triangleCount() const { return static_cast<uint32_t>(triangles.size() / 3); }
};

// Parses the whole stream. False, with the first inconsistency found in error, when
// the stream is malformed: wrong lengths, trailing bytes, an index outside its array,
// a node range outside the triangles, points or lines, a bad node table.
bool parseResultStream(StreamForm form, const uint8_t* data, size_t size, ParsedResultStream& out,
                       std::string& error);

// Reads a whole stream file, or standard input for "-" (set it to binary first where
// that matters). False when the file cannot be opened or read.
bool readStreamFile(const char* path, std::vector<uint8_t>& bytes);
