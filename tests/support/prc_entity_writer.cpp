#include "tests/support/prc_entity_writer.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace {

// Type numbers as the readers expect them, in runs of consecutive numbers.
enum : uint32_t {
    kTypeTess = 172, kTypeTessCompressed, kTypeTessFace, kTypeWireTess, kTypeMarkupTess,
    kTypeAttribute = 201, kTypeCartesianTransformation, kTypeEntityReference, kTypeMarkupLinkedItem,
    kTypeReferenceOnPRCBase, kTypeReferenceOnTopology, kTypeGeneralTransformation,
    kTypeSet = 239, kTypeCoordinateSystem,
    kTypeModelFile = 301, kTypeInternalData, kTypeGlobals, kTypeTree, kTypeTessellationSection,
    kTypeProductOccurrence = 310, kTypePartDefinition,
    kTypeAnnotationItem = 504, kTypeAnnotationSet, kTypeAnnotationReference,
    kTypeStyle = 701, kTypeMaterial, kTypePicture,
    kTypeTextureApplication = 711, kTypeTextureDefinition, kTypeTextureTransformation, kTypeLinePattern = 721,
};

constexpr uint32_t kSentinel = 0x5A3C;
constexpr int kSentinelBits = 16;

// What the dropped entities carry: a name, identifiers of several widths, a graphics
// block with an extension pair and some user data.
const PrcBase kDroppedBase{{}, false, "x", 5, 300, 70000};
const PrcGraphicsBlock kDroppedGraphics{false, 2, 5, 0x0102, {{1, 1}}};
constexpr uint32_t kDroppedUserDataBits = 3;

void writeUnsignedIntegers(PrcBitWriter& writer, const std::vector<uint32_t>& values)
{
    writer.writeUnsignedInteger(static_cast<uint32_t>(values.size()));
    for (const uint32_t value : values)
        writer.writeUnsignedInteger(value);
}

// Each value, no count.
void writeEach(PrcBitWriter& writer, std::initializer_list<uint32_t> values)
{
    for (const uint32_t value : values)
        writer.writeUnsignedInteger(value);
}

void writeDoubles(PrcBitWriter& writer, const std::vector<double>& values)
{
    writer.writeUnsignedInteger(static_cast<uint32_t>(values.size()));
    for (const double value : values)
        writer.writeDouble(value);
}

void writeFixedDoubles(PrcBitWriter& writer, std::initializer_list<double> values)
{
    for (const double value : values)
        writer.writeDouble(value);
}

void writeUid(PrcBitWriter& writer, const PrcUid& uid)
{
    writeEach(writer, {uid[0], uid[1], uid[2], uid[3]});
}

void writeTitle(PrcBitWriter& writer, const PrcTitle& title)
{
    writer.writeBoolean(title.numbered);
    if (title.numbered)
        writer.writeUnsignedInteger(title.number);
    else
        writer.writeString(title.text);
}

void writeName(PrcBitWriter& writer, bool reuseName, const std::string& name)
{
    writer.writeBoolean(reuseName);
    if (!reuseName)
        writer.writeString(name);
}

template <typename T, typename Write>
void writeList(PrcBitWriter& writer, const std::vector<T>& elements, Write&& write)
{
    writer.writeUnsignedInteger(static_cast<uint32_t>(elements.size()));
    for (const T& element : elements)
        write(element);
}

void writeReferences(PrcBitWriter& writer, const std::vector<PrcReference>& references)
{
    writeList(writer, references, [&](const PrcReference& r) { writeReference(writer, r); });
}

// Type, base and graphics of a dropped entity.
void writeDroppedStart(PrcBitWriter& writer, uint32_t type, uint32_t version)
{
    writer.writeUnsignedInteger(type);
    writeContentPRCBase(writer, kDroppedBase, type);
    writer.writeGraphics(kDroppedGraphics, version);
}

// The cartesian fields by flag, shared by transformations and surface planes.
void writeCartesianFields(PrcBitWriter& writer, const PrcTransformation& t)
{
    writer.writeBits(t.flags, 8);
    if (t.flags & 0x01)
        writeVector3d(writer, t.translation);
    if (t.flags & 0x20) {
        writeVector3d(writer, t.x);
        writeVector3d(writer, t.y);
        writeVector3d(writer, t.z);
    } else if (t.flags & 0x02) {
        writeVector3d(writer, t.x);
        writeVector3d(writer, t.y);
    }
    if (t.flags & 0x10)
        writeVector3d(writer, t.scale);
    if (t.flags & 0x08)
        writer.writeDouble(t.uniformScale);
    if (t.flags & 0x40)
        writeFixedDoubles(writer, {9, 9, 9, 9});
}

