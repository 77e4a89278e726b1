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

// Index arrays of attributes whose pool stayed empty would all be out of range.
void dropIndicesOfEmptyPools(AuthorGeometry& g)
{
    if (g.diffuseColors.empty())
        g.diffuseIndices.clear();
    if (g.specularColors.empty())
        g.specularIndices.clear();
    if (g.texCoords.empty())
        for (std::vector<uint32_t>& layer : g.texCoordIndices)
            layer.clear();
    if (g.normals.empty())
        g.normalIndices.clear();
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
            assemble(output_);
            dropIndicesOfEmptyPools(output_);
            changed_ = false;
        }
        return output_;
    }

protected:
    virtual bool accepts(uint32_t blockType) const = 0;
    virtual StreamFault readBody(uint32_t blockType, BitDecoder& in) = 0;
    virtual void discard() = 0;
    virtual void assemble(AuthorGeometry& out) const = 0;

    GeneratorDeclaration declaration_;

private:
    StreamFault fault_ = StreamFault::None;
    mutable bool changed_ = true;
    mutable AuthorGeometry output_;
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
    void assemble(AuthorGeometry& out) const override
    {
        const AuthorGeometry& g = mesh_.geometry;
        const bool crease = progressive_ || !authorNormalsUsable();
        // Field by field, so that normals about to be replaced are not copied first.
        out.cornersPerPrimitive = g.cornersPerPrimitive;
        out.primitiveCount = g.primitiveCount;
        out.positions = g.positions;
        out.diffuseColors = g.diffuseColors;
        out.specularColors = g.specularColors;
        out.texCoords = g.texCoords;
        out.primitiveMaterials = g.primitiveMaterials;
        out.positionIndices = g.positionIndices;
        out.diffuseIndices = g.diffuseIndices;
        out.specularIndices = g.specularIndices;
        for (size_t layer = 0; layer < kIfxMaxTextureLayers; ++layer)
            out.texCoordIndices[layer] = g.texCoordIndices[layer];
        out.materials = authorMaterials(declaration_, true);
        if (crease) {
            computeCreaseNormals(out.positions, out.positionIndices, declaration_.normalCrease(), out.normals,
                                 out.normalIndices);
        } else {
            out.normals = g.normals;
            out.normalIndices = g.normalIndices;
        }
    }

private:
    bool authorNormalsUsable() const
    {
        const AuthorGeometry& g = mesh_.geometry;
        if (declaration_.excludesNormals() || g.normals.empty() || g.normalIndices.size() != g.positionIndices.size())
            return false;
        for (uint32_t index : g.normalIndices)
            if (index >= g.normals.size())
                return false;
        return true;
    }

    ClodMeshState mesh_;
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

    void assemble(AuthorGeometry& out) const override
    {
        out = state_.geometry;
        out.materials = authorMaterials(declaration_, false);
    }

private:
    PointLineState state_;
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
