// Runs a program of the build (a worker, usually) as a real process and collects what
// it wrote to standard output and its exit code.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

enum class StdoutMode {
    Capture,     // a pipe read to its end
    Closed,      // no standard output at all
    ClosedEarly, // a pipe whose reading end is closed before the program writes
};

struct ProcessResult {
    bool started = false;
    int exitCode = -1;
    std::vector<uint8_t> out;
    std::string err;
};

struct ProcessOptions {
    StdoutMode stdoutMode = StdoutMode::Capture;
    // Variables set (value given) or removed (no value) for the child only.
    std::vector<std::pair<std::string, std::string>> setEnvironment;
    std::vector<std::string> unsetEnvironment;
    // Arguments after the program name, UTF-8. When rawCommandTail is set (Windows
    // only), it is appended to the quoted program name verbatim instead.
    std::string rawCommandTail;
    bool useRawCommandTail = false;
};

// Full path of a program built next to the test programs ("marlin_scan" -> …/marlin_scan[.exe]).
std::string buildProgramPath(const std::string& name);

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const ProcessOptions& options = {});
