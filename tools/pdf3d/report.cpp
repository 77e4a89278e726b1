#include "tools/pdf3d/report.h"

#include "tools/pdf3d/scene_math.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace {

std::string useLabel(const AnnotationUse& u)
{
    return "p" + std::to_string(u.page) + " " + u.kind + (u.objectNumber ? " #" + std::to_string(u.objectNumber) : "");
}

std::string users(const FoundModel& m)
{
    std::string text;
    for (size_t i = 0; i < m.users.size(); ++i)
        text += (i ? ", " : "") + useLabel(m.users[i]);
    return text;
}

std::string notes(const FoundModel& m)
{
    std::string text = m.problem;
    auto add = [&](const std::string& s) {
        if (!s.empty())
            text += (text.empty() ? "" : "; ") + s;
    };
    add(m.subtypeNote);
    if (!m.assetName.empty())
        add("asset " + m.assetName);
    if (!m.viewNames.empty())
        add(std::to_string(m.viewNames.size()) + " views");
    if (!m.defaultView.empty())
        add("default view: " + m.defaultView);
    return text;
}

nlohmann::json annotationsJson(const FoundModel& m)
{
    nlohmann::json list = nlohmann::json::array();
    for (const AnnotationUse& u : m.users)
        list.push_back({{"page", u.page}, {"kind", u.kind}, {"object", u.objectNumber}});
    return list;
}

nlohmann::json nodesJson(const ParsedResultStream& s)
{
    // A flat list with parent numbers: a tree without recursion however deep it is.
    nlohmann::json list = nlohmann::json::array();
    for (const NodeRecord& n : s.nodes) {
        nlohmann::json j = {{"name", std::string(n.name)}, {"triangles", n.triangleCount}};
        j["parent"] = n.parent == kNoParent ? nlohmann::json(nullptr) : nlohmann::json(n.parent);
        if (n.pointCount)
            j["points"] = n.pointCount;
        if (n.lineCount)
            j["lines"] = n.lineCount;
        list.push_back(j);
    }
    return list;
}

} // namespace

std::string modelLabel(const FoundModel& m)
{
    return m.users.empty() ? "?" : useLabel(m.users.front()) + (m.users.size() > 1 ? " +" + std::to_string(m.users.size() - 1) : "");
}

void printListTable(const std::string& pdf, const PdfScan& scan)
{
    std::printf("%s: %d page%s, %zu 3D model%s\n", pdf.c_str(), scan.pageCount, scan.pageCount == 1 ? "" : "s",
                scan.models.size(), scan.models.size() == 1 ? "" : "s");
    if (scan.models.empty())
        return;
    std::printf("%3s  %-24s %-7s %-8s %10s  %s\n", "#", "annotation", "object", "format", "bytes", "notes");
    for (size_t i = 0; i < scan.models.size(); ++i) {
        const FoundModel& m = scan.models[i];
        const std::string object = m.streamObject ? std::to_string(m.streamObject) : "-";
        std::printf("%3zu  %-24s %-7s %-8s %10zu  %s\n", i + 1, users(m).c_str(), object.c_str(),
                    formatName(m.format), m.data.size(), notes(m).c_str());
    }
}

void printExportTable(const std::string& pdf, const std::vector<ModelReport>& reports)
{
    std::printf("%s: %zu 3D model%s\n", pdf.c_str(), reports.size(), reports.size() == 1 ? "" : "s");
    if (reports.empty())
        return;
    std::printf("%3s  %-18s %-6s %9s  %-10s %8s %9s %5s %7s %8s\n", "#", "annotation", "format", "bytes", "outcome",
                "vertices", "triangles", "nodes", "time", "memory");
    for (size_t i = 0; i < reports.size(); ++i) {
        const ModelReport& r = reports[i];
        const ParsedResultStream& s = r.run.stream;
        const bool ok = r.ran && r.run.outcome == WorkerOutcome::Ok;
        const char* outcome = !r.found.problem.empty() ? "no data" : r.ran ? outcomeName(r.run.outcome) : "-";
        std::printf("%3zu  %-18s %-6s %9zu  %-10s %8u %9u %5zu %6.2fs %5.0fMiB\n", i + 1, modelLabel(r.found).c_str(),
                    formatName(r.found.format), r.found.data.size(), outcome, ok ? s.vertexCount() : 0,
                    ok ? s.triangleCount() : 0, ok ? s.nodes.size() : 0, r.run.seconds, r.run.peakMemoryMiB);
        std::string why = r.found.problem.empty() ? r.run.message : r.found.problem;
        if (!why.empty())
            std::printf("     %s\n", why.c_str());
        for (const std::string& e : r.errors)
            std::printf("     export failed: %s\n", e.c_str());
        for (const std::string& f : r.files)
            std::printf("     -> %s\n", f.c_str());
    }
}

std::string jsonSummary(const std::string& pdf, const PdfScan& scan, const std::vector<ModelReport>& reports)
{
    nlohmann::json out = {{"file", pdf}, {"pages", scan.pageCount}, {"pdfWarnings", scan.warningCount}};
    nlohmann::json models = nlohmann::json::array();
    for (const ModelReport& r : reports) {
        const FoundModel& m = r.found;
        nlohmann::json j = {{"page", m.users.empty() ? 0 : m.users.front().page},
                            {"annotations", annotationsJson(m)},
                            {"streamObject", m.streamObject},
                            {"format", formatName(m.format)},
                            {"declaredSubtype", m.declaredSubtype},
                            {"bytes", m.data.size()},
                            {"views", m.viewNames},
                            {"defaultView", m.defaultView},
                            {"activation", m.activation}};
        if (!m.assetName.empty())
            j["asset"] = m.assetName;
        if (!m.subtypeNote.empty())
            j["subtypeNote"] = m.subtypeNote;
        if (!m.problem.empty()) {
            j["outcome"] = "no data";
            j["message"] = m.problem;
        } else if (r.ran) {
            const WorkerRun& w = r.run;
            j["outcome"] = outcomeName(w.outcome);
            if (!w.message.empty())
                j["message"] = w.message;
            if (w.outcome == WorkerOutcome::Failed && w.stream.form == StreamForm::Prc)
                j["status"] = w.stream.prcHeader.status;
            if (w.exitCode >= 0)
                j["exitCode"] = w.exitCode;
            if (w.signal)
                j["signal"] = w.signal;
            j["workerSeconds"] = w.seconds;
            j["workerPeakMemoryMiB"] = w.peakMemoryMiB;
            if (w.outcome == WorkerOutcome::Ok) {
                const ParsedResultStream& s = w.stream;
                j["counts"] = {{"vertices", s.vertexCount()}, {"triangles", s.triangleCount()},
                               {"points", s.points.size()},   {"lines", s.lines.size() / 2},
                               {"nodes", s.nodes.size()},     {"views", s.views.size()},
                               {"materials", s.materials.size()}, {"lights", s.lights.size()}};
                const Bounds b = usedBounds(s);
                if (!b.empty)
                    j["bbox"] = {{"min", b.min}, {"max", b.max}};
                j["nodes"] = nodesJson(s);
            }
        }
        j["files"] = r.files;
        if (!r.errors.empty())
            j["exportErrors"] = r.errors;
        models.push_back(j);
    }
    out["models"] = models;
    return out.dump(2) + "\n";
}
