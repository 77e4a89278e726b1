#include "tests/support/prc_entity_writer.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace {

// Type numbers as the readers expect them.
constexpr uint32_t kTypeCartesianTransformation = 202;
constexpr uint32_t kTypeGeneralTransformation = 207;
constexpr uint32_t kTypeEntityReference = 203;
constexpr uint32_t kTypeMarkupLinkedItem = 204;
constexpr uint32_t kTypeReferenceOnPRCBase = 205;
constexpr uint32_t kTypeReferenceOnTopology = 206;
constexpr uint32_t kTypeAttribute = 201;
constexpr uint32_t kTypeSurfacePlane = 86;
constexpr uint32_t kTypeModelFile = 301;
constexpr uint32_t kTypeInternalData = 302;
constexpr uint32_t kTypeGlobals = 303;
constexpr uint32_t kTypeTree = 304;
constexpr uint32_t kTypeTessellationSection = 305;
constexpr uint32_t kTypeProductOccurrence = 310;
constexpr uint32_t kTypePartDefinition = 311;
constexpr uint32_t kTypeFilter = 320;
constexpr uint32_t kTypeView = 501;
constexpr uint32_t kTypeMarkup = 502;
constexpr uint32_t kTypeLeader = 503;
constexpr uint32_t kTypeAnnotationSet = 505;
constexpr uint32_t kTypeAnnotationReference = 506;
constexpr uint32_t kTypeStyle = 701;
constexpr uint32_t kTypeMaterial = 702;
constexpr uint32_t kTypePicture = 703;
constexpr uint32_t kTypeTextureApplication = 711;
constexpr uint32_t kTypeTextureDefinition = 712;
constexpr uint32_t kTypeTextureTransformation = 713;
constexpr uint32_t kTypeLinePattern = 721;
constexpr uint32_t kTypePointLight = 732;
constexpr uint32_t kTypeDirectionalLight = 733;
constexpr uint32_t kTypeSpotLight = 734;
constexpr uint32_t kTypeSceneDisplayParameters = 741;
constexpr uint32_t kTypeCamera = 742;
constexpr uint32_t kTypeTess = 172;
constexpr uint32_t kTypeTessCompressed = 173;
constexpr uint32_t kTypeTessFace = 174;
constexpr uint32_t kTypeWireTess = 175;
constexpr uint32_t kTypeMarkupTess = 176;

constexpr uint32_t kTypeSet = 239;

constexpr uint32_t kSentinel = 0x5A3C;
constexpr int kSentinelBits = 16;
constexpr uint32_t kTypeCoordinateSystem = 240;

void writeUnsignedIntegers(PrcBitWriter& writer, const std::vector<uint32_t>& values)
{
    writer.writeUnsignedInteger(static_cast<uint32_t>(values.size()));
    for (const uint32_t value : values)
        writer.writeUnsignedInteger(value);
}

void writeDoubles(PrcBitWriter& writer, const std::vector<double>& values)
{
    writer.writeUnsignedInteger(static_cast<uint32_t>(values.size()));
    for (const double value : values)
        writer.writeDouble(value);
}

template <size_t N>
void writeFixedDoubles(PrcBitWriter& writer, const std::array<double, N>& values)
{
    for (const double value : values)
        writer.writeDouble(value);
}

void writeUid(PrcBitWriter& writer, const PrcUid& uid)
{
    for (const uint32_t word : uid)
        writer.writeUnsignedInteger(word);
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
        writeFixedDoubles(writer, t.homogeneous);
}

void writeSectionStart(PrcBitWriter& writer, uint32_t type)
{
    writer.writeUnsignedInteger(type);
    writer.writeUnsignedInteger(0); // no attributes
    writeName(writer, false, "");
}

void writeBaseTessellationData(PrcBitWriter& writer, bool isCalculated, const std::vector<double>& coordinates)
{
    writer.writeBoolean(isCalculated);
    writeDoubles(writer, coordinates);
}

void writeBits(PrcBitWriter& writer, const std::vector<bool>& bits)
{
    for (const bool bit : bits)
        writer.writeBoolean(bit);
}

