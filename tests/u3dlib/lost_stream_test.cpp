// Streams that cannot be right are given up: the generator is lost, yields nothing,
// and stays lost. Nothing is ever read or allocated beyond what the bytes hold.
#include "tests/u3dlib/geometry_test_support.h"
#include "u3dlib/stream_fault.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace u3dlib;

namespace {

TEST(LostStream, ImplausibleStreamsLoseTheGenerator)
{
    // Each makes the block that follows the base mesh.
    using Bad = std::function<U3dBytes(U3dClodMeshWriter&)>;
    const auto resized = [](int change, std::vector<uint8_t> tail) {
        return [=](U3dClodMeshWriter& w) {
            U3dBytes p = w.progressiveBlock({splitCentre()});
            const int size = p[4] | p[5] << 8;
            p[4] = static_cast<uint8_t>(size + change);
            p.resize(12 + static_cast<size_t>(std::min(size, size + change)));
            p.insert(p.end(), tail.begin(), tail.end());
            return p;
        };
    };
    const auto range = [](uint32_t start, uint32_t end) {
        return [=](U3dClodMeshWriter& w) { return w.progressiveBlockWithRange({splitCentre()}, start, end); };
    };
    const std::tuple<const char*, U3dGeneratorDesc, Bad, StreamFault> cases[] = {
        {"cut short", meshDesc(8, 8), resized(-12, {}), StreamFault::Decode},
        {"trailing data", meshDesc(8, 8), resized(4, {0, 0, 0, 0x55}), StreamFault::BadEnd},
        {"range not at the current resolution", meshDesc(8, 9), range(8, 9), StreamFault::OutOfOrder},
        {"base mesh twice", meshDesc(8, 8), [](U3dClodMeshWriter& w) { return w.baseMeshBlock(hexagonFan()); },
         StreamFault::OutOfOrder},
        {"more positions than declared", meshDesc(8, 7), range(7, 8), StreamFault::BeyondDeclared},
        {"more faces than declared", meshDesc(7, 8), range(7, 8), StreamFault::BeyondDeclared},
        {"range far beyond the data", meshDesc(0xFFFFFFFF, 0xFFFFFFFF), range(7, 0x800000), StreamFault::Decode},
        {"range beyond the size limit", meshDesc(0xFFFFFFFF, 0xFFFFFFFF), range(7, 0xFFFFFFFF), StreamFault::TooLarge},
    };
    for (const auto& [what, desc, bad, fault] : cases) {
        SCOPED_TRACE(what);
        U3dClodMeshWriter writer(desc);
        const auto decoder = declare(writer.declarationBlock());
        ASSERT_TRUE(decoder);
        const U3dBytes base = writer.baseMeshBlock(hexagonFan());
        ASSERT_TRUE(feed(*decoder, base));
        EXPECT_FALSE(feed(*decoder, bad(writer)));
        EXPECT_TRUE(decoder->lost());
        EXPECT_EQ(generatorFault(*decoder), fault) << describeStreamFault(generatorFault(*decoder));
        EXPECT_TRUE(decoder->geometry().positions.empty());
        EXPECT_EQ(decoder->geometry().primitiveCount, 0u);
        EXPECT_FALSE(feed(*decoder, base)); // lost for good
    }
}

TEST(LostStream, BlocksOfOtherResourcesAreNotTaken)
{
    U3dClodMeshWriter writer(meshDesc(8, 8));
    const auto decoder = declare(writer.declarationBlock());
    U3dGeneratorDesc other = meshDesc(8, 8);
    other.name = "Other";
    U3dClodMeshWriter otherWriter(other);
    EXPECT_FALSE(feed(*decoder, otherWriter.baseMeshBlock(hexagonFan())));
    U3dPointLineWriter points(U3dGeneratorDesc{U3dGeneratorKind::PointSet, "Fan"});
    EXPECT_FALSE(feed(*decoder, points.continuationBlock({})));
    EXPECT_FALSE(decoder->lost());
    EXPECT_TRUE(feed(*decoder, writer.baseMeshBlock(hexagonFan())));
    EXPECT_EQ(decoder->geometry().primitiveCount, 6u);
}

TEST(LostStream, RepeatedColourBeforeAnyIsLost)
{
    U3dGeneratorDesc desc{U3dGeneratorKind::PointSet, "Points"};
    desc.primitiveCount = 1;
    desc.positionCount = 1;
    desc.diffuseCount = 1;
    desc.shadings = {{1, {}, 0}};
    U3dPointLineWriter writer(desc);
    U3dPointLineUpdateDesc u;
    u.items = {{0, 0, {u3dEnd(std::nullopt)}}};
    const auto decoder = declare(writer.declarationBlock());
    EXPECT_FALSE(feed(*decoder, writer.continuationBlock({u})));
    EXPECT_EQ(generatorFault(*decoder), StreamFault::IndexOutOfRange);
}

// Every single corrupted byte of a progressive block either decodes to a mesh whose
// indices are all in range, or loses the mesh.
TEST(LostStream, CorruptedBytesNeverYieldBrokenMeshes)
{
    U3dGeneratorDesc desc = meshDesc(10, 9);
    desc.diffuseCount = 4;
    desc.shadings = {{1, {}, 0}};
    U3dClodMeshWriter writer(desc);
    U3dBaseMeshDesc base = hexagonFan();
    base.diffuse = {{1, 0, 0, 1}, {0, 1, 0, 1}};
    for (U3dBaseFace& f : base.faces)
        f.diffuse = {0, 1, 0};
    U3dUpdateDesc first = splitCentre();
    first.newDiffuse = {{0, 0, 1, 1}};
    first.moves[0].diffuse = {U3dChangeCoding::New, 0};
    U3dUpdateDesc second;
    second.split = 7;
    second.position = {1, 1, 1};
    const U3dBytes declaration = writer.declarationBlock();
    const U3dBytes baseBlock = writer.baseMeshBlock(base);
    const U3dBytes progressive = writer.progressiveBlock({first, second});
    int lost = 0;
    const size_t afterName = 12 + 2 + desc.name.size(); // a changed name is another resource's block
    for (size_t at = afterName; at < progressive.size(); ++at) {
        for (const uint8_t flip : {uint8_t{0x01}, uint8_t{0x80}, uint8_t{0xFF}}) {
            U3dBytes bad = progressive;
            bad[at] ^= flip;
            const auto decoder = declare(declaration);
            ASSERT_TRUE(feed(*decoder, baseBlock));
            if (!feed(*decoder, bad)) {
                ++lost;
                EXPECT_TRUE(decoder->lost());
                continue;
            }
            const AuthorGeometry& g = decoder->geometry();
            for (const IFXAuthorFace& face : g.positionFaces)
                for (uint32_t k = 0; k < 3; ++k)
                    ASSERT_LT(cornerOf(face, k), g.positions.size()) << "byte " << at;
            for (uint32_t d : g.diffuseIndices)
                ASSERT_LT(d, g.diffuseColors.size()) << "byte " << at;
            for (const IFXAuthorFace& face : g.normalFaces)
                for (uint32_t k = 0; k < 3; ++k)
                    ASSERT_LT(cornerOf(face, k), g.normals.size()) << "byte " << at;
        }
    }
    EXPECT_GT(lost, 0);
}

// Every update looks up the colours used at the centre of a huge fan: the work it
// would take grows far faster than the stream, so the mesh is given up.
TEST(LostStream, NeighbourhoodWorkIsBounded)
{
    constexpr uint32_t kFan = 20000;
    constexpr uint32_t kUpdates = 500;
    U3dGeneratorDesc desc = meshDesc(kFan + kUpdates, kFan + 1 + kUpdates);
    desc.minResolution = kFan + 1;
    desc.diffuseCount = 1;
    desc.shadings = {{1, {}, 0}};
    desc.attributes = 1; // no normals
    U3dBaseMeshDesc base;
    base.diffuse = {{1, 1, 1, 1}};
    base.positions.push_back({0, 0, 0});
    for (uint32_t i = 0; i < kFan; ++i) {
        base.positions.push_back({std::cos(float(i)), std::sin(float(i)), 0});
        U3dBaseFace f;
        f.positions = {0, 1 + i, 1 + (i + 1) % kFan};
        base.faces.push_back(f);
    }
    std::vector<U3dUpdateDesc> updates(kUpdates);
    for (uint32_t i = 0; i < kUpdates; ++i) {
        updates[i].split = 1 + i;
        updates[i].newFaces.resize(1);
        updates[i].newFaces[0].third = 0;
        updates[i].newFaces[0].diffuse = {U3dCornerIndex{U3dIndexCoding::Global, 0},
                                          U3dCornerIndex{U3dIndexCoding::Global, 0},
                                          U3dCornerIndex{U3dIndexCoding::Local, 0}};
        updates[i].position = {1, 1, 1};
    }
    U3dClodMeshWriter writer(desc);
    const auto decoder = declare(writer.declarationBlock());
    ASSERT_TRUE(feed(*decoder, writer.baseMeshBlock(base)));
    EXPECT_FALSE(feed(*decoder, writer.progressiveBlock(updates)));
    EXPECT_EQ(generatorFault(*decoder), StreamFault::TooLarge);
}

} // namespace
