#include "runtime/input_file.h"

#include "runtime/platform.h"
#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <utility>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

InputReadStatus readInput(const std::filesystem::path& file, InputBytes& bytes)
{
    const std::unique_ptr<char16_t, FreeDeleter> wide(utf8ToWide(pathUtf8(file).c_str()));
    return readWholeInputFile(wide.get(), bytes);
}

} // namespace

TEST(InputFile, HoldsTheWholeFileUntilGivenBackOnceAndReadsBackAfterDroppingItsPages)
{
    ScratchFolder folder;
    std::vector<uint8_t> content(3 * 4096 + 5);
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<uint8_t>(i * 7);
    InputBytes bytes;
    ASSERT_EQ(readInput(folder.write("in.bin", content), bytes), InputReadStatus::Ok);
    ASSERT_EQ(bytes.size(), content.size());
    EXPECT_EQ(std::vector<uint8_t>(bytes.data(), bytes.data() + bytes.size()), content);
    bytes.dropPages(); // read again, they come back as they were
    EXPECT_EQ(std::vector<uint8_t>(bytes.data(), bytes.data() + bytes.size()), content);
    bytes.dropPages(100, static_cast<uint32_t>(content.size()) - 200); // a range within pages
    bytes.dropPages(static_cast<uint32_t>(content.size()), 0);
    bytes.dropPages(1, UINT32_MAX); // past the end: nothing
    EXPECT_EQ(std::vector<uint8_t>(bytes.data(), bytes.data() + bytes.size()), content);

    InputBytes moved = std::move(bytes);
    EXPECT_EQ(bytes.data(), nullptr);
    EXPECT_EQ(bytes.size(), 0u);
    EXPECT_EQ(moved.data()[content.size() - 1], content.back());
    moved.release();
    moved.release();
    EXPECT_EQ(moved.data(), nullptr);

    EXPECT_EQ(readInput(folder.write("empty.bin", {}), bytes), InputReadStatus::Empty);
    EXPECT_EQ(readInput(folder.path() / "none", bytes), InputReadStatus::OpenFailed);
    EXPECT_EQ(readInput(folder.path(), bytes), InputReadStatus::OpenFailed);
    EXPECT_EQ(bytes.data(), nullptr);
}

#ifndef _WIN32
// Another process may cut the file short while the worker holds it mapped; the parent
// must still get one result stream, the one of a read that came up short.
TEST(InputFileDeathTest, AFileCutShortUnderItsMappingEndsWithTheShortReadRecord)
{
    ScratchFolder folder;
    const std::filesystem::path input = folder.write("in.bin", std::vector<uint8_t>(5 * 4096, 1));
    const std::filesystem::path output = folder.path() / "out.bin";
    const auto cutShortAndRead = [&] {
        FILE* out = std::fopen(pathUtf8(output).c_str(), "wb");
        if (out == nullptr || dup2(fileno(out), STDOUT_FILENO) < 0)
            std::_Exit(3);
        answerInputFaultsAs(StreamForm::Prc);
        InputBytes bytes;
        if (readInput(input, bytes) != InputReadStatus::Ok)
            std::_Exit(4);
        std::filesystem::resize_file(input, 100);
        const volatile uint8_t* last = bytes.data() + bytes.size() - 1;
        std::_Exit(*last == 1 ? 5 : 6); // the read faults before either
    };
    EXPECT_EXIT(cutShortAndRead(), testing::ExitedWithCode(0), "");
    EXPECT_EQ(readFileBytes(output),
              errorRecordBytes(StreamForm::Prc, inputReadFailureMessage(InputReadStatus::ShortRead, nullptr)));
}
#endif
