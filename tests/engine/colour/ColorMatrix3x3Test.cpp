#include "engine/colour/ColorMatrix3x3.h"

#include <gtest/gtest.h>

TEST(ColorMatrix3x3Test, FixedPointRoundsByAddingAHalfAndTruncatingTowardZero)
{
    ColorMatrix3x3Fixed fixed;
    fixed.iFractionBits = 12;
    fixed.Set({{1.0, -0.5, 0.2, 0, 0, 0, 0, 0, -1e30}});
    EXPECT_EQ(fixed.m[0], 4096);
    EXPECT_EQ(fixed.m[1], -2047);
    EXPECT_EQ(fixed.m[2], 819);
    EXPECT_EQ(fixed.m[8], INT32_MIN); // saturates instead of overflowing
}

TEST(ColorMatrix3x3Test, FixedApplyRoundsWithAnArithmeticShift)
{
    ColorMatrix3x3Fixed fixed;
    fixed.iFractionBits = 12;
    fixed.Set({{1.0, 0, 0, 0, 0.5, 0, 0.25, 0.25, 0.5}});
    FIntTriple out(0, 0, 0);
    ColorMatrix3x3Fixed::Apply(out, fixed, FIntTriple(4096, -3, 32767));
    EXPECT_EQ(out.r, 4096);
    EXPECT_EQ(out.g, -1); // (-3 * 2048 + 2048) >> 12 = -4096 >> 12
    EXPECT_EQ(out.b, (1024 * 4096 + 1024 * -3 + 2048 * 32767 + 2048) >> 12);
}

// A camera matrix far outside its range saturates its elements; the products
// then leave the int range and must saturate too, not wrap to the other sign.
TEST(ColorMatrix3x3Test, FixedApplySaturatesResultsBeyondTheIntRange)
{
    ColorMatrix3x3Fixed fixed;
    fixed.iFractionBits = 12;
    fixed.Set({{1e6, 0, 0, 0, 1e6, 0, 1e30, 1e30, 1e30}});
    FIntTriple out(0, 0, 0);
    ColorMatrix3x3Fixed::Apply(out, fixed, FIntTriple(20000, -20000, 0));
    EXPECT_EQ(out.r, INT32_MAX);
    EXPECT_EQ(out.g, INT32_MIN);
    // Three products near 2^62 each: their sum is beyond 64 bits as well.
    ColorMatrix3x3Fixed::Apply(out, fixed, FIntTriple(INT32_MAX, INT32_MAX, INT32_MAX));
    EXPECT_EQ(out.b, INT32_MAX);
}

TEST(ColorMatrix3x3Test, ArithmeticOnAGeneralMatrix)
{
    const ColorMatrix3x3 a{{1, 2, 3, 4, 5, 6, 7, 8, 10}};
    const ColorMatrix3x3 b{{2, 0, 1, 1, 3, 0, 0, 1, 4}};
    ColorMatrix3x3 out;
    ColorMatrixMultiply(out, a, ColorMatrix3x3::Identity());
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(out.m[i], a.m[i]);
    ColorMatrixMultiply(out, a, b);
    const double product[9] = {4, 9, 13, 13, 21, 28, 22, 34, 47};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(out.m[i], product[i]) << i;
    ColorMatrixSubtract(out, a, b);
    EXPECT_EQ(out.m[0], -1);
    EXPECT_EQ(out.m[8], 6);
    ColorMatrixScale(out, a, 0.5);
    EXPECT_EQ(out.m[8], 5);

    FDoubleTriple v(1, -1, 2);
    ColorMatrixApply(v, a, v); // in place
    EXPECT_EQ(v.r, 5);
    EXPECT_EQ(v.g, 11);
    EXPECT_EQ(v.b, 19);
}
