#include "prc/geometry/style_color.h"

#include <algorithm>
#include <cmath>

uint8_t colourComponentToByte(double c)
{
    // NaN fails both comparisons below and lands on 0 like a negative value.
    if (!(c >= 0))
        return 0;
    return static_cast<uint8_t>(std::min(c, 1.0) * 255.0 + 0.5);
}

bool resolveStyleColor(const GlobalsData& globals, uint32_t styleIndex, const uint8_t* defaultRgb,
                       uint8_t rgb[3])
{
    for (int i = 0; i < 3; ++i)
        rgb[i] = defaultRgb ? defaultRgb[i] : 255;
    if (styleIndex == 0xFFFFFFFFu || styleIndex >= globals.styles.size())
        return false;
    const StyleData& style = globals.styles[styleIndex];
    if (static_cast<int64_t>(style.colourOrMaterialIndex) < 0)
        return false;

    uint64_t colourIndex = style.colourOrMaterialIndex;
    if (style.isMaterial) {
        if (colourIndex >= globals.materials.size())
            return false;
        const int64_t diffuse = globals.materials[colourIndex].diffuse;
        if (diffuse < 0)
            return false;
        colourIndex = static_cast<uint64_t>(diffuse);
    }

    // Writers disagree on whether the index counts colours or colour doubles.
    const size_t count = globals.colours.size();
    const Colour* colour = nullptr;
    if (colourIndex % 3 == 0 && colourIndex / 3 < count)
        colour = &globals.colours[colourIndex / 3];
    else if (colourIndex < count)
        colour = &globals.colours[colourIndex];
    if (colour == nullptr)
        return false;
    rgb[0] = colourComponentToByte(colour->r);
    rgb[1] = colourComponentToByte(colour->g);
    rgb[2] = colourComponentToByte(colour->b);
    return true;
}
