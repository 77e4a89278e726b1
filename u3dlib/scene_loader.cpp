#include "u3dlib/scene_loader.h"

#include "u3dlib/block_types.h"
#include "u3dlib/continuation_decoding.h"
#include "u3dlib/external_files.h"
#include "u3dlib/file_header.h"
#include "u3dlib/modifier_chain.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>

namespace u3dlib {

namespace {

constexpr uint32_t kNoChain = 0xFFFFFFFF;

// Shared by a file and every file it references.
struct LoadSession {
    const LoadEnvironment& environment;
    uint32_t filesRead = 0;
    uint32_t imagesRead = 0;
    std::vector<std::string> openFiles; // real paths of the referenced files being loaded
};

struct PendingModifier {
    uint32_t chainType = kNoChain; // kNoChain: declared outside any chain
    std::string name;
    Modifier modifier;
};

class FileLoader {
public:
    FileLoader(LoadSession& session, uint32_t level, Scene& scene) : session_(session), level_(level), scene_(scene) {}

    IFXRESULT load(std::span<const uint8_t> bytes)
    {
        Block headerBlock;
        FileHeader header;
        if (!readFirstBlockAsFileHeader(bytes, headerBlock, header))
            return kIfxErrorCorrupt;
        options_ = header.decoderOptions();
        scene_.profile = header.profile;
        scene_.unitsScale = header.unitsScale;

        BlockCursor cursor(bytes);
        cursor.next(); // the header
        IFXRESULT result = walk(cursor, kNoChain, 0);
        // Whatever the walk found: decoding each block where it met it would have.
        decodeContinuations(continuations_, options_, decodingThreadsFor(continuations_));
        continuations_.clear();
        continuationSlots_.clear();
        if (ifxSucceeded(result) && !isCleanEnd(cursor.status()))
            result = kIfxErrorCorrupt;
        if (ifxSucceeded(result))
            attachPendingModifiers();
        return result;
    }

private:
    IFXRESULT walk(BlockCursor& cursor, uint32_t chainType, uint32_t nesting)
    {
        while (const std::optional<Block> block = cursor.next()) {
            const IFXRESULT result = dispatch(*block, chainType, nesting);
            if (ifxFailed(result))
                return result;
        }
        return kIfxOk;
    }

    IFXRESULT dispatch(const Block& block, uint32_t chainType, uint32_t nesting)
    {
        switch (block.type) {
        case kBlockModifierChain: return readChain(block, nesting);
        case kBlockFileReference: return readFileReferenceBlock(block);
        case kBlockNewObjectType: return readNewObjectTypeBlock(block);
        case kBlockGroupNode:
        case kBlockModelNode:
        case kBlockLightNode:
        case kBlockViewNode: return readNode(block);
        case kBlockClodMeshDeclaration:
        case kBlockPointSetDeclaration:
        case kBlockLineSetDeclaration: return readGeneratorDeclarationBlock(block);
        case kBlockClodBaseMesh:
        case kBlockClodProgressiveMesh:
        case kBlockPointSetContinuation:
        case kBlockLineSetContinuation: return readGeneratorContinuation(block);
        case kBlockGlyphModifier:
        case kBlockSubdivisionModifier:
        case kBlockAnimationModifier:
        case kBlockBoneWeightModifier:
        case kBlockShadingModifier:
        case kBlockClodModifier: return readModifier(block, chainType);
        case kBlockLightResource: return readResource<LightResource>(block, scene_.lights, &readLightResource);
        case kBlockViewResource: return readResource<ViewResource>(block, scene_.views, &readViewResource);
        case kBlockLitTextureShader:
            return readResource<LitTextureShader>(block, scene_.shaders, &readLitTextureShader);
        case kBlockMaterialResource: return readResource<Material>(block, scene_.materials, &readMaterialResource);
        case kBlockTextureDeclaration: return readTexture(block);
        case kBlockTextureContinuation: return readTextureContinuationBlock(block);
        case kBlockMotionResource: return readMotion(block);
        default:
            // Priority updates, extension objects, the header type met again (then a
            // New Object Block) and anything unknown: stepped over by size.
            return kIfxOk;
        }
    }

