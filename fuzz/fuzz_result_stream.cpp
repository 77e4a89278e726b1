// The result-stream reader must survive any bytes: it is what tests, tools and the
// other fuzzers trust to judge a stream.
#include "tools/result_stream_reader.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    for (StreamForm form : {StreamForm::Prc, StreamForm::U3d}) {
        ParsedResultStream stream;
        std::string error;
        if (parseResultStream(form, data, size, stream, error)) {
            // A stream judged well formed must be internally consistent.
            const uint32_t vertices = stream.vertexCount();
            for (uint32_t index : stream.triangles)
                if (index >= vertices)
                    __builtin_trap();
        }
    }
    return 0;
}