void writeSectionStart(PrcBitWriter& writer, uint32_t type)
{
    writer.writeUnsignedInteger(type);
    writer.writeUnsignedInteger(0); // no attributes
    writeName(writer, false, "");
}

void writePartDefinition(PrcBitWriter& writer, const PrcPartDefinition& part, uint32_t version)
{
    writer.writeUnsignedInteger(kTypePartDefinition);
    writeContentPRCBase(writer, part.base, kTypePartDefinition);
    writer.writeGraphics(part.graphics, version);
    writeVector3d(writer, part.boundingBoxMin);
    writeVector3d(writer, part.boundingBoxMax);
    writeList(writer, part.items, [&](const auto& item) { writeRepresentationItem(writer, item, version); });
    writeEach(writer, {0, 0, 0, 0, 0}); // no linked items, leaders, markups, annotations or views
    writeUserData(writer, part.userDataBits);
}

void writeProductOccurrence(PrcBitWriter& writer, const PrcProductOccurrence& occurrence, uint32_t version)
{
    writer.writeUnsignedInteger(kTypeProductOccurrence);
    writeContentPRCBase(writer, occurrence.base, kTypeProductOccurrence);
    writer.writeGraphics(occurrence.graphics, version);
    writer.writeUnsignedInteger(occurrence.partPlusOne);
    writer.writeUnsignedInteger(occurrence.prototypePlusOne);
    if (occurrence.prototypePlusOne != 0) {
        writer.writeBoolean(occurrence.prototypeInSameFileStructure);
        if (!occurrence.prototypeInSameFileStructure)
            writeUid(writer, occurrence.prototypeUid);
    }
    writer.writeUnsignedInteger(occurrence.externalDataPlusOne);
    if (occurrence.externalDataPlusOne != 0) {
        writer.writeBoolean(false);
        writeUid(writer, {5, 6, 7, 8});
    }
    writeUnsignedIntegers(writer, occurrence.sons);
    writer.writeBits(occurrence.productBehaviour, 8);
    writer.writeBoolean(false); // unit from CAD file
    writer.writeDouble(occurrence.unit);
    writer.writeBits(occurrence.productInformationFlags, 8);
    writer.writeInteger(occurrence.loadStatus);
    writer.writeBoolean(occurrence.location.has_value());
    if (occurrence.location)
        writeTransformation3d(writer, *occurrence.location);
    // No entity references, linked items, leaders, markups, annotations or views, no entity
    // filter, display filters or scene parameters.
    writeEach(writer, {0, 0, 0, 0, 0, 0});
    writer.writeBoolean(false);
    writeEach(writer, {0, 0});
    writeUserData(writer, occurrence.userDataBits);
}

void writeTextureDefinition(PrcBitWriter& writer, const PrcTextureDefinition& texture)
{
    writer.writeUnsignedInteger(kTypeTextureDefinition);
    writeContentPRCBase(writer, kDroppedBase, kTypeTextureDefinition);
    writer.writeUnsignedInteger(0); // picture
    writer.writeBits(texture.dimension, 8);
    writer.writeInteger(texture.mappingType);
    if (texture.mappingType == 3) {
        writer.writeInteger(1); // mapping operator
        writer.writeBoolean(texture.operatorTransformation.has_value());
        if (texture.operatorTransformation)
            writeTransformation3d(writer, *texture.operatorTransformation);
    }
    writer.writeUnsignedInteger(0); // mapping attribute
    writeDoubles(writer, {0.5});    // intensities
    writer.writeUnsignedInteger(2); // components
    writer.writeByteArray({1, 2});
    writer.writeInteger(texture.function);
    if (texture.function == 3)
        writeFixedDoubles(writer, {0.25, 0.5, 0.75, 1});
    writer.writeInteger(texture.firstBlend);
    if (texture.firstBlend != 0)
        writer.writeInteger(5);
    writer.writeInteger(0); // second blend
    writer.writeBits(texture.applyingMode, 8);
    if (texture.applyingMode & 0x02) {
        writer.writeInteger(1);
        writer.writeDouble(0.5);
    }
    writer.writeInteger(1); // wrapping modes, as many as the dimension asks
    if (texture.dimension > 1) {
        writer.writeInteger(2);
        if (texture.dimension != 2)
            writer.writeInteger(3);
    }
    writer.writeBoolean(texture.hasTransformation);
    if (texture.hasTransformation) {
        writer.writeUnsignedInteger(kTypeTextureTransformation);
        writer.writeBitString("1 0"); // two flags
        writer.writeBoolean(texture.transformationFlags.has_value());
    }
    if (texture.hasTransformation && texture.transformationFlags) {
        const uint8_t flags = *texture.transformationFlags;
        writer.writeBits(flags, 8);
        const int doubles = (flags & 0x01 ? 2 : 0) + (flags & 0x20 ? 4 : flags & 0x02 ? 2 : 0) +
                            (flags & 0x10 ? 2 : flags & 0x08 ? 1 : 0) + (flags & 0x40 ? 3 : 0);
        for (int i = 0; i < doubles; ++i)
            writer.writeDouble(i + 0.5);
    }
}

