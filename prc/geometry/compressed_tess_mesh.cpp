#include "prc/geometry/compressed_tess_mesh.h"

#include "prc/geometry/compressed_tess_decoder.h"
#include "prc/geometry/style_color.h"
#include "prc/geometry/tess_mesh.h"

#include <algorithm>
#include <stdexcept>
#include <unordered_map>
#include <utility>

namespace {

// Ambiguous decisions of the retry run that are tried one by one, forced, earliest first.
constexpr size_t kMaxForcedRetries = 8;
// A run that fails has lost its place in the streams somewhere before its error (a
// reference past a point's normals is found at once, other slips only later), so only
// what it made before any doubt is kept. Nothing kept: the error.
CompressedTessDecoding keptBeforeFailure(CompressedTessRun& run)
{
    const uint64_t kept = trianglesBeforeDoubt(run);
    if (kept == 0)
        throw std::runtime_error(run.error);
    run.result.triangles.resize(3 * kept);
    return std::move(run.result);
}

} // namespace

CompressedTessDecoding buildCompressedTessMesh(const PRC3DTessCompressed& record)
{
    if (record.triangle_face_array.empty() || record.point_array.size() / 3 == 0)
        return {};

    // A first run that ends is taken as it is; only a failed one gives reason to doubt
    // its geometric decisions.
    CompressedTessRun first = runCompressedTessDecoding(record, kTessFrameAsGiven, kNoForcedDecision);
    if (first.error.empty())
        return std::move(first.result);

    CompressedTessRun retry = runCompressedTessDecoding(record, kTessFrameNormalised, kNoForcedDecision);
    if (retry.error.empty() && compressedTessRunIsComplete(record, retry.result))
        return std::move(retry.result);
    std::vector<uint64_t>& forcedIds = retry.ambiguousIds;
    std::sort(forcedIds.begin(), forcedIds.end());
    const size_t forcedCount = std::min(forcedIds.size(), kMaxForcedRetries);
    for (size_t i = 0; i < forcedCount; ++i) {
        CompressedTessRun forced =
            runCompressedTessDecoding(record, kTessFrameNormalised, static_cast<int64_t>(forcedIds[i]));
        if (forced.error.empty() && compressedTessRunIsComplete(record, forced.result))
            return std::move(forced.result);
    }
    return keptBeforeFailure(first);
}

namespace {

uint32_t packRgb(const uint8_t rgb[3]) { return uint32_t{rgb[0]} << 16 | uint32_t{rgb[1]} << 8 | rgb[2]; }

void writeRgb(std::vector<uint8_t>& colours, uint64_t vertex, uint32_t rgb)
{
    colours[3 * vertex] = static_cast<uint8_t>(rgb >> 16);
    colours[3 * vertex + 1] = static_cast<uint8_t>(rgb >> 8);
    colours[3 * vertex + 2] = static_cast<uint8_t>(rgb);
}

// Colours every triangle by its face style (or its own, per triangle). Points are shared
// across faces, so a point whose triangles differ in colour is copied once per further
// colour: otherwise the last face written would bleed into its neighbours.
void colourByFaceStyles(TessMesh& mesh, const PRC3DTessCompressed& record, const GlobalsData& globals,
                        const uint8_t* defaultRgb)
{
    constexpr uint32_t kUncoloured = 0xFFFFFFFFu;
    const uint8_t white[3] = {255, 255, 255};
    const uint32_t baseRgb = packRgb(defaultRgb ? defaultRgb : white);
    const uint64_t pointCount = mesh.vertices.size() / 3;
    std::vector<uint32_t> pointRgb(pointCount, kUncoloured);
    std::unordered_map<uint64_t, uint32_t> copies; // (point, colour) to the copy's vertex

    // Faces share styles across many triangles: each entry is resolved once.
    std::vector<uint32_t> entryRgb(record.face_style_array.size(), kUncoloured);
    for (uint64_t t = 0; 3 * t + 2 < mesh.triangles.size(); ++t) {
        const uint64_t face = record.perTriangleStyles ? t : record.triangle_face_array[t];
        uint32_t rgb = baseRgb;
        if (face < record.face_style_array.size()) {
            if (entryRgb[face] == kUncoloured) {
                entryRgb[face] = baseRgb;
                const auto style = static_cast<int16_t>(record.face_style_array[face]);
                if (style >= 1) {
                    uint8_t resolved[3];
                    resolveStyleColor(globals, static_cast<uint32_t>(style - 1), defaultRgb, resolved);
                    entryRgb[face] = packRgb(resolved);
                }
            }
            rgb = entryRgb[face];
        }
        for (uint64_t corner = 3 * t; corner < 3 * t + 3; ++corner) {
            const uint32_t point = mesh.triangles[corner];
            if (point >= pointCount)
                continue;
            if (pointRgb[point] == kUncoloured) {
                pointRgb[point] = rgb;
                writeRgb(mesh.colours, point, rgb);
                continue;
            }
            const uint64_t vertexCount = mesh.vertices.size() / 3;
            if (pointRgb[point] == rgb || vertexCount >= UINT32_MAX)
                continue;
            const auto [copy, added] = copies.try_emplace(uint64_t{point} << 24 | rgb, static_cast<uint32_t>(vertexCount));
            if (added) {
                for (int axis = 0; axis < 3; ++axis)
                    mesh.vertices.push_back(mesh.vertices[3 * uint64_t{point} + axis]);
                mesh.colours.resize(mesh.vertices.size());
                writeRgb(mesh.colours, vertexCount, rgb);
            }
            mesh.triangles[corner] = copy->second;
        }
    }
}

TessMesh meshOfDecoding(CompressedTessDecoding&& decoding, const PRC3DTessCompressed& record,
                        const GlobalsData& globals, const uint8_t* defaultRgb)
{
    TessMesh mesh = meshWithDefaultColour(decoding.vertices, defaultRgb);
    decoding.vertices = {};
    mesh.triangles = std::move(decoding.triangles);
    if (!record.face_style_array.empty() && !record.triangle_face_array.empty())
        colourByFaceStyles(mesh, record, globals, defaultRgb);
    return mesh;
}

} // namespace

TessMesh compressedTessToMesh(const PRC3DTessCompressed& record, const GlobalsData& globals, const uint8_t* defaultRgb)
{
    return meshOfDecoding(buildCompressedTessMesh(record), record, globals, defaultRgb);
}

TessMesh compressedTessToMesh(PRC3DTessCompressed&& record, const GlobalsData& globals, const uint8_t* defaultRgb)
{
    CompressedTessDecoding decoding = buildCompressedTessMesh(record);
    PRC3DTessCompressed styles; // what the colouring reads
    styles.perTriangleStyles = record.perTriangleStyles;
    styles.face_style_array = std::move(record.face_style_array);
    if (!styles.face_style_array.empty())
        styles.triangle_face_array = std::move(record.triangle_face_array);
    record = PRC3DTessCompressed{};
    return meshOfDecoding(std::move(decoding), styles, globals, defaultRgb);
}
