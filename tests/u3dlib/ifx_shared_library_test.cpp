// The built shared library, loaded from ext/u3d below the test programs with the
// platform module's library loader: its nine exports resolve and nothing else shows.
#include "runtime/platform.h"
#include "u3dlib/ifx_interface.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

TEST(IfxSharedLibrary, OnlyTheNineExportsAreVisible)
{
    char* folder = getModuleDirectory();
    std::string path = folder ? folder : "";
    std::free(folder);
    for (const char* part : {"ext", "u3d", kIfxLibraryFileName})
        path = path + kPathSeparator + part;
    void* library = loadLibraryFromPath(path.c_str());
    ASSERT_NE(library, nullptr) << path;
    for (const char* name : kIfxExportNames)
        EXPECT_NE(findLibrarySymbol(library, name), nullptr) << name;
    EXPECT_EQ(findLibrarySymbol(library, "readWholeInputFile"), nullptr);
    EXPECT_EQ(findLibrarySymbol(library, "decodeImageWithSystemCodecs"), nullptr);
}

} // namespace
