// POSIX side of the platform utilities: same contracts as the Windows side, with
// UTF-8 paths handed to the system as they are.
#include "runtime/platform.h"

#include "runtime/utf.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <mutex>
#include <string>
#include <sys/resource.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

char* duplicateString(const std::string& text)
{
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy)
        std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

// A closed standard descriptor would be handed out again by the next open(), and the
// stream would then land in whatever file took its number. Park /dev/null there instead:
// read-only on stdout, so writes to a closed stdout still fail as they must.
void reserveStandardDescriptor(int fd, int flags)
{
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
        return;
    const int opened = open("/dev/null", flags);
    if (opened != -1 && opened != fd) {
        dup2(opened, fd);
        close(opened);
    }
}

} // namespace

char* wideToUtf8(const char16_t* text)
{
    if (text == nullptr)
        return nullptr;
    std::string out;
    if (!utf16ToUtf8(std::u16string_view(text), out))
        return nullptr;
    return duplicateString(out);
}

char16_t* utf8ToWide(const char* text)
{
    if (text == nullptr)
        return nullptr;
    std::u16string out;
    if (!utf8ToUtf16(std::string_view(text), out))
        return nullptr;
    char16_t* copy = static_cast<char16_t*>(std::malloc((out.size() + 1) * sizeof(char16_t)));
    if (copy) {
        std::memcpy(copy, out.data(), out.size() * sizeof(char16_t));
        copy[out.size()] = 0;
    }
    return copy;
}

char* getModulePath()
{
    // Same growth as on Windows: a full buffer counts as truncated.
    for (size_t capacity = 512; capacity <= 32768; capacity *= 2) {
        char* buffer = static_cast<char*>(std::malloc(capacity));
        if (buffer == nullptr)
            return nullptr;
        const ssize_t n = readlink("/proc/self/exe", buffer, capacity);
        if (n <= 0) {
            std::free(buffer);
            return nullptr;
        }
        if (static_cast<size_t>(n) < capacity) {
            buffer[n] = 0;
            return buffer;
        }
        std::free(buffer);
    }
    return nullptr;
}

bool setEnvironmentUtf8(const char* name, const char* value, bool overwrite)
{
    if (name == nullptr || value == nullptr)
        return false;
    std::u16string ignored;
    if (!utf8ToUtf16(name, ignored) || !utf8ToUtf16(value, ignored))
        return false;
    if (!overwrite) {
        const char* existing = std::getenv(name);
        if (existing != nullptr && *existing != 0)
            return true;
    }
    return setenv(name, value, 1) == 0;
}

