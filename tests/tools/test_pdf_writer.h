// PDFs with 3D annotations for the pdf3d tests, written with qpdf. Kept apart from the
// tests: qpdf's headers build as C++17 only with clang 14.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct TestStream3d {
    std::string data;
    std::string subtype = "/PRC";
    std::string filter = {}; // the data is already encoded with it
};

enum class TestPdfTwist {
    None,
    // The first annotation listed twice, one whose /3DRef names itself, and the
    // annotation list holding itself.
    AnnotationLoops,
    // A second annotation showing the first one's stream.
    SharedStream,
};

// One page, one /3D annotation per stream, written without compression so that tests
// can find and damage single objects.
void writeTestPdf(const std::filesystem::path& path, const std::vector<TestStream3d>& streams,
                  TestPdfTwist twist = TestPdfTwist::None);
