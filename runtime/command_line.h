// Splitting of a wide-character command line into arguments, with the quoting and
// backslash rules of the Windows C runtime. The program name is split like any argument.
#pragma once

#include <string>
#include <vector>

std::vector<std::u16string> splitCommandLine(const char16_t* text);

// True when the text is absent, empty or white space only.
bool isBlankCommandLine(const char16_t* text);
