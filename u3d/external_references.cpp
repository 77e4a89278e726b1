#include "u3d/external_references.h"

#include "runtime/platform.h"
#include "runtime/utf.h"
#include "u3d/u3d_blocks.h"
#include "u3dlib/block_types.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

constexpr uint32_t kMinUrls = 1;
constexpr uint32_t kMaxUrls = 64;
constexpr size_t kReadPiece = 65536;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

// The whole file, or nothing when it cannot be opened or exceeds the limit.
std::vector<uint8_t> readReferencedFile(const std::string& path)
{
    std::vector<uint8_t> bytes;
    std::unique_ptr<char16_t, FreeDeleter> wide(utf8ToWide(path.c_str()));
    FILE* file = wide ? openFileForReading(wide.get()) : nullptr;
    if (file == nullptr)
        return bytes;
    std::vector<uint8_t> piece(kReadPiece);
    for (;;) {
        const size_t got = std::fread(piece.data(), 1, piece.size(), file);
        if (got == 0)
            break;
        if (bytes.size() + got > kMaxReferencedFileBytes) {
            bytes.clear();
            break;
        }
        bytes.insert(bytes.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(got));
    }
    std::fclose(file);
    return bytes;
}

struct FileReference {
    std::vector<std::string> urls;
};

// The URLs of a File Reference block; false when the block cannot be read.
bool readFileReference(const U3dBlock& block, FileReference& reference)
{
    U3dDataReader in(block.data, block.dataSize);
    std::string scope;
    uint32_t attributes = 0, urlCount = 0;
    if (!in.string(scope) || !in.u32(attributes))
        return false;
    if ((attributes & 1) && !in.skip(16)) // bounding sphere
        return false;
    if ((attributes & 2) && !in.skip(24)) // bounding box
        return false;
    if (!in.u32(urlCount) || urlCount < kMinUrls || urlCount > kMaxUrls)
        return false;
    reference.urls.resize(urlCount);
    for (std::string& url : reference.urls)
        if (!in.string(url))
            return false;
    return true;
}

} // namespace

uint32_t judgeReferenceUrl(const std::string& url, const char* documentFolder, std::string& resolvedPath)
{
    u3dlib::ResolvedUrl judged = u3dlib::judgeExternalUrl(documentFolder ? documentFolder : "", url, {"u3d"});
    resolvedPath = std::move(judged.path);
    return static_cast<uint32_t>(judged.verdict);
}

void diagnoseFileReferences(const uint8_t* data, size_t size, const char* documentFolder, uint32_t depth,
                            uint32_t& filesRead, std::string& offendingName, uint32_t& outcome, bool& found)
{
    U3dBlockCursor blocks(data, size);
    U3dBlock block;
    while (!found && blocks.next(block)) {
        FileReference reference;
        if (block.type != u3dlib::kBlockFileReference || !readFileReference(block, reference))
            continue;
        uint32_t blockCode = kReferenceNotFound;
        std::string resolved;
        bool accepted = false;
        for (size_t k = 0; k < reference.urls.size() && !accepted; ++k) {
            const uint32_t code = judgeReferenceUrl(reference.urls[k], documentFolder, resolved);
            if (k == 0)
                blockCode = code;
            accepted = code == kReferenceAcceptable;
        }
        if (!accepted || resolved.size() >= u3dlib::kMaxResolvedPathBytes) {
            offendingName = reference.urls.front();
            outcome = blockCode;
            found = true;
            return;
        }
        if (depth < kMaxReferenceDepth && filesRead < kMaxReferencedFiles) {
            ++filesRead;
            const std::vector<uint8_t> bytes = readReferencedFile(resolved);
            if (!bytes.empty())
                diagnoseFileReferences(bytes.data(), bytes.size(), documentFolder, depth + 1, filesRead,
                                       offendingName, outcome, found);
        }
    }
}
