#include "prc/model/model_assembly.h"

#include "prc/container/prc_file_header.h"
#include "prc/geometry/style_color.h"
#include "prc/model/tess_conversion.h"
#include "runtime/platform.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace {

constexpr int32_t kMaxOccurrenceDepth = 64;
// A prototype chain is followed this many steps past the occurrence (65 occurrences).
constexpr int kMaxPrototypeSteps = 64;
// Sets nest a few levels in real files; deeper nesting is dropped rather than recursed.
constexpr int kMaxItemSetDepth = 256;
constexpr uint32_t kNoStyle = 0xFFFFFFFFu;

constexpr uint8_t kBehaviourExcluded = 0x01;
constexpr uint8_t kInformationDefault = 0x01;
constexpr uint8_t kInformationConfiguration = 0x08;

// Sentinels of an empty box, 1e30 and -1e30 as floats.
constexpr float kBoxStart = 1e30f;

bool isIndex(uint64_t index)
{
    return static_cast<int64_t>(index) >= 0;
}

void countSteps(AssemblyMesh& mesh, uint64_t steps)
{
    mesh.walkSteps += steps;
    if (mesh.walkSteps > mesh.limits.walkSteps)
        throw std::runtime_error("assieme PRC: visita troppo lunga");
}

struct OccurrenceRef {
    size_t fileStructure;
    size_t occurrence;
};

const ProductOccurrenceData& occurrenceAt(const PrcDocument& document, OccurrenceRef ref)
{
    return document.fileStructures[ref.fileStructure].productOccurrences[ref.occurrence];
}

std::optional<size_t> fileStructureWithUid(const PrcDocument& document, const std::array<uint32_t, 4>& uid)
{
    if (document.header == nullptr)
        return std::nullopt;
    const std::vector<FileStructureDescriptor>& descriptors = document.header->fileStructures;
    for (size_t i = 0; i < descriptors.size() && i < document.fileStructures.size(); ++i)
        if (descriptors[i].uid == uid)
            return i;
    return std::nullopt;
}

std::optional<OccurrenceRef> prototypeOf(const PrcDocument& document, OccurrenceRef ref)
{
    const ProductOccurrenceData& occurrence = occurrenceAt(document, ref);
    if (!isIndex(occurrence.index_prototype))
        return std::nullopt;
    size_t fileStructure = ref.fileStructure;
    if (occurrence.prototype_in_same_file_structure == 0) {
        const std::optional<size_t> found = fileStructureWithUid(document, occurrence.prototypeFileStructureUid);
        if (!found)
            return std::nullopt;
        fileStructure = *found;
    }
    const FileStructureData& data = document.fileStructures[fileStructure];
    if (!data.tree_loaded || occurrence.index_prototype >= data.productOccurrences.size())
        return std::nullopt;
    return OccurrenceRef{fileStructure, static_cast<size_t>(occurrence.index_prototype)};
}

// The occurrence itself or the first of its prototypes for which wanted holds.
template <typename Wanted>
std::optional<OccurrenceRef> findAlongPrototypes(const PrcDocument& document, OccurrenceRef start, Wanted wanted)
{
    std::optional<OccurrenceRef> at = start;
    for (int step = 0; at && step <= kMaxPrototypeSteps; ++step) {
        if (wanted(occurrenceAt(document, *at)))
            return at;
        at = prototypeOf(document, *at);
    }
    return std::nullopt;
}

std::optional<uint32_t> styleColour(const GlobalsData& globals, uint32_t styleIndex)
{
    uint8_t rgb[3];
    if (styleIndex == kNoStyle || !resolveStyleColor(globals, styleIndex, nullptr, rgb))
        return std::nullopt;
    return packColour(rgb[0], rgb[1], rgb[2]);
}

