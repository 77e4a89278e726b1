#include "tests/support/u3d_bit_encoder.h"
#include "tests/support/u3d_block_writer.h"
#include "u3dlib/block_framing.h"
#include "u3dlib/block_types.h"
#include "u3dlib/file_header.h"
#include "u3dlib/meta_data.h"
#include "u3dlib/modifier_chain.h"

#include <gtest/gtest.h>

using namespace u3dlib;

namespace {

U3dBytes filled(size_t size, uint8_t first)
{
    U3dBytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(first + i);
    return bytes;
}

U3dBytes rawHeader(uint32_t type, uint32_t dataSize, uint32_t metaSize)
{
    U3dBytes out;
    for (uint32_t v : {type, dataSize, metaSize})
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return out;
}

struct FramingCase {
    const char* name;
    U3dBytes bytes;
    size_t goodBlocks;
    FramingStatus status;
};

std::vector<FramingCase> framingCases()
{
    const U3dBytes good = u3dBlock(kBlockPriorityUpdate, filled(4, 0));
    return {
        {"Empty", {}, 0, FramingStatus::End},
        {"ZeroTail", concat({good, {0, 0, 0}}), 1, FramingStatus::ZeroTail},
        {"ShortHeader", concat({good, {1, 0, 0, 0, 0}}), 1, FramingStatus::TruncatedHeader},
        {"DataCut", concat({good, rawHeader(kBlockModelNode, 100, 0), filled(10, 1)}), 1, FramingStatus::DataOverrun},
        {"HugeDataSize", concat({rawHeader(1, 0xFFFFFFFF, 0), filled(8, 1)}), 0, FramingStatus::DataOverrun},
        {"MetaCut", concat({rawHeader(1, 4, 9), filled(8, 1)}), 0, FramingStatus::MetaDataOverrun},
        {"HugeMetaSize", concat({rawHeader(1, 0, 0xFFFFFFFF), filled(8, 1)}), 0, FramingStatus::MetaDataOverrun},
        {"MetaAfterMissingPadding", concat({rawHeader(1, 5, 3), filled(7, 1)}), 0, FramingStatus::MetaDataOverrun},
        // Padding is never read: a last block cut only there is still whole.
        {"DataPaddingMissing", concat({good, rawHeader(1, 5, 0), filled(5, 1)}), 2, FramingStatus::UnpaddedEnd},
        {"MetaPaddingMissing", concat({good, rawHeader(1, 4, 2), filled(6, 1)}), 2, FramingStatus::UnpaddedEnd},
    };
}

class Framing : public ::testing::TestWithParam<FramingCase> {};

TEST_P(Framing, StopsAtTheFirstBlockThatDoesNotFit)
{
    const FramingCase& c = GetParam();
    BlockCursor cursor(c.bytes);
    size_t blocks = 0;
    while (cursor.next())
        ++blocks;
    EXPECT_EQ(blocks, c.goodBlocks);
    EXPECT_EQ(cursor.status(), c.status);
    EXPECT_EQ(cursor.offset(), c.status == FramingStatus::UnpaddedEnd ? c.bytes.size() : c.goodBlocks * 16);
    EXPECT_FALSE(cursor.next().has_value()); // and stays stopped
}

INSTANTIATE_TEST_SUITE_P(Cases, Framing, ::testing::ValuesIn(framingCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ModifierChain, DamageIsReported)
{
    // A nested declaration that claims more data than its chain holds.
    U3dBytes overrun = u3dModifierChainData("m", kChainTypeModelResource, {u3dBlock(kBlockClodMeshDeclaration, filled(40, 1))});
    overrun.resize(overrun.size() - 24);
    const U3dBytes file = u3dBlock(kBlockModifierChain, overrun);
    ModifierChainHeader chain;
    ASSERT_EQ(readModifierChainHeader(*BlockCursor(file).next(), chain), ChainStatus::Ok);
    BlockCursor inner(chain.nestedBlocks, chain.nestedOffset);
    EXPECT_FALSE(inner.next().has_value());
    EXPECT_EQ(inner.status(), FramingStatus::DataOverrun);
    EXPECT_EQ(inner.failedType(), kBlockClodMeshDeclaration);

    U3dChainBounds sphereOnly;
    sphereOnly.sphere = std::array<float, 4>{};
    const U3dBytes full = u3dModifierChainData("abc", kChainTypeNode, {}, sphereOnly);
    const auto statusOfPrefix = [&](size_t size) {
        const U3dBytes block = u3dBlock(kBlockModifierChain, std::span<const uint8_t>(full).first(size));
        return readModifierChainHeader(*BlockCursor(block).next(), chain);
    };
    EXPECT_EQ(statusOfPrefix(full.size()), ChainStatus::Ok);
    EXPECT_EQ(statusOfPrefix(full.size() - 1), ChainStatus::CountMissing);
    EXPECT_EQ(statusOfPrefix(5 + 8 + 15), ChainStatus::FieldsCut); // inside the sphere
}

TEST(MetaData, PairsComeBackAndCountsBeyondTheSectionFail)
{
    const std::vector<U3dMetaEntry> entries = {
        {0, "CreatedBy", "hand"}, {kMetaBinaryValue | kMetaHidden, "blob", std::string("\0\1\2", 3)}, {0, "", ""}};
    const MetaDataResult result = readMetaData(u3dMetaData(entries));
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.end.status, EndStatus::Exact);
    ASSERT_EQ(result.pairs.size(), entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        EXPECT_EQ(std::tie(result.pairs[i].attributes, result.pairs[i].key, result.pairs[i].value),
                  std::tie(entries[i].attributes, entries[i].key, entries[i].value));
    EXPECT_TRUE(result.pairs[1].isBinary());

    U3dBitEncoder manyPairs;
    manyPairs.writeU32(0x10000000); // 268 million pairs in a few bytes
    manyPairs.writeU32(0);
    EXPECT_EQ(readMetaData(manyPairs.finish()).error, DecodeError::PastEnd);
    U3dBytes bigValue = u3dMetaData({{kMetaBinaryValue, "k", ""}});
    bigValue[4 + 4 + 3] = 0xF0; // the binary value's size
    bigValue[4 + 4 + 3 + 3] = 0xFF;
    const MetaDataResult big = readMetaData(bigValue);
    EXPECT_EQ(big.error, DecodeError::PastEnd);
    EXPECT_TRUE(big.pairs.empty());
}

} // namespace
