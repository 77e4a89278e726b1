#include "u3d/external_references.h"

#include "runtime/platform.h"
#include "runtime/utf.h"
#include "u3d/u3d_blocks.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

namespace {

constexpr size_t kMaxFolderUnits = 4096;
constexpr size_t kMaxUrlUnits = 1024;
constexpr size_t kMaxResolvedPathBytes = 4096; // a resolved path this long is not followed
constexpr uint32_t kMinUrls = 1;
constexpr uint32_t kMaxUrls = 64;
constexpr size_t kReadPiece = 65536;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using CString = std::unique_ptr<char, FreeDeleter>;

bool isForbiddenUnit(char16_t c)
{
    if (c < 0x20 || c == 0x7F || (c >= 0xD800 && c <= 0xDFFF))
        return true;
    return std::u16string_view(u"\"*:<>?\\|").find(c) != std::u16string_view::npos;
}

char16_t asciiUpper(char16_t c)
{
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool equalsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (asciiUpper(a[i]) != asciiUpper(b[i]))
            return false;
    return true;
}

std::vector<std::u16string_view> segmentsOf(std::u16string_view url)
{
    std::vector<std::u16string_view> segments;
    size_t start = 0;
    for (;;) {
        const size_t slash = url.find(u'/', start);
        segments.push_back(url.substr(start, slash == std::u16string_view::npos ? std::u16string_view::npos
                                                                                : slash - start));
        if (slash == std::u16string_view::npos)
            return segments;
        start = slash + 1;
    }
}

bool followsNameRules(std::u16string_view url)
{
    if (url.empty() || url.size() > kMaxUrlUnits || url.front() == u'/')
        return false;
    for (char16_t c : url)
        if (isForbiddenUnit(c))
            return false;
    for (std::u16string_view segment : segmentsOf(url))
        if (segment.empty() || segment == u"." || segment == u".." || segment.back() == u'.' ||
            segment.back() == u' ')
            return false;
    return true;
}

bool hasU3dExtension(std::u16string_view url)
{
    const size_t slash = url.rfind(u'/');
    const std::u16string_view file = slash == std::u16string_view::npos ? url : url.substr(slash + 1);
    const size_t dot = file.rfind(u'.');
    // A full stop that is not the first character; plain-ASCII "u3d" after the last one.
    if (dot == std::u16string_view::npos || dot == 0)
        return false;
    return equalsIgnoringAsciiCase(file.substr(dot + 1), u"u3d");
}

// Names the system reserves for devices in every folder: CON, NUL, AUX, PRN, COM1-9, LPT1-9.
bool namesDevice(std::u16string_view url)
{
    for (std::u16string_view segment : segmentsOf(url)) {
        const std::u16string_view stem = segment.substr(0, segment.find(u'.'));
        for (const char16_t* device : {u"CON", u"NUL", u"AUX", u"PRN"})
            if (equalsIgnoringAsciiCase(stem, device))
                return true;
        if (stem.size() == 4 && (equalsIgnoringAsciiCase(stem.substr(0, 3), u"COM") ||
                                 equalsIgnoringAsciiCase(stem.substr(0, 3), u"LPT")) &&
            stem[3] >= u'1' && stem[3] <= u'9')
            return true;
    }
    return false;
}

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

std::string withSeparator(std::string path)
{
    if (path.empty() || path.back() != kPathSeparator)
        path.push_back(kPathSeparator);
    return path;
}

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
    resolvedPath.clear();
    std::u16string folderUnits;
    if (documentFolder == nullptr || *documentFolder == 0 || !utf8ToUtf16(documentFolder, folderUnits) ||
        folderUnits.size() > kMaxFolderUnits)
        return kReferenceFolderUnusable;
    std::u16string u;
    if (!utf8ToUtf16(url, u) || !followsNameRules(u))
        return kReferenceBadName;
    if (!hasU3dExtension(u))
        return kReferenceBadExtension;
    if (namesDevice(u))
        return kReferenceBadName;

    CString folderFinal(finalFolderPath(documentFolder));
    if (!folderFinal)
        return kReferenceFolderUnusable;
    std::string folder = folderFinal.get();
    while (folder.size() > 3 && isSeparator(folder.back()))
        folder.pop_back();

    std::string candidate = withSeparator(folder);
    for (char c : url)
        candidate.push_back(c == '/' ? kPathSeparator : c);
    CString candidateFinal(finalPathOf(candidate.c_str()));
    if (!candidateFinal)
        return kReferenceNotFound;
    const std::string prefix = withSeparator(folder);
    if (std::string_view(candidateFinal.get()).size() <= prefix.size() ||
        !pathStartsWith(candidateFinal.get(), prefix.c_str()))
        return kReferenceOutsideFolder;

    uint64_t size = 0;
    switch (examinePath(candidateFinal.get(), size)) {
    case PathKind::Unreadable:
        return kReferenceNotFound;
    case PathKind::Other:
        return kReferenceNotRegularFile;
    case PathKind::RegularFile:
        break;
    }
    if (size > kMaxReferencedFileBytes)
        return kReferenceTooLarge;
    resolvedPath = candidateFinal.get();
    return kReferenceAcceptable;
}

void diagnoseFileReferences(const uint8_t* data, size_t size, const char* documentFolder, uint32_t depth,
                            uint32_t& filesRead, std::string& offendingName, uint32_t& outcome, bool& found)
{
    U3dBlockCursor blocks(data, size);
    U3dBlock block;
    while (!found && blocks.next(block)) {
        FileReference reference;
        if (block.type != kU3dBlockFileReference || !readFileReference(block, reference))
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
        if (!accepted || resolved.size() >= kMaxResolvedPathBytes) {
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
