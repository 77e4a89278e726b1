#include "prc/structure/filter_readers.h"
#include "prc/structure/markup_readers.h"
#include "prc/structure/view_readers.h"

#include "tests/support/error_message.h"
#include "tests/support/prc_entity_writer.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using Write = std::function<void(PrcBitWriter&, uint32_t version)>;
using Read = void (*)(PRCBitReader&);

PrcReference reference(uint32_t type = 205, bool sameFileStructure = true)
{
    PrcReference r;
    r.type = type;
    r.targetType = 504;
    r.sameFileStructure = sameFileStructure;
    r.uid = {7, 8, 9, 10};
    r.index = 3;
    r.topologyIndices = {4, 5};
    return r;
}

PrcGraphicsBlock graphicsWithPairs()
{
    PrcGraphicsBlock g;
    g.lineStyle = 2;
    g.extensionPairs = {{1, 1}};
    return g;
}

PrcSurfacePlane plane(uint8_t flags, bool withBase)
{
    PrcSurfacePlane p;
    p.hasBase = withBase;
    p.name = "plane";
    p.baseValue = 12;
    p.extension = 1;
    p.transformation.flags = flags;
    p.transformation.translation = {1, 2, 3};
    p.domain = {-1, 1, -2, 2};
    return p;
}

PrcSceneDisplayParameters sceneWithEverything()
{
    PrcSceneDisplayParameters s;
    for (uint32_t type = 731; type <= 734; ++type) {
        PrcLight light;
        light.type = type;
        light.colours = {1, 2, 3};
        light.direction = {0, 0, -1};
        light.attenuation = {1, 0.5, 0.25};
        s.lights.push_back(light);
    }
    s.camera.emplace().values = {1, 2, 3, 4, 5, 6};
    s.rotationCentre = Vector3d{1, 1, 1};
    s.clippingPlanes = {plane(0x01, false), plane(0x20 | 0x10 | 0x08 | 0x40, true)};
    s.pairs = {{1, 2}};
    s.lastFlag = true;
    return s;
}

PrcFilter filterWithEverything()
{
    PrcFilter f;
    f.layers = {1, 5};
    PrcEntityReference& e = f.entities.emplace_back();
    e.reference = reference(206, false);
    e.userDataBits = 3;
    f.entities.emplace_back();
    f.userDataBits = 2;
    return f;
}

PrcView viewWithEverything()
{
    PrcView v;
    v.annotations = {reference(), reference(205, false)};
    v.plane = plane(0x02, true);
    v.sceneParameters = sceneWithEverything();
    v.flags = {true, false, true};
    v.linkedItems = {reference()};
    v.filters = {filterWithEverything()};
    v.userDataBits = 5;
    return v;
}

PrcAnnotationEntity annotation(uint32_t type)
{
    PrcAnnotationEntity a;
    a.type = type;
    a.markup = reference();
    a.linkedItems = {reference(), reference()};
    a.userDataBits = 1;
    return a;
}

PrcAnnotationEntity nestedSets(int depth)
{
    PrcAnnotationEntity set = annotation(505);
    if (depth > 1)
        set.children = {annotation(504), nestedSets(depth - 1), annotation(506)};
    return set;
}

