// Flattening the scene graph: every path from a root to a node is one visit with its
// own node record and its own copy of the node's geometry, so shared nodes are
// instanced along every path.
#pragma once

#include "u3d/ifx_ref.h"
#include "u3d/scene_collections.h"

#include <cstdint>

// Limits of one walk: node records, and vertices checked before each visit.
inline constexpr uint32_t kMaxNodeRecords = 65536;
inline constexpr uint32_t kMaxWalkVertices = 16777216;

// Clears out and fills it. True when some model node contributed geometry; the
// overflow flag tells that a limit stopped the walk.
bool walkSceneGraph(IFXSceneGraph* sceneGraph, SceneCollections& out);

// A library string into a 128-byte UTF-8 field, NUL-terminated.
void copyEntryName(const IFXString& name, char out[128]);

// The light record of an enabled, usable light resource placed by world.
bool buildLightRecord(IFXLightResource* light, const IFXMatrix4x4& world, LightRecord& record);
