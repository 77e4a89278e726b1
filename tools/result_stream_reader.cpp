#include "tools/result_stream_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {

class Cursor {
public:
    Cursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    size_t left() const { return size_ - pos_; }

    // Copies count elements of T; false when the stream holds fewer bytes. Checked
    // before allocating, so a corrupt count cannot force a large allocation.
    template <typename T>
    bool take(uint64_t count, std::vector<T>& out)
    {
        if (count > left() / sizeof(T))
            return false;
        out.resize(static_cast<size_t>(count));
        if (count > 0)
            std::memcpy(out.data(), data_ + pos_, static_cast<size_t>(count) * sizeof(T));
        pos_ += static_cast<size_t>(count) * sizeof(T);
        return true;
    }

    bool takeBytes(void* out, size_t length)
    {
        if (length > left())
            return false;
        std::memcpy(out, data_ + pos_, length);
        pos_ += length;
        return true;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

bool allZero(const void* bytes, size_t length)
{
    const auto* p = static_cast<const uint8_t*>(bytes);
    return std::all_of(p, p + length, [](uint8_t b) { return b == 0; });
}

bool nameTerminated(const char (&name)[128])
{
    return std::memchr(name, 0, sizeof name) != nullptr;
}

bool fail(std::string& error, std::string text)
{
    error = std::move(text);
    return false;
}

bool indicesBelow(const std::vector<uint32_t>& indices, uint32_t limit)
{
    return std::all_of(indices.begin(), indices.end(), [limit](uint32_t i) { return i < limit; });
}

bool checkNodes(const ParsedResultStream& s, bool pointsAndLines, std::string& error)
{
    const uint64_t triangles = s.triangles.size() / 3;
    const uint64_t points = s.points.size();
    const uint64_t lines = s.lines.size() / 2;
    for (size_t i = 0; i < s.nodes.size(); ++i) {
        const NodeRecord& n = s.nodes[i];
        const std::string at = "node " + std::to_string(i) + ": ";
        if (!nameTerminated(n.name))
            return fail(error, at + "name not NUL-terminated");
        const size_t nameLength = std::strlen(n.name);
        if (!allZero(n.name + nameLength, sizeof n.name - nameLength))
            return fail(error, at + "name tail not zero");
        if (n.index != i)
            return fail(error, at + "index does not match its position");
        if (n.parent != kNoParent && n.parent >= i)
            return fail(error, at + "parent is not an earlier record");
        if (n.valid != 1)
            return fail(error, at + "valid flag is not 1");
        if (uint64_t{n.firstTriangle} + n.triangleCount > triangles && n.triangleCount > 0)
            return fail(error, at + "triangle range outside the triangles");
        if (!pointsAndLines && (n.firstPoint | n.pointCount | n.firstLine | n.lineCount) != 0)
            return fail(error, at + "point or line range in a PRC stream");
        if (n.pointCount > 0 && uint64_t{n.firstPoint} + n.pointCount > points)
            return fail(error, at + "point range outside the points");
        if (n.lineCount > 0 && uint64_t{n.firstLine} + n.lineCount > lines)
            return fail(error, at + "line range outside the lines");
    }
    return true;
}

bool checkPrcRangesDisjoint(const ParsedResultStream& s, std::string& error)
{
    std::vector<std::pair<uint32_t, uint32_t>> ranges;
    for (const NodeRecord& n : s.nodes)
        if (n.triangleCount > 0)
            ranges.emplace_back(n.firstTriangle, n.triangleCount);
    std::sort(ranges.begin(), ranges.end());
    for (size_t i = 1; i < ranges.size(); ++i)
        if (ranges[i].first < uint64_t{ranges[i - 1].first} + ranges[i - 1].second)
            return fail(error, "node triangle ranges overlap");
    return true;
}

bool parsePrc(Cursor& in, ParsedResultStream& s, std::string& error)
{
    PrcResultHeader& h = s.prcHeader;
    if (!in.takeBytes(&h, sizeof h))
        return fail(error, "stream shorter than the 48-byte header");
    if (h.ok > 1)
        return fail(error, "ok is neither 0 nor 1");
    if (h.reserved[0] != 0 || h.reserved[1] != 0)
        return fail(error, "reserved header bytes not zero");
    s.ok = h.ok == 1;
    if (!s.ok) {
        if (h.hasDefaultView != 0 || h.vertexCount != 0 || h.triangleCount != 0 || h.nodeCount != 0 ||
            !allZero(&h.minimalVersionForRead, 24))
            return fail(error, "failure header carries counts or versions");
        if (h.status > 2)
            return fail(error, "unknown status");
        if (h.messageLength > 0 && h.status != 2)
            return fail(error, "message with a status other than 2");
        std::vector<char> message;
        if (!in.take(h.messageLength, message))
            return fail(error, "message shorter than messageLength");
        s.message.assign(message.begin(), message.end());
        return true;
    }
    if (h.status != 0 || h.messageLength != 0)
        return fail(error, "success header with a status or a message");
    const uint64_t v = h.vertexCount;
    if (!in.take(v * 3, s.vertices) || !in.take(uint64_t{h.triangleCount} * 3, s.triangles) ||
        !in.take(v * 3, s.colours))
        return fail(error, "arrays shorter than the header says");
    s.hasDefaultView = h.hasDefaultView == 1;
    if (h.hasDefaultView > 1)
        return fail(error, "hasDefaultView is neither 0 nor 1");
    if (s.hasDefaultView && !in.takeBytes(s.defaultView, sizeof s.defaultView))
        return fail(error, "default view block missing");
    if (!in.take(h.nodeCount, s.nodes))
        return fail(error, "node records shorter than the header says");
    if (!indicesBelow(s.triangles, h.vertexCount))
        return fail(error, "triangle vertex number outside the vertices");
    return checkNodes(s, false, error) && checkPrcRangesDisjoint(s, error);
}

bool parseU3d(Cursor& in, ParsedResultStream& s, std::string& error)
{
    U3dResultHeader& h = s.u3dHeader;
    if (!in.takeBytes(&h, sizeof h))
        return fail(error, "stream shorter than the 80-byte header");
    if (h.ok > 1 || h.hasDefaultView > 1 || h.hasHeaderValues > 1 || h.hasKeyLight > 1 ||
        h.hasNormals > 1)
        return fail(error, "a flag byte is neither 0 nor 1");
    if (!allZero(h.reserved0, 2) || !allZero(h.reserved1, 3) || !allZero(h.reserved2, 3) ||
        !allZero(h.reserved3, 3))
        return fail(error, "reserved header bytes not zero");
    s.ok = h.ok == 1;
    if (!s.ok) {
        if (h.hasDefaultView || h.vertexCount || h.triangleCount || h.pointCount || h.lineCount ||
            h.textureWidth || h.textureHeight || h.nodeCount || h.viewCount || h.materialCount ||
            h.lightCount || h.hasNormals)
            return fail(error, "failure header carries counts");
        std::vector<char> message;
        if (!in.take(h.messageLength, message))
            return fail(error, "message shorter than messageLength");
        s.message.assign(message.begin(), message.end());
        return true;
    }
    if (h.messageLength != 0)
        return fail(error, "success header with a message");
    if (h.lightCount > kMaxLightRecords)
        return fail(error, "more than 8 lights");
    if ((h.textureWidth == 0) != (h.textureHeight == 0))
        return fail(error, "texture with one side 0");
    const uint64_t v = h.vertexCount;
    if (!in.take(v * 3, s.vertices) || !in.take(uint64_t{h.triangleCount} * 3, s.triangles) ||
        !in.take(v * 3, s.colours) || !in.take(h.pointCount, s.points) ||
        !in.take(uint64_t{h.lineCount} * 2, s.lines))
        return fail(error, "arrays shorter than the header says");
    s.hasDefaultView = h.hasDefaultView == 1;
    if (s.hasDefaultView && !in.takeBytes(s.defaultView, sizeof s.defaultView))
        return fail(error, "default view block missing");
    if (h.textureWidth != 0 &&
        (!in.take(v * 2, s.textureCoordinates) ||
         !in.take(uint64_t{h.textureWidth} * h.textureHeight * 4, s.texturePixels)))
        return fail(error, "texture shorter than the header says");
    if (!in.take(h.nodeCount, s.nodes) || !in.take(h.viewCount, s.views))
        return fail(error, "node or view records shorter than the header says");
    if (h.hasNormals && !in.take(v * 3, s.normals))
        return fail(error, "normals shorter than the header says");
    if (h.materialCount > 0 &&
        (!in.take(v, s.vertexMaterials) || !in.take(h.materialCount, s.materials)))
        return fail(error, "materials shorter than the header says");
    if (!in.take(h.lightCount, s.lights))
        return fail(error, "lights shorter than the header says");

    if (!indicesBelow(s.triangles, h.vertexCount) || !indicesBelow(s.points, h.vertexCount) ||
        !indicesBelow(s.lines, h.vertexCount))
        return fail(error, "primitive vertex number outside the vertices");
    for (uint16_t m : s.vertexMaterials)
        if (m >= h.materialCount)
            return fail(error, "vertex material outside the material records");
    for (size_t i = 0; i < s.views.size(); ++i)
        if (!nameTerminated(s.views[i].name) || s.views[i].valid != 1)
            return fail(error, "view " + std::to_string(i) + ": bad name or valid flag");
    for (size_t i = 0; i < s.lights.size(); ++i)
        if (s.lights[i].type > 3 || s.lights[i].reserved != 0)
            return fail(error, "light " + std::to_string(i) + ": bad type or reserved byte");
    return checkNodes(s, true, error);
}

} // namespace

bool parseResultStream(StreamForm form, const uint8_t* data, size_t size, ParsedResultStream& out,
                       std::string& error)
{
    out = ParsedResultStream{};
    out.form = form;
    error.clear();
    Cursor in(data, data ? size : 0);
    const bool parsed = form == StreamForm::Prc ? parsePrc(in, out, error) : parseU3d(in, out, error);
    if (!parsed)
        return false;
    if (in.left() != 0)
        return fail(error, std::to_string(in.left()) + " trailing bytes after the stream");
    return true;
}

bool readStreamFile(const char* path, std::vector<uint8_t>& bytes)
{
    FILE* file = std::strcmp(path, "-") == 0 ? stdin : std::fopen(path, "rb");
    if (file == nullptr)
        return false;
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + n);
    const bool ok = !std::ferror(file);
    if (file != stdin)
        std::fclose(file);
    return ok;
}
