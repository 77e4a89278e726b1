// Test-only writers of PRC entities and sections, the inverse of the structure and
// tessellation readers, and a builder of whole PRC files from them.
//
// Every entity is plain data with harmless defaults, so a test sets only the fields it
// is about. Fields the readers drop are written with fixed, non-trivial values (or from
// the fields given), so that the tests prove they are stepped over exactly. Counts are
// taken from the vectors.
//
// A whole model in a few calls:
//     PrcModel model;
//     PrcFileStructureSpec& fs = model.fileStructures.emplace_back();
//     fs.tree = singlePartTree(0);                  // one occurrence, one part, tessellation 0
//     fs.tessellations.push_back(tessOfTriangles({0, 0, 0, 1, 0, 0, 0, 1, 0}));
//     model.roots.push_back({fs.uid, 1});
//     std::vector<uint8_t> file = buildPrcModelFile(model);
#pragma once

#include "prc/geometry/compressed_tess_data.h"
#include "prc/geometry/tessellation_data.h"
#include "prc/structure/entity_base.h"
#include "prc/model/file_structure_loader.h"
#include "prc/structure/globals_data.h"
#include "prc/structure/matrix4d.h"
#include "tests/support/prc_writer.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

// ---- Checking that a reader consumed an entity exactly ----

// The writer's bits followed by a sentinel, as the input of a reader.
PrcBitInput inputWithSentinel(const PrcBitWriter& writer, uint32_t version = kPrcVersionUnknown);
// True when the reader stands at the sentinel and only padding follows it.
bool atSentinel(PRCBitReader& reader);
// True when read, given the written bits and the sentinel, throws nothing and stops
// exactly at the sentinel.
bool readsExactly(const PrcBitWriter& written, const std::function<void(PRCBitReader&)>& read,
                  uint32_t version = kPrcVersionUnknown);

// ---- Pieces shared by many entities ----

// An attribute or key title: a text, or a number when numbered.
struct PrcTitle {
    bool numbered = false;
    uint32_t number = 0;
    std::string text;
};

// One key: its value by type (0 none, 1 and 3 Integer, 2 Double, 4 String, 5 Integer
// and UnsignedInteger). Any other type writes no value, for tests of refusals.
struct PrcAttributeKey {
    PrcTitle title;
    uint32_t type = 0;
};

struct PrcAttribute {
    PrcTitle title;
    std::vector<PrcAttributeKey> keys;
};

// Attributes, name and the three identifiers (written only for the types that carry them).
struct PrcBase {
    std::vector<PrcAttribute> attributes;
    bool reuseName = false; // "same as current": no text follows
    std::string name;
    uint32_t cadId = 0;
    uint32_t cadPersistentId = 0;
    uint32_t uniqueId = 0;
};

PrcBase namedBase(std::string name);

// A reference of type 205 (on a PRC base) or 206 (on topology). For 206 the rest is
// written only when present.
struct PrcReference {
    uint32_t type = 205;
    bool present = true; // 206 only
    bool sameFileStructure = true;
    PrcUid uid{7, 8, 9, 10};
    uint32_t index = 3;
};

void writeAttributes(PrcBitWriter& writer, const std::vector<PrcAttribute>& attributes);
void writeContentPRCBase(PrcBitWriter& writer, const PrcBase& base, uint32_t type);
// A user data block of bits bits (an alternating pattern, so a wrong skip shows).
void writeUserData(PrcBitWriter& writer, uint32_t bits = 0);
void writeVector3d(PrcBitWriter& writer, const Vector3d& vector);
// The reference grammar with its type number first.
void writeReference(PrcBitWriter& writer, const PrcReference& reference);

// ---- Transformations ----

// A general (207) or cartesian (202) transformation. The general one is written as
// stored: column by column. Cartesian fields are written by flag.
struct PrcTransformation {
    uint32_t type = 202;
    std::array<double, 16> stored{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; // 207
    uint8_t flags = 0;
    Vector3d translation{};
    Vector3d x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1};
    Vector3d scale{1, 1, 1};
    double uniformScale = 1;
};

// A general transformation holding the row-major matrix m.
PrcTransformation generalTransformation(const Matrix4d& m);
// A cartesian one with translation (flag 0x01) and a scale (0x10) when not 1, 1, 1.
PrcTransformation placement(Vector3d translation, Vector3d scale = {1, 1, 1});
void writeTransformation3d(PrcBitWriter& writer, const PrcTransformation& transformation);

// ---- Annotations (read and dropped by the tree) ----

// 504 item (markup reference), 505 set (children), 506 reference (linked items). Each is
// written with a named base, a graphics block and a few bits of user data.
struct PrcAnnotationEntity {
    uint32_t type = 504;
    std::vector<PrcAnnotationEntity> children{};
    std::vector<PrcReference> linkedItems{{}, {}};
};