    IFXRESULT readChain(const Block& block, uint32_t nesting)
    {
        ModifierChainHeader chain;
        if (readModifierChainHeader(block, chain) != ChainStatus::Ok)
            return kIfxErrorCorrupt;
        if (nesting >= kMaxChainNesting)
            return kIfxOk;
        BlockCursor nested(chain.nestedBlocks, chain.nestedOffset);
        const IFXRESULT result = walk(nested, chain.chainType, nesting + 1);
        if (ifxFailed(result))
            return result;
        return isCleanEnd(nested.status()) ? kIfxOk : kIfxErrorCorrupt;
    }

    IFXRESULT readNewObjectTypeBlock(const Block& block)
    {
        // Objects of a new type are stepped over whatever the declaration says, so it
        // only has to be readable.
        NewObjectType type;
        return readNewObjectType(block, options_, type) ? kIfxOk : kIfxErrorCorrupt;
    }

    IFXRESULT readNode(const Block& block)
    {
        std::string name;
        Node node;
        if (!readNodeBlock(block, options_, name, node))
            return kIfxErrorCorrupt;
        return put(scene_.nodes, name, std::move(node), block.type);
    }

    IFXRESULT readGeneratorDeclarationBlock(const Block& block)
    {
        ModelResource resource;
        resource.kind = block.type == kBlockPointSetDeclaration ? GeneratorKind::PointSet
                        : block.type == kBlockLineSetDeclaration ? GeneratorKind::LineSet
                                                                 : GeneratorKind::Mesh;
        std::string name;
        if (!readBlockName(block, name))
            return kIfxErrorCorrupt;
        if (name.empty())
            return kIfxOk; // see put()
        if (session_.environment.readGenerator != nullptr) {
            // A declaration the decoder cannot read leaves a resource without geometry.
            std::unique_ptr<GeneratorDecoder> decoder = session_.environment.readGenerator(block, options_);
            if (decoder)
                resource.decoder = std::move(decoder);
        }
        // A resource declared again replaces the one before, whose geometry nothing can
        // reach any more: what it still had to decode is dropped with it.
        if (const auto before = decoders_.find(name); before != decoders_.end())
            dropContinuations(before->second.get());
        if (resource.decoder)
            decoders_[name] = resource.decoder;
        else
            decoders_.erase(name);
        return put(scene_.generators, name, std::move(resource), block.type);
    }

    void dropContinuations(const GeneratorDecoder* decoder)
    {
        const auto slot = continuationSlots_.find(decoder);
        if (slot == continuationSlots_.end())
            return;
        continuations_[slot->second] = ResourceContinuations{};
        continuationSlots_.erase(slot);
    }

    IFXRESULT readGeneratorContinuation(const Block& block)
    {
        std::string name;
        if (!readBlockName(block, name))
            return kIfxErrorCorrupt;
        const auto it = decoders_.find(name);
        // A continuation of nothing declared adds nothing. The others are decoded after
        // the walk, by resource.
        if (it == decoders_.end())
            return kIfxOk;
        auto [slot, added] = continuationSlots_.try_emplace(it->second.get(), continuations_.size());
        if (added)
            continuations_.push_back(ResourceContinuations{it->second, {}, 0});
        ResourceContinuations& resource = continuations_[slot->second];
        resource.blockHeaders.push_back(block.data.data() - kBlockHeaderSize);
        resource.bytes += block.data.size();
        return kIfxOk;
    }

