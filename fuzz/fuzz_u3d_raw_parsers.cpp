// The worker's own parsers of raw U3D bytes: the shading fallback map and the File
// Reference diagnosis (without a document folder, so no file is ever opened).
#include "u3d/appearance.h"
#include "u3d/external_references.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const RawShadingFallbackMap map = buildRawShadingFallbackMap(data, size);
    (void)map;
    uint32_t filesRead = 0;
    std::string name;
    uint32_t outcome = 4;
    bool found = false;
    diagnoseFileReferences(data, size, nullptr, 0, filesRead, name, outcome, found);
    if (filesRead != 0)
        __builtin_trap(); // without a folder nothing may be read
    return 0;
}
