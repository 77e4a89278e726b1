// Whole PRC files through the decoder marlin_scan runs; the stream it would write must
// read back as well formed (every length, index and node range consistent).
#include "prc/marlin_scan_entry.h"
#include "prc/model/model_file_driver.h"
#include "tools/result_stream_reader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void releaseResult(PrcModelResult& result)
{
    std::free(result.vertices);
    std::free(result.triangles);
    std::free(result.colours);
    std::free(result.nodes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > UINT32_MAX)
        return 0;
    PrcModelResult result{};
    const bool decoded = decodeModelFile(data, static_cast<uint32_t>(size), result);
    std::vector<uint8_t> stream;
    StreamWriter out(&stream);
    writePrcResultStream(decoded, result, out);
    ParsedResultStream parsed;
    std::string error;
    if (!parseResultStream(StreamForm::Prc, stream.data(), stream.size(), parsed, error))
        __builtin_trap();
    releaseResult(result);
    return 0;
}
