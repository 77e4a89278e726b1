#include "prc/structure/product_tree.h"

#include "prc/structure/entity_base.h"
#include "prc/structure/filter_readers.h"
#include "prc/structure/list_reserve.h"
#include "prc/structure/markup_readers.h"
#include "prc/structure/view_readers.h"

#include <stdexcept>
#include <string>

namespace {

constexpr uint32_t kTypeInternalData = 302;
constexpr uint32_t kTypeTree = 304;
constexpr uint32_t kTypeProductOccurrence = 310;
constexpr uint32_t kTypePartDefinition = 311;

constexpr uint32_t kTypeBrepModel = 232;
constexpr uint32_t kTypeCurve = 233;
constexpr uint32_t kTypeDirection = 234;
constexpr uint32_t kTypePlane = 235;
constexpr uint32_t kTypePointSet = 236;
constexpr uint32_t kTypePolyBrepModel = 237;
constexpr uint32_t kTypePolyWire = 238;
constexpr uint32_t kTypeSet = 239;
constexpr uint32_t kTypeCoordinateSystem = 240;

// Smallest encodings, to bound reservations: an empty item is one bit, a type number of
// 310 or 311 takes 19.
constexpr uint64_t kMinItemBits = 1;
constexpr uint64_t kMinEntityBits = 19;

void readUidInto(PRCBitReader& reader, std::array<uint32_t, 4>& uid)
{
    for (uint32_t& word : uid)
        word = reader.readUnsignedInteger();
}

// transform: where a coordinate system's transformation goes, if anywhere.
RepresentationItemData readRepresentationItemAt(PRCBitReader& reader, int depth, RepresentationItemBudget& budget,
                                                Matrix4d* transform = nullptr)
{
    if (budget.itemsLeft == 0)
        throw std::runtime_error("readRepresentationItem: too many items");
    --budget.itemsLeft;
    RepresentationItemData item;
    const uint32_t type = reader.readUnsignedInteger();
    if (type == 0)
        return item;
    if (type < kTypeBrepModel || type > kTypeCoordinateSystem)
        throw std::runtime_error("readRepresentationItem: unhandled type (" + std::to_string(type) + ")");
    item.type = type;
    const RepresentationItemContent content = readRepresentationItemContent(reader, type);
    item.styleIndex = content.styleIndex;
    item.index_local_coordinate_system = content.index_local_coordinate_system;
    item.index_tessellation = content.index_tessellation;
    switch (type) {
    case kTypeBrepModel:
        if (reader.readBoolean()) { // B-rep data: context and body
            reader.readUnsignedInteger();
            reader.readUnsignedInteger();
        }
        reader.readBoolean(); // closed
        break;
    case kTypeCurve:
    case kTypePlane:
        if (reader.readBoolean()) {
            reader.readUnsignedInteger();
            reader.readUnsignedInteger();
        }
        break;
    case kTypeDirection:
        if (reader.readBoolean())
            readVector3d(reader); // origin
        readVector3d(reader);
        break;
    case kTypePointSet: {
        const uint32_t count = reader.readUnsignedInteger();
        for (uint32_t i = 0; i < count; ++i)
            readVector3d(reader);
        break;
    }
    case kTypePolyBrepModel:
        reader.readBoolean(); // closed
        break;
    case kTypePolyWire:
        break;
    case kTypeSet: {
        if (depth >= kMaxRepresentationSetDepth)
            throw std::runtime_error("readRepresentationItem: sets nested too deeply");
        const uint32_t count = reader.readUnsignedInteger();
        reserveForList(item.children, count, reader, kMinItemBits);
        for (uint32_t i = 0; i < count; ++i)
            item.children.push_back(readRepresentationItemAt(reader, depth + 1, budget));
        break;
    }
    case kTypeCoordinateSystem: {
        const Matrix4d read = readTransformation3d(reader);
        if (transform != nullptr)
            *transform = read;
        break;
    }
    }
    readUserData(reader);
    return item;
}

std::vector<RepresentationItemData> readRepresentationItems(PRCBitReader& reader, RepresentationItemBudget& budget)
{
    std::vector<RepresentationItemData> items;
    const uint32_t count = reader.readUnsignedInteger();
    reserveForList(items, count, reader, kMinItemBits);
    for (uint32_t i = 0; i < count; ++i)
        items.push_back(readRepresentationItemAt(reader, 0, budget));
    return items;
}

void readViews(PRCBitReader& reader)
{
    const uint32_t count = reader.readUnsignedInteger();
    for (uint32_t i = 0; i < count; ++i)
        readView(reader);
}

PartDefinitionData readPartDefinition(PRCBitReader& reader, RepresentationItemBudget& budget)
{
    PartDefinitionData part;
    expectType(reader, kTypePartDefinition, "PRCPartDefinition");
    readContentPRCBase(reader, kTypePartDefinition);
    part.styleIndex = reader.readGraphics().lineStyle;
    const Vector3d min = readVector3d(reader);
    const Vector3d max = readVector3d(reader);
    part.boundingBoxMin[0] = min.x, part.boundingBoxMin[1] = min.y, part.boundingBoxMin[2] = min.z;
    part.boundingBoxMax[0] = max.x, part.boundingBoxMax[1] = max.y, part.boundingBoxMax[2] = max.z;
    part.items = readRepresentationItems(reader, budget);
    readMarkupLists(reader);
    readViews(reader);
    readUserData(reader);
    return part;
}

ProductOccurrenceData readProductOccurrence(PRCBitReader& reader)
{
    ProductOccurrenceData occurrence;
    expectType(reader, kTypeProductOccurrence, "PRCProductOccurrence");
    occurrence.name = readContentPRCBase(reader, kTypeProductOccurrence);
    occurrence.styleIndex = reader.readGraphics().lineStyle;
    occurrence.index_part = indexFromStored(reader.readUnsignedInteger());
    occurrence.index_prototype = indexFromStored(reader.readUnsignedInteger());
    if (occurrence.index_prototype != UINT64_MAX) {
        occurrence.prototype_in_same_file_structure = reader.readBoolean();
        if (!occurrence.prototype_in_same_file_structure)
            readUidInto(reader, occurrence.prototypeFileStructureUid);
    }
    occurrence.index_external_data = indexFromStored(reader.readUnsignedInteger());
    if (occurrence.index_external_data != UINT64_MAX) {
        occurrence.external_data_in_same_file_structure = reader.readBoolean();
        if (!occurrence.external_data_in_same_file_structure)
            readUidInto(reader, occurrence.externalDataFileStructureUid);
    }
    const uint32_t sons = reader.readUnsignedInteger();
    reserveForList(occurrence.sonOccurrences, sons, reader);
    for (uint32_t i = 0; i < sons; ++i)
        occurrence.sonOccurrences.push_back(reader.readUnsignedInteger());
    occurrence.product_behaviour = static_cast<uint8_t>(reader.readBits(8));
    reader.readBoolean(); // unit from CAD file
    reader.readDouble();  // unit
    occurrence.product_information_flags = static_cast<uint8_t>(reader.readBits(8));
    reader.readInteger(); // product load status
    occurrence.hasLocation = reader.readBoolean();
    if (occurrence.hasLocation)
        occurrence.location = readTransformation3d(reader);
    const uint32_t references = reader.readUnsignedInteger();
    for (uint32_t i = 0; i < references; ++i)
        readEntityReference(reader);
    readMarkupLists(reader);
    readViews(reader);
    if (reader.readBoolean())
        readFilter(reader); // entity filter
    const uint32_t displayFilters = reader.readUnsignedInteger();
    for (uint32_t i = 0; i < displayFilters; ++i)
        readFilter(reader);
    const uint32_t sceneParameters = reader.readUnsignedInteger();
    for (uint32_t i = 0; i < sceneParameters; ++i)
        readSceneDisplayParameters(reader);
    readUserData(reader);
    return occurrence;
}

} // namespace