uint32_t occurrenceColour(const PrcDocument& document, OccurrenceRef self, uint32_t inherited)
{
    const std::optional<OccurrenceRef> styled = findAlongPrototypes(
        document, self, [](const ProductOccurrenceData& o) { return o.styleIndex != kNoStyle; });
    if (!styled)
        return inherited;
    const GlobalsData& globals = document.fileStructures[styled->fileStructure].globals;
    return styleColour(globals, occurrenceAt(document, *styled).styleIndex).value_or(inherited);
}

struct Box {
    float min[3] = {kBoxStart, kBoxStart, kBoxStart};
    float max[3] = {-kBoxStart, -kBoxStart, -kBoxStart};

    // NaN coordinates compare false and are passed over.
    void add(const float* point)
    {
        for (int k = 0; k < 3; ++k) {
            if (point[k] < min[k])
                min[k] = point[k];
            if (point[k] > max[k])
                max[k] = point[k];
        }
    }

    void add(const Box& other)
    {
        for (int k = 0; k < 3; ++k) {
            if (other.min[k] < min[k])
                min[k] = other.min[k];
            if (other.max[k] > max[k])
                max[k] = other.max[k];
        }
    }
};

// The records that the walk lets go leave holes in the heap, while the mesh grows in
// pages of its own: unless given back, the holes stay resident beside it to the end.
// They are given back once they come to about a quarter of the mesh placed so far; more
// often costs page faults wherever a later conversion fills a hole again, and saves
// little. A record is counted by its steps, at a coordinate's eight bytes each: a little
// more than most records hold per step.
constexpr uint64_t kFreedRecordBytesPerStep = sizeof(double);
constexpr uint64_t kMinFreedRecordBytesToReturn = uint64_t{256} << 10;
constexpr uint64_t kMeshBytesPerFreedRecordByte = 4;

void recordFreed(AssemblyMesh& mesh, uint64_t steps)
{
    mesh.recordBytesFreed += steps * kFreedRecordBytesPerStep;
    const uint64_t meshBytes = mesh.vertices.size() * sizeof(float) + mesh.triangles.size() * sizeof(uint32_t) +
                               mesh.colours.size();
    if (mesh.recordBytesFreed >= std::max(kMinFreedRecordBytesToReturn, meshBytes / kMeshBytesPerFreedRecordByte)) {
        returnFreedHeapPages();
        mesh.recordBytesFreed = 0;
    }
}

// Converts a tessellation once per colour; a conversion that fails or gives no triangle
// is kept as no mesh, since nothing of it would ever be appended.
CachedTessMesh& cachedMesh(FileStructureData& fileStructure, uint64_t tessellation, uint32_t colour,
                           AssemblyMesh& mesh)
{
    CachedTessMesh& cached = fileStructure.meshCache.findOrAdd(tessellation, colour).first;
    if (cached.converted)
        return cached;
    const uint64_t steps = conversionSteps(fileStructure, tessellation);
    countSteps(mesh, steps);
    // After its last counted conversion the record goes, before the mesh is placed.
    std::vector<uint64_t>& conversionsLeft = fileStructure.tessConversionsLeft;
    const bool lastConversion = tessellation < conversionsLeft.size() && conversionsLeft[tessellation] == 1;
    TessMesh converted = convertTessellation(fileStructure, tessellation, colour, lastConversion);
    if (tessellation < conversionsLeft.size() && conversionsLeft[tessellation] > 0 &&
        --conversionsLeft[tessellation] == 0) {
        releaseTessellation(fileStructure, tessellation);
        recordFreed(mesh, steps);
    }
    if (!converted.triangles.empty())
        cached.mesh = std::make_unique<TessMesh>(std::move(converted));
    cached.converted = true;
    return cached;
}

// One placement of the mesh under key is done; after the last counted one it goes.
void placed(FileStructureData& fileStructure, uint64_t tessellation, uint32_t colour, CachedTessMesh& cached)
{
    if (cached.usesLeft > 0 && --cached.usesLeft == 0)
        fileStructure.meshCache.erase(tessellation, colour);
}

