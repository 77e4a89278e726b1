#include "prc/structure/product_tree.h"

#include "tests/support/error_message.h"
#include "tests/support/prc_entity_writer.h"

#include <gtest/gtest.h>

namespace {

Matrix4d readBack(const PrcTransformation& t)
{
    PrcBitWriter w;
    writeTransformation3d(w, t);
    PrcBitInput in = inputWithSentinel(w);
    const Matrix4d m = readTransformation3d(in.reader);
    EXPECT_TRUE(atSentinel(in.reader)) << "flags " << int(t.flags);
    return m;
}

PrcTransformation cartesian(uint8_t flags)
{
    PrcTransformation t;
    t.flags = flags;
    t.translation = {10, 20, 30};
    t.x = {0, 1, 0};
    t.y = {-1, 0, 0};
    t.z = {0, 0, -1}; // differs from x × y = (0, 0, 1): three axes are taken as given
    t.scale = {2, 3, 4};
    t.uniformScale = 0.5;
    return t;
}

TEST(Transformation, CartesianFlagCombinations)
{
    struct Case {
        uint8_t flags;
        Matrix4d expected;
    };
    const Case cases[] = {
        {0x00, kIdentity4d},
        {0x04, kIdentity4d}, // no field behind this flag
        {0x40, kIdentity4d}, // four Doubles read and dropped
        {0x01, {1, 0, 0, 10, 0, 1, 0, 20, 0, 0, 1, 30, 0, 0, 0, 1}},
        {0x02, {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},   // z derived as x × y
        {0x22, {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1}},  // three axes win over two
        {0x20, {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1}},
        {0x10, {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1}},
        {0x08, {0.5, 0, 0, 0, 0, 0.5, 0, 0, 0, 0, 0.5, 0, 0, 0, 0, 1}},
        {0x18, {1, 0, 0, 0, 0, 1.5, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1}}, // both scales multiply
        {0x7F, {0, -1.5, 0, 10, 1, 0, 0, 20, 0, 0, -2, 30, 0, 0, 0, 1}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(readBack(cartesian(c.flags)), c.expected) << "flags " << int(c.flags);
}

TEST(Transformation, AxesAreNotNormalisedAndMirroringIsKept)
{
    PrcTransformation t = cartesian(0x20);
    t.x = {2, 0, 0};
    t.y = {0, 2, 0};
    t.z = {0, 0, -2};
    const Matrix4d m = readBack(t);
    EXPECT_EQ(determinant3x3(m), -8.0);
    EXPECT_EQ(determinant3x3(readBack(generalTransformation({-1, 0, 0, 5, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}))), -1.0);
}

TEST(Transformation, GeneralMatrixIsStoredColumnByColumnAndOtherTypesAreRefused)
{
    PrcTransformation t;
    t.type = 207;
    for (int i = 0; i < 16; ++i)
        t.stored[i] = i + 1; // as stored: the first four values are the first column
    EXPECT_EQ(readBack(t), (Matrix4d{1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 4, 8, 12, 16}));
    EXPECT_EQ(readBack(generalTransformation(kIdentity4d)), kIdentity4d);
    const Matrix4d placed = {0, -1, 0, 7, 1, 0, 0, 8, 0, 0, 1, 9, 0, 0, 0, 1};
    EXPECT_EQ(readBack(generalTransformation(placed)), placed);
    PrcBitInput in("1 11001011 0"); // 203
    EXPECT_EQ(runtimeErrorOf([&] { readTransformation3d(in.reader); }), "readTransformation3d: unknown transformation type");
}

} // namespace
