// marlin_scan with a stand-in decoder whose outcome the input file chooses:
//   "status:N"  decoding fails with status N
//   "mesh"      one triangle
//   "huge"      a mesh whose counts exceed the size limit (no arrays behind them)
#include "prc/marlin_scan_entry.h"
#include "tests/support/heap_copy.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool fakeDecode(const InputBytes& input, PrcModelResult& result)
{
    std::memset(&result, 0, sizeof result);
    const std::string text(reinterpret_cast<const char*>(input.data()), input.size());
    if (text.rfind("status:", 0) == 0) {
        result.status = static_cast<uint32_t>(std::atoi(text.c_str() + 7));
        return false;
    }
    result.minimalVersionForRead = 8137;
    result.authoringVersion = 9000;
    result.fileStructureCount = 1;
    result.colourTotal = 3;
    result.materialTotal = 4;
    result.styleTotal = 5;
    if (text == "huge") {
        result.vertexCount = 0x20000000u;
        result.triangleCount = 1;
        return true;
    }
    result.vertices = heapCopy<float>({0, 0, 0, 1, 0, 0, 1, 1, 0});
    result.triangles = heapCopy<uint32_t>({0, 1, 2});
    result.colours = heapCopy<uint8_t>({255, 0, 0, 0, 255, 0, 0, 0, 255});
    result.vertexCount = 3;
    result.triangleCount = 1;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    return runMarlinScan(argc, argv, &fakeDecode);
}
