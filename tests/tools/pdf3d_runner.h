// Runs the built pdf3d as a process, with a private temporary folder, and reads back
// its JSON summary.
#pragma once

#include "tests/support/files.h"
#include "tests/support/process_runner.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

struct Pdf3dRun {
    ProcessResult process;
    nlohmann::json summary; // null when no summary was written
    bool tempFolderEmpty = true;
    std::string out() const { return {process.out.begin(), process.out.end()}; }
};

// Runs "pdf3d ARGS"; TMPDIR is a fresh folder that must be empty afterwards. When
// summaryPath is not empty, the JSON there is read back.
Pdf3dRun runPdf3d(const std::vector<std::string>& args, const std::filesystem::path& summaryPath = {});

// The Khronos validator on GLB files: empty when every file has 0 errors, else its
// report. Sets skipped (without running) when node or the validator is absent.
std::string validateGlbs(const std::vector<std::filesystem::path>& files, bool& skipped);