void writeColourArray(PrcBitWriter& writer, const std::vector<uint8_t>& colours, uint32_t components)
{
    for (size_t at = 0; at + components <= colours.size(); at += components) {
        const bool repeat = at > 0 && std::equal(colours.begin() + static_cast<ptrdiff_t>(at),
                                                 colours.begin() + static_cast<ptrdiff_t>(at + components),
                                                 colours.begin() + static_cast<ptrdiff_t>(at - components));
        if (at > 0)
            writer.writeBoolean(repeat);
        if (!repeat)
            for (uint32_t c = 0; c < components; ++c)
                writer.writeBits(colours[at + c], 8);
    }
}

void writeBaseTessellationData(PrcBitWriter& writer, const std::vector<double>& coordinates)
{
    writer.writeBoolean(false); // is calculated
    writeDoubles(writer, coordinates);
}

void writePRC3DTess(PrcBitWriter& writer, const PRC3DTess& tess, uint32_t version)
{
    writer.writeUnsignedInteger(kTypeTess);
    writeBaseTessellationData(writer, tess.coordinates);
    writer.writeBoolean(true); // has faces
    if (version > 7038)
        writer.writeBoolean(true); // has loops
    if (version > 7046) {
        writer.writeBoolean(tess.must_recalculate_normals);
        if (tess.must_recalculate_normals) {
            writer.writeBits(3, 8);
            writer.writeDouble(tess.crease_angle);
        }
    }
    writeDoubles(writer, {}); // normals
    writeUnsignedIntegers(writer, {1, 2}); // wire indices
    writeUnsignedIntegers(writer, tess.triangulated_index);
    writeList(writer, tess.face_tessellation, [&](const PRCTessFace& face) { writeTessFace(writer, face); });
    writeDoubles(writer, {0.5, 0.5}); // texture coordinates
}

void writeBits(PrcBitWriter& writer, const BitArray& bits)
{
    for (uint64_t i = 0; i < bits.size(); ++i)
        writer.writeBoolean(bits[i]);
}

void requireSize(const BitArray& bits, uint64_t size, const char* name, bool check)
{
    if (check && bits.size() != size)
        throw std::invalid_argument(std::string("writePRC3DTessCompressed: wrong size of ") + name);
}

std::vector<int32_t> asSigned(const std::vector<uint32_t>& values)
{
    return std::vector<int32_t>(values.begin(), values.end());
}

void writeTessellation(PrcBitWriter& writer, const PrcTessellation& tessellation, uint32_t version)
{
    if (const auto* plain = std::get_if<PRC3DTess>(&tessellation)) {
        writePRC3DTess(writer, *plain, version);
    } else if (const auto* compressed = std::get_if<PrcCompressedTess>(&tessellation)) {
        writePRC3DTessCompressed(writer, compressed->record, version, compressed->encoding);
    } else if (const auto* wire = std::get_if<PrcWireTess>(&tessellation)) {
        writer.writeUnsignedInteger(kTypeWireTess);
        writeBaseTessellationData(writer, {0, 0, 0, 1, 1, 1});
        writeUnsignedIntegers(writer, wire->wireIndexes);
        writer.writeBoolean(wire->hasColours);
        if (wire->hasColours) {
            writer.writeBitString("0 1"); // RGB, one colour per segment
            writer.writeBoolean(wire->optimisedColours);
            writeColourArray(writer, wire->colours, 3);
        }
    } else if (std::holds_alternative<PrcMarkupTess>(tessellation)) {
        writer.writeUnsignedInteger(kTypeMarkupTess);
        writeBaseTessellationData(writer, {1, 2, 3});
        writeUnsignedIntegers(writer, {0x80000000, 5}); // codes
        writeList(writer, std::vector<std::string>{"a", "", "note"}, [&](const auto& text) { writer.writeString(text); });
        writer.writeString("label");
        writer.writeBits(0x42, 8);
    } else {
        writer.append(std::get<PrcRawTess>(tessellation).bits);
    }
}

