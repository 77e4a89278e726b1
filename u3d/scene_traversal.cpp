#include "u3d/scene_traversal.h"

#include "u3d/appearance.h"
#include "u3d/matrix4.h"
#include "u3d/mesh_extraction.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

constexpr float kDegreesToRadians = 0.017453292f;
constexpr float kMaxIntensity = 1000.0f;
constexpr float kMaxAttenuation = 1e9f;
constexpr float kMaxPosition = 1e30f;
constexpr float kMaxSpotExponent = 128.0f;
// log10(0.04): the spot exponent makes the cosine of the half-angle fall to 0.04.
constexpr double kSpotFalloffLog = -1.39794;

// Output of primitives that could never be sent: the walk stops there instead of
// growing without bound.
bool primitivesBeyondPayload(const SceneCollections& out)
{
    const uint64_t bytes = uint64_t{4} * out.triangles.size() + uint64_t{4} * out.points.size() +
                           uint64_t{4} * out.lines.size();
    return bytes > kPayloadLimitBytes;
}

struct WorkItem {
    IfxRef<IFXNode> node; // empty: a path marker
    uint32_t nodeId = 0;
    IFXMatrix4x4 matrix = identityMatrix();
    uint32_t parentRecord = kNoParent;
    uint32_t parentSlot = 0;
};

// The parent slots of a node, grouped by parent, read once per walk.
class ParentSlotCache {
public:
    // Slots of child whose parent is parent, in increasing order.
    const std::vector<uint32_t>& slots(const IfxRef<IFXNode>& child, IFXNode* parent)
    {
        auto found = links_.find(child.get());
        if (found == links_.end()) {
            Links links;
            links.holder = child.share();
            uint32_t count = 0;
            if (ifxFailed(child->GetNumberOfParents(&count)))
                count = 0;
            for (uint32_t slot = 0; slot < count; ++slot) {
                IfxRef<IFXNode> slotParent;
                if (ifxFailed(child->GetParentNR(slot, slotParent.put()))) {
                    slotParent.forget();
                    continue;
                }
                links.byParent[slotParent.get()].push_back(slot);
            }
            found = links_.emplace(child.get(), std::move(links)).first;
        }
        const auto match = found->second.byParent.find(parent);
        return match == found->second.byParent.end() ? none_ : match->second;
    }

private:
    struct Links {
        IfxRef<IFXNode> holder; // keeps the key's address from being reused
        std::unordered_map<IFXNode*, std::vector<uint32_t>> byParent;
    };
    std::unordered_map<IFXNode*, Links> links_;
    const std::vector<uint32_t> none_{};
};

float clampFinite(float value, float low, float high)
{
    if (!std::isfinite(value) || value < low)
        return low;
    return value > high ? high : value;
}

void finishRecord(NodeRecord& record, const SceneCollections& out, uint32_t firstVertex)
{
    record.triangleCount = static_cast<uint32_t>(out.triangles.size() / 3) - record.firstTriangle;
    record.pointCount = static_cast<uint32_t>(out.points.size()) - record.firstPoint;
    record.lineCount = static_cast<uint32_t>(out.lines.size() / 2) - record.firstLine;
    const uint32_t vertexCount = out.vertexCount();
    if (firstVertex >= vertexCount)
        return;
    for (int axis = 0; axis < 3; ++axis)
        record.boundsMin[axis] = record.boundsMax[axis] = out.vertices[size_t{firstVertex} * 3 + axis];
    for (uint32_t v = firstVertex + 1; v < vertexCount; ++v)
        for (int axis = 0; axis < 3; ++axis) {
            const float value = out.vertices[size_t{v} * 3 + axis];
            record.boundsMin[axis] = std::min(record.boundsMin[axis], value);
            record.boundsMax[axis] = std::max(record.boundsMax[axis], value);
        }
}

// Extracts the model resource of a model node; true when it gave geometry.
bool contributeModel(IFXSceneGraph* sceneGraph, IFXModel* model, IFXPalette* nodePalette, IFXPalette* resources,
                     uint32_t nodeId, IFXNode* node, const IFXMatrix4x4& world, SceneCollections& out)
{
    uint32_t paletteNumber = 0, resourceId = 0;
    if (ifxFailed(model->GetResourcePalette(&paletteNumber)) || paletteNumber != kIfxPaletteGenerator ||
        ifxFailed(model->GetResourceIndex(&resourceId)))
        return false;
    const auto shadingFor = [&](IFXUnknown* resource) {
        IfxRef<IFXModifier> resourceModifier = queryInterface<IFXModifier>(resource, IID_IFXModifier);
        return findShadingModifier(nodePalette, nodeId, node, resourceModifier.get());
    };
    if (auto mesh = paletteEntryAs<IFXAuthorCLODResource>(resources, resourceId, IID_IFXAuthorCLODResource)) {
        IfxRef<IFXShadingModifier> shading = shadingFor(mesh.get());
        return extractMesh(sceneGraph, shading.get(), mesh.get(), world, out, nodePalette, nodeId);
    }
    if (auto points = paletteEntryAs<IFXAuthorPointSetResource>(resources, resourceId, IID_IFXAuthorPointSetResource)) {
        IfxRef<IFXShadingModifier> shading = shadingFor(points.get());
        return extractPointSet(sceneGraph, shading.get(), points.get(), world, out);
    }
    if (auto lines = paletteEntryAs<IFXAuthorLineSetResource>(resources, resourceId, IID_IFXAuthorLineSetResource)) {
        IfxRef<IFXShadingModifier> shading = shadingFor(lines.get());
        return extractLineSet(sceneGraph, shading.get(), lines.get(), world, out);
    }
    return false;
}

} // namespace

