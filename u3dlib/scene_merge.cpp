// Merging a loaded scene into another under a file reference's rules: filters choose
// the objects, the collision policy their names, and every reference by name inside
// the merged objects follows the renaming.
#include "u3dlib/scene_loader.h"

#include <unordered_map>
#include <unordered_set>

namespace u3dlib {

namespace {

// New names of one palette's objects; an object left out maps to nothing.
struct Renaming {
    std::unordered_map<std::string, std::string> names;
    std::unordered_set<std::string> excluded;

    void apply(std::string& name) const
    {
        if (const auto it = names.find(name); it != names.end())
            name = it->second;
    }
};

bool passesFilters(const std::string& name, uint32_t blockType, const std::vector<ObjectFilter>& filters)
{
    if (filters.empty())
        return true;
    for (const ObjectFilter& filter : filters) {
        if (filter.type == kFilterByName && matchesNamePattern(name, filter.namePattern))
            return true;
        if (filter.type == kFilterByType && filter.blockType == blockType)
            return true;
    }
    return false;
}

template <typename T>
Renaming planNames(const Palette<T>& into, const Palette<T>& from, const MergeRules& rules)
{
    Renaming renaming;
    std::unordered_set<std::string> taken; // names given to earlier objects of from
    for (uint32_t id = 1; id < from.size(); ++id) {
        const auto& entry = from.entry(id);
        if (!passesFilters(entry.name, entry.blockType, rules.filters)) {
            renaming.excluded.insert(entry.name);
            continue;
        }
        const bool collides = into.find(entry.name).has_value();
        std::string name = entry.name;
        switch (rules.policy) {
        case CollisionPolicy::Replace: break;
        case CollisionPolicy::Discard:
            if (collides)
                renaming.excluded.insert(entry.name);
            break;
        case CollisionPolicy::PrefixAll: name = rules.scopeName + entry.name; break;
        case CollisionPolicy::PrefixOnCollision:
            if (collides)
                name = rules.scopeName + entry.name;
            break;
        case CollisionPolicy::NumberOnCollision:
            if (collides) {
                // The palette bounds how many numbers can be taken.
                for (uint64_t n = 1; n <= kMaxPaletteEntries + 1; ++n) {
                    std::string numbered = entry.name + "-" + std::to_string(n);
                    if (!into.find(numbered) && !taken.count(numbered)) {
                        name = std::move(numbered);
                        break;
                    }
                }
            }
            break;
        }
        taken.insert(name);
        renaming.names.emplace(entry.name, std::move(name));
    }
    return renaming;
}

template <typename T>
bool moveObjects(Palette<T>& into, Palette<T>& from, const Renaming& renaming)
{
    for (uint32_t id = 1; id < from.size(); ++id) {
        auto& entry = from.entry(id);
        if (renaming.excluded.count(entry.name))
            continue;
        std::string name = entry.name;
        renaming.apply(name);
        if (!into.put(name, std::move(entry.object), entry.blockType))
            return false;
    }
    return true;
}

struct SceneRenaming {
    Renaming materials, generators, shaders, textures, motions, nodes, lights, views;
    std::string worldAlias;

    void node(std::string& name) const
    {
        if (name.empty())
            name = worldAlias;
        else
            nodes.apply(name);
    }

    void modifiers(std::vector<Modifier>& chain) const
    {
        for (Modifier& modifier : chain)
            for (std::vector<std::string>& list : modifier.shading.shaders)
                for (std::string& shader : list)
                    shaders.apply(shader);
    }
};

void renameReferences(Scene& scene, const SceneRenaming& renaming)
{
    for (uint32_t id = 1; id < scene.nodes.size(); ++id) {
        Node& node = scene.nodes.entry(id).object;
        for (NodeParent& parent : node.parents)
            renaming.node(parent.name);
        switch (node.kind) {
        case NodeKind::Group: break;
        case NodeKind::Model: renaming.generators.apply(node.resourceName); break;
        case NodeKind::Light: renaming.lights.apply(node.resourceName); break;
        case NodeKind::View:
            renaming.views.apply(node.resourceName);
            for (std::string& texture : node.view.backdropTextures)
                renaming.textures.apply(texture);
            for (std::string& texture : node.view.overlayTextures)
                renaming.textures.apply(texture);
            break;
        }
        renaming.modifiers(node.modifiers);
    }
    for (uint32_t id = 1; id < scene.generators.size(); ++id)
        renaming.modifiers(scene.generators.entry(id).object.modifiers);
    for (uint32_t id = 1; id < scene.textures.size(); ++id)
        renaming.modifiers(scene.textures.entry(id).object.modifiers);
    for (uint32_t id = 1; id < scene.shaders.size(); ++id) {
        LitTextureShader& shader = scene.shaders.entry(id).object;
        renaming.materials.apply(shader.materialName);
        for (TextureLayer& layer : shader.layers)
            renaming.textures.apply(layer.textureName);
    }
    for (uint32_t id = 1; id < scene.views.size(); ++id)
        for (ViewPass& pass : scene.views.entry(id).object.passes)
            renaming.node(pass.rootNode);
}

template <typename F>
void forEachPalette(Scene& a, Scene& b, F f)
{
    f(a.materials, b.materials);
    f(a.generators, b.generators);
    f(a.shaders, b.shaders);
    f(a.textures, b.textures);
    f(a.motions, b.motions);
    f(a.nodes, b.nodes);
    f(a.lights, b.lights);
    f(a.views, b.views);
}

// Everything under its own name, into a scene that holds nothing yet: the file a
// viewer opens. Then the palettes move whole.
bool adoptsWhole(Scene& into, Scene& from, const MergeRules& rules)
{
    if (!rules.filters.empty() || rules.policy != CollisionPolicy::Replace || !rules.worldAlias.empty())
        return false;
    bool empty = true;
    forEachPalette(into, from, [&](const auto& palette, const auto&) { empty = empty && palette.holdsOnlyDefault(); });
    return empty;
}

} // namespace

bool mergeScene(Scene& into, Scene&& from, const MergeRules& rules)
{
    if (adoptsWhole(into, from, rules)) {
        forEachPalette(into, from, [](auto& palette, auto& source) { palette.adoptEntries(std::move(source)); });
        return true;
    }
    SceneRenaming renaming;
    renaming.materials = planNames(into.materials, from.materials, rules);
    renaming.generators = planNames(into.generators, from.generators, rules);
    renaming.shaders = planNames(into.shaders, from.shaders, rules);
    renaming.textures = planNames(into.textures, from.textures, rules);
    renaming.motions = planNames(into.motions, from.motions, rules);
    renaming.nodes = planNames(into.nodes, from.nodes, rules);
    renaming.lights = planNames(into.lights, from.lights, rules);
    renaming.views = planNames(into.views, from.views, rules);
    renaming.worldAlias = rules.worldAlias;
    renameReferences(from, renaming);
    return moveObjects(into.materials, from.materials, renaming.materials) &&
           moveObjects(into.generators, from.generators, renaming.generators) &&
           moveObjects(into.shaders, from.shaders, renaming.shaders) &&
           moveObjects(into.textures, from.textures, renaming.textures) &&
           moveObjects(into.motions, from.motions, renaming.motions) &&
           moveObjects(into.nodes, from.nodes, renaming.nodes) &&
           moveObjects(into.lights, from.lights, renaming.lights) &&
           moveObjects(into.views, from.views, renaming.views);
}

} // namespace u3dlib
