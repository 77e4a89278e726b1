#include "prc/container/prc_file_header.h"

#include "prc/container/raw_byte_reader.h"

#include <stdexcept>

namespace {

// uid (16 bytes), reserved (4) and number_of_offsets (4).
constexpr size_t kMinimalDescriptorBytes = 24;

PrcUid readUid(RawByteReader& reader)
{
    PrcUid uid;
    for (uint32_t& word : uid)
        word = reader.readU32();
    return uid;
}

} // namespace

PrcFileHeader readPrcFileHeader(const uint8_t* data, size_t size)
{
    if (size < 3 || data[0] != 'P' || data[1] != 'R' || data[2] != 'C')
        throw std::runtime_error("RawByteReader: expected magic \"PRC\"");
    RawByteReader reader(data, size);
    reader.setPosition(3);

    PrcFileHeader header;
    header.minimal_version_for_read = reader.readU32();
    header.authoring_version = reader.readU32();
    header.file_structure_uid = readUid(reader);
    header.application_uid = readUid(reader);
    header.number_of_file_structures = reader.readU32();
    if (reader.bytesLeft() / kMinimalDescriptorBytes < header.number_of_file_structures)
        throw std::runtime_error("PRC header: number_of_file_structures larger than the data");

    header.fileStructures.resize(header.number_of_file_structures);
    for (FileStructureDescriptor& descriptor : header.fileStructures) {
        descriptor.uid = readUid(reader);
        descriptor.reserved = reader.readU32();
        const uint32_t numberOfOffsets = reader.readU32();
        if (reader.bytesLeft() / 4 < numberOfOffsets)
            throw std::runtime_error("PRC header: number_of_offsets larger than the data");
        descriptor.sectionOffsets.resize(numberOfOffsets);
        for (uint32_t& offset : descriptor.sectionOffsets)
            offset = reader.readU32();
    }
    header.start_model_file = reader.readU32();
    header.end_model_file = reader.readU32();
    return header;
}
