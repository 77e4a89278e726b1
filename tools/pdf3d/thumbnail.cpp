#include "tools/pdf3d/thumbnail.h"

#include "tools/pdf3d/png_file.h"
#include "tools/pdf3d/scene_math.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

// Rendered at twice the size and averaged down, for smooth edges.
constexpr uint32_t kSupersample = 2;
constexpr double kMargin = 0.92;  // share of the picture the model may fill
constexpr double kAmbient = 0.3;
constexpr uint8_t kBackground[3] = {246, 246, 246};
// Three-quarter view: from the front right, above (CAD data has +Z up).
constexpr Vec3 kThreeQuarterLook{-1.0, 1.0, -0.75};

struct Camera {
    Vec3 right, up, forward, centre;
    double scale = 1; // model units to pixels
    double half = 0;
};

struct Frame {
    uint32_t size;
    std::vector<float> depth;
    std::vector<uint8_t> rgb;

    explicit Frame(uint32_t s)
        : size(s), depth(size_t{s} * s, std::numeric_limits<float>::infinity()), rgb(size_t{s} * s * 3)
    {
        for (size_t i = 0; i < rgb.size(); ++i)
            rgb[i] = kBackground[i % 3];
    }

    void plot(int x, int y, float z, const double (&colour)[3])
    {
        if (x < 0 || y < 0 || x >= int(size) || y >= int(size))
            return;
        const size_t i = size_t(y) * size + size_t(x);
        if (!(z < depth[i]))
            return;
        depth[i] = z;
        for (int k = 0; k < 3; ++k)
            rgb[i * 3 + size_t(k)] = uint8_t(std::clamp(colour[k], 0.0, 255.0));
    }
};

Camera makeCamera(const ParsedResultStream& s, uint32_t size)
{
    Camera c;
    Vec3 look, up;
    if (!defaultViewAxes(s, look, up)) {
        look = normalised(kThreeQuarterLook, {0, 1, 0});
        up = {0, 0, 1};
    }
    c.forward = look;
    c.right = normalised(cross(look, up), {1, 0, 0});
    c.up = cross(c.right, c.forward);
    const Bounds b = usedBounds(s);
    c.centre = b.centre();
    // Fit the projected extent of the box corners, not just its sphere.
    double extent = 1e-9;
    for (int corner = 0; corner < 8; ++corner) {
        const Vec3 p{corner & 1 ? b.max[0] : b.min[0], corner & 2 ? b.max[1] : b.min[1],
                     corner & 4 ? b.max[2] : b.min[2]};
        const Vec3 d = p - c.centre;
        extent = std::max({extent, std::abs(dot(d, c.right)), std::abs(dot(d, c.up))});
    }
    c.half = size / 2.0;
    c.scale = c.half * kMargin / extent;
    return c;
}

// Screen position (pixels, y down) and depth of a vertex.
Vec3 project(const Camera& c, const float* p)
{
    const Vec3 d = Vec3{p[0], p[1], p[2]} - c.centre;
    return {c.half + dot(d, c.right) * c.scale, c.half - dot(d, c.up) * c.scale, dot(d, c.forward)};
}

bool finite3(const float* p) { return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]); }

// The texture atlas as the stream carries it; coordinates start at the bottom row.
struct Texture {
    const uint8_t* rgba = nullptr;
    uint32_t width = 0, height = 0;

    void modulate(double u, double v, double (&colour)[3]) const
    {
        const double fu = u - std::floor(u), fv = v - std::floor(v); // repeat
        const uint32_t x = std::min(width - 1, uint32_t(fu * width));
        const uint32_t y = std::min(height - 1, uint32_t((1 - fv) * height));
        const uint8_t* p = rgba + (size_t{y} * width + x) * 4;
        for (int k = 0; k < 3; ++k)
            colour[k] *= p[k] / 255.0;
    }
};

