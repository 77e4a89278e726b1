// Binding of the U3D scene library: the library is loaded at run time and its nine
// exports are bound to this program's functions of the same names (declared in the
// interface header), which forward to them.
#pragma once

#include "u3dlib/ifx_interface.h"

// How the library's exports are reached. The default loads the library file; tests
// hand in their own table of functions instead.
struct IfxLibraryAccess {
    void* (*open)();                                  // null when there is no library
    void* (*symbol)(void* library, const char* name); // null when the export is missing
    void (*close)(void* library);
};

// Replaces the way the library is reached (null: the library file) and forgets any
// earlier binding and initialisation. The library of an earlier binding stays loaded.
void setIfxLibraryAccess(const IfxLibraryAccess* access);

// IFXCOMInitialize at most once per process: the first success is remembered and a
// failure is tried again on the next call.
IFXRESULT initializeIfxLibraryOnce();

// Name of the environment variable naming the library's folder.
inline constexpr const char* kLibraryFolderVariable = "U3D_LIBDIR";
