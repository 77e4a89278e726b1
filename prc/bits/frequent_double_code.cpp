#include "prc/bits/frequent_double_code.h"

#include "prc/bits/prc_bit_reader.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>

namespace {

constexpr int kMaxCodeBits = 32;

} // namespace

FrequentDoubleCode::FrequentDoubleCode(std::span<const FrequentDoubleEntry> entries) : entries_(entries)
{
    // Shorter codes first, so that a code shadowed by a shorter one (or by an earlier
    // entry with the same code) is never reached, as with a lookup per prefix.
    std::vector<int32_t> order(entries.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int32_t a, int32_t b) { return entries[a].length < entries[b].length; });
    nodes_.push_back({0, 0});
    for (const int32_t index : order) {
        const FrequentDoubleEntry& entry = entries[index];
        if (entry.length < 1 || entry.length > kMaxCodeBits)
            continue;
        int32_t node = 0;
        for (int bit = entry.length - 1; bit >= 0; --bit) {
            int32_t& child = nodes_[node][(entry.code >> bit) & 1];
            if (child < 0)
                break; // a shorter code or an equal earlier one already ends here
            if (bit == 0) {
                if (child == 0)
                    child = -(index + 1);
                break;
            }
            if (child == 0) {
                child = static_cast<int32_t>(nodes_.size());
                nodes_.push_back({0, 0}); // invalidates the reference 'child'
            }
            node = nodes_[node][(entry.code >> bit) & 1];
        }
    }

    // Most codes are short: one lookup of the first bits replaces as many steps.
    shortcuts_.resize(size_t{1} << kLookupBits);
    for (uint32_t prefix = 0; prefix < shortcuts_.size(); ++prefix) {
        int32_t node = 0;
        for (int bit = kLookupBits - 1; bit >= 0; --bit) {
            const int32_t child = nodes_[node][(prefix >> bit) & 1];
            if (child <= 0) {
                shortcuts_[prefix] = {child, kLookupBits - bit};
                break;
            }
            node = child;
            if (bit == 0)
                shortcuts_[prefix] = {node, kLookupBits};
        }
    }
}

const FrequentDoubleEntry& FrequentDoubleCode::read(PRCBitReader& reader) const
{
    if (reader.hasBits(kLookupBits)) {
        const PRCBitReader::Position start = reader.position();
        const Shortcut& shortcut = shortcuts_[reader.readBits(kLookupBits)];
        if (shortcut.child < 0) {
            reader.setPosition(start);
            reader.skipBits(static_cast<uint64_t>(shortcut.bits));
            return entries_[-(shortcut.child + 1)];
        }
        if (shortcut.child > 0)
            return walk(reader, shortcut.child, kLookupBits + 1);
        reader.setPosition(start); // a dead end: the walk consumes and fails as it does
    }
    return walk(reader, 0, 1);
}

const FrequentDoubleEntry& FrequentDoubleCode::walk(PRCBitReader& reader, int32_t node, int n) const
{
    for (; n <= kMaxCodeBits; ++n) {
        const int32_t child = nodes_[node][reader.readBoolean() ? 1 : 0];
        if (child < 0)
            return entries_[-(child + 1)];
        if (child == 0) {
            // No code continues this prefix; the remaining bits are still consumed so that
            // a short section fails as a read past its end, as a prefix lookup would.
            for (; n < kMaxCodeBits; ++n)
                reader.readBoolean();
            break;
        }
        node = child;
    }
    throw std::runtime_error("PRCBitReader: no frequent-double entry matched prefix");
}

const FrequentDoubleCode& frequentDoubleCode()
{
    static const FrequentDoubleCode code(kFrequentDoubleTable);
    return code;
}
