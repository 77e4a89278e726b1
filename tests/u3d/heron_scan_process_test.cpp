// heron_scan as the parent sees it: a real process, its stdout bytes and exit code,
// with the scene library found (or not) where the program looks for it, and every
// real file gives a preview, except the one whose geometry is only in a vendor
// extension ("no mesh") and the malformed one (corrupt). What the library's components
// answer for a writer-built scene is the worker test's.
#include "runtime/result_stream.h"
#include "tests/support/files.h"
#include "tests/support/process_runner.h"
#include "tests/support/u3d_scene_blocks.h"
#include "tools/result_stream_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

U3dBytes errorRecord(const std::string& message)
{
    U3dResultHeader header{};
    header.messageLength = uint32_t(message.size());
    U3dBytes bytes(sizeof header);
    std::memcpy(bytes.data(), &header, sizeof header);
    return concat({bytes, U3dBytes(message.begin(), message.end())});
}

U3dBytes bytesOf(const std::string& text)
{
    return U3dBytes(text.begin(), text.end());
}

const std::string kUsage = "uso interno: heron_scan <file> [cartella_base]";
const std::string kOpenFailed = "impossibile aprire il file temporaneo con i dati U3D";
const std::string kEmpty = "il flusso /3DD e' vuoto: non c'e' nessun modello da leggere";
const std::string kNoLibrary = "U3D library initialization failed";
const std::string kCorrupt = "the U3D file is corrupt or in an invalid format (Load() failed, code 0x80000007)";

class HeronScanProcess : public ::testing::Test {
protected:
    ProcessResult run(const std::vector<std::string>& args, const std::string& program = "heron_scan",
                      ProcessOptions options = {})
    {
        ProcessResult result = runProcess(program.find_first_of("/\\") == std::string::npos
                                              ? buildProgramPath(program)
                                              : program,
                                          args, options);
        EXPECT_TRUE(result.started);
        return result;
    }

    ParsedResultStream parse(const ProcessResult& r)
    {
        EXPECT_EQ(r.exitCode, 0);
        ParsedResultStream s;
        std::string error;
        EXPECT_TRUE(parseResultStream(StreamForm::U3d, r.out.data(), r.out.size(), s, error)) << error;
        return s;
    }

    // heron_scan copied into a folder without ext/u3d.
    std::string lonelyProgram()
    {
        const fs::path original = fs::u8path(buildProgramPath("heron_scan"));
        const fs::path copy = folder.path() / "bin" / original.filename();
        fs::create_directories(copy.parent_path());
        fs::copy_file(original, copy);
        return pathUtf8(copy);
    }

    std::string libraryFolder() const
    {
        return pathUtf8(fs::u8path(buildProgramPath("heron_scan")).parent_path() / "ext" / "u3d");
    }

    ScratchFolder folder;
    // A header, then a block whose data runs past the end of the file.
    const U3dBytes corruptFile = concat({u3dFileHeaderBlock(0x8, 36, 1234), U3dBytes{0x15, 0xFF, 0xFF, 0xFF, 100, 0, 0, 0, 0, 0, 0, 0}});
};

TEST_F(HeronScanProcess, RefusalsAreErrorRecords)
{
    const std::string file = pathUtf8(folder.write("in.u3d", bytesOf("U3D")));
    const std::string empty = pathUtf8(folder.write("empty.u3d", {}));
    fs::create_directory(folder.path() / "dir.u3d");
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, kUsage},
        {{file, "base", "extra"}, kUsage},
        {{pathUtf8(folder.path() / "missing.u3d")}, kOpenFailed},
        {{pathUtf8(folder.path() / "dir.u3d")}, kOpenFailed},
        {{empty, "base"}, kEmpty},
    };
    for (const auto& [args, message] : cases) {
        const ProcessResult r = run(args);
        EXPECT_EQ(r.exitCode, 0) << message;
        EXPECT_EQ(r.out, errorRecord(message)) << message;
    }
}

