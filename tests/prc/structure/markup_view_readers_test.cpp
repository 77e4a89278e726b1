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

PrcSurfacePlane plane(uint8_t flags, bool withBase)
{
    PrcSurfacePlane p;
    p.hasBase = withBase;
    p.name = "plane";
    p.baseValue = 12;
    p.transformation.flags = flags;
    p.transformation.translation = {1, 2, 3};
    p.domain = {-1, 1, -2, 2};
    return p;
}

PrcSceneDisplayParameters sceneWithEverything()
{
    PrcSceneDisplayParameters s;
    for (uint32_t type = 731; type <= 734; ++type) {
        PrcLight& light = s.lights.emplace_back();
        light.type = type;
        light.colours = {1, 2, 3};
        light.direction = {0, 0, -1};
        light.attenuation = {1, 0.5, 0.25};
        light.intensity = 3;
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
    f.entities.resize(2);
    f.entities[0].reference = reference(206, false);
    f.entities[0].userDataBits = 3;
    f.userDataBits = 2;
    return f;
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

TEST(MarkupViewReaders, EachEntityIsConsumedExactlyAtEveryVersion)
{
    PrcMarkupLinkedItem linked;
    linked.graphics.lineStyle = 2;
    linked.graphics.extensionPairs = {{1, 1}};
    linked.first = reference(206);
    linked.second = reference(205, false);
    linked.flags = {true, false, true, true};
    linked.userDataBits = 9;
    PrcLeader leader;
    leader.second = reference();
    PrcMarkup markup;
    markup.linkedItems = {reference(), reference()};
    markup.leaders = {reference(205, false)};
    PrcView view;
    view.annotations = {reference(), reference(205, false)};
    view.plane = plane(0x02, true);
    view.sceneParameters = sceneWithEverything();
    view.flags = {true, false, true};
    view.linkedItems = {reference()};
    view.filters = {filterWithEverything()};
    const std::tuple<const char*, Write, Read> cases[] = {
        {"linked item", [&](PrcBitWriter& w, uint32_t v) { writeMarkupLinkedItem(w, linked, v); }, readMarkupLinkedItem},
        {"leader", [&](PrcBitWriter& w, uint32_t v) { writeLeader(w, leader, v); }, readLeader},
        {"markup", [&](PrcBitWriter& w, uint32_t v) { writeMarkup(w, markup, v); }, readMarkup},
        {"annotation item and reference",
         [](PrcBitWriter& w, uint32_t v) {
             writeAnnotationEntity(w, annotation(504), v);
             writeAnnotationEntity(w, annotation(506), v);
         },
         [](PRCBitReader& r) {
             readAnnotationEntity(r);
             readAnnotationEntity(r);
         }},
        {"deepest annotation sets",
         [](PrcBitWriter& w, uint32_t v) { writeAnnotationEntity(w, nestedSets(kMaxAnnotationSetDepth), v); },
         readAnnotationEntity},
        {"entity reference", [](PrcBitWriter& w, uint32_t v) { writeEntityReference(w, filterWithEverything().entities[0], v); },
         readEntityReference},
        {"filter", [](PrcBitWriter& w, uint32_t v) { writeFilter(w, filterWithEverything(), v); }, readFilter},
        {"scene parameters", [](PrcBitWriter& w, uint32_t v) { writeSceneDisplayParameters(w, sceneWithEverything(), v); },
         readSceneDisplayParameters},
        {"view", [&](PrcBitWriter& w, uint32_t v) { writeView(w, view, v); }, readView},
        {"bare view", [](PrcBitWriter& w, uint32_t v) { writeView(w, PrcView{}, v); }, readView},
        {"surface plane", [](PrcBitWriter& w, uint32_t) { writeSurfacePlane(w, plane(0x7F, true)); }, readSurfacePlane},
    };
    // Versions around every gate: view fields, light intensity, last scene flag, graphics pairs.
    for (const uint32_t version : {7094u, 7309u, 8016u, 8029u, 8030u, 8136u, 8137u, 8138u, kPrcVersionUnknown})
        for (const auto& [name, write, readOne] : cases) {
            PrcBitWriter w;
            write(w, version);
            write(w, version); // twice: the second relies on the state the first left
            PrcBitInput in = inputWithSentinel(w, version);
            const Read read = readOne;
            const std::string error = runtimeErrorOf([&] {
                read(in.reader);
                read(in.reader);
            });
            EXPECT_TRUE(error.empty() && atSentinel(in.reader)) << name << " at version " << version << ": " << error;
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
    PrcSceneDisplayParameters badLight;
    badLight.lights.emplace_back().type = 735;
    PrcEntityReference badReference;
    badReference.reference = reference(204);
    PrcAnnotationEntity badChild = annotation(505);
    badChild.children = {annotation(503)};
    PrcMarkup badLeader;
    badLeader.leaders = {reference(206)};
    const std::tuple<Write, Read, std::string> cases[] = {
        {[&](PrcBitWriter& w, uint32_t v) { writeAnnotationEntity(w, badChild, v); }, readAnnotationEntity,
         "readAnnotationEntity: unknown type 503"},
        {[](PrcBitWriter& w, uint32_t v) { writeAnnotationEntity(w, nestedSets(kMaxAnnotationSetDepth + 1), v); },
         readAnnotationEntity, "readAnnotationEntity: annotation sets nested too deeply"},
        {[&](PrcBitWriter& w, uint32_t v) { writeSceneDisplayParameters(w, badLight, v); }, readSceneDisplayParameters,
         "readLight: tipo inatteso 735"},
        {[&](PrcBitWriter& w, uint32_t v) { writeEntityReference(w, badReference, v); }, readEntityReference,
         "readEntityReference: unknown reference type"},
        {[&](PrcBitWriter& w, uint32_t v) { writeMarkup(w, badLeader, v); }, readMarkup,
         "unexpected type for Markup.leaders: expected 205, got 206"},
        {[](PrcBitWriter& w, uint32_t v) { writeFilter(w, PrcFilter{}, v); }, readView,
         "unexpected type for PRCView: expected 501, got 320"},
        {[](PrcBitWriter& w, uint32_t v) { writeLeader(w, PrcLeader{}, v); }, readMarkupLinkedItem,
         "unexpected type for PRCMarkupLinkedItem: expected 204, got 503"},
    };
    for (const auto& [write, readOne, message] : cases) {
        PrcBitWriter w;
        write(w, 8137);
        PrcBitInput in(w.bytes(), 8137);
        const Read read = readOne;
        EXPECT_EQ(runtimeErrorOf([&] { read(in.reader); }), message);
    }
}

} // namespace
