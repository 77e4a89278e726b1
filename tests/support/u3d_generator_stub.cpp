#include "tests/support/u3d_generator_stub.h"

#include "tests/support/u3d_bit_encoder.h"
#include "u3dlib/block_types.h"

using namespace u3dlib;

namespace {

class StubGenerator final : public GeneratorDecoder {
public:
    StubGenerator(std::string name, uint32_t corners) : name_(std::move(name)) { geometry_.cornersPerPrimitive = corners; }

    const std::string& name() const override { return name_; }
    bool lost() const override { return lost_; }
    const AuthorGeometry& geometry() const override { return lost_ ? empty_ : geometry_; }

    bool readContinuation(const Block& block, DecoderOptions options) override
    {
        BitDecoder in(block.data, options);
        in.readString();
        const uint32_t n = in.readU32();
        if (!in.ok() || n == kStubLoseResource || n > 1000) {
            lost_ = true;
            return false;
        }
        for (uint32_t i = 0; i < n; ++i) {
            const auto base = static_cast<uint32_t>(geometry_.positions.size());
            for (uint32_t c = 0; c < geometry_.cornersPerPrimitive; ++c) {
                geometry_.positions.push_back(IFXVector3{static_cast<float>(base + c), 0, 0});
                geometry_.positionIndices.push_back(base + c);
            }
            geometry_.primitiveMaterials.push_back(0);
            ++geometry_.primitiveCount;
        }
        return true;
    }

private:
    std::string name_;
    bool lost_ = false;
    AuthorGeometry geometry_;
    AuthorGeometry empty_;
};

} // namespace

std::unique_ptr<GeneratorDecoder> readStubGeneratorDeclaration(const Block& block, DecoderOptions options)
{
    BitDecoder in(block.data, options);
    std::string name = in.readString();
    in.readU32();
    if (!in.ok())
        return nullptr;
    const uint32_t corners = block.type == kBlockPointSetDeclaration ? 1 : block.type == kBlockLineSetDeclaration ? 2 : 3;
    return std::make_unique<StubGenerator>(std::move(name), corners);
}

U3dBytes u3dStubGeneratorDeclaration(uint32_t type, const std::string& name)
{
    U3dBitEncoder out;
    out.writeString(name);
    out.writeU32(0);
    return u3dBlock(type, out.finish());
}

U3dBytes u3dStubGeneratorContinuation(uint32_t type, const std::string& name, uint32_t primitives)
{
    U3dBitEncoder out;
    out.writeString(name);
    out.writeU32(primitives);
    return u3dBlock(type, out.finish());
}
