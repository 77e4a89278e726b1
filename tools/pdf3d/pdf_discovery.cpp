#include "tools/pdf3d/pdf_discovery.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFNameTreeObjectHelper.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <cstring>
#include <map>
#include <set>
#include <stdexcept>
#include <utility>

namespace {

// Bounds on what the document may make us walk.
constexpr int kMaxAnnotationsPerPage = 100000;
constexpr int kMaxViews = 1000;
constexpr int kMaxRichMediaItems = 1000;
constexpr size_t kMaxNameTreeEntries = 100000;

struct TooLarge : std::runtime_error {
    TooLarge() : std::runtime_error("decoded data larger than the limit") {}
};

// Collects decoded bytes, refusing to grow beyond the limit (filters can expand a
// small stream without bound).
class BoundedBuffer : public Pipeline {
public:
    explicit BoundedBuffer(std::vector<uint8_t>& out) : Pipeline("bounded buffer", nullptr), out_(out) {}
    void write(unsigned char const* data, size_t length) override
    {
        if (length > kMaxModelStreamBytes - out_.size()) {
            overflowed = true; // qpdf may swallow the exception
            throw TooLarge();
        }
        out_.insert(out_.end(), data, data + length);
    }
    void finish() override {}
    bool overflowed = false;

private:
    std::vector<uint8_t>& out_;
};

std::string nameOf(QPDFObjectHandle dict, const char* key)
{
    if (!dict.isDictionary())
        return {};
    QPDFObjectHandle value = dict.getKey(key);
    return value.isName() ? value.getName() : std::string{};
}

std::string textOf(QPDFObjectHandle value)
{
    if (value.isString())
        return value.getUTF8Value();
    if (value.isName())
        return value.getName();
    return {};
}

std::string viewLabel(QPDFObjectHandle view)
{
    if (!view.isDictionary())
        return {};
    std::string name = textOf(view.getKey("/XN"));
    return name.empty() ? textOf(view.getKey("/IN")) : name;
}

void readViews(QPDFObjectHandle stream, QPDFObjectHandle annotation, FoundModel& model)
{
    QPDFObjectHandle dict = stream.isStream() ? stream.getDict() : QPDFObjectHandle::newNull();
    QPDFObjectHandle list = dict.isDictionary() ? dict.getKey("/VA") : QPDFObjectHandle::newNull();
    if (list.isArray()) {
        const int count = std::min(list.getArrayNItems(), kMaxViews);
        for (int i = 0; i < count; ++i) {
            std::string label = viewLabel(list.getArrayItem(i));
            model.viewNames.push_back(label.empty() ? "view " + std::to_string(i + 1) : label);
        }
    }
    // The annotation's /3DV wins over the stream's /DV.
    QPDFObjectHandle chosen = annotation.isDictionary() ? annotation.getKey("/3DV") : QPDFObjectHandle::newNull();
    if (chosen.isNull() && dict.isDictionary())
        chosen = dict.getKey("/DV");
    if (chosen.isInteger()) {
        const long long i = chosen.getIntValue();
        model.defaultView = i >= 0 && i < static_cast<long long>(model.viewNames.size())
                                ? model.viewNames[static_cast<size_t>(i)]
                                : "view " + std::to_string(i + 1) + " (not in the list)";
    } else if (chosen.isName()) {
        const std::string n = chosen.getName();
        if (n == "/F" && !model.viewNames.empty())
            model.defaultView = model.viewNames.front();
        else if (n == "/L" && !model.viewNames.empty())
            model.defaultView = model.viewNames.back();
        else if (n == "/D")
            model.defaultView = "default of the 3D data";
        else
            model.defaultView = n;
    } else if (chosen.isString()) {
        model.defaultView = chosen.getUTF8Value();
    } else if (chosen.isDictionary()) {
        std::string label = viewLabel(chosen);
        model.defaultView = label.empty() ? "unnamed view" : label;
    } else if (!model.viewNames.empty()) {
        model.defaultView = model.viewNames.front();
    }
}

std::string activationSummary(QPDFObjectHandle annotation)
{
    if (!annotation.isDictionary())
        return {};
    QPDFObjectHandle a = annotation.getKey("/3DA");
    if (!a.isDictionary())
        return {};
    static const std::map<std::string, std::string> kWhen = {
        {"/PO", "when the page opens"}, {"/PV", "when the page is visible"}, {"/XA", "on click"}};
    const std::string when = nameOf(a, "/A");
    const auto it = kWhen.find(when);
    return it != kWhen.end() ? it->second : (when.empty() ? "on click" : when);
}

// Decodes a stream with every filter; the problem text says why it could not be.
void decodeStream(QPDFObjectHandle stream, FoundModel& model)
{
    const std::string tooLarge = "decoded stream larger than " + std::to_string(kMaxModelStreamBytes >> 20) + " MiB";
    BoundedBuffer sink(model.data);
    try {
        if (!stream.pipeStreamData(&sink, 0, qpdf_dl_all, false, false)) {
            model.data.clear();
            model.problem = sink.overflowed ? tooLarge : "stream data could not be decoded (unsupported or damaged filter)";
        }
    } catch (const TooLarge&) {
        model.data.clear();
        model.problem = tooLarge;
    } catch (const std::exception& e) {
        model.data.clear();
        model.problem = std::string("stream data unreadable: ") + e.what();
    }
    if (model.problem.empty() && model.data.empty())
        model.problem = "empty stream" + (model.declaredSubtype.empty() ? "" : " (/Subtype " + model.declaredSubtype + ")");
    if (!model.problem.empty())
        return;
    model.format = formatFromMagic(model.data);
    if (model.format == ModelFormat::Unknown) {
        model.problem = "neither PRC nor U3D data (unknown magic)";
        return;
    }
    const std::string declared = model.declaredSubtype;
    const std::string expected = model.format == ModelFormat::Prc ? "/PRC" : "/U3D";
    if (!declared.empty() && declared != expected)
        model.subtypeNote = "/Subtype " + declared + " but the data is " + formatName(model.format);
}

class Collector {
public:
    explicit Collector(PdfScan& scan) : scan_(scan) {}

