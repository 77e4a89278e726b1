// Which external file reference of a U3D file failed, and why: the File Reference
// blocks are walked without the library and each URL is judged by the rules of a safe
// external file (a .u3d file inside the document's folder, regular, at most 64 MiB).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum ReferenceOutcome : uint32_t {
    kReferenceAcceptable = 0,
    kReferenceFolderUnusable = 1,
    kReferenceBadName = 2,
    kReferenceBadExtension = 3,
    kReferenceNotFound = 4,
    kReferenceOutsideFolder = 5,
    kReferenceNotRegularFile = 6,
    kReferenceTooLarge = 7,
};

inline constexpr uint32_t kMaxReferenceDepth = 3;   // deepest level whose files are read
inline constexpr uint32_t kMaxReferencedFiles = 32;
inline constexpr uint64_t kMaxReferencedFileBytes = 67108864;

// Judges one URL (UTF-8, as it stands in the file) against the document folder
// (UTF-8, may be null). On kReferenceAcceptable, resolvedPath is the file's real path.
uint32_t judgeReferenceUrl(const std::string& url, const char* documentFolder, std::string& resolvedPath);

// Finds the first offending reference in data and, within the limits, in the files it
// references. Fills the three outputs only when it finds one.
void diagnoseFileReferences(const uint8_t* data, size_t size, const char* documentFolder, uint32_t depth,
                            uint32_t& filesRead, std::string& offendingName, uint32_t& outcome, bool& found);
