#include "u3dlib/generator_declaration.h"

#include "u3dlib/block_types.h"

#include <algorithm>

namespace u3dlib {

namespace {

// Smallest encodings, for bounding counts by the bytes left.
constexpr uint64_t kMinShadingDescriptionBytes = 3 * 4;
constexpr uint64_t kMinBoneBytes = 2 + 2 + 4 + 4 + 3 * 4 + 4 * 4 + 6 * 4;
constexpr uint64_t kBoneCountBytes = 4;

void readShadingDescriptions(BitDecoder& in, GeneratorDeclaration& out, DeclarationStatus& status)
{
    const uint32_t count = in.readU32();
    if (!in.ok() || count > in.bytesLeft() / kMinShadingDescriptionBytes) {
        in.fail(DecodeError::PastEnd);
        return;
    }
    out.shadings.reserve(count);
    for (uint32_t i = 0; i < count && in.ok(); ++i) {
        ShadingDescription shading;
        shading.attributes = in.readU32();
        const uint32_t layers = in.readU32();
        if (!in.ok())
            return;
        if (layers > kIfxMaxTextureLayers) {
            status = DeclarationStatus::TooManyLayers;
            in.fail(DecodeError::ValueTooWide);
            return;
        }
        shading.textureLayerCount = layers;
        for (uint32_t layer = 0; layer < layers; ++layer)
            shading.texCoordDimensions[layer] = in.readU32();
        shading.originalShadingId = in.readU32();
        out.shadings.push_back(shading);
    }
}

Bone readBone(BitDecoder& in)
{
    Bone bone;
    bone.name = in.readString();
    bone.parentName = in.readString();
    bone.attributes = in.readU32();
    bone.length = in.readF32();
    for (float& v : bone.displacement)
        v = in.readF32();
    for (float& v : bone.orientation)
        v = in.readF32();
    if ((bone.attributes & kBoneHasLinks) != 0) {
        bone.linkCount = in.readU32();
        bone.linkLength = in.readF32();
    }
    if ((bone.attributes & kBoneHasJoints) != 0) {
        for (float& v : bone.startJoint)
            v = in.readF32();
        for (float& v : bone.endJoint)
            v = in.readF32();
    }
    for (float& v : bone.rotationConstraints)
        v = in.readF32();
    return bone;
}

void readSkeleton(BitDecoder& in, GeneratorDeclaration& out)
{
    // One writer ends the declaration right after the resource parameters.
    if (in.bytesLeft() < kBoneCountBytes) {
        out.boneCountMissing = true;
        return;
    }
    const uint32_t count = in.readU32();
    if (!in.ok() || count > in.bytesLeft() / kMinBoneBytes) {
        in.fail(DecodeError::PastEnd);
        return;
    }
    out.bones.reserve(count);
    for (uint32_t i = 0; i < count && in.ok(); ++i)
        out.bones.push_back(readBone(in));
}

} // namespace

const char* describeDeclarationStatus(DeclarationStatus status)
{
    switch (status) {
    case DeclarationStatus::Ok: return "ok";
    case DeclarationStatus::NotADeclaration: return "not a model resource declaration";
    case DeclarationStatus::FieldsCut: return "declaration cut short";
    case DeclarationStatus::TooManyLayers: return "too many texture layers";
    case DeclarationStatus::BadResolution: return "minimum resolution above the maximum";
    case DeclarationStatus::UnreadData: return "unread data after the declaration";
    }
    return "unknown declaration status";
}

DeclarationStatus readGeneratorDeclarationBlock(const Block& block, DecoderOptions options, GeneratorDeclaration& out)
{
    out = GeneratorDeclaration{};
    switch (block.type) {
    case kBlockClodMeshDeclaration: out.kind = GeneratorKind::Mesh; break;
    case kBlockPointSetDeclaration: out.kind = GeneratorKind::PointSet; break;
    case kBlockLineSetDeclaration: out.kind = GeneratorKind::LineSet; break;
    default: return DeclarationStatus::NotADeclaration;
    }
    const bool mesh = out.kind == GeneratorKind::Mesh;

    BitDecoder in(block.data, options);
    DeclarationStatus status = DeclarationStatus::Ok;
    out.name = in.readString();
    out.chainIndex = in.readU32();
    out.attributes = in.readU32();
    out.primitiveCount = in.readU32();
    out.positionCount = in.readU32();
    out.normalCount = in.readU32();
    out.diffuseColorCount = in.readU32();
    out.specularColorCount = in.readU32();
    out.texCoordCount = in.readU32();
    readShadingDescriptions(in, out, status);
    if (status != DeclarationStatus::Ok)
        return status;
    if (mesh) {
        out.minResolution = in.readU32();
        out.maxResolution = in.readU32();
    } else {
        out.minResolution = 0;
        out.maxResolution = out.positionCount;
    }
    for (uint32_t& q : out.qualityFactors)
        q = in.readU32();
    out.positionInverseQuant = in.readF32();
    out.normalInverseQuant = in.readF32();
    out.texCoordInverseQuant = in.readF32();
    out.diffuseInverseQuant = in.readF32();
    out.specularInverseQuant = in.readF32();
    if (mesh)
        for (float& p : out.meshParameters)
            p = in.readF32();
    else
        for (uint32_t& p : out.reservedParameters)
            p = in.readU32();
    if (in.ok())
        readSkeleton(in, out);
    if (!in.ok())
        return DeclarationStatus::FieldsCut;
    if (out.minResolution > out.maxResolution)
        return DeclarationStatus::BadResolution;

    const BlockEnd end = in.finish();
    if (end.status != EndStatus::Exact && end.status != EndStatus::ZeroTail)
        return end.status == EndStatus::Failed ? DeclarationStatus::FieldsCut : DeclarationStatus::UnreadData;
    return DeclarationStatus::Ok;
}

std::vector<IFXAuthorMaterial> authorMaterials(const GeneratorDeclaration& declaration, bool withNormals)
{
    std::vector<IFXAuthorMaterial> materials;
    materials.reserve(declaration.shadings.size());
    for (const ShadingDescription& shading : declaration.shadings) {
        IFXAuthorMaterial material{};
        material.numTextureLayers = shading.textureLayerCount;
        std::copy(shading.texCoordDimensions.begin(), shading.texCoordDimensions.end(), material.texCoordDimensions);
        material.originalMaterialId = shading.originalShadingId;
        material.diffuseColors = shading.hasDiffuse() ? 1 : 0;
        material.specularColors = shading.hasSpecular() ? 1 : 0;
        material.normals = withNormals ? 1 : 0;
        materials.push_back(material);
    }
    return materials;
}

} // namespace u3dlib
