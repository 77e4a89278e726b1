// Strict UTF-8 / UTF-16 conversion without any system call.
#pragma once

#include <string>
#include <string_view>

// False on malformed input (bad sequences, overlong forms, surrogates, beyond U+10FFFF).
bool utf8ToUtf16(std::string_view in, std::u16string& out);
// Same, but each malformed sequence becomes U+FFFD.
void utf8ToUtf16Lossy(std::string_view in, std::u16string& out);
// False on an unpaired surrogate.
bool utf16ToUtf8(std::u16string_view in, std::string& out);
