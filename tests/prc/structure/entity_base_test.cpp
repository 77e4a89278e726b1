#include "prc/structure/entity_base.h"

#include "tests/support/error_message.h"
#include "tests/support/prc_entity_writer.h"

#include <gtest/gtest.h>

namespace {

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

} // namespace
