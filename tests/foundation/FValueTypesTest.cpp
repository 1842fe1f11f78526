#include "foundation/FValueTypes.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace {

TEST(FDoubleRect, IntersectContainsTruncateAndZeroSize)
{
    FDoubleRect r(0.0, 0.0, 10.0, 10.0);
    EXPECT_TRUE(r.Contains(10.0, 10.0));
    EXPECT_TRUE(r.Contains(FDoublePoint(0.0, 0.0)));
    EXPECT_FALSE(r.Contains(10.0001, 5.0));

    r.IntersectWith(FDoubleRect(20.0, 20.0, 30.0, 30.0));
    EXPECT_EQ(r.left, 20.0);
    EXPECT_EQ(r.top, 20.0);
    EXPECT_EQ(r.right, 10.0);
    EXPECT_EQ(r.bottom, 10.0);
    EXPECT_EQ(r.Width(), -10.0);

    const FIntRect c = FDoubleRect(-0.5, 1.9, 2.5, -3.7).ToCRect();
    EXPECT_EQ(c.left, 0);
    EXPECT_EQ(c.top, 1);
    EXPECT_EQ(c.right, 2);
    EXPECT_EQ(c.bottom, -3);

    // Values outside the int range saturate instead of converting undefined.
    const FIntRect huge = FDoubleRect(-1e300, 1e300, std::nan(""), 0.0).ToCRect();
    EXPECT_EQ(huge.left, INT_MIN);
    EXPECT_EQ(huge.top, INT_MAX);
    EXPECT_EQ(huge.right, 0);

    EXPECT_TRUE(FDoubleRect(5.0, 5.0, 5.0, 5.0).IsZeroSize());
    EXPECT_FALSE(FDoubleRect(0.0, 0.0, 0.0, 1e-9).IsZeroSize());

    FDoubleRect scaled(1, 2, 3, 4); // integer coordinates convert
    scaled *= 2.0;
    scaled.Offset(1.0, -1.0);
    EXPECT_EQ(scaled.left, 3.0);
    EXPECT_EQ(scaled.bottom, 7.0);
}

TEST(FIntRect, SizeEmptinessAndIntersection)
{
    const FIntRect r(0, 0, 10, 10);
    EXPECT_EQ(r.Width(), 10);
    EXPECT_EQ(r.Height(), 10);
    // Sides as far apart as the int range allows: the size is not wrapped.
    EXPECT_EQ(FIntRect(INT_MIN, INT_MIN, INT_MAX, INT_MAX).Width(), int64_t{UINT32_MAX});
    EXPECT_EQ(FIntRect(5, 5, 2, 9).Width(), -3);

    struct Case {
        FIntRect other;
        bool intersects;
    };
    const Case cases[] = {
        {FIntRect(9, 9, 20, 20), true},     // shares the corner pixel
        {FIntRect(10, 0, 20, 10), false},   // right is exclusive: touching is not overlapping
        {FIntRect(0, 10, 10, 20), false},   // bottom likewise
        {FIntRect(2, 2, 2, 8), false},      // empty, though inside
        {FIntRect(8, 8, 3, 3), false},      // sides the wrong way round
        {FIntRect(-5, -5, 1, 1), true},
        {FIntRect(INT_MIN, INT_MIN, INT_MAX, INT_MAX), true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(r.Intersects(c.other), c.intersects) << c.other.left << "," << c.other.top;
        EXPECT_EQ(c.other.Intersects(r), c.intersects) << c.other.left << "," << c.other.top;
    }
    EXPECT_TRUE(FIntRect().IsEmpty());
    EXPECT_FALSE(FIntRect().Intersects(FIntRect()));
}

TEST(FIntTriple, ShiftDivideTruncateAndRound)
{
    FIntTriple shifted(-7, 7, 8);
    shifted >>= 33; // the count is taken modulo 32
    EXPECT_EQ(shifted.r, -4);
    EXPECT_EQ(shifted.g, 3);
    EXPECT_EQ(shifted.b, 4);

    const FIntTriple divided = FIntTriple(-7, 7, 8) / 2;
    EXPECT_EQ(divided.r, -3);
    EXPECT_EQ(divided.g, 3);
    EXPECT_EQ(divided.b, 4);

    const FIntTriple truncated(FDoubleTriple(-1.9, 1.9, 0.5));
    EXPECT_EQ(truncated.r, -1);
    EXPECT_EQ(truncated.g, 1);
    EXPECT_EQ(truncated.b, 0);

    FIntTriple levels(4095, 1000, -3);
    levels.ScaleRounded(1.5);
    EXPECT_EQ(levels.r, 6143);
    EXPECT_EQ(levels.g, 1500);
    EXPECT_EQ(levels.b, -4); // (int)(-4.5 + 0.5) truncates toward zero

    const FDoubleTriple back(FIntTriple(1, -2, 3));
    EXPECT_EQ(back.g, -2.0);
    EXPECT_EQ((FDoubleTriple(1.0, 2.0, 4.0) / FDoubleTriple(2.0)).b, 2.0);
}

TEST(FLUT16, IndexIsMaskedIntoTheTable)
{
    FLUT16 lut(4096);
    for (int i = 0; i < 4096; ++i)
        lut[i] = static_cast<int16_t>(i);
    EXPECT_EQ(lut.m_iMask, 4095u);
    EXPECT_EQ(static_cast<const FLUT16&>(lut)[4097], 1);
    EXPECT_EQ(static_cast<const FLUT16&>(lut)[-1], 4095); // a negative signed value wraps through the mask

    int16_t red[4] = {1, 2, 3, 4}, green[4] = {5, 6, 7, 8}, blue[4] = {9, 10, 11, 12};
    const FLUT16RGB rgb(red, green, blue, 4);
    EXPECT_EQ(rgb.Red(5), 2);
    EXPECT_EQ(rgb.Green(6), 7);
    EXPECT_EQ(rgb.Blue(7), 12);

    FLUT16 moved(std::move(lut)); // ownership moves with the table
    EXPECT_EQ(moved[3], 3);
    EXPECT_EQ(lut.m_pTable, nullptr);
}

} // namespace
