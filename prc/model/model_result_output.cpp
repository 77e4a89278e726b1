#include "prc/model/model_result_output.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace {

void addNodeTable(const std::vector<AssemblyNode>& nodes, uint64_t triangleCount, PrcModelResult& result)
{
    if (nodes.empty() || nodes.size() > UINT32_MAX)
        return;
    try {
        if (!nodeRangesAreSound(nodes, triangleCount))
            return;
    } catch (const std::bad_alloc&) {
        return;
    }
    auto* records = static_cast<NodeRecord*>(std::malloc(nodes.size() * sizeof(NodeRecord)));
    if (records == nullptr)
        return;
    for (size_t i = 0; i < nodes.size(); ++i)
        records[i] = nodeRecordOf(nodes[i], static_cast<uint32_t>(i));
    result.nodes = records;
    result.nodeCount = static_cast<uint32_t>(nodes.size());
}

} // namespace

void releaseModelResult(PrcModelResult& result)
{
    std::free(result.vertices);
    std::free(result.triangles);
    std::free(result.colours);
    std::free(result.nodes);
    std::memset(&result, 0, sizeof result);
}

bool nodeRangesAreSound(const std::vector<AssemblyNode>& nodes, uint64_t triangleCount)
{
    std::vector<std::pair<uint64_t, uint64_t>> ranges; // first, end
    for (const AssemblyNode& node : nodes) {
        if (node.triangleCount == 0)
            continue;
        const uint64_t end = uint64_t{node.firstTriangle} + node.triangleCount;
        if (end > triangleCount)
            return false;
        ranges.emplace_back(node.firstTriangle, end);
    }
    std::sort(ranges.begin(), ranges.end());
    for (size_t i = 1; i < ranges.size(); ++i)
        if (ranges[i].first < ranges[i - 1].second)
            return false;
    return true;
}

NodeRecord nodeRecordOf(const AssemblyNode& node, uint32_t index)
{
    NodeRecord record;
    std::memset(&record, 0, sizeof record);
    copyRecordName(record.name, node.name.data(), node.name.size());
    record.index = index;
    record.parent = node.parent;
    record.firstTriangle = node.firstTriangle;
    record.triangleCount = node.triangleCount;
    for (int k = 0; k < 3; ++k) {
        record.boundsMin[k] = node.boundsMin[k];
        record.boundsMax[k] = node.boundsMax[k];
    }
    record.valid = 1;
    return record;
}

bool fillModelResult(AssemblyMesh&& mesh, bool withNodes, PrcModelResult& result)
{
    const uint64_t vertexCount = mesh.vertices.size() / 3;
    const uint64_t triangleCount = mesh.triangles.size() / 3;
    if (vertexCount > UINT32_MAX || triangleCount > UINT32_MAX) {
        releaseModelResult(result);
        return false;
    }
    try {
        // Colours of the vertices only, white where the mesh has none.
        mesh.colours.resize(vertexCount * 3, 255);
    } catch (const std::bad_alloc&) {
        releaseModelResult(result);
        return false;
    }
    result.vertices = mesh.vertices.release();
    result.triangles = mesh.triangles.release();
    result.colours = mesh.colours.release();
    if (result.colours == nullptr) // never a null array, even for no vertices
        result.colours = static_cast<uint8_t*>(std::malloc(1));
    if (result.colours == nullptr) {
        releaseModelResult(result);
        return false;
    }
    result.vertexCount = static_cast<uint32_t>(vertexCount);
    result.triangleCount = static_cast<uint32_t>(triangleCount);
    if (withNodes)
        addNodeTable(mesh.nodes, triangleCount, result);
    return true;
}

bool fillModelResult(const AssemblyMesh& mesh, bool withNodes, PrcModelResult& result)
{
    try {
        AssemblyMesh copy = mesh;
        return fillModelResult(std::move(copy), withNodes, result);
    } catch (const std::bad_alloc&) {
        releaseModelResult(result);
        return false;
    }
}
