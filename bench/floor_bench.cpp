// Holds both workers against the floor of their job, file by file, in one run:
// the worker process's wall time (best of N), the floor (PRC: read the file, inflate
// every zlib section and write the stream's bytes; U3D: read the file and write the
// stream), their ratio, output triangles per second and the child's peak memory
// against the size of its stream. Ends with the geometric mean of the ratios.
//
//   build/bin/floor_bench [--runs N] [--largest K] [--bin DIR] [file or folder ...]
//
// Folders are searched recursively for *.prc (marlin_scan) and *.u3d (heron_scan);
// without arguments the shared corpus is used.
#include "prc/container/prc_file_header.h"
#include "runtime/result_stream.h"

#include <zlib.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultRuns = 3;
constexpr size_t kInflateChunk = 256 * 1024;
constexpr double kMiB = 1024.0 * 1024.0;

struct Options {
    int runs = kDefaultRuns;
    size_t largest = 0; // 0: every file
    fs::path bin;
    std::vector<fs::path> inputs;
};

struct WorkerRun {
    double seconds = 0;
    long peakKiB = 0;
    std::vector<uint8_t> stream;
    bool exitedCleanly = false;
};

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<uint8_t> readWholeFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> readDescriptor(int fd)
{
    std::vector<uint8_t> bytes;
    lseek(fd, 0, SEEK_SET);
    uint8_t buffer[1 << 16];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + got);
    return bytes;
}

WorkerRun runWorker(const fs::path& program, const fs::path& input)
{
    WorkerRun run;
    FILE* out = std::tmpfile();
    if (out == nullptr)
        throw std::runtime_error("no temporary file");
    const Clock::time_point start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fileno(out), 1);
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 2);
        execl(program.c_str(), program.c_str(), input.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.seconds = secondsSince(start);
    run.peakKiB = usage.ru_maxrss;
    run.exitedCleanly = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.stream = readDescriptor(fileno(out));
    std::fclose(out);
    return run;
}

// Inflates one zlib stream into a scratch buffer that is overwritten: the cost of the
// inflation itself, with no output kept.
void inflateAndDiscard(const uint8_t* data, size_t length, std::vector<uint8_t>& scratch)
{
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return;
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(length);
    int result = Z_OK;
    while (result == Z_OK) {
        stream.next_out = scratch.data();
        stream.avail_out = static_cast<uInt>(scratch.size());
        result = inflate(&stream, Z_NO_FLUSH);
        if (result == Z_BUF_ERROR && stream.avail_out != 0)
            break;
        if (result == Z_BUF_ERROR)
            result = Z_OK;
    }
    inflateEnd(&stream);
}

void inflateBetweenOffsets(const std::vector<uint8_t>& file, uint32_t start, uint32_t end,
                           std::vector<uint8_t>& scratch)
{
    if (start < end && end <= file.size())
        inflateAndDiscard(file.data() + start, end - start, scratch);
}

void writeBytes(const std::vector<uint8_t>& bytes)
{
    FILE* out = std::tmpfile();
    if (out == nullptr)
        return;
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fflush(out);
    std::fclose(out);
}

// One pass over the file's floor: what any decoder of it must do.
void floorPass(const fs::path& path, bool prc, const std::vector<uint8_t>& stream, std::vector<uint8_t>& scratch)
{
    const std::vector<uint8_t> file = readWholeFile(path);
    if (prc) {
        try {
            const PrcFileHeader header = readPrcFileHeader(file.data(), file.size());
            for (const FileStructureDescriptor& descriptor : header.fileStructures)
                for (size_t i = 1; i + 1 < descriptor.sectionOffsets.size(); ++i)
                    inflateBetweenOffsets(file, descriptor.sectionOffsets[i], descriptor.sectionOffsets[i + 1],
                                          scratch);
            inflateBetweenOffsets(file, header.start_model_file,
                                  std::min<uint32_t>(header.end_model_file, static_cast<uint32_t>(file.size())),
                                  scratch);
        } catch (const std::exception&) {
            // A file without a readable header has only its bytes as floor.
        }
    }
    writeBytes(stream);
}

uint32_t streamTriangles(const std::vector<uint8_t>& stream)
{
    // Both headers start with ok, a flag, two spare bytes, the vertex and triangle counts.
    uint32_t triangles = 0;
    if (stream.size() >= sizeof(PrcResultHeader) && stream[0] != 0)
        std::memcpy(&triangles, stream.data() + offsetof(PrcResultHeader, triangleCount), sizeof triangles);
    return triangles;
}

