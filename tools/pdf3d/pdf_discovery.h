// Finds every 3D model a PDF carries: /3D annotations (stream or 3D reference) and
// the 3D assets of /RichMedia annotations, with their data decoded by qpdf.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class ModelFormat { Prc, U3d, Unknown };

const char* formatName(ModelFormat format);
// Decided by the data's magic bytes, never by the dictionary.
ModelFormat formatFromMagic(const std::vector<uint8_t>& data);

struct AnnotationUse {
    int page = 0;          // 1-based
    int objectNumber = 0;  // 0 for a direct annotation object
    std::string kind;      // "3D" or "RichMedia"
};

struct FoundModel {
    std::vector<AnnotationUse> users; // first user first; shared streams list them all
    int streamObject = 0;
    int streamGeneration = 0;
    std::string declaredSubtype; // /Subtype of the stream dictionary ("" when absent)
    std::string assetName;       // RichMedia: the name in the /Assets tree
    ModelFormat format = ModelFormat::Unknown;
    std::vector<uint8_t> data;
    std::string problem;         // why the data cannot go to a worker; empty when it can
    std::string subtypeNote;     // set when /Subtype disagrees with the magic
    std::vector<std::string> viewNames;
    std::string defaultView;     // summary of the default view ("" when none)
    std::string activation;      // summary of /3DA ("" when absent)
};

struct PdfScan {
    bool opened = false;
    std::string error;    // why the PDF could not be read at all
    int pageCount = 0;
    size_t warningCount = 0; // qpdf repairs and warnings
    std::vector<FoundModel> models;
};

// Decoded streams above this size are refused (reported, not read on).
inline constexpr uint64_t kMaxModelStreamBytes = 256ull << 20;

PdfScan scanPdf(const std::string& path);
