#include "runtime/command_line.h"

#include <gtest/gtest.h>

namespace {

TEST(SplitCommandLine, GivesTheArguments)
{
    const std::pair<const char16_t*, std::vector<std::u16string>> cases[] = {
        {u"prog a b", {u"prog", u"a", u"b"}},
        {u"prog \"a b\" c", {u"prog", u"a b", u"c"}},
        {u"prog \"\" x", {u"prog", u"", u"x"}},
        {u"prog \"a\"\"b\"", {u"prog", u"a\"b"}},
        {u"prog a\\\\\"b c\"", {u"prog", u"a\\b c"}},
        {u"prog a\\\"b", {u"prog", u"a\"b"}},
        {u"prog a\\b", {u"prog", u"a\\b"}},
        {u"prog \"", {u"prog", u""}},
        {u"\"C:\\Program Files\\x.exe\" file", {u"C:\\Program Files\\x.exe", u"file"}},
        {u"  prog  a  ", {u"prog", u"a"}},
        {u" \t ", {}},
        {u"", {}},
        {nullptr, {}},
        {u"prog a\\\\\\\"b", {u"prog", u"a\\\"b"}},   // three backslashes before a quote
        {u"prog ab\"c d\"e", {u"prog", u"abc de"}},   // a quoted part glued to plain text
        {u"prog \"\" \"\"", {u"prog", u"", u""}},
        {u"prog \"a\"\"", {u"prog", u"a\""}},         // a doubled quote at the very end
        {u"prog \"d\u00e9j\u00e0 vu\\\u6f22.prc\"", {u"prog", u"d\u00e9j\u00e0 vu\\\u6f22.prc"}}};
    for (const auto& c : cases)
        EXPECT_EQ(splitCommandLine(c.first), c.second) << "case " << &c - cases;
    for (const char16_t* blank : {static_cast<const char16_t*>(nullptr), u"", u" \t\r\n"})
        EXPECT_TRUE(isBlankCommandLine(blank));
    EXPECT_FALSE(isBlankCommandLine(u" x "));
    EXPECT_FALSE(isBlankCommandLine(u"\"\""));
}

} // namespace
