// The few operating-system services the workers need, behind UTF-8 strings.
// Every returned string is malloc'ed and NUL-terminated; the caller frees it.
// A failing call returns null (or false) and leaves nothing allocated.
// Wide text is UTF-16 on every system (wchar_t on Windows, char16_t here).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Prefix of temporary files when the caller gives none.
inline constexpr const char* kDefaultTempPrefix = "quorvault";

char* wideToUtf8(const char16_t* text);
char16_t* utf8ToWide(const char* text);

char* getModulePath();
char* getModuleDirectory();
// The file of the loaded library (or program) whose code or data holds address; null
// when none does.
char* getLibraryPathContaining(const void* address);

// Cuts a path after its folder in place: "C:\a\prog.exe" -> "C:\a", "\prog.exe" -> "\".
// False (and the path untouched) when there is no separator.
bool cutPathToDirectory(char* path);

bool setEnvironmentUtf8(const char* name, const char* value, bool overwrite);

char* writeTempFile(const char* prefix, const void* data, size_t byteCount);
bool deleteFileUtf8(const char* path);

void setBinaryStdout();
// For tools that read a stream from standard input.
void setBinaryStdin();

// The process arguments as UTF-16 strings, program name first. On Windows they are
// split from the wide command line; elsewhere they come from argv, already split.
// commandLineBlank tells whether the command line was empty or only white space.
std::vector<std::u16string> processArguments(int argc, char** argv, bool& commandLineBlank);

// Largest resident memory of this process so far, in MiB (benchmarks and tools).
double peakResidentMemoryMiB();

// Large blocks get pages of their own and give them back when freed, so that a worker
// whose buffers come and go never holds them twice; where the C library decides this
// by itself, nothing is done.
// fromBytes: the smallest such block.
void returnLargeBlocksWhenFreed(int fromBytes);

// Gives back to the system the pages of the blocks freed inside the heap, which stay
// resident until then when the heap cannot shrink past blocks still in use above them.
// Nothing is done where the C library has no such call.
void returnFreedHeapPages();

// Opens a file named by a UTF-16 path for binary reading; null on failure.
FILE* openFileForReading(const char16_t* path);

// Position of the end of an open file, in 64 bits; -1 on failure. The stream is put
// back at its start.
int64_t fileSizeOfOpenFile(FILE* file);

// The first length bytes of an open file, mapped read-only: the pages the system holds
// for the file serve as they are, with nothing copied. Null where the file cannot be
// mapped; the caller then reads it. The mapping outlives the FILE.
const uint8_t* mapFileForReading(FILE* file, size_t length);
void unmapFile(const uint8_t* bytes, size_t length);
// Lets the whole pages within the range go from the process where the system allows.
// Pages of a mapped file come back from the file when read again; pages of allocated
// memory read as zeros (or, where nothing is done, as they were) until written again,
// so only a buffer whose start has been read for the last time gives them up.
void dropWholePages(const uint8_t* bytes, size_t length);
// Where a mapped file can shrink under its mapping, reading past its new end faults.
// From this call on, such a fault in a mapping still held writes record (length bytes,
// kept alive by the caller) to standard output and ends the process, as a read that
// came up short would; nothing may have been written to standard output before.
void answerMappingFaultsWith(const void* record, size_t length);

// Value of an environment variable (UTF-8), or null when it is not set.
char* getEnvironmentUtf8(const char* name);
// True when the variable is set, whatever its value (an empty one included).
bool environmentVariableExists(const char* name);

// ---- Libraries loaded at run time ----------------------------------------------

// Makes a folder the first place loadLibraryBySearch looks. On Windows it is the
// process's additional DLL folder; elsewhere the file name is tried there first.
bool setLibrarySearchFolder(const char* folder);
// Loads a library by its file name: the search folder, then the system's search.
void* loadLibraryBySearch(const char* fileName);
// Loads a library from a full path (UTF-8).
void* loadLibraryFromPath(const char* path);
void* findLibrarySymbol(void* library, const char* name);
void unloadLibrary(void* library);

// ---- Real locations of files ----------------------------------------------------

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// Absolute path of an existing folder with every link resolved; null when the path
// does not exist, cannot be opened or is not a folder.
char* finalFolderPath(const char* path);
// Same for any existing path (file or folder).
char* finalPathOf(const char* path);

enum class PathKind { Unreadable, RegularFile, Other };
// Kind of what a path names and, for a regular file, its size in bytes.
PathKind examinePath(const char* path, uint64_t& size);

// Whether path begins with prefix, compared as the file system compares names
// (ignoring case on Windows, byte for byte elsewhere).
bool pathStartsWith(const char* path, const char* prefix);
