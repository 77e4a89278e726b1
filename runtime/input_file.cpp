#include "runtime/input_file.h"

#include "runtime/platform.h"

#include <cstdio>
#include <cstdlib>

InputReadStatus readWholeInputFile(const char16_t* path, uint8_t*& data, uint32_t& size)
{
    data = nullptr;
    size = 0;
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
    data = buffer;
    size = static_cast<uint32_t>(length);
    return InputReadStatus::Ok;
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