std::vector<uint8_t> compressedOrStored(const PrcSectionOverride& section)
{
    return section.storedAsGiven ? section.bytes : compressSection(section.bytes);
}

std::vector<uint8_t> modelFileSectionBytes(const std::vector<PrcModelRoot>& roots)
{
    PrcBitWriter writer;
    writeEach(writer, {1, 7, 2, 5, 9}); // schema: one entry (type 7) of two tokens, read and dropped
    writer.writeUnsignedInteger(kTypeModelFile);
    writeContentPRCBase(writer, PrcBase{}, kTypeModelFile);
    writer.writeBoolean(false); // unit from CAD file
    writer.writeDouble(1);      // unit
    writeList(writer, roots, [&](const PrcModelRoot& root) {
        writeUid(writer, root.uid);
        writer.writeUnsignedInteger(root.occurrencePlusOne);
        writer.writeBoolean(false);
    });
    writeUserData(writer);
    return writer.bytes();
}

} // namespace

PrcBitInput inputWithSentinel(const PrcBitWriter& writer, uint32_t version)
{
    PrcBitWriter withSentinel = writer;
    withSentinel.writeBits(kSentinel, kSentinelBits);
    return PrcBitInput(withSentinel.bytes(), version);
}

bool atSentinel(PRCBitReader& reader)
{
    return reader.bitsLeft() >= kSentinelBits && reader.readBits(kSentinelBits) == kSentinel && reader.bitsLeft() < 8;
}

bool readsExactly(const PrcBitWriter& written, const std::function<void(PRCBitReader&)>& read, uint32_t version)
{
    PrcBitInput in = inputWithSentinel(written, version);
    try {
        read(in.reader);
    } catch (const std::runtime_error&) {
        return false;
    }
    return atSentinel(in.reader);
}

PrcBase namedBase(std::string name)
{
    PrcBase base;
    base.name = std::move(name);
    return base;
}

void writeAttributes(PrcBitWriter& writer, const std::vector<PrcAttribute>& attributes)
{
    writer.writeUnsignedInteger(static_cast<uint32_t>(attributes.size()));
    for (const PrcAttribute& attribute : attributes) {
        writer.writeUnsignedInteger(kTypeAttribute);
        writeTitle(writer, attribute.title);
        writer.writeUnsignedInteger(static_cast<uint32_t>(attribute.keys.size()));
        for (const PrcAttributeKey& key : attribute.keys) {
            writeTitle(writer, key.title);
            writer.writeUnsignedInteger(key.type);
            if (key.type == 1 || key.type == 3 || key.type == 5)
                writer.writeInteger(-70000);
            if (key.type == 5)
                writer.writeUnsignedInteger(0x12345678);
            if (key.type == 2)
                writer.writeDouble(2.5);
            if (key.type == 4)
                writer.writeString("value");
        }
    }
}

void writeContentPRCBase(PrcBitWriter& writer, const PrcBase& base, uint32_t type)
{
    writeAttributes(writer, base.attributes);
    writeName(writer, base.reuseName, base.name);
    if (!((type >= 301 && type <= 305) || type == kTypePicture)) {
        writer.writeUnsignedInteger(base.cadId);
        writer.writeUnsignedInteger(base.cadPersistentId);
        writer.writeUnsignedInteger(base.uniqueId);
    }
}

void writeUserData(PrcBitWriter& writer, uint32_t bits)
{
    writer.writeUnsignedInteger(bits);
    for (uint32_t i = 0; i < bits; ++i)
        writer.writeBoolean(i % 2 == 0);
}

void writeVector3d(PrcBitWriter& writer, const Vector3d& vector)
{
    writeFixedDoubles(writer, {vector.x, vector.y, vector.z});
}

void writeReference(PrcBitWriter& writer, const PrcReference& reference)
{
    writer.writeUnsignedInteger(reference.type);
    writer.writeUnsignedInteger(311); // target type
    if (reference.type == kTypeReferenceOnTopology) {
        writer.writeBoolean(reference.present);
        if (!reference.present)
            return;
    } else if (reference.type != kTypeReferenceOnPRCBase) {
        return; // an unknown type: nothing more, for tests of refusals
    }
    writer.writeBoolean(reference.sameFileStructure);
    if (!reference.sameFileStructure)
        writeUid(writer, reference.uid);
    writer.writeUnsignedInteger(reference.index);
    if (reference.type == kTypeReferenceOnTopology) {
        writer.writeUnsignedInteger(9);
        writeUnsignedIntegers(writer, {4, 5});
    }
}

