#include "tests/u3d/fake_library.h"
#include "u3d/scene_collections.h"
#include "u3d/texture_atlas.h"

#include <gtest/gtest.h>

namespace {

struct PackCase {
    std::vector<std::pair<uint32_t, uint32_t>> sizes;
    std::vector<std::pair<uint32_t, uint32_t>> places;
    uint32_t width, height;
};

TEST(TextureShelves, PackInOrderOnShelvesUpTo4096Wide)
{
    const PackCase cases[] = {
        {{{3000, 100}, {2000, 50}}, {{0, 0}, {0, 100}}, 3000, 150},
        {{{1000, 10}, {1000, 10}, {1000, 10}}, {{0, 0}, {1000, 0}, {2000, 0}}, 3000, 10},
        {{{4096, 5}, {1, 7}, {4095, 2}, {2, 1}}, {{0, 0}, {0, 5}, {1, 5}, {0, 12}}, 4096, 13},
    };
    for (const PackCase& c : cases) {
        std::vector<DecodedTexture> textures;
        for (const auto& [w, h] : c.sizes)
            textures.push_back(DecodedTexture{0, w, h, {}, 0, 0});
        uint32_t width = 0, height = 0;
        packTextureShelves(textures, width, height);
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(height, c.height);
        for (size_t i = 0; i < textures.size(); ++i)
            EXPECT_EQ(std::make_pair(textures[i].x, textures[i].y), c.places[i]) << "texture " << i;
    }
}

class TextureChoice : public FakeLibraryTest {
protected:
    bool choose(const std::vector<uint32_t>& candidates)
    {
        const bool chosen = chooseTexture(scene.graph(), candidates, coords, sources, model);
        EXPECT_EQ(gOutstandingReferences, 0);
        return chosen;
    }
    void TearDown() override { releaseU3dModel(&model); }

    std::vector<float> coords;
    std::vector<uint32_t> sources;
    U3dModel model{};
};

TEST_F(TextureChoice, SingleTextureKeepsTheCoordinates)
{
    const uint32_t red = scene.texture("red", 2, 1, {255, 0, 0, 255});
    const uint32_t wide = scene.texture("wide", 5000, 1, {0, 0, 0, 0}); // too wide to decode
    coords = {2.5f, 0.5f};
    sources = {red};
    EXPECT_FALSE(choose({}));
    ASSERT_TRUE(choose({wide, red}));
    EXPECT_EQ(std::make_tuple(model.textureWidth, model.textureHeight, model.texturePixels[4], model.texturePixels[5]),
              std::make_tuple(2u, 1u, 255, 0));
    EXPECT_EQ(coords, (std::vector<float>{2.5f, 0.5f})); // one decoded: no atlas, no rewrite
}

TEST_F(TextureChoice, SeveralTexturesArePackedAndCoordinatesRewritten)
{
    const uint32_t red = scene.texture("red", 4, 2, {255, 0, 0, 255});
    const uint32_t green = scene.texture("green", 2, 4, {0, 255, 0, 255});
    const uint32_t broken = scene.texture("broken", 2, 2, {0, 0, 0, 255});
    static_cast<FakeTexture*>(scene.palette(kIfxPaletteTexture).entries[broken].object)->decodeFails = true;
    coords = {2.25f, 0.5f, 1.0f, 3.0f, 0.5f, 0.5f, -1, -1, 0.5f, 0.5f, -2, 0.5f};
    sources = {red, green, broken, kNoTexture, kNoTexture, green};
    ASSERT_TRUE(choose({red, green, broken}));
    ASSERT_EQ(model.textureWidth, 6u);
    ASSERT_EQ(model.textureHeight, 4u);
    const std::vector<float> expected = {0.25f * 4 / 6, 0.5f * 2 / 4, (1.0f * 2 + 4) / 6, 1.0f, -1, -1, -1, -1,
                                         -1, -1, -2, 0.5f};
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_FLOAT_EQ(coords[i], expected[i]) << "coordinate " << i;
    auto pixel = [&](uint32_t x, uint32_t y) {
        const uint8_t* p = model.texturePixels + (size_t{y} * 6 + x) * 4;
        return std::array<uint8_t, 4>{p[0], p[1], p[2], p[3]};
    };
    EXPECT_EQ(pixel(0, 0), (std::array<uint8_t, 4>{255, 0, 0, 255}));
    EXPECT_EQ(pixel(5, 3), (std::array<uint8_t, 4>{0, 255, 0, 255}));
    EXPECT_EQ(pixel(0, 3), (std::array<uint8_t, 4>{0, 0, 0, 0})); // uncovered: transparent black
}

TEST_F(TextureChoice, AtlasBeyondThePayloadLimitIsNotBuilt)
{
    // Tall and wide strips in turn: every pair opens two shelves, 4097 rows in all.
    std::vector<uint32_t> candidates;
    for (int i = 0; i < 10; ++i)
        candidates.push_back(scene.texture("t" + std::to_string(i), i % 2 ? 4096 : 1, i % 2 ? 1 : 4096, {1, 2, 3, 4}));
    sources = {candidates[0]};
    coords = {0.5f, 0.5f};
    EXPECT_FALSE(choose(candidates));
    EXPECT_EQ(model.texturePixels, nullptr);
    EXPECT_GT(uint64_t{model.textureWidth} * model.textureHeight * 4, kPayloadLimitBytes);
}

} // namespace
