#include "tests/tools/test_pdf_writer.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

namespace {

using OH = QPDFObjectHandle;

void addLoops(QPDF& pdf, OH page, OH first)
{
    OH annots = pdf.makeIndirectObject(page.getKey("/Annots"));
    page.replaceKey("/Annots", annots);
    annots.appendItem(first);
    OH loop = pdf.makeIndirectObject(OH::parse("<< /Type /3DRef >>"));
    loop.replaceKey("/3DD", loop);
    OH a = pdf.makeIndirectObject(OH::parse("<< /Type /Annot /Subtype /3D /Rect [0 0 1 1] >>"));
    a.replaceKey("/3DD", loop);
    annots.appendItem(a);
    annots.appendItem(annots);
}

} // namespace

void writeTestPdf(const std::filesystem::path& path, const std::vector<TestStream3d>& streams, TestPdfTwist twist)
{
    QPDF pdf;
    pdf.emptyPDF();
    OH page = pdf.makeIndirectObject(OH::parse("<< /Type /Page /MediaBox [0 0 200 200] /Resources << >> >>"));
    OH annots = OH::newArray();
    for (const TestStream3d& s : streams) {
        OH stream = OH::newStream(&pdf);
        stream.replaceStreamData(s.data, s.filter.empty() ? OH::newNull() : OH::newName(s.filter), OH::newNull());
        stream.getDict().replaceKey("/Type", OH::newName("/3D"));
        stream.getDict().replaceKey("/Subtype", OH::newName(s.subtype));
        OH a = pdf.makeIndirectObject(OH::parse("<< /Type /Annot /Subtype /3D /Rect [0 0 100 100] >>"));
        a.replaceKey("/3DD", stream);
        annots.appendItem(a);
    }
    page.replaceKey("/Annots", annots);
    QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(page), false);
    if (twist == TestPdfTwist::AnnotationLoops && annots.getArrayNItems() > 0)
        addLoops(pdf, page, annots.getArrayItem(0));
    if (twist == TestPdfTwist::SharedStream && annots.getArrayNItems() > 0) {
        OH a = pdf.makeIndirectObject(OH::parse("<< /Type /Annot /Subtype /3D /Rect [100 100 200 200] >>"));
        a.replaceKey("/3DD", annots.getArrayItem(0).getKey("/3DD"));
        annots.appendItem(a);
    }
    QPDFWriter writer(pdf, path.string().c_str());
    writer.setStaticID(true);
    writer.setStreamDataMode(qpdf_s_preserve);
    writer.setCompressStreams(false);
    writer.setObjectStreamMode(qpdf_o_disable);
    writer.write();
}
