// External files: the URL rules, and File Reference blocks loading the files they name
// (nested, looping, too deep, too many, missing, escaping the folder, merge rules).
#include "tests/support/files.h"
#include "tests/support/u3d_scene_blocks.h"
#include "u3dlib/block_types.h"
#include "u3dlib/external_files.h"
#include "u3dlib/scene_loader.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace u3dlib;
namespace fs = std::filesystem;

namespace {

template <typename T>
const T& named(const Palette<T>& palette, const std::string& name)
{
    return palette.entry(palette.find(name).value_or(0)).object;
}

TEST(U3dExternalFiles, UrlTextRules)
{
    const struct {
        std::string url;
        UrlVerdict verdict;
    } cases[] = {
        {"wheel.u3d", UrlVerdict::Acceptable},
        {"parts/wheel.U3D", UrlVerdict::Acceptable},
        {"a b/c.d.u3d", UrlVerdict::Acceptable},
        {"com0.u3d", UrlVerdict::Acceptable},
        {"com10.u3d", UrlVerdict::Acceptable},
        {"console.u3d", UrlVerdict::Acceptable},
        {"", UrlVerdict::NameNotAllowed},
        {"/etc/x.u3d", UrlVerdict::NameNotAllowed},
        {"../x.u3d", UrlVerdict::NameNotAllowed},
        {"a/./x.u3d", UrlVerdict::NameNotAllowed},
        {"a//x.u3d", UrlVerdict::NameNotAllowed},
        {"a\\x.u3d", UrlVerdict::NameNotAllowed},
        {"http://host/x.u3d", UrlVerdict::NameNotAllowed},
        {"C:x.u3d", UrlVerdict::NameNotAllowed},
        {"x?.u3d", UrlVerdict::NameNotAllowed},
        {"dir./x.u3d", UrlVerdict::NameNotAllowed},
        {"dir /x.u3d", UrlVerdict::NameNotAllowed},
        {"x\t.u3d", UrlVerdict::NameNotAllowed},
        {"x\x7f.u3d", UrlVerdict::NameNotAllowed},
        {"\xff.u3d", UrlVerdict::NameNotAllowed},
        {"\xF0\x9F\x98\x80.u3d", UrlVerdict::NameNotAllowed}, // a surrogate pair in UTF-16
        {"x.u3d.", UrlVerdict::NameNotAllowed},
        {"CON.u3d", UrlVerdict::NameNotAllowed},
        {"sub/lpt1.u3d", UrlVerdict::NameNotAllowed},
        {"nul.tar.u3d", UrlVerdict::NameNotAllowed},
        {std::string(1021, 'a') + ".u3d", UrlVerdict::NameNotAllowed},
        {"x.txt", UrlVerdict::WrongExtension},
        {".u3d", UrlVerdict::WrongExtension},
        {"x", UrlVerdict::WrongExtension},
        {"a.u3\xC3\xA9", UrlVerdict::WrongExtension},
    };
    for (const auto& c : cases)
        EXPECT_EQ(checkUrlText(c.url, {"u3d"}), c.verdict) << c.url;
    EXPECT_EQ(checkUrlText("photo.JPEG", {"jpg", "jpeg"}), UrlVerdict::Acceptable);
}

// A folder of U3D files that reference each other.
class FileReferences : public ::testing::Test {
protected:
    void write(const std::string& name, const std::vector<U3dBytes>& blocks) { scratch_.write(name, u3dFile(blocks)); }

    IFXRESULT loadTop(const std::vector<U3dBytes>& blocks, Scene& scene, bool withFolder = true)
    {
        LoadEnvironment environment;
        if (withFolder)
            environment.baseFolder = pathUtf8(scratch_.path());
        return loadScene(u3dFile(blocks), environment, scene);
    }

    static U3dBytes reference(const std::string& url, uint8_t policy = 0, const std::string& scope = "",
                              const std::string& alias = "")
    {
        return u3dFileReferenceBlock({.scope = scope, .urls = {url}, .policy = policy, .worldAlias = alias});
    }

