// Markups and annotations of part definitions and product occurrences: read to stay in
// step with the tree section, nothing is kept. Each checks its entity type.
#pragma once

#include "prc/bits/prc_bit_reader.h"

// Annotation sets nest; deeper nesting than this is taken as corrupt data.
inline constexpr int kMaxAnnotationSetDepth = 32;

void readMarkupLinkedItem(PRCBitReader& reader);
void readLeader(PRCBitReader& reader);
void readMarkup(PRCBitReader& reader);
// An annotation item, set (read recursively) or reference.
void readAnnotationEntity(PRCBitReader& reader);

// The four markup lists that part definitions and product occurrences carry, in their
// order: linked items, leaders, markups, annotation entities.
void readMarkupLists(PRCBitReader& reader);