PrcTransformation generalTransformation(const Matrix4d& m)
{
    PrcTransformation t;
    t.type = kTypeGeneralTransformation;
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row)
            t.stored[column * 4 + row] = m[row * 4 + column];
    return t;
}

PrcTransformation placement(Vector3d translation, Vector3d scale)
{
    PrcTransformation t;
    t.flags = scale.x == 1 && scale.y == 1 && scale.z == 1 ? 0x01 : 0x11;
    t.translation = translation;
    t.scale = scale;
    return t;
}

void writeTransformation3d(PrcBitWriter& writer, const PrcTransformation& t)
{
    writer.writeUnsignedInteger(t.type);
    if (t.type == kTypeGeneralTransformation)
        for (const double value : t.stored)
            writer.writeDouble(value);
    else if (t.type == kTypeCartesianTransformation)
        writeCartesianFields(writer, t);
}

void writeAnnotationEntity(PrcBitWriter& writer, const PrcAnnotationEntity& entity, uint32_t version)
{
    writeDroppedStart(writer, entity.type, version);
    if (entity.type == kTypeAnnotationSet)
        writeList(writer, entity.children,
                  [&](const PrcAnnotationEntity& child) { writeAnnotationEntity(writer, child, version); });
    else if (entity.type == kTypeAnnotationReference)
        writeReferences(writer, entity.linkedItems);
    else
        writeReference(writer, {}); // the markup
    writeUserData(writer, kDroppedUserDataBits);
}

PrcRepresentationItem polyBrepItem(uint32_t tessellation, uint32_t style)
{
    PrcRepresentationItem item;
    item.type = 237;
    item.tessellationPlusOne = tessellation + 1;
    item.graphics.lineStyle = style;
    return item;
}

PrcRepresentationItem coordinateSystemItem(const PrcTransformation& transformation)
{
    PrcRepresentationItem item;
    item.type = kTypeCoordinateSystem;
    item.transformation = transformation;
    return item;
}

void writeRepresentationItem(PrcBitWriter& writer, const PrcRepresentationItem& item, uint32_t version)
{
    writer.writeUnsignedInteger(item.type);
    if (item.type == 0)
        return;
    writeContentPRCBase(writer, item.base, item.type);
    writer.writeGraphics(item.graphics, version);
    writer.writeUnsignedInteger(item.localCoordinateSystemPlusOne);
    writer.writeUnsignedInteger(item.tessellationPlusOne);
    switch (item.type) {
    case 232:
        writer.writeBoolean(item.hasBrepData);
        if (item.hasBrepData)
            writeEach(writer, {7, 300}); // context, body
        writer.writeBoolean(item.isClosed);
        break;
    case 233:
    case 235:
        writer.writeBoolean(item.hasIndices);
        if (item.hasIndices)
            writeEach(writer, {1, 2});
        break;
    case 234:
        writer.writeBoolean(item.origin.has_value());
        if (item.origin)
            writeVector3d(writer, *item.origin);
        writeVector3d(writer, {0, 0, 1});
        break;
    case 236:
        writeList(writer, item.points, [&](const Vector3d& point) { writeVector3d(writer, point); });
        break;
    case 237:
        writer.writeBoolean(item.isClosed);
        break;
    case kTypeSet:
        writeList(writer, item.children,
                  [&](const PrcRepresentationItem& child) { writeRepresentationItem(writer, child, version); });
        break;
    case kTypeCoordinateSystem:
        writeTransformation3d(writer, item.transformation);
        break;
    default:
        break;
    }
    writeUserData(writer, item.userDataBits);
}

PrcTree singlePartTree(uint32_t tessellation)
{
    PrcTree tree;
    PrcPartDefinition& part = tree.parts.emplace_back();
    part.items.push_back(polyBrepItem(tessellation));
    PrcProductOccurrence& root = tree.occurrences.emplace_back();
    root.base = namedBase("root");
    root.partPlusOne = 1;
    return tree;
}

void writeTreeSection(PrcBitWriter& writer, const PrcTree& tree, uint32_t version)
{
    writeSectionStart(writer, kTypeTree);
    writeList(writer, tree.parts, [&](const auto& part) { writePartDefinition(writer, part, version); });
    writeList(writer, tree.occurrences, [&](const auto& o) { writeProductOccurrence(writer, o, version); });
    writer.writeUnsignedInteger(kTypeInternalData);
    writeContentPRCBase(writer, PrcBase{}, kTypeInternalData);
    writer.writeUnsignedInteger(99); // next available index
    writer.writeUnsignedInteger(tree.productOccurrenceIndex);
    writeUserData(writer, 2);
    writeUserData(writer, tree.userDataBits);
}