void drawTriangle(Frame& f, const Vec3 (&v)[3], const double (&colour)[3][3], const Texture* texture = nullptr,
                  const double (*uv)[2] = nullptr)
{
    const double area = (v[1][0] - v[0][0]) * (v[2][1] - v[0][1]) - (v[2][0] - v[0][0]) * (v[1][1] - v[0][1]);
    if (std::abs(area) < 1e-12)
        return;
    const int x0 = std::max(0, int(std::floor(std::min({v[0][0], v[1][0], v[2][0]}))));
    const int x1 = std::min(int(f.size) - 1, int(std::ceil(std::max({v[0][0], v[1][0], v[2][0]}))));
    const int y0 = std::max(0, int(std::floor(std::min({v[0][1], v[1][1], v[2][1]}))));
    const int y1 = std::min(int(f.size) - 1, int(std::ceil(std::max({v[0][1], v[1][1], v[2][1]}))));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            double w[3];
            for (int k = 0; k < 3; ++k) {
                const Vec3& a = v[(k + 1) % 3];
                const Vec3& b = v[(k + 2) % 3];
                w[k] = ((b[0] - a[0]) * (py - a[1]) - (px - a[0]) * (b[1] - a[1])) / area;
            }
            if (w[0] < 0 || w[1] < 0 || w[2] < 0)
                continue;
            const double z = w[0] * v[0][2] + w[1] * v[1][2] + w[2] * v[2][2];
            double c[3];
            for (int k = 0; k < 3; ++k)
                c[k] = w[0] * colour[0][k] + w[1] * colour[1][k] + w[2] * colour[2][k];
            if (texture)
                texture->modulate(w[0] * uv[0][0] + w[1] * uv[1][0] + w[2] * uv[2][0],
                                  w[0] * uv[0][1] + w[1] * uv[1][1] + w[2] * uv[2][1], c);
            f.plot(x, y, float(z), c);
        }
}

void drawLine(Frame& f, Vec3 a, Vec3 b, const double (&colour)[3])
{
    const int steps = std::clamp(int(std::max(std::abs(b[0] - a[0]), std::abs(b[1] - a[1]))) + 1, 1, int(f.size) * 4);
    for (int i = 0; i <= steps; ++i) {
        const double t = double(i) / steps;
        const Vec3 p = a + (b - a) * t;
        // Slightly in front, so that lines lying on faces stay visible.
        for (int dy = 0; dy < int(kSupersample); ++dy)
            for (int dx = 0; dx < int(kSupersample); ++dx)
                f.plot(int(p[0]) + dx, int(p[1]) + dy, float(p[2]) - 1e-3f, colour);
    }
}

} // namespace

