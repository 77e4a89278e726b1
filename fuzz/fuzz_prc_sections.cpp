// PRC section readers fed inflated section bytes directly (mutating zlib streams
// wastes the fuzzer's time). The first byte chooses the reader and the authoring
// version; the rest is the section. A tessellation section is also read as it
// arrives, which must come out as read whole.
#include "prc/bits/prc_bit_reader.h"
#include "prc/geometry/compressed_tess_data.h"
#include "prc/geometry/tessellation_reader.h"
#include "prc/structure/globals_reader.h"
#include "prc/structure/product_tree.h"
#include "tests/support/trickled_section.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace {

struct TessellationSection {
    std::vector<PRC3DTess> plain;
    std::vector<PRC3DTessCompressed> compressed;
    std::vector<TessEntry> entries;

    bool operator==(const TessellationSection& other) const
    {
        return sameRecords(plain, other.plain) && sameRecords(compressed, other.compressed) &&
               sameRecords(entries, other.entries);
    }
};

// Read whole, or as it arrives; a failure of the section's header is thrown.
TessellationSection readTessellations(const uint8_t* section, size_t length, uint32_t version, bool arriving)
{
    TessellationSection read;
    if (!arriving) {
        read.plain = readFileStructureTessellation(section, length, version, read.compressed, &read.entries);
        return read;
    }
    TrickledSection source(section, length);
    PRCBitReader reader(nullptr, 0, version, &source);
    read.plain = readFileStructureTessellation(reader, read.compressed, &read.entries,
                                               [&](size_t bytesRead) { source.spoilUpTo(bytesRead); });
    return read;
}

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
            const auto attempt = [&](bool arriving, TessellationSection& read) {
                try {
                    read = readTessellations(section, length, version, arriving);
                    return true;
                } catch (const std::runtime_error&) {
                    return false;
                }
            };
            TessellationSection whole, arriving;
            const bool wholeRead = attempt(false, whole);
            const bool arrivingRead = attempt(true, arriving);
            if (wholeRead != arrivingRead || !(whole == arriving))
                __builtin_trap(); // a section read as it arrives reads as the whole one
            if (whole.entries.size() < whole.plain.size() + whole.compressed.size())
                __builtin_trap(); // every kept tessellation has its entry
            break;
        }
        }
    } catch (const std::runtime_error&) {
        // Malformed sections are expected; only crashes, hangs and leaks are findings.
    }
    return 0;
}
