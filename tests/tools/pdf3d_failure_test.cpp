// pdf3d when things go wrong: workers that fail in every way, and hostile PDFs built
// here with qpdf. Each run must end with a clear outcome and exit code and leave no
// temporary file behind.
#include "tests/support/prc_entity_writer.h"
#include "tests/support/sample_assembly.h"
#include "tests/support/sample_u3d.h"
#include "tests/tools/pdf3d_runner.h"

#include "tests/tools/test_pdf_writer.h"
#include "tools/pdf3d/worker_process.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::string text(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

std::string samplePrc() { return text(buildPrcModelFile(sampleAssemblyModel())); }
std::string sampleU3d() { return text(sampleFrameU3d()); }

void replaceOnce(const fs::path& path, const std::string& from, const std::string& to)
{
    std::string bytes = text(readFileBytes(path));
    const size_t at = bytes.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    bytes.replace(at, from.size(), to);
    writeFileBytes(path, {bytes.begin(), bytes.end()});
}

std::vector<std::string> outcomes(const json& summary)
{
    std::vector<std::string> out;
    for (const json& m : summary["models"])
        out.push_back(m["outcome"]);
    return out;
}

class Pdf3dFailures : public ::testing::Test {
protected:
    ScratchFolder folder;
    fs::path pdf = folder.path() / "doc.pdf";
    fs::path out = folder.path() / "out";
    fs::path summary = out / "doc.json";

    Pdf3dRun exportPdf(std::vector<std::string> extra = {})
    {
        std::vector<std::string> args = {"export", pathUtf8(pdf), "-o", pathUtf8(out), "--json"};
        args.insert(args.end(), extra.begin(), extra.end());
        return runPdf3d(args, summary);
    }
};

// A fake PRC worker beside the real U3D worker: the U3D model must still come out.
TEST_F(Pdf3dFailures, AFailingWorkerCostsOnlyItsModel)
{
    struct Case {
        const char* name;
        const char* script; // empty: no PRC worker at all
        std::vector<std::string> options;
        const char* outcome;
        const char* message; // start of the message
    };
    const Case cases[] = {
        {"missing worker", "", {}, "not started", "worker "},
        {"hang", "exec sleep 30", {"--timeout", "0.5"}, "timed out", "killed after the time limit"},
        {"crash", "kill -SEGV $$", {}, "crashed", "killed by signal 11"},
        {"exit code", "exit 3", {}, "crashed", "exit code 3"},
        {"garbage", "printf 'not a stream'", {}, "malformed stream", "stream shorter than the 48-byte header"},
        // The shell cannot hold 300 MB in a variable under a 64 MiB limit.
        {"memory", "x=$(head -c 300000000 /dev/zero | tr '\\0' a); echo ${#x}", {"--max-memory", "64"}, "crashed", ""},
    };
    writeTestPdf(pdf, {{samplePrc(), "/PRC"}, {sampleU3d(), "/U3D"}});
    for (const Case& c : cases) {
        if (!kMemoryLimitEnforced && std::string(c.name) == "memory")
            continue;
        ScratchFolder workers;
        fs::create_symlink(buildProgramPath("heron_scan"), workers.path() / "heron_scan");
        if (*c.script) {
            const fs::path script = workers.path() / "marlin_scan";
            std::ofstream(script) << "#!/bin/sh\n" << c.script << "\n";
            fs::permissions(script, fs::perms::owner_all);
        }
        std::vector<std::string> options = {"--worker-dir", pathUtf8(workers.path())};
        options.insert(options.end(), c.options.begin(), c.options.end());
        const auto start = std::chrono::steady_clock::now();
        const Pdf3dRun run = exportPdf(options);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(run.process.exitCode, 1) << c.name << run.process.err;
        ASSERT_FALSE(run.summary.is_null()) << c.name;
        EXPECT_EQ(outcomes(run.summary), (std::vector<std::string>{c.outcome, "ok"})) << c.name;
        EXPECT_EQ(run.summary["models"][0]["message"].get<std::string>().rfind(c.message, 0), 0u)
            << c.name << ": " << run.summary["models"][0]["message"];
        EXPECT_TRUE(fs::exists(out / "doc-p1-2.glb")) << c.name;
        EXPECT_TRUE(run.tempFolderEmpty) << c.name;
        EXPECT_LT(seconds, 20) << c.name;
        fs::remove_all(out);
    }
}

TEST_F(Pdf3dFailures, BadDataIsReportedPerModel)
{
    const std::string prc = samplePrc();
    struct Case {
        const char* name;
        TestStream3d stream;
        const char* outcome;
        const char* message;
    };
    const Case cases[] = {
        {"truncated PRC", {prc.substr(0, prc.size() / 2), "/PRC"}, "failed", ""},
        {"empty stream", {"", "/U3D"}, "no data", "empty stream (/Subtype /U3D)"},
        {"unknown magic", {"%!PS-Adobe", "/PRC"}, "no data", "neither PRC nor U3D data (unknown magic)"},
        {"broken filter", {"not zlib at all", "/PRC", "/FlateDecode"}, "no data", "stream data"},
    };
    for (const Case& c : cases) {
        writeTestPdf(pdf, {c.stream, {prc, "/U3D"}}); // the second: PRC data under a U3D subtype
        const Pdf3dRun run = exportPdf();
        EXPECT_EQ(run.process.exitCode, 1) << c.name << run.process.err;
        ASSERT_FALSE(run.summary.is_null()) << c.name;
        EXPECT_EQ(outcomes(run.summary), (std::vector<std::string>{c.outcome, "ok"})) << c.name;
        EXPECT_EQ(run.summary["models"][0].value("message", "").rfind(c.message, 0), 0u)
            << c.name << ": " << run.summary["models"][0];
        EXPECT_EQ(run.summary["models"][1]["subtypeNote"], "/Subtype /U3D but the data is PRC") << c.name;
        EXPECT_TRUE(run.tempFolderEmpty) << c.name;
        fs::remove_all(out);
    }
}