    void addStream(QPDFObjectHandle stream, QPDFObjectHandle annotation, const AnnotationUse& use,
                   const std::string& assetName)
    {
        const QPDFObjGen id = stream.getObjGen();
        if (id.getObj() != 0) {
            const auto known = byStream_.find(id);
            if (known != byStream_.end()) {
                scan_.models[known->second].users.push_back(use);
                return;
            }
        }
        FoundModel model;
        model.users.push_back(use);
        model.streamObject = id.getObj();
        model.streamGeneration = id.getGen();
        model.assetName = assetName;
        model.declaredSubtype = nameOf(stream.getDict(), "/Subtype");
        model.activation = activationSummary(annotation);
        readViews(stream, annotation, model);
        decodeStream(stream, model);
        if (id.getObj() != 0)
            byStream_[id] = scan_.models.size();
        scan_.models.push_back(std::move(model));
    }

    void addProblem(const AnnotationUse& use, std::string problem)
    {
        FoundModel model;
        model.users.push_back(use);
        model.problem = std::move(problem);
        scan_.models.push_back(std::move(model));
    }

    void threeD(QPDFObjectHandle annotation, const AnnotationUse& use)
    {
        QPDFObjectHandle data = annotation.getKey("/3DD");
        // A 3D reference dictionary names the stream; follow one level only, so a
        // reference to a reference cannot loop.
        if (data.isDictionary() && nameOf(data, "/Type") == "/3DRef")
            data = data.getKey("/3DD");
        if (!data.isStream()) {
            // qpdf turns an unreadable object into null, which looks like no key at all.
            addProblem(use, data.isNull() ? "no /3DD stream (missing, or a damaged object)" : "/3DD is not a stream");
            return;
        }
        addStream(data, annotation, use, {});
    }

