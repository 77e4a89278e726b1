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

std::u16string wideOf(const char* utf8)
{
    WString wide(utf8ToWide(utf8));
    return wide ? std::u16string(wide.get()) : std::u16string(u"<null>");
}

TEST(TextConversion, RoundTripsEveryPlane)
{
    const char* samples[] = {"", "plain", "d\xC3\xA9j\xC3\xA0", "\xE6\xBC\xA2\xE5\xAD\x97",
                             "\xF0\x9F\x98\x80 emoji", "\xEF\xBF\xBF"};
    for (const char* text : samples) {
        WString wide(utf8ToWide(text));
        ASSERT_TRUE(wide) << text;
        CString back(wideToUtf8(wide.get()));
        ASSERT_TRUE(back) << text;
        EXPECT_STREQ(back.get(), text);
    }
    EXPECT_EQ(wideOf("\xF0\x9F\x98\x80"), std::u16string(u"\xD83D\xDE00"));
}

TEST(TextConversion, NullInputFails)
{
    EXPECT_EQ(utf8ToWide(nullptr), nullptr);
    EXPECT_EQ(wideToUtf8(nullptr), nullptr);
}

#ifndef _WIN32
// Windows converts malformed text with replacement characters, as the system does;
// elsewhere malformed text is refused.
TEST(TextConversion, MalformedInputFails)
{
    const char* malformed[] = {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\xFFz"};
    for (const char* text : malformed)
        EXPECT_EQ(utf8ToWide(text), nullptr) << text;
    const char16_t lone[] = {u'a', 0xD800, u'b', 0};
    EXPECT_EQ(wideToUtf8(lone), nullptr);
    const char16_t reversed[] = {0xDE00, 0xD83D, 0};
    EXPECT_EQ(wideToUtf8(reversed), nullptr);
}
#endif

struct CutCase {
    const char* path;
    const char* expected; // null: no separator, the call fails
};

TEST(CutPathToDirectory, KeepsTheFolder)
{
    const CutCase cases[] = {
        {"C:\\a\\prog.exe", "C:\\a"}, {"\\prog.exe", "\\"}, {"/usr/bin/prog", "/usr/bin"},
        {"/prog", "/"},               {"prog.exe", nullptr}, {"", nullptr},
        {"C:/a\\b/prog", "C:/a\\b"},
    };
    for (const CutCase& c : cases) {
        std::string buffer = c.path;
        const bool cut = cutPathToDirectory(buffer.data());
        if (c.expected == nullptr) {
            EXPECT_FALSE(cut) << c.path;
            EXPECT_EQ(buffer, c.path);
        } else {
            EXPECT_TRUE(cut) << c.path;
            EXPECT_STREQ(buffer.c_str(), c.expected);
        }
    }
}

TEST(ModulePath, NamesThisProgramAndItsFolder)
{
    CString path(getModulePath());
    CString folder(getModuleDirectory());
    ASSERT_TRUE(path);
    ASSERT_TRUE(folder);
    const std::filesystem::path program = std::filesystem::u8path(path.get());
    EXPECT_TRUE(std::filesystem::is_regular_file(program));
    EXPECT_EQ(program.stem().string(), "runtime_tests");
    EXPECT_EQ(std::filesystem::u8path(folder.get()), program.parent_path());
}

TEST(Environment, OverwriteRules)
{
    const char* name = "QV_PLATFORM_TEST_VARIABLE";
    ASSERT_TRUE(setEnvironmentUtf8(name, "first", true));
    EXPECT_STREQ(std::getenv(name), "first");
    // Not overwriting an existing value still reports success.
    EXPECT_TRUE(setEnvironmentUtf8(name, "second", false));
    EXPECT_STREQ(std::getenv(name), "first");
    EXPECT_TRUE(setEnvironmentUtf8(name, "third", true));
    EXPECT_STREQ(std::getenv(name), "third");
    EXPECT_FALSE(setEnvironmentUtf8(nullptr, "x", true));
    EXPECT_FALSE(setEnvironmentUtf8(name, nullptr, true));

    const char* fresh = "QV_PLATFORM_TEST_FRESH";
    EXPECT_TRUE(setEnvironmentUtf8(fresh, "value", false));
    EXPECT_STREQ(std::getenv(fresh), "value");
    // getenv answers in the system code page on Windows, so only success is checked here.
    EXPECT_TRUE(setEnvironmentUtf8(fresh, "v\xC3\xA9", true));
}

TEST(TempFile, CreatedWrittenAndDeleted)
{
    const char data[] = "some bytes\0with a NUL";
    CString path(writeTempFile("u3d_bridge", data, sizeof data));
    ASSERT_TRUE(path);
    const std::filesystem::path file = std::filesystem::u8path(path.get());
    EXPECT_EQ(file.filename().string().rfind("u3d", 0), 0u) << file; // Windows keeps three letters
    const std::vector<uint8_t> bytes = readFileBytes(file);
    ASSERT_EQ(bytes.size(), sizeof data);
    EXPECT_EQ(std::memcmp(bytes.data(), data, sizeof data), 0);
#ifndef _WIN32
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
#endif
    EXPECT_TRUE(deleteFileUtf8(path.get()));
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_FALSE(deleteFileUtf8(path.get()));
    EXPECT_FALSE(deleteFileUtf8(nullptr));
}

TEST(TempFile, EmptyAndDefaultPrefix)
{
    CString empty(writeTempFile(nullptr, nullptr, 0));
    ASSERT_TRUE(empty);
    const std::filesystem::path file = std::filesystem::u8path(empty.get());
    EXPECT_EQ(std::filesystem::file_size(file), 0u);
    EXPECT_EQ(file.filename().string().rfind("quo", 0), 0u) << file;
    EXPECT_TRUE(deleteFileUtf8(empty.get()));
}

TEST(TempFile, NullDataWithBytesCreatesNothing)
{
    const auto tempFolder = std::filesystem::temp_directory_path();
    size_t before = 0, after = 0;
    for (const auto& entry : std::filesystem::directory_iterator(tempFolder))
        before += entry.path().filename().string().rfind("qvn", 0) == 0;
    EXPECT_EQ(writeTempFile("qvn", nullptr, 5), nullptr);
    for (const auto& entry : std::filesystem::directory_iterator(tempFolder))
        after += entry.path().filename().string().rfind("qvn", 0) == 0;
    EXPECT_EQ(before, after);
}

TEST(Environment, LookupsTellUnsetFromEmpty)
{
    ASSERT_TRUE(setEnvironmentUtf8("QV_LOOKUP_SET", "v\xC3\xA9", true));
    CString value(getEnvironmentUtf8("QV_LOOKUP_SET"));
    ASSERT_TRUE(value);
    EXPECT_STREQ(value.get(), "v\xC3\xA9");
    EXPECT_TRUE(environmentVariableExists("QV_LOOKUP_SET"));
    EXPECT_FALSE(environmentVariableExists("QV_LOOKUP_NEVER_SET"));
    EXPECT_EQ(getEnvironmentUtf8("QV_LOOKUP_NEVER_SET"), nullptr);
}

TEST(Libraries, MissingOnesAreNull)
{
    EXPECT_EQ(loadLibraryBySearch("qv-no-such-library"), nullptr);
    EXPECT_EQ(loadLibraryFromPath(pathUtf8(ScratchFolder().path() / "none").c_str()), nullptr);
    EXPECT_EQ(findLibrarySymbol(nullptr, "x"), nullptr);
    unloadLibrary(nullptr);
}

TEST(FinalPaths, ResolveFoldersAndFiles)
{
    ScratchFolder folder;
    const std::string file = pathUtf8(folder.write("sub/f.bin", {1, 2, 3}));
    CString finalFolder(finalFolderPath(pathUtf8(folder.path() / "sub").c_str()));
    ASSERT_TRUE(finalFolder);
    EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::u8path(finalFolder.get()), folder.path() / "sub"));
    EXPECT_EQ(finalFolderPath(file.c_str()), nullptr); // a file is not a folder
    EXPECT_EQ(finalPathOf(pathUtf8(folder.path() / "none").c_str()), nullptr);
    CString finalFile(finalPathOf(file.c_str()));
    ASSERT_TRUE(finalFile);
    uint64_t size = 0;
    EXPECT_EQ(examinePath(finalFile.get(), size), PathKind::RegularFile);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(examinePath(finalFolder.get(), size), PathKind::Other);
    EXPECT_EQ(examinePath(pathUtf8(folder.path() / "none").c_str(), size), PathKind::Unreadable);
    EXPECT_TRUE(pathStartsWith(finalFile.get(), finalFolder.get()));
#ifdef _WIN32
    const bool ignoresCase = true;
#else
    const bool ignoresCase = false;
#endif
    EXPECT_EQ(pathStartsWith("/Doc/x", "/doc/"), ignoresCase);
}

} // namespace
