// marlin_scan decoding the bundled sample as a real process: the stream is what the decoder produced.
#include "prc/model/model_file_driver.h"
#include "prc/model/model_result_output.h"
#include "tests/support/files.h"
#include "tests/support/process_runner.h"
#include "tests/support/sample_assembly.h"
#include "tools/result_stream_reader.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

ProcessResult runMarlinScan(const std::vector<uint8_t>& file)
{
    ScratchFolder folder;
    ProcessResult result = runProcess(buildProgramPath("marlin_scan"), {pathUtf8(folder.write("model.prc", file))});
    EXPECT_TRUE(result.started);
    EXPECT_EQ(result.exitCode, 0);
    return result;
}

TEST(MarlinScanDecode, TheBundledSample)
{
    const std::vector<uint8_t> file = buildPrcModelFile(sampleAssemblyModel());
    EXPECT_EQ(readFileBytes(QV_SOURCE_DIR "/samples/assembly.prc"), file)
        << "samples/assembly.prc is stale: cmake --build build --target sample_assembly";

    const ProcessResult run = runMarlinScan(file);
    ParsedResultStream s;
    std::string error;
    ASSERT_TRUE(parseResultStream(StreamForm::Prc, run.out.data(), run.out.size(), s, error)) << error;
    ASSERT_TRUE(s.ok);
    std::vector<std::string> names;
    for (const NodeRecord& n : s.nodes)
        names.push_back(n.name);
    EXPECT_EQ(names, (std::vector<std::string>{"table", "top", "leg front left", "leg front right", "leg back left",
                                               "leg back right", "wedge", "wedge mirrored"}));
    // The mirrored wedge lists every triangle of the first one with two corners swapped.
    const uint32_t wedge = s.nodes[6].firstTriangle, mirrored = s.nodes[7].firstTriangle;
    const uint32_t offset = s.triangles[3 * mirrored] - s.triangles[3 * wedge];
    for (uint32_t t = 0; t < s.nodes[6].triangleCount; ++t) {
        const uint32_t* a = &s.triangles[3 * (wedge + t)];
        const uint32_t* b = &s.triangles[3 * (mirrored + t)];
        EXPECT_EQ((std::vector<uint32_t>{b[0], b[1], b[2]}),
                  (std::vector<uint32_t>{a[0] + offset, a[2] + offset, a[1] + offset}));
    }

    // The process sends exactly what the decoder produced.
    PrcModelResult r{};
    ASSERT_TRUE(decodeModelFile(file.data(), static_cast<uint32_t>(file.size()), r));
    EXPECT_EQ(std::memcmp(s.vertices.data(), r.vertices, 12 * r.vertexCount), 0);
    EXPECT_EQ(std::memcmp(s.triangles.data(), r.triangles, 12 * r.triangleCount), 0);
    EXPECT_EQ(std::memcmp(s.colours.data(), r.colours, 3 * r.vertexCount), 0);
    EXPECT_EQ(std::memcmp(s.nodes.data(), r.nodes, sizeof(NodeRecord) * r.nodeCount), 0);
    releaseModelResult(r);
}

} // namespace
