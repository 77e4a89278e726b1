#include "u3d/heron_scan_entry.h"

#include "runtime/input_file.h"
#include "runtime/platform.h"
#include "runtime/result_stream.h"
#include "u3d/appearance.h"
#include "u3d/ifx_binding.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsageMessage = "uso interno: heron_scan <file> [cartella_base]";
constexpr const char* kOpenFailedMessage = "impossibile aprire il file temporaneo con i dati U3D";
constexpr const char* kTooLargeFormat =
    "il modello e' troppo grande per l'anteprima (%u vertici, %u triangoli: oltre il limite di %u MiB)";
constexpr size_t kTooLargeBuffer = 160;
constexpr unsigned kLimitMiB = 256;
constexpr size_t kLibraryFolderBuffer = 4096;
constexpr const char* kDebugColorsVariable = "U3D_DEBUG_COLORS";

// U3D_LIBDIR (kept when the parent set it) and the library search folder, both the
// program's folder followed by ext/u3d.
void settleLibraryFolder()
{
    char* moduleFolder = getModuleDirectory();
    if (moduleFolder == nullptr)
        return;
    char folder[kLibraryFolderBuffer];
    std::snprintf(folder, sizeof folder, "%s/ext/u3d", moduleFolder);
    std::free(moduleFolder);
    setEnvironmentUtf8(kLibraryFolderVariable, folder, false);
    setLibrarySearchFolder(folder);
}

U3dPayloadCounts payloadCounts(const U3dModel& m)
{
    U3dPayloadCounts counts;
    counts.vertexCount = m.vertexCount;
    counts.triangleCount = m.triangleCount;
    counts.pointCount = m.pointCount;
    counts.lineCount = m.lineCount;
    counts.nodeCount = m.nodeCount;
    counts.viewCount = m.viewCount;
    counts.lightCount = std::min<uint32_t>(m.lightCount, kMaxLightRecords);
    counts.materialCount = m.materialCount;
    counts.textureWidth = m.textureWidth;
    counts.textureHeight = m.textureHeight;
    counts.hasTextureCoordinates = m.uvs != nullptr;
    counts.hasNormals = m.normals != nullptr;
    counts.hasMaterials = m.materials != nullptr && m.vertexMaterials != nullptr;
    return counts;
}

// The fields a failure header still carries from the scene.
void copyAlwaysFields(const U3dModel& m, U3dResultHeader& header)
{
    header.hasHeaderValues = m.hasHeaderValues ? 1 : 0;
    header.headerValue32 = m.headerValue32;
    header.headerValue64 = m.headerValue64;
    header.hasKeyLight = m.hasKeyLight ? 1 : 0;
    header.keyLightYaw = m.keyLightYaw;
    header.keyLightPitch = m.keyLightPitch;
}

bool writeFailure(const U3dModel& m, const char* message, StreamWriter& out)
{
    U3dResultHeader header{};
    copyAlwaysFields(m, header);
    const size_t length = message ? std::strlen(message) : 0;
    header.messageLength = static_cast<uint32_t>(length);
    if (out.write(&header, sizeof header))
        out.write(message, length);
    return out.ok();
}

