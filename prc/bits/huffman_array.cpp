#include "prc/bits/huffman_array.h"

#include "prc/bits/prc_bit_reader.h"

#include <algorithm>
#include <bit>
#include <stdexcept>
#include <string>

namespace {

constexpr uint32_t kWordBits = 32;
constexpr uint32_t kDefaultLengthFieldBits = 8;
constexpr uint32_t kMaxCodeLengthFieldBits = 8;
constexpr uint32_t kElementCountBits = 32;
// A direct lookup table is built for codes of up to this many bits, and only when it is
// not much larger than the element data it decodes.
constexpr uint32_t kMaxDirectLookupBits = 11;
constexpr uint64_t kDirectLookupSlotsPerElement = 4;

uint64_t tableKey(uint32_t length, uint32_t code)
{
    return static_cast<uint64_t>(length) << 32 | code;
}

struct HuffmanSlot {
    uint32_t value = 0;
    uint32_t length = 0; // 0: no code of the table's width is a prefix here
};

struct TableRun {
    const uint8_t* data;
    uint64_t byteCount;
    uint64_t bitCount;
    const HuffmanSlot* slots;
    uint32_t lookupBits;
};

// Decodes elements by table lookups while the next lookup lies wholly within the field
// and finds a code, keeping the next bits in a register refilled a word at a time where
// eight bytes remain. Returns the position after them.
uint64_t decodeByTable(const TableRun& run, uint64_t position, uint32_t* out, uint32_t& produced, uint32_t limit)
{
    const uint64_t slotMask = (uint64_t{1} << run.lookupBits) - 1;
    uint64_t buffer = 0;   // bits from position on, the next one lowest
    uint32_t buffered = 0; // how many of them are valid
    while (produced < limit && run.bitCount - position >= run.lookupBits) {
        if (buffered < run.lookupBits) {
            if (position / 8 + sizeof(uint64_t) > run.byteCount)
                break;
            buffer = littleEndianWord(run.data + position / 8) >> (position % 8);
            buffered = static_cast<uint32_t>(64 - position % 8);
        }
        const HuffmanSlot slot = run.slots[buffer & slotMask];
        if (slot.length == 0)
            break;
        out[produced++] = slot.value;
        position += slot.length;
        buffer >>= slot.length;
        buffered -= slot.length;
    }
    return position;
}

struct HuffmanScratch {
    std::vector<uint8_t> bytes;
    std::vector<std::pair<uint64_t, uint32_t>> table;
    std::vector<HuffmanSlot> slots;
};
thread_local HuffmanScratch scratch;

// Working memory above this is given back once an array is read, so that one large
// array does not hold memory through the rest of the file.
constexpr size_t kMaxRetainedScratchBytes = size_t{1} << 20;

struct ScratchRelease {
    ScratchRelease() = default;
    ScratchRelease(const ScratchRelease&) = delete;
    ScratchRelease& operator=(const ScratchRelease&) = delete;
    ~ScratchRelease()
    {
        if (scratch.bytes.capacity() > kMaxRetainedScratchBytes)
            std::vector<uint8_t>().swap(scratch.bytes);
        if (scratch.table.capacity() * sizeof(scratch.table[0]) > kMaxRetainedScratchBytes)
            std::vector<std::pair<uint64_t, uint32_t>>().swap(scratch.table);
    }
};

} // namespace

std::vector<uint32_t> readHuffmanCompressedArray(PRCBitReader& reader, uint8_t numBitsPerElem, bool signedValues,
                                                 const HuffmanOptions& options)
{
    const uint32_t wordCount = reader.readUnsignedInteger();
    if (wordCount == 0)
        return {};
    if (wordCount > kMaxHuffmanArraySize)
        throw std::runtime_error("readHuffmanCompressedArray: implausible huffman_array_size");

    // Records hold many small arrays: their working memory is reused, not reallocated.
    std::vector<uint8_t>& bytes = scratch.bytes;
    bytes.clear();
    const ScratchRelease release;
    uint64_t bitCount = 0;
    if (options.rawWords) {
        bytes.reserve(reader.bitsLeftUpTo(uint64_t{kWordBits} * wordCount) / 8);
        for (uint32_t i = 0; i < wordCount; ++i) {
            const uint32_t word = reader.readBits(32); // its bytes in the order they are stored
            for (int shift = 24; shift >= 0; shift -= 8)
                bytes.push_back(static_cast<uint8_t>(word >> shift));
        }
        const uint32_t usedInLast = reader.readUnsignedInteger();
        if (usedInLast > kWordBits)
            throw std::runtime_error("readHuffmanCompressedArray: number_of_bits_used_in_last_integer=" +
                                     std::to_string(usedInLast) +
                                     " out of range (huffman_array_size=" + std::to_string(wordCount) + ")");
        bitCount = uint64_t{kWordBits} * (wordCount - 1) + usedInLast;
    } else {
        // Each UnsignedInteger takes at least one bit.
        bytes.reserve(uint64_t{4} * reader.bitsLeftUpTo(wordCount));
        for (uint32_t i = 0; i < wordCount; ++i) {
            const uint32_t word = reader.readUnsignedInteger();
            for (int shift = 0; shift < 32; shift += 8)
                bytes.push_back(static_cast<uint8_t>(word >> shift));
        }
        bitCount = uint64_t{kWordBits} * wordCount;
    }
    LsbBitFieldReader field(bytes.data(), bitCount);
    return decodeHuffmanBitField(field, numBitsPerElem, signedValues, options);
}

