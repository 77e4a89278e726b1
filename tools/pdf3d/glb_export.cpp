#include "tools/pdf3d/glb_export.h"

#include "tools/pdf3d/png_file.h"
#include "tools/pdf3d/scene_math.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace {

namespace gl = tinygltf;

constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;
constexpr double kQuarterTurn = 0.70710678118654752;
// Fallback field of view (radians) for views that report none.
constexpr double kDefaultFieldOfView = 0.8;
constexpr double kDefaultRoughness = 0.7;

class GlbBuilder {
public:
    explicit GlbBuilder(const ParsedResultStream& s) : s_(s) { model_.buffers.emplace_back(); }

    gl::Model build()
    {
        model_.asset.version = "2.0";
        model_.asset.generator = "pdf3d";
        addVertexAttributes();
        const int root = addNode("root");
        // CAD data stands on +Z, glTF on +Y: a quarter turn about X brings Z up.
        model_.nodes[size_t(root)].rotation = {-kQuarterTurn, 0, 0, kQuarterTurn};
        addNodeTree(root);
        addCameras(root);
        addLights(root);
        gl::Scene scene;
        scene.nodes = {root};
        model_.scenes.push_back(scene);
        model_.defaultScene = 0;
        return std::move(model_);
    }

private:
    const ParsedResultStream& s_;
    gl::Model model_;
    int positionAccessor_ = -1;
    int colourAccessor_ = -1;
    int normalAccessor_ = -1;
    int texcoordAccessor_ = -1;
    int texture_ = -1;
    bool textureHasAlpha_ = false;
    std::map<std::pair<int, bool>, int> materials_; // (material record or -1, textured)

    std::vector<unsigned char>& bytes() { return model_.buffers[0].data; }

    int addView(const void* data, size_t length, int target)
    {
        while (bytes().size() % 4 != 0)
            bytes().push_back(0);
        gl::BufferView view;
        view.buffer = 0;
        view.byteOffset = bytes().size();
        view.byteLength = length;
        view.target = target;
        const auto* p = static_cast<const unsigned char*>(data);
        bytes().insert(bytes().end(), p, p + length);
        model_.bufferViews.push_back(view);
        return int(model_.bufferViews.size() - 1);
    }

    int addAccessor(int view, int componentType, size_t count, int type)
    {
        gl::Accessor a;
        a.bufferView = view;
        a.componentType = componentType;
        a.count = count;
        a.type = type;
        model_.accessors.push_back(a);
        return int(model_.accessors.size() - 1);
    }

    int addVec3(const std::vector<float>& values)
    {
        return addAccessor(addView(values.data(), values.size() * 4, kArrayBuffer), TINYGLTF_COMPONENT_TYPE_FLOAT,
                           values.size() / 3, TINYGLTF_TYPE_VEC3);
    }

    void addVertexAttributes()
    {
        const size_t v = s_.vertexCount();
        if (v == 0)
            return;
        std::vector<float> positions(s_.vertices);
        for (float& p : positions)
            if (!std::isfinite(p))
                p = 0; // only reached by unused or broken vertices; the validator refuses NaN
        positionAccessor_ = addVec3(positions);
        Bounds all;
        for (size_t i = 0; i < v; ++i)
            for (int k = 0; k < 3; ++k) {
                const double x = positions[i * 3 + size_t(k)];
                all.min[size_t(k)] = i == 0 ? x : std::min(all.min[size_t(k)], x);
                all.max[size_t(k)] = i == 0 ? x : std::max(all.max[size_t(k)], x);
            }
        // min/max must match the stored floats exactly.
        for (int k = 0; k < 3; ++k) {
            model_.accessors[size_t(positionAccessor_)].minValues.push_back(float(all.min[size_t(k)]));
            model_.accessors[size_t(positionAccessor_)].maxValues.push_back(float(all.max[size_t(k)]));
        }

        std::vector<float> colours(s_.colours.size());
        for (size_t i = 0; i < colours.size(); ++i)
            colours[i] = float(srgbToLinear(s_.colours[i]));
        colourAccessor_ = addVec3(colours);

        if (!s_.normals.empty()) {
            std::vector<float> normals(s_.normals.size());
            for (size_t i = 0; i < v; ++i) {
                const Vec3 n = normalised({s_.normals[i * 3], s_.normals[i * 3 + 1], s_.normals[i * 3 + 2]},
                                          {0, 0, 1});
                for (int k = 0; k < 3; ++k)
                    normals[i * 3 + size_t(k)] = float(n[size_t(k)]);
            }
            normalAccessor_ = addVec3(normals);
        }
        if (!s_.textureCoordinates.empty() && !s_.texturePixels.empty())
            addTexture();
    }

