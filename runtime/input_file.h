// Reading the worker's input file whole, with the outcomes both workers refuse on.
#pragma once

#include <cstdint>

enum class InputReadStatus { Ok, OpenFailed, Empty, NoMemory, ShortRead };

// On Ok, data is a malloc'ed buffer of size bytes (size > 0) owned by the caller.
// Sizes are signed 32-bit as the parent writes them; a larger file cannot be held
// and is refused as NoMemory rather than read in part.
InputReadStatus readWholeInputFile(const char16_t* path, uint8_t*& data, uint32_t& size);

// The refusal message both workers send for a failed read; opening the file is the one
// failure each worker words for itself.
const char* inputReadFailureMessage(InputReadStatus status, const char* openFailedMessage);
