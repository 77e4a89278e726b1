#include "runtime/command_line.h"

#include <cwctype>

namespace {

bool isSpace(char16_t c)
{
    return std::iswspace(static_cast<wint_t>(c)) != 0;
}

} // namespace

bool isBlankCommandLine(const char16_t* text)
{
    if (text == nullptr)
        return true;
    for (; *text; ++text)
        if (!isSpace(*text))
            return false;
    return true;
}

std::vector<std::u16string> splitCommandLine(const char16_t* text)
{
    std::vector<std::u16string> result;
    if (text == nullptr)
        return result;
    const char16_t* p = text;
    while (*p && isSpace(*p))
        ++p;
    if (*p == 0)
        return result;

    std::u16string current;
    bool hasArgument = false;
    bool inQuotes = false;
    while (*p) {
        const char16_t c = *p;
        if (c == u'\\') {
            size_t k = 0;
            while (p[k] == u'\\')
                ++k;
            if (p[k] == u'"') {
                current.append(k / 2, u'\\');
                if (k % 2 == 1)
                    current.push_back(u'"');
                else
                    inQuotes = !inQuotes;
                p += k + 1;
            } else {
                current.append(k, u'\\');
                p += k;
            }
            hasArgument = true;
            continue;
        }
        if (!inQuotes) {
            if (isSpace(c)) {
                if (hasArgument) {
                    result.push_back(current);
                    current.clear();
                }
                while (*p && isSpace(*p))
                    ++p;
                hasArgument = false;
                if (*p == 0)
                    return result;
                continue;
            }
            if (c == u'"') {
                if (p[1] == 0) {
                    result.push_back(current);
                    return result;
                }
                inQuotes = true;
                ++p;
                continue;
            }
            current.push_back(c);
            hasArgument = true;
            ++p;
            continue;
        }
        // Inside quotes.
        if (c == u'"') {
            if (p[1] == u'"') {
                current.push_back(u'"');
                p += 2;
                if (*p == 0) {
                    result.push_back(current);
                    return result;
                }
                continue;
            }
            if (p[1] == 0) {
                result.push_back(current);
                return result;
            }
            inQuotes = false;
            hasArgument = true;
            ++p;
            continue;
        }
        current.push_back(c);
        hasArgument = true;
        ++p;
    }
    if (hasArgument)
        result.push_back(current);
    return result;
}
