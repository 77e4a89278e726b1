#include "tests/support/u3d_bit_encoder.h"
#include "u3dlib/bit_decoder.h"

#include <gtest/gtest.h>

#include <bit>

using namespace u3dlib;

namespace {

enum class Op { U8, U16, U32, U64, F32, F64, String, CU8, CU16, CU32 };

struct Step {
    Op op;
    uint64_t value = 0;
    Context context{};
    std::string text{};
};

// Reads one step; a string comes back as its length when its bytes are the step's.
uint64_t decode(BitDecoder& in, const Step& s)
{
    switch (s.op) {
    case Op::U8: return in.readU8();
    case Op::U16: return in.readU16();
    case Op::U32: return in.readU32();
    case Op::U64: return in.readU64();
    case Op::F32: return std::bit_cast<uint32_t>(in.readF32());
    case Op::F64: return std::bit_cast<uint64_t>(in.readF64());
    case Op::String: return in.readString() == s.text ? s.text.size() : UINT64_MAX;
    case Op::CU8: return in.readCompressedU8(s.context);
    case Op::CU16: return in.readCompressedU16(s.context);
    case Op::CU32: return in.readCompressedU32(s.context);
    }
    return 0;
}

const Context kStatic8 = staticContext(8);
const Context kAdaptive = adaptiveContext(1);

TEST(BitDecoder, ValueTooWideForItsFieldFails)
{
    // A context shared by fields of different widths (a value learnt as U32 read as U8),
    // and a static range beyond a byte.
    for (const Context context : {kAdaptive, staticContext(1000)}) {
        U3dBitEncoder out;
        out.writeCompressedU32(context, 300);
        out.writeCompressedU32(context, 300);
        const std::vector<uint8_t> bytes = out.finish();
        BitDecoder in(bytes);
        EXPECT_EQ(in.readCompressedU32(context), 300u);
        EXPECT_EQ(in.readCompressedU8(context), 0u);
        EXPECT_EQ(in.error(), DecodeError::ValueTooWide);
    }
}

// Reads past the end: the step that needs missing bits fails, and so does every
// later one, even where bits would remain.
struct PastEndCase {
    const char* name;
    std::vector<uint8_t> bytes;
    std::vector<Step> steps;
    size_t failingStep;
};

std::vector<PastEndCase> pastEndCases()
{
    return {
        {"EmptySection", {}, {{Op::U8}}, 0},
        {"WordCut", {1, 2, 3}, {{Op::U16, 0x0201}, {Op::U32}}, 1},
        {"StringCut", {10, 0, 'a', 'b', 'c'}, {{Op::String}}, 0},
        {"HugeStringLength", {0xFF, 0xFF, 'a'}, {{Op::String}}, 0},
        {"StaticSymbolInNothing", {}, {{Op::CU8, 0, kStatic8}}, 0},
        // The first escape costs nothing; the plain value after it is missing.
        {"EscapeThenNothing", {}, {{Op::CU32, 0, kAdaptive}}, 0},
        {"Sticky", {1, 2, 3}, {{Op::U32}, {Op::U8}, {Op::U8}}, 0},
    };
}

class PastEnd : public ::testing::TestWithParam<PastEndCase> {};

TEST_P(PastEnd, IsDetectedAndSticky)
{
    const PastEndCase& c = GetParam();
    const std::vector<uint8_t> heap(c.bytes); // exact-size heap block for the sanitizers
    BitDecoder in(heap);
    for (size_t i = 0; i < c.steps.size(); ++i) {
        const uint64_t got = decode(in, c.steps[i]);
        if (i < c.failingStep) {
            EXPECT_EQ(got, c.steps[i].value);
            EXPECT_TRUE(in.ok());
        } else {
            EXPECT_EQ(got, 0u) << "step " << i;
            EXPECT_EQ(in.error(), DecodeError::PastEnd);
        }
    }
    EXPECT_EQ(in.finish().status, EndStatus::Failed);
}

INSTANTIATE_TEST_SUITE_P(Cases, PastEnd, ::testing::ValuesIn(pastEndCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BitDecoder, EndStatusTellsWhatFollowsTheContent)
{
    U3dBitEncoder compressed;
    compressed.writeCompressedU32(kStatic8, 5);
    std::vector<uint8_t> bytes = compressed.finish();
    const auto endOf = [](const std::vector<uint8_t>& section, size_t plainWords, bool compressedValue) {
        BitDecoder in(section);
        if (compressedValue)
            in.readCompressedU32(kStatic8);
        for (size_t i = 0; i < plainWords; ++i)
            in.readU32();
        return in.finish().status;
    };
    EXPECT_EQ(endOf(bytes, 0, true), EndStatus::Exact);
    bytes.insert(bytes.end(), {0, 0, 0, 0});
    EXPECT_EQ(endOf(bytes, 0, true), EndStatus::ZeroTail);
    bytes.back() = 1;
    EXPECT_EQ(endOf(bytes, 0, true), EndStatus::TrailingData);
    bytes.resize(bytes.size() - 6); // the closing word cut short
    EXPECT_EQ(endOf(bytes, 0, true), EndStatus::Failed);

    U3dBitEncoder notClosed;
    notClosed.writeCompressedU32(kStatic8, 5);
    notClosed.writeU32(7); // where the closing 0 belongs
    EXPECT_EQ(endOf(notClosed.finish(), 0, true), EndStatus::BadFlush);

    // Odd ranges defer underflow bits across symbols that settle none: the decoder counts
    // a bit as consumed when the encoder has settled it.
    U3dBitEncoder odd;
    std::vector<uint64_t> settledAfter;
    for (uint32_t i = 0; i < 300; ++i) {
        odd.writeCompressedU32(staticContext(3 + i % 5), i % (3 + i % 5));
        settledAfter.push_back(odd.bitsWritten());
    }
    const std::vector<uint8_t> oddBytes = odd.finish();
    BitDecoder oddIn(oddBytes);
    for (uint32_t i = 0; i < 300; ++i) {
        ASSERT_EQ(oddIn.readCompressedU32(staticContext(3 + i % 5)), i % (3 + i % 5));
        ASSERT_EQ(oddIn.bitsConsumed(), settledAfter[i]) << i;
    }
    EXPECT_EQ(oddIn.finish().status, EndStatus::Exact);

    const std::vector<uint8_t> plain{5, 0, 0, 0, 6, 0, 0, 0};
    EXPECT_EQ(endOf(plain, 1, false), EndStatus::TrailingData); // a field left unread
    EXPECT_EQ(endOf(plain, 2, false), EndStatus::Exact);
}

TEST(BitDecoder, HistogramMemoryIsBounded)
{
    // Every context that learns a value near 0xFFFF needs the largest table: 64 fit.
    const uint32_t contexts = BitDecoder::kHistogramSlotBudget / AdaptiveHistogram::kMaxCapacity + 1;
    U3dBitEncoder out;
    for (uint32_t id = 1; id <= contexts; ++id)
        out.writeCompressedU32(adaptiveContext(id), 0xFFF0);
    const std::vector<uint8_t> bytes = out.finish();
    BitDecoder in(bytes);
    for (uint32_t id = 1; id < contexts; ++id)
        ASSERT_EQ(in.readCompressedU32(adaptiveContext(id)), 0xFFF0u);
    EXPECT_EQ(in.readCompressedU32(adaptiveContext(contexts)), 0u);
    EXPECT_EQ(in.error(), DecodeError::HistogramBudget);
}

TEST(BitDecoder, RunsOfNearlyFreeSymbolsAreBounded)
{
    // A million zeros in one context fit in a few hundred bytes; decoding must stop at
    // the work budget rather than follow a count from a hostile stream.
    U3dBitEncoder out;
    for (int i = 0; i < 1000000; ++i)
        out.writeCompressedU8(kAdaptive, 0);
    const std::vector<uint8_t> bytes = out.finish();
    ASSERT_LT(bytes.size(), 1000u);
    BitDecoder in(bytes);
    uint64_t reads = 0;
    while (in.ok() && reads < 1000000) {
        in.readCompressedU8(kAdaptive);
        ++reads;
    }
    EXPECT_EQ(in.error(), DecodeError::SymbolBudget);
    EXPECT_GT(reads, BitDecoder::kSymbolBudgetBase);
    EXPECT_LE(reads, BitDecoder::kSymbolBudgetBase + BitDecoder::kSymbolsPerDataBit * bytes.size() * 8);
}

} // namespace
