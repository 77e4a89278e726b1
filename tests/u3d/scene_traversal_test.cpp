#include "tests/u3d/fake_library.h"
#include "u3d/scene_traversal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

class SceneTraversal : public FakeLibraryTest {
protected:
    // One triangle at the origin, as model resource 0.
    FakeGeometry* triangle()
    {
        FakeGeometry* mesh = scene.geometry("triangle");
        mesh->positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
        mesh->positionIndices = {0, 1, 2};
        return mesh;
    }

    bool walk()
    {
        const bool result = walkSceneGraph(scene.graph(), out);
        EXPECT_EQ(gOutstandingReferences, 0) << "references left unreleased";
        return result;
    }

    std::string names() const
    {
        std::string text;
        for (const NodeRecord& record : out.nodeRecords)
            text += std::string(record.name) + "<" + std::to_string(int(record.parent)) + " ";
        return text;
    }

    SceneCollections out;
};

TEST_F(SceneTraversal, SharedNodeIsInstancedAlongEveryPathInReverseChildOrder)
{
    triangle();
    FakeNode* root = scene.node("root");
    FakeNode* a = scene.node("a");
    FakeNode* b = scene.node("b");
    FakeNode* part = scene.model("part", 0);
    FakeScene::link(root, a, translation(10, 0, 0));
    FakeScene::link(root, b, translation(20, 0, 0));
    FakeScene::link(a, part, translation(0, 1, 0));
    FakeScene::link(b, part, translation(0, 2, 0));
    FakeScene::link(root, part, translation(1, 0, 0));
    FakeScene::link(root, part, translation(2, 0, 0)); // held twice by one parent
    ASSERT_TRUE(walk());

    // The last child first, each followed by its own subtree; slot 0 of a parent first.
    EXPECT_EQ(names(), "root<-1 part<0 part<0 b<0 part<3 a<0 part<5 ");
    ASSERT_EQ(out.vertexCount(), 12u);
    const std::vector<float> firstCorners = {out.vertices[0], out.vertices[9], out.vertices[18], out.vertices[19],
                                             out.vertices[27], out.vertices[28]};
    EXPECT_EQ(firstCorners, (std::vector<float>{1, 2, 20, 2, 10, 1}));
    EXPECT_EQ(out.triangles.size(), 12u);
    const NodeRecord& last = out.nodeRecords[6];
    EXPECT_EQ(std::make_tuple(last.firstTriangle, last.triangleCount, last.boundsMin[0], last.boundsMax[1]),
              std::make_tuple(3u, 1u, 10.0f, 2.0f));
    // b has no vertex of its own.
    EXPECT_EQ(std::make_tuple(out.nodeRecords[3].triangleCount, out.nodeRecords[3].boundsMax[0]),
              std::make_tuple(0u, 0.0f));
}

TEST_F(SceneTraversal, CycleIsBrokenOnThePath)
{
    FakeNode* root = scene.node("root");
    FakeNode* a = scene.node("a");
    FakeNode* b = scene.node("b");
    FakeScene::link(root, a, translation(0, 0, 0));
    FakeScene::link(a, b, translation(0, 0, 0));
    FakeScene::link(b, a, translation(0, 0, 0));
    EXPECT_FALSE(walk()); // group nodes only
    EXPECT_EQ(names(), "root<-1 a<0 b<1 ");
    EXPECT_FALSE(out.overflow);
}

TEST_F(SceneTraversal, PathsBeyondTheRecordLimitSetTheOverflowFlag)
{
    // Every level hangs twice below the one above: 2^17 paths to the last node.
    FakeNode* above = scene.node("n0");
    for (int level = 1; level <= 17; ++level) {
        FakeNode* node = scene.node("n" + std::to_string(level));
        FakeScene::link(above, node, translation(0, 0, 0));
        FakeScene::link(above, node, translation(0, 0, 0));
        above = node;
    }
    walk();
    EXPECT_TRUE(out.overflow);
    EXPECT_EQ(out.nodeRecords.size(), kMaxNodeRecords);
}

TEST_F(SceneTraversal, AtMostEightLightsAreKept)
{
    FakeLightResource* light = scene.make<FakeLightResource>();
    FakeNode* root = scene.node("root");
    for (int i = 0; i < 9; ++i) {
        FakeNode* node = scene.node("light" + std::to_string(i));
        node->isLight = true;
        node->light = light;
        FakeScene::link(root, node, translation(float(i), 0, 0));
    }
    walk();
    ASSERT_EQ(out.lights.size(), kMaxLightRecords);
    EXPECT_EQ(out.lights[0].position[0], 8.0f); // the last child is met first
    EXPECT_EQ(out.nodeRecords.size(), 10u);
}

struct LightCase {
    const char* what;
    uint8_t attributes;
    uint32_t type;
    float intensity, spotAngle;
    std::array<float, 3> colour, attenuation;
    bool attenuationFails;
    bool expected;
    float intensityOut, halfAngleOut, exponentOut;
    std::array<float, 3> colourOut, attenuationOut;
};

