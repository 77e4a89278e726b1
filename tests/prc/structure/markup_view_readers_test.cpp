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

TEST(MarkupViewReaders, MalformedEntitiesFail)
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
        EXPECT_EQ(failsToDecode([&] { read(in.reader); }), !std::string_view(message).empty());
    }
}

} // namespace
