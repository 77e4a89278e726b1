// Loading a whole U3D file into a Scene.
//
// Blocks are taken in file order: declarations create palette entries (a later one of
// the same name replaces the earlier), modifier chains hand their nested blocks to the
// same dispatch, continuations go to the object of their name, File Reference blocks
// load the files they name (relative to the document folder, under the rules of
// external_files.h) and merge them in where the block stands. Blocks of types this
// library does not know, extension objects and what a static scene does not use
// (animation, motion, bones, glyphs, subdivision) are stepped over by their sizes.
#pragma once

#include "u3dlib/block_framing.h"
#include "u3dlib/ifx_interface.h"
#include "u3dlib/scene.h"
#include "u3dlib/scene_blocks.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace u3dlib {

// Files at most this many levels deep (the document itself is level 1).
inline constexpr uint32_t kMaxReferenceLevels = 4;
inline constexpr uint32_t kMaxReferencedFiles = 32;
// Modifier chains inside modifier chains: the format has none, so a little is plenty.
inline constexpr uint32_t kMaxChainNesting = 4;
// Image bytes one texture image may gather from its continuation blocks.
inline constexpr uint64_t kMaxTextureImageBytes = uint64_t{64} << 20;
// External texture image files read in one load.
inline constexpr uint32_t kMaxExternalImages = 32;

using GeneratorReader = std::unique_ptr<GeneratorDecoder> (*)(const Block& block, DecoderOptions options);

struct LoadEnvironment {
    // The document folder (UTF-8) against which external files resolve; empty: none.
    std::string baseFolder;
    // Reads CLOD mesh, point set and line set declarations; null: resources carry no
    // geometry.
    GeneratorReader readGenerator = nullptr;
};

// Loads the file in bytes and merges it into scene (a name already there is replaced).
// On failure nothing of the file is merged (unless a palette fills up while merging). Results: kIfxOk; kIfxErrorCorrupt for data
// that is not a well-formed U3D file; kIfxErrorExternalReferenceFailed when a
// referenced file is not allowed, missing or not loadable; kIfxErrorExternalReferenceLimits
// when references go too deep, are too many or form a loop; kIfxErrorOutOfMemory.
IFXRESULT loadScene(std::span<const uint8_t> bytes, const LoadEnvironment& environment, Scene& scene);

// How the objects of one scene are merged into another (File Reference blocks).
struct MergeRules {
    std::vector<ObjectFilter> filters; // none: everything
    CollisionPolicy policy = CollisionPolicy::Replace;
    std::string scopeName;
    std::string worldAlias; // empty: references to the world stay with the world
};

// Moves every object of from (default entries excepted) into into. False when a
// palette of into is full.
bool mergeScene(Scene& into, Scene&& from, const MergeRules& rules);

} // namespace u3dlib