    IFXRESULT readModifier(const Block& block, uint32_t chainType)
    {
        std::string name;
        Modifier modifier;
        if (!readModifierBlock(block, options_, name, modifier))
            return block.type == kBlockShadingModifier ? kIfxErrorCorrupt : kIfxOk;
        if (pendingModifiers_.size() >= kMaxPaletteEntries)
            return kIfxErrorOutOfMemory;
        pendingModifiers_.push_back(PendingModifier{chainType, std::move(name), std::move(modifier)});
        return kIfxOk;
    }

    template <typename T>
    IFXRESULT readResource(const Block& block, Palette<T>& palette,
                           bool (*reader)(const Block&, DecoderOptions, std::string&, T&))
    {
        std::string name;
        T object;
        if (!reader(block, options_, name, object))
            return kIfxErrorCorrupt;
        return put(palette, name, std::move(object), block.type);
    }

    IFXRESULT readMotion(const Block& block)
    {
        std::string name;
        if (!readMotionName(block, options_, name))
            return kIfxErrorCorrupt;
        return put(scene_.motions, name, Motion{}, block.type);
    }

    IFXRESULT readTexture(const Block& block)
    {
        std::string name;
        Texture texture;
        if (!readTextureDeclaration(block, options_, name, texture))
            return kIfxErrorCorrupt;
        for (TextureImage& image : texture.images) {
            image.bytes = std::make_shared<std::vector<uint8_t>>();
            if ((image.attributes & kImageExternal) != 0)
                readExternalImage(image);
        }
        return put(scene_.textures, name, std::move(texture), block.type);
    }

    // An image that cannot be had leaves the texture without that image; it then does
    // not decode, but the scene still loads.
    void readExternalImage(TextureImage& image)
    {
        const std::string& folder = session_.environment.baseFolder;
        const auto resolve = [&](const std::string& url) {
            switch (image.compression) {
            case kImageCompressionPng: return resolveExternalUrl(folder, url, {"png"});
            case kImageCompressionTiff: return resolveExternalUrl(folder, url, {"tif", "tiff"});
            default: return resolveExternalUrl(folder, url, {"jpg", "jpeg"});
            }
        };
        for (const std::string& url : image.urls) {
            if (session_.imagesRead >= kMaxExternalImages)
                return;
            const ResolvedUrl resolved = resolve(url);
            if (resolved.verdict != UrlVerdict::Acceptable)
                continue;
            ++session_.imagesRead;
            if (readExternalFile(resolved.path, *image.bytes))
                return;
        }
    }

    IFXRESULT readTextureContinuationBlock(const Block& block)
    {
        TextureContinuation continuation;
        if (!readTextureContinuation(block, continuation))
            return kIfxErrorCorrupt;
        const std::optional<uint32_t> id = scene_.textures.find(continuation.name);
        if (!id || *id == 0)
            return kIfxOk;
        Texture& texture = scene_.textures.entry(*id).object;
        if (continuation.imageIndex >= texture.images.size())
            return kIfxOk;
        TextureImage& image = texture.images[continuation.imageIndex];
        if ((image.attributes & kImageExternal) != 0 || !image.bytes)
            return kIfxOk;
        if (image.bytes->size() + continuation.bytes.size() > kMaxTextureImageBytes)
            return kIfxErrorOutOfMemory;
        image.bytes->insert(image.bytes->end(), continuation.bytes.begin(), continuation.bytes.end());
        return kIfxOk;
    }

