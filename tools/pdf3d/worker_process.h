// Runs a worker on one model as a viewer does: the data in a private temporary file,
// the worker a child process under a wall-time and a memory limit, its result stream
// read from standard output and checked.
#pragma once

#include "tools/pdf3d/pdf_discovery.h"
#include "tools/result_stream_reader.h"

#include <cstdint>
#include <string>
#include <vector>

// AddressSanitizer reserves terabytes of address space at start, so a sanitized worker
// cannot run under an address-space limit: such builds leave the memory limit out.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kMemoryLimitEnforced = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kMemoryLimitEnforced = false;
#else
inline constexpr bool kMemoryLimitEnforced = true;
#endif
#else
inline constexpr bool kMemoryLimitEnforced = true;
#endif

struct WorkerLimits {
    double timeoutSeconds = 60;
    uint64_t maxMemoryMiB = 2048;
};

enum class WorkerOutcome {
    Ok,          // a well-formed stream with a model
    Failed,      // a well-formed stream reporting a failure
    Crashed,     // ended by a signal, or a non-zero exit code
    TimedOut,    // killed at the time limit
    Malformed,   // the stream does not read back
    NotStarted,  // no worker, or no temporary file
};

const char* outcomeName(WorkerOutcome outcome);

struct WorkerRun {
    WorkerOutcome outcome = WorkerOutcome::NotStarted;
    std::string message; // the stream's failure text, or what went wrong with the run
    ParsedResultStream stream;
    std::vector<uint8_t> rawStream;
    int exitCode = -1;   // -1 when none
    int signal = 0;
    double seconds = 0;
    double peakMemoryMiB = 0;
};

// Worker program file name for a format, and the folder the workers live in (that of
// the running program unless overridden).
std::string workerFileName(ModelFormat format);
std::string defaultWorkerFolder();

// documentFolder is passed to the U3D worker only.
WorkerRun runWorker(const std::string& workerFolder, ModelFormat format, const std::vector<uint8_t>& data,
                    const std::string& documentFolder, const WorkerLimits& limits);
