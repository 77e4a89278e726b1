// heron_scan with the scene library built here, as a real process: every real file
// gives a preview, except the one whose geometry is only in a vendor extension ("no
// mesh") and the malformed one (corrupt); a failed external reference comes back with
// its name.
#include "tests/support/files.h"
#include "tests/support/process_runner.h"
#include "tests/support/u3d_scene_blocks.h"
#include "tools/result_stream_reader.h"

#include <gtest/gtest.h>

namespace {

ParsedResultStream runHeronScan(const std::vector<std::string>& args)
{
    const ProcessResult r = runProcess(buildProgramPath("heron_scan"), args, {});
    EXPECT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 0);
    ParsedResultStream s;
    std::string error;
    EXPECT_TRUE(parseResultStream(StreamForm::U3d, r.out.data(), r.out.size(), s, error)) << error;
    return s;
}

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

TEST(HeronScanCorpus, EveryRealFileGivesAPreviewOrSaysWhyNot)
{
    const auto files = corpusFiles("u3d", ".u3d");
    if (files.empty())
        GTEST_SKIP() << "no U3D corpus";
    for (const auto& path : files) {
        const std::string name = path.filename().string();
        SCOPED_TRACE(name);
        const ParsedResultStream s = runHeronScan({pathUtf8(path), pathUtf8(path.parent_path())});
        if (name == "vaastav_Cube.u3d") {
            EXPECT_TRUE(startsWith(s.message, "the U3D file is corrupt")) << s.message;
        } else if (name == "aspose_House_Design__obj111.u3d") {
            // All its geometry is in a vendor extension the library steps over.
            EXPECT_EQ(s.message, "the U3D file contains no mesh (only point/line sets or no geometry)");
        } else {
            ASSERT_TRUE(s.ok) << s.message;
            EXPECT_GT(s.triangles.size() + s.points.size() + s.lines.size(), 0u);
            EXPECT_GT(s.nodes.size(), 1u);
            // The two files with a texture carry it decoded.
            if (name == "mevislab_Example_Cube_Textured_Animated.u3d" || name == "ptc3dpdfexp_output.u3d") {
                EXPECT_EQ(+s.u3dHeader.textureWidth, 32u);
            }
        }
        EXPECT_EQ(+s.u3dHeader.hasHeaderValues, 1);
    }
}

TEST(HeronScanCorpus, AMissingReferencedFileIsNamed)
{
    ScratchFolder folder;
    const std::string file = pathUtf8(
        folder.write("doc.u3d", concat({u3dFileHeaderBlock(0, 36, 0), u3dFileReferenceBlock({.urls = {"parts/wheel.u3d"}})})));
    const ParsedResultStream s = runHeronScan({file, pathUtf8(folder.path())});
    EXPECT_FALSE(s.ok);
    EXPECT_EQ(s.message, "the U3D file references an external file that was not found next to the document: "
                         "\"parts/wheel.u3d\"");
}

} // namespace
