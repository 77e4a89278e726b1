// pdf3d: finds the 3D models of a PDF, runs the workers on them as a viewer does and
// exports what they return (GLB, PNG, raw stream, JSON).
#include "tools/pdf3d/glb_export.h"
#include "tools/pdf3d/pdf_discovery.h"
#include "tools/pdf3d/report.h"
#include "tools/pdf3d/thumbnail.h"
#include "tools/pdf3d/worker_process.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kExitOk = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitUsage = 2;
// From this many models on, progress goes to standard error.
constexpr size_t kProgressThreshold = 4;
constexpr uint64_t kMaxRawStreamFileBytes = kMaxModelStreamBytes;

const char* const kUsage =
    "usage: pdf3d list FILE.pdf\n"
    "       pdf3d export FILE.pdf [-o DIR] [--glb] [--png] [--raw] [--json] [--size N]\n"
    "       pdf3d convert STREAM.prc|STREAM.u3d -o OUT.glb\n"
    "options: --timeout SECONDS (default 60), --max-memory MIB (default 2048),\n"
    "         --worker-dir DIR (default: the folder of pdf3d)\n"
    "exit codes: 0 all models exported, 1 some failed, 2 bad usage or unreadable PDF\n";

struct Options {
    std::string command;
    std::string input;
    std::string output;
    bool glb = false, png = false, raw = false, json = false;
    uint32_t size = kDefaultThumbnailSize;
    WorkerLimits limits;
    std::string workerFolder;
};

bool parseNumber(const char* text, double low, double high, double& out)
{
    char* end = nullptr;
    out = std::strtod(text, &end);
    return end != text && *end == 0 && out >= low && out <= high;
}

bool parseArguments(int argc, char** argv, Options& o, std::string& error)
{
    if (argc < 3) {
        error = "missing command or file";
        return false;
    }
    o.command = argv[1];
    if (o.command != "list" && o.command != "export" && o.command != "convert") {
        error = "unknown command " + o.command;
        return false;
    }
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        double number = 0;
        if (a == "--glb") o.glb = true;
        else if (a == "--png") o.png = true;
        else if (a == "--raw") o.raw = true;
        else if (a == "--json") o.json = true;
        else if (a == "-o" && hasValue) o.output = argv[++i];
        else if (a == "--worker-dir" && hasValue) o.workerFolder = argv[++i];
        else if (a == "--size" && hasValue && parseNumber(argv[i + 1], 16, kMaxThumbnailSize, number)) {
            o.size = uint32_t(number);
            ++i;
        } else if (a == "--timeout" && hasValue && parseNumber(argv[i + 1], 0.01, 86400, number)) {
            o.limits.timeoutSeconds = number;
            ++i;
        } else if (a == "--max-memory" && hasValue && parseNumber(argv[i + 1], 16, 1 << 20, number)) {
            o.limits.maxMemoryMiB = uint64_t(number);
            ++i;
        } else if (!a.empty() && a[0] != '-' && o.input.empty()) {
            o.input = a;
        } else {
            error = "bad argument " + a;
            return false;
        }
    }
    if (o.input.empty()) {
        error = "missing input file";
        return false;
    }
    if (o.command == "convert" && o.output.empty()) {
        error = "convert needs -o OUT.glb";
        return false;
    }
    // The JSON summary comes on top of the default exports, not instead of them.
    if (!o.glb && !o.png && !o.raw)
        o.glb = o.png = true;
    if (o.workerFolder.empty())
        o.workerFolder = defaultWorkerFolder();
    return true;
}

std::string documentFolderOf(const std::string& path)
{
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    return ec ? std::string(".") : absolute.parent_path().string();
}

bool writeBytes(const std::string& path, const void* data, size_t length)
{
    std::ofstream out(path, std::ios::binary);
    out.write(static_cast<const char*>(data), std::streamsize(length));
    return bool(out.flush());
}

void exportModel(ModelReport& r, const Options& o, const std::string& base)
{
    const FoundModel& m = r.found;
    if (o.raw && !m.data.empty()) {
        const std::string path = base + (m.format == ModelFormat::U3d ? ".u3d" : m.format == ModelFormat::Prc ? ".prc" : ".bin");
        if (writeBytes(path, m.data.data(), m.data.size()))
            r.files.push_back(path);
        else
            r.errors.push_back("cannot write " + path);
    }
    if (!r.ran || r.run.outcome != WorkerOutcome::Ok)
        return;
    std::string error;
    if (o.glb) {
        if (writeGlb(r.run.stream, base + ".glb", error))
            r.files.push_back(base + ".glb");
        else
            r.errors.push_back(error);
    }
    if (o.png) {
        if (writeThumbnailPng(r.run.stream, o.size, base + ".png", error))
            r.files.push_back(base + ".png");
        else
            r.errors.push_back(error);
    }
}

