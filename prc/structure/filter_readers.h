// Entity references and filters of product occurrences and views: read to stay in step
// with the tree section, nothing is kept.
#pragma once

#include "prc/bits/prc_bit_reader.h"

void readEntityReference(PRCBitReader& reader);
void readFilter(PRCBitReader& reader);
