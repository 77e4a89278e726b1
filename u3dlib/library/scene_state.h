// What the scene graph of one core services object shares with every object it hands
// out: the scene, the objects standing for palette entries (so that one entry is one
// object, whose address callers may compare), and what is derived from the scene and
// kept until the next load (children of nodes, decoded textures).
#pragma once

#include "u3dlib/ifx_interface.h"
#include "u3dlib/scene.h"
#include "u3dlib/texture_image.h"

#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class PaletteEntryObject;

struct SceneState {
    u3dlib::Scene scene;
    std::string baseFolder; // UTF-8; empty: none

    // Entry objects alive now, by (palette, id); each removes itself when freed.
    std::map<std::pair<uint32_t, uint32_t>, PaletteEntryObject*> liveEntries;

    // Node id -> ids of the nodes that have it as a parent, once each, by id.
    std::optional<std::vector<std::vector<uint32_t>>> children;
    // The texture decoded last (id, image or null when it does not decode). Callers
    // ask a texture's size and image one after the other; keeping one image bounds the
    // memory a file with many large textures can take.
    std::optional<std::pair<uint32_t, std::shared_ptr<const u3dlib::RgbaImage>>> textureImage_;

    // Called after every load: what was derived from the old scene is gone.
    void sceneChanged()
    {
        children.reset();
        textureImage_.reset();
    }

    const std::vector<uint32_t>& childrenOf(uint32_t nodeId);
    // The decoded image of a texture, or null.
    const u3dlib::RgbaImage* textureImage(uint32_t textureId);
};

// Number of entries of a palette; 0 for an unknown palette number.
uint32_t paletteSize(const u3dlib::Scene& scene, uint32_t paletteNumber);
// Name of an entry; null for an unknown palette or id.
const std::string* paletteEntryName(const u3dlib::Scene& scene, uint32_t paletteNumber, uint32_t id);
std::optional<uint32_t> findPaletteEntry(const u3dlib::Scene& scene, uint32_t paletteNumber, const std::string& name);

// The modifiers after the head of an entry's chain; null when the entry has no chain.
const std::vector<u3dlib::Modifier>* entryModifiers(const u3dlib::Scene& scene, uint32_t paletteNumber, uint32_t id);

// UTF-8 of a library string; false when it is not well-formed UTF-16.
bool stringToUtf8(const IFXString& text, std::string& out);
// A library string from UTF-8; malformed bytes become U+FFFD.
IFXRESULT utf8ToString(const std::string& text, IFXString& out);