void writeAnnotationEntity(PrcBitWriter& writer, const PrcAnnotationEntity& entity, uint32_t version);

// ---- Product tree ----

// Type 0 is an empty slot; 232 to 240 the item kinds. Fields apply by type.
struct PrcRepresentationItem {
    uint32_t type = 237;
    PrcBase base;
    PrcGraphicsBlock graphics;
    uint32_t localCoordinateSystemPlusOne = 0;
    uint32_t tessellationPlusOne = 0;
    bool hasBrepData = false; // 232
    bool isClosed = false;    // 232, 237
    bool hasIndices = false;  // 233, 235
    std::optional<Vector3d> origin; // 234
    std::vector<Vector3d> points;                 // 236
    std::vector<PrcRepresentationItem> children;  // 239
    PrcTransformation transformation;             // 240
    uint32_t userDataBits = 0;
};

// A polyhedral item using tessellation index (0-based), with an optional style.
PrcRepresentationItem polyBrepItem(uint32_t tessellation, uint32_t style = kPrcNoIndex);
PrcRepresentationItem coordinateSystemItem(const PrcTransformation& transformation);

struct PrcPartDefinition {
    PrcBase base;
    PrcGraphicsBlock graphics;
    Vector3d boundingBoxMin{}, boundingBoxMax{};
    std::vector<PrcRepresentationItem> items;
    uint32_t userDataBits = 0;
};

struct PrcProductOccurrence {
    PrcBase base;
    PrcGraphicsBlock graphics;
    uint32_t partPlusOne = 0;
    uint32_t prototypePlusOne = 0;
    bool prototypeInSameFileStructure = true;
    PrcUid prototypeUid{};
    uint32_t externalDataPlusOne = 0; // written as in another file structure
    std::vector<uint32_t> sons;
    uint8_t productBehaviour = 0;
    double unit = 1;
    uint8_t productInformationFlags = 0;
    int32_t loadStatus = 0;
    std::optional<PrcTransformation> location;
    uint32_t userDataBits = 0;
};

struct PrcTree {
    std::vector<PrcPartDefinition> parts;
    std::vector<PrcProductOccurrence> occurrences;
    uint32_t productOccurrenceIndex = 0; // stored as is
    uint32_t userDataBits = 0;
};

// One product occurrence (named "root") whose part holds one polyhedral item using the
// given tessellation.
PrcTree singlePartTree(uint32_t tessellation);

void writeRepresentationItem(PrcBitWriter& writer, const PrcRepresentationItem& item, uint32_t version);
void writeTreeSection(PrcBitWriter& writer, const PrcTree& tree, uint32_t version);

// ---- Globals ----

// Optional parts by mapping type (3: an operator and its transformation), function (3:
// four Doubles), first blend (not 0: a second Integer), applying mode (0x02: an Integer
// and a Double) and dimension (the wrapping modes).
struct PrcTextureDefinition {
    uint8_t dimension = 2;
    int32_t mappingType = 1;
    std::optional<PrcTransformation> operatorTransformation; // mapping type 3 only
    int32_t function = 0;
    int32_t firstBlend = 0;
    uint8_t applyingMode = 0;
    bool hasTransformation = false;             // the 2D transformation block
    std::optional<uint8_t> transformationFlags; // inside it, doubles by its bits
};

struct PrcMaterial {
    uint32_t ambientPlusOne = 0, diffusePlusOne = 0, emissivePlusOne = 0, specularPlusOne = 0;
    double shininess = 0;
    double ambientAlpha = 1, diffuseAlpha = 1, emissiveAlpha = 1, specularAlpha = 1;
};

struct PrcTextureApplication {
    uint32_t materialPlusOne = 0;
};

// A type number other than 702 or 711, written bare, for tests of refusals.
struct PrcUnknownMaterial {
    uint32_t type = 0;
};

using PrcMaterialEntry = std::variant<PrcMaterial, PrcTextureApplication, PrcUnknownMaterial>;

struct PrcStyle {
    double lineWidth = 1;
    bool isMaterial = false;
    uint32_t colourPlusOne = 0;
    bool transparent = false; // the first optional byte; the third is always written
};

// Fonts, pictures and line patterns are dropped by the reader: only their numbers vary.
struct PrcGlobals {
    std::vector<uint32_t> schemaTypes; // each with a few tokens
    PrcBase base;
    uint32_t fonts = 0, pictures = 0, linePatterns = 0;
    std::vector<Colour> colours;
    std::vector<PrcTextureDefinition> textureDefinitions;
    std::vector<PrcMaterialEntry> materials;
    std::vector<PrcStyle> styles;
    uint32_t fillPatternCount = 0; // only the count is written
    std::vector<PrcRepresentationItem> coordinateSystems;
    uint32_t userDataBits = 0;
};

// A style that names colour index (0-based) or, with isMaterial, a material.
PrcStyle colourStyle(uint32_t colour, bool isMaterial = false);