    ScratchFolder scratch_;
};

TEST_F(FileReferences, NestedFilesMergeWhereTheirBlockStands)
{
    write("a.u3d", {u3dMaterialBlock("FromA", {1, 0, 0}), reference("sub/b.u3d"), u3dMaterialBlock("Shared", {0, 1, 0})});
    write("sub/b.u3d", {u3dMaterialBlock("FromB", {0, 0, 1}), u3dMaterialBlock("Shared", {1, 1, 1})});
    Scene scene;
    // b resolves against the document folder, not against a's folder; the bounds in front
    // of the URLs are stepped over.
    const U3dBytes bounded =
        u3dFileReferenceBlock({.bounds = {std::array<float, 4>{}, std::array<float, 6>{}}, .urls = {"a.u3d"}});
    ASSERT_EQ(loadTop({u3dMaterialBlock("Shared", {0.5f, 0.5f, 0.5f}), bounded}, scene), kIfxOk);
    EXPECT_TRUE(scene.materials.find("FromA") && scene.materials.find("FromB"));
    // Replace policy: the last declaration of a name wins, wherever it came from.
    EXPECT_EQ(named(scene.materials, "Shared").diffuse, (std::array<float, 3>{0, 1, 0}));
}

TEST_F(FileReferences, LoopsDepthAndCountHaveTheirOwnCode)
{
    write("self.u3d", {reference("self.u3d")});
    write("ping.u3d", {reference("pong.u3d")});
    write("pong.u3d", {reference("ping.u3d")});
    write("d1.u3d", {reference("d2.u3d")});
    write("d2.u3d", {reference("d3.u3d")});
    write("d3.u3d", {reference("d4.u3d")});
    write("d4.u3d", {u3dMaterialBlock("Deep", {1, 1, 1})});
    write("leaf.u3d", {u3dMaterialBlock("Leaf", {1, 1, 1})});
    std::vector<U3dBytes> thirtyThree(33, reference("leaf.u3d"));

    const std::vector<std::pair<const char*, IFXRESULT>> expectations = {
        {"self.u3d", kIfxErrorExternalReferenceLimits},
        {"ping.u3d", kIfxErrorExternalReferenceLimits},
        {"d2.u3d", kIfxOk}, // levels 2, 3 and 4
        {"d1.u3d", kIfxErrorExternalReferenceLimits},
    };
    for (const auto& [url, expected] : expectations) {
        Scene scene;
        EXPECT_EQ(loadTop({reference(url)}, scene), expected) << url;
        EXPECT_EQ(scene.materials.find("Deep").has_value(), expected == kIfxOk && std::string(url) == "d2.u3d");
    }
    Scene many;
    EXPECT_EQ(loadTop(thirtyThree, many), kIfxErrorExternalReferenceLimits);
    thirtyThree.pop_back();
    EXPECT_EQ(loadTop(thirtyThree, many), kIfxOk);
}

TEST_F(FileReferences, MissingForbiddenOrBrokenFilesFail)
{
    write("broken.u3d", {u3dMaterialBlock("B", {1, 1, 1})});
    scratch_.write("broken.u3d", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13});
    write("refs-missing.u3d", {reference("missing.u3d")});
    write("ok.u3d", {u3dMaterialBlock("Ok", {1, 1, 1})});
    scratch_.write("outside.u3d", {});
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"missing", "missing.u3d"},
        {"escaping", "../outside.u3d"},
        {"a scheme", "file:///etc/passwd.u3d"},
        {"not u3d", "ok.txt"},
        {"corrupt", "broken.u3d"},
        {"missing one level down", "refs-missing.u3d"},
    };
    for (const auto& [what, url] : cases) {
        Scene scene;
        EXPECT_EQ(loadTop({reference(url)}, scene), kIfxErrorExternalReferenceFailed) << what;
    }
    Scene noFolder;
    EXPECT_EQ(loadTop({reference("ok.u3d")}, noFolder, false), kIfxErrorExternalReferenceFailed);

    // The first acceptable URL of a block is used.
    Scene scene;
    EXPECT_EQ(loadTop({u3dFileReferenceBlock({.urls = {"missing.u3d", "ok.u3d"}})}, scene), kIfxOk);
    EXPECT_TRUE(scene.materials.find("Ok"));
}

TEST_F(FileReferences, PoliciesFiltersAndWorldAliasRenameConsistently)
{
    write("part.u3d", {
                          u3dGroupNodeBlock("Part", {{"", kU3dIdentity}}),
                          u3dModelNodeBlock("Body", {{"Part", kU3dIdentity}}, "BodyMesh"),
                          u3dLitTextureShaderBlock("Paint", "Red"),
                          u3dMaterialBlock("Red", {1, 0, 0}),
                      });
    const std::vector<U3dBytes> existing = {u3dGroupNodeBlock("Part", {}), u3dMaterialBlock("Red", {0, 0, 1}),
                                            u3dGroupNodeBlock("Anchor", {})};
    const auto withReference = [&](U3dBytes block) {
        std::vector<U3dBytes> blocks = existing;
        blocks.push_back(std::move(block));
        return blocks;
    };

    Scene discard;
    ASSERT_EQ(loadTop(withReference(reference("part.u3d", 1)), discard), kIfxOk);
    EXPECT_TRUE(named(discard.nodes, "Part").parents.empty()); // kept the existing
    EXPECT_EQ(named(discard.materials, "Red").diffuse[2], 1.0f);

    Scene prefixed;
    ASSERT_EQ(loadTop(withReference(reference("part.u3d", 2, "p:")), prefixed), kIfxOk);
    EXPECT_EQ(named(prefixed.nodes, "p:Body").parents[0].name, "p:Part");
    EXPECT_EQ(named(prefixed.shaders, "p:Paint").materialName, "p:Red");
    EXPECT_FALSE(prefixed.nodes.find("Body"));

    Scene onCollision;
    ASSERT_EQ(loadTop(withReference(reference("part.u3d", 3, "p:", "Anchor")), onCollision), kIfxOk);
    EXPECT_EQ(named(onCollision.nodes, "Body").parents[0].name, "p:Part");
    // References to the world now go to the alias.
    EXPECT_EQ(named(onCollision.nodes, "p:Part").parents[0].name, "Anchor");

    Scene numbered;
    ASSERT_EQ(loadTop(withReference(reference("part.u3d", 4)), numbered), kIfxOk);
    EXPECT_EQ(named(numbered.nodes, "Body").parents[0].name, "Part-1");
    EXPECT_EQ(named(numbered.shaders, "Paint").materialName, "Red-1");

    Scene some;
    ASSERT_EQ(loadTop({u3dFileReferenceBlock({.urls = {"part.u3d"}, .nameFilters = {"B*"},
                                              .typeFilters = {kBlockMaterialResource}})},
                      some),
              kIfxOk);
    EXPECT_TRUE(some.nodes.find("Body"));
    EXPECT_FALSE(some.nodes.find("Part"));
    EXPECT_TRUE(some.materials.find("Red"));
    EXPECT_FALSE(some.shaders.find("Paint"));
}

} // namespace
