// Plain tessellation records as read from a tessellation section, and the small mesh
// they convert to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct PRCTessFace {
    uint32_t used_entities_flag = 0;
    uint32_t start_triangulated = 0; // first slot of the face in triangulated_index
    std::vector<uint32_t> line_attributes; // style indices, file value minus 1 (0xFFFFFFFF none)
    std::vector<uint32_t> sizes_triangulated;
    bool has_vertex_colors = false;
    bool is_rgba = false;
    std::vector<uint8_t> rgba_vertices; // 3 or 4 bytes per colour entry
    // Set by resolveFaceVertices: the face's vertices in PRC3DTess::face_vertices. Those
    // its slots hold come first; the conversion ends at the first vertex past them.
    uint64_t first_vertex = 0;
    uint64_t vertex_count = 0;

    bool operator==(const PRCTessFace& other) const = default;
};

// Point numbers, two bytes each when every one fits.
struct PointList {
    std::vector<uint16_t> narrow;
    std::vector<uint32_t> wide;

    std::size_t size() const { return narrow.size() + wide.size(); }
    uint32_t operator[](std::size_t i) const { return wide.empty() ? narrow[i] : wide[i]; }
    bool operator==(const PointList& other) const = default;
};

struct PRC3DTess {
    std::vector<double> coordinates; // x, y, z per point
    // As stored: per vertex, a normal slot (unless the normals are recalculated), a
    // texture slot (textured faces) and a slot naming the point (three times its number).
    // resolveFaceVertices keeps only the points, in face_vertices, and empties it.
    std::vector<uint32_t> triangulated_index;
    PointList face_vertices;
    uint64_t index_slots = 0;            // the size triangulated_index had
    std::vector<PRCTessFace> face_tessellation;
    double crease_angle = 0;
    bool must_recalculate_normals = true;
};

enum TessKind : int32_t { kTessNone = 0, kTessPlain = 1, kTessCompressed = 2 };

// One per tessellation of a section, in file order; representation items name a
// tessellation by its position here.
struct TessEntry {
    TessKind kind = kTessNone;
    int64_t index = 0; // into the plain or the compressed list
};

// A converted tessellation: colours hold one byte per vertex coordinate (R, G, B per
// vertex), always as many bytes as vertices has floats.
struct TessMesh {
    std::vector<float> vertices;
    std::vector<uint32_t> triangles;
    std::vector<uint8_t> colours;
};
