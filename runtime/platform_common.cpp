// Platform pieces that need no operating-system call.
#include "runtime/platform.h"

#include <cstdlib>

bool cutPathToDirectory(char* path)
{
    if (path == nullptr || *path == 0)
        return false;
    char* last = nullptr;
    for (char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\')
            last = p;
    if (last == nullptr)
        return false;
    if (last == path)
        last[1] = 0; // keep a lone root separator
    else
        *last = 0;
    return true;
}

char* getModuleDirectory()
{
    char* path = getModulePath();
    if (path == nullptr)
        return nullptr;
    if (!cutPathToDirectory(path)) {
        std::free(path);
        return nullptr;
    }
    return path;
}
