// Writes the bundled sample PDF: make_sample_pdf <assembly.prc> <output.pdf>
// One page with two 3D annotations: the PRC assembly and the U3D picture frame.
#include "tests/support/sample_u3d.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

using OH = QPDFObjectHandle;

std::string readAll(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

OH threeDAnnotation(QPDF& pdf, const std::string& data, const char* subtype, const char* rect, const char* view)
{
    OH stream = OH::newStream(&pdf, data);
    stream.getDict().replaceKey("/Type", OH::newName("/3D"));
    stream.getDict().replaceKey("/Subtype", OH::newName(subtype));
    stream.getDict().replaceKey(
        "/VA", OH::parse(std::string("[<< /Type /3DView /XN (") + view + ") /IN (" + view + ") /MS /U3D >>]"));
    stream.getDict().replaceKey("/DV", OH::newInteger(0));
    OH annotation = pdf.makeIndirectObject(OH::parse(std::string("<< /Type /Annot /Subtype /3D /Rect ") + rect +
                                                     " /3DA << /A /PO /D /PC >> /Contents (3D model) >>"));
    annotation.replaceKey("/3DD", stream);
    return annotation;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_sample_pdf <assembly.prc> <output.pdf>\n");
        return 2;
    }
    const std::string prc = readAll(argv[1]);
    if (prc.empty()) {
        std::fprintf(stderr, "make_sample_pdf: cannot read %s\n", argv[1]);
        return 1;
    }
    const std::vector<uint8_t> u3d = sampleFrameU3d();

    QPDF pdf;
    pdf.emptyPDF();
    OH page = pdf.makeIndirectObject(OH::parse("<< /Type /Page /MediaBox [0 0 612 396] /Resources << >> >>"));
    // Frames around the two annotation areas, for readers that show no 3D.
    page.replaceKey("/Contents", OH::newStream(&pdf, "0.6 G 1 w 20 20 280 356 re S 312 20 280 356 re S\n"));
    OH annots = OH::newArray();
    annots.appendItem(threeDAnnotation(pdf, prc, "/PRC", "[20 20 300 376]", "Default"));
    annots.appendItem(threeDAnnotation(pdf, std::string(u3d.begin(), u3d.end()), "/U3D", "[312 20 592 376]", "Front"));
    page.replaceKey("/Annots", annots);
    QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(page), false);

    QPDFWriter writer(pdf, argv[2]);
    writer.setStaticID(true); // the same bytes on every run
    writer.write();
    return 0;
}
