#include "u3dlib/block_types.h"

namespace u3dlib {

bool isContinuationBlockType(uint32_t type)
{
    switch (type) {
    case kBlockPriorityUpdate:
    case kBlockClodBaseMesh:
    case kBlockClodProgressiveMesh:
    case kBlockPointSetContinuation:
    case kBlockLineSetContinuation:
    case kBlockTextureContinuation:
        return true;
    default:
        return false;
    }
}

const char* blockTypeName(uint32_t type)
{
    switch (type) {
    case kBlockFileHeader: return "FileHeader";
    case kBlockFileReference: return "FileReference";
    case kBlockModifierChain: return "ModifierChain";
    case kBlockPriorityUpdate: return "PriorityUpdate";
    case kBlockNewObjectType: return "NewObjectType";
    case kBlockGroupNode: return "GroupNode";
    case kBlockModelNode: return "ModelNode";
    case kBlockLightNode: return "LightNode";
    case kBlockViewNode: return "ViewNode";
    case kBlockClodMeshDeclaration: return "ClodMeshDeclaration";
    case kBlockPointSetDeclaration: return "PointSetDeclaration";
    case kBlockLineSetDeclaration: return "LineSetDeclaration";
    case kBlockClodBaseMesh: return "ClodBaseMesh";
    case kBlockClodProgressiveMesh: return "ClodProgressiveMesh";
    case kBlockPointSetContinuation: return "PointSetContinuation";
    case kBlockLineSetContinuation: return "LineSetContinuation";
    case kBlockGlyphModifier: return "GlyphModifier";
    case kBlockSubdivisionModifier: return "SubdivisionModifier";
    case kBlockAnimationModifier: return "AnimationModifier";
    case kBlockBoneWeightModifier: return "BoneWeightModifier";
    case kBlockShadingModifier: return "ShadingModifier";
    case kBlockClodModifier: return "ClodModifier";
    case kBlockLightResource: return "LightResource";
    case kBlockViewResource: return "ViewResource";
    case kBlockLitTextureShader: return "LitTextureShader";
    case kBlockMaterialResource: return "MaterialResource";
    case kBlockTextureDeclaration: return "TextureDeclaration";
    case kBlockMotionResource: return "MotionResource";
    case kBlockTextureContinuation: return "TextureContinuation";
    default:
        return isNewObjectBlockType(type) ? "NewObjectBlock" : nullptr;
    }
}

} // namespace u3dlib