namespace {

// Nothing but write(), so that a signal handler may call it too.
bool writeAll(int fd, const void* data, size_t byteCount)
{
    const char* bytes = static_cast<const char*>(data);
    size_t written = 0;
    while (written < byteCount) {
        const ssize_t n = write(fd, bytes + written, byteCount - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

char* writeTempFile(const char* prefix, const void* data, size_t byteCount)
{
    if (data == nullptr && byteCount != 0)
        return nullptr;
    const char* folder = std::getenv("TMPDIR");
    if (folder == nullptr || *folder == 0)
        folder = "/tmp";
    std::string path = folder;
    if (path.back() != '/')
        path.push_back('/');
    path += prefix ? prefix : kDefaultTempPrefix;
    path += "XXXXXX";
    std::u16string ignored;
    if (!utf8ToUtf16(path, ignored))
        return nullptr;

    const int fd = mkstemp(path.data()); // created atomically, mode 0600
    if (fd == -1)
        return nullptr;
    const bool written = writeAll(fd, data, byteCount);
    const bool closed = close(fd) == 0;
    if (!written || !closed) {
        unlink(path.c_str());
        return nullptr;
    }
    char* result = duplicateString(path);
    if (result == nullptr)
        unlink(path.c_str());
    return result;
}

bool deleteFileUtf8(const char* path)
{
    if (path == nullptr)
        return false;
    return unlink(path) == 0;
}

void setBinaryStdout()
{
    std::fflush(stdout);
    reserveStandardDescriptor(STDIN_FILENO, O_RDONLY);
    reserveStandardDescriptor(STDOUT_FILENO, O_RDONLY);
    reserveStandardDescriptor(STDERR_FILENO, O_WRONLY);
    // A parent that stops reading must cost us exit code 1, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    // Unbuffered, so that every write reports its own success.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
}

void setBinaryStdin() {}

std::vector<std::u16string> processArguments(int argc, char** argv, bool& commandLineBlank)
{
    std::vector<std::u16string> arguments;
    for (int i = 0; i < argc && argv && argv[i]; ++i) {
        std::u16string argument;
        // A name that is not UTF-8 cannot be carried; its bytes become U+FFFD and the
        // file simply fails to open.
        utf8ToUtf16Lossy(argv[i], argument);
        arguments.push_back(std::move(argument));
    }
    commandLineBlank = arguments.empty();
    return arguments;
}

FILE* openFileForReading(const char16_t* path)
{
    char* utf8 = wideToUtf8(path);
    if (utf8 == nullptr)
        return nullptr;
    FILE* file = nullptr;
    struct stat info;
    // Windows refuses to open a folder as a file; do the same.
    if (stat(utf8, &info) == 0 && !S_ISDIR(info.st_mode))
        file = std::fopen(utf8, "rb");
    std::free(utf8);
    return file;
}

int64_t fileSizeOfOpenFile(FILE* file)
{
    if (fseeko(file, 0, SEEK_END) != 0)
        return -1;
    const off_t end = ftello(file);
    if (fseeko(file, 0, SEEK_SET) != 0)
        return -1;
    return static_cast<int64_t>(end);
}

namespace {

// The mappings a fault may land in: the worker's input, and the file the scene library
// reads when it is given one. Lock-free words, so that the signal handler may read them.
constexpr size_t kWatchedMappings = 4;
std::mutex gMappingsLock;
std::atomic<uintptr_t> gMappingStart[kWatchedMappings];
std::atomic<size_t> gMappingLength[kWatchedMappings];
const void* gFaultRecord = nullptr;
size_t gFaultRecordLength = 0;

void answerBusError(int, siginfo_t* info, void*)
{
    const auto address = reinterpret_cast<uintptr_t>(info->si_addr);
    for (size_t i = 0; i < kWatchedMappings; ++i) {
        const uintptr_t start = gMappingStart[i].load(std::memory_order_relaxed);
        if (start == 0 || address - start >= gMappingLength[i].load(std::memory_order_relaxed))
            continue;
        _exit(writeAll(STDOUT_FILENO, gFaultRecord, gFaultRecordLength) ? 0 : 1);
    }
    // Not a mapped file: the fault takes its default course when the access is retried.
    std::signal(SIGBUS, SIG_DFL);
}

} // namespace

const uint8_t* mapFileForReading(FILE* file, size_t length)
{
    if (file == nullptr || length == 0)
        return nullptr;
    void* mapped = mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fileno(file), 0);
    if (mapped == MAP_FAILED)
        return nullptr;
    const std::lock_guard<std::mutex> lock(gMappingsLock);
    for (size_t i = 0; i < kWatchedMappings; ++i)
        if (gMappingStart[i].load() == 0) {
            gMappingLength[i].store(length);
            gMappingStart[i].store(reinterpret_cast<uintptr_t>(mapped));
            break;
        }
    return static_cast<const uint8_t*>(mapped);
}

void unmapFile(const uint8_t* bytes, size_t length)
{
    if (bytes == nullptr)
        return;
    {
        const std::lock_guard<std::mutex> lock(gMappingsLock);
        for (size_t i = 0; i < kWatchedMappings; ++i)
            if (gMappingStart[i].load() == reinterpret_cast<uintptr_t>(bytes)) {
                gMappingStart[i].store(0);
                break;
            }
    }
    munmap(const_cast<uint8_t*>(bytes), length);
}

void dropWholePages(const uint8_t* bytes, size_t length)
{
    if (bytes == nullptr || length == 0)
        return;
    // Pages the range shares with its neighbours stay.
    const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<uintptr_t>(bytes);
    const uintptr_t first = (start + page - 1) / page * page;
    const uintptr_t end = (start + length) / page * page;
    if (first < end)
        madvise(reinterpret_cast<void*>(first), end - first, MADV_DONTNEED);
}

void answerMappingFaultsWith(const void* record, size_t length)
{
    gFaultRecord = record;
    gFaultRecordLength = length;
    struct sigaction action {};
    action.sa_sigaction = answerBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, nullptr);
}

char* getEnvironmentUtf8(const char* name)
{
    if (name == nullptr)
        return nullptr;
    const char* value = std::getenv(name);
    return value ? duplicateString(value) : nullptr;
}

bool environmentVariableExists(const char* name)
{
    return name != nullptr && std::getenv(name) != nullptr;
}

char* finalPathOf(const char* path)
{
    if (path == nullptr || *path == 0)
        return nullptr;
    return realpath(path, nullptr); // malloc'ed, as every string here
}

char* finalFolderPath(const char* path)
{
    char* final = finalPathOf(path);
    struct stat info;
    if (final != nullptr && (stat(final, &info) != 0 || !S_ISDIR(info.st_mode))) {
        std::free(final);
        return nullptr;
    }
    return final;
}

PathKind examinePath(const char* path, uint64_t& size)
{
    size = 0;
    struct stat info;
    if (path == nullptr || stat(path, &info) != 0)
        return PathKind::Unreadable;
    if (!S_ISREG(info.st_mode))
        return PathKind::Other;
    size = static_cast<uint64_t>(info.st_size);
    return PathKind::RegularFile;
}

bool pathStartsWith(const char* path, const char* prefix)
{
    if (path == nullptr || prefix == nullptr)
        return false;
    return std::strncmp(path, prefix, std::strlen(prefix)) == 0;
}

double peakResidentMemoryMiB()
{
    struct rusage usage;
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return 0;
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

void returnLargeBlocksWhenFreed(int fromBytes)
{
#ifdef __GLIBC__
    // A fixed threshold also stops glibc from raising it after each freed block, which
    // would leave the next large buffers in the heap, resident after they are freed.
    mallopt(M_MMAP_THRESHOLD, fromBytes);
#else
    (void)fromBytes;
#endif
}

void returnFreedHeapPages()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}