void countUse(FileStructureData& fileStructure, uint64_t tessellation, uint32_t colour)
{
    fileStructure.meshCache.reserveSlots(fileStructure.tessEntries.size());
    const auto [cached, first] = fileStructure.meshCache.findOrAdd(tessellation, colour);
    cached.usesLeft += 1;
    if (first) {
        std::vector<uint64_t>& conversionsLeft = fileStructure.tessConversionsLeft;
        conversionsLeft.resize(fileStructure.tessEntries.size());
        conversionsLeft[tessellation] += 1;
    }
}

void appendItems(FileStructureData& fileStructure, const std::vector<RepresentationItemData>& items,
                 const Matrix4d& matrix, uint32_t colour, AssemblyMesh& mesh, int setDepth)
{
    for (const RepresentationItemData& item : items) {
        countSteps(mesh, 1);
        const uint32_t itemColour = styleColour(fileStructure.globals, item.styleIndex).value_or(colour);
        if (isIndex(item.index_tessellation) && item.index_tessellation < fileStructure.tessEntries.size()) {
            // A copy of an earlier record is converted and cached as that one.
            const std::vector<uint64_t>& firstIdentical = fileStructure.tessFirstIdentical;
            const uint64_t tessellation =
                firstIdentical.empty() ? item.index_tessellation : firstIdentical[item.index_tessellation];
            if (mesh.countingUses) {
                countUse(fileStructure, tessellation, itemColour);
            } else {
                CachedTessMesh& cached = cachedMesh(fileStructure, tessellation, itemColour, mesh);
                if (cached.mesh) {
                    const TessMesh& converted = *cached.mesh;
                    const std::vector<Matrix4d>& systems = fileStructure.globals.coordinateSystems;
                    const uint64_t system = item.index_local_coordinate_system;
                    const Matrix4d itemMatrix =
                        isIndex(system) && system < systems.size() ? multiply(matrix, systems[system]) : matrix;
                    appendTransformedMesh(mesh, converted, itemMatrix);
                }
                placed(fileStructure, tessellation, itemColour, cached);
            }
        }
        // The items of a set are placed by the part's matrix, not by the set's own system.
        if (!item.children.empty() && setDepth < kMaxItemSetDepth)
            appendItems(fileStructure, item.children, matrix, itemColour, mesh, setDepth + 1);
    }
}

// The son to walk among configurations: the first default one, else the first one.
std::optional<size_t> chosenConfiguration(const std::vector<uint32_t>& sons,
                                          const std::vector<ProductOccurrenceData>& occurrences, AssemblyMesh& mesh)
{
    std::optional<size_t> first;
    for (size_t i = 0; i < sons.size(); ++i) {
        countSteps(mesh, 1);
        if (sons[i] >= occurrences.size())
            continue;
        const uint8_t flags = occurrences[sons[i]].product_information_flags;
        if ((flags & kInformationConfiguration) == 0)
            continue;
        if (flags & kInformationDefault)
            return i;
        if (!first)
            first = i;
    }
    return first;
}

} // namespace

void appendPartItems(FileStructureData& fileStructure, const std::vector<RepresentationItemData>& items,
                     const Matrix4d& matrix, uint32_t colour, AssemblyMesh& mesh)
{
    appendItems(fileStructure, items, matrix, colour, mesh, 0);
}

