// heron_scan over a stand-in scene load whose outcome the input file chooses:
//   "mesh"    a one-triangle model
//   "huge"    counts beyond the size limit (no arrays behind them)
//   "fail"    a failure with a message, header values and a key light
//   "silent"  a failure without a message
//   "folder"  a failure whose message is the document folder it was given
#include "u3d/heron_scan_entry.h"
#include "tests/support/heap_copy.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

char* text(const std::string& value)
{
    char* out = static_cast<char*>(std::malloc(value.size() + 1));
    std::memcpy(out, value.c_str(), value.size() + 1);
    return out;
}

void fillMesh(U3dModel& m)
{
    m.vertices = heapCopy<float>({0, 0, 0, 1, 0, 0, 1, 1, 0});
    m.vertexCount = 3;
    m.triangles = heapCopy<uint32_t>({0, 1, 2});
    m.triangleCount = 1;
    m.colours = heapCopy<uint8_t>({255, 0, 0, 0, 255, 0, 0, 0, 255});
}

bool fakeLoad(InputBytes& bytes, const char* documentFolder, U3dModel* model, char** error)
{
    std::memset(model, 0, sizeof *model);
    *error = nullptr;
    const std::string input(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    model->hasHeaderValues = 1;
    model->headerValue32 = 36;
    model->headerValue64 = 0x1122334455667788ull;
    model->hasKeyLight = 1;
    model->keyLightYaw = 0.25f;
    model->keyLightPitch = -0.5f;
    if (input == "mesh") {
        fillMesh(*model);
        return true;
    }
    if (input == "huge") {
        model->vertexCount = 18000000;
        model->triangleCount = 3;
        return true;
    }
    if (input == "folder")
        *error = text(documentFolder ? "[" + std::string(documentFolder) + "]" : "(absent)");
    else if (input == "fail")
        *error = text("the U3D file is corrupt");
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    return runHeronScan(argc, argv, &fakeLoad);
}