void requireSize(const std::vector<bool>& bits, uint64_t size, const char* name, bool check)
{
    if (check && bits.size() != size)
        throw std::invalid_argument(std::string("writePRC3DTessCompressed: wrong size of ") + name);
}

std::vector<int32_t> asSigned(const std::vector<uint32_t>& values)
{
    return std::vector<int32_t>(values.begin(), values.end());
}

std::vector<uint8_t> compressedOrStored(const PrcSectionOverride& section)
{
    return section.storedAsGiven ? section.bytes : compressSection(section.bytes);
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
            switch (key.type) {
            case 1:
            case 3:
                writer.writeInteger(key.integer);
                break;
            case 2:
                writer.writeDouble(key.real);
                break;
            case 4:
                writer.writeString(key.text);
                break;
            case 5:
                writer.writeInteger(key.integer);
                writer.writeUnsignedInteger(key.unsignedInteger);
                break;
            default:
                break;
            }
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
    writer.writeDouble(vector.x);
    writer.writeDouble(vector.y);
    writer.writeDouble(vector.z);
}

void writeReference(PrcBitWriter& writer, const PrcReference& reference)
{
    writer.writeUnsignedInteger(reference.type);
    writer.writeUnsignedInteger(reference.targetType);
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
        writer.writeUnsignedInteger(reference.topologyIndex);
        writeUnsignedIntegers(writer, reference.topologyIndices);
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

void writeTransformation3d(PrcBitWriter& writer, const PrcTransformation& t)
{
    writer.writeUnsignedInteger(t.type);
    if (t.type == kTypeGeneralTransformation)
        writeFixedDoubles(writer, t.stored);
    else if (t.type == kTypeCartesianTransformation)
        writeCartesianFields(writer, t);
}

void writeMarkupLinkedItem(PrcBitWriter& writer, const PrcMarkupLinkedItem& item, uint32_t version)
{
    writer.writeUnsignedInteger(kTypeMarkupLinkedItem);
    writeContentPRCBase(writer, item.base, kTypeMarkupLinkedItem);
    writer.writeGraphics(item.graphics, version);
    writer.writeUnsignedInteger(item.value);
    for (const std::optional<PrcReference>* reference : {&item.first, &item.second}) {
        writer.writeBoolean(reference->has_value());
        if (*reference)
            writeReference(writer, **reference);
    }
    for (const bool flag : item.flags)
        writer.writeBoolean(flag);
    writeUserData(writer, item.userDataBits);
}

void writeLeader(PrcBitWriter& writer, const PrcLeader& leader, uint32_t version)
{
    writer.writeUnsignedInteger(kTypeLeader);
    writeContentPRCBase(writer, leader.base, kTypeLeader);
    writer.writeGraphics(leader.graphics, version);
    for (const std::optional<PrcReference>* reference : {&leader.first, &leader.second}) {
        writer.writeBoolean(reference->has_value());
        if (*reference)
            writeReference(writer, **reference);
    }
    writer.writeUnsignedInteger(leader.tessellation);
    writeUserData(writer, leader.userDataBits);
}

void writeMarkup(PrcBitWriter& writer, const PrcMarkup& markup, uint32_t version)
{
    writer.writeUnsignedInteger(kTypeMarkup);
    writeContentPRCBase(writer, markup.base, kTypeMarkup);
    writer.writeGraphics(markup.graphics, version);
    writer.writeUnsignedInteger(markup.markupType);
    writer.writeUnsignedInteger(markup.subType);
    writeReferences(writer, markup.linkedItems);
    writeReferences(writer, markup.leaders);
    writer.writeUnsignedInteger(markup.tessellation);
    writeUserData(writer, markup.userDataBits);
}

void writeAnnotationEntity(PrcBitWriter& writer, const PrcAnnotationEntity& entity, uint32_t version)
{
    writer.writeUnsignedInteger(entity.type);
    writeContentPRCBase(writer, entity.base, entity.type);
    writer.writeGraphics(entity.graphics, version);
    if (entity.type == kTypeAnnotationSet)
        writeList(writer, entity.children,
                  [&](const PrcAnnotationEntity& child) { writeAnnotationEntity(writer, child, version); });
    else if (entity.type == kTypeAnnotationReference)
        writeReferences(writer, entity.linkedItems);
    else
        writeReference(writer, entity.markup);
    writeUserData(writer, entity.userDataBits);
}

void writeMarkupLists(PrcBitWriter& writer, const PrcMarkupLists& lists, uint32_t version)
{
    writeList(writer, lists.linkedItems, [&](const auto& e) { writeMarkupLinkedItem(writer, e, version); });
    writeList(writer, lists.leaders, [&](const auto& e) { writeLeader(writer, e, version); });
    writeList(writer, lists.markups, [&](const auto& e) { writeMarkup(writer, e, version); });
    writeList(writer, lists.annotations, [&](const auto& e) { writeAnnotationEntity(writer, e, version); });
}

void writeEntityReference(PrcBitWriter& writer, const PrcEntityReference& reference, uint32_t version)
{
    writer.writeUnsignedInteger(kTypeEntityReference);
    writeContentPRCBase(writer, reference.base, kTypeEntityReference);
    writer.writeGraphics(reference.graphics, version);
    writer.writeUnsignedInteger(reference.localCoordinateSystem);
    writer.writeBoolean(reference.reference.has_value());
    if (reference.reference)
        writeReference(writer, *reference.reference);
    writeUserData(writer, reference.userDataBits);
}

void writeFilter(PrcBitWriter& writer, const PrcFilter& filter, uint32_t version)
{
    writer.writeUnsignedInteger(kTypeFilter);
    writeContentPRCBase(writer, filter.base, kTypeFilter);
    writer.writeBoolean(filter.active);
    writer.writeBoolean(filter.inclusive);
    writeUnsignedIntegers(writer, filter.layers);
    writer.writeBoolean(filter.layersInclusive);
    writeList(writer, filter.entities, [&](const auto& e) { writeEntityReference(writer, e, version); });
    writeUserData(writer, filter.userDataBits);
}

void writeSurfacePlane(PrcBitWriter& writer, const PrcSurfacePlane& plane)
{
    writer.writeUnsignedInteger(kTypeSurfacePlane);
    writer.writeBoolean(plane.hasBase);
    if (plane.hasBase) {
        writeAttributes(writer, plane.attributes);
        writeName(writer, plane.reuseName, plane.name);
        writer.writeUnsignedInteger(plane.baseValue);
    }
    writer.writeUnsignedInteger(plane.extension);
    writeCartesianFields(writer, plane.transformation);
    writeFixedDoubles(writer, plane.domain);
    writeFixedDoubles(writer, plane.parameterisation);
}

void writeSceneDisplayParameters(PrcBitWriter& writer, const PrcSceneDisplayParameters& parameters,
                                 uint32_t version)
{
    writer.writeUnsignedInteger(kTypeSceneDisplayParameters);
    writeContentPRCBase(writer, parameters.base, kTypeSceneDisplayParameters);
    writer.writeBoolean(parameters.active);
    writeList(writer, parameters.lights, [&](const PrcLight& light) {
        writer.writeUnsignedInteger(light.type);
        writeContentPRCBase(writer, light.base, light.type);
        for (const uint32_t colour : light.colours)
            writer.writeUnsignedInteger(colour);
        if (light.type == kTypePointLight || light.type == kTypeSpotLight) {
            writeVector3d(writer, light.location);
            writeFixedDoubles(writer, light.attenuation);
            if (light.type == kTypeSpotLight) {
                writeVector3d(writer, light.direction);
                writeFixedDoubles(writer, light.fallOff);
            }
        } else if (light.type == kTypeDirectionalLight) {
            writeVector3d(writer, light.direction);
            if (version > 8029)
                writer.writeDouble(light.intensity);
        }
    });
    writer.writeBoolean(parameters.camera.has_value());
    if (const std::optional<PrcCamera>& camera = parameters.camera) {
        writer.writeUnsignedInteger(kTypeCamera);
        writeContentPRCBase(writer, camera->base, kTypeCamera);
        writer.writeBoolean(camera->orthographic);
        writeVector3d(writer, camera->location);
        writeVector3d(writer, camera->lookAt);
        writeVector3d(writer, camera->up);
        writeFixedDoubles(writer, camera->values);
    }
    writer.writeBoolean(parameters.rotationCentre.has_value());
    if (parameters.rotationCentre)
        writeVector3d(writer, *parameters.rotationCentre);
    writeList(writer, parameters.clippingPlanes, [&](const auto& plane) { writeSurfacePlane(writer, plane); });
    writer.writeUnsignedInteger(parameters.backgroundStyle);
    writer.writeUnsignedInteger(parameters.defaultLineStyle);
    writer.writeUnsignedInteger(static_cast<uint32_t>(parameters.pairs.size()));
    for (const auto& [first, second] : parameters.pairs) {
        writer.writeUnsignedInteger(first);
        writer.writeUnsignedInteger(second);
    }
    if (version > 8136)
        writer.writeBoolean(parameters.lastFlag);
}

void writeView(PrcBitWriter& writer, const PrcView& view, uint32_t version)
{
    writer.writeUnsignedInteger(kTypeView);
    writeContentPRCBase(writer, view.base, kTypeView);
    writer.writeGraphics(view.graphics, version);
    writeReferences(writer, view.annotations);
    writeSurfacePlane(writer, view.plane);
    writer.writeBoolean(view.sceneParameters.has_value());
    if (view.sceneParameters)
        writeSceneDisplayParameters(writer, *view.sceneParameters, version);
    if (version >= 7309)
        writer.writeBoolean(view.flags[0]);
    if (version >= 8016) {
        writer.writeBoolean(view.flags[1]);
        writer.writeBoolean(view.flags[2]);
        writeReferences(writer, view.linkedItems);
        writeList(writer, view.filters, [&](const auto& filter) { writeFilter(writer, filter, version); });
    }
    writeUserData(writer, view.userDataBits);
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
        if (item.hasBrepData) {
            writer.writeUnsignedInteger(item.contextId);
            writer.writeUnsignedInteger(item.bodyId);
        }
        writer.writeBoolean(item.isClosed);
        break;
    case 233:
    case 235:
        writer.writeBoolean(item.hasIndices);
        if (item.hasIndices) {
            writer.writeUnsignedInteger(item.indices[0]);
            writer.writeUnsignedInteger(item.indices[1]);
        }
        break;
    case 234:
        writer.writeBoolean(item.origin.has_value());
        if (item.origin)
            writeVector3d(writer, *item.origin);
        writeVector3d(writer, item.direction);
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

void writePartDefinition(PrcBitWriter& writer, const PrcPartDefinition& part, uint32_t version)
{
    writer.writeUnsignedInteger(kTypePartDefinition);
    writeContentPRCBase(writer, part.base, kTypePartDefinition);
    writer.writeGraphics(part.graphics, version);
    writeVector3d(writer, part.boundingBoxMin);
    writeVector3d(writer, part.boundingBoxMax);
    writeList(writer, part.items, [&](const auto& item) { writeRepresentationItem(writer, item, version); });
    writeMarkupLists(writer, part.markups, version);
    writeList(writer, part.views, [&](const auto& view) { writeView(writer, view, version); });
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
        writer.writeBoolean(occurrence.externalDataInSameFileStructure);
        if (!occurrence.externalDataInSameFileStructure)
            writeUid(writer, occurrence.externalDataUid);
    }
    writeUnsignedIntegers(writer, occurrence.sons);
    writer.writeBits(occurrence.productBehaviour, 8);
    writer.writeBoolean(occurrence.unitFromCad);
    writer.writeDouble(occurrence.unit);
    writer.writeBits(occurrence.productInformationFlags, 8);
    writer.writeInteger(occurrence.loadStatus);
    writer.writeBoolean(occurrence.location.has_value());
    if (occurrence.location)
        writeTransformation3d(writer, *occurrence.location);
    writeList(writer, occurrence.entityReferences, [&](const auto& r) { writeEntityReference(writer, r, version); });
    writeMarkupLists(writer, occurrence.markups, version);
    writeList(writer, occurrence.views, [&](const auto& view) { writeView(writer, view, version); });
    writer.writeBoolean(occurrence.entityFilter.has_value());
    if (occurrence.entityFilter)
        writeFilter(writer, *occurrence.entityFilter, version);
    writeList(writer, occurrence.displayFilters, [&](const auto& filter) { writeFilter(writer, filter, version); });
    writeList(writer, occurrence.sceneParameters,
              [&](const auto& parameters) { writeSceneDisplayParameters(writer, parameters, version); });
    writeUserData(writer, occurrence.userDataBits);
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
    writeContentPRCBase(writer, tree.internalBase, kTypeInternalData);
    writer.writeUnsignedInteger(tree.nextAvailableIndex);
    writer.writeUnsignedInteger(tree.productOccurrenceIndex);
    writeUserData(writer, tree.internalUserDataBits);
    writeUserData(writer, tree.userDataBits);
}

PrcStyle colourStyle(uint32_t colour, bool isMaterial)
{
    PrcStyle style;
    style.isMaterial = isMaterial;
    style.colourPlusOne = colour + 1;
    return style;
}

void writeTextureDefinition(PrcBitWriter& writer, const PrcTextureDefinition& texture)
{
    writer.writeUnsignedInteger(kTypeTextureDefinition);
    writeContentPRCBase(writer, texture.base, kTypeTextureDefinition);
    writer.writeUnsignedInteger(texture.pictureIndex);
    writer.writeBits(texture.dimension, 8);
    writer.writeInteger(texture.mappingType);
    if (texture.mappingType == 3) {
        writer.writeInteger(texture.mappingOperator);
        writer.writeBoolean(texture.operatorTransformation.has_value());
        if (texture.operatorTransformation)
            writeTransformation3d(writer, *texture.operatorTransformation);
    }
    writer.writeUnsignedInteger(texture.mappingAttribute);
    writeDoubles(writer, texture.intensities);
    writer.writeUnsignedInteger(static_cast<uint32_t>(texture.components.size()));
    writer.writeByteArray(texture.components);
    writer.writeInteger(texture.function);
    if (texture.function == 3)
        writeFixedDoubles(writer, std::array<double, 4>{0.25, 0.5, 0.75, 1});
    for (const auto& [first, second] : texture.blends) {
        writer.writeInteger(first);
        if (first != 0)
            writer.writeInteger(second);
    }
    writer.writeBits(texture.applyingMode, 8);
    if (texture.applyingMode & 0x02) {
        writer.writeInteger(1);
        writer.writeDouble(0.5);
    }
    writer.writeInteger(texture.wrapping[0]);
    if (texture.dimension > 1) {
        writer.writeInteger(texture.wrapping[1]);
        if (texture.dimension != 2)
            writer.writeInteger(texture.wrapping[2]);
    }
    writer.writeBoolean(texture.transformation.has_value());
    if (const std::optional<PrcTextureTransformation>& t = texture.transformation) {
        writer.writeUnsignedInteger(kTypeTextureTransformation);
        writer.writeBoolean(t->flag1);
        writer.writeBoolean(t->flag2);
        writer.writeBoolean(t->flags.has_value());
        if (t->flags) {
            const uint8_t flags = *t->flags;
            writer.writeBits(flags, 8);
            int doubles = (flags & 0x01 ? 2 : 0) + (flags & 0x20 ? 4 : flags & 0x02 ? 2 : 0) +
                          (flags & 0x10 ? 2 : flags & 0x08 ? 1 : 0) + (flags & 0x40 ? 3 : 0);
            for (int i = 0; i < doubles; ++i)
                writer.writeDouble(i + 0.5);
        }
    }
}

void writeGlobalsSection(PrcBitWriter& writer, const PrcGlobals& globals, uint32_t version)
{
    writeList(writer, globals.schema, [&](const PrcSchemaEntry& entry) {
        writer.writeUnsignedInteger(entry.type);
        writeUnsignedIntegers(writer, entry.tokens);
    });
    writer.writeUnsignedInteger(kTypeGlobals);
    writeContentPRCBase(writer, globals.base, kTypeGlobals);
    writeList(writer, globals.referencedFileStructures, [&](const PrcUid& uid) { writeUid(writer, uid); });
    writer.writeDouble(globals.chordRatio);
    writer.writeDouble(globals.angle);
    writer.writeString(globals.defaultFont);
    writeList(writer, globals.fonts, [&](const PrcFont& font) {
        writer.writeString(font.family);
        writer.writeUnsignedInteger(font.characterSet);
        writer.writeUnsignedInteger(static_cast<uint32_t>(font.pairs.size()));
        for (const auto& [value, character] : font.pairs) {
            writer.writeUnsignedInteger(value);
            writer.writeBits(character, 8);
        }
    });
    writeList(writer, globals.colours, [&](const Colour& colour) {
        writer.writeDouble(colour.r);
        writer.writeDouble(colour.g);
        writer.writeDouble(colour.b);
    });
    writeList(writer, globals.pictures, [&](const PrcPicture& picture) {
        writer.writeUnsignedInteger(kTypePicture);
        writeContentPRCBase(writer, picture.base, kTypePicture);
        writer.writeInteger(picture.format);
        writer.writeUnsignedInteger(picture.fileIndex);
        writer.writeUnsignedInteger(picture.width);
        writer.writeUnsignedInteger(picture.height);
    });
    writeList(writer, globals.textureDefinitions, [&](const auto& texture) { writeTextureDefinition(writer, texture); });
    writeList(writer, globals.materials, [&](const PrcMaterialEntry& entry) {
        if (const auto* material = std::get_if<PrcMaterial>(&entry)) {
            writer.writeUnsignedInteger(kTypeMaterial);
            writeContentPRCBase(writer, material->base, kTypeMaterial);
            for (const uint32_t index : {material->ambientPlusOne, material->diffusePlusOne,
                                         material->emissivePlusOne, material->specularPlusOne})
                writer.writeUnsignedInteger(index);
            for (const double value : {material->shininess, material->ambientAlpha, material->diffuseAlpha,
                                       material->emissiveAlpha, material->specularAlpha})
                writer.writeDouble(value);
        } else if (const auto* application = std::get_if<PrcTextureApplication>(&entry)) {
            writer.writeUnsignedInteger(kTypeTextureApplication);
            writeContentPRCBase(writer, application->base, kTypeTextureApplication);
            writer.writeUnsignedInteger(application->materialPlusOne);
            for (const uint32_t value : application->rest)
                writer.writeUnsignedInteger(value);
        } else {
            writer.writeUnsignedInteger(std::get<PrcUnknownMaterial>(entry).type);
        }
    });
    writeList(writer, globals.linePatterns, [&](const PrcLinePattern& pattern) {
        writer.writeUnsignedInteger(kTypeLinePattern);
        writeContentPRCBase(writer, pattern.base, kTypeLinePattern);
        writeDoubles(writer, pattern.lengths);
        writer.writeDouble(pattern.phase);
        writer.writeBoolean(pattern.flag);
    });
    writeList(writer, globals.styles, [&](const PrcStyle& style) {
        writer.writeUnsignedInteger(kTypeStyle);
        writeContentPRCBase(writer, style.base, kTypeStyle);
        writer.writeDouble(style.lineWidth);
        writer.writeBoolean(style.isVPicture);
        writer.writeUnsignedInteger(style.patternPlusOne);
        writer.writeBoolean(style.isMaterial);
        writer.writeUnsignedInteger(style.colourPlusOne);
        for (const std::optional<uint8_t>& byte : style.optionalBytes) {
            writer.writeBoolean(byte.has_value());
            if (byte)
                writer.writeBits(*byte, 8);
        }
    });
    writer.writeUnsignedInteger(globals.fillPatternCount);
    writeList(writer, globals.coordinateSystems,
              [&](const auto& item) { writeRepresentationItem(writer, item, version); });
    writeUserData(writer, globals.userDataBits);
}

PrcPlainTess tessOfTriangles(const std::vector<double>& coordinates)
{
    PrcPlainTess tess;
    tess.record.coordinates = coordinates;
    const uint32_t points = static_cast<uint32_t>(coordinates.size() / 3);
    for (uint32_t i = 0; i < points; ++i)
        tess.record.triangulated_index.push_back(3 * i);
    PRCTessFace& face = tess.record.face_tessellation.emplace_back();
    face.used_entities_flag = 0x0002;
    face.sizes_triangulated = {points / 3};
    return tess;
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

void writeTessFace(PrcBitWriter& writer, const PRCTessFace& face, const PrcTessFaceExtras& extras)
{
    writer.writeUnsignedInteger(kTypeTessFace);
    writer.writeUnsignedInteger(static_cast<uint32_t>(face.line_attributes.size()));
    for (const uint32_t style : face.line_attributes)
        writer.writeUnsignedInteger(style + 1);
    writer.writeUnsignedInteger(extras.startWire);
    writeUnsignedIntegers(writer, extras.wireSizes);
    writer.writeUnsignedInteger(face.used_entities_flag);
    writer.writeUnsignedInteger(extras.startTriangulated);
    writeUnsignedIntegers(writer, face.sizes_triangulated);
    writer.writeUnsignedInteger(extras.textureCoordinateIndexes);
    writer.writeBoolean(face.has_vertex_colors);
    if (face.has_vertex_colors) {
        writer.writeBoolean(face.is_rgba);
        writer.writeBoolean(extras.optimisedColours);
        writeColourArray(writer, face.rgba_vertices, face.is_rgba ? 4 : 3);
    }
    if (!face.line_attributes.empty())
        writer.writeUnsignedInteger(extras.behaviour);
}

void writePRC3DTess(PrcBitWriter& writer, const PRC3DTess& tess, uint32_t version, const PrcTessExtras& extras)
{
    writer.writeUnsignedInteger(kTypeTess);
    writeBaseTessellationData(writer, extras.isCalculated, tess.coordinates);
    writer.writeBoolean(extras.hasFaces);
    if (version > 7038)
        writer.writeBoolean(extras.hasLoops);
    if (version > 7046) {
        writer.writeBoolean(tess.must_recalculate_normals);
        if (tess.must_recalculate_normals) {
            writer.writeBits(extras.recalculationFlags, 8);
            writer.writeDouble(tess.crease_angle);
        }
    }
    writeDoubles(writer, tess.normal_coordinates);
    writeUnsignedIntegers(writer, extras.wireIndices);
    writeUnsignedIntegers(writer, tess.triangulated_index);
    writer.writeUnsignedInteger(static_cast<uint32_t>(tess.face_tessellation.size()));
    for (size_t i = 0; i < tess.face_tessellation.size(); ++i)
        writeTessFace(writer, tess.face_tessellation[i], i < extras.faces.size() ? extras.faces[i] : PrcTessFaceExtras{});
    writeDoubles(writer, extras.textureCoordinates);
}

void writePRC3DWireTess(PrcBitWriter& writer, const PrcWireTess& wire)
{
    writer.writeUnsignedInteger(kTypeWireTess);
    writeBaseTessellationData(writer, wire.isCalculated, wire.coordinates);
    writeUnsignedIntegers(writer, wire.wireIndexes);
    writer.writeBoolean(wire.hasColours);
    if (!wire.hasColours)
        return;
    writer.writeBoolean(wire.isRgba);
    writer.writeBoolean(wire.isSegmentColor);
    writer.writeBoolean(wire.optimisedColours);
    writeColourArray(writer, wire.colours, wire.isRgba ? 4 : 3);
}

void writePRCMarkupTess(PrcBitWriter& writer, const PrcMarkupTess& markup)
{
    writer.writeUnsignedInteger(kTypeMarkupTess);
    writeBaseTessellationData(writer, markup.isCalculated, markup.coordinates);
    writeUnsignedIntegers(writer, markup.codes);
    writeList(writer, markup.texts, [&](const std::string& text) { writer.writeString(text); });
    writer.writeString(markup.label);
    writer.writeBits(markup.behaviour, 8);
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
    writeCompressedIntegerArray(writer, tess.point_array, encoding.compressPointCounts);
    writeCharacterArray(writer, tess.edge_status_array, arrayEncoding(2));
    writeCompressedIndiceArray(writer, asSigned(tess.triangle_face_array), arrayEncoding(6));

    writer.writeUnsignedInteger(static_cast<uint32_t>(tess.point_is_reference_array.size()));
    writeBits(writer, tess.point_is_reference_array);
    PrcArrayEncoding references = arrayEncoding(6);
    references.writeFlag = false;
    references.compressed =
        std::count(tess.point_is_reference_array.begin(), tess.point_is_reference_array.end(), true) > 3;
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
        writeBits(writer, std::vector<bool>(faceCount, true));
    }
    writer.writeBoolean(tess.hasTrailingBytes);
    if (tess.hasTrailingBytes)
        writeCharacterArray(writer, tess.trailingBytes, arrayEncoding(8));
}

void writeTessellation(PrcBitWriter& writer, const PrcTessellation& tessellation, uint32_t version)
{
    if (const auto* plain = std::get_if<PrcPlainTess>(&tessellation))
        writePRC3DTess(writer, plain->record, version, plain->extras);
    else if (const auto* compressed = std::get_if<PrcCompressedTess>(&tessellation))
        writePRC3DTessCompressed(writer, compressed->record, version, compressed->encoding);
    else if (const auto* wire = std::get_if<PrcWireTess>(&tessellation))
        writePRC3DWireTess(writer, *wire);
    else if (const auto* markup = std::get_if<PrcMarkupTess>(&tessellation))
        writePRCMarkupTess(writer, *markup);
    else
        writer.append(std::get<PrcRawTess>(tessellation).bits);
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

std::vector<uint8_t> modelFileSectionBytes(const std::vector<PrcModelRoot>& roots)
{
    PrcBitWriter writer;
    writer.writeUnsignedInteger(0); // schema
    writer.writeUnsignedInteger(kTypeModelFile);
    writeContentPRCBase(writer, PrcBase{}, kTypeModelFile);
    writer.writeBoolean(false); // unit from CAD file
    writer.writeDouble(1);      // unit
    writeList(writer, roots, [&](const PrcModelRoot& root) {
        writeUid(writer, root.uid);
        writer.writeUnsignedInteger(root.occurrencePlusOne);
        writer.writeBoolean(root.flag);
    });
    writeUserData(writer);
    return writer.bytes();
}

std::vector<uint8_t> buildPrcModelFile(const PrcModel& model)
{
    PrcFileBuilder builder;
    builder.minimalVersionForRead = model.minimalVersion;
    builder.authoringVersion = model.authoringVersion;
    for (const PrcFileStructureSpec& spec : model.fileStructures) {
        const size_t index = builder.addFileStructure(spec.uid);
        const uint32_t version = spec.authoringVersion;
        for (size_t section = 0; section < std::min<size_t>(spec.sectionCount, 5); ++section) {
            if (spec.overrides[section]) {
                builder.addRawBlock(index, compressedOrStored(*spec.overrides[section]));
                continue;
            }
            switch (section) {
            case 0:
                builder.addRawBlock(index, fileStructureHeaderBytes(spec.minimalVersion, version, spec.uid, {}));
                break;
            case 1:
                builder.addSection(index, globalsSectionBytes(spec.globals, version));
                break;
            case 2:
                builder.addSection(index, treeSectionBytes(spec.tree, version));
                break;
            case 3:
                builder.addSection(index, tessellationSectionBytes(spec.tessellations, version));
                break;
            default:
                builder.addSection(index, {});
                break;
            }
        }
    }
    if (model.modelFileOverride)
        builder.setRawModelFile(compressedOrStored(*model.modelFileOverride));
    else
        builder.setModelFile(modelFileSectionBytes(model.roots));
    return builder.build();
}
