#include "runtime/command_line.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase {
    const char16_t* text;
    std::vector<std::u16string> expected;
};

class SplitCommandLine : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLine, GivesTheArguments)
{
    EXPECT_EQ(splitCommandLine(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitCommandLine,
    ::testing::Values(
        SplitCase{u"prog a b", {u"prog", u"a", u"b"}},
        SplitCase{u"prog \"a b\" c", {u"prog", u"a b", u"c"}},
        SplitCase{u"prog \"\" x", {u"prog", u"", u"x"}},
        SplitCase{u"prog \"a\"\"b\"", {u"prog", u"a\"b"}},
        SplitCase{u"prog a\\\\\"b c\"", {u"prog", u"a\\b c"}},
        SplitCase{u"prog a\\\"b", {u"prog", u"a\"b"}},
        SplitCase{u"prog a\\b", {u"prog", u"a\\b"}},
        SplitCase{u"prog \"", {u"prog", u""}},
        SplitCase{u"\"C:\\Program Files\\x.exe\" file", {u"C:\\Program Files\\x.exe", u"file"}},
        SplitCase{u"  prog  a  ", {u"prog", u"a"}},
        SplitCase{u" \t ", {}},
        SplitCase{u"", {}},
        SplitCase{nullptr, {}},
        // Three backslashes before a quote: one backslash and a literal quote.
        SplitCase{u"prog a\\\\\\\"b", {u"prog", u"a\\\"b"}},
        // A quoted part glued to plain text stays one argument.
        SplitCase{u"prog ab\"c d\"e", {u"prog", u"abc de"}},
        // A quote pair as the whole argument, followed by more arguments.
        SplitCase{u"prog \"\" \"\"", {u"prog", u"", u""}},
        // Doubled quote right at the end of the text closes the argument.
        SplitCase{u"prog \"a\"\"", {u"prog", u"a\""}},
        // Non-ASCII text passes through unchanged.
        SplitCase{u"prog \"d\u00e9j\u00e0 vu\\\u6f22.prc\"", {u"prog", u"d\u00e9j\u00e0 vu\\\u6f22.prc"}}),
    [](const ::testing::TestParamInfo<SplitCase>& info) { return "case" + std::to_string(info.index); });

TEST(IsBlankCommandLine, OnlyWhiteSpaceIsBlank)
{
    EXPECT_TRUE(isBlankCommandLine(nullptr));
    EXPECT_TRUE(isBlankCommandLine(u""));
    EXPECT_TRUE(isBlankCommandLine(u" \t\r\n"));
    EXPECT_FALSE(isBlankCommandLine(u" x "));
    EXPECT_FALSE(isBlankCommandLine(u"\"\""));
}

} // namespace
