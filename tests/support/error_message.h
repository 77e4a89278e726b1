// The message of the std::runtime_error an action throws, for tests of exact messages.
#pragma once

#include <stdexcept>
#include <string>

// "" when the action returns normally; other exception types pass through.
template <typename Action>
std::string runtimeErrorOf(Action&& action)
{
    try {
        action();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "";
}
