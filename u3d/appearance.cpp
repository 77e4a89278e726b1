#include "u3d/appearance.h"

#include "u3d/u3d_blocks.h"
#include "u3dlib/block_types.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>

namespace {

constexpr uint32_t kMinShaderLists = 1;
constexpr uint32_t kMaxShaderLists = 64;
constexpr uint32_t kMaxShadersPerList = 256;
constexpr const char* kOrphanPrefix = "n_";

// One resolved shader list, kept for the rest of the traversal.
struct ShaderListMemo {
    IfxRef<IFXShadingModifier> holder; // keeps the key's address from being reused
    IFXRESULT listResult = kIfxOk;
    bool listPresent = false;
    uint32_t shaderCount = 0;
    std::shared_ptr<const std::vector<ShaderResolution>> resolutions;
};

struct AppearanceContext {
    std::vector<MaterialRecord>* materials = nullptr;
    const RawShadingFallbackMap* fallback = nullptr;
    std::map<std::pair<const IFXShadingModifier*, uint32_t>, ShaderListMemo> shaderLists;
};

bool gDebugColors = false;
AppearanceContext* gContext = nullptr;

void debugLine(const char* format, ...)
{
    if (!gDebugColors)
        return;
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
}

float clampUnit(float value)
{
    if (!std::isfinite(value) || !(value > 0)) // also turns -0 into 0
        return 0;
    return value > 1 ? 1 : value;
}

void readColour(IFXRESULT (IFXMaterialResource::*getter)(float*), IFXMaterialResource* material, float out[3])
{
    float rgb[3] = {0, 0, 0};
    if (ifxFailed((material->*getter)(rgb)))
        rgb[0] = rgb[1] = rgb[2] = 0;
    for (int i = 0; i < 3; ++i)
        out[i] = clampUnit(rgb[i]);
}

// A library string as UTF-8; units that cannot be converted become '?'.
std::string printableUtf8(const IFXString& text)
{
    uint32_t bytes = 0;
    if (ifxSucceeded(text.GetLengthU8(&bytes))) {
        std::string out(size_t{bytes} + 1, '\0');
        if (ifxSucceeded(text.ConvertToRawU8(reinterpret_cast<uint8_t*>(out.data()), bytes + 1))) {
            out.resize(bytes);
            return out;
        }
    }
    std::string out;
    for (uint32_t i = 0; i < text.Length(); ++i)
        out.push_back(text.Raw()[i] < 0x80 ? static_cast<char>(text.Raw()[i]) : '?');
    return out;
}

ShaderResolution resolveShader(IFXPalette* shaders, IFXPalette* materials, uint32_t shaderId)
{
    ShaderResolution resolution;
    IfxRef<IFXShaderLitTexture> shader = paletteEntryAs<IFXShaderLitTexture>(shaders, shaderId, IID_IFXShaderLitTexture);
    if (!shader)
        return resolution;
    uint32_t materialId = 0;
    const bool hasMaterialId = ifxSucceeded(shader->GetMaterialID(&materialId));
    uint32_t textureId = 0;
    if (ifxSucceeded(shader->GetTextureID(0, &textureId)) && textureId != 0) {
        resolution.setsTexture = true;
        resolution.textureId = textureId;
    }
    if (hasMaterialId) {
        IfxRef<IFXMaterialResource> material =
            paletteEntryAs<IFXMaterialResource>(materials, materialId, IID_IFXMaterialResource);
        if (material) {
            AppearanceEntry entry;
            addMaterialRecord(material.get(), entry);
            resolution.setsMaterial = true;
            std::memcpy(resolution.colour, entry.colour, 3);
            resolution.materialIndex = entry.materialIndex;
        }
    }
    return resolution;
}

// Resolves the first min(shaders, elements) shaders of a list; each distinct shader once.
ShaderListMemo resolveShaderList(IFXShadingModifier* shading, uint32_t elementCount, IFXPalette* shaders,
                                 IFXPalette* materials)
{
    ShaderListMemo memo;
    IfxRef<IFXShaderList> list;
    memo.listResult = kIfxErrorInvalidPointer;
    if (shading != nullptr) {
        memo.listResult = shading->GetElementShaderList(0, list.put());
        if (ifxFailed(memo.listResult))
            list.forget();
    }
    memo.listPresent = ifxSucceeded(memo.listResult) && list;
    auto resolutions = std::make_shared<std::vector<ShaderResolution>>();
    if (memo.listPresent) {
        if (ifxFailed(list->GetNumShaders(&memo.shaderCount)))
            memo.shaderCount = 0;
        const uint32_t used = std::min(memo.shaderCount, elementCount);
        resolutions->reserve(used);
        std::unordered_map<uint32_t, ShaderResolution> byShader;
        for (uint32_t i = 0; i < used; ++i) {
            uint32_t shaderId = 0;
            if (ifxFailed(list->GetShader(i, &shaderId))) {
                resolutions->emplace_back();
                continue;
            }
            auto known = byShader.find(shaderId);
            if (known == byShader.end())
                known = byShader.emplace(shaderId, resolveShader(shaders, materials, shaderId)).first;
            resolutions->push_back(known->second);
        }
    }
    memo.resolutions = std::move(resolutions);
    return memo;
}

// The shader list of a modifier, from the traversal's memo when it was met before.
ShaderListMemo shaderListOf(IFXShadingModifier* shading, uint32_t elementCount, IFXPalette* shaders,
                            IFXPalette* materials)
{
    if (gContext == nullptr || shading == nullptr)
        return resolveShaderList(shading, elementCount, shaders, materials);
    const auto key = std::make_pair(static_cast<const IFXShadingModifier*>(shading), elementCount);
    auto found = gContext->shaderLists.find(key);
    if (found == gContext->shaderLists.end()) {
        ShaderListMemo memo = resolveShaderList(shading, elementCount, shaders, materials);
        shading->AddRef();
        memo.holder = IfxRef<IFXShadingModifier>(shading);
        found = gContext->shaderLists.emplace(key, std::move(memo)).first;
    }
    ShaderListMemo copy;
    copy.listResult = found->second.listResult;
    copy.listPresent = found->second.listPresent;
    copy.shaderCount = found->second.shaderCount;
    copy.resolutions = found->second.resolutions;
    return copy;
}

bool readShadingModifierBlock(const U3dBlock& block, RawShadingFallbackMap& map)
{
    U3dDataReader in(block.data, block.dataSize);
    std::string name;
    uint32_t listCount = 0;
    if (!in.string(name) || !in.skip(8) || !in.u32(listCount) || listCount < kMinShaderLists ||
        listCount > kMaxShaderLists)
        return false;
    std::vector<std::string> firstList;
    for (uint32_t list = 0; list < listCount; ++list) {
        uint32_t shaderCount = 0;
        if (!in.u32(shaderCount) || shaderCount > kMaxShadersPerList)
            return false;
        for (uint32_t k = 0; k < shaderCount; ++k) {
            std::string shaderName;
            if (!in.string(shaderName))
                return false;
            if (list == 0)
                firstList.push_back(std::move(shaderName));
        }
    }
    if (name.empty() || firstList.empty())
        return false;
    map[name] = std::move(firstList);
    return true;
}

void readModifierChainBlock(const U3dBlock& block, RawShadingFallbackMap& map)
{
    U3dDataReader in(block.data, block.dataSize);
    std::string name;
    uint32_t chainType = 0, attributes = 0;
    if (!in.string(name) || !in.u32(chainType) || !in.u32(attributes))
        return;
    if ((attributes & 1) && !in.skip(16)) // bounding sphere
        return;
    if ((attributes & 2) && !in.skip(24)) // bounding box
        return;
    const size_t padding = (4 - (2 + name.size()) % 4) % 4;
    if (!in.skip(padding) || !in.skip(4)) // padding, modifier count
        return;
    U3dBlockCursor nested(in.here(), in.left());
    U3dBlock modifier;
    while (nested.next(modifier))
        if (modifier.type == u3dlib::kBlockShadingModifier)
            readShadingModifierBlock(modifier, map);
}

} // namespace

