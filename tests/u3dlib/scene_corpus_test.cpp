// Real files: every file loads into a scene (the malformed one fails with a code), and
// its palettes hold one entry per distinct name its declaration blocks declare.
#include "tests/support/files.h"
#include "u3dlib/block_types.h"
#include "u3dlib/modifier_chain.h"
#include "u3dlib/scene_blocks.h"
#include "u3dlib/scene_loader.h"
#include "u3dlib/texture_image.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>

using namespace u3dlib;

namespace {

// Distinct names per palette, from the declaration blocks at any chain depth.
using DeclaredNames = std::map<std::string, std::set<std::string>>;

std::string paletteOf(uint32_t type)
{
    switch (type) {
    case kBlockGroupNode:
    case kBlockModelNode:
    case kBlockLightNode:
    case kBlockViewNode: return "nodes";
    case kBlockClodMeshDeclaration: return "meshes";
    case kBlockPointSetDeclaration: return "point sets";
    case kBlockLineSetDeclaration: return "line sets";
    case kBlockLightResource: return "lights";
    case kBlockViewResource: return "views";
    case kBlockLitTextureShader: return "shaders";
    case kBlockMaterialResource: return "materials";
    case kBlockTextureDeclaration: return "textures";
    case kBlockMotionResource: return "motions";
    default: return "";
    }
}

void collectNames(std::span<const uint8_t> bytes, uint64_t offset, DeclaredNames& names)
{
    BlockCursor cursor(bytes, offset);
    while (const std::optional<Block> block = cursor.next()) {
        if (block->type == kBlockModifierChain) {
            ModifierChainHeader chain;
            if (readModifierChainHeader(*block, chain) == ChainStatus::Ok)
                collectNames(chain.nestedBlocks, chain.nestedOffset, names);
            continue;
        }
        const std::string palette = paletteOf(block->type);
        std::string name;
        if (!palette.empty() && readBlockName(*block, name))
            names[palette].insert(name);
    }
}

uint32_t countKind(const Scene& scene, GeneratorKind kind, bool withGeometryOnly = false)
{
    uint32_t n = 0;
    for (uint32_t id = 1; id < scene.generators.size(); ++id) {
        const ModelResource& resource = scene.generators.entry(id).object;
        n += resource.kind == kind && (!withGeometryOnly || resource.geometry()) ? 1 : 0;
    }
    return n;
}

TEST(U3dSceneCorpus, EveryFileLoadsWithTheObjectsItsBlocksDeclare)
{
    const auto files = corpusFiles("u3d", ".u3d");
    if (files.empty())
        GTEST_SKIP() << "no U3D corpus";
    for (const auto& path : files) {
        const std::vector<uint8_t> bytes = readFileBytes(path);
        const std::string name = path.filename().string();
        SCOPED_TRACE(name);
        Scene scene;
        LoadEnvironment environment;
        environment.baseFolder = pathUtf8(path.parent_path());
        environment.readGenerator = &readGeneratorDeclaration;
        const IFXRESULT result = loadScene(bytes, environment, scene);
        if (name == "vaastav_Cube.u3d") {
            EXPECT_EQ(result, kIfxErrorCorrupt);
            continue;
        }
        ASSERT_EQ(result, kIfxOk);

        DeclaredNames declared;
        collectNames(bytes, 0, declared);
        const auto expected = [&](const char* palette) { return static_cast<uint32_t>(declared[palette].size()) + 1; };
        EXPECT_EQ(scene.nodes.size(), expected("nodes"));
        EXPECT_EQ(scene.generators.size(),
                  1 + declared["meshes"].size() + declared["point sets"].size() + declared["line sets"].size());
        EXPECT_EQ(countKind(scene, GeneratorKind::PointSet), declared["point sets"].size());
        EXPECT_EQ(countKind(scene, GeneratorKind::LineSet), declared["line sets"].size());
        // Every resource reaches its decoder, and every one of the real files decodes.
        for (const GeneratorKind kind : {GeneratorKind::Mesh, GeneratorKind::PointSet, GeneratorKind::LineSet})
            EXPECT_EQ(countKind(scene, kind, true), countKind(scene, kind));
        EXPECT_EQ(scene.lights.size(), expected("lights"));
        EXPECT_EQ(scene.views.size(), expected("views"));
        EXPECT_EQ(scene.shaders.size(), expected("shaders"));
        EXPECT_EQ(scene.materials.size(), expected("materials"));
        EXPECT_EQ(scene.textures.size(), expected("textures"));

        uint32_t shading = 0, decodedTextures = 0;
        for (const auto& entry : scene.nodes.entries())
            for (const Modifier& modifier : entry.object.modifiers)
                shading += modifier.kind == ModifierKind::Shading ? 1 : 0;
        for (uint32_t id = 1; id < scene.textures.size(); ++id) {
            RgbaImage image;
            if (buildTextureImage(scene.textures.entry(id).object, image))
                ++decodedTextures;
        }
        EXPECT_EQ(decodedTextures, scene.textures.size() - 1);
        std::printf("%s: %u nodes, %u meshes, %u point sets, %u line sets, %u shaders, %u materials, "
                    "%u lights, %u views, %u textures (%u decode), %u shading modifiers on nodes\n",
                    name.c_str(), scene.nodes.size() - 1, countKind(scene, GeneratorKind::Mesh),
                    countKind(scene, GeneratorKind::PointSet), countKind(scene, GeneratorKind::LineSet),
                    scene.shaders.size() - 1, scene.materials.size() - 1, scene.lights.size() - 1,
                    scene.views.size() - 1, scene.textures.size() - 1, decodedTextures, shading);
    }
}

} // namespace