    void addTexture()
    {
        const uint32_t w = s_.u3dHeader.textureWidth, h = s_.u3dHeader.textureHeight;
        const std::vector<uint8_t> png = encodePng(s_.texturePixels.data(), w, h, 4);
        if (png.empty())
            return;
        // Texture coordinates start at the bottom of the image, glTF's at the top.
        std::vector<float> uv(s_.textureCoordinates);
        for (size_t i = 1; i < uv.size(); i += 2)
            uv[i] = std::isfinite(uv[i]) ? 1.0f - uv[i] : 0.0f;
        for (size_t i = 0; i < uv.size(); i += 2)
            if (!std::isfinite(uv[i]))
                uv[i] = 0;
        texcoordAccessor_ = addAccessor(addView(uv.data(), uv.size() * 4, kArrayBuffer),
                                        TINYGLTF_COMPONENT_TYPE_FLOAT, uv.size() / 2, TINYGLTF_TYPE_VEC2);
        gl::Image image;
        image.name = "texture atlas";
        image.mimeType = "image/png";
        image.bufferView = addView(png.data(), png.size(), 0);
        model_.bufferViews.back().target = 0;
        model_.images.push_back(image);
        gl::Sampler sampler;
        model_.samplers.push_back(sampler);
        gl::Texture texture;
        texture.source = 0;
        texture.sampler = 0;
        model_.textures.push_back(texture);
        texture_ = 0;
        for (size_t i = 3; i < s_.texturePixels.size(); i += 4)
            if (s_.texturePixels[i] != 255) {
                textureHasAlpha_ = true;
                break;
            }
    }

    int material(int record, bool textured)
    {
        const auto key = std::make_pair(record, textured);
        if (auto it = materials_.find(key); it != materials_.end())
            return it->second;
        gl::Material m;
        m.doubleSided = true; // CAD tessellations rarely agree on winding
        m.pbrMetallicRoughness.metallicFactor = 0;
        m.pbrMetallicRoughness.roughnessFactor = kDefaultRoughness;
        // The displayed colour travels in COLOR_0, which glTF multiplies with the base colour.
        double opacity = 1;
        bool blend = textured && textureHasAlpha_;
        if (record >= 0) {
            const MaterialRecord& r = s_.materials[size_t(record)];
            m.name = "material " + std::to_string(record);
            opacity = std::isfinite(r.opacity) ? std::clamp(double(r.opacity), 0.0, 1.0) : 1.0;
            blend = blend || opacity < 1.0 || r.transparent != 0;
            m.emissiveFactor.clear();
            for (float e : r.emissive)
                m.emissiveFactor.push_back(std::isfinite(e) ? srgbToLinear(uint8_t(std::lround(std::clamp(double(e), 0.0, 1.0) * 255))) : 0.0);
        } else {
            m.name = "default";
        }
        m.pbrMetallicRoughness.baseColorFactor = {1, 1, 1, opacity};
        if (blend)
            m.alphaMode = "BLEND";
        if (textured)
            m.pbrMetallicRoughness.baseColorTexture.index = texture_;
        model_.materials.push_back(m);
        return materials_[key] = int(model_.materials.size() - 1);
    }

