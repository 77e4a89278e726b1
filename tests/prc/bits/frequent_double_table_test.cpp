#include "prc/bits/frequent_double_code.h"
#include "prc/bits/frequent_double_table.h"
#include "prc/bits/prc_bit_reader.h"

#include "tests/support/error_message.h"
#include "tests/support/prc_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <map>
#include <random>
#include <set>
#include <unordered_map>

namespace {

std::string codeText(const FrequentDoubleEntry& entry)
{
    std::string text;
    for (int bit = entry.length - 1; bit >= 0; --bit)
        text.push_back(((entry.code >> bit) & 1) != 0 ? '1' : '0');
    return text;
}

TEST(FrequentDoubleTable, CompletePrefixCodeWithTheKnownRows)
{
    std::set<uint64_t> exponents;
    std::map<std::string, const FrequentDoubleEntry*> byCode; // sorted: a prefix sorts right before its extensions
    uint64_t kraft = 0;                                        // in units of 2^-22
    int values = 0;
    int longest = 0;
    for (const FrequentDoubleEntry& entry : kFrequentDoubleTable) {
        ASSERT_TRUE(entry.length >= 2 && entry.length <= 22 && entry.code >> entry.length == 0);
        values += entry.kind == FrequentDoubleKind::Value;
        if (entry.kind == FrequentDoubleKind::Exponent)
            exponents.insert(entry.bits >> 52 & 0x7FF);
        longest += entry.length == 22;
        kraft += uint64_t{1} << (22 - entry.length);
        byCode[codeText(entry)] = &entry;
    }
    EXPECT_EQ(kFrequentDoubleTable.size(), 2077u);
    EXPECT_EQ(byCode.size(), 2077u);
    EXPECT_EQ(values, 29);
    EXPECT_EQ(exponents.size(), 2048u);
    EXPECT_EQ(longest, 1908);
    EXPECT_EQ(kraft, uint64_t{1} << 22);
    for (auto it = byCode.begin(); std::next(it) != byCode.end(); ++it)
        EXPECT_NE(std::next(it)->first.rfind(it->first, 0), 0u) << it->first;

    const auto b = [](double value) { return std::bit_cast<uint64_t>(value); };
    const std::pair<const char*, uint64_t> valueRows[] = {
        {"01", 0}, {"0011110100", b(5e-9)}, {"11101111100", b(1e-8)}, {"10101111", b(2.0000000000000004e-7)},
        {"111010010", b(2.0000000000000003e-6)}, {"0011010000", b(0.00065)}, {"001001", b(0.0008)},
        {"1111", b(0.001)}, {"10110", b(0.002)}, {"11101010001", 0x3FBE69AD42C3C9EE}, {"11101110111", b(0.5)},
        {"111010110", 0x3FEFFFFFF8000002}, {"0000", b(1.0)}, {"101011010", b(6.283185307179586)},
        {"11101110100", 0x4035EE1480000000}, {"111010011", b(57.29577951308232)},
        {"11101111110", 0x405BB32FE0000000}, {"0001011110", 0x405C332FE0000000}, {"111010111", b(180.0)},
        {"111010101", b(360.0)}, {"11101111101", b(1000.0)}, {"0011010010", 0x409233FFFFFFFFFF},
        {"00111100", b(1165.0)}, {"11101010011", 0x4092340000000001}, {"0011010011", 0x4092ABFFFFFFFFFF},
        {"00110101", b(1195.0)}, {"11101110000", 0x4092AC0000000001}, {"0011111", b(12345.0)},
        {"101010", b(999999999.0)}};
    for (const auto& [code, bits] : valueRows) {
        ASSERT_TRUE(byCode.count(code)) << code;
        EXPECT_EQ(byCode[code]->kind, FrequentDoubleKind::Value) << code;
        EXPECT_EQ(byCode[code]->bits, bits) << code;
    }
    const std::pair<const char*, uint64_t> exponentRows[] = {
        {"1000", 1022}, {"10011", 1023}, {"11011", 1024}, {"10111", 1025}, {"10010", 1026}, {"11001", 1027},
        {"11010", 1028}, {"11000", 1029}, {"11100", 1030}, {"10100", 1031}, {"00101", 1032}, {"00011", 1021},
        {"0011010001110100110010", 0}, {"001101000111010011000", 2047}};
    for (const auto& [code, exponent] : exponentRows) {
        ASSERT_TRUE(byCode.count(code)) << code;
        EXPECT_EQ(byCode[code]->kind, FrequentDoubleKind::Exponent) << code;
        EXPECT_EQ(byCode[code]->bits >> 52 & 0x7FF, exponent) << code;
    }
}

// The plain lookup that the tree replaces: one probe of (length, code) per bit read.
const FrequentDoubleEntry* lookupPerPrefix(PRCBitReader& reader)
{
    static const auto map = [] {
        std::unordered_map<uint64_t, const FrequentDoubleEntry*> m;
        for (const FrequentDoubleEntry& entry : kFrequentDoubleTable)
            m.emplace(uint64_t{entry.length} << 32 | entry.code, &entry);
        return m;
    }();
    uint32_t code = 0;
    for (uint64_t n = 1; n <= 32; ++n) {
        code = code << 1 | (reader.readBoolean() ? 1 : 0);
        if (const auto found = map.find(n << 32 | code); found != map.end())
            return found->second;
    }
    return nullptr;
}

TEST(FrequentDoubleCode, TreeEqualsPrefixLookupOnEveryCodeAndOnRandomBits)
{
    const FrequentDoubleCode& tree = frequentDoubleCode();
    std::vector<std::vector<uint8_t>> inputs;
    for (const FrequentDoubleEntry& entry : kFrequentDoubleTable) {
        PrcBitWriter w(codeText(entry) + "11111111111111111111111111111111");
        inputs.push_back(w.bytes());
    }
    std::mt19937 random(9);
    for (int i = 0; i < 20000; ++i)
        inputs.push_back({static_cast<uint8_t>(random()), static_cast<uint8_t>(random()), static_cast<uint8_t>(random())});
    for (size_t i = 0; i < inputs.size(); ++i) {
        PrcBitInput a(inputs[i]);
        PrcBitInput b(inputs[i]);
        const FrequentDoubleEntry& found = tree.read(a.reader);
        EXPECT_EQ(&found, lookupPerPrefix(b.reader));
        EXPECT_EQ(a.reader.bitsLeft(), b.reader.bitsLeft());
        if (i < kFrequentDoubleTable.size()) {
            EXPECT_EQ(&found, &kFrequentDoubleTable[i]);
        }
    }
}

TEST(FrequentDoubleCode, IncompleteTableShadowingAndDuplicates)
{
    const std::vector<FrequentDoubleEntry> entries = {
        {FrequentDoubleKind::Value, 3, 0b101, 3}, // shadowed by the shorter code 10 that follows
        {FrequentDoubleKind::Value, 2, 0b10, 1},  {FrequentDoubleKind::Value, 2, 0b10, 2}, // first one wins
        {FrequentDoubleKind::Value, 3, 0b111, 4}, {FrequentDoubleKind::Value, 0, 0, 5},
        {FrequentDoubleKind::Value, 33, 0, 6}};
    const FrequentDoubleCode code(entries);
    PrcBitInput in("10 111 1");
    EXPECT_EQ(code.read(in.reader).bits, 1u);
    EXPECT_EQ(code.read(in.reader).bits, 4u);
    // Nothing starts with 0 or 110: 32 bits are read before giving up, so a shorter
    // section ends as a read past its end.
    for (const uint8_t first : {0x00, 0xC0}) {
        PrcBitInput full(std::vector<uint8_t>{first, 0, 0, 0});
        EXPECT_EQ(runtimeErrorOf([&] { code.read(full.reader); }), "PRCBitReader: no frequent-double entry matched prefix");
        EXPECT_EQ(full.reader.bitsLeft(), 0u);
        PrcBitInput shorter(std::vector<uint8_t>{first, 0, 0});
        EXPECT_EQ(runtimeErrorOf([&] { code.read(shorter.reader); }), "PRCBitReader: read past end");
    }
}

} // namespace
