// pdf3d on the real PDFs: what it finds matches an independent extraction by the qpdf
// command line, and every GLB is valid and says what the worker's stream says.
#include "tests/tools/pdf3d_runner.h"
#include "tools/pdf3d/scene_math.h"
#include "tools/result_stream_reader.h"

#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <tuple>

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr int kMaxNameTreeDepth = 32;

std::string magicFormat(const std::vector<uint8_t>& data)
{
    if (data.size() >= 3 && std::memcmp(data.data(), "PRC", 3) == 0)
        return "PRC";
    if (data.size() >= 4 && std::memcmp(data.data(), "U3D\0", 4) == 0)
        return "U3D";
    return "unknown";
}

// The 3D streams of a PDF as the qpdf command line sees them: object number -> data.
class QpdfExtraction {
public:
    QpdfExtraction(const fs::path& pdf, const fs::path& folder)
    {
        const fs::path jsonPath = folder / "qpdf.json";
        const std::string command = "qpdf --json --json-stream-data=file --json-stream-prefix='" +
                                    pathUtf8(folder / "s") + "' '" + pathUtf8(pdf) + "' 2>/dev/null > '" + pathUtf8(jsonPath) + "'";
        // qpdf exits 3 on warnings, which real files have.
        const int status = std::system(command.c_str());
        ok = WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 3);
        std::ifstream in(jsonPath);
        const json all = json::parse(in, nullptr, false);
        if (!ok || all.is_discarded())
            return;
        objects_ = all["qpdf"][1];
        for (const json& page : all["pages"])
            for (const json& annotation : items(value(page["object"])["/Annots"]))
                addAnnotation(value(annotation));
    }

    bool ok = false;
    std::map<int, std::vector<uint8_t>> streams;

