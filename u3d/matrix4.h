// 4 × 4 float matrices in the library's column-major order (element k is row k % 4,
// column k / 4; translation in 12, 13, 14), applied to column vectors.
#pragma once

#include "u3dlib/ifx_interface.h"

inline IFXMatrix4x4 identityMatrix()
{
    return IFXMatrix4x4{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
}

// a × b: b is applied first.
inline IFXMatrix4x4 multiplyMatrices(const IFXMatrix4x4& a, const IFXMatrix4x4& b)
{
    IFXMatrix4x4 c{};
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            float sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += a.m[k * 4 + row] * b.m[column * 4 + k];
            c.m[column * 4 + row] = sum;
        }
    return c;
}

// m · (p, 1), affine: no division.
inline void transformPoint(const IFXMatrix4x4& m, float x, float y, float z, float out[3])
{
    out[0] = m.m[0] * x + m.m[4] * y + m.m[8] * z + m.m[12];
    out[1] = m.m[1] * x + m.m[5] * y + m.m[9] * z + m.m[13];
    out[2] = m.m[2] * x + m.m[6] * y + m.m[10] * z + m.m[14];
}