TEST_F(HeronScanProcess, FailedWritesGiveExitCodeOne)
{
    const std::string u3d = pathUtf8(folder.write("in.u3d", corruptFile));
    const std::string mesh = pathUtf8(folder.write("mesh", bytesOf("mesh")));
    for (StdoutMode mode : {StdoutMode::Closed, StdoutMode::ClosedEarly}) {
        ProcessOptions options;
        options.stdoutMode = mode;
        EXPECT_EQ(run({}, "heron_scan", options).exitCode, 1);
        EXPECT_EQ(run({u3d}, "heron_scan", options).exitCode, 1);
        EXPECT_EQ(run({mesh}, "heron_scan_fake_loader", options).exitCode, 1);
    }
}

TEST_F(HeronScanProcess, LibraryFolderComesFromTheProgramOrFromU3dLibdir)
{
    const std::string u3d = pathUtf8(folder.write("in.u3d", corruptFile));
    ProcessOptions nowhere;
    nowhere.setEnvironment = {{"U3D_LIBDIR", pathUtf8(folder.path() / "nowhere")}};
    // U3D_LIBDIR names no library, yet the library next to the program is found; it
    // reports the file as corrupt, and the header values still travel.
    const ParsedResultStream s = parse(run({u3d, pathUtf8(folder.path())}, "heron_scan", nowhere));
    EXPECT_EQ(std::make_tuple(s.ok, s.message), std::make_tuple(false, kCorrupt));
    EXPECT_EQ(std::make_tuple(+s.u3dHeader.hasHeaderValues, +s.u3dHeader.headerValue32, +s.u3dHeader.headerValue64),
              std::make_tuple(1, 36u, 1234u));

    const std::string program = lonelyProgram();
    EXPECT_EQ(run({u3d}, program, nowhere).out, errorRecord(kNoLibrary));
    ProcessOptions unset;
    unset.unsetEnvironment = {"U3D_LIBDIR"};
    EXPECT_EQ(run({u3d}, program, unset).out, errorRecord(kNoLibrary));
    // A value the parent set is kept and used.
    ProcessOptions preset;
    preset.setEnvironment = {{"U3D_LIBDIR", libraryFolder()}};
    EXPECT_EQ(parse(run({u3d}, program, preset)).message, kCorrupt);
}

TEST_F(HeronScanProcess, FailuresKeepTheSceneValuesAndTheMessage)
{
    const ParsedResultStream fail = parse(run({pathUtf8(folder.write("f", bytesOf("fail")))}, "heron_scan_fake_loader"));
    EXPECT_FALSE(fail.ok);
    EXPECT_EQ(fail.message, "the U3D file is corrupt");
    const U3dResultHeader& h = fail.u3dHeader;
    EXPECT_EQ(std::make_tuple(+h.hasHeaderValues, +h.headerValue32, +h.hasKeyLight, +h.keyLightYaw),
              std::make_tuple(1, 36u, 1, 0.25f));

    const ProcessResult silent = run({pathUtf8(folder.write("s", bytesOf("silent")))}, "heron_scan_fake_loader");
    EXPECT_EQ(silent.out.size(), sizeof(U3dResultHeader));
    EXPECT_FALSE(parse(silent).ok);

    const ParsedResultStream huge = parse(run({pathUtf8(folder.write("h", bytesOf("huge")))}, "heron_scan_fake_loader"));
    EXPECT_FALSE(huge.ok);
    EXPECT_EQ(huge.message, "il modello e' troppo grande per l'anteprima (18000000 vertici, 3 triangoli: oltre il "
                            "limite di 256 MiB)");
    EXPECT_EQ(+huge.u3dHeader.headerValue32, 36u);
}

TEST_F(HeronScanProcess, DocumentFolderMayBeAbsentEmptyOrAnyName)
{
    const std::string input = pathUtf8(folder.write("in", bytesOf("folder")));
    const std::string named = pathUtf8(folder.path() / "caf\xC3\xA9 d\xE6\xBC\xA2");
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{input}, "(absent)"}, {{input, ""}, "[]"}, {{input, named}, "[" + named + "]"}};
    for (const auto& [args, expected] : cases)
        EXPECT_EQ(parse(run(args, "heron_scan_fake_loader")).message, expected);
}

} // namespace
