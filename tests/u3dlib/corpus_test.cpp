// Real files: framing of every block (nested ones included), and full decodes of the
// file header and of the node blocks, whose content must end where the block ends.
#include "tests/support/files.h"
#include "u3dlib/bit_decoder.h"
#include "u3dlib/block_framing.h"
#include "u3dlib/block_types.h"
#include "u3dlib/file_header.h"
#include "u3dlib/meta_data.h"
#include "u3dlib/modifier_chain.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>

using namespace u3dlib;

namespace {

constexpr int kMaxChainDepth = 4;

struct Walk {
    std::map<uint32_t, int> blocksByType;
    int nodeBlocks = 0;
    int nodesWithZeroTail = 0;
    int metaDataSections = 0;
    std::vector<std::string> problems;
    DecoderOptions options;
};

// Group, model and light nodes: name, parents (name and 16 F32 each), then a resource
// name (model: and a U32 visibility). Nothing compressed, so no closing word.
void decodeNode(const Block& block, Walk& walk)
{
    BitDecoder in(block.data, walk.options);
    in.readString();
    const uint32_t parents = in.readU32();
    if (in.ok() && parents > in.bytesLeft() / (2 + 16 * 4))
        in.fail(DecodeError::PastEnd);
    for (uint32_t i = 0; i < parents && in.ok(); ++i) {
        in.readString();
        for (int k = 0; k < 16; ++k)
            in.readF32();
    }
    if (block.type != kBlockGroupNode)
        in.readString();
    if (block.type == kBlockModelNode)
        in.readU32();
    const BlockEnd end = in.finish();
    ++walk.nodeBlocks;
    if (end.status == EndStatus::ZeroTail)
        ++walk.nodesWithZeroTail;
    else if (end.status != EndStatus::Exact)
        walk.problems.push_back("node at " + std::to_string(block.offset) + ": " + describeEndStatus(end.status));
}

std::string typeName(uint32_t type)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", type);
    const char* name = blockTypeName(type);
    return name != nullptr ? name : hex;
}

void walkBlocks(std::span<const uint8_t> bytes, uint64_t offset, int depth, Walk& walk)
{
    BlockCursor cursor(bytes, offset);
    while (const std::optional<Block> block = cursor.next()) {
        ++walk.blocksByType[block->type];
        if (!block->metaData.empty()) {
            ++walk.metaDataSections;
            const MetaDataResult meta = readMetaData(block->metaData);
            if (!meta.ok() || meta.end.status != EndStatus::Exact)
                walk.problems.push_back("meta data at " + std::to_string(block->offset));
        }
        if (block->type == kBlockGroupNode || block->type == kBlockModelNode || block->type == kBlockLightNode)
            decodeNode(*block, walk);
        if (block->type == kBlockModifierChain) {
            ModifierChainHeader chain;
            const ChainStatus status = readModifierChainHeader(*block, chain);
            if (status != ChainStatus::Ok)
                walk.problems.push_back(std::string("chain: ") + describeChainStatus(status));
            else if (depth < kMaxChainDepth)
                walkBlocks(chain.nestedBlocks, chain.nestedOffset, depth + 1, walk);
        }
    }
    // Real files must end exactly after their last block, at every level.
    if (cursor.status() != FramingStatus::End)
        walk.problems.push_back(std::string(describeFramingStatus(cursor.status())) + " at " +
                                std::to_string(cursor.offset()) + " (" + typeName(cursor.failedType()) +
                                ", depth " + std::to_string(depth) + ")");
}

TEST(U3dCorpus, EveryFileFramesToItsEndAndItsHeaderAndNodesDecode)
{
    const auto files = corpusFiles("u3d", ".u3d");
    if (files.empty())
        GTEST_SKIP() << "no U3D corpus";
    for (const auto& path : files) {
        const std::vector<uint8_t> bytes = readFileBytes(path);
        const std::string name = path.filename().string();
        SCOPED_TRACE(name);

        Block headerBlock;
        FileHeader header;
        ASSERT_TRUE(readFirstBlockAsFileHeader(bytes, headerBlock, header));
        BitDecoder in(headerBlock.data);
        readFileHeader(in);
        const BlockEnd headerEnd = in.finish();
        EXPECT_TRUE(headerEnd.status == EndStatus::Exact || headerEnd.status == EndStatus::ZeroTail);

        Walk walk;
        walk.options = header.decoderOptions();
        walkBlocks(bytes, 0, 0, walk);

        std::ostringstream report;
        report << name << ": profile 0x" << std::hex << header.profile << std::dec << ", header "
               << describeEndStatus(headerEnd.status) << ", " << walk.nodeBlocks << " nodes ("
               << walk.nodesWithZeroTail << " zero tail), " << walk.metaDataSections << " meta data;";
        for (const auto& [type, count] : walk.blocksByType)
            report << " " << typeName(type) << " " << count;
        for (const std::string& problem : walk.problems)
            report << "\n    " << problem;
        std::printf("%s\n", report.str().c_str());

        if (name == "vaastav_Cube.u3d") {
            ASSERT_FALSE(walk.problems.empty());
            EXPECT_NE(walk.problems.front().find("data goes past the end"), std::string::npos);
        } else {
            EXPECT_TRUE(walk.problems.empty()) << report.str();
        }
    }
}

} // namespace
