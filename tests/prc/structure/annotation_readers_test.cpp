// Annotation entities are read only to be stepped over: a wrong child or nesting deeper
// than the bound must fail instead of recursing on.
#include "prc/structure/markup_readers.h"

#include "tests/support/error_message.h"
#include "tests/support/prc_entity_writer.h"

#include <gtest/gtest.h>

namespace {

PrcAnnotationEntity nestedSets(int depth)
{
    PrcAnnotationEntity set{505};
    if (depth > 1)
        set.children = {{504}, nestedSets(depth - 1), {506}};
    return set;
}

TEST(AnnotationReaders, WrongChildrenAndDeepNestingFail)
{
    PrcAnnotationEntity badChild{505};
    badChild.children = {{503}};
    const std::pair<PrcAnnotationEntity, bool> cases[] = {
        {nestedSets(kMaxAnnotationSetDepth), false},
        {nestedSets(kMaxAnnotationSetDepth + 1), true},
        {badChild, true},
    };
    for (const auto& [entity, fails] : cases) {
        PrcBitWriter w;
        writeAnnotationEntity(w, entity, 8137);
        PrcBitInput in(w.bytes(), 8137);
        EXPECT_EQ(failsToDecode([&] { readAnnotationEntity(in.reader); }), fails);
    }
}

} // namespace
