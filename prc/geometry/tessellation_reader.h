// Reading of a tessellation section (FileStructureTessellation): plain tessellations are
// kept, compressed ones handed to their reader, wire and markup tessellations stepped over.
#pragma once

#include "prc/bits/prc_bit_reader.h"
#include "prc/geometry/compressed_tess_data.h"
#include "prc/geometry/tessellation_data.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// Told after each tessellation how many bytes of the section lie wholly behind the
// reading, never to be read again.
using SectionBytesRead = std::function<void(size_t)>;

// Reads an inflated section with the file structure's authoring version. Tessellations
// read completely are kept (with their entries when entries is given) even when a later
// one fails; only a failure of the section header is thrown.
std::vector<PRC3DTess> readFileStructureTessellation(const uint8_t* section, size_t length, uint32_t version,
                                                     std::vector<PRC3DTessCompressed>& compressed,
                                                     std::vector<TessEntry>* entries,
                                                     const SectionBytesRead& bytesRead = {});
// The same from a reader at the start of the section, which may still be arriving.
std::vector<PRC3DTess> readFileStructureTessellation(PRCBitReader& reader, std::vector<PRC3DTessCompressed>& compressed,
                                                     std::vector<TessEntry>* entries,
                                                     const SectionBytesRead& bytesRead = {});

PRCTessFace readTessFace(PRCBitReader& reader);

// Colour entries of a wire tessellation whose wire_indexes are polylines.
uint64_t countWireColorEntries(const std::vector<uint32_t>& wire_indexes, bool isSegmentColor);
