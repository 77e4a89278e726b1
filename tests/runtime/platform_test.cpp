#include "runtime/platform.h"

#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using CString = std::unique_ptr<char, FreeDeleter>;
using WString = std::unique_ptr<char16_t, FreeDeleter>;

TEST(TextConversion, RoundTripsEveryPlaneAndRefusesMalformedText)
{
    for (const char* text : {"", "d\xC3\xA9j\xC3\xA0", "\xE6\xBC\xA2\xE5\xAD\x97", "\xF0\x9F\x98\x80 emoji", "\xEF\xBF\xBF"}) {
        WString wide(utf8ToWide(text));
        ASSERT_TRUE(wide) << text;
        EXPECT_STREQ(CString(wideToUtf8(wide.get())).get(), text);
    }
    EXPECT_EQ(std::u16string(WString(utf8ToWide("\xF0\x9F\x98\x80")).get()), std::u16string(u"\xD83D\xDE00"));
    EXPECT_EQ(utf8ToWide(nullptr), nullptr);
    EXPECT_EQ(wideToUtf8(nullptr), nullptr);
#ifndef _WIN32 // Windows converts malformed text with replacement characters, as the system does.
    for (const char* text : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80", "a\xFFz"})
        EXPECT_EQ(utf8ToWide(text), nullptr) << text;
    const char16_t lone[] = {u'a', 0xD800, u'b', 0}, reversed[] = {0xDE00, 0xD83D, 0};
    EXPECT_EQ(wideToUtf8(lone), nullptr);
    EXPECT_EQ(wideToUtf8(reversed), nullptr);
#endif
}

TEST(ModulePath, NamesThisProgramAndItsFolder)
{
    const std::pair<const char*, const char*> cuts[] = {
        {"C:\\a\\prog.exe", "C:\\a"}, {"\\prog.exe", "\\"}, {"/usr/bin/prog", "/usr/bin"}, {"/prog", "/"},
        {"C:/a\\b/prog", "C:/a\\b"},  {"prog.exe", nullptr}, {"", nullptr}};
    for (const auto& [path, folder] : cuts) {
        std::string buffer = path;
        EXPECT_EQ(cutPathToDirectory(buffer.data()), folder != nullptr) << path;
        EXPECT_STREQ(buffer.c_str(), folder ? folder : path);
    }
    CString path(getModulePath());
    CString folder(getModuleDirectory());
    ASSERT_TRUE(path && folder);
    const std::filesystem::path program = std::filesystem::u8path(path.get());
    EXPECT_TRUE(std::filesystem::is_regular_file(program));
    EXPECT_EQ(program.stem().string(), "runtime_tests");
    EXPECT_EQ(std::filesystem::u8path(folder.get()), program.parent_path());
}

TEST(Environment, OverwriteRulesAndLookups)
{
    const char* name = "QV_PLATFORM_TEST_VARIABLE";
    const std::tuple<const char*, bool, const char*> steps[] = {
        {"first", true, "first"}, {"second", false, "first"}, {"third", true, "third"}};
    for (const auto& [value, overwrite, expected] : steps) {
        EXPECT_TRUE(setEnvironmentUtf8(name, value, overwrite)); // not overwriting still succeeds
        EXPECT_STREQ(std::getenv(name), expected);
    }
    EXPECT_FALSE(setEnvironmentUtf8(nullptr, "x", true));
    EXPECT_FALSE(setEnvironmentUtf8(name, nullptr, true));
    EXPECT_TRUE(setEnvironmentUtf8("QV_PLATFORM_TEST_FRESH", "value", false));
    EXPECT_STREQ(std::getenv("QV_PLATFORM_TEST_FRESH"), "value");
    // getenv answers in the system code page on Windows: the lookup below reads UTF-8.
    ASSERT_TRUE(setEnvironmentUtf8("QV_LOOKUP_SET", "v\xC3\xA9", true));
    EXPECT_STREQ(CString(getEnvironmentUtf8("QV_LOOKUP_SET")).get(), "v\xC3\xA9");
    EXPECT_TRUE(environmentVariableExists("QV_LOOKUP_SET"));
    EXPECT_FALSE(environmentVariableExists("QV_LOOKUP_NEVER_SET"));
    EXPECT_EQ(getEnvironmentUtf8("QV_LOOKUP_NEVER_SET"), nullptr);
}

size_t tempFilesStartingWith(const std::string& prefix)
{
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::temp_directory_path()))
        count += entry.path().filename().string().rfind(prefix, 0) == 0;
    return count;
}

TEST(TempFile, CreatedWrittenDeletedAndNothingLeftOnFailure)
{
    const char data[] = "some bytes\0with a NUL";
    for (const auto& [prefix, bytes, size, expectedPrefix] :
         {std::tuple{"u3d_bridge", data, sizeof data, "u3d"}, {nullptr, nullptr, size_t{0}, "quo"}}) {
        CString path(writeTempFile(prefix, bytes, size));
        ASSERT_TRUE(path);
        const std::filesystem::path file = std::filesystem::u8path(path.get());
        EXPECT_EQ(file.filename().string().rfind(expectedPrefix, 0), 0u) << file; // Windows keeps three letters
        EXPECT_EQ(readFileBytes(file), std::vector<uint8_t>(bytes, bytes + size));
#ifndef _WIN32
        EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
#endif
        EXPECT_TRUE(deleteFileUtf8(path.get()));
        EXPECT_FALSE(std::filesystem::exists(file));
        EXPECT_FALSE(deleteFileUtf8(path.get()));
    }
    EXPECT_FALSE(deleteFileUtf8(nullptr));
    const size_t before = tempFilesStartingWith("qvn");
    EXPECT_EQ(writeTempFile("qvn", nullptr, 5), nullptr);
    EXPECT_EQ(tempFilesStartingWith("qvn"), before);
}

