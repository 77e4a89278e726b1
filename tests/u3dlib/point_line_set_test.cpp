// Line sets built by the test writer: the boundary where earlier positions are coded plain.
#include "tests/u3dlib/geometry_test_support.h"
#include "u3dlib/stream_fault.h"

#include <gtest/gtest.h>

using namespace u3dlib;

namespace {

U3dGeneratorDesc setDesc(U3dGeneratorKind kind, uint32_t items, uint32_t positions)
{
    return {.kind = kind, .name = "Set", .primitiveCount = items, .positionCount = positions, .diffuseCount = 8,
            .shadings = {{0, {}, 0}, {1, {}, 0}}, .positionIq = 1.0f / 64, .diffuseIq = 1.0f / 128};
}

// Beyond 0x3FFF positions an earlier position is coded plain: a line may then name
// the new position itself, or one that does not exist yet.
TEST(LineSet, LinesEndAtEarlierPositionsOnly)
{
    for (const uint32_t first : {0x4001u, 0x4002u}) {
        U3dPointLineWriter writer(setDesc(U3dGeneratorKind::LineSet, 1, 0x4002));
        std::vector<U3dPointLineUpdateDesc> updates(0x4002);
        for (U3dPointLineUpdateDesc& u : updates)
            u.normalCount = 0;
        updates.back().items = {{0, first, {{}, {}}}};
        const auto decoder = declare(writer.declarationBlock());
        EXPECT_FALSE(feed(*decoder, writer.continuationBlock(updates)));
        EXPECT_EQ(generatorFault(*decoder), StreamFault::IndexOutOfRange) << first;
    }
}

// A new colour is coded against the average of the colours of every item end at the
// split position: here three ends, one of them repeating a colour, meet at position 1.
TEST(LineSet, ColoursArePredictedFromEveryEndAtTheSplit)
{
    U3dPointLineWriter writer(setDesc(U3dGeneratorKind::LineSet, 4, 4));
    std::vector<U3dPointLineUpdateDesc> updates(4);
    for (uint32_t r = 0; r < 4; ++r) {
        updates[r].normalCount = 0;
        updates[r].position = {float(r), float(r % 2), 0};
    }
    updates[1].items = {{1, 0, {u3dEnd(IFXVector4{1, 0, 0, 1}), u3dEnd(IFXVector4{0, 1, 0, 1})}}};
    updates[2].split = 1;
    updates[2].items = {{1, 1, {u3dEnd(IFXVector4{0, 0, 1, 1}), u3dEnd(std::nullopt)}},
                        {1, 1, {u3dEnd(std::nullopt), u3dEnd(IFXVector4{0.5f, 0.5f, 0, 1})}}};
    updates[3].split = 1;
    updates[3].items = {{1, 2, {u3dEnd(IFXVector4{0.25f, 0.75f, 0.5f, 1}), u3dEnd(IFXVector4{1, 1, 1, 1})}}};
    const auto decoder = declare(writer.declarationBlock());
    ASSERT_TRUE(feed(*decoder, writer.continuationBlock(updates)));
    const std::vector<IFXVector4>& decoded = decoder->geometry().diffuseColors;
    ASSERT_EQ(decoded.size(), writer.diffuse().size());
    for (size_t i = 0; i < decoded.size(); ++i) {
        const IFXVector4& want = writer.diffuse()[i];
        EXPECT_TRUE(decoded[i].r == want.r && decoded[i].g == want.g && decoded[i].b == want.b &&
                    decoded[i].a == want.a)
            << i;
    }
}

} // namespace