void ShaderResolution::applyTo(AppearanceEntry& entry) const
{
    if (setsTexture)
        entry.textureId = textureId;
    if (setsMaterial) {
        std::memcpy(entry.colour, colour, 3);
        entry.materialIndex = materialIndex;
    }
}

AppearanceEntry AppearanceTable::at(uint32_t element) const
{
    AppearanceEntry entry;
    if (shaderList && !shaderList->empty())
        (*shaderList)[element < shaderList->size() ? element : 0].applyTo(entry);
    if (!fallbackNames.empty())
        fallbackNames[element < fallbackNames.size() ? element : 0].applyTo(entry);
    return entry;
}

MaterialRecord defaultMaterialRecord()
{
    MaterialRecord record{};
    record.diffuse[0] = record.diffuse[1] = record.diffuse[2] = 1.0f;
    record.ambient[0] = record.ambient[1] = record.ambient[2] = 0.2f;
    record.opacity = 1.0f;
    return record;
}

uint8_t colourByte(float component)
{
    if (!(component > 0))
        return 0;
    if (component >= 1)
        return 255;
    return static_cast<uint8_t>(component * 255.0f + 0.5f);
}

void setU3dDebugColors(bool enabled)
{
    gDebugColors = enabled;
}

bool u3dDebugColors()
{
    return gDebugColors;
}

