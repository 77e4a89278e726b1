#include "u3dlib/generator_decoder.h"

#include "u3dlib/block_types.h"
#include "u3dlib/clod_base_mesh.h"
#include "u3dlib/clod_mesh_state.h"
#include "u3dlib/clod_progressive.h"
#include "u3dlib/generator_declaration.h"
#include "u3dlib/mesh_normals.h"
#include "u3dlib/point_line_sets.h"
#include "u3dlib/stream_fault.h"

namespace u3dlib {

namespace {

const AuthorGeometry& emptyGeometry()
{
    static const AuthorGeometry empty;
    return empty;
}

bool isCleanEnd(EndStatus status)
{
    return status == EndStatus::Exact || status == EndStatus::ZeroTail;
}

// Index arrays of attributes whose pool stayed empty would all be out of range: they
// are not handed out, but kept aside for the decoding to take back.
struct AsideIndices {
    std::vector<uint32_t> diffuseIndices;
    std::vector<uint32_t> specularIndices;
    std::vector<uint32_t> texCoordIndices[kIfxMaxTextureLayers];
    std::vector<uint32_t> normalIndices;
    std::vector<IFXAuthorFace> normalFaces;
};

void setAsideIndicesOfEmptyPools(AuthorGeometry& g, AsideIndices& aside)
{
    if (g.diffuseColors.empty())
        g.diffuseIndices.swap(aside.diffuseIndices);
    if (g.specularColors.empty())
        g.specularIndices.swap(aside.specularIndices);
    if (g.texCoords.empty())
        for (size_t layer = 0; layer < kIfxMaxTextureLayers; ++layer)
            g.texCoordIndices[layer].swap(aside.texCoordIndices[layer]);
    if (g.normals.empty()) {
        g.normalIndices.swap(aside.normalIndices);
        g.normalFaces.swap(aside.normalFaces);
    }
}

// Puts back what setAsideIndicesOfEmptyPools took out of g.
void takeBackIndices(AuthorGeometry& g, AsideIndices& aside)
{
    const auto back = [](auto& out, auto& set) {
        if (out.empty())
            out.swap(set);
    };
    back(g.diffuseIndices, aside.diffuseIndices);
    back(g.specularIndices, aside.specularIndices);
    for (size_t layer = 0; layer < kIfxMaxTextureLayers; ++layer)
        back(g.texCoordIndices[layer], aside.texCoordIndices[layer]);
    back(g.normalIndices, aside.normalIndices);
    back(g.normalFaces, aside.normalFaces);
}

// Moves the arrays the decoding builds from one geometry to the other; normals too
// when withNormals.
void moveDecodedArrays(AuthorGeometry& from, AuthorGeometry& to, bool withNormals)
{
    to.cornersPerPrimitive = from.cornersPerPrimitive;
    to.primitiveCount = from.primitiveCount;
    to.positions = std::move(from.positions);
    to.diffuseColors = std::move(from.diffuseColors);
    to.specularColors = std::move(from.specularColors);
    to.texCoords = std::move(from.texCoords);
    to.primitiveMaterials = std::move(from.primitiveMaterials);
    to.positionIndices = std::move(from.positionIndices);
    to.positionFaces = std::move(from.positionFaces);
    to.diffuseIndices = std::move(from.diffuseIndices);
    to.specularIndices = std::move(from.specularIndices);
    for (size_t layer = 0; layer < kIfxMaxTextureLayers; ++layer)
        to.texCoordIndices[layer] = std::move(from.texCoordIndices[layer]);
    if (withNormals) {
        to.normals = std::move(from.normals);
        to.normalIndices = std::move(from.normalIndices);
        to.normalFaces = std::move(from.normalFaces);
    }
}

class GeneratorBase : public GeneratorDecoder {
public:
    explicit GeneratorBase(GeneratorDeclaration declaration) : declaration_(std::move(declaration)) {}

    const std::string& name() const override { return declaration_.name; }
    bool lost() const override { return fault_ != StreamFault::None; }
    StreamFault fault() const { return fault_; }

    bool readContinuation(const Block& block, DecoderOptions options) override
    {
        if (lost() || !accepts(block.type))
            return false;
        BitDecoder in(block.data, options);
        const std::string name = in.readString();
        in.readU32(); // chain index
        if (in.ok() && name != declaration_.name)
            return false;
        takeBackOutput();
        StreamFault fault = in.ok() ? readBody(block.type, in) : StreamFault::Decode;
        if (fault == StreamFault::None && !isCleanEnd(in.finish().status))
            fault = StreamFault::BadEnd;
        if (fault != StreamFault::None) {
            fault_ = fault;
            discard();
            return false;
        }
        changed_ = true;
        return true;
    }

    const AuthorGeometry& geometry() const override
    {
        if (lost())
            return emptyGeometry();
        if (changed_) {
            // The decoded arrays move into the output rather than being copied; the next
            // continuation takes them back first.
            outputHoldsNormals_ = assemble(output_);
            setAsideIndicesOfEmptyPools(output_, asideIndices_);
            outputHoldsArrays_ = true;
            changed_ = false;
        }
        return output_;
    }

protected:
    virtual bool accepts(uint32_t blockType) const = 0;
    virtual StreamFault readBody(uint32_t blockType, BitDecoder& in) = 0;
    virtual void discard() = 0;
    // Moves the decoded arrays into out and completes it; true when the normals moved
    // too (rather than being made for out).
    virtual bool assemble(AuthorGeometry& out) const = 0;
    virtual AuthorGeometry& decoded() const = 0;

