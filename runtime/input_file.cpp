#include "runtime/input_file.h"

#include "runtime/platform.h"

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

InputBytes::InputBytes(InputBytes&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, false))
{
}

InputBytes& InputBytes::operator=(InputBytes&& other) noexcept
{
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mapped_ = std::exchange(other.mapped_, false);
    }
    return *this;
}

void InputBytes::release()
{
    if (mapped_)
        unmapFile(data_, size_);
    else
        std::free(const_cast<uint8_t*>(data_));
    data_ = nullptr;
    size_ = 0;
    mapped_ = false;
}

void InputBytes::dropPages() const
{
    dropPages(0, size_);
}

void InputBytes::dropPages(uint32_t offset, uint32_t length) const
{
    if (mapped_ && offset <= size_ && length <= size_ - offset)
        dropWholePages(data_ + offset, length);
}

InputReadStatus readWholeInputFile(const char16_t* path, InputBytes& bytes)
{
    bytes.release();
    FILE* file = openFileForReading(path);
    if (file == nullptr)
        return InputReadStatus::OpenFailed;
    const int64_t end = fileSizeOfOpenFile(file);
    if (end <= 0) {
        std::fclose(file);
        return InputReadStatus::Empty;
    }
    if (end > INT32_MAX) {
        std::fclose(file);
        return InputReadStatus::NoMemory;
    }
    const size_t length = static_cast<size_t>(end);
    if (const uint8_t* mapped = mapFileForReading(file, length)) {
        std::fclose(file);
        bytes.data_ = mapped;
        bytes.size_ = static_cast<uint32_t>(length);
        bytes.mapped_ = true;
        return InputReadStatus::Ok;
    }
    uint8_t* buffer = static_cast<uint8_t*>(std::malloc(length));
    if (buffer == nullptr) {
        std::fclose(file);
        return InputReadStatus::NoMemory;
    }
    const size_t got = std::fread(buffer, 1, length, file);
    std::fclose(file);
    if (got != length) {
        std::free(buffer);
        return InputReadStatus::ShortRead;
    }
    bytes.data_ = buffer;
    bytes.size_ = static_cast<uint32_t>(length);
    return InputReadStatus::Ok;
}

void answerInputFaultsAs(StreamForm form)
{
    static std::vector<uint8_t> record;
    record = errorRecordBytes(form, inputReadFailureMessage(InputReadStatus::ShortRead, nullptr));
    answerMappingFaultsWith(record.data(), record.size());
}

const char* inputReadFailureMessage(InputReadStatus status, const char* openFailedMessage)
{
    switch (status) {
    case InputReadStatus::OpenFailed:
        return openFailedMessage;
    case InputReadStatus::Empty:
        return "il flusso /3DD e' vuoto: non c'e' nessun modello da leggere";
    case InputReadStatus::NoMemory:
        return "memoria insufficiente per leggere il flusso /3DD";
    case InputReadStatus::ShortRead:
        return "lettura incompleta del file temporaneo con i dati del modello";
    case InputReadStatus::Ok:
        break;
    }
    return nullptr;
}
