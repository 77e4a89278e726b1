// heron_scan over a stand-in scene load whose outcome the input file chooses:
//   "mesh"    a model with every array the stream can carry
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
    m.vertices = heapCopy<float>({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0});
    m.vertexCount = 4;
    m.triangles = heapCopy<uint32_t>({0, 1, 2, 0, 2, 3});
    m.triangleCount = 2;
    m.colours = heapCopy<uint8_t>({255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255});
    m.points = heapCopy<uint32_t>({3});
    m.pointCount = 1;
    m.lines = heapCopy<uint32_t>({0, 1});
    m.lineCount = 1;
    m.uvs = heapCopy<float>({0, 0, 1, 0, 1, 1, -1, -1});
    m.texturePixels = heapCopy<uint8_t>({1, 2, 3, 4, 5, 6, 7, 8});
    m.textureWidth = 2;
    m.textureHeight = 1;
    const NodeRecord nodes[2] = {{"root", 0, kNoParent, 0, 0, 0, 0, 0, 0, {}, {}, 1},
                                 {"part", 1, 0, 0, 2, 0, 1, 0, 1, {0, 0, 0}, {1, 1, 0}, 1}};
    m.nodeRecords = static_cast<NodeRecord*>(std::malloc(sizeof nodes));
    std::memcpy(m.nodeRecords, nodes, sizeof nodes);
    m.nodeCount = 2;
    ViewRecord view{"front", {1, 0, 0, 0, 1, 0, 0, 0, 1}, 0.5f, 1};
    m.viewRecords = static_cast<ViewRecord*>(std::malloc(sizeof view));
    std::memcpy(m.viewRecords, &view, sizeof view);
    m.viewCount = 1;
    std::memcpy(m.defaultViewRotation, view.rotation, sizeof view.rotation);
    m.hasDefaultView = 1;
    m.normals = heapCopy<float>({0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1});
    m.vertexMaterials = heapCopy<uint16_t>({0, 1, 1, 0});
    MaterialRecord materials[2] = {{{1, 1, 1}, {0.2f, 0.2f, 0.2f}, {}, {}, 0, 1, 0}, {{1, 0, 0}, {}, {}, {}, 0, 0.5f, 1}};
    m.materials = static_cast<MaterialRecord*>(std::malloc(sizeof materials));
    std::memcpy(m.materials, materials, sizeof materials);
    m.materialCount = 2;
    m.lights[0] = LightRecord{1, 0, 0, 0, {1, 1, 1}, 1, {1, 0, 0}, 0, 0, {0, 0, 0}, {0, 0, -1}};
    m.lightCount = 1;
}

bool fakeLoad(const uint8_t* data, uint32_t size, const char* documentFolder, U3dModel* model, char** error)
{
    std::memset(model, 0, sizeof *model);
    *error = nullptr;
    const std::string input(reinterpret_cast<const char*>(data), size);
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
