// Reading the worker's input file whole, with the outcomes both workers refuse on.
#pragma once

#include "runtime/result_stream.h"

#include <cstdint>

enum class InputReadStatus { Ok, OpenFailed, Empty, NoMemory, ShortRead };

// The bytes of an input file: mapped where the system allows, so that the pages it
// already holds for the file serve as they are, else read into the heap. Given back
// by release or at destruction.
class InputBytes {
public:
    InputBytes() = default;
    ~InputBytes() { release(); }
    InputBytes(InputBytes&& other) noexcept;
    InputBytes& operator=(InputBytes&& other) noexcept;
    InputBytes(const InputBytes&) = delete;
    InputBytes& operator=(const InputBytes&) = delete;

    const uint8_t* data() const { return data_; }
    uint32_t size() const { return size_; }
    void release();
    // A mapped file's pages go until they are read again (from the file); bytes read into
    // the heap stay as they are.
    void dropPages() const;
    // The same for the whole pages of a range of the file.
    void dropPages(uint32_t offset, uint32_t length) const;

private:
    friend InputReadStatus readWholeInputFile(const char16_t* path, InputBytes& bytes);
    const uint8_t* data_ = nullptr;
    uint32_t size_ = 0;
    bool mapped_ = false;
};

// On Ok, bytes holds the file (size > 0). Sizes are signed 32-bit as the parent
// writes them; a larger file cannot be held and is refused as NoMemory rather than
// read in part.
InputReadStatus readWholeInputFile(const char16_t* path, InputBytes& bytes);

// For a worker, before it reads its input: should the file be cut short while mapped,
// reading the lost part ends the process with the record of a read that came up short.
void answerInputFaultsAs(StreamForm form);

// The refusal message both workers send for a failed read; opening the file is the one
// failure each worker words for itself.
const char* inputReadFailureMessage(InputReadStatus status, const char* openFailedMessage);