private:
    json objects_;
    std::set<int> seenAnnotations_;

    static int number(const json& ref) { return ref.is_string() ? std::atoi(ref.get<std::string>().c_str()) : 0; }
    json value(const json& refOrValue) const
    {
        if (!refOrValue.is_string() || refOrValue.get<std::string>().find(" R") == std::string::npos)
            return refOrValue;
        const json& o = objects_["obj:" + refOrValue.get<std::string>()];
        return o.contains("stream") ? o["stream"]["dict"] : o.value("value", json());
    }
    json items(const json& refOrArray) const
    {
        const json v = value(refOrArray);
        return v.is_array() ? v : json::array();
    }
    void addStream(const json& ref)
    {
        const json& o = objects_["obj:" + ref.get<std::string>()];
        if (!o.contains("stream"))
            return;
        std::ifstream in(o["stream"]["datafile"].get<std::string>(), std::ios::binary);
        streams[number(ref)] = {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void collectNames(const json& node, std::map<std::string, json>& out, int depth) const
    {
        const json n = value(node);
        if (depth > kMaxNameTreeDepth || !n.is_object())
            return;
        const json names = items(n.value("/Names", json()));
        for (size_t i = 0; i + 1 < names.size(); i += 2)
            out[names[i].get<std::string>()] = names[i + 1];
        for (const json& kid : items(n.value("/Kids", json())))
            collectNames(kid, out, depth + 1);
    }
    void addAnnotation(const json& a)
    {
        if (!a.is_object())
            return;
        const std::string subtype = a.value("/Subtype", "");
        if (subtype == "/3D") {
            json data = a.value("/3DD", json());
            if (value(data).is_object() && value(data).value("/Type", "") == "/3DRef")
                data = value(data)["/3DD"];
            if (data.is_string())
                addStream(data);
        } else if (subtype == "/RichMedia") {
            const json content = value(a.value("/RichMediaContent", json()));
            std::map<std::string, json> assets;
            collectNames(content.value("/Assets", json()), assets, 0);
            for (const json& configuration : items(content.value("/Configurations", json())))
                for (const json& instance : items(value(configuration).value("/Instances", json()))) {
                    const json i = value(instance);
                    if (i.value("/Subtype", "") != "/3D")
                        continue;
                    // The asset must be one of the tree's embedded files.
                    for (const auto& [name, spec] : assets)
                        if (spec == i["/Asset"])
                            addStream(value(value(spec)["/EF"])["/F"]);
                }
        }
    }
};

struct ModelFiles {
    json summary;
    fs::path raw, glb;
};

std::vector<ModelFiles> modelsOf(const json& summary, const std::string& extension)
{
    std::vector<ModelFiles> out;
    for (const json& m : summary["models"]) {
        ModelFiles f{m, {}, {}};
        for (const json& file : m["files"]) {
            const fs::path p = file.get<std::string>();
            if (p.extension() == ".glb")
                f.glb = p;
            else if (p.extension() == extension || p.extension() == ".prc" || p.extension() == ".u3d")
                f.raw = p;
        }
        out.push_back(f);
    }
    return out;
}

// Reads an accessor of floats or u32 as the GLB stores it.
template <typename T>
std::vector<T> accessorData(const tinygltf::Model& m, int index, size_t components)
{
    const tinygltf::Accessor& a = m.accessors.at(size_t(index));
    const tinygltf::BufferView& v = m.bufferViews.at(size_t(a.bufferView));
    const auto& bytes = m.buffers.at(size_t(v.buffer)).data;
    std::vector<T> out(a.count * components);
    std::memcpy(out.data(), bytes.data() + v.byteOffset + a.byteOffset, out.size() * sizeof(T));
    return out;
}

// The GLB's nodes, triangles and colours against the worker's own stream.
void compareGlbWithStream(const fs::path& glb, const ParsedResultStream& s)
{
    tinygltf::Model m;
    tinygltf::TinyGLTF loader;
    std::string err, warn;
    ASSERT_TRUE(loader.LoadBinaryFromFile(&m, &err, &warn, pathUtf8(glb))) << err;
    ASSERT_GE(m.nodes.size(), s.nodes.size() + 1);
    const std::vector<float> colours = accessorData<float>(m, m.meshes.at(0).primitives.at(0).attributes.at("COLOR_0"), 3);
    ASSERT_EQ(colours.size(), s.colours.size());
    for (size_t i = 0; i < colours.size(); ++i)
        ASSERT_EQ(linearToSrgb(colours[i]), s.colours[i]) << glb << " colour component " << i;
    for (size_t i = 0; i < s.nodes.size(); ++i) {
        const NodeRecord& r = s.nodes[i];
        const tinygltf::Node& n = m.nodes[i + 1]; // after the root
        const std::string expected = r.name[0] ? r.name : "node " + std::to_string(i);
        ASSERT_EQ(n.name, expected) << glb;
        std::multiset<std::array<uint32_t, 3>> fromGlb, fromStream;
        if (n.mesh >= 0)
            for (const tinygltf::Primitive& p : m.meshes[size_t(n.mesh)].primitives)
                if (p.mode == TINYGLTF_MODE_TRIANGLES) {
                    const auto idx = accessorData<uint32_t>(m, p.indices, 1);
                    for (size_t k = 0; k + 2 < idx.size(); k += 3)
                        fromGlb.insert({idx[k], idx[k + 1], idx[k + 2]});
                }
        for (uint32_t t = r.firstTriangle; t < r.firstTriangle + r.triangleCount; ++t)
            fromStream.insert({s.triangles[t * 3], s.triangles[t * 3 + 1], s.triangles[t * 3 + 2]});
        ASSERT_EQ(fromGlb, fromStream) << glb << " node " << i << " " << expected;
    }
}

ParsedResultStream workerStream(const fs::path& raw)
{
    const bool u3d = raw.extension() == ".u3d";
    const ProcessResult r = runProcess(buildProgramPath(u3d ? "heron_scan" : "marlin_scan"), {pathUtf8(raw)});
    ParsedResultStream s;
    std::string error;
    EXPECT_TRUE(parseResultStream(u3d ? StreamForm::U3d : StreamForm::Prc, r.out.data(), r.out.size(), s, error)) << error;
    return s;
}

class Pdf3dCorpus : public ::testing::Test {
protected:
    void SetUp() override
    {
        pdfs = corpusFiles("pdf", ".pdf");
        if (pdfs.empty())
            GTEST_SKIP() << "no PDF corpus";
    }
    std::vector<fs::path> pdfs;
};

TEST_F(Pdf3dCorpus, StreamsMatchTheQpdfCommandLine)
{
    for (const fs::path& pdf : pdfs) {
        ScratchFolder out, qpdf;
        const Pdf3dRun run = runPdf3d({"export", pathUtf8(pdf), "-o", pathUtf8(out.path()), "--raw", "--json"},
                                      out.path() / (pdf.stem().string() + ".json"));
        ASSERT_FALSE(run.summary.is_null()) << pdf << run.process.err;
        EXPECT_TRUE(run.tempFolderEmpty) << pdf;
        const QpdfExtraction expected(pdf, qpdf.path());
        ASSERT_TRUE(expected.ok) << pdf;

        std::map<int, std::tuple<size_t, std::string>> found;
        for (const ModelFiles& m : modelsOf(run.summary, ".bin")) {
            const int object = m.summary["streamObject"];
            const size_t bytes = m.summary["bytes"];
            found[object] = {bytes, m.summary["format"]};
            if (!m.raw.empty()) {
                EXPECT_TRUE(readFileBytes(m.raw) == expected.streams.at(object)) << pdf << " object " << object;
            }
        }
        std::map<int, std::tuple<size_t, std::string>> wanted;
        for (const auto& [object, data] : expected.streams)
            wanted[object] = {data.size(), magicFormat(data)};
        EXPECT_EQ(found, wanted) << pdf;
    }
}

TEST_F(Pdf3dCorpus, KnownFilesHoldWhatTheyShould)
{
    struct Case {
        const char* file;
        std::multiset<std::string> formats;
        int exitCode;
    };
    const Case cases[] = {
        {"tharupdf_3d_demo.pdf", {"PRC", "U3D"}, 1}, // the PRC model has no triangle
        {"itext_cmp_pdfua3DAnnotationTest.pdf", {"unknown"}, 1}, // an empty /U3D stream
        {"fig2u3d_example.pdf", {"U3D"}, 0},                      // a RichMedia asset
    };
    for (const Case& c : cases) {
        const fs::path pdf = corpusFolder() / "pdf" / c.file;
        if (!fs::exists(pdf))
            continue;
        const Pdf3dRun run = runPdf3d({"list", pathUtf8(pdf)});
        ScratchFolder out;
        const Pdf3dRun exported = runPdf3d({"export", pathUtf8(pdf), "-o", pathUtf8(out.path()), "--json"},
                                           out.path() / (pdf.stem().string() + ".json"));
        EXPECT_EQ(run.process.exitCode, 0) << c.file;
        EXPECT_EQ(exported.process.exitCode, c.exitCode) << c.file;
        std::multiset<std::string> formats;
        for (const json& m : exported.summary["models"])
            formats.insert(m["format"].get<std::string>());
        EXPECT_EQ(formats, c.formats) << c.file;
        if (std::string(c.file) == "itext_cmp_pdfua3DAnnotationTest.pdf") {
            EXPECT_EQ(exported.summary["models"][0]["message"], "empty stream (/Subtype /U3D)");
        }
    }
}

TEST_F(Pdf3dCorpus, GlbsAreValidAndSayWhatTheStreamSays)
{
    size_t checked = 0;
    for (const fs::path& pdf : pdfs) {
        ScratchFolder out;
        const Pdf3dRun run = runPdf3d({"export", pathUtf8(pdf), "-o", pathUtf8(out.path()), "--glb", "--raw", "--json"},
                                      out.path() / (pdf.stem().string() + ".json"));
        std::vector<fs::path> glbs;
        for (const ModelFiles& m : modelsOf(run.summary, ".bin")) {
            if (m.summary["outcome"] != "ok")
                continue;
            ASSERT_FALSE(m.glb.empty()) << pdf;
            glbs.push_back(m.glb);
            compareGlbWithStream(m.glb, workerStream(m.raw));
            ++checked;
        }
        bool skipped = false;
        EXPECT_EQ(validateGlbs(glbs, skipped), "") << pdf;
        if (skipped)
            std::printf("glTF validator not installed: GLBs of %s not validated\n", pathUtf8(pdf).c_str());
    }
    EXPECT_GT(checked, 0u);
}

} // namespace