TEST(LightRecord, ValuesAreCheckedAndClamped)
{
    const float nan = std::nanf("");
    const float inf = INFINITY;
    const uint8_t on = kIfxLightEnabled, decay = kIfxLightEnabled | kIfxLightSpotDecay;
    const LightCase cases[] = {
        {"plain", on, 2, 1, 0, {1, 0.5f, 0}, {1, 0, 0}, false, true, 1, 0, 0, {1, 0.5f, 0}, {1, 0, 0}},
        {"disabled", 0, 2, 1, 0, {1, 1, 1}, {1, 0, 0}, false, false, 0, 0, 0, {}, {}},
        {"type 4", on, 4, 1, 0, {1, 1, 1}, {1, 0, 0}, false, false, 0, 0, 0, {}, {}},
        {"intensity 0", on, 2, 0, 0, {1, 1, 1}, {1, 0, 0}, false, false, 0, 0, 0, {}, {}},
        {"intensity NaN", on, 2, nan, 0, {1, 1, 1}, {1, 0, 0}, false, false, 0, 0, 0, {}, {}},
        {"intensity clamped", on, 2, 5000, 0, {1, 1, 1}, {1, 0, 0}, false, true, 1000, 0, 0, {1, 1, 1}, {1, 0, 0}},
        {"colour clamped", on, 0, 1, 0, {2, -1, nan}, {1, 0, 0}, false, true, 1, 0, 0, {1, 0, 0}, {1, 0, 0}},
        {"attenuation zero", on, 2, 1, 0, {1, 1, 1}, {0, -3, nan}, false, true, 1, 0, 0, {1, 1, 1}, {1, 0, 0}},
        {"attenuation big", on, 2, 1, 0, {1, 1, 1}, {0, inf, 2e9f}, false, true, 1, 0, 0, {1, 1, 1}, {0, 0, 1e9f}},
        {"attenuation fails", on, 2, 1, 0, {1, 1, 1}, {5, 5, 5}, true, true, 1, 0, 0, {1, 1, 1}, {1, 0, 0}},
        {"spot 90 decay", decay, 3, 1, 90, {1, 1, 1}, {1, 0, 0}, false, true, 1, 0.7853982f, 9.2877f, {1, 1, 1}, {1, 0, 0}},
        {"spot 400 no decay", on, 3, 1, 400, {1, 1, 1}, {1, 0, 0}, false, true, 1, 1.5707963f, 0, {1, 1, 1}, {1, 0, 0}},
        {"spot negative decay", decay, 3, 1, -5, {1, 1, 1}, {1, 0, 0}, false, true, 1, 0, 1, {1, 1, 1}, {1, 0, 0}},
        {"spot narrow decay", decay, 3, 1, 1, {1, 1, 1}, {1, 0, 0}, false, true, 1, 0.0087266f, 1, {1, 1, 1}, {1, 0, 0}},
    };
    for (const LightCase& c : cases) {
        FakeLightResource light;
        light.attributes = c.attributes;
        light.type = c.type;
        light.intensity = c.intensity;
        light.spotAngle = c.spotAngle;
        light.colour = c.colour;
        light.attenuation = c.attenuation;
        light.attenuationFails = c.attenuationFails;
        LightRecord record;
        const IFXMatrix4x4 world = translation(1, 2, 3);
        ASSERT_EQ(buildLightRecord(&light, world, record), c.expected) << c.what;
        if (!c.expected)
            continue;
        EXPECT_EQ(record.intensity, c.intensityOut) << c.what;
        EXPECT_NEAR(record.spotHalfAngle, c.halfAngleOut, 1e-5) << c.what;
        EXPECT_NEAR(record.spotExponent, c.exponentOut, 1e-3) << c.what;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(record.colour[i], c.colourOut[i]) << c.what;
            EXPECT_EQ(record.attenuation[i], c.attenuationOut[i]) << c.what;
        }
        EXPECT_EQ(record.position[2], 3.0f);
        EXPECT_EQ(record.direction[2], -1.0f);
    }
}

TEST(LightRecord, PositionAndDirectionFollowTheWorldMatrix)
{
    FakeLightResource light;
    LightRecord record;
    // Turned so that its -z looks along +x, placed far out and at NaN.
    ASSERT_TRUE(buildLightRecord(&light, {{0, 0, 1, 0, 0, 1, 0, 0, -2, 0, 0, 0, 1e31f, std::nanf(""), -5, 1}}, record));
    EXPECT_EQ((std::array<float, 3>{record.position[0], record.position[1], record.position[2]}),
              (std::array<float, 3>{1e30f, 0, -5}));
    EXPECT_FLOAT_EQ(record.direction[0], 1.0f);
    EXPECT_FLOAT_EQ(record.direction[2], 0.0f);
    ASSERT_TRUE(buildLightRecord(&light, scaling(1, 1, 0), record));
    EXPECT_EQ(record.direction[2], -1.0f); // no length: the default direction
}

TEST_F(SceneTraversal, EntryNamesAreConvertedAndCut)
{
    struct NameCase {
        std::u16string name;
        std::string expected;
    };
    // The cut itself is the record-name helper's (result_stream_test).
    const NameCase cases[] = {
        {u"caf\u00e9", "caf\xC3\xA9"},
        {u"a\xD800z\u00e9", "a?z?"}, // not convertible: unit by unit
        {std::u16string(126, u'x') + u"\u00e9", std::string(126, 'x')},
    };
    for (const NameCase& c : cases) {
        IFXString name;
        ASSERT_EQ(name.Assign(c.name.data(), uint32_t(c.name.size())), kIfxOk);
        char field[128];
        std::memset(field, 'z', sizeof field);
        copyEntryName(name, field);
        EXPECT_EQ(std::string(field), c.expected);
        EXPECT_EQ(field[127], 0);
    }
}

} // namespace
