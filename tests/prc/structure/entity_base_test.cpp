#include "prc/structure/entity_base.h"

#include "tests/support/error_message.h"
#include "tests/support/prc_entity_writer.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

PrcAttribute attributeWithKeys(std::vector<PrcAttributeKey> keys)
{
    PrcAttribute attribute;
    attribute.title.text = "title";
    attribute.keys = std::move(keys);
    return attribute;
}

PrcAttributeKey key(uint32_t type, bool numberedTitle = false)
{
    PrcAttributeKey k;
    k.type = type;
    k.title.numbered = numberedTitle;
    k.title.number = 300;
    k.title.text = "key";
    k.integer = -70000;
    k.unsignedInteger = 0x12345678;
    k.real = 2.5;
    k.text = "value";
    return k;
}

TEST(EntityBase, BaseContentReadsIdentifiersByType)
{
    // Section headers and pictures have no identifiers; every other type, 0 included, has three.
    const std::pair<uint32_t, bool> cases[] = {{0, true},    {204, true},  {300, true},  {301, false}, {303, false},
                                               {305, false}, {306, true},  {702, true},  {703, false}, {704, true}};
    PrcBase base = namedBase("part");
    base.attributes = {attributeWithKeys({key(1), key(2, true)})};
    base.cadId = 5, base.cadPersistentId = 300, base.uniqueId = 70000; // 10 + 19 + 28 bits
    PrcBitWriter bare;
    writeContentPRCBase(bare, base, 301);
    for (const auto& [type, identifiers] : cases) {
        PrcBitWriter w;
        writeContentPRCBase(w, base, type);
        EXPECT_EQ(w.bitCount(), bare.bitCount() + (identifiers ? 57 : 0)) << type;
        PrcBitInput in = inputWithSentinel(w);
        EXPECT_EQ(readContentPRCBase(in.reader, type), "part") << type;
        EXPECT_TRUE(atSentinel(in.reader)) << type << (identifiers ? " with" : " without") << " identifiers";
    }
}

TEST(EntityBase, NameReuseCarriesAcrossEntitiesOfAnyKind)
{
    PrcBitWriter w;
    PrcBase reuse;
    reuse.reuseName = true;
    writeContentPRCBase(w, reuse, 310);             // first entity: the initial name
    writeContentPRCBase(w, namedBase("bolt"), 311); // a new name
    writeContentPRCBase(w, reuse, 702);             // another kind reuses it
    writeContentPRCBase(w, namedBase(""), 310);     // an explicit empty name replaces it
    writeContentPRCBase(w, reuse, 310);
    PrcBitInput in = inputWithSentinel(w);
    EXPECT_EQ(readContentPRCBase(in.reader, 310), "");
    EXPECT_EQ(readContentPRCBase(in.reader, 311), "bolt");
    EXPECT_EQ(readContentPRCBase(in.reader, 702), "bolt");
    EXPECT_EQ(readContentPRCBase(in.reader, 310), "");
    EXPECT_EQ(readContentPRCBase(in.reader, 310), "");
    EXPECT_TRUE(atSentinel(in.reader));
}

TEST(EntityBase, AttributeValuesByType)
{
    for (uint32_t type = 0; type <= 5; ++type) {
        PrcBitWriter w;
        writeAttributes(w, {attributeWithKeys({key(type), key(type, true)}), attributeWithKeys({})});
        PrcBitInput in = inputWithSentinel(w);
        readAttributes(in.reader);
        EXPECT_TRUE(atSentinel(in.reader)) << "value type " << type;
    }
    const std::pair<uint32_t, std::string> refused[] = {
        {6, "readSingleAttribute: unhandled attribute type 6"},
        {0xFFFFFFFF, "readSingleAttribute: unhandled attribute type 4294967295"}};
    for (const auto& [type, message] : refused) {
        PrcBitWriter w;
        writeAttributes(w, {attributeWithKeys({key(type)})});
        PrcBitInput in(w.bytes());
        EXPECT_EQ(runtimeErrorOf([&] { readAttributes(in.reader); }), message);
    }
    PrcBitInput wrongType("1 00000001 0 1 00000111 0"); // one attribute of type 7
    EXPECT_EQ(runtimeErrorOf([&] { readAttributes(wrongType.reader); }),
              "unexpected type for PRCAttribute: expected 201, got 7");
}

TEST(EntityBase, EmptyBaseContentRefusesAnythingButEmpty)
{
    struct Case {
        std::string previousName;
        std::function<void(PrcBitWriter&)> write;
        std::string message;
    };
    const Case cases[] = {
        {"", [](PrcBitWriter& w) { w.writeBitString("0 1"); }, ""},    // no attribute, reuse the empty name
        {"", [](PrcBitWriter& w) { w.writeBitString("0 0 0"); }, ""},  // a new empty name
        {"old", [](PrcBitWriter& w) { w.writeBitString("0 0 0"); }, ""},
        {"old", [](PrcBitWriter& w) { w.writeBitString("0 1"); },
         "readEmptyContentPRCBase: unexpected name (non-empty section?)"},
        {"", [](PrcBitWriter& w) { writeContentPRCBase(w, namedBase("x"), 304); },
         "readEmptyContentPRCBase: unexpected name (non-empty section?)"},
        {"", [](PrcBitWriter& w) { writeAttributes(w, {attributeWithKeys({})}); },
         "readEmptyContentPRCBase: unexpected attributes (non-empty section?)"},
    };
    for (const Case& c : cases) {
        PrcBitWriter w;
        c.write(w);
        PrcBitInput in = inputWithSentinel(w);
        in.reader.currentName = c.previousName;
        EXPECT_EQ(runtimeErrorOf([&] { readEmptyContentPRCBase(in.reader); }), c.message);
        if (c.message.empty()) {
            EXPECT_TRUE(atSentinel(in.reader));
        }
    }
}