    int addIndices(const std::vector<uint32_t>& indices)
    {
        return addAccessor(addView(indices.data(), indices.size() * 4, kElementArrayBuffer),
                           TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, indices.size(), TINYGLTF_TYPE_SCALAR);
    }

    gl::Primitive primitive(const std::vector<uint32_t>& indices, int mode, int materialIndex)
    {
        gl::Primitive p;
        p.mode = mode;
        p.indices = addIndices(indices);
        p.attributes["POSITION"] = positionAccessor_;
        p.attributes["COLOR_0"] = colourAccessor_;
        if (mode == TINYGLTF_MODE_TRIANGLES && normalAccessor_ >= 0)
            p.attributes["NORMAL"] = normalAccessor_;
        if (texcoordAccessor_ >= 0)
            p.attributes["TEXCOORD_0"] = texcoordAccessor_;
        p.material = materialIndex;
        return p;
    }

    bool textured(uint32_t vertex) const
    {
        return texcoordAccessor_ >= 0 && s_.textureCoordinates[size_t{vertex} * 2] >= 0 &&
               s_.textureCoordinates[size_t{vertex} * 2 + 1] >= 0;
    }

    int vertexMaterial(uint32_t vertex) const
    {
        return s_.vertexMaterials.empty() ? -1 : int(s_.vertexMaterials[vertex]);
    }

    // A mesh for a triangle, point and line range; -1 when all three are empty.
    int addMesh(const std::string& name, uint32_t firstTriangle, uint32_t triangles, uint32_t firstPoint,
                uint32_t points, uint32_t firstLine, uint32_t lines)
    {
        gl::Mesh mesh;
        mesh.name = name;
        // A primitive has one material: triangles are grouped by the material of
        // their first vertex and whether it carries texture coordinates.
        std::map<std::pair<int, bool>, std::vector<uint32_t>> groups;
        for (uint32_t t = firstTriangle; t < firstTriangle + triangles; ++t) {
            const uint32_t* tri = &s_.triangles[size_t{t} * 3];
            auto& g = groups[{vertexMaterial(tri[0]), textured(tri[0])}];
            g.insert(g.end(), tri, tri + 3);
        }
        for (const auto& [key, indices] : groups)
            mesh.primitives.push_back(primitive(indices, TINYGLTF_MODE_TRIANGLES, material(key.first, key.second)));
        if (points > 0) {
            std::vector<uint32_t> indices(s_.points.begin() + firstPoint, s_.points.begin() + firstPoint + points);
            mesh.primitives.push_back(primitive(indices, TINYGLTF_MODE_POINTS, material(vertexMaterial(indices[0]), false)));
        }
        if (lines > 0) {
            std::vector<uint32_t> indices(s_.lines.begin() + size_t{firstLine} * 2,
                                          s_.lines.begin() + (size_t{firstLine} + lines) * 2);
            mesh.primitives.push_back(primitive(indices, TINYGLTF_MODE_LINE, material(vertexMaterial(indices[0]), false)));
        }
        if (mesh.primitives.empty())
            return -1;
        model_.meshes.push_back(mesh);
        return int(model_.meshes.size() - 1);
    }

    int addNode(const std::string& name)
    {
        gl::Node n;
        n.name = name;
        model_.nodes.push_back(n);
        return int(model_.nodes.size() - 1);
    }

    // Marks a range as covered; what no node record covers goes to one extra node.
    static void cover(std::vector<bool>& covered, uint32_t first, uint32_t count)
    {
        std::fill(covered.begin() + first, covered.begin() + first + count, true);
    }

