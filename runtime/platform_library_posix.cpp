// POSIX side of loading libraries at run time. Kept apart from the rest of the platform
// code so that a program that loads none is linked without the dynamic loader: a
// statically linked program must not call it.
#include "runtime/platform.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>

namespace {

// The folder loadLibraryBySearch tries before the system's search (Windows keeps the
// equivalent setting inside the process).
std::string& librarySearchFolder()
{
    static std::string folder;
    return folder;
}

} // namespace

char* getLibraryPathContaining(const void* address)
{
    Dl_info info{};
    if (address == nullptr || dladdr(address, &info) == 0 || info.dli_fname == nullptr)
        return nullptr;
    return strdup(info.dli_fname);
}

bool setLibrarySearchFolder(const char* folder)
{
    if (folder == nullptr)
        return false;
    librarySearchFolder() = folder;
    return true;
}

void* loadLibraryBySearch(const char* fileName)
{
    if (fileName == nullptr)
        return nullptr;
    const std::string& folder = librarySearchFolder();
    if (!folder.empty()) {
        if (void* library = loadLibraryFromPath((folder + "/" + fileName).c_str()))
            return library;
    }
    return dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
}

void* loadLibraryFromPath(const char* path)
{
    // dlopen treats a name without a slash as a search request; a path is a path.
    if (path == nullptr || std::strchr(path, '/') == nullptr)
        return nullptr;
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

void* findLibrarySymbol(void* library, const char* name)
{
    if (library == nullptr || name == nullptr)
        return nullptr;
    return dlsym(library, name);
}

void unloadLibrary(void* library)
{
    if (library != nullptr)
        dlclose(library);
}