TEST(MarkupViewReaders, EachEntityIsConsumedExactly)
{
    PrcMarkupLinkedItem linked;
    linked.base = namedBase("linked");
    linked.graphics = graphicsWithPairs();
    linked.first = reference(206);
    linked.second = reference(205, false);
    linked.flags = {true, false, true, true};
    linked.userDataBits = 9;
    PrcLeader leader;
    leader.second = reference();
    leader.tessellation = 4;
    PrcMarkup markup;
    markup.markupType = 2, markup.subType = 7;
    markup.linkedItems = {reference(), reference()};
    markup.leaders = {reference(205, false)};
    PrcSceneDisplayParameters bareScene;
    PrcView bareView;
    PrcEntityReference bareReference;

    struct Case {
        const char* name;
        Write write;
        Read read;
    };
    const Case cases[] = {
        {"linked item", [&](PrcBitWriter& w, uint32_t v) { writeMarkupLinkedItem(w, linked, v); }, readMarkupLinkedItem},
        {"bare linked item", [](PrcBitWriter& w, uint32_t v) { writeMarkupLinkedItem(w, {}, v); }, readMarkupLinkedItem},
        {"leader", [&](PrcBitWriter& w, uint32_t v) { writeLeader(w, leader, v); }, readLeader},
        {"markup", [&](PrcBitWriter& w, uint32_t v) { writeMarkup(w, markup, v); }, readMarkup},
        {"annotation item", [](PrcBitWriter& w, uint32_t v) { writeAnnotationEntity(w, annotation(504), v); },
         readAnnotationEntity},
        {"annotation reference", [](PrcBitWriter& w, uint32_t v) { writeAnnotationEntity(w, annotation(506), v); },
         readAnnotationEntity},
        {"nested annotation sets", [](PrcBitWriter& w, uint32_t v) { writeAnnotationEntity(w, nestedSets(3), v); },
         readAnnotationEntity},
        {"deepest annotation sets",
         [](PrcBitWriter& w, uint32_t v) { writeAnnotationEntity(w, nestedSets(kMaxAnnotationSetDepth), v); },
         readAnnotationEntity},
        {"entity reference", [](PrcBitWriter& w, uint32_t v) { writeEntityReference(w, filterWithEverything().entities[0], v); },
         readEntityReference},
        {"bare entity reference", [&](PrcBitWriter& w, uint32_t v) { writeEntityReference(w, bareReference, v); },
         readEntityReference},
        {"filter", [](PrcBitWriter& w, uint32_t v) { writeFilter(w, filterWithEverything(), v); }, readFilter},
        {"scene parameters", [](PrcBitWriter& w, uint32_t v) { writeSceneDisplayParameters(w, sceneWithEverything(), v); },
         readSceneDisplayParameters},
        {"bare scene parameters", [&](PrcBitWriter& w, uint32_t v) { writeSceneDisplayParameters(w, bareScene, v); },
         readSceneDisplayParameters},
        {"view", [](PrcBitWriter& w, uint32_t v) { writeView(w, viewWithEverything(), v); }, readView},
        {"bare view", [&](PrcBitWriter& w, uint32_t v) { writeView(w, bareView, v); }, readView},
        {"surface plane", [](PrcBitWriter& w, uint32_t) { writeSurfacePlane(w, plane(0x7F, true)); }, readSurfacePlane},
    };
    // Versions around every gate: view fields, light intensity, last scene flag, graphics pairs.
    for (const uint32_t version : {7094u, 7309u, 8016u, 8029u, 8030u, 8136u, 8137u, 8138u, kPrcVersionUnknown})
        for (const Case& c : cases) {
            PrcBitWriter w;
            c.write(w, version);
            c.write(w, version); // twice: the second relies on the state the first left
            PrcBitInput in = inputWithSentinel(w, version);
            const std::string error = runtimeErrorOf([&] {
                c.read(in.reader);
                c.read(in.reader);
            });
            EXPECT_EQ(error, "") << c.name << " at version " << version;
            EXPECT_TRUE(error.empty() && atSentinel(in.reader)) << c.name << " at version " << version;
        }
}

TEST(MarkupViewReaders, VersionGatedFieldsArePresentOnlyFromTheirVersion)
{
    const auto bits = [](const Write& write, uint32_t version) {
        PrcBitWriter w;
        write(w, version);
        return w.bitCount();
    };
    PrcSceneDisplayParameters directional;
    directional.lights.emplace_back().type = 733;
    directional.lights[0].intensity = 3; // a Double of more than one bit
    const Write light = [&](PrcBitWriter& w, uint32_t v) { writeSceneDisplayParameters(w, directional, v); };
    const Write view = [](PrcBitWriter& w, uint32_t v) { writeView(w, PrcView{}, v); };
    // One Double of intensity; one trailing Boolean; one view flag; two flags and two counts.
    EXPECT_GT(bits(light, 8030), bits(light, 8029) + 1);
    EXPECT_EQ(bits(light, 8137), bits(light, 8136) + 1);
    EXPECT_EQ(bits(view, 7309), bits(view, 7308) + 1);
    EXPECT_EQ(bits(view, 8016), bits(view, 8015) + 4);

    // Reading with the other side of a gate loses step.
    for (const auto& [written, read] : {std::pair{8029u, 8030u}, {8030u, 8029u}, {8136u, 8137u}}) {
        PrcBitWriter w;
        light(w, written);
        PrcBitInput in = inputWithSentinel(w, read);
        runtimeErrorOf([&] { readSceneDisplayParameters(in.reader); });
        EXPECT_FALSE(atSentinel(in.reader)) << written << " read as " << read;
    }
}

