#include "prc/model/tess_conversion.h"

#include "prc/geometry/compressed_tess_mesh.h"
#include "prc/geometry/face_triangles.h"

#include <optional>
#include <stdexcept>
#include <utility>

namespace {

// The record's place in the list of its kind, when the entry names one there.
std::optional<size_t> recordIndex(const FileStructureData& fileStructure, uint64_t tessellation, TessKind kind)
{
    const TessEntry& entry = fileStructure.tessEntries[tessellation];
    const size_t listSize = kind == kTessPlain ? fileStructure.plainTessellations.size()
                                               : fileStructure.compressedTessellations.size();
    if (entry.kind != kind || entry.index < 0 || static_cast<uint64_t>(entry.index) >= listSize)
        return std::nullopt;
    return static_cast<size_t>(entry.index);
}

} // namespace

uint64_t conversionSteps(const FileStructureData& fileStructure, uint64_t tessellation)
{
    if (const auto plain = recordIndex(fileStructure, tessellation, kTessPlain)) {
        const PRC3DTess& record = fileStructure.plainTessellations[*plain];
        return record.coordinates.size() + record.index_slots;
    }
    if (const auto compressed = recordIndex(fileStructure, tessellation, kTessCompressed)) {
        const PRC3DTessCompressed& record = fileStructure.compressedTessellations[*compressed];
        return record.point_array.size() + record.triangle_face_array.size();
    }
    return 0;
}

TessMesh convertTessellation(FileStructureData& fileStructure, uint64_t tessellation, uint32_t colour, bool useUp)
{
    const uint8_t rgb[3] = {static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
                            static_cast<uint8_t>(colour)};
    const uint8_t* defaultRgb = colour != 0 ? rgb : nullptr;
    const GlobalsData& globals = fileStructure.globals;
    try {
        if (const auto plain = recordIndex(fileStructure, tessellation, kTessPlain))
            return appendFaceTriangles(fileStructure.plainTessellations[*plain], globals, defaultRgb);
        if (const auto compressed = recordIndex(fileStructure, tessellation, kTessCompressed)) {
            PRC3DTessCompressed& record = fileStructure.compressedTessellations[*compressed];
            return useUp ? compressedTessToMesh(std::move(record), globals, defaultRgb)
                         : compressedTessToMesh(std::as_const(record), globals, defaultRgb);
        }
    } catch (const std::runtime_error&) {
    }
    return {};
}

void releaseTessellation(FileStructureData& fileStructure, uint64_t tessellation)
{
    if (const auto plain = recordIndex(fileStructure, tessellation, kTessPlain))
        fileStructure.plainTessellations[*plain] = PRC3DTess{};
    else if (const auto compressed = recordIndex(fileStructure, tessellation, kTessCompressed))
        fileStructure.compressedTessellations[*compressed] = PRC3DTessCompressed{};
    fileStructure.tessellationsReleased = true;
}