    IFXRESULT readFileReferenceBlock(const Block& block)
    {
        FileReference reference;
        if (!readFileReference(block, options_, reference))
            return kIfxErrorCorrupt;
        std::string path;
        for (const std::string& url : reference.urls) {
            const ResolvedUrl resolved = resolveExternalUrl(session_.environment.baseFolder, url, {"u3d"});
            if (resolved.verdict == UrlVerdict::Acceptable) {
                path = resolved.path;
                break;
            }
        }
        if (path.empty())
            return kIfxErrorExternalReferenceFailed;
        if (level_ + 1 > kMaxReferenceLevels || session_.filesRead >= kMaxReferencedFiles ||
            std::find(session_.openFiles.begin(), session_.openFiles.end(), path) != session_.openFiles.end())
            return kIfxErrorExternalReferenceLimits;
        ++session_.filesRead;
        std::vector<uint8_t> bytes;
        if (!readExternalFile(path, bytes))
            return kIfxErrorExternalReferenceFailed;

        Scene referenced;
        session_.openFiles.push_back(path);
        FileLoader loader(session_, level_ + 1, referenced);
        const IFXRESULT result = loader.load(bytes);
        session_.openFiles.pop_back();
        if (result == kIfxErrorExternalReferenceLimits || result == kIfxErrorOutOfMemory)
            return result;
        if (ifxFailed(result))
            return kIfxErrorExternalReferenceFailed;
        MergeRules rules;
        rules.filters = std::move(reference.filters);
        rules.policy = reference.policy;
        rules.scopeName = std::move(reference.scopeName);
        rules.worldAlias = std::move(reference.worldAlias);
        return mergeScene(scene_, std::move(referenced), rules) ? kIfxOk : kIfxErrorOutOfMemory;
    }

    // The empty name is the default entry's: the world stays a group at the origin
    // without parents, and every other default stays what it is, so an object declared
    // under it is stepped over.
    template <typename T>
    IFXRESULT put(Palette<T>& palette, const std::string& name, T object, uint32_t blockType)
    {
        if (name.empty())
            return kIfxOk;
        return palette.put(name, std::move(object), blockType) ? kIfxOk : kIfxErrorOutOfMemory;
    }

    // Modifiers join the chain of their name once the file is read, so that a chain
    // may list them before or after its object. Outside a chain a modifier joins the
    // node of its name, else the model resource, else the texture.
    void attachPendingModifiers()
    {
        for (PendingModifier& pending : pendingModifiers_) {
            std::vector<Modifier>* chain = nullptr;
            const bool any = pending.chainType == kNoChain;
            if ((any || pending.chainType == kChainTypeNode) && !chain)
                if (const std::optional<uint32_t> id = scene_.nodes.find(pending.name); id && *id != 0)
                    chain = &scene_.nodes.entry(*id).object.modifiers;
            if ((any || pending.chainType == kChainTypeModelResource) && !chain)
                if (const std::optional<uint32_t> id = scene_.generators.find(pending.name); id && *id != 0)
                    chain = &scene_.generators.entry(*id).object.modifiers;
            if ((any || pending.chainType == kChainTypeTexture) && !chain)
                if (const std::optional<uint32_t> id = scene_.textures.find(pending.name); id && *id != 0)
                    chain = &scene_.textures.entry(*id).object.modifiers;
            if (chain)
                chain->push_back(std::move(pending.modifier));
        }
        pendingModifiers_.clear();
    }

    LoadSession& session_;
    uint32_t level_ = 1;
    Scene& scene_;
    DecoderOptions options_;
    std::unordered_map<std::string, std::shared_ptr<GeneratorDecoder>> decoders_;
    std::vector<ResourceContinuations> continuations_;
    std::unordered_map<const GeneratorDecoder*, size_t> continuationSlots_; // index in continuations_
    std::vector<PendingModifier> pendingModifiers_;
};

} // namespace

IFXRESULT loadScene(std::span<const uint8_t> bytes, const LoadEnvironment& environment, Scene& scene)
{
    LoadSession session{environment, 0, 0, {}};
    Scene loaded;
    FileLoader loader(session, 1, loaded);
    const IFXRESULT result = loader.load(bytes);
    if (ifxFailed(result))
        return result;
    const uint32_t profile = loaded.profile;
    const double unitsScale = loaded.unitsScale;
    if (!mergeScene(scene, std::move(loaded), MergeRules{}))
        return kIfxErrorOutOfMemory;
    scene.profile = profile;
    scene.unitsScale = unitsScale;
    return kIfxOk;
}

} // namespace u3dlib
