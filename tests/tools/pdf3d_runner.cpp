#include "tests/tools/pdf3d_runner.h"

#include <cstdlib>
#include <fstream>

Pdf3dRun runPdf3d(const std::vector<std::string>& args, const std::filesystem::path& summaryPath)
{
    ScratchFolder temp;
    ProcessOptions options;
    options.setEnvironment = {{"TMPDIR", pathUtf8(temp.path())}};
    Pdf3dRun run;
    run.process = runProcess(buildProgramPath("pdf3d"), args, options);
    run.tempFolderEmpty = std::filesystem::is_empty(temp.path());
    if (!summaryPath.empty() && std::filesystem::exists(summaryPath)) {
        std::ifstream in(summaryPath);
        run.summary = nlohmann::json::parse(in, nullptr, false);
    }
    return run;
}

std::string validateGlbs(const std::vector<std::filesystem::path>& files, bool& skipped)
{
    skipped = std::system("node --version >/dev/null 2>&1") != 0 ||
              !std::filesystem::exists(std::filesystem::path(QV_GLTF_VALIDATOR_DIR) / "package.json");
    if (skipped || files.empty())
        return {};
    std::vector<std::string> args = {QV_SOURCE_DIR "/tools/pdf3d/validate_glb.js", QV_GLTF_VALIDATOR_DIR};
    for (const auto& f : files)
        args.push_back(pathUtf8(f));
    const ProcessResult r = runProcess("/usr/bin/env", [&] {
        std::vector<std::string> a = {"node"};
        a.insert(a.end(), args.begin(), args.end());
        return a;
    }());
    return r.exitCode == 0 ? std::string{} : std::string(r.out.begin(), r.out.end()) + r.err;
}