void writeGlobalsSection(PrcBitWriter& writer, const PrcGlobals& globals, uint32_t version);

// ---- Tessellations ----

// The fields a plain tessellation has beyond PRC3DTess (wires, texture coordinates,
// recalculation flags) are written with fixed values.

inline std::vector<uint8_t> wireColours()
{
    std::vector<uint8_t> colours(6, 9);
    colours.insert(colours.end(), 3, 7);
    return colours;
}

struct PrcWireTess {
    std::vector<uint32_t> wireIndexes{4, 0, 3, 1, 2};
    bool hasColours = true;
    bool optimisedColours = false;
    // RGB, one per segment: a repeat, then a new one.
    std::vector<uint8_t> colours = wireColours();
};

// Written with fixed content.
struct PrcMarkupTess {};

// How the arrays of a compressed record are stored: Huffman-compressed or plain where
// the format lets the writer choose, and the block a reader steps over.
struct PrcCompressedTessEncoding {
    bool compressArrays = true;
    bool writeSkippedBlock = false;
    // Refuse bit arrays whose size does not match the face or triangle count; off for
    // tests of corrupt records.
    bool checkSizes = true;
};

struct PrcCompressedTess {
    PRC3DTessCompressed record;
    PrcCompressedTessEncoding encoding;
};

// Bits written as they are, such as an unknown type or a broken entity.
struct PrcRawTess {
    PrcBitWriter bits;
};

using PrcTessellation = std::variant<PRC3DTess, PrcCompressedTess, PrcWireTess, PrcMarkupTess, PrcRawTess>;

// A face of the given kind (used_entities_flag) and sizes whose slots begin at start, without
// colours or styles.
PRCTessFace tessFace(uint32_t flags, std::vector<uint32_t> sizes, uint32_t start = 0);
// A plain tessellation of one face of triangles over the given points, indices 0, 1, 2, ...
PRC3DTess tessOfTriangles(const std::vector<double>& coordinates);

// optimisedColours sets the flag that no reader accepts.
void writeTessFace(PrcBitWriter& writer, const PRCTessFace& face, bool optimisedColours = false);
// Serialises the record as given. The bit arrays sized by the face count (the largest
// face number plus 1) or the triangle count must have those sizes (std::invalid_argument).
void writePRC3DTessCompressed(PrcBitWriter& writer, const PRC3DTessCompressed& tess, uint32_t version,
                              const PrcCompressedTessEncoding& encoding = {});
// countOverride writes another number of tessellations than the list holds.
void writeTessellationSection(PrcBitWriter& writer, const std::vector<PrcTessellation>& tessellations,
                              uint32_t version, std::optional<uint32_t> countOverride = std::nullopt);

// ---- Whole files ----

// A section as written (uncompressed), compressed by the builder; or stored bytes as given.
struct PrcSectionOverride {
    std::vector<uint8_t> bytes;
    bool storedAsGiven = false; // true: not compressed (broken data, empty blocks)
};

struct PrcFileStructureSpec {
    PrcUid uid{1, 2, 3, 4};
    uint32_t minimalVersion = 8137;
    uint32_t authoringVersion = 8137;
    PrcGlobals globals;
    PrcTree tree;
    std::vector<PrcTessellation> tessellations;
    // Replace a section's content (0 header, 1 globals, 2 tree, 3 tessellations, 4 the
    // exact geometry section that closes the tessellations).
    std::array<std::optional<PrcSectionOverride>, 5> overrides{};
    // Number of section blocks (and offsets) written, at most 5.
    size_t sectionCount = 5;
};

struct PrcModelRoot {
    PrcUid uid{};
    uint32_t occurrencePlusOne = 1;
};

struct PrcModel {
    uint32_t minimalVersion = 8137;
    uint32_t authoringVersion = 8137;
    std::vector<PrcFileStructureSpec> fileStructures;
    std::vector<PrcModelRoot> roots;
    std::optional<PrcSectionOverride> modelFileOverride;
};

// The section bytes (uncompressed) of one file structure's globals, tree and tessellations.
std::vector<uint8_t> globalsSectionBytes(const PrcGlobals& globals, uint32_t version);
std::vector<uint8_t> treeSectionBytes(const PrcTree& tree, uint32_t version);
std::vector<uint8_t> tessellationSectionBytes(const std::vector<PrcTessellation>& tessellations, uint32_t version);

std::vector<uint8_t> buildPrcModelFile(const PrcModel& model);

// A file with its header read and every file structure loaded; the document points at
// the header, so the object stays where it was made.
struct LoadedPrcFile {
    std::vector<uint8_t> bytes;
    PrcFileHeader header;
    PrcDocument document;
};

// Throws what reading the header throws.
std::unique_ptr<LoadedPrcFile> loadPrcFile(std::vector<uint8_t> bytes);
