// Runs a fuzz target's entry point over files, outside libFuzzer and without its
// instrumentation: regression inputs in the test suite, and the time and memory each
// input costs at full speed.
//
//   <target>_replay [--report] <file or folder> ...
//
// With --report, one line per input: milliseconds, peak resident memory so far (MiB), name.
#include "runtime/platform.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    bool report = false;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--report") == 0) {
            report = true;
            continue;
        }
        const fs::path path = fs::u8path(argv[i]);
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            for (const auto& entry : fs::directory_iterator(path, ec))
                if (entry.is_regular_file())
                    inputs.push_back(entry.path());
        } else {
            inputs.push_back(path);
        }
    }
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& input : inputs) {
        std::ifstream in(input, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const auto start = std::chrono::steady_clock::now();
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (report)
            std::printf("%10.1f ms %8.1f MiB  %s\n", ms, peakResidentMemoryMiB(), input.filename().string().c_str());
    }
    std::printf("%zu inputs replayed\n", inputs.size());
    return 0;
}
