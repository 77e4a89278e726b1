#include "u3dlib/library/core_components.h"

#include "runtime/input_file.h"
#include "u3dlib/file_header.h"
#include "u3dlib/library/com_object.h"
#include "u3dlib/library/scene_objects.h"
#include "u3dlib/scene_loader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

namespace {

// The largest file Load reads; the worker hands over less than 4 GiB.
constexpr uint64_t kMaxLoadBytes = uint64_t{1} << 32;


// A file header block is a few dozen bytes; more would be meta data nobody reads here.
constexpr uint64_t kMaxHeaderBlockBytes = uint64_t{1} << 20;

class CoreServices final : public ComObject<IFXCoreServices> {
public:
    ~CoreServices() override
    {
        if (sceneGraph_)
            sceneGraph_->Release();
    }
    IFXRESULT QueryInterface(const IFXIID& interfaceId, void** object) override
    {
        if (object == nullptr)
            return kIfxErrorInvalidPointer;
        if (interfaceId == IID_IFXUnknown || interfaceId == IID_IFXCoreServices)
            return answer(static_cast<IFXCoreServices*>(this), object);
        return kIfxErrorUnsupported;
    }
    IFXRESULT Initialize(uint32_t, double unitsScale) override
    {
        if (sceneGraph_ != nullptr)
            return kIfxErrorAlreadyInitialized;
        if (!(unitsScale > 0))
            return kIfxErrorInvalidArgument;
        sceneGraph_ = new (std::nothrow) SceneGraphObject;
        return sceneGraph_ ? kIfxOk : kIfxErrorOutOfMemory;
    }
    IFXRESULT SetBaseURL(const IFXString& folder) override
    {
        if (sceneGraph_ == nullptr)
            return kIfxErrorNotInitialized;
        std::string utf8;
        if (!stringToUtf8(folder, utf8))
            return kIfxErrorInvalidArgument;
        sceneGraph_->state()->baseFolder = std::move(utf8);
        return kIfxOk;
    }
    IFXRESULT GetSceneGraph(const IFXIID& interfaceId, void** sceneGraph) override
    {
        if (sceneGraph == nullptr)
            return kIfxErrorInvalidPointer;
        if (sceneGraph_ == nullptr)
            return kIfxErrorNotInitialized;
        return sceneGraph_->QueryInterface(interfaceId, sceneGraph);
    }

private:
    SceneGraphObject* sceneGraph_ = nullptr;
};

// A file read whole into memory when it is opened, or bytes lent by the caller.
class ReadBuffer final : public ComObject<IFXReadBuffer, IFXStdio, IFXMemoryStdio, IFXReadBufferX> {
public:
    IFXRESULT QueryInterface(const IFXIID& interfaceId, void** object) override
    {
        if (object == nullptr)
            return kIfxErrorInvalidPointer;
        if (interfaceId == IID_IFXUnknown || interfaceId == IID_IFXReadBuffer)
            return answer(static_cast<IFXReadBuffer*>(this), object);
        if (interfaceId == IID_IFXStdio)
            return answer(static_cast<IFXStdio*>(this), object);
        if (interfaceId == IID_IFXMemoryStdio)
            return answer(static_cast<IFXMemoryStdio*>(this), object);
        if (interfaceId == IID_IFXReadBufferX)
            return answer(static_cast<IFXReadBufferX*>(this), object);
        return kIfxErrorUnsupported;
    }

    IFXRESULT Open(const IFXString& path) override
    {
        if (open_)
            return kIfxErrorAlreadyInitialized;
        InputBytes file;
        switch (readWholeInputFile(path.Raw(), file)) {
        case InputReadStatus::Ok:
            break;
        case InputReadStatus::Empty:
            open_ = true; // an empty file opens; reading it finds no data
            return kIfxOk;
        case InputReadStatus::NoMemory:
            return kIfxErrorOutOfMemory;
        default:
            return kIfxErrorOpenFailed;
        }
        owned_ = std::move(file);
        bytes_ = {owned_.data(), owned_.size()};
        position_ = 0;
        open_ = true;
        return kIfxOk;
    }
    IFXRESULT OpenMemory(const uint8_t* bytes, uint64_t size) override
    {
        if (open_)
            return kIfxErrorAlreadyInitialized;
        if (bytes == nullptr && size > 0)
            return kIfxErrorInvalidPointer;
        if (size > kMaxLoadBytes)
            return kIfxErrorOutOfMemory;
        bytes_ = {bytes, static_cast<size_t>(size)};
        position_ = 0;
        open_ = true;
        return kIfxOk;
    }
    IFXRESULT Close() override
    {
        if (!open_)
            return kIfxErrorNotInitialized;
        owned_.release();
        bytes_ = {};
        position_ = 0;
        open_ = false;
        return kIfxOk;
    }

