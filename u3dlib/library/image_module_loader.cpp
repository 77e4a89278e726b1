// decodeImage for the shared library: the module of a codec's image libraries, found
// beside the library, is loaded with the first image of that codec and stays for the
// life of the process. Without it no such image decodes, and textures fall back as for
// any image that does not.
#include "runtime/platform.h"
#include "u3dlib/library/image_module.h"

#include <cstdlib>
#include <string>

namespace u3dlib {

namespace {

DecodeTextureImage loadImageModule(const char* file)
{
    char* library = getLibraryPathContaining(reinterpret_cast<const void*>(&loadImageModule));
    if (library == nullptr)
        return nullptr;
    std::string path;
    if (cutPathToDirectory(library))
        path = std::string(library) + kPathSeparator + file;
    std::free(library);
    void* module = loadLibraryFromPath(path.c_str());
    if (module == nullptr)
        return nullptr;
    return reinterpret_cast<DecodeTextureImage>(findLibrarySymbol(module, kImageModuleEntry));
}

DecodeTextureImage imageModule()
{
    static const DecodeTextureImage decode = loadImageModule(kImageModuleFile);
    return decode;
}

DecodeTextureImage tiffModule()
{
    static const DecodeTextureImage decode = loadImageModule(kTiffImageModuleFile);
    return decode;
}

} // namespace

bool decodeImage(std::span<const uint8_t> bytes, ImageCodec codec, RgbaImage& out)
{
    const DecodeTextureImage decode = codec == ImageCodec::Tiff ? tiffModule() : imageModule();
    return decode != nullptr && decode(bytes.data(), bytes.size(), static_cast<uint8_t>(codec), &out);
}

} // namespace u3dlib
