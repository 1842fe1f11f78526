#pragma once
// 3 x 3 colour matrices in double precision (camera to XYZ, white balance,
// saturation) and their fixed-point form for the pixel loops.
#include "foundation/FValueTypes.h"

#include <cstdint>

// Row-major: element [r][c] at m[3r + c]; the rows give the output components.
struct ColorMatrix3x3 {
    double m[9] = {};

    double& operator()(int row, int column) { return m[3 * row + column]; }
    double operator()(int row, int column) const { return m[3 * row + column]; }

    static ColorMatrix3x3 Identity() { return {{1, 0, 0, 0, 1, 0, 0, 0, 1}}; }
    static ColorMatrix3x3 Diagonal(double d0, double d1, double d2) { return {{d0, 0, 0, 0, d1, 0, 0, 0, d2}}; }
};

// Fixed point with iFractionBits fraction bits (12 gives 4096 for 1.0).
struct ColorMatrix3x3Fixed {
    int32_t m[9] = {};
    int32_t iFractionBits = 0;

    // element = trunc(M[r][c] * 2^F + 0.5), truncated toward zero also for
    // negative elements; values beyond the int range saturate.
    void Set(const ColorMatrix3x3& matrix);
    // out[r] = (row r . in + 2^(F-1)) >> F with an arithmetic shift, summed
    // without overflow and saturated to the int range (F limited to 0..62).
    static FIntTriple& Apply(FIntTriple& out, const ColorMatrix3x3Fixed& matrix, const FIntTriple& in);
};

// out = A B. out must not alias A or B.
ColorMatrix3x3& ColorMatrixMultiply(ColorMatrix3x3& out, const ColorMatrix3x3& a, const ColorMatrix3x3& b);
// out = k M.
ColorMatrix3x3& ColorMatrixScale(ColorMatrix3x3& out, const ColorMatrix3x3& matrix, double k);
// out = A - B.
ColorMatrix3x3& ColorMatrixSubtract(ColorMatrix3x3& out, const ColorMatrix3x3& a, const ColorMatrix3x3& b);
// out = M v.
FDoubleTriple& ColorMatrixApply(FDoubleTriple& out, const ColorMatrix3x3& matrix, const FDoubleTriple& v);