TEST(EntityBase, UserDataIsSkippedUpToTheEnd)
{
    for (const uint32_t bits : {0u, 1u, 13u, 300u}) {
        PrcBitWriter w;
        writeUserData(w, bits);
        PrcBitInput in = inputWithSentinel(w);
        readUserData(in.reader);
        EXPECT_TRUE(atSentinel(in.reader)) << bits;
    }
    // Six bits announced and left before the end of the data, then seven.
    PrcBitInput exact("1 00000110 0 101010");
    EXPECT_EQ(runtimeErrorOf([&] { readUserData(exact.reader); }), "");
    EXPECT_EQ(exact.reader.bitsLeft(), 0u);
    PrcBitInput over("1 00000111 0 101010");
    EXPECT_EQ(runtimeErrorOf([&] { readUserData(over.reader); }), "PRCBitReader: skip past end");
}

TEST(EntityBase, ReferencesByType)
{
    PrcReference local;
    local.targetType = 311, local.index = 4;
    PrcReference remote = local;
    remote.sameFileStructure = false, remote.uid = {1, 2, 300, 70000};
    PrcReference topology = remote;
    topology.type = 206, topology.topologyIndex = 9, topology.topologyIndices = {1, 2, 3};
    PrcReference topologyLocal = topology;
    topologyLocal.sameFileStructure = true;
    PrcReference absent = topology;
    absent.present = false;
    for (const PrcReference& reference : {local, remote, topology, topologyLocal, absent}) {
        PrcBitWriter w;
        writeReference(w, reference);
        if (reference.type == 205)
            writeReference(w, reference);
        PrcBitInput in = inputWithSentinel(w);
        readReferenceData(in.reader);
        if (reference.type == 205)
            readReferenceOnPRCBase(in.reader, "Test.reference");
        EXPECT_TRUE(atSentinel(in.reader)) << reference.type << " " << reference.sameFileStructure;
    }
    PrcReference unknown;
    unknown.type = 207;
    PrcBitWriter w;
    writeReference(w, unknown);
    PrcBitInput data(w.bytes()), onBase(w.bytes()), custom(w.bytes());
    EXPECT_EQ(runtimeErrorOf([&] { readReferenceData(data.reader); }), "ReferenceData: unknown type");
    EXPECT_EQ(runtimeErrorOf([&] { readReferenceData(custom.reader, "mine"); }), "mine");
    EXPECT_EQ(runtimeErrorOf([&] { readReferenceOnPRCBase(onBase.reader, "Leader.first_linked_item"); }),
              "unexpected type for Leader.first_linked_item: expected 205, got 207");
}

TEST(EntityBase, RepresentationItemContentKeepsStyleAndIndices)
{
    struct Case {
        uint32_t version;
        PrcGraphicsBlock graphics;
        uint32_t coordinateSystemPlusOne, tessellationPlusOne;
        RepresentationItemContent expected;
    };
    PrcGraphicsBlock styled;
    styled.lineStyle = 6;
    styled.extensionPairs = {{1, 2}, {3, 4}};
    PrcGraphicsBlock same;
    same.sameAsCurrent = true;
    const Case cases[] = {
        {8137, styled, 0, 0, {6, UINT64_MAX, UINT64_MAX}},
        {8138, styled, 1, 0x80000000, {6, 0, 0x7FFFFFFF}},
        {kPrcVersionUnknown, styled, 0xFFFFFFFF, 3, {6, 0xFFFFFFFE, 2}},
        {8138, same, 2, 1, {11, 1, 0}}, // the current line style stays
    };
    for (const Case& c : cases) {
        PrcBitWriter w;
        writeContentPRCBase(w, namedBase("item"), 237);
        w.writeGraphics(c.graphics, c.version);
        w.writeUnsignedInteger(c.coordinateSystemPlusOne);
        w.writeUnsignedInteger(c.tessellationPlusOne);
        PrcBitInput in = inputWithSentinel(w, c.version);
        in.reader.currentLineStyle = 11;
        const RepresentationItemContent content = readRepresentationItemContent(in.reader, 237);
        EXPECT_EQ(content.styleIndex, c.expected.styleIndex);
        EXPECT_EQ(content.index_local_coordinate_system, c.expected.index_local_coordinate_system);
        EXPECT_EQ(content.index_tessellation, c.expected.index_tessellation);
        EXPECT_TRUE(atSentinel(in.reader));
    }
}

} // namespace
