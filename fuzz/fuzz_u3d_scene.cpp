// The whole U3D decode as heron_scan runs it: the scene library (loaded from ext/u3d
// next to this program, built like it) loads the bytes, the worker walks the scene and
// extracts the model, and the stream it would write must read back as well formed.
#include "runtime/platform.h"
#include "tools/result_stream_reader.h"
#include "u3d/heron_scan_entry.h"
#include "u3d/scene_load.h"
#include "u3d/u3d_model.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The library is found where heron_scan finds it: ext/u3d next to the program.
bool settleLibraryFolder()
{
    char* folder = getModuleDirectory();
    if (folder != nullptr) {
        const std::string libraryFolder = std::string(folder) + "/ext/u3d";
        setLibrarySearchFolder(libraryFolder.c_str());
        std::free(folder);
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool settled = settleLibraryFolder();
    (void)settled;
    if (size == 0 || size > (16u << 20))
        return 0;
    U3dModel model;
    char* error = nullptr;
    const bool loaded = loadU3dScene(data, static_cast<uint32_t>(size), nullptr, &model, &error);
    std::vector<uint8_t> stream;
    StreamWriter out(&stream);
    writeU3dResultStream(loaded, model, error, out);
    ParsedResultStream parsed;
    std::string problem;
    if (!parseResultStream(StreamForm::U3d, stream.data(), stream.size(), parsed, problem))
        __builtin_trap();
    releaseU3dModel(&model);
    std::free(error);
    return 0;
}
