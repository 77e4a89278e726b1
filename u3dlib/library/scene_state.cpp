#include "u3dlib/library/scene_state.h"

#include "runtime/utf.h"

using namespace u3dlib;

namespace {

// Calls visit with the palette of the given number; false for an unknown number.
template <typename Visit>
bool withPalette(const Scene& scene, uint32_t number, Visit&& visit)
{
    switch (number) {
    case kIfxPaletteMaterial: visit(scene.materials); return true;
    case kIfxPaletteGenerator: visit(scene.generators); return true;
    case kIfxPaletteShader: visit(scene.shaders); return true;
    case kIfxPaletteTexture: visit(scene.textures); return true;
    case kIfxPaletteMotion: visit(scene.motions); return true;
    case kIfxPaletteNode: visit(scene.nodes); return true;
    case kIfxPaletteLightResource: visit(scene.lights); return true;
    case kIfxPaletteMixer: visit(scene.mixers); return true;
    case kIfxPaletteViewResource: visit(scene.views); return true;
    default: return false;
    }
}

} // namespace

uint32_t paletteSize(const Scene& scene, uint32_t paletteNumber)
{
    uint32_t size = 0;
    withPalette(scene, paletteNumber, [&](const auto& palette) { size = palette.size(); });
    return size;
}

const std::string* paletteEntryName(const Scene& scene, uint32_t paletteNumber, uint32_t id)
{
    const std::string* name = nullptr;
    withPalette(scene, paletteNumber, [&](const auto& palette) {
        if (id < palette.size())
            name = &palette.entry(id).name;
    });
    return name;
}

std::optional<uint32_t> findPaletteEntry(const Scene& scene, uint32_t paletteNumber, const std::string& name)
{
    std::optional<uint32_t> id;
    withPalette(scene, paletteNumber, [&](const auto& palette) { id = palette.find(name); });
    return id;
}

const std::vector<Modifier>* entryModifiers(const Scene& scene, uint32_t paletteNumber, uint32_t id)
{
    switch (paletteNumber) {
    case kIfxPaletteNode: return id < scene.nodes.size() ? &scene.nodes.entry(id).object.modifiers : nullptr;
    case kIfxPaletteGenerator:
        return id < scene.generators.size() ? &scene.generators.entry(id).object.modifiers : nullptr;
    case kIfxPaletteTexture: return id < scene.textures.size() ? &scene.textures.entry(id).object.modifiers : nullptr;
    default: return nullptr;
    }
}

const std::vector<uint32_t>& SceneState::childrenOf(uint32_t nodeId)
{
    if (!children) {
        // One pass over every parent link; a node appears once under each parent.
        std::vector<std::vector<uint32_t>> built(scene.nodes.size());
        for (uint32_t id = 0; id < scene.nodes.size(); ++id) {
            for (const NodeParent& parent : scene.nodes.entry(id).object.parents) {
                std::vector<uint32_t>& list = built[scene.nodes.resolve(parent.name)];
                if (list.empty() || list.back() != id)
                    list.push_back(id);
            }
        }
        children = std::move(built);
    }
    static const std::vector<uint32_t> none;
    return nodeId < children->size() ? (*children)[nodeId] : none;
}

const RgbaImage* SceneState::textureImage(uint32_t textureId)
{
    if (textureId >= scene.textures.size())
        return nullptr;
    if (!textureImage_ || textureImage_->first != textureId) {
        textureImage_.reset(); // the old image goes before the new one is made
        auto image = std::make_shared<RgbaImage>();
        if (!buildTextureImage(scene.textures.entry(textureId).object, *image))
            image.reset();
        textureImage_.emplace(textureId, std::move(image));
    }
    return textureImage_->second.get();
}

bool stringToUtf8(const IFXString& text, std::string& out)
{
    return utf16ToUtf8(std::u16string_view(text.Raw(), text.Length()), out);
}

IFXRESULT utf8ToString(const std::string& text, IFXString& out)
{
    std::u16string wide;
    utf8ToUtf16Lossy(text, wide);
    if (wide.size() > 0x3FFFFFFF)
        return kIfxErrorInvalidArgument;
    return out.Assign(wide.data(), static_cast<uint32_t>(wide.size()));
}
