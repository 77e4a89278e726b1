#include "tests/support/u3d_bit_encoder.h"
#include "u3dlib/bit_decoder.h"

#include <gtest/gtest.h>

#include <bit>
#include <random>

using namespace u3dlib;

namespace {

enum class Op { U8, U16, U32, U64, F32, F64, String, CU8, CU16, CU32 };

struct Step {
    Op op;
    uint64_t value = 0;
    Context context{};
    std::string text{};
};

void encode(U3dBitEncoder& out, const Step& s)
{
    switch (s.op) {
    case Op::U8: out.writeU8(static_cast<uint8_t>(s.value)); break;
    case Op::U16: out.writeU16(static_cast<uint16_t>(s.value)); break;
    case Op::U32: out.writeU32(static_cast<uint32_t>(s.value)); break;
    case Op::U64: out.writeU64(s.value); break;
    case Op::F32: out.writeF32(std::bit_cast<float>(static_cast<uint32_t>(s.value))); break;
    case Op::F64: out.writeF64(std::bit_cast<double>(s.value)); break;
    case Op::String: out.writeString(s.text); break;
    case Op::CU8: out.writeCompressedU8(s.context, static_cast<uint8_t>(s.value)); break;
    case Op::CU16: out.writeCompressedU16(s.context, static_cast<uint16_t>(s.value)); break;
    case Op::CU32: out.writeCompressedU32(s.context, static_cast<uint32_t>(s.value)); break;
    }
}

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

// Byte strings worked out by hand from the encoding algorithm (see the comments).
struct FixedCase {
    const char* name;
    std::vector<uint8_t> bytes;
    std::vector<Step> steps;
    bool noCompression = false;
};

const Context kStatic8 = staticContext(8);
const Context kStatic3 = staticContext(3);
const Context kAdaptive = adaptiveContext(1);

std::vector<FixedCase> fixedCases()
{
    return {
        // From a clean coder a raw byte is coded as its reversed self over 256 and the 8
        // emitted bits land, least significant first, as the byte itself.
        {"RawBytesArePlain", {0x41, 0x80, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 8, 7, 6, 5, 4, 3, 2, 1},
         {{Op::U8, 0x41}, {Op::U8, 0x80}, {Op::U16, 0x1234}, {Op::U32, 0x12345678}, {Op::U64, 0x0102030405060708}}},
        {"FloatsAndString", {0, 0, 0x80, 0x3F, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 2, 0, 'a', 'b'},
         {{Op::F32, 0x3F800000}, {Op::F64, 0x3FF0000000000000}, {Op::String, 2, {}, "ab"}}},
        // Range 8 splits evenly: 5 and 3 are the bits 101 011 (first bit = bit 0 of byte
        // 0), then the closing U32 0 adds 32 zero bits: 38 bits, 5 bytes.
        {"StaticPowerOfTwo", {0x35, 0, 0, 0, 0}, {{Op::CU32, 5, kStatic8}, {Op::CU32, 3, kStatic8}}},
        // Range 3, value 2: low 0xAAAA, high 0xFFFF, one bit 1 out, low 0x5554. The zero
        // bytes of the closing word then emit 01010101 01010100 and 16 zeros: 33 bits.
        {"StaticRangeThree", {0x55, 0x55, 0, 0, 0}, {{Op::CU8, 2, kStatic3}}},
        // A fresh adaptive context: the escape has the whole range and costs no bit, the
        // value follows plain; the closing word is plain too.
        {"AdaptiveFirstUseIsPlain", {5, 0, 0, 0, 0, 0, 0, 0}, {{Op::CU32, 5, kAdaptive}}},
        // Second 7: counts {escape 2, 7: 1}, cumulative 2 of 3, the same arithmetic as
        // range 3 value 2 above, shifted by the first byte.
        {"AdaptiveRepeat", {7, 0x55, 0x55, 0, 0, 0}, {{Op::CU8, 7, kAdaptive}, {Op::CU8, 7, kAdaptive}}},
        // Too wide or empty ranges, context 0 and the no-compression profile store plain
        // values and need no closing word.
        {"PlainContexts", {0x78, 0x56, 0x34, 0x12, 0x34, 0x12, 0x99},
         {{Op::CU32, 0x12345678, staticContext(0x3FFF)}, {Op::CU16, 0x1234, staticContext(0)},
          {Op::CU8, 0x99, kUncompressedContext}}},
        {"NoCompressionProfile", {5, 0, 0, 0, 3, 0}, {{Op::CU32, 5, kAdaptive}, {Op::CU16, 3, kStatic8}}, true},
    };
}

class FixedBytes : public ::testing::TestWithParam<FixedCase> {};

TEST_P(FixedBytes, EncoderWritesThemAndDecoderReadsThem)
{
    const FixedCase& c = GetParam();
    U3dBitEncoder out(c.noCompression);
    for (const Step& s : c.steps)
        encode(out, s);
    EXPECT_EQ(out.finish(), c.bytes);

    BitDecoder in(c.bytes, {c.noCompression});
    for (const Step& s : c.steps)
        EXPECT_EQ(decode(in, s), s.value);
    const BlockEnd end = in.finish();
    EXPECT_EQ(end.status, EndStatus::Exact);
    EXPECT_EQ(end.contentBytes, c.bytes.size());
}

INSTANTIATE_TEST_SUITE_P(Hand, FixedBytes, ::testing::ValuesIn(fixedCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Random mixes of every kind of value, including escapes into contexts that already
// hold values, values that are never learnt and every context boundary.
std::vector<Step> randomSteps(uint32_t seed, size_t count)
{
    std::mt19937 rng(seed);
    const uint32_t ranges[] = {1, 2, 3, 7, 255, 256, 1000, 0x3FFE, 0x3FFF, 0x10000, 0};
    const uint64_t edges[] = {0, 1, 0xFF, 0xFFFD, 0xFFFE, 0xFFFF, 0x10000, 0xFFFFFFFF};
    std::vector<Step> steps;
    for (size_t i = 0; i < count; ++i) {
        Step s{static_cast<Op>(rng() % 10)};
        const uint64_t wide = uint64_t{rng()} << 32 | rng();
        switch (s.op) {
        case Op::String: s.text.assign(rng() % 6, static_cast<char>('a' + rng() % 26)); s.value = s.text.size(); break;
        case Op::U8: s.value = wide & 0xFF; break;
        case Op::U16: s.value = wide & 0xFFFF; break;
        case Op::U32: case Op::F32: s.value = wide & 0xFFFFFFFF; break;
        case Op::U64: case Op::F64: s.value = wide; break;
        default: {
            const uint64_t limit = s.op == Op::CU8 ? 0xFF : s.op == Op::CU16 ? 0xFFFF : 0xFFFFFFFF;
            if (rng() % 3 == 0) {
                const uint32_t r = ranges[rng() % std::size(ranges)];
                s.context = staticContext(r);
                s.value = (r == 0 || r > kMaxStaticRange) ? wide & limit : rng() % std::min<uint64_t>(r, limit + 1);
            } else {
                // Adaptive: mostly a few small values, sometimes an edge value.
                s.context = adaptiveContext(1 + rng() % 4);
                s.value = (rng() % 8 == 0 ? edges[rng() % std::size(edges)] : rng() % 5) & limit;
            }
        }
        }
        steps.push_back(s);
    }
    return steps;
}

// One context, mostly a handful of small values: long enough to halve the full
// histogram several times.
std::vector<Step> skewedRun(uint32_t seed, size_t count)
{
    std::mt19937 rng(seed);
    std::vector<Step> steps;
    for (size_t i = 0; i < count; ++i)
        steps.push_back({Op::CU32, rng() % 4 != 0 ? rng() % 6 : rng() % 3000, kAdaptive});
    return steps;
}

struct RoundTripCase {
    uint32_t seed;
    size_t count;
    bool noCompression;
    bool skewed;
};

class RoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, DecoderInvertsEncoder)
{
    const auto [seed, count, noCompression, skewed] = GetParam();
    const std::vector<Step> steps = skewed ? skewedRun(seed, count) : randomSteps(seed, count);
    U3dBitEncoder out(noCompression);
    std::vector<uint64_t> bitsAfter;
    for (const Step& s : steps) {
        encode(out, s);
        bitsAfter.push_back(out.bitsWritten());
    }
    const std::vector<uint8_t> bytes = out.finish();

    BitDecoder in(bytes, {noCompression});
    for (size_t i = 0; i < steps.size(); ++i) {
        ASSERT_EQ(decode(in, steps[i]), steps[i].value) << "step " << i;
        // The decoder knows at every step how far the writer had got.
        ASSERT_EQ(in.bitsConsumed(), bitsAfter[i]) << "step " << i;
    }
    EXPECT_EQ(in.finish().status, EndStatus::Exact);
    EXPECT_EQ(in.usedCompression(), out.compressedWritten());
    for (uint32_t id = 1; id <= 4; ++id) {
        const AdaptiveHistogram* h = in.histogram(adaptiveContext(id));
        const uint32_t total = h != nullptr ? h->total() : 1;
        EXPECT_EQ(total, out.total(adaptiveContext(id)));
        for (uint32_t symbol = 0; h != nullptr && symbol < 0x10001; ++symbol)
            ASSERT_EQ(h->frequency(symbol), out.frequency(adaptiveContext(id), symbol)) << symbol;
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RoundTrip,
                         ::testing::Values(RoundTripCase{1, 20000, false, false}, RoundTripCase{2, 2000, true, false},
                                           RoundTripCase{3, 30000, false, true}),
                         [](const auto& info) { return "Seed" + std::to_string(info.param.seed); });

// Value v is symbol v + 1; the escape, symbol 0, counts once more per escape; values
// from 0xFFFE up are never learnt.
TEST(BitDecoder, TopOfTheRangeIsNeverLearnt)
{
    const uint32_t values[] = {0xFFFD, 0xFFFD, 0xFFFE, 0xFFFE, 0xFFFFFFFF, 0xFFFFFFFF, 100000};
    U3dBitEncoder out;
    for (uint32_t v : values)
        out.writeCompressedU32(kAdaptive, v);
    const std::vector<uint8_t> bytes = out.finish();
    BitDecoder in(bytes);
    for (uint32_t v : values)
        EXPECT_EQ(in.readCompressedU32(kAdaptive), v);
    EXPECT_EQ(in.finish().status, EndStatus::Exact);
    const AdaptiveHistogram* h = in.histogram(kAdaptive);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->total(), 9u);
    EXPECT_EQ((std::array<uint32_t, 3>{h->frequency(0), h->frequency(0xFFFE), h->frequency(0xFFFF)}),
              (std::array<uint32_t, 3>{7, 2, 0}));
}

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