void publishAppearanceContext(std::vector<MaterialRecord>* materials, const RawShadingFallbackMap* fallback)
{
    withdrawAppearanceContext();
    gContext = new AppearanceContext{materials, fallback, {}};
}

void withdrawAppearanceContext()
{
    delete gContext;
    gContext = nullptr;
}

std::string paletteEntryNameUtf8(IFXPalette* palette, uint32_t id)
{
    IFXString name;
    if (palette == nullptr || ifxFailed(palette->GetName(id, &name)))
        return std::string();
    return printableUtf8(name);
}

IfxRef<IFXShadingModifier> findShadingInChain(IFXModifier* modifier)
{
    IfxRef<IFXModifierChain> chain;
    if (modifier == nullptr || ifxFailed(modifier->GetModifierChain(chain.put()))) {
        chain.forget();
        return {};
    }
    uint32_t count = 0;
    if (!chain || ifxFailed(chain->GetModifierCount(&count)))
        return {};
    for (uint32_t i = 0; i < count; ++i) {
        IfxRef<IFXModifier> candidate;
        if (ifxFailed(chain->GetModifier(i, candidate.put()))) {
            candidate.forget();
            continue;
        }
        IfxRef<IFXShadingModifier> shading =
            queryInterface<IFXShadingModifier>(candidate.get(), IID_IFXShadingModifier);
        if (shading)
            return shading;
    }
    return {};
}

IfxRef<IFXShadingModifier> findShadingModifier(IFXPalette* nodePalette, uint32_t nodeId, IFXUnknown* node,
                                               IFXModifier* resourceModifier)
{
    const char* via = "none";
    IfxRef<IFXShadingModifier> found;
    if (node != nullptr) {
        IfxRef<IFXModifier> nodeModifier = queryInterface<IFXModifier>(node, IID_IFXModifier);
        found = findShadingInChain(nodeModifier.get());
        if (found)
            via = "node-chain";
    }
    if (!found && resourceModifier != nullptr) {
        found = findShadingInChain(resourceModifier);
        if (found)
            via = "resource-chain";
    }
    if (found || nodePalette == nullptr) {
        debugLine("[U3D_DEBUG] findShadingModifier: via=%s (no name lookup, pNodePalette=%p)\n", via,
                  static_cast<void*>(nodePalette));
        return found;
    }

    IFXString name;
    if (ifxFailed(nodePalette->GetName(nodeId, &name)))
        return {};
    std::u16string prefixed = u"n_";
    prefixed.append(name.Raw(), name.Length());
    IFXString orphanName;
    uint32_t orphanId = 0;
    if (ifxSucceeded(orphanName.Assign(prefixed.data(), static_cast<uint32_t>(prefixed.size()))) &&
        ifxSucceeded(nodePalette->Find(orphanName, &orphanId))) {
        IfxRef<IFXModifier> orphan = paletteEntryAs<IFXModifier>(nodePalette, orphanId, IID_IFXModifier);
        found = findShadingInChain(orphan.get());
    }
    via = found ? "orphan-n_name" : "none";
    debugLine("[U3D_DEBUG] findShadingModifier: node='%s' via=%s\n", printableUtf8(name).c_str(), via);
    return found;
}

