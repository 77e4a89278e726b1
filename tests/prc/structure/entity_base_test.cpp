#include "prc/structure/entity_base.h"

#include "tests/support/error_message.h"
#include "tests/support/prc_entity_writer.h"

#include <gtest/gtest.h>

namespace {

TEST(EntityBase, AttributeValuesByType)
{
    for (uint32_t type = 0; type <= 7; ++type) {
        PrcBitWriter w;
        writeAttributes(w, {{{true, 7, ""}, {{{false, 0, "key"}, type}, {{true, 300, ""}, type}}}, {}});
        PrcBitInput in(w.bytes());
        EXPECT_EQ(failsToDecode([&] { readAttributes(in.reader); }), type > 5);
        EXPECT_EQ(readsExactly(w, readAttributes), type <= 5) << "value type " << type;
    }
    PrcBitInput wrongType("1 00000001 0 1 00000111 0"); // one attribute of type 7
    EXPECT_TRUE(failsToDecode([&] { readAttributes(wrongType.reader); }));
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
        EXPECT_EQ(failsToDecode([&] { readEmptyContentPRCBase(in.reader); }), !std::string_view(message).empty()) << bits;
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
        EXPECT_EQ(failsToDecode([&] { readUserData(in.reader); }), !std::string_view(message).empty());
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
    EXPECT_TRUE(failsToDecode([&] { readReferenceData(data.reader); }));
    EXPECT_TRUE(failsToDecode([&] { readReferenceData(custom.reader, "mine"); }));
    EXPECT_TRUE(failsToDecode([&] { readReferenceOnPRCBase(onBase.reader, "Leader.first_linked_item"); }));
}

} // namespace
