// Scene graph, palettes, modifier chains and modifiers.
#include "u3dlib/library/scene_objects.h"

using namespace u3dlib;

namespace {

// Creates an object and hands it out as interfaceId, dropping the creation reference.
template <typename T>
IFXRESULT handOut(T* created, const IFXIID& interfaceId, void** object)
{
    if (created == nullptr)
        return kIfxErrorOutOfMemory;
    const IFXRESULT result = created->QueryInterface(interfaceId, object);
    created->Release();
    return result;
}

// Hands a new object out as the interface T, passing on the creation reference.
template <typename T, typename Object>
IFXRESULT handOver(Object* created, T** out)
{
    if (created == nullptr)
        return kIfxErrorOutOfMemory;
    *out = created;
    return kIfxOk;
}

} // namespace

// ---- Scene graph ----------------------------------------------------------------

IFXRESULT SceneGraphObject::QueryInterface(const IFXIID& interfaceId, void** object)
{
    if (object == nullptr)
        return kIfxErrorInvalidPointer;
    if (interfaceId == IID_IFXUnknown || interfaceId == IID_IFXSceneGraph)
        return answer(static_cast<IFXSceneGraph*>(this), object);
    if (interfaceId == IID_SceneStateAccess) {
        AddRef();
        *object = this;
        return kIfxOk;
    }
    return kIfxErrorUnsupported;
}

IFXRESULT SceneGraphObject::GetPalette(uint32_t paletteNumber, IFXPalette** palette)
{
    if (palette == nullptr)
        return kIfxErrorInvalidPointer;
    if (paletteNumber >= kIfxPaletteCount)
        return kIfxErrorInvalidArgument;
    return handOver(new (std::nothrow) PaletteObject(state_, paletteNumber), palette);
}

// ---- Palettes -------------------------------------------------------------------

IFXRESULT PaletteObject::QueryInterface(const IFXIID& interfaceId, void** object)
{
    if (object == nullptr)
        return kIfxErrorInvalidPointer;
    if (interfaceId == IID_IFXUnknown)
        return answer(static_cast<IFXPalette*>(this), object);
    return kIfxErrorUnsupported;
}

IFXRESULT PaletteObject::GetPaletteSize(uint32_t* entries)
{
    if (entries == nullptr)
        return kIfxErrorInvalidPointer;
    *entries = paletteSize(state_->scene, number_);
    return kIfxOk;
}

IFXRESULT PaletteObject::GetResourcePtr(uint32_t id, const IFXIID& interfaceId, void** object)
{
    if (object == nullptr)
        return kIfxErrorInvalidPointer;
    PaletteEntryObject* entry = entryObject(state_, number_, id);
    if (entry == nullptr)
        return id < paletteSize(state_->scene, number_) ? kIfxErrorOutOfMemory : kIfxErrorNotFound;
    return handOut(entry, interfaceId, object);
}

IFXRESULT PaletteObject::GetName(uint32_t id, IFXString* name)
{
    if (name == nullptr)
        return kIfxErrorInvalidPointer;
    const std::string* text = paletteEntryName(state_->scene, number_, id);
    if (text == nullptr)
        return kIfxErrorNotFound;
    return utf8ToString(*text, *name);
}

IFXRESULT PaletteObject::Find(const IFXString& name, uint32_t* id)
{
    if (id == nullptr)
        return kIfxErrorInvalidPointer;
    std::string text;
    if (!stringToUtf8(name, text))
        return kIfxErrorInvalidArgument;
    const std::optional<uint32_t> found = findPaletteEntry(state_->scene, number_, text);
    if (!found)
        return kIfxErrorNotFound;
    *id = *found;
    return kIfxOk;
}

// ---- Modifier chains ------------------------------------------------------------

IFXRESULT ModifierChainObject::QueryInterface(const IFXIID& interfaceId, void** object)
{
    if (object == nullptr)
        return kIfxErrorInvalidPointer;
    if (interfaceId == IID_IFXUnknown)
        return answer(static_cast<IFXModifierChain*>(this), object);
    return kIfxErrorUnsupported;
}

