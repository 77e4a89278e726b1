#include "prc/bits/frequent_double_code.h"
#include "prc/bits/frequent_double_table.h"
#include "prc/bits/prc_bit_reader.h"

#include "tests/support/error_message.h"
#include "tests/support/prc_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace {

std::string codeText(const FrequentDoubleEntry& entry)
{
    std::string text;
    for (int bit = entry.length - 1; bit >= 0; --bit)
        text.push_back(((entry.code >> bit) & 1) != 0 ? '1' : '0');
    return text;
}

TEST(FrequentDoubleTable, IsACompletePrefixCode)
{
    std::set<uint64_t> exponents;
    std::map<std::string, const FrequentDoubleEntry*> byCode; // sorted: a prefix sorts right before its extensions
    uint64_t kraft = 0;                                        // in units of 2^-22
    for (const FrequentDoubleEntry& entry : kFrequentDoubleTable) {
        ASSERT_TRUE(entry.length >= 2 && entry.length <= 22 && entry.code >> entry.length == 0);
        if (entry.kind == FrequentDoubleKind::Exponent)
            exponents.insert(entry.bits >> 52 & 0x7FF);
        kraft += uint64_t{1} << (22 - entry.length);
        byCode[codeText(entry)] = &entry;
    }
    // Every exponent has its code, no code is given twice, and the code is complete.
    EXPECT_EQ(exponents.size(), 2048u);
    EXPECT_EQ(byCode.size(), kFrequentDoubleTable.size());
    EXPECT_EQ(kraft, uint64_t{1} << 22);
    for (auto it = byCode.begin(); std::next(it) != byCode.end(); ++it)
        EXPECT_NE(std::next(it)->first.rfind(it->first, 0), 0u) << it->first;

}

TEST(FrequentDoubleCode, IncompleteTableShadowingAndDuplicates)
{
    const std::vector<FrequentDoubleEntry> entries = {
        {FrequentDoubleKind::Value, 3, 0b101, 3}, // shadowed by the shorter code 10 that follows
        {FrequentDoubleKind::Value, 2, 0b10, 1},  {FrequentDoubleKind::Value, 2, 0b10, 2}, // first one wins
        {FrequentDoubleKind::Value, 3, 0b111, 4}, {FrequentDoubleKind::Value, 0, 0, 5},
        {FrequentDoubleKind::Value, 33, 0, 6}};
    const FrequentDoubleCode code(entries);
    for (const char* bits : {"10 111 1", "10 111 1 00000000 00000000"}) { // bit by bit, by lookup
        PrcBitInput in(bits);
        EXPECT_EQ(code.read(in.reader).bits, 1u);
        EXPECT_EQ(code.read(in.reader).bits, 4u);
    }
    // Nothing starts with 0 or 110: 32 bits are read before giving up, so a shorter
    // section ends as a read past its end.
    for (const uint8_t first : {0x00, 0xC0}) {
        PrcBitInput full(std::vector<uint8_t>{first, 0, 0, 0});
        EXPECT_TRUE(failsToDecode([&] { code.read(full.reader); }));
        EXPECT_EQ(full.reader.bitsLeft(), 0u);
        PrcBitInput shorter(std::vector<uint8_t>{first, 0, 0});
        EXPECT_TRUE(failsToDecode([&] { code.read(shorter.reader); }));
    }
}

} // namespace