TEST(FinalPaths, ResolveFoldersAndFilesAndMissingLibrariesAreNull)
{
    ScratchFolder folder;
    const std::string file = pathUtf8(folder.write("sub/f.bin", {1, 2, 3}));
    const std::string none = pathUtf8(folder.path() / "none");
    CString finalFolder(finalFolderPath(pathUtf8(folder.path() / "sub").c_str()));
    ASSERT_TRUE(finalFolder);
    EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::u8path(finalFolder.get()), folder.path() / "sub"));
    EXPECT_EQ(finalFolderPath(file.c_str()), nullptr); // a file is not a folder
    EXPECT_EQ(finalPathOf(none.c_str()), nullptr);
    CString finalFile(finalPathOf(file.c_str()));
    ASSERT_TRUE(finalFile);
    uint64_t size = 0;
    EXPECT_EQ(examinePath(finalFile.get(), size), PathKind::RegularFile);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(examinePath(finalFolder.get(), size), PathKind::Other);
    EXPECT_EQ(examinePath(none.c_str(), size), PathKind::Unreadable);
    EXPECT_TRUE(pathStartsWith(finalFile.get(), finalFolder.get()));
#ifdef _WIN32
    EXPECT_TRUE(pathStartsWith("/Doc/x", "/doc/"));
#else
    EXPECT_FALSE(pathStartsWith("/Doc/x", "/doc/"));
#endif
    EXPECT_EQ(loadLibraryBySearch("qv-no-such-library"), nullptr);
    EXPECT_EQ(loadLibraryFromPath(none.c_str()), nullptr);
    EXPECT_EQ(findLibrarySymbol(nullptr, "x"), nullptr);
}

TEST(OpenFile, ReadsFilesRefusesFoldersAndTellsTheSize)
{
    ScratchFolder folder;
    const std::filesystem::path file = folder.write("caf\xC3\xA9.bin", std::vector<uint8_t>(70000, 7));
    WString wide(utf8ToWide(pathUtf8(file).c_str()));
    FILE* opened = openFileForReading(wide.get());
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(std::fgetc(opened), 7);
    EXPECT_EQ(fileSizeOfOpenFile(opened), 70000); // and back at the start
    EXPECT_EQ(std::ftell(opened), 0);
    std::fclose(opened);
    for (const std::filesystem::path& refused : {folder.path(), folder.path() / "none"}) {
        WString name(utf8ToWide(pathUtf8(refused).c_str()));
        EXPECT_EQ(openFileForReading(name.get()), nullptr) << refused;
    }
    EXPECT_EQ(openFileForReading(nullptr), nullptr);
}

TEST(Libraries, TheSearchFolderComesFirstAndSymbolsResolve)
{
    CString program(getModuleDirectory());
    const std::string folder = std::string(program.get()) + kPathSeparator + "ext" + kPathSeparator + "u3d";
#ifdef _WIN32
    const char* fileName = "IFXCore.dll";
#else
    const char* fileName = "libIFXCore.so";
    EXPECT_EQ(loadLibraryFromPath(fileName), nullptr); // a bare name is no path
#endif
    ASSERT_TRUE(setLibrarySearchFolder(folder.c_str()));
    EXPECT_FALSE(setLibrarySearchFolder(nullptr));
    void* library = loadLibraryBySearch(fileName);
    ASSERT_NE(library, nullptr);
    EXPECT_NE(findLibrarySymbol(library, "IFXCOMInitialize"), nullptr);
    EXPECT_EQ(findLibrarySymbol(library, "qvNoSuchSymbol"), nullptr);
    EXPECT_EQ(findLibrarySymbol(library, nullptr), nullptr);
    // An address tells the file it was loaded from: the library's, or this program's.
    CString holder(getLibraryPathContaining(findLibrarySymbol(library, "IFXCOMInitialize")));
    ASSERT_TRUE(holder);
    EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::u8path(holder.get()),
                                            std::filesystem::u8path(folder + kPathSeparator + fileName)));
    CString self(getLibraryPathContaining(reinterpret_cast<const void*>(&getModulePath)));
    CString selfByName(getModulePath());
    ASSERT_TRUE(self && selfByName);
    EXPECT_TRUE(
        std::filesystem::equivalent(std::filesystem::u8path(self.get()), std::filesystem::u8path(selfByName.get())));
    EXPECT_EQ(getLibraryPathContaining(nullptr), nullptr);
    void* again = loadLibraryFromPath((folder + kPathSeparator + fileName).c_str());
    EXPECT_EQ(again, library); // the same module, counted twice
    unloadLibrary(again);
    unloadLibrary(library);
    unloadLibrary(nullptr);
}

TEST(ProcessArguments, ProgramFirstAndMemoryMeasured)
{
    char program[] = "prog", name[] = "caf\xC3\xA9";
    char* argv[] = {program, name, nullptr};
    bool blank = true;
    const std::vector<std::u16string> arguments = processArguments(2, argv, blank);
    EXPECT_FALSE(blank);
    ASSERT_FALSE(arguments.empty());
#ifndef _WIN32 // Windows splits its own command line, whatever argv holds.
    EXPECT_EQ(arguments, (std::vector<std::u16string>{u"prog", u"caf\u00e9"}));
    char bad[] = "a\xFFz";
    char* badArgv[] = {bad, nullptr};
    EXPECT_EQ(processArguments(1, badArgv, blank), std::vector<std::u16string>{u"a\uFFFDz"});
    EXPECT_TRUE(processArguments(0, nullptr, blank).empty());
    EXPECT_TRUE(blank);
#endif
    EXPECT_GT(peakResidentMemoryMiB(), 0.0);
}

} // namespace
