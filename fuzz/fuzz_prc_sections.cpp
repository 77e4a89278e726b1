// PRC section readers fed inflated section bytes directly (mutating zlib streams
// wastes the fuzzer's time). The first byte chooses the reader and the authoring
// version; the rest is the section. A tessellation section is also read as it
// arrives, which must come out as read whole.
#include "prc/bits/prc_bit_reader.h"
#include "prc/geometry/compressed_tess_data.h"
#include "prc/geometry/tessellation_reader.h"
#include "prc/structure/globals_reader.h"
#include "prc/structure/product_tree.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace {

// No more of the section than the reader asks for, moved whenever it grows past its room
// (so that a reader keeping an old pointer reads freed memory), with the bytes the
// reader reported read spoiled.
class ArrivingSection final : public PRCSectionSource {
public:
    ArrivingSection(const uint8_t* section, size_t length) : section_(section), length_(length) {}
    Bytes extend(uint64_t end) override
    {
        const size_t size = static_cast<size_t>(std::min<uint64_t>(std::max<uint64_t>(end, given_.size()), length_));
        if (size > given_.capacity()) {
            std::vector<uint8_t> moved;
            moved.reserve(std::max(size, 2 * given_.capacity()));
            moved.assign(given_.begin(), given_.end());
            given_.swap(moved);
        }
        given_.insert(given_.end(), section_ + given_.size(), section_ + size);
        spoilUpTo(read_);
        return {given_.data(), given_.size()};
    }
    void spoilUpTo(size_t read)
    {
        read_ = read;
        const size_t to = std::min(read, given_.size());
        if (to > spoiled_)
            std::fill(given_.begin() + static_cast<ptrdiff_t>(spoiled_), given_.begin() + static_cast<ptrdiff_t>(to),
                      uint8_t{0xA5});
        spoiled_ = std::max(spoiled_, to);
    }

private:
    const uint8_t* section_;
    size_t length_;
    std::vector<uint8_t> given_;
    size_t read_ = 0;
    size_t spoiled_ = 0;
};

struct TessellationSection {
    std::vector<PRC3DTess> plain;
    std::vector<PRC3DTessCompressed> compressed;
    std::vector<TessEntry> entries;

    bool operator==(const TessellationSection& other) const
    {
        const auto sameEntry = [](const TessEntry& a, const TessEntry& b) {
            return a.kind == b.kind && a.index == b.index;
        };
        return std::equal(plain.begin(), plain.end(), other.plain.begin(), other.plain.end(), samePlain) &&
               std::equal(compressed.begin(), compressed.end(), other.compressed.begin(), other.compressed.end(),
                          sameCompressed) &&
               std::equal(entries.begin(), entries.end(), other.entries.begin(), other.entries.end(), sameEntry);
    }

    // Floating values by their bits: the same NaN read twice is the same.
    template <typename T>
    static bool sameBits(const T& a, const T& b)
    {
        return std::memcmp(&a, &b, sizeof a) == 0;
    }
    static bool samePlain(const PRC3DTess& a, const PRC3DTess& b)
    {
        return a.coordinates.size() == b.coordinates.size() &&
               std::equal(a.coordinates.begin(), a.coordinates.end(), b.coordinates.begin(), sameBits<double>) &&
               a.triangulated_index == b.triangulated_index && a.face_vertices == b.face_vertices &&
               a.index_slots == b.index_slots && a.face_tessellation == b.face_tessellation &&
               sameBits(a.crease_angle, b.crease_angle) && a.must_recalculate_normals == b.must_recalculate_normals;
    }
    static bool sameCompressed(PRC3DTessCompressed a, PRC3DTessCompressed b)
    {
        if (!sameBits(a.tolerance, b.tolerance) || !sameBits(a.reversalDouble, b.reversalDouble) ||
            !sameBits(a.origin, b.origin))
            return false;
        a.tolerance = b.tolerance = a.reversalDouble = b.reversalDouble = 0;
        std::fill(std::begin(a.origin), std::end(a.origin), 0.0F);
        std::fill(std::begin(b.origin), std::end(b.origin), 0.0F);
        return a == b;
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
    ArrivingSection source(section, length);
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
