// Windows side of the platform utilities: the wide-character system calls.
#include "runtime/platform.h"

#include "runtime/command_line.h"

#include <windows.h>

#include <psapi.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <sys/stat.h>
#include <cwchar>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t expected on Windows");

namespace {

const wchar_t* asWide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
const char16_t* asUtf16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }

constexpr DWORD kTempPathCapacity = 261;

} // namespace

char* wideToUtf8(const char16_t* text)
{
    if (text == nullptr)
        return nullptr;
    const int length = WideCharToMultiByte(CP_UTF8, 0, asWide(text), -1, nullptr, 0, nullptr, nullptr);
    if (length < 1)
        return nullptr;
    char* out = static_cast<char*>(std::malloc(static_cast<size_t>(length)));
    if (out == nullptr)
        return nullptr;
    if (WideCharToMultiByte(CP_UTF8, 0, asWide(text), -1, out, length, nullptr, nullptr) <= 0) {
        std::free(out);
        return nullptr;
    }
    return out;
}

char16_t* utf8ToWide(const char* text)
{
    if (text == nullptr)
        return nullptr;
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (length < 1)
        return nullptr;
    wchar_t* out = static_cast<wchar_t*>(std::malloc(static_cast<size_t>(length) * 2));
    if (out == nullptr)
        return nullptr;
    if (MultiByteToWideChar(CP_UTF8, 0, text, -1, out, length) <= 0) {
        std::free(out);
        return nullptr;
    }
    return reinterpret_cast<char16_t*>(out);
}

namespace {

char* pathOfModule(HMODULE module)
{
    for (DWORD capacity = 512; capacity <= 32768; capacity *= 2) {
        wchar_t* buffer = static_cast<wchar_t*>(std::malloc(capacity * sizeof(wchar_t)));
        if (buffer == nullptr)
            return nullptr;
        const DWORD n = GetModuleFileNameW(module, buffer, capacity);
        if (n == 0) {
            std::free(buffer);
            return nullptr;
        }
        if (n < capacity) {
            char* path = wideToUtf8(asUtf16(buffer));
            std::free(buffer);
            return path;
        }
        std::free(buffer); // a full buffer means the name was cut
    }
    return nullptr;
}

} // namespace

char* getModulePath()
{
    return pathOfModule(nullptr);
}

char* getLibraryPathContaining(const void* address)
{
    HMODULE module = nullptr;
    if (address == nullptr ||
        !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(address), &module))
        return nullptr;
    return pathOfModule(module);
}

bool setEnvironmentUtf8(const char* name, const char* value, bool overwrite)
{
    if (name == nullptr || value == nullptr)
        return false;
    if (!overwrite) {
        char16_t* wideName = utf8ToWide(name);
        if (wideName != nullptr) {
            const DWORD existing = GetEnvironmentVariableW(asWide(wideName), nullptr, 0);
            std::free(wideName);
            if (existing != 0)
                return true;
        }
    }
    char16_t* wideName = utf8ToWide(name);
    char16_t* wideValue = utf8ToWide(value);
    bool ok = false;
    if (wideName != nullptr && wideValue != nullptr) {
        const bool processBlock = SetEnvironmentVariableW(asWide(wideName), asWide(wideValue)) != 0;
        const bool runtimeCopy = _wputenv_s(asWide(wideName), asWide(wideValue)) == 0;
        ok = processBlock && runtimeCopy;
    }
    std::free(wideName);
    std::free(wideValue);
    return ok;
}

