// Fake decoders hand their arrays over as the real ones do: malloc'ed, owned by the caller.
#pragma once

#include <cstdlib>
#include <cstring>
#include <initializer_list>

template <typename T>
T* heapCopy(std::initializer_list<T> values)
{
    T* out = static_cast<T*>(std::malloc(values.size() * sizeof(T)));
    std::memcpy(out, values.begin(), values.size() * sizeof(T));
    return out;
}
