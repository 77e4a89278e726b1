// Prints a worker's result stream in human terms: header fields, counts, bounding
// box, colours and the node tree. Exit code 0 when the stream is well formed.
//
//   stream_inspect prc|u3d <stream file | ->
#include "tools/result_stream_reader.h"

#include "runtime/platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

void printBox(const char* label, const float* mn, const float* mx)
{
    std::printf("%s(%g, %g, %g) .. (%g, %g, %g)\n", label, mn[0], mn[1], mn[2], mx[0], mx[1], mx[2]);
}

void printModelBox(const std::vector<float>& v)
{
    if (v.size() < 3)
        return;
    float mn[3] = {v[0], v[1], v[2]}, mx[3] = {v[0], v[1], v[2]};
    for (size_t i = 0; i + 2 < v.size(); i += 3)
        for (int a = 0; a < 3; ++a) {
            mn[a] = std::min(mn[a], v[i + a]);
            mx[a] = std::max(mx[a], v[i + a]);
        }
    printBox("bounding box: ", mn, mx);
}

void printColours(const std::vector<uint8_t>& c)
{
    std::set<uint32_t> distinct;
    for (size_t i = 0; i + 2 < c.size(); i += 3)
        distinct.insert(uint32_t{c[i]} << 16 | uint32_t{c[i + 1]} << 8 | c[i + 2]);
    std::printf("distinct vertex colours: %zu", distinct.size());
    size_t shown = 0;
    for (uint32_t rgb : distinct) {
        if (shown++ == 8) {
            std::printf(" ...");
            break;
        }
        std::printf(" #%06x", rgb);
    }
    std::printf("\n");
}

void printNodeTree(const std::vector<NodeRecord>& nodes, bool pointsAndLines)
{
    if (nodes.empty())
        return;
    std::printf("nodes:\n");
    std::vector<int> depth(nodes.size(), 0);
    for (size_t i = 0; i < nodes.size(); ++i) {
        const NodeRecord& n = nodes[i];
        if (n.parent != kNoParent && n.parent < i)
            depth[i] = depth[n.parent] + 1;
        if (i == 200) {
            std::printf("  ... %zu more\n", nodes.size() - i);
            break;
        }
        std::printf("  %*s[%u] \"%s\" triangles %u+%u", depth[i] * 2, "", n.index, n.name,
                    n.firstTriangle, n.triangleCount);
        if (pointsAndLines)
            std::printf(" points %u+%u lines %u+%u", n.firstPoint, n.pointCount, n.firstLine, n.lineCount);
        std::printf(" box (%g, %g, %g)..(%g, %g, %g)\n", n.boundsMin[0], n.boundsMin[1], n.boundsMin[2],
                    n.boundsMax[0], n.boundsMax[1], n.boundsMax[2]);
    }
}

void printPrc(const ParsedResultStream& s)
{
    const PrcResultHeader& h = s.prcHeader;
    std::printf("PRC result stream: ok %u, status %u", h.ok, h.status);
    if (!s.ok) {
        static const char* reasons[] = {"no data", "no triangle in the model", "cannot be decoded"};
        std::printf(" (%s)\n", h.status <= 2 ? reasons[h.status] : "?");
        if (!s.message.empty())
            std::printf("message: %s\n", s.message.c_str());
        return;
    }
    std::printf("\nPRC versions: minimal for read %u, authoring %u; file structures %u\n",
                h.minimalVersionForRead, h.authoringVersion, h.fileStructureCount);
    std::printf("globals: %u colours, %u materials, %u styles\n", h.colourTotal, h.materialTotal,
                h.styleTotal);
    std::printf("vertices %u, triangles %u, nodes %u\n", h.vertexCount, h.triangleCount, h.nodeCount);
    printModelBox(s.vertices);
    printColours(s.colours);
    printNodeTree(s.nodes, false);
}

void printU3d(const ParsedResultStream& s)
{
    const U3dResultHeader& h = s.u3dHeader;
    std::printf("U3D result stream: ok %u\n", h.ok);
    if (h.hasHeaderValues)
        std::printf("file header: declaration size %u, file size %llu\n", h.headerValue32,
                    static_cast<unsigned long long>(h.headerValue64));
    if (h.hasKeyLight)
        std::printf("key light: yaw %g, pitch %g\n", h.keyLightYaw, h.keyLightPitch);
    if (!s.ok) {
        std::printf("message: %s\n", s.message.c_str());
        return;
    }
    std::printf("vertices %u, triangles %u, points %u, lines %u, nodes %u\n", h.vertexCount,
                h.triangleCount, h.pointCount, h.lineCount, h.nodeCount);
    std::printf("texture %ux%u, normals %s, materials %u, lights %u, views %u\n", h.textureWidth,
                h.textureHeight, h.hasNormals ? "yes" : "no", h.materialCount, h.lightCount, h.viewCount);
    printModelBox(s.vertices);
    printColours(s.colours);
    for (const ViewRecord& view : s.views)
        std::printf("view \"%s\" fov %g\n", view.name, view.fieldOfView);
    for (const LightRecord& light : s.lights)
        std::printf("light type %u colour (%g, %g, %g) intensity %g\n", light.type, light.colour[0],
                    light.colour[1], light.colour[2], light.intensity);
    printNodeTree(s.nodes, true);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || (std::strcmp(argv[1], "prc") != 0 && std::strcmp(argv[1], "u3d") != 0)) {
        std::fprintf(stderr, "usage: stream_inspect prc|u3d <stream file | ->\n");
        return 2;
    }
    setBinaryStdin();
    std::vector<uint8_t> bytes;
    if (!readStreamFile(argv[2], bytes)) {
        std::fprintf(stderr, "stream_inspect: cannot read %s\n", argv[2]);
        return 2;
    }
    const StreamForm form = argv[1][0] == 'p' ? StreamForm::Prc : StreamForm::U3d;
    ParsedResultStream stream;
    std::string error;
    if (!parseResultStream(form, bytes.data(), bytes.size(), stream, error)) {
        std::printf("malformed stream (%zu bytes): %s\n", bytes.size(), error.c_str());
        return 1;
    }
    if (form == StreamForm::Prc)
        printPrc(stream);
    else
        printU3d(stream);
    return 0;
}
