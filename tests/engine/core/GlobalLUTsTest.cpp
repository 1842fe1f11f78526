#include "engine/core/GlobalLUTs.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(GlobalLUTsTest, CubeRootTableSpotValues)
{
    const FLUT16& table = GetCubeRootLUT();
    ASSERT_EQ(table.m_iSize, 65536u);
    struct { int32_t index; int16_t value; } cases[] = {
        {0, 819}, {4096, 4107}, {61439, 10103}, {61440, 0}, {65535, 811}, {-1, 811},
    };
    for (auto c : cases)
        EXPECT_EQ(table[c.index], c.value) << c.index;
    EXPECT_EQ(&GetCubeRootLUT(), &table);
}

TEST(GlobalLUTsTest, CubeRootTableIsMonotonicAcrossZero)
{
    const FLUT16& table = GetCubeRootLUT();
    for (int32_t v = -4096; v < 61439; ++v)
        ASSERT_LE(table[v], table[v + 1]) << v;
}

TEST(GlobalLUTsTest, InverseCubeRootTableSpotValues)
{
    const FLUT16& table = GetInverseCubeRootLUT();
    struct { int32_t index; int16_t value; } cases[] = {
        {0, -98}, {818, 0}, {819, 0}, {8192, 32735}, {8195, 32767}, {61439, 32767}, {61440, 0}, {65535, 0},
    };
    for (auto c : cases)
        EXPECT_EQ(table[c.index], c.value) << c.index;
}

TEST(GlobalLUTsTest, InverseUndoesTheCubeRootOverTheWorkingRange)
{
    const FLUT16& forward = GetCubeRootLUT();
    const FLUT16& inverse = GetInverseCubeRootLUT();
    for (int32_t v = 0; v <= 32767; v += 97) {
        // One code of the cube root spans up to about 3 x 8^(2/3) = 12 linear codes at the top.
        EXPECT_NEAR(inverse[forward[v]], v, 12) << v;
    }
}

TEST(GlobalLUTsTest, ChromaWeightTableIsASoftOddLimiter)
{
    const FLUT16RGB& table = GetChromaWeightLUT(FDoubleTriple(1200), FDoubleTriple(12));
    ASSERT_EQ(table.m_iSize, 4096u);
    EXPECT_EQ(table.Red(0), 0);
    EXPECT_EQ(table.Red(1), 12);
    EXPECT_EQ(table.Green(10), 120);
    EXPECT_EQ(table.Blue(-10), -120);
    int16_t peak = 0;
    for (int k = 0; k < 2048; ++k) {
        EXPECT_EQ(table.Red(-k), -table.Red(k)) << k;
        peak = std::max(peak, table.Red(k));
    }
    EXPECT_GT(peak, 1000); // tanh saturates where the window has begun to fall
    EXPECT_LE(peak, 1200);
    EXPECT_EQ(table.Red(2047), 0); // faded out by the window
    EXPECT_EQ(table.Red(2048), table.Red(2049));
}

TEST(GlobalLUTsTest, ChromaWeightTablesAreCachedByTheirExactParameters)
{
    const FLUT16RGB& first = GetChromaWeightLUT({100, 200, 300}, {0.8, 0.8, 0.8});
    EXPECT_EQ(&GetChromaWeightLUT({100, 200, 300}, {0.8, 0.8, 0.8}), &first);
    EXPECT_NE(&GetChromaWeightLUT({100, 200, std::nextafter(300.0, 400.0)}, {0.8, 0.8, 0.8}), &first);
    // A NaN parameter equals nothing: without care every call would add a table.
    const FLUT16RGB& unusable = GetChromaWeightLUT({100, NAN, 300}, {0.8, 0.8, NAN});
    EXPECT_EQ(&GetChromaWeightLUT({100, NAN, 300}, {0.8, 0.8, NAN}), &unusable);
}

TEST(GlobalLUTsTest, UnusableStrengthsGiveZeroChannelsNeverNaN)
{
    const FLUT16RGB& none = GetChromaWeightLUT(FDoubleTriple(0), FDoubleTriple(0.8));
    const FLUT16RGB& mixed = GetChromaWeightLUT({-5, 50, NAN}, {0.8, 0, 0.8});
    for (int k = -300; k <= 300; ++k) {
        EXPECT_EQ(none.Red(k), 0);
        EXPECT_EQ(none.Blue(k), 0);
        EXPECT_EQ(mixed.Red(k), 0);
        EXPECT_EQ(mixed.Green(k), 0);
        EXPECT_EQ(mixed.Blue(k), 0);
    }
}
