// readTransformation3d, declared with the product tree that uses it.
#include "prc/structure/entity_base.h"
#include "prc/structure/product_tree.h"

#include <stdexcept>

namespace {

constexpr uint32_t kTypeCartesianTransformation = 202;
constexpr uint32_t kTypeGeneralTransformation = 207;

Vector3d cross(const Vector3d& a, const Vector3d& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Matrix4d readGeneralTransformation(PRCBitReader& reader)
{
    Matrix4d m{};
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row)
            m[row * 4 + column] = reader.readDouble();
    return m;
}

// The axes are taken as stored, not normalised, so that a mirroring or skewed
// placement reaches the assembly unchanged.
Matrix4d readCartesianTransformation(PRCBitReader& reader)
{
    const uint32_t flags = reader.readBits(8);
    const Vector3d t = (flags & CartesianFlag::kTranslation) ? readVector3d(reader) : Vector3d{};
    Vector3d x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1};
    if (flags & CartesianFlag::kThreeAxes) {
        x = readVector3d(reader);
        y = readVector3d(reader);
        z = readVector3d(reader);
    } else if (flags & CartesianFlag::kTwoAxes) {
        x = readVector3d(reader);
        y = readVector3d(reader);
        z = cross(x, y);
    }
    Vector3d s = (flags & CartesianFlag::kScale) ? readVector3d(reader) : Vector3d{1, 1, 1};
    if (flags & CartesianFlag::kUniformScale) {
        const double uniform = reader.readDouble();
        s = {s.x * uniform, s.y * uniform, s.z * uniform};
    }
    if (flags & CartesianFlag::kHomogeneous)
        for (int i = 0; i < 4; ++i)
            reader.readDouble();
    return {x.x * s.x, y.x * s.y, z.x * s.z, t.x, //
            x.y * s.x, y.y * s.y, z.y * s.z, t.y, //
            x.z * s.x, y.z * s.y, z.z * s.z, t.z, //
            0, 0, 0, 1};
}

} // namespace

Matrix4d readTransformation3d(PRCBitReader& reader)
{
    const uint32_t type = reader.readUnsignedInteger();
    if (type == kTypeGeneralTransformation)
        return readGeneralTransformation(reader);
    if (type == kTypeCartesianTransformation)
        return readCartesianTransformation(reader);
    throw std::runtime_error("readTransformation3d: unknown transformation type");
}