PrcStyle colourStyle(uint32_t colour, bool isMaterial)
{
    PrcStyle style;
    style.isMaterial = isMaterial;
    style.colourPlusOne = colour + 1;
    return style;
}

void writeGlobalsSection(PrcBitWriter& writer, const PrcGlobals& globals, uint32_t version)
{
    writeList(writer, globals.schemaTypes, [&](uint32_t type) {
        writer.writeUnsignedInteger(type);
        writeUnsignedIntegers(writer, {19, 20, 7309});
    });
    writer.writeUnsignedInteger(kTypeGlobals);
    writeContentPRCBase(writer, globals.base, kTypeGlobals);
    writer.writeUnsignedInteger(1); // referenced file structures
    writeUid(writer, {1, 2, 3, 4});
    writeFixedDoubles(writer, {0.1, 40}); // chord ratio, angle
    writer.writeString("Arial");
    writer.writeUnsignedInteger(globals.fonts);
    for (uint32_t i = 0; i < globals.fonts; ++i) {
        writer.writeString("Courier");
        writeEach(writer, {1, 2, 2}); // character set, two characters: 2 'a', 300 'b'
        writer.writeBits('a', 8);
        writer.writeUnsignedInteger(300);
        writer.writeBits('b', 8);
    }
    writeList(writer, globals.colours,
              [&](const Colour& colour) { writeFixedDoubles(writer, {colour.r, colour.g, colour.b}); });
    writer.writeUnsignedInteger(globals.pictures);
    for (uint32_t i = 0; i < globals.pictures; ++i) {
        writer.writeUnsignedInteger(kTypePicture);
        writeContentPRCBase(writer, kDroppedBase, kTypePicture);
        writer.writeInteger(-1); // format
        writeEach(writer, {2, 64, 32}); // file index, width, height
    }
    writeList(writer, globals.textureDefinitions, [&](const auto& texture) { writeTextureDefinition(writer, texture); });
    writeList(writer, globals.materials, [&](const PrcMaterialEntry& entry) {
        if (const auto* material = std::get_if<PrcMaterial>(&entry)) {
            writer.writeUnsignedInteger(kTypeMaterial);
            writeContentPRCBase(writer, kDroppedBase, kTypeMaterial);
            writeEach(writer, {material->ambientPlusOne, material->diffusePlusOne, material->emissivePlusOne,
                               material->specularPlusOne});
            writeFixedDoubles(writer, {material->shininess, material->ambientAlpha, material->diffuseAlpha,
                                       material->emissiveAlpha, material->specularAlpha});
        } else if (const auto* application = std::get_if<PrcTextureApplication>(&entry)) {
            writer.writeUnsignedInteger(kTypeTextureApplication);
            writeContentPRCBase(writer, kDroppedBase, kTypeTextureApplication);
            writeEach(writer, {application->materialPlusOne, 1, 0, 2});
        } else {
            writer.writeUnsignedInteger(std::get<PrcUnknownMaterial>(entry).type);
        }
    });
    writer.writeUnsignedInteger(globals.linePatterns);
    for (uint32_t i = 0; i < globals.linePatterns; ++i) {
        writer.writeUnsignedInteger(kTypeLinePattern);
        writeContentPRCBase(writer, kDroppedBase, kTypeLinePattern);
        writeDoubles(writer, {1, 2}); // lengths
        writer.writeDouble(0);       // phase
        writer.writeBoolean(true);
    }
    writeList(writer, globals.styles, [&](const PrcStyle& style) {
        writer.writeUnsignedInteger(kTypeStyle);
        writeContentPRCBase(writer, kDroppedBase, kTypeStyle);
        writer.writeDouble(style.lineWidth);
        writer.writeBoolean(false);     // vpicture
        writer.writeUnsignedInteger(0); // line pattern
        writer.writeBoolean(style.isMaterial);
        writer.writeUnsignedInteger(style.colourPlusOne);
        writer.writeBoolean(style.transparent);
        if (style.transparent)
            writer.writeBits(128, 8);
        writer.writeBitString("0 1 00000011 0"); // second and fourth bytes absent, third 3
    });
    writer.writeUnsignedInteger(globals.fillPatternCount);
    writeList(writer, globals.coordinateSystems,
              [&](const auto& item) { writeRepresentationItem(writer, item, version); });
    writeUserData(writer, globals.userDataBits);
}

PRCTessFace tessFace(uint32_t flags, std::vector<uint32_t> sizes, uint32_t start)
{
    PRCTessFace face;
    face.used_entities_flag = flags;
    face.start_triangulated = start;
    face.sizes_triangulated = std::move(sizes);
    return face;
}