char* writeTempFile(const char* prefix, const void* data, size_t byteCount)
{
    if (data == nullptr && byteCount != 0)
        return nullptr;
    wchar_t folder[kTempPathCapacity];
    const DWORD folderLength = GetTempPathW(kTempPathCapacity, folder);
    if (folderLength == 0 || folderLength > kTempPathCapacity - 1)
        return nullptr;
    char16_t* widePrefix = utf8ToWide(prefix ? prefix : kDefaultTempPrefix);
    if (widePrefix == nullptr)
        return nullptr;
    wchar_t name[MAX_PATH];
    const UINT unique = GetTempFileNameW(folder, asWide(widePrefix), 0, name);
    std::free(widePrefix);
    if (unique == 0)
        return nullptr;
    FILE* file = _wfopen(name, L"wb");
    if (file == nullptr) {
        DeleteFileW(name);
        return nullptr;
    }
    if (byteCount != 0 && std::fwrite(data, 1, byteCount, file) != byteCount) {
        std::fclose(file);
        DeleteFileW(name);
        return nullptr;
    }
    if (std::fclose(file) != 0) {
        DeleteFileW(name);
        return nullptr;
    }
    char* path = wideToUtf8(asUtf16(name));
    if (path == nullptr)
        DeleteFileW(name);
    return path;
}

bool deleteFileUtf8(const char* path)
{
    if (path == nullptr)
        return false;
    char16_t* wide = utf8ToWide(path);
    if (wide == nullptr)
        return false;
    const bool deleted = DeleteFileW(asWide(wide)) != 0;
    std::free(wide);
    return deleted;
}

void setBinaryStdout()
{
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
    // Unbuffered, so that every write reports its own success.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
}

void setBinaryStdin()
{
    _setmode(_fileno(stdin), _O_BINARY);
}

std::vector<std::u16string> processArguments(int, char**, bool& commandLineBlank)
{
    const wchar_t* commandLine = GetCommandLineW();
    const char16_t* text = commandLine ? asUtf16(commandLine) : u"";
    commandLineBlank = isBlankCommandLine(text);
    return splitCommandLine(text);
}

FILE* openFileForReading(const char16_t* path)
{
    if (path == nullptr)
        return nullptr;
    return _wfopen(asWide(path), L"rb");
}

int64_t fileSizeOfOpenFile(FILE* file)
{
    if (_fseeki64(file, 0, SEEK_END) != 0)
        return -1;
    const int64_t end = _ftelli64(file);
    if (_fseeki64(file, 0, SEEK_SET) != 0)
        return -1;
    return end;
}

const uint8_t* mapFileForReading(FILE* file, size_t length)
{
    if (file == nullptr || length == 0)
        return nullptr;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    HANDLE mapping = CreateFileMappingW(handle, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping == nullptr)
        return nullptr;
    void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, length);
    CloseHandle(mapping); // the view keeps it
    return static_cast<const uint8_t*>(view);
}

void unmapFile(const uint8_t* bytes, size_t)
{
    if (bytes != nullptr)
        UnmapViewOfFile(bytes);
}

// The working set is the system's to trim here.
void dropWholePages(const uint8_t*, size_t) {}

// A file cannot be cut short while a view of it is mapped.
void answerMappingFaultsWith(const void*, size_t) {}

