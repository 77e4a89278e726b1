// Decoding speed of whole files: PRC through the ModelFile driver, U3D through the
// scene library's loader. Real files are taken from the shared corpus when present.
//
//   build-bench/bin/decode_benchmark [--benchmark_filter=...]
#include "prc/model/model_file_driver.h"
#include "u3dlib/generator_decoder.h"
#include "u3dlib/scene_loader.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void decodePrc(benchmark::State& state, const std::vector<uint8_t>& bytes)
{
    for (auto _ : state) {
        PrcModelResult result{};
        const bool decoded = decodeModelFile(bytes.data(), static_cast<uint32_t>(bytes.size()), result);
        benchmark::DoNotOptimize(decoded);
        state.counters["triangles"] = result.triangleCount;
        std::free(result.vertices);
        std::free(result.triangles);
        std::free(result.colours);
        std::free(result.nodes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void loadU3d(benchmark::State& state, const std::vector<uint8_t>& bytes)
{
    u3dlib::LoadEnvironment environment;
    environment.readGenerator = &u3dlib::readGeneratorDeclaration;
    for (auto _ : state) {
        u3dlib::Scene scene;
        benchmark::DoNotOptimize(u3dlib::loadScene(bytes, environment, scene));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void registerFile(const fs::path& path)
{
    auto bytes = readFile(path);
    const std::string name = path.parent_path().filename().string() + "/" + path.filename().string();
    if (path.extension() == ".u3d")
        benchmark::RegisterBenchmark(name.c_str(), [bytes](benchmark::State& s) { loadU3d(s, bytes); });
    else
        benchmark::RegisterBenchmark(name.c_str(), [bytes](benchmark::State& s) { decodePrc(s, bytes); });
}

} // namespace

int main(int argc, char** argv)
{
    registerFile(fs::path(QV_SAMPLE_DIR) / "assembly.prc");
    // A spread of real files: plain and compressed tessellations, large assemblies,
    // progressive meshes and line sets.
    const char* realFiles[] = {
        "prc/6-fault-blocks.stream-14.prc",
        "prc/3D_PDF_PROSTEP-Auto-Suspension.stream-88.prc",
        "prc/Voxler3-Iridium-Geobody.stream-8.prc",
        "u3d/fig2u3d_manual__obj60.u3d",
        "u3d/itext_xfdfReferenceFor3DMeasurement__obj18.u3d",
        "u3d/asydoc_dice.u3d",
    };
    std::error_code ec;
    for (const char* file : realFiles) {
        const fs::path path = fs::path(QV_CORPUS_DIR) / file;
        if (fs::is_regular_file(path, ec))
            registerFile(path);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