PRC3DTess tessOfTriangles(const std::vector<double>& coordinates)
{
    PRC3DTess tess;
    tess.coordinates = coordinates;
    const uint32_t points = static_cast<uint32_t>(coordinates.size() / 3);
    for (uint32_t i = 0; i < points; ++i)
        tess.triangulated_index.push_back(3 * i);
    tess.face_tessellation = {tessFace(0x0002, {points / 3})};
    return tess;
}

void writeTessFace(PrcBitWriter& writer, const PRCTessFace& face, bool optimisedColours)
{
    writer.writeUnsignedInteger(kTypeTessFace);
    writer.writeUnsignedInteger(static_cast<uint32_t>(face.line_attributes.size()));
    for (const uint32_t style : face.line_attributes)
        writer.writeUnsignedInteger(style + 1);
    writer.writeUnsignedInteger(3);        // start wire
    writeUnsignedIntegers(writer, {2, 2}); // wire sizes
    writer.writeUnsignedInteger(face.used_entities_flag);
    writer.writeUnsignedInteger(face.start_triangulated);
    writeUnsignedIntegers(writer, face.sizes_triangulated);
    writer.writeUnsignedInteger(1); // texture coordinate indexes
    writer.writeBoolean(face.has_vertex_colors);
    if (face.has_vertex_colors) {
        writer.writeBoolean(face.is_rgba);
        writer.writeBoolean(optimisedColours);
        writeColourArray(writer, face.rgba_vertices, face.is_rgba ? 4 : 3);
    }
    if (!face.line_attributes.empty())
        writer.writeUnsignedInteger(7); // behaviour
}

void writePRC3DTessCompressed(PrcBitWriter& writer, const PRC3DTessCompressed& tess, uint32_t version,
                              const PrcCompressedTessEncoding& encoding)
{
    const uint64_t faceCount = tess.triangle_face_array.empty()
                                   ? 0
                                   : uint64_t{*std::max_element(tess.triangle_face_array.begin(),
                                                                tess.triangle_face_array.end())} + 1;
    const auto arrayEncoding = [&](uint32_t bits) {
        PrcArrayEncoding e;
        e.compressed = encoding.compressArrays;
        e.numBitsPerElem = bits;
        return e;
    };

    writer.writeUnsignedInteger(kTypeTessCompressed);
    writer.writeBoolean(tess.flag1);
    writer.writeBoolean(tess.flag2);
    writer.writeDouble(tess.tolerance);
    if (version > 7030)
        for (const float coordinate : tess.origin)
            for (int shift = 0; shift < 32; shift += 8)
                writer.writeBits(std::bit_cast<uint32_t>(coordinate) >> shift & 0xFF, 8);
    writeCompressedIntegerArray(writer, tess.point_array, encoding.compressArrays);
    writeCharacterArray(writer, tess.edge_status_array, arrayEncoding(2));
    writeCompressedIndiceArray(writer, asSigned(tess.triangle_face_array), arrayEncoding(6));

    writer.writeUnsignedInteger(static_cast<uint32_t>(tess.point_is_reference_array.size()));
    writeBits(writer, tess.point_is_reference_array);
    PrcArrayEncoding references = arrayEncoding(6);
    references.writeFlag = false;
    references.compressed =
        tess.point_is_reference_array.count() > 3;
    writeCompressedIndiceArray(writer, asSigned(tess.point_reference_array), references);

    writer.writeBoolean(tess.normals_as_reversal_bits);
    if (tess.normals_as_reversal_bits) {
        requireSize(tess.normal_is_reversed, tess.triangle_face_array.size(), "normal_is_reversed", encoding.checkSizes);
        writeBits(writer, tess.normal_is_reversed);
        writer.writeDouble(tess.reversalDouble);
        writer.writeBits(0, 8);
    } else {
        writer.writeBits(tess.normal_angle_number_of_bits, 8);
        writer.writeUnsignedInteger(static_cast<uint32_t>(tess.normal_binary_data.size()));
        writeBits(writer, tess.normal_binary_data);
        writeShortArray(writer, tess.normal_angle_array, arrayEncoding(tess.normal_angle_number_of_bits));
        requireSize(tess.face_has_one_normal, faceCount, "face_has_one_normal", encoding.checkSizes);
        writeBits(writer, tess.face_has_one_normal);
    }

    writer.writeBoolean(tess.hasExtraFaceData);
    if (tess.hasExtraFaceData) {
        requireSize(tess.extraFaceBits, faceCount, "extraFaceBits", encoding.checkSizes);
        writeBits(writer, tess.extraFaceBits);
        writeCharacterArray(writer, tess.extraFaceBytes, arrayEncoding(8));
    }
    writer.writeBoolean(tess.perTriangleStyles);
    if (tess.perTriangleStyles) {
        requireSize(tess.perTriangleStyleBits, faceCount, "perTriangleStyleBits", encoding.checkSizes);
        writeBits(writer, tess.perTriangleStyleBits);
    }
    writeShortArray(writer, tess.face_style_array, arrayEncoding(16));

    writer.writeBoolean(!encoding.writeSkippedBlock);
    if (encoding.writeSkippedBlock) {
        writer.writeUnsignedInteger(1);
        writer.writeByteArray({1, 2, 3, 4});
        writer.writeUnsignedInteger(7);
        writer.writeUnsignedInteger(2);
        writer.writeUnsignedIntegerWithVariableBitNumber(5);
        writer.writeUnsignedIntegerWithVariableBitNumber(1000);
        writer.writeDouble(0.125);
        writer.writeUnsignedInteger(2);
        writer.writeByteArray({5, 6, 7, 8, 9, 10, 11, 12});
        writer.writeBoolean(false);
        for (uint64_t face = 0; face < faceCount; ++face)
            writer.writeBoolean(true);
    }
    writer.writeBoolean(tess.hasTrailingBytes);
    if (tess.hasTrailingBytes)
        writeCharacterArray(writer, tess.trailingBytes, arrayEncoding(8));
}