    void addNodeTree(int root)
    {
        std::vector<bool> triangles(s_.triangleCount()), points(s_.points.size()), lines(s_.lines.size() / 2);
        std::vector<int> gltfIndex(s_.nodes.size());
        for (size_t i = 0; i < s_.nodes.size(); ++i) {
            const NodeRecord& r = s_.nodes[i];
            // An unnamed node would be written as an empty object, which glTF refuses.
            const int node = addNode(r.name[0] ? std::string(r.name) : "node " + std::to_string(i));
            gltfIndex[i] = node;
            if (positionAccessor_ >= 0) {
                const int mesh = addMesh(r.name, r.firstTriangle, r.triangleCount, r.firstPoint, r.pointCount,
                                         r.firstLine, r.lineCount);
                model_.nodes[size_t(node)].mesh = mesh;
            }
            cover(triangles, r.firstTriangle, r.triangleCount);
            cover(points, r.firstPoint, r.pointCount);
            cover(lines, r.firstLine, r.lineCount);
            // The reader guarantees parents come first.
            const int parent = r.parent == kNoParent ? root : gltfIndex[r.parent];
            model_.nodes[size_t(parent)].children.push_back(node);
        }
        if (positionAccessor_ < 0)
            return;
        // Geometry outside every node record: one node per uncovered run keeps it.
        std::vector<uint32_t> loose;
        auto runs = [](const std::vector<bool>& covered) {
            std::vector<std::pair<uint32_t, uint32_t>> out;
            for (uint32_t i = 0; i < covered.size();) {
                if (covered[i]) {
                    ++i;
                    continue;
                }
                uint32_t j = i;
                while (j < covered.size() && !covered[j])
                    ++j;
                out.emplace_back(i, j - i);
                i = j;
            }
            return out;
        };
        const auto t = runs(triangles), p = runs(points), l = runs(lines);
        const size_t n = std::max({t.size(), p.size(), l.size()});
        for (size_t i = 0; i < n; ++i) {
            const auto pick = [&](const auto& v) { return i < v.size() ? v[i] : std::pair<uint32_t, uint32_t>{0, 0}; };
            const std::string name = s_.nodes.empty() ? "model" : "unassigned geometry";
            const int node = addNode(n == 1 ? name : name + " " + std::to_string(i + 1));
            model_.nodes[size_t(node)].mesh =
                addMesh(model_.nodes[size_t(node)].name, pick(t).first, pick(t).second, pick(p).first,
                        pick(p).second, pick(l).first, pick(l).second);
            model_.nodes[size_t(root)].children.push_back(node);
        }
    }

    static std::vector<double> quaternionOf(Vec3 x, Vec3 y, Vec3 z)
    {
        // Columns x, y, z of an orthonormal rotation.
        const double trace = x[0] + y[1] + z[2];
        double q[4];
        if (trace > 0) {
            const double s = std::sqrt(trace + 1.0) * 2;
            q[3] = 0.25 * s;
            q[0] = (y[2] - z[1]) / s;
            q[1] = (z[0] - x[2]) / s;
            q[2] = (x[1] - y[0]) / s;
        } else if (x[0] > y[1] && x[0] > z[2]) {
            const double s = std::sqrt(1.0 + x[0] - y[1] - z[2]) * 2;
            q[3] = (y[2] - z[1]) / s;
            q[0] = 0.25 * s;
            q[1] = (y[0] + x[1]) / s;
            q[2] = (z[0] + x[2]) / s;
        } else if (y[1] > z[2]) {
            const double s = std::sqrt(1.0 + y[1] - x[0] - z[2]) * 2;
            q[3] = (z[0] - x[2]) / s;
            q[0] = (y[0] + x[1]) / s;
            q[1] = 0.25 * s;
            q[2] = (z[1] + y[2]) / s;
        } else {
            const double s = std::sqrt(1.0 + z[2] - x[0] - y[1]) * 2;
            q[3] = (x[1] - y[0]) / s;
            q[0] = (z[0] + x[2]) / s;
            q[1] = (z[1] + y[2]) / s;
            q[2] = 0.25 * s;
        }
        const double l = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
        return {q[0] / l, q[1] / l, q[2] / l, q[3] / l};
    }