TEST(MarkupViewReaders, FailuresNameTheEntity)
{
    struct Case {
        Write write;
        Read read;
        std::string message;
    };
    PrcSceneDisplayParameters badLight;
    badLight.lights.emplace_back().type = 735;
    PrcSceneDisplayParameters lowLight;
    lowLight.lights.emplace_back().type = 730;
    PrcEntityReference badReference;
    badReference.reference = reference(204);
    PrcAnnotationEntity badChild = annotation(505);
    badChild.children = {annotation(503)};
    const Case cases[] = {
        {[](PrcBitWriter& w, uint32_t v) { writeAnnotationEntity(w, annotation(507), v); }, readAnnotationEntity,
         "readAnnotationEntity: unknown type 507"},
        {[&](PrcBitWriter& w, uint32_t v) { writeAnnotationEntity(w, badChild, v); }, readAnnotationEntity,
         "readAnnotationEntity: unknown type 503"},
        {[](PrcBitWriter& w, uint32_t v) { writeAnnotationEntity(w, nestedSets(kMaxAnnotationSetDepth + 1), v); },
         readAnnotationEntity, "readAnnotationEntity: annotation sets nested too deeply"},
        {[&](PrcBitWriter& w, uint32_t v) { writeSceneDisplayParameters(w, badLight, v); }, readSceneDisplayParameters,
         "readLight: tipo inatteso 735"},
        {[&](PrcBitWriter& w, uint32_t v) { writeSceneDisplayParameters(w, lowLight, v); }, readSceneDisplayParameters,
         "readLight: tipo inatteso 730"},
        {[&](PrcBitWriter& w, uint32_t v) { writeEntityReference(w, badReference, v); }, readEntityReference,
         "readEntityReference: unknown reference type"},
        {[](PrcBitWriter& w, uint32_t v) { writeView(w, PrcView{}, v); }, readFilter,
         "unexpected type for PRCFilter: expected 320, got 501"},
        {[](PrcBitWriter& w, uint32_t v) { writeFilter(w, PrcFilter{}, v); }, readView,
         "unexpected type for PRCView: expected 501, got 320"},
        {[](PrcBitWriter& w, uint32_t v) { writeLeader(w, PrcLeader{}, v); }, readMarkup,
         "unexpected type for PRCMarkup: expected 502, got 503"},
        {[](PrcBitWriter& w, uint32_t v) { writeMarkup(w, PrcMarkup{}, v); }, readLeader,
         "unexpected type for PRCLeader: expected 503, got 502"},
        {[](PrcBitWriter& w, uint32_t v) { writeLeader(w, PrcLeader{}, v); }, readMarkupLinkedItem,
         "unexpected type for PRCMarkupLinkedItem: expected 204, got 503"},
        {[](PrcBitWriter& w, uint32_t) { w.writeUnsignedInteger(87); }, readSurfacePlane,
         "unexpected type for PRCSurfacePlane: expected 86, got 87"},
        {[](PrcBitWriter& w, uint32_t v) { writeView(w, PrcView{}, v); }, readSceneDisplayParameters,
         "unexpected type for PRCSceneDisplayParameters: expected 741, got 501"},
    };
    for (const Case& c : cases) {
        PrcBitWriter w;
        c.write(w, 8137);
        PrcBitInput in(w.bytes(), 8137);
        EXPECT_EQ(runtimeErrorOf([&] { c.read(in.reader); }), c.message);
    }
    // A wrong reference inside a markup names its field.
    PrcMarkup markup;
    markup.leaders = {reference(206)};
    PrcBitWriter w;
    writeMarkup(w, markup, 8137);
    PrcBitInput in(w.bytes(), 8137);
    EXPECT_EQ(runtimeErrorOf([&] { readMarkup(in.reader); }), "unexpected type for Markup.leaders: expected 205, got 206");
}

TEST(MarkupViewReaders, SurfacePlaneNameBecomesTheCurrentName)
{
    PrcBitWriter w;
    writeSurfacePlane(w, plane(0, true));
    PrcSurfacePlane reuse = plane(0, true);
    reuse.reuseName = true;
    writeSurfacePlane(w, reuse);
    PrcBitInput in = inputWithSentinel(w);
    readSurfacePlane(in.reader);
    EXPECT_EQ(in.reader.currentName, "plane");
    in.reader.currentName = "kept";
    readSurfacePlane(in.reader);
    EXPECT_EQ(in.reader.currentName, "kept");
    EXPECT_TRUE(atSentinel(in.reader));
}

} // namespace