std::vector<uint32_t> decodeHuffmanBitField(LsbBitFieldReader& field, uint8_t numBitsPerElem, bool signedValues,
                                            const HuffmanOptions& options)
{
    const uint32_t valueBits = numBitsPerElem;
    const uint32_t entryCount = field.readBits(valueBits + 1);
    if (entryCount == 0)
        return {};
    const uint32_t maxCodeLength = field.readBits(kMaxCodeLengthFieldBits);
    if (maxCodeLength == 0 || maxCodeLength > kMaxHuffmanCodeLength)
        throw std::runtime_error("decodeHuffmanBitField: max_code_length out of range");
    const uint32_t lengthBits = options.lengthFieldsUseMaxCodeLength ? maxCodeLength : kDefaultLengthFieldBits;

    // Every entry takes at least this many bits, which bounds the table by the field.
    const uint64_t minimalEntryBits = valueBits + lengthBits + 1;
    std::vector<std::pair<uint64_t, uint32_t>>& table = scratch.table; // (length, code) key, value
    table.clear();
    table.reserve(static_cast<size_t>(std::min<uint64_t>(entryCount, field.bitsLeft() / minimalEntryBits)));
    uint32_t shortest = kMaxHuffmanCodeLength;
    uint32_t longest = 0;
    uint64_t lengthsPresent = 0; // bit L set when some code has length L
    for (uint32_t i = 0; i < entryCount; ++i) {
        uint32_t value = field.readBits(valueBits);
        if (signedValues && valueBits > 0 && (value >> (valueBits - 1) & 1) != 0)
            value |= ~0u << valueBits;
        const uint32_t length = field.readBits(lengthBits);
        if (length == 0 || length > kMaxHuffmanCodeLength)
            throw std::runtime_error("decodeHuffmanBitField: code length out of range");
        // The table stores codes in the opposite bit order to the element data.
        const uint32_t code = reverseLowBits(field.readBits(length), length);
        table.emplace_back(tableKey(length, code), value);
        shortest = std::min(shortest, length);
        longest = std::max(longest, length);
        lengthsPresent |= uint64_t{1} << length;
    }

    // Sorted by length, then code; of entries with the same code the last one counts.
    std::stable_sort(table.begin(), table.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    size_t kept = 0;
    for (size_t i = 0; i < table.size(); ++i) {
        if (i + 1 < table.size() && table[i + 1].first == table[i].first)
            continue;
        table[kept++] = table[i];
    }
    table.resize(kept);
    const auto find = [&](uint64_t key) {
        const auto found = std::lower_bound(table.begin(), table.end(), key,
                                            [](const auto& entry, uint64_t k) { return entry.first < k; });
        return found != table.end() && found->first == key ? &found->second : nullptr;
    };

    const uint32_t elementCount = field.readBits(kElementCountBits);
    if (elementCount > kMaxHuffmanElementCount)
        throw std::runtime_error("decodeHuffmanBitField: implausible element_array_size");
    std::vector<uint32_t> elements;

    // The codes from the given length up tried in turn, as the table defines them.
    const auto decodeByLengths = [&](uint32_t from) {
        for (uint32_t length = from; length <= longest; ++length) {
            if ((lengthsPresent >> length & 1) == 0)
                continue;
            if (const uint32_t* value = find(tableKey(length, field.peekBits(length)))) {
                field.skipBits(length);
                return *value;
            }
        }
        throw std::runtime_error("decodeHuffmanBitField: unrecognized code");
    };

    // One lookup of the next few bits finds the same code as trying the lengths: every
    // slot holds the shortest code of at most that many bits that is a prefix of its
    // index, and an empty slot leaves only longer codes to try. The table stays small
    // enough to sit in the nearest cache, and not much larger than the data it decodes.
    const uint64_t slotBudget = kDirectLookupSlotsPerElement * uint64_t{elementCount} + 64;
    const uint32_t lookupBits =
        std::min({longest, kMaxDirectLookupBits, static_cast<uint32_t>(std::bit_width(slotBudget) - 1)});
    std::vector<HuffmanSlot>& slots = scratch.slots;
    slots.assign(size_t{1} << lookupBits, HuffmanSlot{});
    for (const auto& [key, value] : table) { // shortest codes first
        const auto length = static_cast<uint32_t>(key >> 32);
        if (length > lookupBits)
            break;
        const auto code = static_cast<uint32_t>(key);
        for (uint64_t high = 0; high < (uint64_t{1} << (lookupBits - length)); ++high) {
            HuffmanSlot& slot = slots[static_cast<size_t>(high << length | code)];
            if (slot.length == 0)
                slot = {value, length};
        }
    }
    // Each element takes at least the shortest code, so no more than this many fit; a
    // count beyond it fails in the elements that do not fit, as it would element by element.
    const uint32_t fitting = static_cast<uint32_t>(std::min<uint64_t>(elementCount, field.bitsLeft() / shortest));
    elements.resize(fitting);
    uint32_t produced = 0;
    while (produced < elementCount) {
        if (produced < fitting) {
            const TableRun run{field.data(), (field.bitCount() + 7) / 8, field.bitCount(), slots.data(), lookupBits};
            field.setPosition(decodeByTable(run, field.position(), elements.data(), produced, fitting));
            if (produced == elementCount)
                break;
        }
        uint32_t value = 0;
        if (field.bitsLeft() < lookupBits)
            value = decodeByLengths(shortest);
        else if (const HuffmanSlot& slot = slots[field.peekBits(lookupBits)]; slot.length == 0)
            value = decodeByLengths(lookupBits + 1); // throws when no longer code matches either
        else {
            value = slot.value;
            field.skipBits(slot.length);
        }
        if (produced < fitting)
            elements[produced] = value;
        else
            elements.push_back(value);
        ++produced;
    }
    return elements;
}
