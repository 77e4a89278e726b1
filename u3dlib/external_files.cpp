#include "u3dlib/external_files.h"

#include "runtime/platform.h"
#include "runtime/utf.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace u3dlib {

namespace {

constexpr size_t kReadPiece = 65536;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using CString = std::unique_ptr<char, FreeDeleter>;

char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool equalsIgnoringAsciiCase(std::u16string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(static_cast<char16_t>(static_cast<unsigned char>(b[i]))))
            return false;
    return true;
}

std::vector<std::u16string_view> splitSegments(std::u16string_view url)
{
    std::vector<std::u16string_view> segments;
    size_t start = 0;
    for (size_t i = 0; i <= url.size(); ++i)
        if (i == url.size() || url[i] == u'/') {
            segments.push_back(url.substr(start, i - start));
            start = i + 1;
        }
    return segments;
}

bool breaksNameRules(std::u16string_view url, const std::vector<std::u16string_view>& segments)
{
    if (url.empty() || url.size() > kMaxUrlLength || url.front() == u'/')
        return true;
    for (const char16_t c : url) {
        if (c < 0x20 || c == 0x7F || (c >= 0xD800 && c <= 0xDFFF))
            return true;
        if (std::u16string_view(u"\"*:<>?\\|").find(c) != std::u16string_view::npos)
            return true;
    }
    for (const std::u16string_view segment : segments) {
        if (segment.empty() || segment == u"." || segment == u"..")
            return true;
        if (segment.back() == u'.' || segment.back() == u' ')
            return true;
    }
    return false;
}

bool hasExpectedExtension(std::u16string_view fileName, std::initializer_list<std::string_view> extensions)
{
    const size_t dot = fileName.rfind(u'.');
    if (dot == std::u16string_view::npos || dot == 0)
        return false;
    const std::u16string_view extension = fileName.substr(dot + 1);
    for (const std::string_view expected : extensions)
        if (equalsIgnoringAsciiCase(extension, expected))
            return true;
    return false;
}

// CON, NUL, AUX, PRN, COM1..9 and LPT1..9, before any extension.
bool isDeviceName(std::u16string_view segment)
{
    const std::u16string_view stem = segment.substr(0, segment.find(u'.'));
    for (const std::string_view device : {"con", "nul", "aux", "prn"})
        if (equalsIgnoringAsciiCase(stem, device))
            return true;
    if (stem.size() == 4 && stem[3] >= u'1' && stem[3] <= u'9')
        return equalsIgnoringAsciiCase(stem.substr(0, 3), "com") || equalsIgnoringAsciiCase(stem.substr(0, 3), "lpt");
    return false;
}

} // namespace

UrlVerdict checkUrlText(std::string_view url, std::initializer_list<std::string_view> extensions)
{
    std::u16string wide;
    if (!utf8ToUtf16(url, wide))
        return UrlVerdict::NameNotAllowed;
    const std::vector<std::u16string_view> segments = splitSegments(wide);
    if (breaksNameRules(wide, segments))
        return UrlVerdict::NameNotAllowed;
    if (!hasExpectedExtension(segments.back(), extensions))
        return UrlVerdict::WrongExtension;
    for (const std::u16string_view segment : segments)
        if (isDeviceName(segment))
            return UrlVerdict::NameNotAllowed;
    return UrlVerdict::Acceptable;
}

ResolvedUrl judgeExternalUrl(const std::string& folder, std::string_view url,
                             std::initializer_list<std::string_view> extensions)
{
    ResolvedUrl result;
    std::u16string wideFolder;
    if (folder.empty() || !utf8ToUtf16(folder, wideFolder) || wideFolder.size() > kMaxFolderLength) {
        result.verdict = UrlVerdict::FolderUnknown;
        return result;
    }
    result.verdict = checkUrlText(url, extensions);
    if (result.verdict != UrlVerdict::Acceptable)
        return result;

    const CString finalFolder(finalFolderPath(folder.c_str()));
    if (!finalFolder) {
        result.verdict = UrlVerdict::FolderUnknown;
        return result;
    }
    std::string base = finalFolder.get();
    while (base.size() > 3 && (base.back() == '/' || base.back() == '\\'))
        base.pop_back();
    std::string prefix = base;
    if (prefix.back() != kPathSeparator)
        prefix.push_back(kPathSeparator);
    std::string candidate = prefix;
    for (const char c : url)
        candidate.push_back(c == '/' ? kPathSeparator : c);

    const CString finalCandidate(finalPathOf(candidate.c_str()));
    if (!finalCandidate) {
        result.verdict = UrlVerdict::Missing;
        return result;
    }
    const std::string real = finalCandidate.get();
    if (real.size() <= prefix.size() || !pathStartsWith(real.c_str(), prefix.c_str())) {
        result.verdict = UrlVerdict::OutsideFolder;
        return result;
    }
    uint64_t size = 0;
    switch (examinePath(real.c_str(), size)) {
    case PathKind::Unreadable: result.verdict = UrlVerdict::Missing; return result;
    case PathKind::Other: result.verdict = UrlVerdict::NotRegularFile; return result;
    case PathKind::RegularFile: break;
    }
    if (size > kMaxExternalFileBytes) {
        result.verdict = UrlVerdict::TooLarge;
        return result;
    }
    result.verdict = UrlVerdict::Acceptable;
    result.path = real;
    return result;
}

ResolvedUrl resolveExternalUrl(const std::string& folder, std::string_view url,
                               std::initializer_list<std::string_view> extensions)
{
    ResolvedUrl result = judgeExternalUrl(folder, url, extensions);
    if (result.verdict == UrlVerdict::Acceptable && result.path.size() >= kMaxResolvedPathBytes) {
        result.verdict = UrlVerdict::NameNotAllowed;
        result.path.clear();
    }
    return result;
}

bool readExternalFile(const std::string& path, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    std::u16string wide;
    if (!utf8ToUtf16(path, wide))
        return false;
    FILE* file = openFileForReading(wide.c_str());
    if (file == nullptr)
        return false;
    bool ok = true;
    std::vector<uint8_t> piece(kReadPiece);
    for (;;) {
        const size_t n = std::fread(piece.data(), 1, piece.size(), file);
        if (bytes.size() + n > kMaxExternalFileBytes) {
            ok = false;
            break;
        }
        bytes.insert(bytes.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(n));
        if (n < piece.size()) {
            ok = std::ferror(file) == 0;
            break;
        }
    }
    std::fclose(file);
    if (!ok)
        bytes.clear();
    return ok;
}

} // namespace u3dlib
