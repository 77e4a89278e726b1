#include "tests/support/sample_assembly.h"

namespace {

PRC3DTess unitCube()
{
    PRC3DTess tess;
    tess.coordinates = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 1, 1, 0, 1, 1, 1, 1, 0, 1, 1};
    const uint32_t corners[] = {0, 2, 1, 0, 3, 2, 4, 5, 6, 4, 6, 7, 0, 1, 5, 0, 5, 4,
                                1, 2, 6, 1, 6, 5, 2, 3, 7, 2, 7, 6, 3, 0, 4, 3, 4, 7};
    for (const uint32_t point : corners)
        tess.triangulated_index.push_back(point * 3);
    tess.face_tessellation = {tessFace(0x0002, {12})};
    return tess;
}

// A wedge: the three sides as one strip, then the two triangular ends as fans with
// per-vertex colours (written last, so they win on the shared vertices).
PRC3DTess wedge()
{
    PRC3DTess tess;
    tess.coordinates = {0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 1, 1, 0, 0, 1, 1};
    const uint32_t strip[] = {0, 3, 1, 4, 2, 5, 0, 3};
    const uint32_t fans[] = {0, 2, 1, 3, 4, 5};
    for (const uint32_t point : strip)
        tess.triangulated_index.push_back(point * 3);
    for (const uint32_t point : fans)
        tess.triangulated_index.push_back(point * 3);
    PRCTessFace ends = tessFace(0x0004, {2, 3, 3}, 8);
    ends.has_vertex_colors = true;
    ends.rgba_vertices = {250, 200, 40, 250, 200, 40, 250, 200, 40, 40, 160, 70, 40, 160, 70, 40, 160, 70};
    tess.face_tessellation = {tessFace(0x0008, {1, 8}), ends};
    return tess;
}

PrcProductOccurrence occurrence(const std::string& name, uint32_t partPlusOne, const PrcTransformation& location,
                                uint32_t style = kPrcNoIndex)
{
    PrcProductOccurrence o;
    o.base = namedBase(name);
    o.partPlusOne = partPlusOne;
    o.location = location;
    o.graphics.lineStyle = style;
    return o;
}

} // namespace

PrcModel sampleAssemblyModel()
{
    PrcModel model;
    PrcFileStructureSpec& fs = model.fileStructures.emplace_back();
    fs.uid = {0x7AB1E, 1, 2, 3};

    fs.globals.colours = {{0.55, 0.35, 0.2}, {0.8, 0.1, 0.1}, {0.2, 0.4, 0.8}};
    PrcMaterial blue;
    blue.diffusePlusOne = 3;
    fs.globals.materials = {blue};
    fs.globals.styles = {colourStyle(0), colourStyle(1), colourStyle(0, true)}; // wood, red, blue material

    fs.tessellations = {unitCube(), wedge()};

    PrcPartDefinition& top = fs.tree.parts.emplace_back();
    top.base = namedBase("top");
    top.graphics.lineStyle = 0;
    top.items = {polyBrepItem(0)};
    PrcPartDefinition& leg = fs.tree.parts.emplace_back();
    leg.base = namedBase("leg");
    leg.items = {polyBrepItem(0)};
    PrcPartDefinition& wedgePart = fs.tree.parts.emplace_back();
    wedgePart.base = namedBase("wedge");
    wedgePart.items = {polyBrepItem(1)};

    const Vector3d legScale{0.1, 0.1, 1};
    std::vector<PrcProductOccurrence>& o = fs.tree.occurrences;
    o.push_back(occurrence("table", 0, placement({0, 0, 0}, {1, 1, 1})));
    o.push_back(occurrence("top", 1, placement({-1, -0.5, 1}, {2, 1, 0.1})));
    o.push_back(occurrence("leg front left", 2, placement({-1, -0.5, 0}, legScale), 1));
    o.push_back(occurrence("leg front right", 2, placement({0.9, -0.5, 0}, legScale), 1));
    o.push_back(occurrence("leg back left", 2, placement({-1, 0.4, 0}, legScale), 2));
    o.push_back(occurrence("leg back right", 2, placement({0.9, 0.4, 0}, legScale)));
    o.push_back(occurrence("wedge", 3, placement({0.2, -0.2, 1.1}, {0.5, 0.4, 0.3})));
    PrcProductOccurrence mirrored = occurrence("wedge mirrored", 0, placement({-0.2, -0.2, 1.1}, {-0.5, 0.4, 0.3}));
    mirrored.prototypePlusOne = 7;
    o.push_back(mirrored);
    o[0].sons = {1, 2, 3, 4, 5, 6, 7};

    model.roots.push_back({fs.uid, 1});
    return model;
}