void writeTessellationSection(PrcBitWriter& writer, const std::vector<PrcTessellation>& tessellations,
                              uint32_t version, std::optional<uint32_t> countOverride)
{
    writeSectionStart(writer, kTypeTessellationSection);
    writer.writeUnsignedInteger(countOverride.value_or(static_cast<uint32_t>(tessellations.size())));
    for (const PrcTessellation& tessellation : tessellations)
        writeTessellation(writer, tessellation, version);
    writeUserData(writer);
}

std::vector<uint8_t> globalsSectionBytes(const PrcGlobals& globals, uint32_t version)
{
    PrcBitWriter writer;
    writeGlobalsSection(writer, globals, version);
    return writer.bytes();
}

std::vector<uint8_t> treeSectionBytes(const PrcTree& tree, uint32_t version)
{
    PrcBitWriter writer;
    writeTreeSection(writer, tree, version);
    return writer.bytes();
}

std::vector<uint8_t> tessellationSectionBytes(const std::vector<PrcTessellation>& tessellations, uint32_t version)
{
    PrcBitWriter writer;
    writeTessellationSection(writer, tessellations, version);
    return writer.bytes();
}

std::vector<uint8_t> buildPrcModelFile(const PrcModel& model)
{
    PrcFileLayout layout;
    layout.minimalVersionForRead = model.minimalVersion;
    layout.authoringVersion = model.authoringVersion;
    for (const PrcFileStructureSpec& spec : model.fileStructures) {
        PrcFileLayout::FileStructure& structure = layout.fileStructures.emplace_back();
        structure.uid = spec.uid;
        const uint32_t version = spec.authoringVersion;
        for (size_t section = 0; section < std::min<size_t>(spec.sectionCount, 5); ++section) {
            std::vector<uint8_t>& block = structure.blocks.emplace_back();
            if (spec.overrides[section])
                block = compressedOrStored(*spec.overrides[section]);
            else if (section == 0)
                block = fileStructureHeaderBytes(spec.minimalVersion, version, spec.uid, {});
            else if (section == 1)
                block = compressSection(globalsSectionBytes(spec.globals, version));
            else if (section == 2)
                block = compressSection(treeSectionBytes(spec.tree, version));
            else if (section == 3)
                block = compressSection(tessellationSectionBytes(spec.tessellations, version));
            else
                block = compressSection({});
        }
    }
    layout.modelFile = model.modelFileOverride ? compressedOrStored(*model.modelFileOverride)
                                               : compressSection(modelFileSectionBytes(model.roots));
    return prcFileBytes(layout);
}

std::unique_ptr<LoadedPrcFile> loadPrcFile(std::vector<uint8_t> bytes)
{
    auto loaded = std::make_unique<LoadedPrcFile>();
    loaded->bytes = std::move(bytes);
    loaded->header = readPrcFileHeader(loaded->bytes.data(), loaded->bytes.size());
    loaded->document.header = &loaded->header;
    loaded->document.fileStructures.resize(loaded->header.fileStructures.size());
    for (size_t i = 0; i < loaded->document.fileStructures.size(); ++i)
        loadFileStructure(loaded->document, loaded->bytes.data(), loaded->bytes.size(), i);
    return loaded;
}
