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

std::vector<uint8_t> errorRecord(const std::string& message)
{
    PrcResultHeader header{};
    header.messageLength = static_cast<uint32_t>(message.size());
    header.status = 2;
    std::vector<uint8_t> bytes(sizeof header + message.size());
    std::memcpy(bytes.data(), &header, sizeof header);
    std::memcpy(bytes.data() + sizeof header, message.data(), message.size());
    return bytes;
}

std::vector<uint8_t> bytesOf(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

const std::string kUsage = "uso interno: marlin_scan <file>";
const std::string kOpenFailed = "impossibile aprire il file temporaneo con i dati PRC";
const std::string kEmpty = "il flusso /3DD e' vuoto: non c'e' nessun modello da leggere";
const std::string kNoMemory = "memoria insufficiente per leggere il flusso /3DD";
const std::string kTooLarge = "il modello e' troppo grande per l'anteprima (oltre il limite di 256 MiB)";

class MarlinScanProcess : public ::testing::Test {
protected:
    ProcessResult run(const std::vector<std::string>& args, const std::string& program = "marlin_scan",
                      StdoutMode mode = StdoutMode::Capture)
    {
        ProcessOptions options;
        options.stdoutMode = mode;
        ProcessResult result = runProcess(buildProgramPath(program), args, options);
        EXPECT_TRUE(result.started);
        return result;
    }

    ScratchFolder folder;
};

TEST_F(MarlinScanProcess, RefusesWrongArgumentCounts)
{
    const std::string file = pathUtf8(folder.write("in.prc", bytesOf("PRC")));
    for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{file, file},
                             std::vector<std::string>{file, "base-folder", "x"}}) {
        ProcessResult r = run(args);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out, errorRecord(kUsage)) << args.size() << " arguments";
    }
}

TEST_F(MarlinScanProcess, RefusesUnreadableInput)
{
    ProcessResult missing = run({pathUtf8(folder.path() / "missing.prc")});
    EXPECT_EQ(missing.exitCode, 0);
    EXPECT_EQ(missing.out, errorRecord(kOpenFailed));

    std::filesystem::create_directory(folder.path() / "dir.prc");
    ProcessResult directory = run({pathUtf8(folder.path() / "dir.prc")});
    EXPECT_EQ(directory.exitCode, 0);
    EXPECT_EQ(directory.out, errorRecord(kOpenFailed));
}

TEST_F(MarlinScanProcess, RefusesAnEmptyInput)
{
    ProcessResult r = run({pathUtf8(folder.write("empty.prc", {}))});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, errorRecord(kEmpty));
}

TEST_F(MarlinScanProcess, RefusesAnInputBeyondA32BitSize)
{
    // A sparse file of 2 GiB: too large to be held with a signed 32-bit size, so it is
    // refused instead of being read in part.
    const auto file = folder.path() / "big.prc";
    { std::ofstream(file, std::ios::binary).put('P'); }
    std::error_code ec;
    std::filesystem::resize_file(file, 0x80000000ull, ec);
    if (ec)
        GTEST_SKIP() << "no sparse file: " << ec.message();
    ProcessResult r = run({pathUtf8(file)});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, errorRecord(kNoMemory));
}

TEST_F(MarlinScanProcess, UndecodableDataGivesTheBareStatusHeader)
{
    ProcessResult r = run({pathUtf8(folder.write("junk.prc", bytesOf("not a PRC file")))});
    EXPECT_EQ(r.exitCode, 0);
    std::vector<uint8_t> expected(48, 0);
    expected[20] = 2;
    EXPECT_EQ(r.out, expected);
}

TEST_F(MarlinScanProcess, PathWithSpacesAndNonAsciiCharacters)
{
    const auto file = folder.write("a folder/mod\xC3\xA8le \xE6\xBC\xA2.prc", bytesOf("status:1"));
    ProcessResult r = run({pathUtf8(file)}, "marlin_scan_fake_decoder");
    EXPECT_EQ(r.exitCode, 0);
    std::vector<uint8_t> expected(48, 0);
    expected[20] = 1;
    EXPECT_EQ(r.out, expected);
}

TEST_F(MarlinScanProcess, FailedWritesGiveExitCodeOne)
{
    const std::string junk = pathUtf8(folder.write("junk.prc", bytesOf("junk")));
    const std::string mesh = pathUtf8(folder.write("mesh.prc", bytesOf("mesh")));
    for (StdoutMode mode : {StdoutMode::Closed, StdoutMode::ClosedEarly}) {
        EXPECT_EQ(run({}, "marlin_scan", mode).exitCode, 1);                       // refusal
        EXPECT_EQ(run({junk}, "marlin_scan", mode).exitCode, 1);                   // decode failure
        EXPECT_EQ(run({mesh}, "marlin_scan_fake_decoder", mode).exitCode, 1);      // mesh
    }
}

TEST_F(MarlinScanProcess, SuccessStreamCarriesEveryArray)
{
    ProcessResult r = run({pathUtf8(folder.write("mesh.prc", bytesOf("mesh")))}, "marlin_scan_fake_decoder");
    EXPECT_EQ(r.exitCode, 0);
    ParsedResultStream s;
    std::string error;
    ASSERT_TRUE(parseResultStream(StreamForm::Prc, r.out.data(), r.out.size(), s, error)) << error;
    EXPECT_TRUE(s.ok);
    EXPECT_EQ(r.out.size(), 48u + 4 * 12 + 2 * 12 + 4 * 3 + 2 * 188);
    EXPECT_EQ(s.prcHeader.minimalVersionForRead, 8137u);
    EXPECT_EQ(s.prcHeader.authoringVersion, 9000u);
    EXPECT_EQ(s.prcHeader.fileStructureCount, 1u);
    EXPECT_EQ(s.prcHeader.colourTotal, 3u);
    EXPECT_EQ(s.prcHeader.materialTotal, 4u);
    EXPECT_EQ(s.prcHeader.styleTotal, 5u);
    EXPECT_EQ(s.prcHeader.hasDefaultView, 0u);
    EXPECT_EQ(s.triangles, (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(s.colours[6], 0);
    EXPECT_EQ(s.colours[7], 255);
    ASSERT_EQ(s.nodes.size(), 2u);
    EXPECT_STREQ(s.nodes[1].name, "part");
    EXPECT_EQ(s.nodes[1].parent, 0u);
}

TEST_F(MarlinScanProcess, OversizedModelIsRefusedWithTheLimitMessage)
{
    ProcessResult r = run({pathUtf8(folder.write("huge.prc", bytesOf("huge")))}, "marlin_scan_fake_decoder");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, errorRecord(kTooLarge));
    EXPECT_EQ(kTooLarge.size(), 72u);
}

TEST_F(MarlinScanProcess, DecoderStatusesPassThrough)
{
    for (uint8_t status : {0, 1, 2}) {
        ProcessResult r = run({pathUtf8(folder.write("s.prc", bytesOf("status:" + std::to_string(status))))},
                              "marlin_scan_fake_decoder");
        std::vector<uint8_t> expected(48, 0);
        expected[20] = status;
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out, expected);
    }
}

} // namespace