    IFXRESULT Read(uint8_t* bytes, uint64_t count) override
    {
        const IFXRESULT r = ReadAt(position_, bytes, count);
        if (ifxSucceeded(r))
            position_ += count;
        return r;
    }
    IFXRESULT GetSize(uint64_t* size) override
    {
        if (size == nullptr)
            return kIfxErrorInvalidPointer;
        if (!open_)
            return kIfxErrorNotInitialized;
        *size = bytes_.size();
        return kIfxOk;
    }
    IFXRESULT SetPosition(uint64_t position) override
    {
        if (!open_)
            return kIfxErrorNotInitialized;
        if (position > bytes_.size())
            return kIfxErrorEndOfData;
        position_ = position;
        return kIfxOk;
    }
    IFXRESULT ReadAt(uint64_t position, uint8_t* bytes, uint64_t count) override
    {
        if (!open_)
            return kIfxErrorNotInitialized;
        if (bytes == nullptr && count > 0)
            return kIfxErrorInvalidPointer;
        if (position > bytes_.size() || count > bytes_.size() - position)
            return kIfxErrorEndOfData;
        if (count > 0)
            std::memcpy(bytes, bytes_.data() + position, static_cast<size_t>(count));
        return kIfxOk;
    }
    // The whole file, for a load that need not copy it.
    std::span<const uint8_t> contents() const { return bytes_; }

private:
    InputBytes owned_; // empty when the bytes are lent
    std::span<const uint8_t> bytes_;
    uint64_t position_ = 0;
    bool open_ = false;
};

class LoadManager final : public ComObject<IFXLoadManager> {
public:
    ~LoadManager() override
    {
        if (sceneGraph_)
            sceneGraph_->Release();
    }
    IFXRESULT QueryInterface(const IFXIID& interfaceId, void** object) override
    {
        if (object == nullptr)
            return kIfxErrorInvalidPointer;
        if (interfaceId == IID_IFXUnknown || interfaceId == IID_IFXLoadManager)
            return answer(static_cast<IFXLoadManager*>(this), object);
        return kIfxErrorUnsupported;
    }
    IFXRESULT Initialize(IFXCoreServices* coreServices) override
    {
        if (coreServices == nullptr)
            return kIfxErrorInvalidPointer;
        if (sceneGraph_ != nullptr)
            return kIfxErrorAlreadyInitialized;
        // Only this library's core services hand out their scene state.
        void* graph = nullptr;
        const IFXRESULT r = coreServices->GetSceneGraph(IID_SceneStateAccess, &graph);
        if (ifxFailed(r))
            return r == kIfxErrorUnsupported ? kIfxErrorInvalidArgument : r;
        sceneGraph_ = static_cast<SceneGraphObject*>(graph);
        return kIfxOk;
    }
    // Reads the whole buffer and merges its scene into the scene graph. Loading is
    // always complete and names collide by replacement, whatever the arguments ask.
    IFXRESULT Load(IFXReadBuffer* readBuffer, uint32_t, const IFXString&, uint32_t, uint32_t) override
    {
        if (sceneGraph_ == nullptr)
            return kIfxErrorNotInitialized;
        if (readBuffer == nullptr)
            return kIfxErrorInvalidPointer;
        uint64_t size = 0;
        IFXRESULT r = readBuffer->GetSize(&size);
        if (ifxFailed(r))
            return r;
        if (size > kMaxLoadBytes)
            return kIfxErrorOutOfMemory;
        // This library's own buffer is read in place; any other is copied.
        std::vector<uint8_t> bytes;
        std::span<const uint8_t> contents;
        if (const auto* own = dynamic_cast<const ReadBuffer*>(readBuffer); own != nullptr) {
            contents = own->contents();
            r = readBuffer->SetPosition(size);
        } else {
            try {
                bytes.resize(static_cast<size_t>(size));
            } catch (const std::bad_alloc&) {
                return kIfxErrorOutOfMemory;
            }
            r = readBuffer->SetPosition(0);
            if (ifxSucceeded(r) && size > 0)
                r = readBuffer->Read(bytes.data(), size);
            contents = bytes;
        }
        if (ifxFailed(r))
            return r == kIfxErrorEndOfData ? kIfxErrorCorrupt : r;
        const std::shared_ptr<SceneState>& state = sceneGraph_->state();
        u3dlib::LoadEnvironment environment;
        environment.baseFolder = state->baseFolder;
        environment.readGenerator = &u3dlib::readGeneratorDeclaration;
        try {
            r = u3dlib::loadScene(contents, environment, state->scene);
        } catch (const std::bad_alloc&) {
            r = kIfxErrorOutOfMemory;
        }
        state->sceneChanged();
        return r;
    }

private:
    SceneGraphObject* sceneGraph_ = nullptr;
};

class HeaderReader final : public ComObject<IFXHeaderReader> {
public:
    IFXRESULT QueryInterface(const IFXIID& interfaceId, void** object) override
    {
        if (object == nullptr)
            return kIfxErrorInvalidPointer;
        if (interfaceId == IID_IFXUnknown || interfaceId == IID_IFXHeaderReader)
            return answer(static_cast<IFXHeaderReader*>(this), object);
        return kIfxErrorUnsupported;
    }
    // Reads the file header block at position.
    IFXRESULT Initialize(IFXCoreServices* coreServices, IFXReadBufferX* buffer, uint64_t position) override
    {
        if (coreServices == nullptr || buffer == nullptr)
            return kIfxErrorInvalidPointer;
        uint64_t size = 0;
        IFXRESULT r = buffer->GetSize(&size);
        if (ifxFailed(r))
            return r;
        if (position > size)
            return kIfxErrorEndOfData;
        std::vector<uint8_t> block(u3dlib::kBlockHeaderSize);
        if (size - position < block.size())
            return kIfxErrorCorrupt;
        if (ifxFailed(r = buffer->ReadAt(position, block.data(), block.size())))
            return r;
        const uint64_t whole = u3dlib::kBlockHeaderSize + u3dlib::paddedTo4(u3dlib::loadU32LittleEndian(block, 4)) +
                               u3dlib::paddedTo4(u3dlib::loadU32LittleEndian(block, 8));
        if (whole > kMaxHeaderBlockBytes)
            return kIfxErrorCorrupt;
        // A file may end inside the block's closing padding; the framing decides.
        block.resize(static_cast<size_t>(std::min(whole, size - position)));
        if (ifxFailed(r = buffer->ReadAt(position, block.data(), block.size())))
            return r;
        u3dlib::Block found;
        u3dlib::FileHeader header;
        if (!u3dlib::readFirstBlockAsFileHeader(block, found, header))
            return kIfxErrorCorrupt;
        profile_ = header.profile;
        declarationSize_ = header.declarationSize;
        fileSize_ = header.fileSize;
        read_ = true;
        return kIfxOk;
    }
    IFXRESULT GetProfile(uint32_t* profile) override { return give(profile_, profile); }
    IFXRESULT GetDeclarationSize(uint32_t* bytes) override { return give(declarationSize_, bytes); }
    IFXRESULT GetFileSize(uint64_t* bytes) override { return give(fileSize_, bytes); }

private:
    template <typename T>
    IFXRESULT give(T value, T* out) const
    {
        if (out == nullptr)
            return kIfxErrorInvalidPointer;
        if (!read_)
            return kIfxErrorNotInitialized;
        *out = value;
        return kIfxOk;
    }

    bool read_ = false;
    uint32_t profile_ = 0;
    uint32_t declarationSize_ = 0;
    uint64_t fileSize_ = 0;
};

} // namespace

IFXRESULT createCoreServices(const IFXIID& interfaceId, void** object)
{
    return createObject<CoreServices>(interfaceId, object);
}

IFXRESULT createLoadManager(const IFXIID& interfaceId, void** object)
{
    return createObject<LoadManager>(interfaceId, object);
}

IFXRESULT createReadBuffer(const IFXIID& interfaceId, void** object)
{
    return createObject<ReadBuffer>(interfaceId, object);
}

IFXRESULT createHeaderReader(const IFXIID& interfaceId, void** object)
{
    return createObject<HeaderReader>(interfaceId, object);
}
