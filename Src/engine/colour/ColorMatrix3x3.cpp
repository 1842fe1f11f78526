#include "engine/colour/ColorMatrix3x3.h"

#include <algorithm>
#include <cmath>

void ColorMatrix3x3Fixed::Set(const ColorMatrix3x3& matrix)
{
    const double one = std::ldexp(1.0, iFractionBits);
    for (int i = 0; i < 9; ++i)
        m[i] = TruncateToInt(matrix.m[i] * one + 0.5);
}

FIntTriple& ColorMatrix3x3Fixed::Apply(FIntTriple& out, const ColorMatrix3x3Fixed& matrix, const FIntTriple& in)
{
    // 128-bit sums: three products of two ints each reach 2^62, their sum more
    // than 64 bits hold. A result beyond the int range saturates, so that a
    // matrix far outside its range cannot turn a bright pixel dark.
    const int shift = std::clamp(matrix.iFractionBits, 0, 62);
    const __int128 half = shift > 0 ? __int128{1} << (shift - 1) : 0;
    const __int128 c[3] = {in.r, in.g, in.b};
    int results[3];
    for (int row = 0; row < 3; ++row) {
        const int32_t* e = matrix.m + 3 * row;
        const __int128 sum = (e[0] * c[0] + e[1] * c[1] + e[2] * c[2] + half) >> shift;
        results[row] = static_cast<int>(std::clamp<__int128>(sum, INT32_MIN, INT32_MAX));
    }
    out = FIntTriple(results[0], results[1], results[2]);
    return out;
}

ColorMatrix3x3& ColorMatrixMultiply(ColorMatrix3x3& out, const ColorMatrix3x3& a, const ColorMatrix3x3& b)
{
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            out(r, c) = a(r, 0) * b(0, c) + a(r, 1) * b(1, c) + a(r, 2) * b(2, c);
    return out;
}

ColorMatrix3x3& ColorMatrixScale(ColorMatrix3x3& out, const ColorMatrix3x3& matrix, double k)
{
    for (int i = 0; i < 9; ++i)
        out.m[i] = k * matrix.m[i];
    return out;
}

ColorMatrix3x3& ColorMatrixSubtract(ColorMatrix3x3& out, const ColorMatrix3x3& a, const ColorMatrix3x3& b)
{
    for (int i = 0; i < 9; ++i)
        out.m[i] = a.m[i] - b.m[i];
    return out;
}

FDoubleTriple& ColorMatrixApply(FDoubleTriple& out, const ColorMatrix3x3& matrix, const FDoubleTriple& v)
{
    const FDoubleTriple in = v; // out may be v
    out.r = matrix(0, 0) * in.r + matrix(0, 1) * in.g + matrix(0, 2) * in.b;
    out.g = matrix(1, 0) * in.r + matrix(1, 1) * in.g + matrix(1, 2) * in.b;
    out.b = matrix(2, 0) * in.r + matrix(2, 1) * in.g + matrix(2, 2) * in.b;
    return out;
}
