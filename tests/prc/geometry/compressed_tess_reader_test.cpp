// Every field of a compressed tessellation record, in each encoding the reader meets,
// and hostile records.
#include "prc/geometry/compressed_tess_reader.h"

#include "tests/support/allocation_watch.h"
#include "tests/support/error_message.h"
#include "tests/support/prc_entity_writer.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

// A record with two faces over three triangles, every array filled.
PRC3DTessCompressed angleModeRecord()
{
    PRC3DTessCompressed t;
    t.flag1 = true;
    t.tolerance = 0.001;
    t.hasOrigin = true;
    t.origin[0] = 1.5f, t.origin[1] = -2.25f, t.origin[2] = 1e-3f;
    t.point_array = {0, 0, 0, 1000, -3, 7, 5, 500, -12, 70000, 0, -1};
    t.edge_status_array = {1, 3, 0, 2};
    t.triangle_face_array = {0, 0, 1};
    t.point_is_reference_array = {false, false, false, true, false, true, true, true, true};
    t.point_reference_array = {0, 2, 1, 0, 3};
    t.normal_angle_number_of_bits = 7;
    t.normal_binary_data = {true, false, false, true};
    t.normal_angle_array = {0, 127, 64, 3};
    t.face_has_one_normal = {true, false};
    t.hasExtraFaceData = true;
    t.extraFaceBits = {false, true};
    t.extraFaceBytes = {9, 8, 7};
    t.perTriangleStyles = true;
    t.perTriangleStyleBits = {true, true};
    t.face_style_array = {0, 3, 0xFFFF};
    t.hasTrailingBytes = true;
    t.trailingBytes = {1, 1, 2};
    return t;
}

PRC3DTessCompressed reversalModeRecord()
{
    PRC3DTessCompressed t;
    t.tolerance = 2;
    t.hasOrigin = true;
    t.point_array = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    t.triangle_face_array = {4, 4};
    t.edge_status_array = {0};
    t.point_is_reference_array = {false, false, false, true};
    t.point_reference_array = {1};
    t.normals_as_reversal_bits = true;
    t.normal_is_reversed = {true, false};
    t.reversalDouble = 0.5;
    return t;
}

// Every field, in reading order, as one comparable tuple.
auto fields(const PRC3DTessCompressed& t)
{
    return std::tuple(t.flag1, t.flag2, t.tolerance, t.hasOrigin, std::vector<float>(t.origin, t.origin + 3),
                      t.point_array, t.edge_status_array, t.triangle_face_array, t.point_is_reference_array,
                      t.point_reference_array, t.normals_as_reversal_bits, t.normal_is_reversed, t.reversalDouble,
                      t.normal_angle_number_of_bits, t.normal_binary_data, t.normal_angle_array, t.face_has_one_normal,
                      t.hasExtraFaceData, t.extraFaceBits, t.extraFaceBytes, t.perTriangleStyles,
                      t.perTriangleStyleBits, t.face_style_array, t.hasTrailingBytes, t.trailingBytes);
}

void expectSameRecord(const PRC3DTessCompressed& a, const PRC3DTessCompressed& b)
{
    EXPECT_TRUE(fields(a) == fields(b));
}

PRC3DTessCompressed readBack(const PRC3DTessCompressed& record, uint32_t version,
                             const PrcCompressedTessEncoding& encoding = {})
{
    PrcBitWriter w;
    writePRC3DTessCompressed(w, record, version, encoding);
    PRC3DTessCompressed read;
    EXPECT_TRUE(readsExactly(w, [&](PRCBitReader& r) { read = readPRC3DTessCompressed(r, version); }, version));
    return read;
}

TEST(CompressedTessRecord, EveryFieldRoundTripsInEveryEncoding)
{
    for (const PRC3DTessCompressed& record : {angleModeRecord(), reversalModeRecord()})
        for (const bool compressed : {true, false})
            for (const bool skippedBlock : {false, true}) {
                PrcCompressedTessEncoding encoding;
                encoding.compressArrays = compressed;
                encoding.writeSkippedBlock = skippedBlock;
                SCOPED_TRACE(testing::Message() << "compressed " << compressed << ", skipped block " << skippedBlock);
                expectSameRecord(readBack(record, 8137, encoding), record);
            }
}

TEST(CompressedTessRecord, HugeFaceNumberFailsWithoutALargeAllocation)
{
    // A face number of all ones asks for 2^32 face bits: the read fails at the end of the
    // data and nothing that large is held.
    PRC3DTessCompressed huge = angleModeRecord();
    huge.triangle_face_array = {0xFFFFFFFF};
    PrcBitWriter w;
    PrcCompressedTessEncoding unchecked;
    unchecked.checkSizes = false;
    writePRC3DTessCompressed(w, huge, 8137, unchecked);
    PrcBitInput in(w.bytes(), 8137);
    readBack(angleModeRecord(), 8137); // the reader's code tables are built on first use
    resetLargestAllocation();
    EXPECT_TRUE(failsToDecode([&] { readPRC3DTessCompressed(in.reader, 8137); }));
    EXPECT_LT(largestAllocation(), 4096u);
}

TEST(CompressedTessRecord, NormalAngleWidthIsChecked)
{
    for (const uint8_t width : {0, 1, 16, 17, 255}) {
        PRC3DTessCompressed record = angleModeRecord();
        record.normal_angle_number_of_bits = width;
        PrcBitWriter w;
        PrcCompressedTessEncoding plain;
        plain.compressArrays = false; // plain shorts need no width to be written
        writePRC3DTessCompressed(w, record, 8137, plain);
        PrcBitInput in(w.bytes(), 8137);
        EXPECT_EQ(failsToDecode([&] { readPRC3DTessCompressed(in.reader, 8137); }), !(width >= 1 && width <= 16))
            << int(width);
    }
}

} // namespace
