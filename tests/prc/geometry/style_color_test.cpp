#include "prc/geometry/style_color.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

constexpr uint32_t kNone = 0xFFFFFFFF;

StyleData colourStyle(uint64_t index)
{
    return {1.0, false, index};
}

StyleData materialStyle(uint64_t index)
{
    return {1.0, true, index};
}

MaterialData material(int64_t diffuse)
{
    MaterialData m;
    m.ambient = 0; // never used for the colour
    m.diffuse = diffuse;
    return m;
}

TEST(ResolveStyleColor, IndexRules)
{
    GlobalsData four;
    four.colours = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    four.materials = {material(1), material(-1), material(6)};
    four.styles = {colourStyle(6),   colourStyle(7),    colourStyle(2),   colourStyle(UINT64_MAX),
                   materialStyle(0), materialStyle(1), materialStyle(2), materialStyle(3),
                   colourStyle(0),   colourStyle(3),    colourStyle(12)};
    GlobalsData two;
    two.colours = {{1, 0, 0}, {0, 1, 0}};
    two.styles = {colourStyle(3)};

    struct Case {
        std::string name;
        const GlobalsData& globals;
        uint32_t style;
        bool resolved;
        uint8_t rgb[3];
    };
    const Case cases[] = {
        {"multiple of 3 counts colour doubles: 6 is colour 2", four, 0, true, {0, 255, 0}},
        {"not a multiple of 3 counts colours: 7 is past four", four, 1, false, {9, 8, 7}},
        {"2 is colour 2", four, 2, true, {0, 255, 0}},
        {"0 is colour 0", four, 8, true, {0, 0, 0}},
        {"3 with four colours is colour 1", four, 9, true, {255, 0, 0}},
        {"3 with two colours: 3 / 3 = 1", two, 0, true, {0, 255, 0}},
        {"12: neither 4 nor 12 is below four", four, 10, false, {9, 8, 7}},
        {"style without colour", four, 3, false, {9, 8, 7}},
        {"material's diffuse colour", four, 4, true, {255, 0, 0}},
        {"material without diffuse colour", four, 5, false, {9, 8, 7}},
        {"material's diffuse follows the same index rule", four, 6, true, {0, 255, 0}},
        {"material index past the materials", four, 7, false, {9, 8, 7}},
        {"no style", four, kNone, false, {9, 8, 7}},
        {"style index past the styles", four, 11, false, {9, 8, 7}},
    };
    const uint8_t fallback[3] = {9, 8, 7};
    for (const Case& c : cases) {
        uint8_t rgb[3] = {1, 1, 1};
        EXPECT_EQ(resolveStyleColor(c.globals, c.style, fallback, rgb), c.resolved) << c.name;
        EXPECT_EQ(std::vector<uint8_t>(rgb, rgb + 3), std::vector<uint8_t>(c.rgb, c.rgb + 3)) << c.name;
    }
    uint8_t rgb[3] = {1, 1, 1};
    EXPECT_FALSE(resolveStyleColor(four, kNone, nullptr, rgb));
    EXPECT_EQ(std::vector<uint8_t>(rgb, rgb + 3), (std::vector<uint8_t>{255, 255, 255}));
}

} // namespace