std::vector<uint8_t> renderThumbnail(const ParsedResultStream& s, uint32_t size)
{
    size = std::clamp<uint32_t>(size, 1, kMaxThumbnailSize);
    Frame f(size * kSupersample);
    const Camera cam = makeCamera(s, f.size);
    // A light over the viewer's left shoulder.
    const Vec3 light = normalised(cam.up * 0.6 - cam.right * 0.4 - cam.forward, {0, 0, 1});
    auto shade = [&](Vec3 normal, uint32_t vertex, double (&out)[3]) {
        const double lit = kAmbient + (1 - kAmbient) * std::abs(dot(normal, light)); // two-sided
        for (int k = 0; k < 3; ++k)
            out[k] = s.colours[size_t{vertex} * 3 + size_t(k)] * lit;
    };
    const bool useNormals = !s.normals.empty();
    Texture texture;
    if (!s.texturePixels.empty() && !s.textureCoordinates.empty())
        texture = {s.texturePixels.data(), s.u3dHeader.textureWidth, s.u3dHeader.textureHeight};
    for (size_t t = 0; t < s.triangleCount(); ++t) {
        const uint32_t* tri = &s.triangles[t * 3];
        const float* p[3] = {&s.vertices[size_t{tri[0]} * 3], &s.vertices[size_t{tri[1]} * 3],
                             &s.vertices[size_t{tri[2]} * 3]};
        if (!finite3(p[0]) || !finite3(p[1]) || !finite3(p[2]))
            continue;
        const Vec3 faceNormal = normalised(
            cross(Vec3{p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]},
                  Vec3{p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]}),
            {0, 0, 0});
        Vec3 v[3];
        double colour[3][3];
        for (int k = 0; k < 3; ++k) {
            v[k] = project(cam, p[k]);
            Vec3 n = faceNormal;
            if (useNormals) {
                const float* vn = &s.normals[size_t{tri[k]} * 3];
                n = normalised({vn[0], vn[1], vn[2]}, faceNormal);
            }
            shade(n, tri[k], colour[k]);
        }
        // Textured only when every corner has coordinates (others carry -1, -1).
        double uv[3][2];
        bool textured = texture.rgba != nullptr;
        for (int k = 0; k < 3 && textured; ++k) {
            uv[k][0] = s.textureCoordinates[size_t{tri[k]} * 2];
            uv[k][1] = s.textureCoordinates[size_t{tri[k]} * 2 + 1];
            textured = std::isfinite(uv[k][0]) && std::isfinite(uv[k][1]) && uv[k][0] >= 0 && uv[k][1] >= 0;
        }
        drawTriangle(f, v, colour, textured ? &texture : nullptr, uv);
    }
    for (size_t i = 0; i + 1 < s.lines.size(); i += 2) {
        const float* a = &s.vertices[size_t{s.lines[i]} * 3];
        const float* b = &s.vertices[size_t{s.lines[i + 1]} * 3];
        if (!finite3(a) || !finite3(b))
            continue;
        const double c[3] = {s.colours[size_t{s.lines[i]} * 3] * 0.8, s.colours[size_t{s.lines[i]} * 3 + 1] * 0.8,
                             s.colours[size_t{s.lines[i]} * 3 + 2] * 0.8};
        drawLine(f, project(cam, a), project(cam, b), c);
    }
    for (uint32_t point : s.points) {
        const float* a = &s.vertices[size_t{point} * 3];
        if (!finite3(a))
            continue;
        const double c[3] = {s.colours[size_t{point} * 3] * 0.8, s.colours[size_t{point} * 3 + 1] * 0.8,
                             s.colours[size_t{point} * 3 + 2] * 0.8};
        const Vec3 q = project(cam, a);
        drawLine(f, q, q, c);
    }
    // Average kSupersample x kSupersample blocks.
    std::vector<uint8_t> out(size_t{size} * size * 3);
    for (uint32_t y = 0; y < size; ++y)
        for (uint32_t x = 0; x < size; ++x)
            for (int k = 0; k < 3; ++k) {
                unsigned sum = 0;
                for (uint32_t dy = 0; dy < kSupersample; ++dy)
                    for (uint32_t dx = 0; dx < kSupersample; ++dx)
                        sum += f.rgb[((size_t{y} * kSupersample + dy) * f.size + x * kSupersample + dx) * 3 + size_t(k)];
                out[(size_t{y} * size + x) * 3 + size_t(k)] = uint8_t(sum / (kSupersample * kSupersample));
            }
    return out;
}

bool writeThumbnailPng(const ParsedResultStream& stream, uint32_t size, const std::string& path, std::string& error)
{
    size = std::clamp<uint32_t>(size, 1, kMaxThumbnailSize);
    const std::vector<uint8_t> png = encodePng(renderThumbnail(stream, size).data(), size, size, 3);
    FILE* file = png.empty() ? nullptr : std::fopen(path.c_str(), "wb");
    const bool ok = file && std::fwrite(png.data(), 1, png.size(), file) == png.size();
    if (file && std::fclose(file) != 0) {
        error = "cannot write " + path;
        return false;
    }
    if (!ok)
        error = png.empty() ? "cannot encode the picture" : "cannot write " + path;
    return ok;
}
