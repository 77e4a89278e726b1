// Why a model resource's continuation stream was given up. A generator whose stream
// fails once is lost for good: a desynchronised progressive stream decodes to huge or
// random geometry, and drawing nothing is better than drawing that.
#pragma once

#include <cstdint>

namespace u3dlib {

class GeneratorDecoder;

enum class StreamFault : uint8_t {
    None,
    Decode,           // the bit decoder failed: read past the block, budget, value too wide
    BadEnd,           // unread data or a non-zero closing word after the last update
    OutOfOrder,       // a base mesh after positions exist, a range not starting at the current resolution
    BeyondDeclared,   // more positions, primitives or attributes than the declaration allows
    IndexOutOfRange,  // an index to a position, colour, list entry or shading that does not exist
    BadValue,         // a flag or type field with a value that has no meaning
    TooLarge,         // beyond the library's fixed limits
};

const char* describeStreamFault(StreamFault fault);

// The fault that made a decoder lost (None while it is not lost).
StreamFault generatorFault(const GeneratorDecoder& decoder);

} // namespace u3dlib