TEST_F(Pdf3dFailures, HostilePdfsEndCleanly)
{
    const std::string prc = samplePrc();
    struct Case {
        const char* name;
        void (*make)(const fs::path& pdf, const std::string& prc);
        int exitCode;
        size_t models;       // found (when the PDF opens)
        const char* message; // of the first model
    };
    const Case cases[] = {
        {"not a PDF", [](const fs::path& p, const std::string&) { writeFileBytes(p, {'%', 'P', 'D', 'F'}); }, 2, 0, ""},
        {"cross-reference offset wrong: rebuilt",
         [](const fs::path& p, const std::string& data) {
             writeTestPdf(p, {{data, "/PRC"}});
             replaceOnce(p, "startxref\n", "startxref\n1");
         },
         0, 1, ""},
        {"cross-reference numbers shifted: no page left",
         [](const fs::path& p, const std::string& data) {
             writeTestPdf(p, {{data, "/PRC"}});
             replaceOnce(p, "xref\n0 ", "xref\n9 ");
         },
         2, 0, ""},
        {"huge /Length: the stream is lost, and said so",
         [](const fs::path& p, const std::string& data) {
             writeTestPdf(p, {{data, "/PRC"}});
             replaceOnce(p, "/Length " + std::to_string(data.size()), "/Length 99999999999999");
         },
         1, 1, "no /3DD stream"},
        {"annotation listed twice and a reference to itself",
         [](const fs::path& p, const std::string& data) {
             writeTestPdf(p, {{data, "/PRC"}}, TestPdfTwist::AnnotationLoops);
         },
         1, 2, ""},
        {"two annotations share one stream",
         [](const fs::path& p, const std::string& data) { writeTestPdf(p, {{data, "/PRC"}}, TestPdfTwist::SharedStream); },
         0, 1, ""},
        {"decompression bomb",
         [](const fs::path& p, const std::string&) {
             const std::vector<uint8_t> zeros((257u << 20), 0);
             uLongf size = compressBound(uLong(zeros.size()));
             std::string packed(size, '\0');
             compress2(reinterpret_cast<Bytef*>(packed.data()), &size, zeros.data(), uLong(zeros.size()), 1);
             packed.resize(size);
             writeTestPdf(p, {{packed, "/PRC", "/FlateDecode"}});
         },
         1, 1, "decoded stream larger than 256 MiB"},
    };
    for (const Case& c : cases) {
        c.make(pdf, prc);
        const Pdf3dRun run = exportPdf();
        EXPECT_EQ(run.process.exitCode, c.exitCode) << c.name << run.process.err << run.out();
        EXPECT_TRUE(run.tempFolderEmpty) << c.name;
        if (c.exitCode == 2) {
            EXPECT_EQ(run.process.err.rfind("pdf3d: cannot read", 0), 0u) << c.name << run.process.err;
            continue;
        }
        ASSERT_FALSE(run.summary.is_null()) << c.name;
        EXPECT_EQ(run.summary["models"].size(), c.models) << c.name << run.summary.dump(1);
        if (c.models > 0) { // an annotation listed twice is one user
            EXPECT_EQ(run.summary["models"][0]["annotations"].size(), c.name == std::string("two annotations share one stream") ? 2u : 1u)
                << c.name;
        }
        if (c.models > 0) {
            EXPECT_EQ(run.summary["models"][0].value("message", "").rfind(c.message, 0), 0u)
                << c.name << run.summary["models"][0].dump();
        }
        fs::remove_all(out);
    }
}

TEST(Pdf3dUsage, BadUsageEndsWithCode2)
{
    const std::vector<std::vector<std::string>> cases = {
        {}, {"export"}, {"frobnicate", "x.pdf"}, {"convert", "x.prc"}, {"export", "x.pdf", "--size", "0"},
        {"export", "/nonexistent/x.pdf"}, {"list", "x.pdf", "--timeout"}};
    for (const auto& args : cases) {
        const Pdf3dRun run = runPdf3d(args);
        EXPECT_EQ(run.process.exitCode, 2) << ::testing::PrintToString(args);
        EXPECT_NE(run.process.err.find("pdf3d: "), std::string::npos);
    }
    // Asked for, the usage is the answer: on standard output, exit code 0.
    for (const char* help : {"--help", "-h"}) {
        const Pdf3dRun run = runPdf3d({help});
        EXPECT_EQ(run.process.exitCode, 0) << help;
        EXPECT_EQ(run.out().rfind("usage: pdf3d list", 0), 0u) << help;
    }
}

} // namespace
