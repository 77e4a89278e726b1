#include "prc/bits/huffman_array.h"

#include "tests/support/allocation_watch.h"
#include "tests/support/error_message.h"
#include "tests/support/prc_writer.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr uint8_t kMarker = 0x5A;

struct HuffmanCase {
    uint8_t numBitsPerElem;
    bool signedValues;
    std::vector<uint32_t> values;
};

// Every value set with every option combination; the reader must stand right after.
TEST(HuffmanArray, RoundTripsWithComputedCodes)
{
    std::vector<uint32_t> all8;
    std::vector<uint32_t> skewed;
    for (uint32_t i = 0; i < 256; ++i)
        all8.push_back(i);
    for (uint32_t i = 0; i < 500; ++i)
        skewed.push_back(i % 7 == 0 ? i % 5 : 1);
    const HuffmanCase cases[] = {
        {1, false, {1, 1, 1}},
        {3, true, {0xFFFFFFFC, 3, 0, 0xFFFFFFFF, 3, 3}},
        {6, true, {31, 0xFFFFFFE0, 7, 7, 7}},
        {8, false, all8},
        {8, false, skewed},
        {16, false, {0xFFFF, 0, 0x8000, 0xFFFF}},
        {31, true, {0x3FFFFFFF, 0xC0000000, 5}},
    };
    for (const HuffmanCase& c : cases)
        for (const bool raw : {true, false})
            for (const bool maxLengthFields : {true, false}) {
                const HuffmanOptions options{maxLengthFields, raw};
                PrcBitWriter w;
                writeHuffmanCompressedArray(w, c.values, c.numBitsPerElem, {}, options);
                w.writeBits(kMarker, 8);
                PrcBitInput in(w.bytes());
                EXPECT_EQ(readHuffmanCompressedArray(in.reader, c.numBitsPerElem, c.signedValues, options), c.values)
                    << int(c.numBitsPerElem) << raw << maxLengthFields;
                EXPECT_EQ(in.reader.readBits(8), kMarker);
            }
}

// A field from its parts: table entries (value, length, code bits as stored), count,
// then data bits.
struct FieldBuilder {
    LsbBitFieldWriter field;
    uint8_t numBitsPerElem;
    FieldBuilder(uint8_t bits, uint32_t entries, uint32_t maxLength) : numBitsPerElem(bits)
    {
        field.writeBits(entries, bits + 1u);
        field.writeBits(maxLength, 8);
    }
    // lengthBits as the options ask (max length, or 8).
    FieldBuilder& entry(uint32_t value, uint32_t length, uint32_t lengthBits, const char* storedCode)
    {
        field.writeBits(value, numBitsPerElem);
        field.writeBits(length, lengthBits);
        for (const bool bit : bitsFromString(storedCode))
            field.writeBits(bit, 1);
        return *this;
    }
    FieldBuilder& data(const char* bits)
    {
        for (const bool bit : bitsFromString(bits))
            field.writeBits(bit, 1);
        return *this;
    }
    std::vector<uint32_t> decode(bool signedValues = false, HuffmanOptions options = {}) const
    {
        LsbBitFieldReader reader(field.bytes().data(), field.bitCount());
        return decodeHuffmanBitField(reader, numBitsPerElem, signedValues, options);
    }
};

TEST(HuffmanBitField, SignExtensionAndCodeOrder)
{
    // Value bits read 0, 0, 1: 4 unsigned, -4 signed.
    FieldBuilder minusFour(3, 1, 1);
    minusFour.entry(4, 1, 1, "1");
    minusFour.field.writeBits(2, 32);
    minusFour.data("1 1");
    EXPECT_EQ(minusFour.decode(true), (std::vector<uint32_t>{0xFFFFFFFC, 0xFFFFFFFC}));
    EXPECT_EQ(minusFour.decode(false), (std::vector<uint32_t>{4, 4}));

    // The table stores 1 0 and 1 1; the data carries them reversed: 0 1 and 1 1.
    FieldBuilder order(2, 2, 2);
    order.entry(1, 2, 2, "1 0").entry(2, 2, 2, "1 1");
    order.field.writeBits(3, 32);
    order.data("0 1  1 1  0 1");
    EXPECT_EQ(order.decode(), (std::vector<uint32_t>{1, 2, 1}));
    FieldBuilder wrong(2, 1, 2);
    wrong.entry(1, 2, 2, "1 0");
    wrong.field.writeBits(1, 32);
    wrong.data("1 0");
    EXPECT_EQ(runtimeErrorOf([&] { wrong.decode(); }), "decodeHuffmanBitField: unrecognized code");
}

TEST(HuffmanBitField, ShortestCodeFirstLaterDuplicateWinsAndEightBitLengths)
{
    FieldBuilder b(4, 3, 2);
    const HuffmanOptions eightBitLengths{false, true};
    b.entry(7, 1, 8, "0").entry(9, 2, 8, "0 0").entry(8, 1, 8, "0"); // (1, 0) becomes 8; (2, 00) shadowed
    b.field.writeBits(3, 32);
    b.data("0 0 0");
    EXPECT_EQ(b.decode(false, eightBitLengths), (std::vector<uint32_t>{8, 8, 8}));
}

struct FieldErrorCase {
    const char* name;
    std::function<void(LsbBitFieldWriter&)> build;
    uint8_t numBitsPerElem;
    std::string message;
};