    GeneratorDeclaration declaration_;

private:
    void takeBackOutput()
    {
        changed_ = true;
        if (!outputHoldsArrays_)
            return;
        AuthorGeometry& g = decoded();
        AuthorGeometry& out = output_;
        takeBackIndices(out, asideIndices_);
        moveDecodedArrays(out, g, outputHoldsNormals_);
        output_ = AuthorGeometry{};
        asideIndices_ = AsideIndices{};
        outputHoldsArrays_ = false;
    }

    StreamFault fault_ = StreamFault::None;
    mutable bool changed_ = true;
    mutable bool outputHoldsArrays_ = false;
    mutable bool outputHoldsNormals_ = false;
    mutable AuthorGeometry output_;
    mutable AsideIndices asideIndices_;
};

class ClodMeshDecoder final : public GeneratorBase {
public:
    explicit ClodMeshDecoder(GeneratorDeclaration declaration) : GeneratorBase(std::move(declaration))
    {
        initMeshState(mesh_, declaration_);
    }

protected:
    bool accepts(uint32_t blockType) const override
    {
        return blockType == kBlockClodBaseMesh || blockType == kBlockClodProgressiveMesh;
    }

    StreamFault readBody(uint32_t blockType, BitDecoder& in) override
    {
        if (blockType == kBlockClodBaseMesh)
            return readClodBaseMesh(in, declaration_, mesh_);
        progressive_ = true;
        return readClodProgressive(in, declaration_, mesh_);
    }

    void discard() override { mesh_ = ClodMeshState{}; }

    // Author normals are kept only where they were sent as they are, in a mesh that is
    // all base; everywhere else the normals come from the geometry.
    bool assemble(AuthorGeometry& out) const override
    {
        const bool crease = progressive_ || !authorNormalsUsable();
        moveDecodedArrays(mesh_.geometry, out, !crease);
        out.materials = authorMaterials(declaration_, true);
        if (crease)
            computeCreaseNormals(out.positions, out.positionFaces, declaration_.normalCrease(), out.normals,
                                 out.normalFaces);
        return !crease;
    }

    AuthorGeometry& decoded() const override { return mesh_.geometry; }

private:
    bool authorNormalsUsable() const
    {
        const AuthorGeometry& g = mesh_.geometry;
        if (declaration_.excludesNormals() || g.normals.empty() || g.normalFaces.size() != g.positionFaces.size())
            return false;
        for (const IFXAuthorFace& face : g.normalFaces)
            if (face.a >= g.normals.size() || face.b >= g.normals.size() || face.c >= g.normals.size())
                return false;
        return true;
    }

    mutable ClodMeshState mesh_; // its arrays lent to the output between continuations
    bool progressive_ = false;
};

class PointLineDecoder final : public GeneratorBase {
public:
    explicit PointLineDecoder(GeneratorDeclaration declaration) : GeneratorBase(std::move(declaration))
    {
        initPointLineState(state_, declaration_);
    }

protected:
    bool accepts(uint32_t blockType) const override
    {
        return blockType == (declaration_.kind == GeneratorKind::PointSet ? kBlockPointSetContinuation
                                                                          : kBlockLineSetContinuation);
    }

    StreamFault readBody(uint32_t, BitDecoder& in) override
    {
        return readPointLineContinuation(in, declaration_, state_);
    }

    void discard() override { state_ = PointLineState{}; }

    bool assemble(AuthorGeometry& out) const override
    {
        moveDecodedArrays(state_.geometry, out, true);
        out.materials = authorMaterials(declaration_, false);
        return true;
    }

    AuthorGeometry& decoded() const override { return state_.geometry; }

private:
    mutable PointLineState state_; // its arrays lent to the output between continuations
};

} // namespace

const char* describeStreamFault(StreamFault fault)
{
    switch (fault) {
    case StreamFault::None: return "no fault";
    case StreamFault::Decode: return "stream decoding failed";
    case StreamFault::BadEnd: return "block does not end after its last update";
    case StreamFault::OutOfOrder: return "continuation out of order";
    case StreamFault::BeyondDeclared: return "more than the declaration allows";
    case StreamFault::IndexOutOfRange: return "index out of range";
    case StreamFault::BadValue: return "field value without meaning";
    case StreamFault::TooLarge: return "beyond the size limits";
    }
    return "unknown fault";
}

StreamFault generatorFault(const GeneratorDecoder& decoder)
{
    const auto* base = dynamic_cast<const GeneratorBase*>(&decoder);
    return base != nullptr ? base->fault() : StreamFault::None;
}

std::unique_ptr<GeneratorDecoder> readGeneratorDeclaration(const Block& block, DecoderOptions options)
{
    GeneratorDeclaration declaration;
    if (readGeneratorDeclarationBlock(block, options, declaration) != DeclarationStatus::Ok)
        return nullptr;
    if (declaration.kind == GeneratorKind::Mesh)
        return std::make_unique<ClodMeshDecoder>(std::move(declaration));
    return std::make_unique<PointLineDecoder>(std::move(declaration));
}

} // namespace u3dlib
