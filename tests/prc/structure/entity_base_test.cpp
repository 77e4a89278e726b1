#include "prc/structure/entity_base.h"

#include "tests/support/error_message.h"
#include "tests/support/prc_entity_writer.h"

#include <gtest/gtest.h>

namespace {

TEST(EntityBase, BaseContentReadsIdentifiersByType)
{
    // Section headers and pictures have no identifiers; every other type, 0 included, has three.
    const std::pair<uint32_t, bool> cases[] = {{0, true},   {204, true},  {300, true}, {301, false}, {305, false},
                                               {306, true}, {702, true}, {703, false}, {704, true}};
    PrcBase base = namedBase("part");
    base.attributes = {{{false, 0, "title"}, {{{}, 1}, {{true, 300, ""}, 2}}}};
    base.cadId = 5, base.cadPersistentId = 300, base.uniqueId = 70000; // 10 + 19 + 28 bits
    PrcBitWriter bare;
    writeContentPRCBase(bare, base, 301);
    for (const auto& [t, identifiers] : cases) {
        const uint32_t type = t;
        PrcBitWriter w;
        writeContentPRCBase(w, base, type);
        EXPECT_EQ(w.bitCount(), bare.bitCount() + (identifiers ? 57 : 0)) << type;
        EXPECT_TRUE(readsExactly(w, [&](PRCBitReader& r) { EXPECT_EQ(readContentPRCBase(r, type), "part"); })) << type;
    }
}

TEST(EntityBase, NameReuseCarriesAcrossEntitiesOfAnyKind)
{
    PrcBase reuse;
    reuse.reuseName = true;
    const std::pair<PrcBase, std::string> sequence[] = {
        {reuse, ""}, {namedBase("bolt"), "bolt"}, {reuse, "bolt"}, {namedBase(""), ""}, {reuse, ""}};
    PrcBitWriter w;
    uint32_t type = 310;
    for (const auto& [base, name] : sequence)
        writeContentPRCBase(w, base, type++);
    EXPECT_TRUE(readsExactly(w, [&](PRCBitReader& r) {
        type = 310;
        for (const auto& [base, name] : sequence)
            EXPECT_EQ(readContentPRCBase(r, type++), name);
    }));
}

TEST(EntityBase, AttributeValuesByType)
{
    for (uint32_t type = 0; type <= 7; ++type) {
        PrcBitWriter w;
        writeAttributes(w, {{{true, 7, ""}, {{{false, 0, "key"}, type}, {{true, 300, ""}, type}}}, {}});
        PrcBitInput in(w.bytes());
        EXPECT_EQ(runtimeErrorOf([&] { readAttributes(in.reader); }),
                  type <= 5 ? "" : "readSingleAttribute: unhandled attribute type " + std::to_string(type));
        EXPECT_EQ(readsExactly(w, readAttributes), type <= 5) << "value type " << type;
    }
    PrcBitInput wrongType("1 00000001 0 1 00000111 0"); // one attribute of type 7
    EXPECT_EQ(runtimeErrorOf([&] { readAttributes(wrongType.reader); }),
              "unexpected type for PRCAttribute: expected 201, got 7");
}

TEST(EntityBase, EmptyBaseContentRefusesAnythingButEmpty)
{
    const std::string name = "readEmptyContentPRCBase: unexpected name (non-empty section?)";
    // (current name, bits: attribute count, name flag, string flag, ...)
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"", "0 1", ""},          // reuses the empty name
        {"old", "0 0 0", ""},     // a new empty name replaces the old one
        {"old", "0 1", name},     // reusing a non-empty name is no empty base either
        {"", "0 0 1 1 00000001 0 01100001", name}, // a new name "a"
        {"", "1 00000001 0", "readEmptyContentPRCBase: unexpected attributes (non-empty section?)"},
    };
    for (const auto& [current, bits, message] : cases) {
        PrcBitInput in = inputWithSentinel(PrcBitWriter(bits));
        in.reader.currentName = current;
        EXPECT_EQ(runtimeErrorOf([&] { readEmptyContentPRCBase(in.reader); }), message) << bits;
        EXPECT_TRUE(!message.empty() || atSentinel(in.reader)) << bits;
    }
}

TEST(EntityBase, UserDataIsSkippedUpToTheEnd)
{
    for (const uint32_t bits : {0u, 13u, 300u}) {
        PrcBitWriter w;
        writeUserData(w, bits);
        EXPECT_TRUE(readsExactly(w, readUserData)) << bits;
    }
    // Six bits announced and left before the end of the data, then seven.
    for (const auto& [bits, message] : {std::pair{"1 00000110 0 101010", ""},
                                        std::pair{"1 00000111 0 101010", "PRCBitReader: skip past end"}}) {
        PrcBitInput in(bits);
        EXPECT_EQ(runtimeErrorOf([&] { readUserData(in.reader); }), message);
    }
}

TEST(EntityBase, ReferencesByType)
{
    PrcReference remote;
    remote.sameFileStructure = false;
    PrcReference topology = remote;
    topology.type = 206;
    PrcReference topologyLocal = topology;
    topologyLocal.sameFileStructure = true;
    PrcReference absent = topology;
    absent.present = false;
    for (const PrcReference& reference : {PrcReference{}, remote, topology, topologyLocal, absent}) {
        PrcBitWriter w;
        writeReference(w, reference);
        writeReference(w, {});
        EXPECT_TRUE(readsExactly(w, [](PRCBitReader& r) { readReferenceData(r), readReferenceOnPRCBase(r, "T.r"); }))
            << reference.type << " " << reference.sameFileStructure;
    }
    PrcBitInput data("1 11001111 0"), custom("1 11001111 0"), onBase("1 11001111 0"); // type 207
    EXPECT_EQ(runtimeErrorOf([&] { readReferenceData(data.reader); }), "ReferenceData: unknown type");
    EXPECT_EQ(runtimeErrorOf([&] { readReferenceData(custom.reader, "mine"); }), "mine");
    EXPECT_EQ(runtimeErrorOf([&] { readReferenceOnPRCBase(onBase.reader, "Leader.first_linked_item"); }),
              "unexpected type for Leader.first_linked_item: expected 205, got 207");
}

} // namespace
