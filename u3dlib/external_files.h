// Which external files a scene may read, and reading them. A file named by a U3D
// file (another U3D file, or a texture image) is read only when it lies inside the
// document's folder after every link is resolved, is a regular file of at most
// kMaxExternalFileBytes, has an expected extension, and its name is a plain relative
// path: no scheme, no "..", no backslash, no device name, nothing a file system could
// read in another way than intended.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace u3dlib {

inline constexpr uint64_t kMaxExternalFileBytes = uint64_t{64} << 20;
inline constexpr size_t kMaxFolderLength = 4096;   // UTF-16 units
inline constexpr size_t kMaxUrlLength = 1024;      // UTF-16 units
inline constexpr size_t kMaxResolvedPathBytes = 4096;

enum class UrlVerdict : uint8_t {
    Acceptable = 0,
    FolderUnknown = 1,  // no folder, too long, or not an accessible folder
    NameNotAllowed = 2, // breaks the name rules
    WrongExtension = 3,
    Missing = 4,        // does not exist or cannot be examined
    OutsideFolder = 5,
    NotRegularFile = 6,
    TooLarge = 7,
};

// The checks on the URL text alone (name rules, extension, device names), in that
// order; Acceptable when they pass. Extensions are compared ignoring ASCII case,
// without the full stop.
UrlVerdict checkUrlText(std::string_view url, std::initializer_list<std::string_view> extensions);

struct ResolvedUrl {
    UrlVerdict verdict = UrlVerdict::Missing;
    std::string path; // the file's real location (UTF-8), when Acceptable
};

// The folder, the URL text, then the file's real location, kind and size, for url
// relative to folder (both UTF-8). heron_scan judges references by the same rules.
ResolvedUrl judgeExternalUrl(const std::string& folder, std::string_view url,
                             std::initializer_list<std::string_view> extensions);

// judgeExternalUrl, and a resolved path of kMaxResolvedPathBytes or more is not allowed.
ResolvedUrl resolveExternalUrl(const std::string& folder, std::string_view url,
                               std::initializer_list<std::string_view> extensions);

// Reads a whole file of at most kMaxExternalFileBytes; false when it cannot be read
// whole or is larger.
bool readExternalFile(const std::string& path, std::vector<uint8_t>& bytes);

} // namespace u3dlib
