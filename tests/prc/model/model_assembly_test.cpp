// The mesh cache, seen from inside: a writer-built file loaded and walked directly.
#include "prc/model/model_assembly.h"

#include "tests/prc/geometry/compressed_tess_records.h"
#include "tests/support/prc_entity_writer.h"

#include <utility>

#include <gtest/gtest.h>

namespace {

TEST(ModelAssembly, TheMeshCacheConvertsOncePerColour)
{
    // Three occurrences of one part under a root, with the given occurrence styles;
    // style k names colour k.
    const auto walk = [](std::vector<uint32_t> styles, AssemblyMesh& mesh) {
        PrcModel model;
        PrcFileStructureSpec& fs = model.fileStructures.emplace_back();
        fs.globals.colours = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
        fs.globals.styles = {colourStyle(0), colourStyle(1), colourStyle(2)};
        fs.tessellations = {tessOfTriangles({0, 0, 0, 1, 0, 0, 0, 1, 0})};
        fs.tree = singlePartTree(0);
        fs.tree.occurrences[0].partPlusOne = 0;
        for (const uint32_t style : styles) {
            fs.tree.occurrences[0].sons.push_back(static_cast<uint32_t>(fs.tree.occurrences.size()));
            PrcProductOccurrence& child = fs.tree.occurrences.emplace_back();
            child.partPlusOne = 1;
            child.graphics.lineStyle = style;
        }
        const auto loaded = loadPrcFile(buildPrcModelFile(model));
        for (int root = 0; root < 2; ++root) // the cache lives across roots
            assembleOccurrence(loaded->document, 0, 0, 0xFFFFFFFF, kIdentity4d, 0, 0, mesh);
        return std::move(loaded->document.fileStructures[0].meshCache);
    };

    AssemblyMesh same;
    const TessMeshCache once = walk({kPrcNoIndex, kPrcNoIndex, kPrcNoIndex}, same);
    ASSERT_EQ(once.size(), 1u);
    EXPECT_TRUE(once.contains(0, 0));
    EXPECT_EQ(same.triangles.size(), 6u * 3);
    EXPECT_EQ(same.triangles.back(), 17u); // every instance has vertices of its own

    AssemblyMesh styled;
    const TessMeshCache thrice = walk({0, 1, 2}, styled);
    EXPECT_EQ(thrice.size(), 3u);
    EXPECT_TRUE(thrice.contains(0, packColour(0, 255, 0)));
    EXPECT_EQ(styled.colours[3 * 4], 0); // the second instance is green
    EXPECT_EQ(styled.colours[3 * 4 + 1], 255);
}

TEST(ModelAssembly, TheMeshCacheFindsEachColourOnceWhereverItIsKept)
{
    TessMeshCache cache;
    cache.findOrAdd(4, 1).first.usesLeft = 1; // the slot of tessellation 4
    cache.findOrAdd(4, 2).first.usesLeft = 2; // beside it
    cache.erase(4, 1);                        // the slot is free, colour 2 is kept beside
    const auto [again, added] = cache.findOrAdd(4, 2);
    EXPECT_FALSE(added);
    EXPECT_EQ(again.usesLeft, 2u);
    EXPECT_TRUE(cache.findOrAdd(4, 3).second);
    EXPECT_EQ(cache.size(), 2u);
    cache.erase(4, 2);
    cache.erase(4, 3);
    EXPECT_EQ(cache.size(), 0u);
    EXPECT_FALSE(cache.contains(4, 3));
}

TEST(ModelAssembly, IdenticalCompressedRecordsConvertOnceAndPlaceEach)
{
    PrcModel model;
    PrcFileStructureSpec& fs = model.fileStructures.emplace_back();
    PrcCompressedTess strip;
    strip.record = stripRecord();
    PrcCompressedTess wider = strip;
    wider.record.tolerance = 2;
    fs.tessellations = {strip, strip, wider};
    fs.tree = singlePartTree(0);
    fs.tree.parts[0].items = {polyBrepItem(0), polyBrepItem(1), polyBrepItem(2)};
    const auto loaded = loadPrcFile(buildPrcModelFile(model));
    AssemblyMesh mesh;
    assembleOccurrence(loaded->document, 0, 0, 0xFFFFFFFF, kIdentity4d, 0, 0, mesh);

    const TessMeshCache& cache = loaded->document.fileStructures[0].meshCache;
    EXPECT_EQ(cache.size(), 2u);
    EXPECT_FALSE(cache.contains(1, 0)); // converted as tessellation 0
    ASSERT_EQ(mesh.triangles.size(), 3u * 2 * 3);
    EXPECT_EQ(mesh.vertices.size(), 3u * 4 * 3);
    EXPECT_EQ(mesh.vertices[3 * 4 + 3], mesh.vertices[3]);         // the copy placed alike
    EXPECT_EQ(mesh.vertices[2 * 3 * 4 + 3], 2 * mesh.vertices[3]); // the other record its own way
}

} // namespace
