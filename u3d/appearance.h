// Colour, material and texture of each material element of a model resource, from the
// shading modifier that names its shaders, or from the raw shading fallback map when
// the shaders give no material.
#pragma once

#include "runtime/result_stream.h"
#include "u3d/ifx_ref.h"
#include "u3d/scene_collections.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct AppearanceEntry {
    uint8_t colour[3] = {255, 255, 255};
    uint32_t textureId = kNoTexture;
    uint16_t materialIndex = 0; // into the material list; 0 is the default material
};

// What resolving one shader does to an entry: a texture other than 0 replaces the
// entry's, a material replaces its colour and material index.
struct ShaderResolution {
    bool setsTexture = false;
    uint32_t textureId = kNoTexture;
    bool setsMaterial = false;
    uint8_t colour[3] = {255, 255, 255};
    uint16_t materialIndex = 0;

    void applyTo(AppearanceEntry& entry) const;
};

// The appearance entries of a resource's elements. Every element at or beyond the
// length of a shader list uses that list's first shader, so the table keeps one
// resolution per listed shader and answers any element from them: a resource with many
// elements costs no more than its shader lists, and the shader-list part is shared
// between the visits of one traversal.
class AppearanceTable {
public:
    AppearanceTable() = default;
    explicit AppearanceTable(uint32_t count) : count_(count) {}

    uint32_t size() const { return count_; }
    AppearanceEntry at(uint32_t element) const;

    // Resolutions of the shader list, then of the raw fallback names laid over them.
    std::shared_ptr<const std::vector<ShaderResolution>> shaderList;
    std::vector<ShaderResolution> fallbackNames;

private:
    uint32_t count_ = 0;
};

// Shading modifier name -> shader names of its first shader list.
using RawShadingFallbackMap = std::unordered_map<std::string, std::vector<std::string>>;

// At most this many records in a material list; further new materials map to record 0.
inline constexpr size_t kMaxMaterialRecords = 2048;

MaterialRecord defaultMaterialRecord();

// Byte of a colour component: NaN and anything not above 0 give 0, 1 and above 255.
uint8_t colourByte(float component);

// The "[U3D_DEBUG]" lines on standard error; switched once at process start.
void setU3dDebugColors(bool enabled);
bool u3dDebugColors();

// The scene load's material list and fallback map, reachable here only while the
// traversal runs. A null map means none.
void publishAppearanceContext(std::vector<MaterialRecord>* materials, const RawShadingFallbackMap* fallback);
void withdrawAppearanceContext();

IfxRef<IFXShadingModifier> findShadingInChain(IFXModifier* modifier);
// Searches the node's own chain, the resource's chain, then the chain of the node named
// "n_" followed by the node's name. node and nodePalette may be null.
IfxRef<IFXShadingModifier> findShadingModifier(IFXPalette* nodePalette, uint32_t nodeId, IFXUnknown* node,
                                               IFXModifier* resourceModifier);

// One entry per element. The raw fallback is tried only with a node palette.
AppearanceTable resolveModelAppearance(IFXSceneGraph* sceneGraph, IFXShadingModifier* shading,
                                                    uint32_t elementCount, IFXPalette* nodePalette,
                                                    uint32_t nodeId);

void addMaterialRecord(IFXMaterialResource* material, AppearanceEntry& entry);

RawShadingFallbackMap buildRawShadingFallbackMap(const uint8_t* data, size_t size);

// The palette's name of an entry as UTF-8; empty when it cannot be had.
std::string paletteEntryNameUtf8(IFXPalette* palette, uint32_t id);
