// Holds both workers against the floor of their job, file by file, in one run:
// the worker process's wall time (best of N), the floor (PRC: read the file, inflate
// every zlib section and write the stream's bytes; U3D: read the file and write the
// stream), their ratio, the same in CPU time (steadier on a busy machine), output
// triangles per second and the child's peak memory against the size of its stream.
// Ends with the geometric mean of the ratios.
//
//   build/bin/floor_bench [--runs N] [--largest K] [--bin DIR] [file or folder ...]
//
// Folders are searched recursively for *.prc (marlin_scan) and *.u3d (heron_scan);
// without arguments the shared corpus is used.
#include "prc/container/prc_file_header.h"
#include "runtime/result_stream.h"

#include <zlib.h>

#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
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
// Below this the peak memory is the process's own, not the stream's.
constexpr size_t kMinStreamForRatio = 64 * 1024;

struct Options {
    int runs = kDefaultRuns;
    size_t largest = 0; // 0: every file
    fs::path bin;
    std::vector<fs::path> inputs;
};

struct WorkerRun {
    double seconds = 0;
    double cpuSeconds = 0; // user + system
    long peakKiB = 0;
    uint64_t streamBytes = 0;
    uint32_t triangles = 0;
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

// The stream's size and, from its header, the triangle count.
void readStreamSummary(int fd, WorkerRun& run)
{
    struct stat status {};
    fstat(fd, &status);
    run.streamBytes = static_cast<uint64_t>(status.st_size);
    // Both headers start with ok, a flag, two spare bytes, the vertex and triangle counts.
    uint8_t header[sizeof(PrcResultHeader)] = {};
    lseek(fd, 0, SEEK_SET);
    if (read(fd, header, sizeof header) == static_cast<ssize_t>(sizeof header) && header[0] != 0)
        std::memcpy(&run.triangles, header + offsetof(PrcResultHeader, triangleCount), sizeof run.triangles);
}

double cpuSecondsOf(const timeval& user, const timeval& system)
{
    return static_cast<double>(user.tv_sec + system.tv_sec) + static_cast<double>(user.tv_usec + system.tv_usec) / 1e6;
}

double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The child's peak memory includes what this process held when it forked, so this
// process keeps nothing large between runs and returns freed memory first.
WorkerRun runWorker(const fs::path& program, const fs::path& input)
{
    WorkerRun run;
    FILE* out = std::tmpfile();
    if (out == nullptr)
        throw std::runtime_error("no temporary file");
    malloc_trim(0);
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
    run.cpuSeconds = cpuSecondsOf(usage.ru_utime, usage.ru_stime);
    run.peakKiB = usage.ru_maxrss;
    run.exitedCleanly = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    readStreamSummary(fileno(out), run);
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

// Writes count bytes from the scratch buffer, as the worker writes its stream.
void writeBytes(uint64_t count, const std::vector<uint8_t>& scratch)
{
    FILE* out = std::tmpfile();
    if (out == nullptr)
        return;
    for (uint64_t left = count; left > 0;) {
        const size_t piece = static_cast<size_t>(std::min<uint64_t>(left, scratch.size()));
        std::fwrite(scratch.data(), 1, piece, out);
        left -= piece;
    }
    std::fflush(out);
    std::fclose(out);
}

// One pass over the file's floor: what any decoder of it must do.
void floorPass(const fs::path& path, bool prc, uint64_t streamBytes, std::vector<uint8_t>& scratch)
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
    writeBytes(streamBytes, scratch);
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
    double logCpuRatioSum = 0;
    size_t count = 0;
    double worstRatio = 0;
    double worstCpuRatio = 0;
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

    std::printf("%-44s %7s %8s %7s %6s %7s %7s %6s %6s %7s %7s %6s\n", "file", "KiB", "wall ms", "floor", "ratio",
                "cpu ms", "floor", "ratio", "Mtri/s", "RSS MiB", "stream", "RSS/s");
    for (const fs::path& file : files) {
        const bool prc = isPrc(file);
        const fs::path program = options.bin / (prc ? "marlin_scan" : "heron_scan");
        WorkerRun best;
        best.seconds = INFINITY;
        double bestCpu = INFINITY;
        long peakKiB = 0;
        for (int run = 0; run < options.runs; ++run) {
            WorkerRun current = runWorker(program, file);
            peakKiB = std::max(peakKiB, current.peakKiB);
            bestCpu = std::min(bestCpu, current.cpuSeconds);
            allClean = allClean && current.exitedCleanly;
            if (current.seconds < best.seconds)
                best = std::move(current);
        }
        double floorSeconds = INFINITY;
        double floorCpu = INFINITY;
        for (int run = 0; run < options.runs; ++run) {
            const Clock::time_point start = Clock::now();
            const double cpuStart = processCpuSeconds();
            floorPass(file, prc, best.streamBytes, scratch);
            floorCpu = std::min(floorCpu, processCpuSeconds() - cpuStart);
            floorSeconds = std::min(floorSeconds, secondsSince(start));
        }
        const double ratio = best.seconds / floorSeconds;
        const double cpuRatio = bestCpu / std::max(floorCpu, 1e-6);
        const double streamMiB = static_cast<double>(best.streamBytes) / kMiB;
        const double rssMiB = static_cast<double>(peakKiB) / 1024.0;
        Summary& summary = prc ? prcSummary : u3dSummary;
        summary.logRatioSum += std::log(ratio);
        summary.logCpuRatioSum += std::log(cpuRatio);
        summary.count += 1;
        summary.worstRatio = std::max(summary.worstRatio, ratio);
        summary.worstCpuRatio = std::max(summary.worstCpuRatio, cpuRatio);

        std::string name = file.parent_path().filename().string() + "/" + file.filename().string();
        if (name.size() > 44)
            name = name.substr(0, 41) + "...";
        char rssPerStream[16] = "-";
        if (best.streamBytes > kMinStreamForRatio)
            std::snprintf(rssPerStream, sizeof rssPerStream, "%.1f", rssMiB / streamMiB);
        std::printf("%-44s %7.0f %8.1f %7.1f %6.1f %7.1f %7.1f %6.1f %6.2f %7.1f %7.2f %6s%s\n", name.c_str(),
                    static_cast<double>(fs::file_size(file)) / 1024.0, best.seconds * 1e3, floorSeconds * 1e3, ratio,
                    bestCpu * 1e3, floorCpu * 1e3, cpuRatio, best.triangles / best.seconds / 1e6, rssMiB,
                    streamMiB, rssPerStream, best.exitedCleanly ? "" : "  (exit != 0)");
        std::fflush(stdout);
    }
    for (const auto& [label, summary] : {std::pair{"marlin_scan", prcSummary}, std::pair{"heron_scan", u3dSummary}})
        if (summary.count > 0)
            std::printf("%s: %zu files; geometric mean %.2fx floor (wall), %.2fx (cpu); worst %.1fx (wall), %.1fx (cpu)\n",
                        label, summary.count, std::exp(summary.logRatioSum / static_cast<double>(summary.count)),
                        std::exp(summary.logCpuRatioSum / static_cast<double>(summary.count)), summary.worstRatio,
                        summary.worstCpuRatio);
    return allClean ? 0 : 1;
}
