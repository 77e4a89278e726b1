// Loading writer-built files into a scene: every block type, palettes and names,
// modifier chains, the scene graph's links, generators, and malformed input.
#include "tests/support/u3d_bit_encoder.h"
#include "tests/support/u3d_geometry_writer.h"
#include "tests/support/u3d_scene_blocks.h"
#include "u3dlib/block_types.h"
#include "u3dlib/modifier_chain.h"
#include "u3dlib/scene_loader.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace u3dlib;

namespace {

IFXRESULT load(const U3dBytes& file, Scene& scene, GeneratorReader reader = nullptr)
{
    return loadScene(file, {"", reader}, scene);
}

template <typename T>
const T& named(const Palette<T>& palette, const std::string& name)
{
    return palette.entry(palette.find(name).value_or(0)).object;
}

// Every block type whose Data is cut short makes the file corrupt; the same blocks
// whole load. (A chain cut only in its last block's padding is still whole.)
TEST(U3dSceneLoader, EveryBlockCutShortIsCorrupt)
{
    const std::vector<std::pair<const char*, U3dBytes>> blocks = {
        {"group", u3dGroupNodeBlock("G", {{"", kU3dIdentity}})},
        {"model", u3dModelNodeBlock("M", {{"", kU3dIdentity}}, "R")},
        {"light node", u3dLightNodeBlock("L", {}, "R")},
        {"view node", u3dViewNodeBlock("V", {}, "R", 0, {30, 0, 0}, {"B"})},
        {"shading", u3dShadingModifierBlock("M", {{"S"}}, 1)},
        {"light", u3dLightResourceBlock("L", {})},
        {"view", u3dViewResourceBlock("V", {"Root"})},
        {"shader", u3dLitTextureShaderBlock("S", "M", {{0, "T"}})},
        {"material", u3dMaterialBlock("M", {1, 1, 1})},
        {"texture", u3dTextureDeclarationBlock("T", 1, 1, kTextureTypeRgb, {{2, 0x0E, {"x.png"}, 0}})},
        {"file reference", u3dFileReferenceBlock({.urls = {"x.u3d"}, .nameFilters = {"*"}})},
        {"new object type", u3dNewObjectTypeBlock("Ext", 0x100, {0x101})},
        {"chain", u3dModifierChainBlock("G", kChainTypeNode, {u3dGroupNodeBlock("G", {})})},
    };
    for (const auto& [what, block] : blocks) {
        SCOPED_TRACE(what);
        Scene whole;
        // The whole file reference fails only for want of a document folder.
        EXPECT_EQ(load(u3dFile({block}), whole),
                  std::string(what) == "file reference" ? kIfxErrorExternalReferenceFailed : kIfxOk);
        const uint32_t size = loadU32LittleEndian(block, 4);
        for (const size_t cut : {size_t{2}, size_t{3}, size_t{8}}) {
            if (cut > size)
                continue;
            Scene scene;
            const U3dBytes shorter = u3dBlock(loadU32LittleEndian(block, 0), std::span(block).subspan(12, size - cut));
            EXPECT_EQ(load(u3dFile({shorter}), scene), kIfxErrorCorrupt) << cut;
            EXPECT_EQ(scene.nodes.size(), 1u); // a failed load leaves the scene as it was
        }
    }
}

TEST(U3dSceneLoader, InputThatIsNotAWholeU3dFileIsCorrupt)
{
    const U3dBytes good = u3dFile({u3dGroupNodeBlock("G", {{"", kU3dIdentity}})});
    U3dBytes overrun = u3dModifierChainBlock("G", kChainTypeNode, {u3dGroupNodeBlock("G", {})});
    overrun[12 + 20] = 0x7F; // inside the nested block's data size: past the chain's end
    // A count the Data cannot hold fails before anything is sized by it.
    const auto hugeCountAt = [](U3dBytes block, size_t at) {
        std::fill_n(block.begin() + 12 + static_cast<std::ptrdiff_t>(at), 4, 0xF0);
        return u3dFile({block});
    };
    const std::vector<std::pair<const char*, U3dBytes>> cases = {
        {"empty", {}},
        {"text", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!'}},
        {"header only, cut", U3dBytes(good.begin(), good.begin() + 20)},
        {"cut inside a block", U3dBytes(good.begin(), good.end() - 10)},
        {"no header first", u3dGroupNodeBlock("G", {})},
        {"nested block past its chain", u3dFile({overrun})},
        {"parents", hugeCountAt(u3dGroupNodeBlock("G", {}), 3)},
        {"shader lists", hugeCountAt(u3dShadingModifierBlock("G", {}), 11)},
        {"view passes", hugeCountAt(u3dViewResourceBlock("V", {}), 3)},
        {"texture images", hugeCountAt(u3dTextureDeclarationBlock("T", 1, 1, kTextureTypeRgb, {}), 12)},
    };
    for (const auto& [what, bytes] : cases) {
        Scene scene;
        EXPECT_EQ(load(bytes, scene), kIfxErrorCorrupt) << what;
    }
}

TEST(U3dSceneLoader, ContinuationOfNothingDeclaredAddsNothing)
{
    Scene scene;
    const U3dBytes orphan = U3dClodMeshWriter(u3dOneTriangleDeclaration("Ghost")).baseMeshBlock(u3dOneTriangle());
    ASSERT_EQ(load(u3dFile({orphan}), scene), kIfxOk);
    EXPECT_FALSE(scene.generators.find("Ghost"));
}

// Counts the continuations decoded, over every resource read by countingReader.
int continuationsDecoded = 0;

class CountingDecoder : public GeneratorDecoder {
public:
    explicit CountingDecoder(std::unique_ptr<GeneratorDecoder> inner) : inner_(std::move(inner)) {}
    const std::string& name() const override { return inner_->name(); }
    bool readContinuation(const Block& block, DecoderOptions options) override
    {
        ++continuationsDecoded;
        return inner_->readContinuation(block, options);
    }
    bool lost() const override { return inner_->lost(); }
    const AuthorGeometry& geometry() const override { return inner_->geometry(); }

private:
    std::unique_ptr<GeneratorDecoder> inner_;
};

std::unique_ptr<GeneratorDecoder> countingReader(const Block& block, DecoderOptions options)
{
    std::unique_ptr<GeneratorDecoder> decoder = readGeneratorDeclaration(block, options);
    return decoder ? std::make_unique<CountingDecoder>(std::move(decoder)) : nullptr;
}

// Continuations are decoded once the file is walked, by resource: each goes to the
// resource its name had where it stood, and one declared again keeps only its own (what
// the one before still had to decode is never decoded).
TEST(U3dSceneLoader, ContinuationsGoToTheDeclarationTheyFollow)
{
    const auto triangleAt = [](float x) {
        U3dBaseMeshDesc base = u3dOneTriangle();
        for (IFXVector3& p : base.positions)
            p.x += x;
        return base;
    };
    U3dClodMeshWriter first(u3dOneTriangleDeclaration("M")), again(u3dOneTriangleDeclaration("M")),
        other(u3dOneTriangleDeclaration("N"));
    const U3dBytes firstBase = first.baseMeshBlock(triangleAt(1)), againBase = again.baseMeshBlock(triangleAt(2)),
                   otherBase = other.baseMeshBlock(triangleAt(3));
    Scene scene;
    continuationsDecoded = 0;
    ASSERT_EQ(load(u3dFile({first.declarationBlock(), other.declarationBlock(), firstBase, again.declarationBlock(),
                            againBase, otherBase}),
                   scene, &countingReader),
              kIfxOk);
    EXPECT_EQ(continuationsDecoded, 2);
    for (const auto& [name, x] : {std::pair{"M", 2.0f}, std::pair{"N", 3.0f}}) {
        const ModelResource& resource = named(scene.generators, name);
        ASSERT_TRUE(resource.decoder) << name;
        const AuthorGeometry& geometry = resource.decoder->geometry();
        ASSERT_FALSE(geometry.positions.empty()) << name;
        EXPECT_EQ(geometry.positions[0].x, u3dOneTriangle().positions[0].x + x) << name;
    }
}

TEST(U3dSceneLoader, NameFiltersMatchWildcards)
{
    const struct {
        const char* name;
        const char* pattern;
        bool matches;
    } cases[] = {
        {"Wheel", "Wheel", true},   {"Wheel", "wheel", false}, {"Wheel", "W*", true},  {"Wheel", "*l", true},
        {"Wheel", "W?eel", true},   {"Wheel", "W?el", false},  {"", "*", true},        {"ab", "a*b*", true},
        {"abcbd", "a*bd", true},    {"abc", "a*d", false},     {"é", "?", true},       {"Wheel", "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(matchesNamePattern(c.name, c.pattern), c.matches) << c.name << " / " << c.pattern;
}

} // namespace
