// Compressed tessellation records as they come out of a section: read, rebuilt and
// coloured. Any content must decode or fail with a runtime error, and a decoded mesh
// must only name vertices it holds. The first byte chooses the authoring version (the
// origin is present above 7030); the rest is the record's bit stream.
#include "prc/bits/prc_bit_reader.h"
#include "prc/geometry/compressed_tess_mesh.h"
#include "prc/geometry/compressed_tess_reader.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint32_t version = (data[0] & 1) ? 8137 : 7030;
    GlobalsData globals;
    globals.colours = {{1, 0, 0}, {0, 1, 0}};
    globals.styles = {{1, false, 0}, {1, false, 1}};
    try {
        PRCBitReader reader(data + 1, size - 1, version);
        const PRC3DTessCompressed record = readPRC3DTessCompressed(reader, version);
        const uint8_t grey[3] = {128, 128, 128};
        const TessMesh mesh = compressedTessToMesh(record, globals, (data[0] & 2) ? grey : nullptr);
        if (mesh.colours.size() != mesh.vertices.size())
            __builtin_trap();
        for (const uint32_t v : mesh.triangles)
            if (3 * uint64_t{v} + 3 > mesh.vertices.size())
                __builtin_trap();
    } catch (const std::runtime_error&) {
    }
    return 0;
}
