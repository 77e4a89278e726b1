// Block type numbers of the U3D file format.
#pragma once

#include <cstdint>

namespace u3dlib {

// Only as the first block of a file; anywhere else this type is a New Object Block.
inline constexpr uint32_t kBlockFileHeader = 0x00443355;
inline constexpr uint32_t kBlockFileReference = 0xFFFFFF12;
inline constexpr uint32_t kBlockModifierChain = 0xFFFFFF14;
inline constexpr uint32_t kBlockPriorityUpdate = 0xFFFFFF15;
inline constexpr uint32_t kBlockNewObjectType = 0xFFFFFF16;

inline constexpr uint32_t kBlockGroupNode = 0xFFFFFF21;
inline constexpr uint32_t kBlockModelNode = 0xFFFFFF22;
inline constexpr uint32_t kBlockLightNode = 0xFFFFFF23;
inline constexpr uint32_t kBlockViewNode = 0xFFFFFF24;

inline constexpr uint32_t kBlockClodMeshDeclaration = 0xFFFFFF31;
inline constexpr uint32_t kBlockPointSetDeclaration = 0xFFFFFF36;
inline constexpr uint32_t kBlockLineSetDeclaration = 0xFFFFFF37;
inline constexpr uint32_t kBlockClodBaseMesh = 0xFFFFFF3B;
inline constexpr uint32_t kBlockClodProgressiveMesh = 0xFFFFFF3C;
inline constexpr uint32_t kBlockPointSetContinuation = 0xFFFFFF3E;
inline constexpr uint32_t kBlockLineSetContinuation = 0xFFFFFF3F;

inline constexpr uint32_t kBlockGlyphModifier = 0xFFFFFF41;
inline constexpr uint32_t kBlockSubdivisionModifier = 0xFFFFFF42;
inline constexpr uint32_t kBlockAnimationModifier = 0xFFFFFF43;
inline constexpr uint32_t kBlockBoneWeightModifier = 0xFFFFFF44;
inline constexpr uint32_t kBlockShadingModifier = 0xFFFFFF45;
inline constexpr uint32_t kBlockClodModifier = 0xFFFFFF46;

inline constexpr uint32_t kBlockLightResource = 0xFFFFFF51;
inline constexpr uint32_t kBlockViewResource = 0xFFFFFF52;
inline constexpr uint32_t kBlockLitTextureShader = 0xFFFFFF53;
inline constexpr uint32_t kBlockMaterialResource = 0xFFFFFF54;
inline constexpr uint32_t kBlockTextureDeclaration = 0xFFFFFF55;
inline constexpr uint32_t kBlockMotionResource = 0xFFFFFF56;
inline constexpr uint32_t kBlockTextureContinuation = 0xFFFFFF5C;

// Types a New Object Type block may assign to the blocks of an extension object.
inline constexpr uint32_t kFirstNewObjectBlockType = 0x00000100;
inline constexpr uint32_t kLastNewObjectBlockType = 0x00FFFFFF;

constexpr bool isNewObjectBlockType(uint32_t type)
{
    return type >= kFirstNewObjectBlockType && type <= kLastNewObjectBlockType;
}

// Continuation blocks carry data of an object declared earlier; priority updates
// count as continuations of the file header.
bool isContinuationBlockType(uint32_t type);

// A short English name ("ModelNode", "ModifierChain", "NewObjectBlock"), or null for a
// type the format does not define.
const char* blockTypeName(uint32_t type);

} // namespace u3dlib
