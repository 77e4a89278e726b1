// marlin_scan as the parent sees it: a real process, its stdout bytes and exit code.
#include "runtime/result_stream.h"
#include "tests/support/files.h"
#include "tests/support/process_runner.h"
#include "tools/result_stream_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

std::vector<uint8_t> bytesOf(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

// A refusal record (status 2 with the message), or the bare header of a status.
std::vector<uint8_t> failureStream(uint8_t status, const std::string& message = "")
{
    PrcResultHeader header{};
    header.messageLength = static_cast<uint32_t>(message.size());
    header.status = status;
    std::vector<uint8_t> bytes(sizeof header + message.size());
    std::memcpy(bytes.data(), &header, sizeof header);
    std::memcpy(bytes.data() + sizeof header, message.data(), message.size());
    return bytes;
}

ProcessResult run(const std::vector<std::string>& args, const std::string& program = "marlin_scan",
                  StdoutMode mode = StdoutMode::Capture)
{
    ProcessOptions options;
    options.stdoutMode = mode;
    ProcessResult result = runProcess(buildProgramPath(program), args, options);
    EXPECT_TRUE(result.started);
    return result;
}

TEST(MarlinScanProcess, RefusalsAndFailuresByteForByte)
{
    const std::string usage = "uso interno: marlin_scan <file>";
    const std::string openFailed = "impossibile aprire il file temporaneo con i dati PRC";
    ScratchFolder folder;
    const auto file = [&](const std::string& name, const std::string& content) {
        return pathUtf8(folder.write(name, bytesOf(content)));
    };
    const std::string prc = file("in.prc", "PRC");
    std::filesystem::create_directory(folder.path() / "dir.prc");
    const std::tuple<const char*, std::vector<std::string>, const char*, std::vector<uint8_t>> cases[] = {
        {"no argument", {}, "marlin_scan", failureStream(2, usage)},
        {"two arguments", {prc, prc}, "marlin_scan", failureStream(2, usage)},
        {"three arguments", {prc, "base-folder", "x"}, "marlin_scan", failureStream(2, usage)},
        {"missing file", {pathUtf8(folder.path() / "missing.prc")}, "marlin_scan", failureStream(2, openFailed)},
        {"a folder", {pathUtf8(folder.path() / "dir.prc")}, "marlin_scan", failureStream(2, openFailed)},
        {"empty file", {file("empty.prc", "")}, "marlin_scan",
         failureStream(2, "il flusso /3DD e' vuoto: non c'e' nessun modello da leggere")},
        {"no PRC data", {file("junk.prc", "not a PRC file")}, "marlin_scan", failureStream(2)},
        {"oversized model", {file("huge.prc", "huge")}, "marlin_scan_fake_decoder",
         failureStream(2, "il modello e' troppo grande per l'anteprima (oltre il limite di 256 MiB)")},
        {"odd path", {file("a folder/mod\xC3\xA8le \xE6\xBC\xA2.prc", "status:1")}, "marlin_scan_fake_decoder",
         failureStream(1)},
        {"status 0", {file("s0.prc", "status:0")}, "marlin_scan_fake_decoder", failureStream(0)},
    };
    for (const auto& [name, args, program, expected] : cases) {
        const ProcessResult r = run(args, program);
        EXPECT_EQ(r.exitCode, 0) << name;
        EXPECT_EQ(r.out, expected) << name;
    }
    // A sparse file of 2 GiB: too large to be held with a signed 32-bit size, so it is
    // refused instead of being read in part.
    const auto big = folder.path() / "big.prc";
    { std::ofstream(big, std::ios::binary).put('P'); }
    std::error_code ec;
    std::filesystem::resize_file(big, 0x80000000ull, ec);
    if (ec)
        GTEST_SKIP() << "no sparse file: " << ec.message();
    EXPECT_EQ(run({pathUtf8(big)}).out, failureStream(2, "memoria insufficiente per leggere il flusso /3DD"));
}

TEST(MarlinScanProcess, FailedWritesGiveExitCodeOne)
{
    ScratchFolder folder;
    const std::string junk = pathUtf8(folder.write("junk.prc", bytesOf("junk")));
    const std::string mesh = pathUtf8(folder.write("mesh.prc", bytesOf("mesh")));
    for (StdoutMode mode : {StdoutMode::Closed, StdoutMode::ClosedEarly}) {
        EXPECT_EQ(run({}, "marlin_scan", mode).exitCode, 1);                  // refusal
        EXPECT_EQ(run({junk}, "marlin_scan", mode).exitCode, 1);              // decode failure
        EXPECT_EQ(run({mesh}, "marlin_scan_fake_decoder", mode).exitCode, 1); // mesh
    }
}

} // namespace