int exitCodeFor(const std::vector<ModelReport>& reports)
{
    for (const ModelReport& r : reports)
        if (!r.succeeded())
            return kExitSomeFailed;
    return kExitOk;
}

// Scans the input PDF and says on stderr what went wrong; false when it cannot be read.
// A damaged file is still scanned, and what may be missing is said with its damage.
bool scanInput(const Options& o, const char* whatMayBeMissing, PdfScan& scan)
{
    scan = scanPdf(o.input);
    if (!scan.opened) {
        std::fprintf(stderr, "pdf3d: cannot read %s: %s\n", o.input.c_str(), scan.error.c_str());
        return false;
    }
    if (!scan.error.empty())
        std::fprintf(stderr, "pdf3d: %s is damaged, %s: %s\n", o.input.c_str(), whatMayBeMissing, scan.error.c_str());
    return true;
}

int listCommand(const Options& o)
{
    PdfScan scan;
    if (!scanInput(o, "the list may be incomplete", scan))
        return kExitUsage;
    printListTable(o.input, scan);
    return kExitOk;
}

int exportCommand(const Options& o)
{
    PdfScan scan;
    if (!scanInput(o, "some models may be missing", scan))
        return kExitUsage;
    const std::string folder = o.output.empty() ? "." : o.output;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder)) {
        std::fprintf(stderr, "pdf3d: cannot create the folder %s\n", folder.c_str());
        return kExitUsage;
    }
    const std::string stem = fs::path(o.input).stem().string();
    const std::string documentFolder = documentFolderOf(o.input);
    std::vector<ModelReport> reports;
    for (size_t i = 0; i < scan.models.size(); ++i) {
        ModelReport r;
        r.found = scan.models[i];
        if (scan.models.size() >= kProgressThreshold)
            std::fprintf(stderr, "pdf3d: model %zu of %zu (%s, %zu bytes)\n", i + 1, scan.models.size(),
                         formatName(r.found.format), r.found.data.size());
        if (r.found.problem.empty()) {
            r.run = runWorker(o.workerFolder, r.found.format, r.found.data, documentFolder, o.limits);
            r.ran = true;
        }
        const int page = r.found.users.empty() ? 0 : r.found.users.front().page;
        exportModel(r, o, (fs::path(folder) / (stem + "-p" + std::to_string(page) + "-" + std::to_string(i + 1))).string());
        reports.push_back(std::move(r));
    }
    if (o.json) {
        const std::string path = (fs::path(folder) / (stem + ".json")).string();
        const std::string text = jsonSummary(o.input, scan, reports);
        if (!writeBytes(path, text.data(), text.size())) {
            std::fprintf(stderr, "pdf3d: cannot write %s\n", path.c_str());
            return kExitSomeFailed;
        }
        std::printf("summary: %s\n", path.c_str());
    }
    printExportTable(o.input, reports);
    return exitCodeFor(reports);
}

int convertCommand(const Options& o)
{
    std::ifstream in(o.input, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "pdf3d: cannot read %s\n", o.input.c_str());
        return kExitUsage;
    }
    std::vector<uint8_t> data;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        if (data.size() + size_t(in.gcount()) > kMaxRawStreamFileBytes) {
            std::fprintf(stderr, "pdf3d: %s is larger than %llu MiB\n", o.input.c_str(),
                         static_cast<unsigned long long>(kMaxRawStreamFileBytes >> 20));
            return kExitUsage;
        }
        data.insert(data.end(), chunk, chunk + in.gcount());
    }
    const ModelFormat format = formatFromMagic(data);
    if (format == ModelFormat::Unknown) {
        std::fprintf(stderr, "pdf3d: %s is neither PRC nor U3D data\n", o.input.c_str());
        return kExitUsage;
    }
    const WorkerRun run = runWorker(o.workerFolder, format, data, documentFolderOf(o.input), o.limits);
    if (run.outcome != WorkerOutcome::Ok) {
        std::fprintf(stderr, "pdf3d: %s: %s: %s\n", o.input.c_str(), outcomeName(run.outcome), run.message.c_str());
        return kExitSomeFailed;
    }
    std::string error;
    if (!writeGlb(run.stream, o.output, error)) {
        std::fprintf(stderr, "pdf3d: %s\n", error.c_str());
        return kExitSomeFailed;
    }
    std::printf("%s: %s, %u vertices, %u triangles, %zu nodes -> %s\n", o.input.c_str(), formatName(format),
                run.stream.vertexCount(), run.stream.triangleCount(), run.stream.nodes.size(), o.output.c_str());
    return kExitOk;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    Options o;
    std::string error;
    if (!parseArguments(argc, argv, o, error)) {
        std::fprintf(stderr, "pdf3d: %s\n%s", error.c_str(), kUsage);
        return kExitUsage;
    }
    try {
        if (o.command == "list")
            return listCommand(o);
        if (o.command == "export")
            return exportCommand(o);
        return convertCommand(o);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pdf3d: %s\n", e.what());
        return kExitUsage;
    }
}