TreeSectionData readFileStructureTree(PRCBitReader& reader)
{
    TreeSectionData tree;
    expectType(reader, kTypeTree, "FileStructureTree");
    readEmptyContentPRCBase(reader);

    RepresentationItemBudget budget;
    const uint32_t parts = reader.readUnsignedInteger();
    reserveForList(tree.partDefinitions, parts, reader, kMinEntityBits);
    for (uint32_t i = 0; i < parts; ++i)
        tree.partDefinitions.push_back(readPartDefinition(reader, budget));

    const uint32_t occurrences = reader.readUnsignedInteger();
    reserveForList(tree.productOccurrences, occurrences, reader, kMinEntityBits);
    for (uint32_t i = 0; i < occurrences; ++i)
        tree.productOccurrences.push_back(readProductOccurrence(reader));

    expectType(reader, kTypeInternalData, "FileStructure (internal data)");
    readContentPRCBase(reader, kTypeInternalData);
    reader.readUnsignedInteger(); // next available index
    tree.index_product_occurrence = reader.readUnsignedInteger();
    readUserData(reader);

    readUserData(reader);
    return tree;
}

RepresentationItemData readRepresentationItem(PRCBitReader& reader)
{
    RepresentationItemBudget budget;
    return readRepresentationItemAt(reader, 0, budget);
}

RepresentationItemData readRepresentationItem(PRCBitReader& reader, RepresentationItemBudget& budget)
{
    return readRepresentationItemAt(reader, 0, budget);
}

Matrix4d readCoordinateSystemItem(PRCBitReader& reader, RepresentationItemBudget& budget)
{
    Matrix4d transform = kIdentity4d;
    readRepresentationItemAt(reader, 0, budget, &transform);
    return transform;
}