void copyEntryName(const IFXString& name, char out[128])
{
    std::memset(out, 0, kRecordNameBytes);
    uint32_t bytes = 0;
    if (ifxSucceeded(name.GetLengthU8(&bytes))) {
        if (bytes == 0)
            return;
        std::vector<uint8_t> utf8(size_t{bytes} + 1);
        if (ifxSucceeded(name.ConvertToRawU8(utf8.data(), bytes + 1))) {
            copyRecordName(out, reinterpret_cast<const char*>(utf8.data()), bytes);
            return;
        }
    }
    char ascii[kRecordNameBytes] = {};
    const uint32_t units = std::min<uint32_t>(name.Length(), kRecordNameBytes - 1);
    for (uint32_t i = 0; i < units; ++i)
        ascii[i] = name.Raw()[i] < 0x80 ? static_cast<char>(name.Raw()[i]) : '?';
    copyRecordName(out, ascii, units);
}

bool buildLightRecord(IFXLightResource* light, const IFXMatrix4x4& world, LightRecord& record)
{
    record = LightRecord{};
    uint8_t attributes = 0;
    uint32_t type = 0;
    float intensity = 0;
    if (light == nullptr || ifxFailed(light->GetAttributes(&attributes)) || !(attributes & kIfxLightEnabled) ||
        ifxFailed(light->GetType(&type)) || type > kIfxLightSpot || ifxFailed(light->GetIntensity(&intensity)) ||
        !std::isfinite(intensity) || intensity < 0)
        return false;
    intensity = std::min(intensity, kMaxIntensity);
    if (!(intensity > 0))
        return false;
    record.type = static_cast<uint8_t>(type);
    record.specular = (attributes & kIfxLightSpecular) ? 1 : 0;
    record.spotDecay = (attributes & kIfxLightSpotDecay) ? 1 : 0;
    record.intensity = intensity;

    float colour[3] = {0, 0, 0};
    if (ifxFailed(light->GetColor(colour)))
        colour[0] = colour[1] = colour[2] = 0;
    for (int i = 0; i < 3; ++i)
        record.colour[i] = clampFinite(colour[i], 0, 1);

    float attenuation[3] = {1, 0, 0};
    if (ifxFailed(light->GetAttenuation(attenuation))) {
        attenuation[0] = 1;
        attenuation[1] = attenuation[2] = 0;
    }
    for (int i = 0; i < 3; ++i)
        record.attenuation[i] = clampFinite(attenuation[i], 0, kMaxAttenuation);
    if (record.attenuation[0] + record.attenuation[1] + record.attenuation[2] <= 0)
        record.attenuation[0] = 1;

    float angle = 0;
    if (ifxFailed(light->GetSpotAngle(&angle)) || !std::isfinite(angle) || angle < 0) {
        record.spotHalfAngle = 0;
        record.spotExponent = record.spotDecay ? 1.0f : 0.0f;
    } else {
        record.spotHalfAngle = std::min(angle, 180.0f) * 0.5f * kDegreesToRadians;
        if (record.spotDecay) {
            const double c = std::cos(double{record.spotHalfAngle});
            double exponent = 1;
            if (c > 0.01 && c < 0.9999) {
                exponent = kSpotFalloffLog / std::log10(c);
                if (!std::isfinite(exponent) || exponent < 0)
                    exponent = 0;
                exponent = std::min(exponent, double{kMaxSpotExponent});
            }
            record.spotExponent = static_cast<float>(exponent);
        }
    }

    for (int i = 0; i < 3; ++i) {
        const float p = world.m[12 + i];
        record.position[i] = std::isfinite(p) ? std::clamp(p, -kMaxPosition, kMaxPosition) : 0.0f;
    }
    const double d[3] = {-double{world.m[8]}, -double{world.m[9]}, -double{world.m[10]}};
    const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    if (!std::isfinite(length) || length <= 1e-12) {
        record.direction[0] = record.direction[1] = 0;
        record.direction[2] = -1;
    } else {
        for (int i = 0; i < 3; ++i)
            record.direction[i] = static_cast<float>(d[i] / length);
    }
    return true;
}

