// Real files: every block frames to its end at every chain level, every file loads
// (the malformed one fails with a code) with one palette entry per name its blocks
// declare, every texture decodes, and every model resource decodes to the counts its
// declaration announces, with every index in range, nothing non-finite, and progressive
// meshes consistently wound.
#include "tests/support/files.h"
#include "u3dlib/block_types.h"
#include "u3dlib/file_header.h"
#include "u3dlib/meta_data.h"
#include "u3dlib/modifier_chain.h"
#include "u3dlib/scene_loader.h"
#include "u3dlib/texture_image.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <set>

using namespace u3dlib;

namespace {

const char* paletteOf(uint32_t type)
{
    switch (type) {
    case kBlockGroupNode:
    case kBlockModelNode:
    case kBlockLightNode:
    case kBlockViewNode: return "nodes";
    case kBlockClodMeshDeclaration:
    case kBlockPointSetDeclaration:
    case kBlockLineSetDeclaration: return "resources";
    case kBlockLightResource: return "lights";
    case kBlockViewResource: return "views";
    case kBlockLitTextureShader: return "shaders";
    case kBlockMaterialResource: return "materials";
    case kBlockTextureDeclaration: return "textures";
    default: return nullptr;
    }
}

struct Declared {
    std::map<std::string, std::set<std::string>> names; // per palette
    std::map<std::string, GeneratorDeclaration> resources;
    std::vector<std::string> problems;
};

void walk(std::span<const uint8_t> bytes, uint64_t offset, DecoderOptions options, Declared& d)
{
    BlockCursor cursor(bytes, offset);
    while (const std::optional<Block> block = cursor.next()) {
        if (!block->metaData.empty() && !readMetaData(block->metaData).ok())
            d.problems.push_back("meta data at " + std::to_string(block->offset));
        ModifierChainHeader chain;
        if (block->type == kBlockModifierChain && readModifierChainHeader(*block, chain) == ChainStatus::Ok)
            walk(chain.nestedBlocks, chain.nestedOffset, options, d);
        GeneratorDeclaration declaration;
        if (readGeneratorDeclarationBlock(*block, options, declaration) == DeclarationStatus::Ok)
            d.resources[declaration.name] = declaration;
        std::string name;
        if (const char* palette = paletteOf(block->type); palette != nullptr && readBlockName(*block, name))
            d.names[palette].insert(name);
    }
    if (cursor.status() != FramingStatus::End)
        d.problems.push_back(std::string(describeFramingStatus(cursor.status())) + " at " +
                             std::to_string(cursor.offset()));
}

// What is wrong with a decoded resource: counts against the declaration, index ranges.
std::vector<std::string> problemsOf(const AuthorGeometry& g, const GeneratorDeclaration& d)
{
    std::vector<std::string> problems;
    const size_t corners = size_t{g.primitiveCount} * g.cornersPerPrimitive;
    if (g.positions.size() != d.maxResolution || g.primitiveCount != d.primitiveCount)
        problems.push_back("counts " + std::to_string(g.positions.size()) + "/" + std::to_string(g.primitiveCount));
    if (g.positionIndices.size() != corners || g.primitiveMaterials.size() != g.primitiveCount)
        problems.push_back("index array sizes");
    const auto inRange = [&](const std::vector<uint32_t>& indices, size_t pool, const char* what) {
        if ((!indices.empty() && indices.size() != corners) ||
            std::any_of(indices.begin(), indices.end(), [&](uint32_t i) { return i >= pool; }))
            problems.push_back(std::string(what) + " indices");
    };
    inRange(g.positionIndices, g.positions.size(), "position");
    inRange(g.normalIndices, g.normals.size(), "normal");
    inRange(g.diffuseIndices, g.diffuseColors.size(), "diffuse");
    inRange(g.specularIndices, g.specularColors.size(), "specular");
    for (const auto& layer : g.texCoordIndices)
        inRange(layer, g.texCoords.size(), "texture coordinate");
    if (std::any_of(g.primitiveMaterials.begin(), g.primitiveMaterials.end(),
                    [&](uint32_t m) { return m >= g.materials.size(); }))
        problems.push_back("material indices");
    if (d.kind == GeneratorKind::Mesh && d.minResolution < d.maxResolution) {
        std::set<std::pair<uint32_t, uint32_t>> edges;
        for (size_t c = 0; c < corners; ++c)
            if (!edges.insert({g.positionIndices[c], g.positionIndices[c - c % 3 + (c + 1) % 3]}).second) {
                problems.push_back("edge used twice in one direction");
                break;
            }
    }
    for (const IFXVector3& p : g.positions)
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            problems.push_back("non-finite position");
            break;
        }
    return problems;
}