IFXRESULT ModifierChainObject::GetModifierCount(uint32_t* count)
{
    if (count == nullptr)
        return kIfxErrorInvalidPointer;
    const std::vector<Modifier>* modifiers = entryModifiers(state_->scene, palette_, id_);
    if (modifiers == nullptr)
        return kIfxErrorNotFound;
    *count = static_cast<uint32_t>(modifiers->size()) + 1;
    return kIfxOk;
}

IFXRESULT ModifierChainObject::GetModifier(uint32_t index, IFXModifier** modifier)
{
    if (modifier == nullptr)
        return kIfxErrorInvalidPointer;
    const std::vector<Modifier>* modifiers = entryModifiers(state_->scene, palette_, id_);
    if (modifiers == nullptr || index > modifiers->size())
        return kIfxErrorInvalidArgument;
    void** out = reinterpret_cast<void**>(modifier);
    if (index == 0) {
        PaletteEntryObject* head = entryObject(state_, palette_, id_);
        return head ? handOut(head, IID_IFXModifier, out) : kIfxErrorOutOfMemory;
    }
    return handOut(new (std::nothrow) ModifierObject(state_, palette_, id_, index - 1), IID_IFXModifier, out);
}

// ---- Modifiers ------------------------------------------------------------------

const Modifier* ModifierObject::modifier() const
{
    const std::vector<Modifier>* modifiers = entryModifiers(state_->scene, palette_, id_);
    return modifiers && index_ < modifiers->size() ? &(*modifiers)[index_] : nullptr;
}

IFXRESULT ModifierObject::QueryInterface(const IFXIID& interfaceId, void** object)
{
    if (object == nullptr)
        return kIfxErrorInvalidPointer;
    if (interfaceId == IID_IFXUnknown || interfaceId == IID_IFXModifier)
        return answer(static_cast<IFXModifier*>(this), object);
    const Modifier* m = modifier();
    if (interfaceId == IID_IFXShadingModifier && m && m->kind == ModifierKind::Shading)
        return answer(static_cast<IFXShadingModifier*>(this), object);
    return kIfxErrorUnsupported;
}

IFXRESULT ModifierObject::GetModifierChain(IFXModifierChain** chain)
{
    if (chain == nullptr)
        return kIfxErrorInvalidPointer;
    return handOver(new (std::nothrow) ModifierChainObject(state_, palette_, id_), chain);
}

IFXRESULT ModifierObject::GetElementShaderList(uint32_t element, IFXShaderList** list)
{
    if (list == nullptr)
        return kIfxErrorInvalidPointer;
    const Modifier* m = modifier();
    if (m == nullptr || m->kind != ModifierKind::Shading)
        return kIfxErrorNotFound;
    if (element >= m->shading.shaders.size())
        return kIfxErrorInvalidArgument;
    std::vector<uint32_t> ids;
    ids.reserve(m->shading.shaders[element].size());
    for (const std::string& name : m->shading.shaders[element])
        ids.push_back(state_->scene.shaders.resolve(name));
    return handOver(new (std::nothrow) ShaderListObject(std::move(ids)), list);
}

IFXRESULT ShaderListObject::QueryInterface(const IFXIID& interfaceId, void** object)
{
    if (object == nullptr)
        return kIfxErrorInvalidPointer;
    if (interfaceId == IID_IFXUnknown)
        return answer(static_cast<IFXShaderList*>(this), object);
    return kIfxErrorUnsupported;
}

IFXRESULT ShaderListObject::GetNumShaders(uint32_t* count)
{
    if (count == nullptr)
        return kIfxErrorInvalidPointer;
    *count = static_cast<uint32_t>(shaderIds_.size());
    return kIfxOk;
}

IFXRESULT ShaderListObject::GetShader(uint32_t index, uint32_t* shaderId)
{
    if (shaderId == nullptr)
        return kIfxErrorInvalidPointer;
    if (index >= shaderIds_.size())
        return kIfxErrorInvalidArgument;
    *shaderId = shaderIds_[index];
    return kIfxOk;
}
