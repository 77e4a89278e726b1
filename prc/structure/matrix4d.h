// 4 x 4 matrices of doubles, row by row, acting on column vectors (translation in the
// fourth column). A child's matrix is parent x local.
#pragma once

#include <array>

using Matrix4d = std::array<double, 16>;

inline constexpr Matrix4d kIdentity4d = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// a x b; the result may be assigned to either operand.
inline Matrix4d multiply(const Matrix4d& a, const Matrix4d& b)
{
    Matrix4d r{};
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += a[row * 4 + k] * b[k * 4 + col];
            r[row * 4 + col] = sum;
        }
    return r;
}

// Determinant of the upper-left 3 x 3: negative for a mirroring transform.
inline double determinant3x3(const Matrix4d& m)
{
    return m[0] * (m[5] * m[10] - m[6] * m[9]) - m[1] * (m[4] * m[10] - m[6] * m[8]) +
           m[2] * (m[4] * m[9] - m[5] * m[8]);
}