bool walkSceneGraph(IFXSceneGraph* sceneGraph, SceneCollections& out)
{
    out = SceneCollections{};
    IfxRef<IFXPalette> nodePalette = scenePalette(sceneGraph, kIfxPaletteNode);
    IfxRef<IFXPalette> resources = scenePalette(sceneGraph, kIfxPaletteGenerator);
    if (!nodePalette || !resources)
        return false;

    uint32_t nodeCount = 0;
    if (ifxFailed(nodePalette->GetPaletteSize(&nodeCount)))
        nodeCount = 0;
    std::vector<IfxRef<IFXNode>> nodes(nodeCount);
    std::unordered_map<IFXNode*, uint32_t> idOf;
    for (uint32_t id = 0; id < nodeCount; ++id) {
        nodes[id] = paletteEntryAs<IFXNode>(nodePalette.get(), id, IID_IFXNode);
        if (nodes[id])
            idOf.emplace(nodes[id].get(), id);
    }

    std::vector<WorkItem> stack;
    for (uint32_t id = 0; id < nodeCount; ++id) {
        uint32_t parents = 0;
        if (nodes[id] && ifxSucceeded(nodes[id]->GetNumberOfParents(&parents)) && parents == 0)
            stack.push_back(WorkItem{nodes[id].share(), id, identityMatrix(), kNoParent, 0});
    }

    std::vector<IFXNode*> path;
    std::unordered_set<IFXNode*> onPath;
    ParentSlotCache parentSlots;
    bool contributed = false;
    while (!stack.empty()) {
        WorkItem item = std::move(stack.back());
        stack.pop_back();
        if (!item.node) {
            onPath.erase(path.back());
            path.pop_back();
            continue;
        }
        IFXNode* node = item.node.get();
        if (onPath.count(node) != 0)
            continue; // a cycle: the node is its own ancestor
        if (out.nodeRecords.size() >= kMaxNodeRecords || out.vertexCount() > kMaxWalkVertices ||
            primitivesBeyondPayload(out)) {
            out.overflow = true;
            return contributed;
        }

        IFXMatrix4x4 local = identityMatrix();
        if (ifxFailed(node->GetMatrix(item.parentSlot, &local)))
            local = identityMatrix();
        const IFXMatrix4x4 world = multiplyMatrices(item.matrix, local);

        NodeRecord record{};
        IFXString name;
        if (ifxSucceeded(nodePalette->GetName(item.nodeId, &name)))
            copyEntryName(name, record.name);
        record.index = static_cast<uint32_t>(out.nodeRecords.size());
        record.parent = item.parentRecord;
        record.firstTriangle = static_cast<uint32_t>(out.triangles.size() / 3);
        record.firstPoint = static_cast<uint32_t>(out.points.size());
        record.firstLine = static_cast<uint32_t>(out.lines.size() / 2);
        record.valid = 1;
        const uint32_t firstVertex = out.vertexCount();

        if (IfxRef<IFXModel> model = queryInterface<IFXModel>(node, IID_IFXModel)) {
            if (contributeModel(sceneGraph, model.get(), nodePalette.get(), resources.get(), item.nodeId, node,
                                world, out))
                contributed = true;
            out.padPerVertexArrays();
        } else if (out.lights.size() < kMaxLightRecords) {
            IfxRef<IFXLight> lightNode = queryInterface<IFXLight>(node, IID_IFXLight);
            IfxRef<IFXLightResource> light;
            if (lightNode && ifxSucceeded(lightNode->GetLightResource(light.put())) && light) {
                LightRecord lightRecord;
                if (buildLightRecord(light.get(), world, lightRecord))
                    out.lights.push_back(lightRecord);
            } else {
                light.forget();
            }
        }
        finishRecord(record, out, firstVertex);
        out.nodeRecords.push_back(record);

        path.push_back(node);
        onPath.insert(node);
        stack.push_back(WorkItem{});

        uint32_t childCount = 0;
        if (ifxFailed(node->GetNumberOfChildren(0, &childCount)))
            childCount = 0;
        // A child listed once per link is still one child: its parent slots say how
        // often it hangs below this node.
        std::unordered_set<IFXNode*> seenChildren;
        for (uint32_t i = 0; i < childCount; ++i) {
            IfxRef<IFXNode> child;
            if (ifxFailed(node->GetChildNR(i, child.put())) || !child) {
                child.forget();
                continue;
            }
            if (!seenChildren.insert(child.get()).second)
                continue;
            const auto known = idOf.find(child.get());
            const uint32_t childId = known == idOf.end() ? 0 : known->second;
            const std::vector<uint32_t>& slots = parentSlots.slots(child, node);
            for (auto slot = slots.rbegin(); slot != slots.rend(); ++slot)
                stack.push_back(WorkItem{child.share(), childId, world, record.index, *slot});
        }
    }
    return contributed;
}