bool writeModel(const U3dModel& m, StreamWriter& out)
{
    const bool texture = m.uvs != nullptr && m.texturePixels != nullptr && m.textureWidth != 0 && m.textureHeight != 0;
    const bool materials = m.vertexMaterials != nullptr && m.materials != nullptr && m.materialCount > 0;
    const uint32_t lightCount = std::min<uint32_t>(m.lightCount, kMaxLightRecords);
    U3dResultHeader header{};
    copyAlwaysFields(m, header);
    header.ok = 1;
    header.hasDefaultView = m.hasDefaultView ? 1 : 0;
    header.vertexCount = m.vertexCount;
    header.triangleCount = m.triangleCount;
    header.pointCount = m.pointCount;
    header.lineCount = m.lineCount;
    header.textureWidth = texture ? m.textureWidth : 0;
    header.textureHeight = texture ? m.textureHeight : 0;
    header.nodeCount = m.nodeCount;
    header.viewCount = m.viewCount;
    header.materialCount = materials ? m.materialCount : 0;
    header.lightCount = lightCount;
    header.hasNormals = m.normals != nullptr ? 1 : 0;

    const size_t v = m.vertexCount;
    out.write(&header, sizeof header);
    out.write(m.vertices, v * 12);
    out.write(m.triangles, size_t{m.triangleCount} * 12);
    out.write(m.colours, v * 3);
    out.write(m.points, size_t{m.pointCount} * 4);
    out.write(m.lines, size_t{m.lineCount} * 8);
    if (header.hasDefaultView)
        out.write(m.defaultViewRotation, kDefaultViewBlockBytes);
    if (texture) {
        out.write(m.uvs, v * 8);
        out.write(m.texturePixels, size_t{m.textureWidth} * m.textureHeight * 4);
    }
    if (m.nodeCount > 0)
        out.write(m.nodeRecords, size_t{m.nodeCount} * sizeof(NodeRecord));
    if (m.viewCount > 0)
        out.write(m.viewRecords, size_t{m.viewCount} * sizeof(ViewRecord));
    if (header.hasNormals)
        out.write(m.normals, v * 12);
    if (materials) {
        out.write(m.vertexMaterials, v * 2);
        out.write(m.materials, size_t{m.materialCount} * sizeof(MaterialRecord));
    }
    if (lightCount > 0)
        out.write(m.lights, size_t{lightCount} * sizeof(LightRecord));
    return out.ok();
}

} // namespace

char* modelTooLargeMessage(uint32_t vertexCount, uint32_t triangleCount)
{
    char text[kTooLargeBuffer];
    std::snprintf(text, sizeof text, kTooLargeFormat, vertexCount, triangleCount, kLimitMiB);
    char* copy = static_cast<char*>(std::malloc(std::strlen(text) + 1));
    if (copy != nullptr)
        std::strcpy(copy, text);
    return copy;
}

bool writeU3dResultStream(bool loaded, const U3dModel& model, const char* message, StreamWriter& out)
{
    if (!loaded)
        return writeFailure(model, message, out);
    if (!payloadWithinLimit(u3dPayloadSize(payloadCounts(model)))) {
        char* tooLarge = modelTooLargeMessage(model.vertexCount, model.triangleCount);
        const bool written = writeFailure(model, tooLarge, out);
        std::free(tooLarge);
        return written;
    }
    return writeModel(model, out);
}

// The library's decoding buffers come and go per mesh: below this they would stay in
// the heap, resident, after being freed.
constexpr int kLargeBlockBytes = 512 * 1024;

int runHeronScan(int argc, char** argv, LoadU3dSceneFn load)
{
    setBinaryStdout();
    returnLargeBlocksWhenFreed(kLargeBlockBytes);
    std::setlocale(LC_CTYPE, "C.UTF-8");
    setU3dDebugColors(environmentVariableExists(kDebugColorsVariable));
    settleLibraryFolder();

    bool blank = false;
    const std::vector<std::u16string> arguments = processArguments(argc, argv, blank);
    if (blank || arguments.size() < 2 || arguments.size() > 3)
        return writeErrorRecord(StreamForm::U3d, kUsageMessage);

    answerInputFaultsAs(StreamForm::U3d);
    InputBytes input;
    const InputReadStatus status = readWholeInputFile(arguments[1].c_str(), input);
    if (status != InputReadStatus::Ok)
        return writeErrorRecord(StreamForm::U3d, inputReadFailureMessage(status, kOpenFailedMessage));

    // Absent with two arguments; with three it may be empty (a failed conversion too).
    std::string documentFolder;
    if (arguments.size() == 3) {
        char* converted = wideToUtf8(arguments[2].c_str());
        if (converted != nullptr)
            documentFolder = converted;
        std::free(converted);
    }

    static U3dModel model;
    char* message = nullptr;
    const bool loaded = load(input, arguments.size() == 3 ? documentFolder.c_str() : nullptr, &model, &message);
    input.release();
    StreamWriter out;
    const bool written = writeU3dResultStream(loaded, model, message, out);
    std::fflush(stdout);
    releaseU3dModel(&model);
    std::free(message);
    endProcessAfterStream(written);
}