TEST(HuffmanBitField, MalformedFields)
{
    const std::string exhausted = "LsbBitFieldReader: bit field exhausted";
    const auto header = [](uint32_t entries, uint32_t maxLength) {
        return [=](LsbBitFieldWriter& f) {
            f.writeBits(entries, 3);
            f.writeBits(maxLength, 8);
        };
    };
    const auto twoCodes = [&](LsbBitFieldWriter& f) {
        header(2, 3)(f);
        for (const auto& [bits, count] : {std::pair{1u, 2u}, {1u, 3u}, {1u, 1u}, {2u, 2u}, {3u, 3u}, {7u, 3u}, {1u, 32u}})
            f.writeBits(bits, count);
    };
    const FieldErrorCase cases[] = {
        {"empty field", [](LsbBitFieldWriter&) {}, 2, exhausted},
        {"no entries", header(0, 0), 2, ""},
        {"max length 0", header(1, 0), 2, "decodeHuffmanBitField: max_code_length out of range"},
        {"max length 33", header(1, 33), 2, "decodeHuffmanBitField: max_code_length out of range"},
        {"code length 0", [&](LsbBitFieldWriter& f) { header(1, 32)(f); f.writeBits(0, 2); f.writeBits(0, 32); }, 2,
         "decodeHuffmanBitField: code length out of range"},
        {"code length 33", [&](LsbBitFieldWriter& f) { header(1, 8)(f); f.writeBits(0, 2); f.writeBits(33, 8); }, 2,
         "decodeHuffmanBitField: code length out of range"},
        {"too many elements", [&](LsbBitFieldWriter& f) { header(1, 1)(f); f.writeBits(0b0100, 4); f.writeBits(0x8000001, 32); },
         2, "decodeHuffmanBitField: implausible element_array_size"},
        {"elements beyond the field", [&](LsbBitFieldWriter& f) { header(1, 1)(f); f.writeBits(0b0100, 4); f.writeBits(0x8000000, 32); },
         2, exhausted},
        {"32-bit values", [](LsbBitFieldWriter&) {}, 32, "LsbBitFieldReader: more than 32 bits requested"},
        // Codes 1 (length 1) and 111 (length 3); 0 matches nothing at 1, and the field
        // ends before 3 bits, or has them.
        {"field ends inside the lengths", [&](LsbBitFieldWriter& f) { twoCodes(f); f.writeBits(0, 2); }, 2, exhausted},
        {"no code matches", [&](LsbBitFieldWriter& f) { twoCodes(f); f.writeBits(0, 3); }, 2,
         "decodeHuffmanBitField: unrecognized code"},
    };
    for (const FieldErrorCase& c : cases) {
        LsbBitFieldWriter field;
        c.build(field);
        LsbBitFieldReader reader(field.bytes().data(), field.bitCount());
        resetLargestAllocation();
        EXPECT_EQ(runtimeErrorOf([&] { decodeHuffmanBitField(reader, c.numBitsPerElem, false, {}); }), c.message)
            << c.name;
        EXPECT_LT(largestAllocation(), 4096u) << c.name;
    }
}

TEST(HuffmanArray, WordCountsAndLastWordBits)
{
    const auto error = [](const PrcBitWriter& w) {
        PrcBitInput in(w.bytes());
        resetLargestAllocation();
        const std::string message = runtimeErrorOf([&] { readHuffmanCompressedArray(in.reader, 2, false, {}); });
        EXPECT_LT(largestAllocation(), 4096u);
        return message;
    };
    PrcBitWriter empty;
    empty.writeBitString("0 1");
    PrcBitInput emptyIn(empty.bytes());
    EXPECT_TRUE(readHuffmanCompressedArray(emptyIn.reader, 2, false, {}).empty());
    EXPECT_EQ(emptyIn.reader.bitsLeft(), 7u); // only the size was read

    PrcBitWriter huge;
    huge.writeUnsignedInteger(0x4000001);
    EXPECT_EQ(error(huge), "readHuffmanCompressedArray: implausible huffman_array_size");
    PrcBitWriter largest;
    largest.writeUnsignedInteger(0x4000000);
    EXPECT_EQ(error(largest), "PRCBitReader: read past end");
    PrcBitWriter badLast;
    badLast.writeUnsignedInteger(2);
    badLast.writeByteArray(std::vector<uint8_t>(8, 0));
    badLast.writeUnsignedInteger(33);
    EXPECT_EQ(error(badLast),
              "readHuffmanCompressedArray: number_of_bits_used_in_last_integer=33 out of range (huffman_array_size=2)");

    // Three words with 0 bits used in the last, or two with all 32 used: 64 bits, of which
    // table and count take 47 and each element one.
    for (const auto& [words, usedInLast] : {std::pair{3u, 0u}, {2u, 32u}})
        for (const int elements : {17, 18}) {
            LsbBitFieldWriter field;
            for (const auto& [bits, count] : {std::pair{1u, 3u}, {1u, 8u}, {2u, 2u}, {1u, 1u}, {0u, 1u}})
                field.writeBits(bits, count);
            field.writeBits(static_cast<uint32_t>(elements), 32);
            field.writeBits(0, 32);
            PrcBitWriter w;
            w.writeUnsignedInteger(words);
            std::vector<uint8_t> bytes = field.bytes();
            bytes.resize(4 * words, 0);
            w.writeByteArray(bytes);
            w.writeUnsignedInteger(usedInLast);
            PrcBitInput in(w.bytes());
            EXPECT_EQ(runtimeErrorOf([&] { readHuffmanCompressedArray(in.reader, 2, false, {}); }),
                      elements == 17 ? "" : "LsbBitFieldReader: bit field exhausted");
        }
}

} // namespace