    // Orientation that makes local -Z look along dir with local +Y towards up.
    static std::vector<double> lookRotation(Vec3 dir, Vec3 up)
    {
        const Vec3 z = normalised(dir * -1.0, {0, 0, 1});
        Vec3 x = normalised(cross(up, z), {1, 0, 0});
        if (std::abs(dot(x, z)) > 1e-6)
            x = normalised(cross(std::abs(z[1]) < 0.9 ? Vec3{0, 1, 0} : Vec3{1, 0, 0}, z), {1, 0, 0});
        const Vec3 y = cross(z, x);
        return quaternionOf(x, y, z);
    }

    void addCameras(int root)
    {
        const Bounds b = usedBounds(s_);
        for (const ViewRecord& v : s_.views) {
            Vec3 dir, up;
            if (!viewAxes(v.rotation, dir, up))
                continue;
            gl::Camera camera;
            camera.type = "perspective";
            camera.name = v.name;
            const double fov = std::isfinite(v.fieldOfView) && v.fieldOfView > 0.01 && v.fieldOfView < 3.0
                                   ? double(v.fieldOfView) : kDefaultFieldOfView;
            camera.perspective.yfov = fov;
            camera.perspective.znear = b.radius() * 0.01;
            camera.perspective.zfar = b.radius() * 100;
            model_.cameras.push_back(camera);
            // Views carry no position: stand back far enough to see the whole model.
            const double distance = b.radius() / std::sin(fov / 2);
            const Vec3 eye = b.centre() - dir * distance;
            const int node = addNode(v.name);
            model_.nodes[size_t(node)].camera = int(model_.cameras.size() - 1);
            model_.nodes[size_t(node)].translation = {eye[0], eye[1], eye[2]};
            model_.nodes[size_t(node)].rotation = lookRotation(dir, up);
            model_.nodes[size_t(root)].children.push_back(node);
        }
    }

    void addLights(int root)
    {
        static const char* const kType[] = {nullptr, "directional", "point", "spot"};
        for (size_t i = 0; i < s_.lights.size(); ++i) {
            const LightRecord& r = s_.lights[i];
            if (r.type == 0 || r.type > 3)
                continue; // glTF has no ambient light
            gl::Light light;
            light.type = kType[r.type];
            light.name = "light " + std::to_string(i);
            for (float c : r.colour)
                light.color.push_back(std::isfinite(c) ? std::clamp(double(c), 0.0, 1.0) : 1.0);
            light.intensity = std::isfinite(r.intensity) ? std::max(0.0, double(r.intensity)) : 1.0;
            if (r.type == 3) {
                const double half = std::isfinite(r.spotHalfAngle) ? std::clamp(double(r.spotHalfAngle), 0.01, 1.5707) : 0.785;
                light.spot.outerConeAngle = half;
                light.spot.innerConeAngle = 0;
            }
            model_.lights.push_back(light);
            const int node = addNode(light.name);
            gl::Node& n = model_.nodes[size_t(node)];
            if (r.type != 1) {
                const bool finite = std::isfinite(r.position[0]) && std::isfinite(r.position[1]) && std::isfinite(r.position[2]);
                if (finite)
                    n.translation = {r.position[0], r.position[1], r.position[2]};
            }
            const Vec3 dir = normalised({r.direction[0], r.direction[1], r.direction[2]}, {0, 0, -1});
            n.rotation = lookRotation(dir, std::abs(dir[2]) < 0.9 ? Vec3{0, 0, 1} : Vec3{0, 1, 0});
            gl::Value::Object ext;
            ext["light"] = gl::Value(int(model_.lights.size() - 1));
            n.extensions["KHR_lights_punctual"] = gl::Value(ext);
            model_.nodes[size_t(root)].children.push_back(node);
        }
    }
};

} // namespace

bool writeGlb(const ParsedResultStream& stream, const std::string& path, std::string& error)
{
    gl::Model model = GlbBuilder(stream).build();
    if (!model.lights.empty())
        model.extensionsUsed.push_back("KHR_lights_punctual");
    gl::TinyGLTF writer;
    if (!writer.WriteGltfSceneToFile(&model, path, true, true, false, true)) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}
