// Whether an action fails the way a decoder fails: with a std::runtime_error, which the
// workers catch and turn into a status. The wording never leaves the process, so tests
// do not pin it.
#pragma once

#include <stdexcept>

// Other exception types pass through.
template <typename Action>
bool failsToDecode(Action&& action)
{
    try {
        action();
    } catch (const std::runtime_error&) {
        return true;
    }
    return false;
}
