#include "prc/marlin_scan_entry.h"

#include "runtime/input_file.h"
#include "runtime/platform.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kUsageMessage = "uso interno: marlin_scan <file>";
constexpr const char* kOpenFailedMessage = "impossibile aprire il file temporaneo con i dati PRC";
constexpr const char* kTooLargeMessage =
    "il modello e' troppo grande per l'anteprima (oltre il limite di 256 MiB)";

} // namespace

bool writePrcResultStream(bool decoded, const PrcModelResult& result, StreamWriter& out)
{
    PrcResultHeader header{};
    if (!decoded) {
        header.status = result.status;
        out.write(&header, sizeof header);
        return out.ok();
    }
    const bool hasDefaultView = result.hasDefaultView != 0;
    if (!payloadWithinLimit(prcPayloadSize(result.vertexCount, result.triangleCount, result.nodeCount,
                                           hasDefaultView))) {
        const size_t length = std::strlen(kTooLargeMessage);
        header.messageLength = static_cast<uint32_t>(length);
        header.status = 2;
        if (out.write(&header, sizeof header))
            out.write(kTooLargeMessage, length);
        return out.ok();
    }
    header.ok = 1;
    header.hasDefaultView = hasDefaultView ? 1 : 0;
    header.vertexCount = result.vertexCount;
    header.triangleCount = result.triangleCount;
    header.nodeCount = result.nodeCount;
    header.minimalVersionForRead = result.minimalVersionForRead;
    header.authoringVersion = result.authoringVersion;
    header.fileStructureCount = result.fileStructureCount;
    header.colourTotal = result.colourTotal;
    header.materialTotal = result.materialTotal;
    header.styleTotal = result.styleTotal;
    out.write(&header, sizeof header);
    out.write(result.vertices, size_t{result.vertexCount} * 12);
    out.write(result.triangles, size_t{result.triangleCount} * 12);
    out.write(result.colours, size_t{result.vertexCount} * 3);
    if (hasDefaultView)
        out.write(result.defaultView, kDefaultViewBlockBytes);
    if (result.nodeCount > 0)
        out.write(result.nodes, size_t{result.nodeCount} * sizeof(NodeRecord));
    return out.ok();
}

int runMarlinScan(int argc, char** argv, DecodeInputFileFn decode)
{
    setBinaryStdout();
    // Lower thresholds save little more memory here and cost page faults on every
    // mid-sized buffer.
    constexpr int kLargeBlockBytes = 2 * 1024 * 1024;
    returnLargeBlocksWhenFreed(kLargeBlockBytes);
    bool blank = false;
    const std::vector<std::u16string> arguments = processArguments(argc, argv, blank);
    if (blank || arguments.size() != 2)
        return writeErrorRecord(StreamForm::Prc, kUsageMessage);

    answerInputFaultsAs(StreamForm::Prc);
    InputBytes input;
    const InputReadStatus status = readWholeInputFile(arguments[1].c_str(), input);
    if (status != InputReadStatus::Ok)
        return writeErrorRecord(StreamForm::Prc, inputReadFailureMessage(status, kOpenFailedMessage));

    // Owned by the entry and never freed: the process ends right after writing.
    static PrcModelResult result;
    const bool decoded = decode(input, result);
    input.release();
    StreamWriter out;
    endProcessAfterStream(writePrcResultStream(decoded, result, out));
}