    void richMedia(QPDFObjectHandle annotation, const AnnotationUse& use)
    {
        QPDFObjectHandle content = annotation.getKey("/RichMediaContent");
        if (!content.isDictionary()) {
            addProblem(use, "/RichMedia annotation without /RichMediaContent");
            return;
        }
        // Asset file specifications by object, with their names from the tree.
        std::map<QPDFObjGen, std::string> assetNames;
        QPDFObjectHandle tree = content.getKey("/Assets");
        if (tree.isDictionary()) {
            QPDFNameTreeObjectHelper helper(tree, *annotation.getOwningQPDF());
            size_t seen = 0;
            for (auto it = helper.begin(); it != helper.end() && seen < kMaxNameTreeEntries; ++it, ++seen)
                assetNames.emplace(it->second.getObjGen(), it->first);
        }
        QPDFObjectHandle configurations = content.getKey("/Configurations");
        if (!configurations.isArray())
            return;
        std::set<QPDFObjGen> done;
        int items = 0;
        for (int c = 0; c < configurations.getArrayNItems() && items < kMaxRichMediaItems; ++c) {
            QPDFObjectHandle instances = configurations.getArrayItem(c).isDictionary()
                                             ? configurations.getArrayItem(c).getKey("/Instances")
                                             : QPDFObjectHandle::newNull();
            if (!instances.isArray())
                continue;
            for (int i = 0; i < instances.getArrayNItems() && items < kMaxRichMediaItems; ++i, ++items) {
                QPDFObjectHandle instance = instances.getArrayItem(i);
                if (nameOf(instance, "/Subtype") != "/3D")
                    continue;
                QPDFObjectHandle spec = instance.getKey("/Asset");
                if (!spec.isDictionary()) {
                    addProblem(use, "3D instance without an /Asset file specification");
                    continue;
                }
                if (spec.getObjGen().getObj() != 0 && !done.insert(spec.getObjGen()).second)
                    continue;
                const auto named = assetNames.find(spec.getObjGen());
                std::string assetName = named != assetNames.end() ? named->second : textOf(spec.getKey("/F"));
                QPDFObjectHandle ef = spec.getKey("/EF");
                QPDFObjectHandle stream = ef.isDictionary() ? ef.getKey("/F") : QPDFObjectHandle::newNull();
                if (!stream.isStream()) {
                    addProblem(use, "3D asset " + assetName + " has no embedded file stream");
                    continue;
                }
                addStream(stream, annotation, use, assetName);
            }
        }
    }

private:
    PdfScan& scan_;
    std::map<QPDFObjGen, size_t> byStream_;
};

} // namespace

const char* formatName(ModelFormat format)
{
    switch (format) {
    case ModelFormat::Prc: return "PRC";
    case ModelFormat::U3d: return "U3D";
    case ModelFormat::Unknown: break;
    }
    return "unknown";
}

ModelFormat formatFromMagic(const std::vector<uint8_t>& data)
{
    if (data.size() >= 3 && std::memcmp(data.data(), "PRC", 3) == 0)
        return ModelFormat::Prc;
    if (data.size() >= 4 && std::memcmp(data.data(), "U3D\0", 4) == 0)
        return ModelFormat::U3d;
    return ModelFormat::Unknown;
}

PdfScan scanPdf(const std::string& path)
{
    PdfScan scan;
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    try {
        pdf.processFile(path.c_str());
        scan.opened = true;
        Collector collector(scan);
        std::set<QPDFObjGen> seenAnnotations;
        int pageNumber = 0;
        for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(pdf).getAllPages()) {
            ++pageNumber;
            QPDFObjectHandle annots = page.getObjectHandle().getKey("/Annots");
            if (!annots.isArray())
                continue;
            const int count = std::min(annots.getArrayNItems(), kMaxAnnotationsPerPage);
            for (int i = 0; i < count; ++i) {
                QPDFObjectHandle annotation = annots.getArrayItem(i);
                if (!annotation.isDictionary())
                    continue;
                const QPDFObjGen id = annotation.getObjGen();
                // An annotation listed twice (on one page or several) is one annotation.
                if (id.getObj() != 0 && !seenAnnotations.insert(id).second)
                    continue;
                const std::string subtype = nameOf(annotation, "/Subtype");
                AnnotationUse use{pageNumber, id.getObj(), {}};
                try {
                    if (subtype == "/3D") {
                        use.kind = "3D";
                        collector.threeD(annotation, use);
                    } else if (subtype == "/RichMedia") {
                        use.kind = "RichMedia";
                        collector.richMedia(annotation, use);
                    }
                } catch (const std::exception& e) {
                    collector.addProblem(use, std::string("annotation unreadable: ") + e.what());
                }
            }
        }
        scan.pageCount = pageNumber;
    } catch (const std::exception& e) {
        scan.error = e.what();
    }
    // qpdf may open a badly damaged file and find no page in it: that is no PDF to us.
    if (scan.opened && scan.pageCount == 0 && scan.models.empty()) {
        scan.opened = false;
        if (scan.error.empty())
            scan.error = "no page found (damaged PDF)";
    }
    scan.warningCount = pdf.getWarnings().size();
    return scan;
}
