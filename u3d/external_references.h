// Which external file reference of a U3D file failed, and why: the File Reference
// blocks are walked without the library and each URL is judged by the rules of a safe
// external file (a .u3d file inside the document's folder, regular, at most 64 MiB).
#pragma once

#include "u3dlib/external_files.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The library's verdicts on a URL are the reason codes.
enum ReferenceOutcome : uint32_t {
    kReferenceAcceptable = static_cast<uint32_t>(u3dlib::UrlVerdict::Acceptable),
    kReferenceFolderUnusable = static_cast<uint32_t>(u3dlib::UrlVerdict::FolderUnknown),
    kReferenceBadName = static_cast<uint32_t>(u3dlib::UrlVerdict::NameNotAllowed),
    kReferenceBadExtension = static_cast<uint32_t>(u3dlib::UrlVerdict::WrongExtension),
    kReferenceNotFound = static_cast<uint32_t>(u3dlib::UrlVerdict::Missing),
    kReferenceOutsideFolder = static_cast<uint32_t>(u3dlib::UrlVerdict::OutsideFolder),
    kReferenceNotRegularFile = static_cast<uint32_t>(u3dlib::UrlVerdict::NotRegularFile),
    kReferenceTooLarge = static_cast<uint32_t>(u3dlib::UrlVerdict::TooLarge),
};

inline constexpr uint32_t kMaxReferenceDepth = 3;   // deepest level whose files are read
inline constexpr uint32_t kMaxReferencedFiles = 32;
inline constexpr uint64_t kMaxReferencedFileBytes = u3dlib::kMaxExternalFileBytes;

// Judges one URL (UTF-8, as it stands in the file) against the document folder
// (UTF-8, may be null) by the library's rules for external files. On
// kReferenceAcceptable, resolvedPath is the file's real path.
uint32_t judgeReferenceUrl(const std::string& url, const char* documentFolder, std::string& resolvedPath);

// Finds the first offending reference in data and, within the limits, in the files it
// references. Fills the three outputs only when it finds one.
void diagnoseFileReferences(const uint8_t* data, size_t size, const char* documentFolder, uint32_t depth,
                            uint32_t& filesRead, std::string& offendingName, uint32_t& outcome, bool& found);