Options parseOptions(int argc, char** argv)
{
    Options options;
    options.bin = fs::path(argv[0]).parent_path();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc)
            options.runs = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--largest" && i + 1 < argc)
            options.largest = static_cast<size_t>(std::max(0, std::atoi(argv[++i])));
        else if (arg == "--bin" && i + 1 < argc)
            options.bin = argv[++i];
        else if (arg.rfind("--", 0) == 0)
            throw std::runtime_error("usage: floor_bench [--runs N] [--largest K] [--bin DIR] [file or folder ...]");
        else
            options.inputs.emplace_back(arg);
    }
    if (options.inputs.empty())
        options.inputs.emplace_back(QV_CORPUS_DIR);
    return options;
}

bool isPrc(const fs::path& path) { return path.extension() == ".prc"; }
bool isU3d(const fs::path& path) { return path.extension() == ".u3d"; }

std::vector<fs::path> collectFiles(const Options& options)
{
    std::vector<fs::path> files;
    for (const fs::path& input : options.inputs) {
        if (fs::is_directory(input)) {
            for (const auto& entry : fs::recursive_directory_iterator(input))
                if (entry.is_regular_file() && (isPrc(entry.path()) || isU3d(entry.path())))
                    files.push_back(entry.path());
        } else if (fs::is_regular_file(input)) {
            files.push_back(input);
        }
    }
    // Largest first within each worker, so that --largest keeps the heavy files.
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
        if (isPrc(a) != isPrc(b))
            return isPrc(a);
        return fs::file_size(a) > fs::file_size(b);
    });
    if (options.largest > 0) {
        std::vector<fs::path> kept;
        size_t prcKept = 0;
        size_t u3dKept = 0;
        for (const fs::path& file : files) {
            size_t& kept_count = isPrc(file) ? prcKept : u3dKept;
            if (kept_count++ < options.largest)
                kept.push_back(file);
        }
        files = std::move(kept);
    }
    return files;
}

struct Summary {
    double logRatioSum = 0;
    size_t count = 0;
    double worstRatio = 0;
};

} // namespace

int main(int argc, char** argv)
{
    Options options;
    try {
        options = parseOptions(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 2;
    }
    const std::vector<fs::path> files = collectFiles(options);
    std::vector<uint8_t> scratch(kInflateChunk);
    Summary prcSummary, u3dSummary;
    bool allClean = true;

    std::printf("%-46s %8s %9s %9s %7s %9s %9s %9s %6s\n", "file", "size KiB", "worker ms", "floor ms", "ratio",
                "Mtri/s", "RSS MiB", "strm MiB", "RSS/s");
    for (const fs::path& file : files) {
        const bool prc = isPrc(file);
        const fs::path program = options.bin / (prc ? "marlin_scan" : "heron_scan");
        WorkerRun best;
        best.seconds = INFINITY;
        long peakKiB = 0;
        for (int run = 0; run < options.runs; ++run) {
            WorkerRun current = runWorker(program, file);
            peakKiB = std::max(peakKiB, current.peakKiB);
            allClean = allClean && current.exitedCleanly;
            if (current.seconds < best.seconds)
                best = std::move(current);
        }
        double floorSeconds = INFINITY;
        for (int run = 0; run < options.runs; ++run) {
            const Clock::time_point start = Clock::now();
            floorPass(file, prc, best.stream, scratch);
            floorSeconds = std::min(floorSeconds, secondsSince(start));
        }
        const double ratio = best.seconds / floorSeconds;
        const double streamMiB = static_cast<double>(best.stream.size()) / kMiB;
        const double rssMiB = static_cast<double>(peakKiB) / 1024.0;
        Summary& summary = prc ? prcSummary : u3dSummary;
        summary.logRatioSum += std::log(ratio);
        summary.count += 1;
        summary.worstRatio = std::max(summary.worstRatio, ratio);

        std::string name = file.parent_path().filename().string() + "/" + file.filename().string();
        if (name.size() > 46)
            name = name.substr(0, 43) + "...";
        std::printf("%-46s %8.0f %9.1f %9.2f %7.1f %9.2f %9.1f %9.2f %6.1f%s\n", name.c_str(),
                    static_cast<double>(fs::file_size(file)) / 1024.0, best.seconds * 1e3, floorSeconds * 1e3,
                    ratio, streamTriangles(best.stream) / best.seconds / 1e6, rssMiB, streamMiB,
                    streamMiB > 0 ? rssMiB / streamMiB : 0.0, best.exitedCleanly ? "" : "  (exit != 0)");
        std::fflush(stdout);
    }
    for (const auto& [label, summary] : {std::pair{"marlin_scan", prcSummary}, std::pair{"heron_scan", u3dSummary}})
        if (summary.count > 0)
            std::printf("%s: %zu files, geometric mean %.2fx floor, worst %.1fx\n", label, summary.count,
                        std::exp(summary.logRatioSum / static_cast<double>(summary.count)), summary.worstRatio);
    return allClean ? 0 : 1;
}
