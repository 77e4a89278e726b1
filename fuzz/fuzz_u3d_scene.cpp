// The whole U3D decode as heron_scan runs it: the scene library (loaded from ext/u3d
// next to this program, instrumented like it) loads the bytes, the worker walks the
// scene and extracts the model. The model must be consistent whatever the input.
#include "runtime/platform.h"
#include "u3d/scene_load.h"
#include "u3d/u3d_model.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

void checkModel(const U3dModel& m)
{
    for (uint64_t i = 0; i < uint64_t{m.triangleCount} * 3; ++i)
        check(m.triangles[i] < m.vertexCount);
    for (uint32_t i = 0; i < m.pointCount; ++i)
        check(m.points[i] < m.vertexCount);
    for (uint64_t i = 0; i < uint64_t{m.lineCount} * 2; ++i)
        check(m.lines[i] < m.vertexCount);
    for (uint32_t i = 0; i < m.nodeCount; ++i) {
        const NodeRecord& n = m.nodeRecords[i];
        check(n.index == i && n.valid == 1);
        check(n.triangleCount == 0 || uint64_t{n.firstTriangle} + n.triangleCount <= m.triangleCount);
        check(n.pointCount == 0 || uint64_t{n.firstPoint} + n.pointCount <= m.pointCount);
        check(n.lineCount == 0 || uint64_t{n.firstLine} + n.lineCount <= m.lineCount);
    }
    if (m.vertexMaterials != nullptr)
        for (uint32_t i = 0; i < m.vertexCount; ++i)
            check(m.vertexMaterials[i] < m.materialCount);
    check(m.lightCount <= kMaxLightRecords);
}

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
    if (loadU3dScene(data, static_cast<uint32_t>(size), nullptr, &model, &error))
        checkModel(model);
    releaseU3dModel(&model);
    std::free(error);
    return 0;
}
