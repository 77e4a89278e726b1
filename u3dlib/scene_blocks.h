// Readers of the blocks that make up a scene (everything but the geometry generators,
// which generator_decoder.h reads). Each reads one block's Data into plain records and
// returns false when the Data does not hold what the block type requires; counts read
// from the Data are bounded by the bytes left before anything is sized by them.
#pragma once

#include "u3dlib/bit_decoder.h"
#include "u3dlib/block_framing.h"
#include "u3dlib/scene.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace u3dlib {

// Group, model, light and view nodes (the node's kind follows from the block type).
bool readNodeBlock(const Block& block, DecoderOptions options, std::string& name, Node& node);

// Glyph, subdivision, animation, bone weight, shading and CLOD modifiers. Only the
// shading modifier's content matters to a static scene; the others give their name
// and chain index.
bool readModifierBlock(const Block& block, DecoderOptions options, std::string& name, Modifier& modifier);

bool readLightResource(const Block& block, DecoderOptions options, std::string& name, LightResource& light);
bool readViewResource(const Block& block, DecoderOptions options, std::string& name, ViewResource& view);
bool readLitTextureShader(const Block& block, DecoderOptions options, std::string& name, LitTextureShader& shader);
bool readMaterialResource(const Block& block, DecoderOptions options, std::string& name, Material& material);
bool readTextureDeclaration(const Block& block, DecoderOptions options, std::string& name, Texture& texture);
bool readMotionName(const Block& block, DecoderOptions options, std::string& name);

// A texture continuation: the image index and its bytes (the rest of the Data, stored
// as they are in every profile).
struct TextureContinuation {
    std::string name;
    uint32_t imageIndex = 0;
    std::span<const uint8_t> bytes;
};
bool readTextureContinuation(const Block& block, TextureContinuation& out);

// The name every declaration and continuation block starts with.
bool readBlockName(const Block& block, std::string& name);

inline constexpr uint8_t kFilterByName = 0;
inline constexpr uint8_t kFilterByType = 1;

struct ObjectFilter {
    uint8_t type = kFilterByName;
    std::string namePattern; // '?' one character, '*' any run
    uint32_t blockType = 0;
};

enum class CollisionPolicy : uint8_t { Replace = 0, Discard = 1, PrefixAll = 2, PrefixOnCollision = 3, NumberOnCollision = 4 };

struct FileReference {
    std::string scopeName;
    std::vector<std::string> urls;
    std::vector<ObjectFilter> filters;
    CollisionPolicy policy = CollisionPolicy::Replace;
    std::string worldAlias;
};
bool readFileReference(const Block& block, DecoderOptions options, FileReference& out);

// A New Object Type: the block types its objects use from then on.
struct NewObjectType {
    std::string name;
    uint32_t chainType = 0;
    uint32_t declarationBlockType = 0;
    std::vector<uint32_t> continuationBlockTypes;
};
bool readNewObjectType(const Block& block, DecoderOptions options, NewObjectType& out);

// Whether a name matches a filter pattern with '?' and '*' (bytes, not characters).
bool matchesNamePattern(std::string_view name, std::string_view pattern);

} // namespace u3dlib
