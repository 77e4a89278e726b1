// The interface between heron_scan and the U3D scene library (libIFXCore.so /
// IFXCore.dll in ext/u3d below the program). Both sides compile this one header.
//
// For whoever writes a component:
// - The library exports exactly the nine C functions declared at the end. heron_scan
//   binds them at run time; its own definitions of the same names forward to them.
// - Components are created with IFXCreateComponent(component id, interface id) and
//   used through abstract classes derived from IFXUnknown: QueryInterface by a 16-byte
//   interface id, AddRef, Release (the last Release frees the object). Every interface
//   pointer a method hands out is a new reference the caller releases once.
// - Every operation returns an IFXRESULT: 0 or positive on success, negative on
//   failure. Output parameters are written only on success.
// - Arrays handed out by author meshes, point sets and line sets point into the
//   library's memory and stay valid while the caller holds the object and loads
//   nothing more into the scene (and, for meshes, between Lock and Unlock): a later
//   continuation of a mesh takes its arrays back.
// - IFXString and the small value types below are defined inline here; strings keep
//   their memory through IFXAllocate/IFXDeallocate so that either side may free them.
// - Matrices are 16 floats in column-major order, translation in elements 12 to 14,
//   applied to column vectors.
// - Palettes: see the IFXPalette numbers below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(_WIN32)
#define IFX_EXPORT extern "C" __declspec(dllexport)
#else
#define IFX_EXPORT extern "C" __attribute__((visibility("default")))
#endif

using IFXRESULT = int32_t;

inline constexpr bool ifxSucceeded(IFXRESULT r) { return r >= 0; }
inline constexpr bool ifxFailed(IFXRESULT r) { return r < 0; }

// Result codes. The two external-reference codes are the ones the worker tells apart.
inline constexpr IFXRESULT kIfxOk = 0;
inline constexpr IFXRESULT kIfxErrorUnspecified = static_cast<IFXRESULT>(0x80000001u);
inline constexpr IFXRESULT kIfxErrorOutOfMemory = static_cast<IFXRESULT>(0x80000002u);
inline constexpr IFXRESULT kIfxErrorNotFound = static_cast<IFXRESULT>(0x80000003u);
inline constexpr IFXRESULT kIfxErrorInvalidArgument = static_cast<IFXRESULT>(0x80000004u);
inline constexpr IFXRESULT kIfxErrorInvalidPointer = static_cast<IFXRESULT>(0x80000005u);
inline constexpr IFXRESULT kIfxErrorUnsupported = static_cast<IFXRESULT>(0x80000006u);
inline constexpr IFXRESULT kIfxErrorCorrupt = static_cast<IFXRESULT>(0x80000007u);
inline constexpr IFXRESULT kIfxErrorNotInitialized = static_cast<IFXRESULT>(0x80000008u);
inline constexpr IFXRESULT kIfxErrorAlreadyInitialized = static_cast<IFXRESULT>(0x80000009u);
inline constexpr IFXRESULT kIfxErrorEndOfData = static_cast<IFXRESULT>(0x8000000Au);
inline constexpr IFXRESULT kIfxErrorOpenFailed = static_cast<IFXRESULT>(0x8000000Bu);
inline constexpr IFXRESULT kIfxErrorExternalReferenceFailed = static_cast<IFXRESULT>(0x80000015u);
inline constexpr IFXRESULT kIfxErrorExternalReferenceLimits = static_cast<IFXRESULT>(0x80000016u);

// 16-byte identifiers in the usual textual layout {Data1-Data2-Data3-Data4[0..1]-Data4[2..7]}.
struct IFXGUID {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};
static_assert(sizeof(IFXGUID) == 16);
using IFXCID = IFXGUID; // component id
using IFXIID = IFXGUID; // interface id

