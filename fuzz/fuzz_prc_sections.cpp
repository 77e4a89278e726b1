// PRC section readers fed inflated section bytes directly (mutating zlib streams
// wastes the fuzzer's time). The first byte chooses the reader and the authoring
// version; the rest is the section.
#include "prc/bits/prc_bit_reader.h"
#include "prc/geometry/compressed_tess_data.h"
#include "prc/geometry/tessellation_reader.h"
#include "prc/structure/globals_reader.h"
#include "prc/structure/product_tree.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace {

// Versions on both sides of every gate the readers know.
constexpr uint32_t kVersions[] = {7030, 7031, 7038, 7039, 7046, 7047, 7094, 7309, 8016,
                                  8029, 8030, 8136, 8137, 8138, 15083, 0xFFFFFFFFu};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t selector = data[0];
    const uint32_t version = kVersions[(selector >> 2) % std::size(kVersions)];
    const uint8_t* section = data + 1;
    const size_t length = size - 1;
    try {
        PRCBitReader reader(section, length, version);
        switch (selector & 3) {
        case 0:
            readFileStructureGlobals(reader);
            break;
        case 1:
            readFileStructureTree(reader);
            break;
        default: {
            std::vector<PRC3DTessCompressed> compressed;
            std::vector<TessEntry> entries;
            const auto plain = readFileStructureTessellation(section, length, version, compressed, &entries);
            if (entries.size() < plain.size() + compressed.size())
                __builtin_trap(); // every kept tessellation has its entry
            break;
        }
        }
    } catch (const std::runtime_error&) {
        // Malformed sections are expected; only crashes, hangs and leaks are findings.
    }
    return 0;
}