TEST(U3dCorpus, EveryFileLoadsWhatItsBlocksDeclare)
{
    const auto files = corpusFiles("u3d", ".u3d");
    if (files.empty())
        GTEST_SKIP() << "no U3D corpus";
    for (const auto& path : files) {
        const std::vector<uint8_t> bytes = readFileBytes(path);
        const std::string name = path.filename().string();
        SCOPED_TRACE(name);
        Block headerBlock;
        FileHeader header;
        ASSERT_TRUE(readFirstBlockAsFileHeader(bytes, headerBlock, header));
        Declared declared;
        walk(bytes, 0, header.decoderOptions(), declared);
        Scene scene;
        const IFXRESULT result = loadScene(bytes, {pathUtf8(path.parent_path()), &readGeneratorDeclaration}, scene);
        if (name == "vaastav_Cube.u3d") { // a nested block larger than its chain
            EXPECT_EQ(result, kIfxErrorCorrupt);
            EXPECT_EQ(declared.problems.size(), 1u);
            continue;
        }
        ASSERT_EQ(result, kIfxOk);
        EXPECT_EQ(declared.problems, std::vector<std::string>{});

        const auto expected = [&](const char* palette) { return uint32_t(declared.names[palette].size()) + 1; };
        EXPECT_EQ(scene.nodes.size(), expected("nodes"));
        EXPECT_EQ(scene.generators.size(), expected("resources"));
        EXPECT_EQ(scene.lights.size(), expected("lights"));
        EXPECT_EQ(scene.views.size(), expected("views"));
        EXPECT_EQ(scene.shaders.size(), expected("shaders"));
        EXPECT_EQ(scene.materials.size(), expected("materials"));
        EXPECT_EQ(scene.textures.size(), expected("textures"));
        for (uint32_t id = 1; id < scene.textures.size(); ++id) {
            RgbaImage image;
            EXPECT_TRUE(buildTextureImage(scene.textures.entry(id).object, image)) << scene.textures.entry(id).name;
        }

        uint64_t counts[3] = {}, positions = 0;
        for (uint32_t id = 1; id < scene.generators.size(); ++id) {
            const auto& [resourceName, resource, type] = scene.generators.entry(id);
            const GeneratorDeclaration& d = declared.resources.at(resourceName);
            const AuthorGeometry* g = resource.geometry();
            ASSERT_NE(g, nullptr) << resourceName; // none of the real streams is lost
            EXPECT_EQ(resource.kind, d.kind);
            for (const std::string& problem : problemsOf(*g, d))
                ADD_FAILURE() << resourceName << ": " << problem;
            counts[static_cast<int>(d.kind)] += g->primitiveCount;
            positions += g->positions.size();
        }
        std::printf("%-48s %3u nodes, %3u resources, %7llu positions, %7llu faces, %5llu points, %5llu lines, "
                    "%u textures\n",
                    name.c_str(), scene.nodes.size() - 1, scene.generators.size() - 1, (unsigned long long)positions,
                    (unsigned long long)counts[0], (unsigned long long)counts[1], (unsigned long long)counts[2],
                    scene.textures.size() - 1);
    }
}

} // namespace