AppearanceTable resolveModelAppearance(IFXSceneGraph* sceneGraph, IFXShadingModifier* shading,
                                       uint32_t elementCount, IFXPalette* nodePalette, uint32_t nodeId)
{
    AppearanceTable table(elementCount);
    IfxRef<IFXPalette> shaders = scenePalette(sceneGraph, kIfxPaletteShader);
    IfxRef<IFXPalette> materials = scenePalette(sceneGraph, kIfxPaletteMaterial);

    const ShaderListMemo list = shaderListOf(shading, elementCount, shaders.get(), materials.get());
    if (!list.listPresent) {
        debugLine("[U3D_DEBUG] resolveModelAppearance: GetElementShaderList(0) failed, result=0x%08" PRIx32
                  " numMaterials=%" PRIu32 "\n",
                  static_cast<uint32_t>(list.listResult), elementCount);
    } else {
        debugLine("[U3D_DEBUG] resolveModelAppearance: numMaterials=%" PRIu32 " numShaders=%" PRIu32 "\n",
                  elementCount, list.shaderCount);
        table.shaderList = list.resolutions;
        for (const ShaderResolution& resolution : *list.resolutions)
            if (resolution.setsMaterial)
                return table;
    }

    if (gContext == nullptr || gContext->fallback == nullptr || nodePalette == nullptr)
        return table;
    const std::string key = kOrphanPrefix + paletteEntryNameUtf8(nodePalette, nodeId);
    const auto hit = gContext->fallback->find(key);
    if (hit == gContext->fallback->end())
        return table;
    const std::vector<std::string>& names = hit->second;
    debugLine("[U3D_DEBUG] resolveModelAppearance: raw fallback hit for '%s', %u shader names\n", key.c_str(),
              static_cast<unsigned>(names.size()));
    const size_t used = std::min<size_t>(names.size(), elementCount);
    for (size_t i = 0; i < used; ++i) {
        ShaderResolution resolution;
        IFXString shaderName;
        uint32_t shaderId = 0;
        if (ifxSucceeded(shaderName.AssignUtf8(names[i].c_str())) && shaders &&
            ifxSucceeded(shaders->Find(shaderName, &shaderId)))
            resolution = resolveShader(shaders.get(), materials.get(), shaderId);
        table.fallbackNames.push_back(resolution);
    }
    return table;
}

void addMaterialRecord(IFXMaterialResource* material, AppearanceEntry& entry)
{
    MaterialRecord record{};
    readColour(&IFXMaterialResource::GetDiffuse, material, record.diffuse);
    readColour(&IFXMaterialResource::GetAmbient, material, record.ambient);
    readColour(&IFXMaterialResource::GetSpecular, material, record.specular);
    readColour(&IFXMaterialResource::GetEmission, material, record.emissive);
    float reflectivity = 0;
    if (ifxSucceeded(material->GetReflectivity(&reflectivity)))
        record.reflectivity = clampUnit(reflectivity);
    float opacity = 1;
    if (ifxFailed(material->GetOpacity(&opacity)))
        opacity = 1;
    record.opacity = clampUnit(opacity);
    uint32_t transparent = 1;
    if (ifxFailed(material->GetTransparent(&transparent)))
        transparent = 1;
    record.transparent = transparent != 0 && record.opacity < 1 ? 1 : 0;

    for (int i = 0; i < 3; ++i)
        entry.colour[i] = colourByte(record.diffuse[i]);
    if (gContext == nullptr || gContext->materials == nullptr)
        return;
    std::vector<MaterialRecord>& list = *gContext->materials;
    for (size_t i = 1; i < list.size(); ++i)
        if (std::memcmp(&list[i], &record, sizeof record) == 0) {
            entry.materialIndex = static_cast<uint16_t>(i);
            return;
        }
    if (list.size() >= kMaxMaterialRecords) {
        entry.materialIndex = 0;
        return;
    }
    list.push_back(record);
    entry.materialIndex = static_cast<uint16_t>(list.size() - 1);
}

RawShadingFallbackMap buildRawShadingFallbackMap(const uint8_t* data, size_t size)
{
    RawShadingFallbackMap map;
    U3dBlockCursor blocks(data, size);
    U3dBlock block;
    while (blocks.next(block))
        if (block.type == u3dlib::kBlockModifierChain)
            readModifierChainBlock(block, map);
    debugLine("[U3D_DEBUG] raw shading fallback map: %zu target names\n", map.size());
    return map;
}