void assembleOccurrence(PrcDocument& document, int64_t fileStructureIndex, int64_t occurrenceIndex,
                        uint32_t parentNode, const Matrix4d& parentMatrix, int32_t depth,
                        uint32_t inheritedColour, AssemblyMesh& mesh)
{
    if (depth > kMaxOccurrenceDepth || fileStructureIndex < 0 ||
        static_cast<uint64_t>(fileStructureIndex) >= document.fileStructures.size())
        return;
    const FileStructureData& home = document.fileStructures[static_cast<size_t>(fileStructureIndex)];
    if (!home.tree_loaded || occurrenceIndex < 0 ||
        static_cast<uint64_t>(occurrenceIndex) >= home.productOccurrences.size())
        return;
    countSteps(mesh, 1);
    const OccurrenceRef self{static_cast<size_t>(fileStructureIndex), static_cast<size_t>(occurrenceIndex)};

    const uint32_t colour = occurrenceColour(document, self, inheritedColour);
    if (mesh.nodes.size() >= mesh.limits.nodes)
        throw std::runtime_error("assieme PRC: troppi nodi");

    Matrix4d matrix = parentMatrix;
    if (const auto located = findAlongPrototypes(document, self,
                                                 [](const ProductOccurrenceData& o) { return o.hasLocation; }))
        matrix = multiply(parentMatrix, occurrenceAt(document, *located).location);

    const uint32_t node = static_cast<uint32_t>(mesh.nodes.size());
    const size_t firstVertexFloat = mesh.vertices.size();
    const uint32_t firstTriangle = static_cast<uint32_t>(mesh.triangles.size() / 3);
    {
        AssemblyNode entry;
        entry.parent = parentNode;
        entry.firstTriangle = firstTriangle;
        if (const auto named = findAlongPrototypes(
                document, self, [](const ProductOccurrenceData& o) { return !o.name.empty(); }))
            entry.name = occurrenceAt(document, *named).name;
        mesh.nodes.push_back(std::move(entry));
    }

    if (const auto withPart = findAlongPrototypes(
            document, self, [](const ProductOccurrenceData& o) { return isIndex(o.index_part); })) {
        FileStructureData& partHome = document.fileStructures[withPart->fileStructure];
        const uint64_t part = occurrenceAt(document, *withPart).index_part;
        if (part < partHome.partDefinitions.size()) {
            const PartDefinitionData& definition = partHome.partDefinitions[part];
            const uint32_t partColour = styleColour(partHome.globals, definition.styleIndex).value_or(colour);
            appendPartItems(partHome, definition.items, matrix, partColour, mesh);
            mesh.nodes[node].triangleCount = static_cast<uint32_t>(mesh.triangles.size() / 3) - firstTriangle;
        }
    }

    Box box;
    for (size_t i = firstVertexFloat; i + 3 <= mesh.vertices.size(); i += 3)
        box.add(&mesh.vertices[i]);

    if (const auto withSons = findAlongPrototypes(
            document, self, [](const ProductOccurrenceData& o) { return !o.sonOccurrences.empty(); })) {
        const size_t sonHome = withSons->fileStructure;
        // Neither list changes during the walk; only the mesh caches do.
        const std::vector<ProductOccurrenceData>& occurrences = document.fileStructures[sonHome].productOccurrences;
        const std::vector<uint32_t>& sons = occurrenceAt(document, *withSons).sonOccurrences;
        const std::optional<size_t> configuration = chosenConfiguration(sons, occurrences, mesh);
        for (size_t i = 0; i < sons.size(); ++i) {
            countSteps(mesh, 1);
            if (sons[i] >= occurrences.size())
                continue;
            const ProductOccurrenceData& son = occurrences[sons[i]];
            if ((son.product_behaviour & kBehaviourExcluded) ||
                ((son.product_information_flags & kInformationConfiguration) && configuration != i))
                continue;
            const size_t sonNode = mesh.nodes.size();
            const size_t verticesBefore = mesh.vertices.size();
            assembleOccurrence(document, static_cast<int64_t>(sonHome), sons[i], node, matrix, depth + 1, colour,
                               mesh);
            if (mesh.vertices.size() > verticesBefore) {
                Box sonBox;
                const AssemblyNode& sonEntry = mesh.nodes[sonNode];
                for (int k = 0; k < 3; ++k)
                    sonBox.min[k] = sonEntry.boundsMin[k], sonBox.max[k] = sonEntry.boundsMax[k];
                box.add(sonBox);
            }
        }
    }

    // The box covers the node's own part and its whole subtree.
    if (mesh.vertices.size() > firstVertexFloat) {
        AssemblyNode& entry = mesh.nodes[node];
        for (int k = 0; k < 3; ++k)
            entry.boundsMin[k] = box.min[k], entry.boundsMax[k] = box.max[k];
    }
}
