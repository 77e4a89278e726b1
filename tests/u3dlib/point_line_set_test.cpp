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

} // namespace
