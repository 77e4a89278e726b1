// Meshes encoded by the test encoder must decode back to themselves: same triangles with
// the same winding, points within the tolerance.
#include "prc/geometry/compressed_tess_decoder.h"
#include "prc/geometry/compressed_tess_mesh.h"
#include "prc/geometry/compressed_tess_reader.h"
#include "tests/prc/geometry/compressed_tess_test_meshes.h"
#include "tests/support/prc_entity_writer.h"
#include "tests/support/prc_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

constexpr uint32_t kVersion = 8137;

// Every source triangle comes back exactly once, with its winding, and every point
// within the tolerance.
void expectSameMesh(const CompressedTessSource& source, const CompressedTessEncoding& encoding,
                    const CompressedTessDecoding& decoding, double tolerance)
{
    const size_t triangleCount = source.triangles.size() / 3;
    ASSERT_EQ(decoding.triangles.size(), source.triangles.size());
    ASSERT_EQ(encoding.sourceTriangle.size(), triangleCount);
    std::vector<int> seen(triangleCount, 0);
    for (size_t t = 0; t < triangleCount; ++t) {
        const uint32_t s = encoding.sourceTriangle[t];
        ++seen[s];
        uint32_t got[3];
        for (int k = 0; k < 3; ++k)
            got[k] = encoding.sourcePoint.at(decoding.triangles[3 * t + k]);
        bool sameWinding = false;
        for (int r = 0; r < 3; ++r)
            sameWinding = sameWinding || (got[0] == source.triangles[3 * s + r] &&
                                          got[1] == source.triangles[3 * s + (r + 1) % 3] &&
                                          got[2] == source.triangles[3 * s + (r + 2) % 3]);
        EXPECT_TRUE(sameWinding) << "decoded triangle " << t << " (source " << s << ")";
    }
    for (size_t s = 0; s < triangleCount; ++s)
        EXPECT_EQ(seen[s], 1) << "source triangle " << s;
    ASSERT_EQ(decoding.vertices.size(), 3 * encoding.sourcePoint.size());
    for (size_t p = 0; p < encoding.sourcePoint.size(); ++p) {
        double distance2 = 0;
        for (int axis = 0; axis < 3; ++axis) {
            const double d = decoding.vertices[3 * p + axis] - source.points[3 * encoding.sourcePoint[p] + axis];
            distance2 += d * d;
        }
        EXPECT_LE(std::sqrt(distance2), tolerance) << "point " << p;
    }
}

struct RoundTripCase {
    std::string name;
    CompressedTessSource mesh;
    CompressedTessEncoderOptions options;
};

TEST(CompressedTessRoundTrip, MeshesComeBackWithTheirWinding)
{
    CompressedTessEncoderOptions reopen;
    reopen.reopenClaimed = true;
    CompressedTessEncoderOptions shifted;
    shifted.origin[0] = 10.5f;
    shifted.origin[1] = -3.25f;
    shifted.tolerance = 0.01;
    CompressedTessEncoderOptions noOrigin;
    noOrigin.hasOrigin = false;
    const RoundTripCase cases[] = {
        {"cube, reversal bits", closedCube(), {}},
        {"grid, reversal bits", grid(7, 5), {}},
        {"grid, shifted origin", grid(4, 4, 100), shifted},
        {"grid, no origin", grid(4, 3), noOrigin},
        {"two components", merged(closedCube(), grid(5, 4, 3)), {}},
        {"torus", torus(12, 8), {}},
        {"torus, reopened gates", torus(12, 8), reopen},
    };
    for (const RoundTripCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CompressedTessEncoding encoding = encodeCompressedTess(c.mesh, c.options);
        EXPECT_TRUE(encoding.ambiguousIds.empty());
        const CompressedTessRun first = runCompressedTessDecoding(encoding.record, kTessFrameAsGiven, kNoForcedDecision);
        ASSERT_EQ(first.error, "");
        EXPECT_TRUE(compressedTessRunIsComplete(encoding.record, first.result));
        expectSameMesh(c.mesh, encoding, buildCompressedTessMesh(encoding.record), c.options.tolerance);

        // The record survives the file format.
        PrcBitWriter writer;
        writePRC3DTessCompressed(writer, encoding.record, kVersion);
        PrcBitInput in(writer.bytes(), kVersion);
        const PRC3DTessCompressed read = readPRC3DTessCompressed(in.reader, kVersion);
        const CompressedTessDecoding again = buildCompressedTessMesh(read);
        EXPECT_EQ(again.vertices, first.result.vertices);
        EXPECT_EQ(again.triangles, first.result.triangles);
    }
}

} // namespace
