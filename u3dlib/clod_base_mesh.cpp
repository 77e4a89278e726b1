#include "u3dlib/clod_base_mesh.h"

#include <algorithm>

namespace u3dlib {

namespace {

constexpr uint64_t kFloatBytes = 4;
constexpr uint32_t kShadingContext = 1;

struct BaseCounts {
    uint32_t faces = 0;
    uint32_t positions = 0;
    uint32_t normals = 0;
    uint32_t diffuse = 0;
    uint32_t specular = 0;
    uint32_t texCoords = 0;
};

StreamFault checkCounts(const BaseCounts& c, const GeneratorDeclaration& d, const BitDecoder& in)
{
    if (c.positions > d.maxResolution || c.faces > d.primitiveCount || c.diffuse > d.diffuseColorCount ||
        c.specular > d.specularColorCount || c.texCoords > d.texCoordCount)
        return StreamFault::BeyondDeclared;
    if (c.positions > kMaxGeneratorPositions || c.faces > kMaxGeneratorPrimitives ||
        std::max({c.normals, c.diffuse, c.specular, c.texCoords}) > kMaxGeneratorAttributes)
        return StreamFault::TooLarge;
    const uint64_t floats = 3 * uint64_t{c.positions} + 3 * uint64_t{c.normals} +
                            4 * (uint64_t{c.diffuse} + c.specular + c.texCoords);
    if (floats > in.bytesLeft() / kFloatBytes)
        return StreamFault::Decode;
    return StreamFault::None;
}

void readVector3s(BitDecoder& in, uint32_t count, std::vector<IFXVector3>& out)
{
    out.reserve(count);
    for (uint32_t i = 0; i < count && in.ok(); ++i) {
        IFXVector3 v{};
        v.x = in.readF32();
        v.y = in.readF32();
        v.z = in.readF32();
        out.push_back(v);
    }
}

void readVector4s(BitDecoder& in, uint32_t count, std::vector<IFXVector4>& out)
{
    out.reserve(count);
    for (uint32_t i = 0; i < count && in.ok(); ++i) {
        IFXVector4 v{};
        v.r = in.readF32();
        v.g = in.readF32();
        v.b = in.readF32();
        v.a = in.readF32();
        out.push_back(v);
    }
}

// An index below count, coded in the static context of count.
bool readIndex(BitDecoder& in, uint32_t count, uint32_t& index, StreamFault& fault)
{
    index = in.readCompressedU32(staticContext(count));
    if (!in.ok()) {
        fault = StreamFault::Decode;
        return false;
    }
    if (index >= count) {
        fault = StreamFault::IndexOutOfRange;
        return false;
    }
    return true;
}

} // namespace

StreamFault readClodBaseMesh(BitDecoder& in, const GeneratorDeclaration& declaration, ClodMeshState& mesh)
{
    if (mesh.positionCount() != 0 || mesh.faceCount() != 0)
        return StreamFault::OutOfOrder;
    // An earlier empty progressive block may have indexed the empty mesh.
    mesh.facesIndexed = false;
    mesh.facesAtPosition.clear();
    BaseCounts c;
    c.faces = in.readU32();
    c.positions = in.readU32();
    c.normals = in.readU32();
    c.diffuse = in.readU32();
    c.specular = in.readU32();
    c.texCoords = in.readU32();
    if (!in.ok())
        return StreamFault::Decode;
    if (const StreamFault fault = checkCounts(c, declaration, in); fault != StreamFault::None)
        return fault;

    AuthorGeometry& g = mesh.geometry;
    readVector3s(in, c.positions, g.positions);
    readVector3s(in, c.normals, g.normals);
    readVector4s(in, c.diffuse, g.diffuseColors);
    readVector4s(in, c.specular, g.specularColors);
    readVector4s(in, c.texCoords, g.texCoords);
    if (!in.ok())
        return StreamFault::Decode;

    const bool normals = !declaration.excludesNormals();
    const uint64_t reserveFaces = std::min<uint64_t>(c.faces, in.bitsLeft());
    g.primitiveMaterials.reserve(reserveFaces);
    g.positionFaces.reserve(reserveFaces);
    if (normals)
        g.normalFaces.reserve(reserveFaces);

    StreamFault fault = StreamFault::None;
    for (uint32_t f = 0; f < c.faces; ++f) {
        const uint32_t shading = in.readCompressedU32(adaptiveContext(kShadingContext));
        if (!in.ok())
            return StreamFault::Decode;
        if (shading >= declaration.shadings.size())
            return StreamFault::IndexOutOfRange;
        const ShadingDescription& sd = declaration.shadings[shading];
        std::array<uint32_t, 3> positions{};
        IFXAuthorFace normalFace{};
        std::array<CornerAttributes, 3> attributes{};
        for (uint32_t k = 0; k < 3; ++k) {
            CornerAttributes& a = attributes[k];
            if (!readIndex(in, c.positions, positions[k], fault))
                return fault;
            if (normals && !readIndex(in, c.normals, cornerOf(normalFace, k), fault))
                return fault;
            if (sd.hasDiffuse() && !readIndex(in, c.diffuse, a.diffuse, fault))
                return fault;
            if (sd.hasSpecular() && !readIndex(in, c.specular, a.specular, fault))
                return fault;
            for (uint32_t layer = 0; layer < sd.textureLayerCount; ++layer)
                if (!readIndex(in, c.texCoords, a.texCoord[layer], fault))
                    return fault;
        }
        if (normals)
            g.normalFaces.push_back(normalFace);
        appendFace(mesh, shading, positions, attributes);
    }
    return StreamFault::None;
}

} // namespace u3dlib
