// Adaptive context numbers of the geometry continuations. Within one block, fields
// that share a number share a histogram; the sharing here is the one real files use
// (it differs from the field names in places: point and line sets code their shading
// ids with the item count, and their colour signs with the normal signs).
#pragma once

#include "u3dlib/contexts.h"

namespace u3dlib::geometry_contexts {

// Base mesh.
inline constexpr Context kBaseShading = adaptiveContext(1);

// Progressive mesh.
inline constexpr Context kFaceCount = adaptiveContext(1);
inline constexpr Context kFaceOrientation = adaptiveContext(2);
inline constexpr Context kThirdPositionType = adaptiveContext(3);
inline constexpr Context kLocalThirdPosition = adaptiveContext(4);
inline constexpr uint32_t kStayMoveBase = 15; // + prediction 0..4
inline constexpr Context kTexCoordIndexType = adaptiveContext(29);
inline constexpr Context kColorIndexType = adaptiveContext(55);
inline constexpr Context kShading = adaptiveContext(65);
inline constexpr Context kDiffuseCount = adaptiveContext(99);
inline constexpr Context kDiffuseSign = adaptiveContext(100);
inline constexpr Context kSpecularCount = adaptiveContext(101);
inline constexpr Context kSpecularSign = adaptiveContext(102);
inline constexpr Context kTexCoordSign = adaptiveContext(103);
inline constexpr uint32_t kDiffuseFaceUpdateBase = 104;  // keep/change, type, new, local, global
inline constexpr uint32_t kSpecularFaceUpdateBase = 109;
inline constexpr uint32_t kTexCoordFaceUpdateBase = 114;
inline constexpr Context kColorIndexLocal = adaptiveContext(119);
inline constexpr Context kColorIndexGlobal = adaptiveContext(120);
inline constexpr Context kTexCoordIndexLocal = adaptiveContext(121);
inline constexpr Context kTexCoordIndexGlobal = adaptiveContext(122);
inline constexpr Context kTexCoordCount = adaptiveContext(123);
inline constexpr Context kSplitWhenEmpty = adaptiveContext(0x3FF);

// Shared by meshes, point sets and line sets.
inline constexpr Context kPositionSign = adaptiveContext(20);
inline constexpr Context kPositionDiff[3] = {adaptiveContext(21), adaptiveContext(22), adaptiveContext(23)};
inline constexpr Context kTexCoordDiff[4] = {adaptiveContext(33), adaptiveContext(34), adaptiveContext(35),
                                             adaptiveContext(36)};
inline constexpr Context kTexCoordDuplicate = adaptiveContext(39);
inline constexpr Context kNormalCount = adaptiveContext(40);
inline constexpr Context kNormalSign = adaptiveContext(41);
inline constexpr Context kNormalDiff[3] = {adaptiveContext(42), adaptiveContext(43), adaptiveContext(44)};
inline constexpr Context kNormalLocalIndex = adaptiveContext(45);
inline constexpr Context kColorDuplicate = adaptiveContext(56);
inline constexpr Context kColorDiff[4] = {adaptiveContext(60), adaptiveContext(61), adaptiveContext(62),
                                          adaptiveContext(63)};

// Point and line sets.
inline constexpr Context kItemCountAndShading = adaptiveContext(1);
inline constexpr Context kSpecularDuplicate = adaptiveContext(57);
inline constexpr Context kItemColorSign = kNormalSign;

} // namespace u3dlib::geometry_contexts