inline bool operator==(const IFXGUID& a, const IFXGUID& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Component ids and the interface asked of each at creation.
inline constexpr IFXCID CID_IFXCoreServices = {0xae842700, 0xa9e5, 0x11d3, {0x98, 0xa8, 0x00, 0xa0, 0xc9, 0x90, 0x2d, 0x25}};
inline constexpr IFXIID IID_IFXCoreServices = {0xae842701, 0xa9e5, 0x11d3, {0x98, 0xa8, 0x00, 0xa0, 0xc9, 0x90, 0x2d, 0x25}};
inline constexpr IFXCID CID_IFXLoadManager = {0x916782c2, 0xd811, 0x11d3, {0x95, 0x19, 0x00, 0xa0, 0xc9, 0x0a, 0xb1, 0x36}};
inline constexpr IFXIID IID_IFXLoadManager = {0x916782c4, 0xd811, 0x11d3, {0x95, 0x19, 0x00, 0xa0, 0xc9, 0x0a, 0xb1, 0x36}};
inline constexpr IFXCID CID_IFXReadBuffer = {0x4ac57841, 0xeb76, 0x11d3, {0x95, 0x19, 0x00, 0xa0, 0xc9, 0x0a, 0xb1, 0x36}};
inline constexpr IFXIID IID_IFXReadBuffer = {0xdec1b7a3, 0x3dc7, 0x11d3, {0x81, 0xf4, 0x00, 0x04, 0xac, 0x2e, 0xdb, 0xcd}};
inline constexpr IFXCID CID_IFXHeaderReader = {0xd0a7e190, 0xedb3, 0x4878, {0xa9, 0x44, 0xf4, 0xfb, 0x7b, 0xed, 0xc4, 0xc7}};
inline constexpr IFXIID IID_IFXHeaderReader = {0x17c0b170, 0x7177, 0x4000, {0x85, 0x0e, 0xc9, 0xed, 0x9c, 0xe1, 0x64, 0xda}};

// Interfaces asked of existing objects.
inline constexpr IFXIID IID_IFXUnknown = {0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IFXIID IID_IFXSceneGraph = {0x7a298619, 0x8b01, 0x11d3, {0x84, 0x67, 0x00, 0xa0, 0xc9, 0x39, 0xb1, 0x04}};
inline constexpr IFXIID IID_IFXStdio = {0x4ac57844, 0xeb76, 0x11d3, {0x95, 0x19, 0x00, 0xa0, 0xc9, 0x0a, 0xb1, 0x36}};
// This library's own: the read buffer opened over bytes its caller holds.
inline constexpr IFXIID IID_IFXMemoryStdio = {0x842e61dc, 0x4faa, 0x4a4e, {0xac, 0x0b, 0x70, 0x92, 0xcf, 0xf9, 0xb4, 0xdc}};
inline constexpr IFXIID IID_IFXReadBufferX = {0x99c40294, 0x24f5, 0x42b2, {0xb3, 0x42, 0x23, 0x7b, 0x45, 0xeb, 0xec, 0x09}};
inline constexpr IFXIID IID_IFXNode = {0x4517c9f3, 0xb31e, 0x11d3, {0x94, 0xb1, 0x00, 0xa0, 0xc9, 0xa0, 0xfb, 0xae}};
inline constexpr IFXIID IID_IFXLight = {0x4517c9f4, 0xb31e, 0x11d3, {0x94, 0xb1, 0x00, 0xa0, 0xc9, 0xa0, 0xfb, 0xae}};
inline constexpr IFXIID IID_IFXModel = {0x4517c9f5, 0xb31e, 0x11d3, {0x94, 0xb1, 0x00, 0xa0, 0xc9, 0xa0, 0xfb, 0xae}};
inline constexpr IFXIID IID_IFXView = {0x7a29861b, 0x8b01, 0x11d3, {0x84, 0x67, 0x00, 0xa0, 0xc9, 0x39, 0xb1, 0x04}};
inline constexpr IFXIID IID_IFXViewResource = {0x3d6515ef, 0x13e1, 0x46fb, {0xad, 0xca, 0x53, 0xd5, 0xf1, 0x8d, 0x64, 0xff}};
inline constexpr IFXIID IID_IFXLightResource = {0x2b1c0e7d, 0x5f6a, 0x4c3e, {0x9a, 0x41, 0x6e, 0x2d, 0x80, 0x13, 0x57, 0xc1}};
inline constexpr IFXIID IID_IFXAuthorCLODResource = {0xe284a4a4, 0x9a2f, 0x4110, {0xbf, 0xcf, 0xbe, 0x32, 0xdd, 0x80, 0x23, 0xd7}};
inline constexpr IFXIID IID_IFXAuthorPointSetResource = {0x1739e931, 0xdc5b, 0x4f2c, {0x8f, 0x3a, 0xe9, 0x45, 0x50, 0x82, 0x48, 0x7d}};
inline constexpr IFXIID IID_IFXAuthorLineSetResource = {0x1c48c8fd, 0xaa10, 0x4e9b, {0x9d, 0x7f, 0x1e, 0x7e, 0x65, 0xed, 0x11, 0x2b}};
inline constexpr IFXIID IID_IFXModifier = {0x68d1ff05, 0x90f7, 0x4f52, {0x83, 0x21, 0x92, 0xab, 0xce, 0x45, 0xd4, 0xd5}};
inline constexpr IFXIID IID_IFXShadingModifier = {0xfea5d3c8, 0x4bf4, 0x4735, {0xad, 0x2b, 0xa9, 0x4e, 0xcb, 0x5e, 0xa4, 0x4a}};
inline constexpr IFXIID IID_IFXShaderLitTexture = {0x90656a62, 0x0366, 0x11d4, {0x89, 0x05, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr IFXIID IID_IFXMaterialResource = {0xca165395, 0xb33d, 0x11d3, {0x94, 0xb1, 0x00, 0xa0, 0xc9, 0xa0, 0xfb, 0xae}};
inline constexpr IFXIID IID_IFXTextureObject = {0xdec1b7aa, 0x3dc7, 0x11d3, {0x81, 0xf4, 0x00, 0x04, 0xac, 0x2e, 0xdb, 0xcd}};

// Palette numbers for IFXSceneGraph::GetPalette.
enum IFXPaletteNumber : uint32_t {
    kIfxPaletteMaterial = 0,
    kIfxPaletteGenerator = 1, // model resources: meshes, point sets, line sets
    kIfxPaletteShader = 2,
    kIfxPaletteTexture = 3,
    kIfxPaletteMotion = 4,
    kIfxPaletteNode = 5,
    kIfxPaletteLightResource = 6,
    kIfxPaletteMixer = 7,
    kIfxPaletteViewResource = 8,
    kIfxPaletteCount = 9,
};

// ---- Memory and strings --------------------------------------------------------

using IFXAllocateFunction = void* (*)(size_t size);
using IFXDeallocateFunction = void (*)(void* memory);
using IFXReallocateFunction = void* (*)(void* memory, size_t size);

extern "C" void* IFXAllocate(size_t size);
extern "C" void IFXDeallocate(void* memory);
extern "C" void* IFXReallocate(void* memory, size_t size);

// A UTF-16 string whose buffer lives in library memory. Built from and read back as
// UTF-8; a conversion of malformed text fails instead of guessing.
class IFXString {
public:
    IFXString() = default;
    explicit IFXString(const char* utf8) { AssignUtf8(utf8); }
    IFXString(const IFXString& other) { Assign(other.units_, other.length_); }
    IFXString& operator=(const IFXString& other)
    {
        if (this != &other)
            Assign(other.units_, other.length_);
        return *this;
    }
    ~IFXString() { IFXDeallocate(units_); }

    // UTF-16 code units, NUL-terminated; never null.
    const char16_t* Raw() const { return units_ ? units_ : u""; }
    uint32_t Length() const { return length_; }
    bool IsEmpty() const { return length_ == 0; }

    IFXRESULT Assign(const char16_t* units, uint32_t length)
    {
        char16_t* copy = nullptr;
        if (length > 0) {
            copy = static_cast<char16_t*>(IFXAllocate((size_t{length} + 1) * sizeof(char16_t)));
            if (copy == nullptr)
                return kIfxErrorOutOfMemory;
            std::memcpy(copy, units, size_t{length} * sizeof(char16_t));
            copy[length] = 0;
        }
        IFXDeallocate(units_);
        units_ = copy;
        length_ = copy ? length : 0;
        return kIfxOk;
    }

    IFXRESULT AssignUtf8(const char* utf8)
    {
        if (utf8 == nullptr)
            return Assign(nullptr, 0);
        const size_t bytes = std::strlen(utf8);
        if (bytes > 0x3FFFFFFF)
            return kIfxErrorInvalidArgument;
        char16_t* units = static_cast<char16_t*>(IFXAllocate((bytes + 1) * sizeof(char16_t)));
        if (units == nullptr)
            return kIfxErrorOutOfMemory;
        uint32_t n = 0;
        for (size_t i = 0; i < bytes;) {
            const uint8_t b0 = static_cast<uint8_t>(utf8[i]);
            uint32_t cp, length, minimum;
            if (b0 < 0x80)
                cp = b0, length = 1, minimum = 0;
            else if ((b0 & 0xE0) == 0xC0)
                cp = b0 & 0x1F, length = 2, minimum = 0x80;
            else if ((b0 & 0xF0) == 0xE0)
                cp = b0 & 0x0F, length = 3, minimum = 0x800;
            else if ((b0 & 0xF8) == 0xF0)
                cp = b0 & 0x07, length = 4, minimum = 0x10000;
            else
                return FailConversion(units);
            if (bytes - i < length)
                return FailConversion(units);
            for (uint32_t k = 1; k < length; ++k) {
                const uint8_t b = static_cast<uint8_t>(utf8[i + k]);
                if ((b & 0xC0) != 0x80)
                    return FailConversion(units);
                cp = (cp << 6) | (b & 0x3F);
            }
            if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
                return FailConversion(units);
            if (cp >= 0x10000) {
                units[n++] = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
                units[n++] = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
            } else {
                units[n++] = static_cast<char16_t>(cp);
            }
            i += length;
        }
        units[n] = 0;
        IFXDeallocate(units_);
        units_ = units;
        length_ = n;
        return kIfxOk;
    }

    // Bytes of the UTF-8 form, without a terminating NUL.
    IFXRESULT GetLengthU8(uint32_t* bytes) const
    {
        if (bytes == nullptr)
            return kIfxErrorInvalidPointer;
        uint32_t total = 0;
        for (uint32_t i = 0; i < length_; ++i) {
            const uint32_t cp = units_[i];
            if (cp >= 0xD800 && cp <= 0xDBFF) {
                if (i + 1 >= length_ || units_[i + 1] < 0xDC00 || units_[i + 1] > 0xDFFF)
                    return kIfxErrorInvalidArgument;
                total += 4;
                ++i;
            } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                return kIfxErrorInvalidArgument;
            } else {
                total += cp < 0x80 ? 1 : cp < 0x800 ? 2 : 3;
            }
        }
        *bytes = total;
        return kIfxOk;
    }

    // Writes the UTF-8 form and a NUL into buffer (capacity bytes, terminator included).
    IFXRESULT ConvertToRawU8(uint8_t* buffer, uint32_t capacity) const
    {
        uint32_t needed = 0;
        const IFXRESULT r = GetLengthU8(&needed);
        if (ifxFailed(r))
            return r;
        if (buffer == nullptr || capacity < needed + 1)
            return kIfxErrorInvalidArgument;
        uint32_t o = 0;
        for (uint32_t i = 0; i < length_; ++i) {
            uint32_t cp = units_[i];
            if (cp >= 0xD800 && cp <= 0xDBFF)
                cp = 0x10000 + ((cp - 0xD800) << 10) + (units_[++i] - 0xDC00);
            if (cp < 0x80) {
                buffer[o++] = static_cast<uint8_t>(cp);
            } else if (cp < 0x800) {
                buffer[o++] = static_cast<uint8_t>(0xC0 | (cp >> 6));
                buffer[o++] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
            } else if (cp < 0x10000) {
                buffer[o++] = static_cast<uint8_t>(0xE0 | (cp >> 12));
                buffer[o++] = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
                buffer[o++] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
            } else {
                buffer[o++] = static_cast<uint8_t>(0xF0 | (cp >> 18));
                buffer[o++] = static_cast<uint8_t>(0x80 | ((cp >> 12) & 0x3F));
                buffer[o++] = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
                buffer[o++] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
            }
        }
        buffer[o] = 0;
        return kIfxOk;
    }

private:
    IFXRESULT FailConversion(char16_t* units)
    {
        IFXDeallocate(units);
        return kIfxErrorInvalidArgument;
    }

    char16_t* units_ = nullptr;
    uint32_t length_ = 0;
};

// ---- Value types ---------------------------------------------------------------

struct IFXVector3 {
    float x, y, z;
};
struct IFXVector4 {
    float r, g, b, a; // colours; texture coordinates use r, g as u, v
};
struct IFXMatrix4x4 {
    float m[16]; // column-major, translation in 12..14
};
struct IFXAuthorFace {
    uint32_t a, b, c; // corner indices into the array the face list belongs to
};
// Corner k (0 to 2) of a face.
inline uint32_t cornerOf(const IFXAuthorFace& face, uint32_t k)
{
    return k == 0 ? face.a : k == 1 ? face.b : face.c;
}
inline uint32_t& cornerOf(IFXAuthorFace& face, uint32_t k)
{
    return k == 0 ? face.a : k == 1 ? face.b : face.c;
}
struct IFXAuthorLine {
    uint32_t a, b;
};

// Counts of an author mesh (faces) or point set (points) or line set (lines).
struct IFXAuthorMeshDesc {
    uint32_t numFaces; // points for a point set, lines for a line set
    uint32_t numPositions;
    uint32_t numNormals;
    uint32_t numDiffuseColors;
    uint32_t numSpecularColors;
    uint32_t numTexCoords;
    uint32_t numMaterials;
};

inline constexpr uint32_t kIfxMaxTextureLayers = 8;

// One material (shading description) of an author mesh: 13 u32.
struct IFXAuthorMaterial {
    uint32_t numTextureLayers;
    uint32_t texCoordDimensions[kIfxMaxTextureLayers];
    uint32_t originalMaterialId;
    uint32_t diffuseColors;  // 1: the faces take their colours from per-vertex diffuse colours
    uint32_t specularColors; // 1: per-vertex specular colours present
    uint32_t normals;        // 1: per-vertex normals present
};
static_assert(sizeof(IFXAuthorMaterial) == 13 * 4);

// Where IFXTextureObject::GetRenderImage writes its pixels.
inline constexpr uint32_t kIfxTextureFormatRgba8 = 1;
inline constexpr uint32_t kIfxChannelOrderRgba = 0x391;
struct IFXTextureOutput {
    uint32_t width;
    uint32_t height;
    uint8_t* pixels;
    uint32_t pitch; // bytes per row
    uint32_t format;
    uint32_t channelOrder;
    uint32_t reserved; // 0
};

// ---- Interfaces ----------------------------------------------------------------

class IFXUnknown {
public:
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;
    virtual IFXRESULT QueryInterface(const IFXIID& interfaceId, void** object) = 0;

protected:
    ~IFXUnknown() = default;
};

class IFXSceneGraph;
class IFXPalette;
class IFXNode;

class IFXCoreServices : public IFXUnknown {
public:
    // profile: the file profile flags the caller expects (0: any); unitsScale: metres per unit.
    virtual IFXRESULT Initialize(uint32_t profile, double unitsScale) = 0;
    // Folder against which external file references are resolved; empty: none.
    virtual IFXRESULT SetBaseURL(const IFXString& folder) = 0;
    // interfaceId: IID_IFXSceneGraph.
    virtual IFXRESULT GetSceneGraph(const IFXIID& interfaceId, void** sceneGraph) = 0;

protected:
    ~IFXCoreServices() = default;
};

class IFXReadBuffer;

class IFXLoadManager : public IFXUnknown {
public:
    virtual IFXRESULT Initialize(IFXCoreServices* coreServices) = 0;
    // Loads the whole file behind readBuffer into the scene graph. loadAll 1, scope
    // empty and the two modes 0 are what the worker passes.
    virtual IFXRESULT Load(IFXReadBuffer* readBuffer, uint32_t loadAll, const IFXString& scope,
                           uint32_t collisionPolicy, uint32_t flags) = 0;

protected:
    ~IFXLoadManager() = default;
};

class IFXReadBuffer : public IFXUnknown {
public:
    // Reads count bytes at the current position.
    virtual IFXRESULT Read(uint8_t* bytes, uint64_t count) = 0;
    virtual IFXRESULT GetSize(uint64_t* size) = 0;
    virtual IFXRESULT SetPosition(uint64_t position) = 0;

protected:
    ~IFXReadBuffer() = default;
};

// The file side of a read buffer (IID_IFXStdio).
class IFXStdio : public IFXUnknown {
public:
    virtual IFXRESULT Open(const IFXString& path) = 0;
    virtual IFXRESULT Close() = 0;

protected:
    ~IFXStdio() = default;
};

// The memory side of a read buffer (IID_IFXMemoryStdio): the bytes are lent, not
// copied, and must stay unchanged until Close, so that a caller holding a file need
// not write it out for the library to read it back.
class IFXMemoryStdio : public IFXUnknown {
public:
    virtual IFXRESULT OpenMemory(const uint8_t* bytes, uint64_t size) = 0;
    virtual IFXRESULT Close() = 0;

protected:
    ~IFXMemoryStdio() = default;
};

// The read buffer as the header reader uses it (IID_IFXReadBufferX).
class IFXReadBufferX : public IFXUnknown {
public:
    virtual IFXRESULT ReadAt(uint64_t position, uint8_t* bytes, uint64_t count) = 0;
    virtual IFXRESULT GetSize(uint64_t* size) = 0;

protected:
    ~IFXReadBufferX() = default;
};

// Reads the file header block at a position of a read buffer.
class IFXHeaderReader : public IFXUnknown {
public:
    virtual IFXRESULT Initialize(IFXCoreServices* coreServices, IFXReadBufferX* buffer, uint64_t position) = 0;
    // The header's profile identifier.
    virtual IFXRESULT GetProfile(uint32_t* profile) = 0;
    // The size in bytes of the declaration blocks, as the header states it.
    virtual IFXRESULT GetDeclarationSize(uint32_t* bytes) = 0;
    // The file size the header states.
    virtual IFXRESULT GetFileSize(uint64_t* bytes) = 0;

protected:
    ~IFXHeaderReader() = default;
};

class IFXSceneGraph : public IFXUnknown {
public:
    virtual IFXRESULT GetPalette(uint32_t paletteNumber, IFXPalette** palette) = 0;

protected:
    ~IFXSceneGraph() = default;
};

// An ordered name -> object map. Entry 0 is the default entry (empty name).
class IFXPalette : public IFXUnknown {
public:
    virtual IFXRESULT GetPaletteSize(uint32_t* entries) = 0;
    // The entry's object as the given interface; fails when it has none or does not answer it.
    virtual IFXRESULT GetResourcePtr(uint32_t id, const IFXIID& interfaceId, void** object) = 0;
    virtual IFXRESULT GetName(uint32_t id, IFXString* name) = 0;
    virtual IFXRESULT Find(const IFXString& name, uint32_t* id) = 0;

protected:
    ~IFXPalette() = default;
};

class IFXModifierChain;

// A node, a model resource, a texture: anything that heads or sits in a modifier chain.
class IFXModifier : public IFXUnknown {
public:
    virtual IFXRESULT GetModifierChain(IFXModifierChain** chain) = 0;

protected:
    ~IFXModifier() = default;
};

class IFXModifierChain : public IFXUnknown {
public:
    virtual IFXRESULT GetModifierCount(uint32_t* count) = 0;
    virtual IFXRESULT GetModifier(uint32_t index, IFXModifier** modifier) = 0;

protected:
    ~IFXModifierChain() = default;
};

class IFXNode : public IFXUnknown {
public:
    virtual IFXRESULT GetNumberOfParents(uint32_t* count) = 0;
    virtual IFXRESULT GetParentNR(uint32_t parentSlot, IFXNode** parent) = 0;
    // allDescendants 0: direct children only (the worker always passes 0).
    virtual IFXRESULT GetNumberOfChildren(uint32_t allDescendants, uint32_t* count) = 0;
    virtual IFXRESULT GetChildNR(uint32_t index, IFXNode** child) = 0;
    // The local matrix relative to the parent in the given slot.
    virtual IFXRESULT GetMatrix(uint32_t parentSlot, IFXMatrix4x4* matrix) = 0;

protected:
    ~IFXNode() = default;
};

// A model node (IID_IFXModel) also answers IID_IFXNode and IID_IFXModifier.
class IFXModel : public IFXUnknown {
public:
    // Palette holding the model's resource (kIfxPaletteGenerator for geometry).
    virtual IFXRESULT GetResourcePalette(uint32_t* paletteNumber) = 0;
    virtual IFXRESULT GetResourceIndex(uint32_t* id) = 0;

protected:
    ~IFXModel() = default;
};

class IFXLightResource;

enum IFXLightType : uint32_t { kIfxLightAmbient = 0, kIfxLightDirectional = 1, kIfxLightPoint = 2, kIfxLightSpot = 3 };
enum IFXLightAttribute : uint8_t { kIfxLightEnabled = 1, kIfxLightSpecular = 2, kIfxLightSpotDecay = 4 };

// A light node (IID_IFXLight) also answers IID_IFXNode.
class IFXLight : public IFXUnknown {
public:
    virtual IFXRESULT GetLightResource(IFXLightResource** resource) = 0;

protected:
    ~IFXLight() = default;
};

class IFXLightResource : public IFXUnknown {
public:
    virtual IFXRESULT GetAttributes(uint8_t* attributes) = 0;
    virtual IFXRESULT GetType(uint32_t* type) = 0;
    virtual IFXRESULT GetIntensity(float* intensity) = 0;
    virtual IFXRESULT GetColor(float rgb[3]) = 0;
    // Constant, linear, quadratic.
    virtual IFXRESULT GetAttenuation(float attenuation[3]) = 0;
    virtual IFXRESULT GetSpotAngle(float* degrees) = 0;

protected:
    ~IFXLightResource() = default;
};

// A view node (IID_IFXView) also answers IID_IFXNode.
class IFXView : public IFXUnknown {
public:
    // Field of view in degrees; fails when the view has no perspective projection.
    virtual IFXRESULT GetProjection(float* degrees) = 0;

protected:
    ~IFXView() = default;
};

// Entries of the view resource palette (IID_IFXViewResource); only their names are used.
class IFXViewResource : public IFXUnknown {
public:
    virtual IFXRESULT GetRootNode(uint32_t* nodeId) = 0;

protected:
    ~IFXViewResource() = default;
};

class IFXAuthorMesh : public IFXUnknown {
public:
    virtual IFXRESULT Lock() = 0;
    virtual IFXRESULT Unlock() = 0;
    virtual IFXRESULT GetMeshDesc(IFXAuthorMeshDesc* desc) = 0;
    virtual IFXRESULT GetPositions(const IFXVector3** positions) = 0;
    virtual IFXRESULT GetPositionFaces(const IFXAuthorFace** faces) = 0;
    virtual IFXRESULT GetFaceMaterials(const uint32_t** materialIds) = 0;
    virtual IFXRESULT GetNormals(const IFXVector3** normals) = 0;
    virtual IFXRESULT GetNormalFaces(const IFXAuthorFace** faces) = 0;
    virtual IFXRESULT GetDiffuseColors(const IFXVector4** colors) = 0;
    virtual IFXRESULT GetDiffuseFaces(const IFXAuthorFace** faces) = 0;
    virtual IFXRESULT GetTexCoords(const IFXVector4** coordinates) = 0;
    virtual IFXRESULT GetTexFaces(uint32_t layer, const IFXAuthorFace** faces) = 0;
    virtual IFXRESULT GetMaterials(const IFXAuthorMaterial** materials) = 0;

protected:
    ~IFXAuthorMesh() = default;
};

// Point sets (one index per point) and line sets (two per line) offer the same arrays.
class IFXAuthorPointSet : public IFXUnknown {
public:
    virtual IFXRESULT GetPointSetDesc(IFXAuthorMeshDesc* desc) = 0;
    virtual IFXRESULT GetPositions(const IFXVector3** positions) = 0;
    virtual IFXRESULT GetPositionPoints(const uint32_t** indices) = 0;
    virtual IFXRESULT GetPointMaterials(const uint32_t** materialIds) = 0;
    virtual IFXRESULT GetNormals(const IFXVector3** normals) = 0;
    virtual IFXRESULT GetNormalPoints(const uint32_t** indices) = 0;
    virtual IFXRESULT GetDiffuseColors(const IFXVector4** colors) = 0;
    virtual IFXRESULT GetDiffusePoints(const uint32_t** indices) = 0;
    virtual IFXRESULT GetMaterials(const IFXAuthorMaterial** materials) = 0;

protected:
    ~IFXAuthorPointSet() = default;
};

class IFXAuthorLineSet : public IFXUnknown {
public:
    virtual IFXRESULT GetLineSetDesc(IFXAuthorMeshDesc* desc) = 0;
    virtual IFXRESULT GetPositions(const IFXVector3** positions) = 0;
    virtual IFXRESULT GetPositionLines(const IFXAuthorLine** lines) = 0;
    virtual IFXRESULT GetLineMaterials(const uint32_t** materialIds) = 0;
    virtual IFXRESULT GetNormals(const IFXVector3** normals) = 0;
    virtual IFXRESULT GetNormalLines(const IFXAuthorLine** lines) = 0;
    virtual IFXRESULT GetDiffuseColors(const IFXVector4** colors) = 0;
    virtual IFXRESULT GetDiffuseLines(const IFXAuthorLine** lines) = 0;
    virtual IFXRESULT GetMaterials(const IFXAuthorMaterial** materials) = 0;

protected:
    ~IFXAuthorLineSet() = default;
};

// Model resources of palette 1, by kind; each also answers IID_IFXModifier.
class IFXAuthorCLODResource : public IFXUnknown {
public:
    virtual IFXRESULT GetAuthorMesh(IFXAuthorMesh** mesh) = 0;

protected:
    ~IFXAuthorCLODResource() = default;
};

class IFXAuthorPointSetResource : public IFXUnknown {
public:
    virtual IFXRESULT GetAuthorPointSet(IFXAuthorPointSet** pointSet) = 0;

protected:
    ~IFXAuthorPointSetResource() = default;
};

class IFXAuthorLineSetResource : public IFXUnknown {
public:
    virtual IFXRESULT GetAuthorLineSet(IFXAuthorLineSet** lineSet) = 0;

protected:
    ~IFXAuthorLineSetResource() = default;
};

// One shader list of a shading modifier: shader ids in the shader palette.
class IFXShaderList : public IFXUnknown {
public:
    virtual IFXRESULT GetNumShaders(uint32_t* count) = 0;
    virtual IFXRESULT GetShader(uint32_t index, uint32_t* shaderId) = 0;

protected:
    ~IFXShaderList() = default;
};

// A shading modifier (IID_IFXShadingModifier) also answers IID_IFXModifier.
class IFXShadingModifier : public IFXUnknown {
public:
    virtual IFXRESULT GetElementShaderList(uint32_t element, IFXShaderList** list) = 0;

protected:
    ~IFXShadingModifier() = default;
};

class IFXShaderLitTexture : public IFXUnknown {
public:
    virtual IFXRESULT GetMaterialID(uint32_t* materialId) = 0;
    // Texture palette id of the layer; 0 when the layer has none.
    virtual IFXRESULT GetTextureID(uint32_t layer, uint32_t* textureId) = 0;

protected:
    ~IFXShaderLitTexture() = default;
};

class IFXMaterialResource : public IFXUnknown {
public:
    virtual IFXRESULT GetDiffuse(float rgb[3]) = 0;
    virtual IFXRESULT GetAmbient(float rgb[3]) = 0;
    virtual IFXRESULT GetSpecular(float rgb[3]) = 0;
    virtual IFXRESULT GetEmission(float rgb[3]) = 0;
    virtual IFXRESULT GetReflectivity(float* reflectivity) = 0;
    virtual IFXRESULT GetOpacity(float* opacity) = 0;
    virtual IFXRESULT GetTransparent(uint32_t* transparent) = 0;

protected:
    ~IFXMaterialResource() = default;
};

class IFXTextureObject : public IFXUnknown {
public:
    virtual IFXRESULT GetWidth(uint32_t* width) = 0;
    virtual IFXRESULT GetHeight(uint32_t* height) = 0;
    // Decodes the image into output (8-bit RGBA rows of output.pitch bytes).
    virtual IFXRESULT GetRenderImage(const IFXTextureOutput& output) = 0;

protected:
    ~IFXTextureObject() = default;
};

// ---- The library's exports -----------------------------------------------------

// Describes a component a plug-in adds to the library.
struct IFXComponentDescriptor {
    const IFXCID* componentId;
    IFXRESULT (*factory)(const IFXIID& interfaceId, void** object);
    uint32_t version;
};

extern "C" IFXRESULT IFXCOMInitialize();
extern "C" IFXRESULT IFXCOMUninitialize();
extern "C" IFXRESULT IFXCreateComponent(const IFXCID& componentId, const IFXIID& interfaceId, void** object);
extern "C" IFXRESULT IFXRegisterComponent(const IFXComponentDescriptor* descriptor);
extern "C" IFXRESULT IFXGetMemoryFunctions(IFXAllocateFunction* allocate, IFXDeallocateFunction* deallocate,
                                           IFXReallocateFunction* reallocate);
extern "C" IFXRESULT IFXSetMemoryFunctions(IFXAllocateFunction allocate, IFXDeallocateFunction deallocate,
                                           IFXReallocateFunction reallocate);

// Names of the exports, in the order the worker resolves them.
inline constexpr const char* kIfxExportNames[] = {
    "IFXCOMInitialize", "IFXCOMUninitialize",    "IFXCreateComponent",
    "IFXAllocate",      "IFXDeallocate",         "IFXReallocate",
    "IFXRegisterComponent", "IFXGetMemoryFunctions", "IFXSetMemoryFunctions",
};

#if defined(_WIN32)
inline constexpr const char* kIfxLibraryFileName = "IFXCore.dll";
#else
inline constexpr const char* kIfxLibraryFileName = "libIFXCore.so";
#endif