namespace {

// A wide string from UTF-8, freed on scope exit.
struct WidePath {
    explicit WidePath(const char* utf8) : text(utf8ToWide(utf8)) {}
    ~WidePath() { std::free(text); }
    WidePath(const WidePath&) = delete;
    WidePath& operator=(const WidePath&) = delete;
    const wchar_t* get() const { return asWide(text); }
    explicit operator bool() const { return text != nullptr; }
    char16_t* text;
};

// The path the system reports for an open handle, without the \\?\ form that
// GetFinalPathNameByHandleW adds: \\?\UNC\server\share becomes \\server\share.
char* finalPathOfHandle(HANDLE handle)
{
    const DWORD needed = GetFinalPathNameByHandleW(handle, nullptr, 0, FILE_NAME_NORMALIZED);
    if (needed == 0)
        return nullptr;
    std::wstring buffer(needed, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(handle, buffer.data(), needed, FILE_NAME_NORMALIZED);
    if (length == 0 || length >= needed)
        return nullptr;
    buffer.resize(length);
    if (buffer.rfind(L"\\\\?\\UNC\\", 0) == 0)
        buffer = L"\\\\" + buffer.substr(8);
    else if (buffer.rfind(L"\\\\?\\", 0) == 0)
        buffer = buffer.substr(4);
    return wideToUtf8(asUtf16(buffer.c_str()));
}

} // namespace

char* getEnvironmentUtf8(const char* name)
{
    WidePath wideName(name);
    if (!wideName)
        return nullptr;
    const DWORD needed = GetEnvironmentVariableW(wideName.get(), nullptr, 0);
    if (needed == 0)
        return nullptr;
    std::wstring value(needed, L'\0');
    const DWORD length = GetEnvironmentVariableW(wideName.get(), value.data(), needed);
    if (length >= needed)
        return nullptr; // changed in between
    value.resize(length);
    return wideToUtf8(asUtf16(value.c_str()));
}

bool environmentVariableExists(const char* name)
{
    WidePath wideName(name);
    if (!wideName)
        return false;
    SetLastError(ERROR_SUCCESS);
    return GetEnvironmentVariableW(wideName.get(), nullptr, 0) != 0 ||
           GetLastError() != ERROR_ENVVAR_NOT_FOUND;
}

bool setLibrarySearchFolder(const char* folder)
{
    // The wide call, so that a folder outside the system code page is still found.
    WidePath wideFolder(folder);
    return wideFolder && SetDllDirectoryW(wideFolder.get()) != 0;
}

void* loadLibraryBySearch(const char* fileName)
{
    WidePath wideName(fileName);
    return wideName ? static_cast<void*>(LoadLibraryW(wideName.get())) : nullptr;
}

void* loadLibraryFromPath(const char* path)
{
    return loadLibraryBySearch(path);
}

void* findLibrarySymbol(void* library, const char* name)
{
    if (library == nullptr || name == nullptr)
        return nullptr;
    const FARPROC symbol = GetProcAddress(static_cast<HMODULE>(library), name);
    return reinterpret_cast<void*>(symbol);
}

void unloadLibrary(void* library)
{
    if (library != nullptr)
        FreeLibrary(static_cast<HMODULE>(library));
}

char* finalPathOf(const char* path)
{
    WidePath widePath(path);
    if (!widePath || *widePath.get() == 0)
        return nullptr;
    wchar_t* absolute = _wfullpath(nullptr, widePath.get(), 0);
    if (absolute == nullptr)
        return nullptr;
    const HANDLE handle = CreateFileW(absolute, FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    std::free(absolute);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    char* final = finalPathOfHandle(handle);
    CloseHandle(handle);
    return final;
}

char* finalFolderPath(const char* path)
{
    char* final = finalPathOf(path);
    if (final == nullptr)
        return nullptr;
    WidePath wideFinal(final);
    const DWORD attributes = wideFinal ? GetFileAttributesW(wideFinal.get()) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        std::free(final);
        return nullptr;
    }
    return final;
}

PathKind examinePath(const char* path, uint64_t& size)
{
    size = 0;
    WidePath widePath(path);
    if (!widePath)
        return PathKind::Unreadable;
    const DWORD attributes = GetFileAttributesW(widePath.get());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return PathKind::Unreadable;
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
        return PathKind::Other;
    struct _stat64 info;
    if (_wstat64(widePath.get(), &info) != 0)
        return PathKind::Unreadable;
    if ((info.st_mode & _S_IFMT) != _S_IFREG)
        return PathKind::Other;
    size = static_cast<uint64_t>(info.st_size);
    return PathKind::RegularFile;
}

bool pathStartsWith(const char* path, const char* prefix)
{
    WidePath widePath(path);
    WidePath widePrefix(prefix);
    if (!widePath || !widePrefix)
        return false;
    const size_t prefixLength = std::wcslen(widePrefix.get());
    if (std::wcslen(widePath.get()) < prefixLength)
        return false;
    return CompareStringOrdinal(widePath.get(), static_cast<int>(prefixLength), widePrefix.get(),
                                static_cast<int>(prefixLength), TRUE) == CSTR_EQUAL;
}

double peakResidentMemoryMiB()
{
    PROCESS_MEMORY_COUNTERS counters{};
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

void returnLargeBlocksWhenFreed(int) {}

void returnFreedHeapPages() {}
