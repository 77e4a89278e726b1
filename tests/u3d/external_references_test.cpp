#include "tests/support/files.h"
#include "tests/support/u3d_scene_blocks.h"
#include "u3d/external_references.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

U3dBytes referenceTo(std::vector<std::string> urls)
{
    return u3dFileReferenceBlock({.urls = std::move(urls)});
}

class ExternalReferences : public ::testing::Test {
protected:
    void SetUp() override
    {
        document = root.path() / "doc";
        fs::create_directories(document / "x.u3d");
        root.write("doc/parts/wheel.U3D", u3dFileHeaderBlock(0, 36, 0));
        root.write("doc/plain.u3d", u3dFileHeaderBlock(0, 36, 0));
        root.write("outside/secret.u3d", u3dFileHeaderBlock(0, 36, 0));
        fs::resize_file(root.write("doc/big.u3d", {1}), kMaxReferencedFileBytes + 1);
    }

    uint32_t judge(const std::string& url, const char* folder) { return judgeReferenceUrl(url, folder, resolved); }
    uint32_t judge(const std::string& url) { return judge(url, pathUtf8(document).c_str()); }

    struct Diagnosis {
        bool found = false;
        uint32_t outcome = kReferenceNotFound;
        std::string name;
    };
    Diagnosis diagnose(const U3dBytes& data)
    {
        Diagnosis d;
        uint32_t filesRead = 0;
        diagnoseFileReferences(data.data(), data.size(), pathUtf8(document).c_str(), 0, filesRead, d.name,
                               d.outcome, d.found);
        return d;
    }

    ScratchFolder root;
    fs::path document;
    std::string resolved;
};

// The rules of the URL text alone are the library's (external_files_test).
TEST_F(ExternalReferences, EachOutcomeOnARealTree)
{
    const std::string file = pathUtf8(document / "plain.u3d");
    const std::pair<std::string, uint32_t> cases[] = {
        {"parts/wheel.U3D", kReferenceAcceptable}, {"../outside/secret.u3d", kReferenceBadName},
        {"CON.u3d", kReferenceBadName},            {"file.txt", kReferenceBadExtension},
        {"missing.u3d", kReferenceNotFound},       {"x.u3d", kReferenceNotRegularFile},
        {"big.u3d", kReferenceTooLarge},
    };
    for (const auto& [url, expected] : cases)
        EXPECT_EQ(judge(url), expected) << url;
    ASSERT_EQ(judge("parts/wheel.U3D"), kReferenceAcceptable);
    EXPECT_TRUE(fs::equivalent(fs::u8path(resolved), document / "parts" / "wheel.U3D"));
    EXPECT_EQ(judge("big.u3d"), kReferenceTooLarge);
    EXPECT_TRUE(resolved.empty());

    const std::string missing = pathUtf8(root.path() / "nowhere");
    const std::string longName(4097, 'a');
    for (const char* folder : {static_cast<const char*>(nullptr), "", file.c_str(), missing.c_str(), longName.c_str()})
        EXPECT_EQ(judge("plain.u3d", folder), kReferenceFolderUnusable) << (folder ? folder : "(null)");
    EXPECT_EQ(judge("plain.u3d", (pathUtf8(document) + "/").c_str()), kReferenceAcceptable);
}

TEST_F(ExternalReferences, LinkLeavingTheFolderIsNotAllowed)
{
    std::error_code error;
    fs::create_directory_symlink(root.path() / "outside", document / "away", error);
    if (error)
        GTEST_SKIP() << "no symbolic links here: " << error.message();
    EXPECT_EQ(judge("away/secret.u3d"), kReferenceOutsideFolder);
    fs::create_symlink(document / "plain.u3d", document / "alias.u3d", error);
    ASSERT_FALSE(error);
    EXPECT_EQ(judge("alias.u3d"), kReferenceAcceptable); // a link that stays inside is fine
}

TEST_F(ExternalReferences, FirstUrlDecidesTheBlock)
{
    EXPECT_FALSE(diagnose(referenceTo({"missing.u3d", "plain.u3d"})).found);
    const U3dBytes bounded = u3dFileReferenceBlock(
        {.bounds = {std::array<float, 4>{}, std::array<float, 6>{}}, .urls = {"../x.u3d", "missing.u3d"}});
    const Diagnosis bad = diagnose(concat({u3dFileHeaderBlock(0, 36, 0), referenceTo({"plain.u3d"}), bounded}));
    EXPECT_TRUE(bad.found);
    EXPECT_EQ(bad.outcome, kReferenceBadName);
    EXPECT_EQ(bad.name, "../x.u3d");
    const U3dBytes truncated = referenceTo({"../x.u3d"});
    EXPECT_FALSE(diagnose(U3dBytes(truncated.begin(), truncated.end() - 8)).found);
    EXPECT_FALSE(diagnose(referenceTo(std::vector<std::string>(65, "../x.u3d"))).found); // too many URLs
}

TEST_F(ExternalReferences, ReferencedFilesAreFollowedFourLevelsDeepAndAtMost32)
{
    // top -> d1 -> d2 -> d3 -> d4; the bad reference sits in d3, then in d4.
    for (int badLevel : {3, 4}) {
        for (int level = 1; level <= 4; ++level)
            root.write("doc/d" + std::to_string(level) + ".u3d",
                       referenceTo({level == badLevel ? "gone.u3d" : "d" + std::to_string(level + 1) + ".u3d"}));
        const Diagnosis d = diagnose(referenceTo({"d1.u3d"}));
        EXPECT_EQ(d.found, badLevel == 3) << badLevel;
        EXPECT_EQ(d.name, d.found ? "gone.u3d" : "");
    }
    for (int badFile : {32, 33}) {
        U3dBytes top;
        for (int i = 1; i <= 33; ++i) {
            const std::string name = "r" + std::to_string(i) + ".u3d";
            root.write("doc/" + name, i == badFile ? referenceTo({"x.u3d"}) : u3dFileHeaderBlock(0, 36, 0));
            top = concat({top, referenceTo({name})});
        }
        const Diagnosis d = diagnose(top);
        EXPECT_EQ(d.found, badFile == 32) << badFile;
        EXPECT_EQ(d.outcome, d.found ? kReferenceNotRegularFile : kReferenceNotFound);
    }
}

} // namespace
