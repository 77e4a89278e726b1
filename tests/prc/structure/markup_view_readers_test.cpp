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

PrcReference reference(uint32_t type, bool sameFileStructure = true)
{
    PrcReference r;
    r.type = type;
    r.sameFileStructure = sameFileStructure;
    return r;
}

PrcSceneDisplayParameters sceneWithEverything()
{
    return {{731, 732, 733, 734}, true, true, {{false, 0x01}, {true, 0x20 | 0x10 | 0x08 | 0x40}}};
}

PrcFilter filterWithEverything()
{
    return {{1, 5}, {{reference(206, false)}, {}}};
}

PrcAnnotationEntity nestedSets(int depth)
{
    PrcAnnotationEntity set{505};
    if (depth > 1)
        set.children = {{504}, nestedSets(depth - 1), {506}};
    return set;
}

PrcBitWriter written(const Write& write, uint32_t version)
{
    PrcBitWriter w;
    write(w, version);
    return w;
}

TEST(MarkupViewReaders, EachEntityIsConsumedExactlyAtEveryVersion)
{
    const PrcMarkupLinkedItem linked{reference(206), reference(205, false)};
    const PrcMarkup markup{{reference(205), reference(205)}, {reference(205, false)}};
    PrcView view{{reference(205), reference(205, false)}, {true, 0x02}, sceneWithEverything(), {reference(205)}, {}};
    view.filters = {filterWithEverything()};
    const std::tuple<const char*, Write, Read> cases[] = {
        {"linked item", [&](PrcBitWriter& w, uint32_t v) { writeMarkupLinkedItem(w, linked, v); }, readMarkupLinkedItem},
        {"bare linked item", [](PrcBitWriter& w, uint32_t v) { writeMarkupLinkedItem(w, {}, v); }, readMarkupLinkedItem},
        {"leader", [](PrcBitWriter& w, uint32_t v) { writeLeader(w, {std::nullopt, reference(205)}, v); }, readLeader},
        {"markup", [&](PrcBitWriter& w, uint32_t v) { writeMarkup(w, markup, v); }, readMarkup},
        {"annotation item", [](PrcBitWriter& w, uint32_t v) { writeAnnotationEntity(w, {504}, v); }, readAnnotationEntity},
        {"annotation reference", [](PrcBitWriter& w, uint32_t v) { writeAnnotationEntity(w, {506}, v); },
         readAnnotationEntity},
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
        {"surface plane", [](PrcBitWriter& w, uint32_t) { writeSurfacePlane(w, {true, 0x7F}); }, readSurfacePlane},
    };
    // Versions around every gate: view fields, light intensity, last scene flag, graphics pairs.
    for (const uint32_t version : {7094u, 7309u, 8016u, 8029u, 8030u, 8136u, 8137u, 8138u, kPrcVersionUnknown})
        for (const auto& [name, write, readOne] : cases) {
            PrcBitWriter w = written(write, version);
            w.append(written(write, version)); // twice: the second relies on the state the first left
            const Read read = readOne;
            EXPECT_TRUE(readsExactly(w, [&](PRCBitReader& r) { read(r), read(r); }, version)) << name << " at " << version;
        }
}

TEST(MarkupViewReaders, VersionGatedFieldsArePresentOnlyFromTheirVersion)
{
    const Write light = [](PrcBitWriter& w, uint32_t v) { writeSceneDisplayParameters(w, {{733}}, v); };
    const Write view = [](PrcBitWriter& w, uint32_t v) { writeView(w, PrcView{}, v); };
    // One Double of intensity; one trailing Boolean; one view flag; two flags and two counts.
    EXPECT_GT(written(light, 8030).bitCount(), written(light, 8029).bitCount() + 1);
    EXPECT_EQ(written(light, 8137).bitCount(), written(light, 8136).bitCount() + 1);
    EXPECT_EQ(written(view, 7309).bitCount(), written(view, 7308).bitCount() + 1);
    EXPECT_EQ(written(view, 8016).bitCount(), written(view, 8015).bitCount() + 4);
    for (const auto& [version, read] : {std::pair{8029u, 8030u}, {8030u, 8029u}, {8136u, 8137u}})
        EXPECT_FALSE(readsExactly(written(light, version), readSceneDisplayParameters, read)) << version << " as " << read;
}

TEST(MarkupViewReaders, FailuresNameTheEntity)
{
    PrcAnnotationEntity badChild{505};
    badChild.children = {{503}};
    const std::tuple<Write, Read, std::string> cases[] = {
        {[&](PrcBitWriter& w, uint32_t v) { writeAnnotationEntity(w, badChild, v); }, readAnnotationEntity,
         "readAnnotationEntity: unknown type 503"},
        {[](PrcBitWriter& w, uint32_t v) { writeAnnotationEntity(w, nestedSets(kMaxAnnotationSetDepth + 1), v); },
         readAnnotationEntity, "readAnnotationEntity: annotation sets nested too deeply"},
        {[](PrcBitWriter& w, uint32_t v) { writeSceneDisplayParameters(w, {{731, 735}}, v); }, readSceneDisplayParameters,
         "readLight: tipo inatteso 735"},
        {[](PrcBitWriter& w, uint32_t v) { writeEntityReference(w, {reference(204)}, v); }, readEntityReference,
         "readEntityReference: unknown reference type"},
        {[](PrcBitWriter& w, uint32_t v) { writeMarkup(w, {{}, {reference(206)}}, v); }, readMarkup,
         "unexpected type for Markup.leaders: expected 205, got 206"},
        {[](PrcBitWriter& w, uint32_t v) { writeFilter(w, PrcFilter{}, v); }, readView,
         "unexpected type for PRCView: expected 501, got 320"},
        {[](PrcBitWriter& w, uint32_t v) { writeLeader(w, PrcLeader{}, v); }, readMarkupLinkedItem,
         "unexpected type for PRCMarkupLinkedItem: expected 204, got 503"},
    };
    for (const auto& [write, readOne, message] : cases) {
        PrcBitInput in(written(write, 8137).bytes(), 8137);
        const Read read = readOne;
        EXPECT_EQ(runtimeErrorOf([&] { read(in.reader); }), message);
    }
}

} // namespace
