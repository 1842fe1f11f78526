#include "engine/colour/ColorSpaces.h"

#include "engine/core/RowBandLoop.h"
#include "support/TestPixmap.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using testsupport::TestPixmap;
using testsupport::ThrownMessage;

namespace {

ColorMatrix3x3 Space(int32_t id, int32_t white = kWhitePointD65)
{
    ColorMatrix3x3 m;
    return CreateColorSpaceWhitePoint(m, id, white);
}

ColorMatrix3x3 Product(const ColorMatrix3x3& a, const ColorMatrix3x3& b)
{
    ColorMatrix3x3 out;
    return ColorMatrixMultiply(out, a, b);
}

void ExpectNear(const ColorMatrix3x3& actual, const ColorMatrix3x3& expected, double tolerance)
{
    for (int i = 0; i < 9; ++i)
        EXPECT_NEAR(actual.m[i], expected.m[i], tolerance) << "element " << i;
}

FDoubleTriple Apply(const ColorMatrix3x3& m, const FDoubleTriple& v)
{
    FDoubleTriple out;
    return ColorMatrixApply(out, m, v);
}

ColorMatrix3x3Fixed FixedDiagonal(double d)
{
    ColorMatrix3x3Fixed fixed;
    fixed.iFractionBits = 12;
    fixed.Set(ColorMatrix3x3::Diagonal(d, d, d));
    return fixed;
}

// A 48S image whose every pixel is pixelAt(x, y).
TestPixmap<FPixelClass48SRGB> Image(int32_t w, int32_t h, const std::function<FPixelClass48SRGB(int, int)>& pixelAt)
{
    TestPixmap<FPixelClass48SRGB> image(w, h, 2);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            *image.Get()->GetPixel(x, y) = pixelAt(x, y);
    return image;
}

} // namespace

TEST(ColorSpacesTest, SRGBMapsTheD65WhiteToOne)
{
    const FDoubleTriple rgb = Apply(Space(kColorSpaceSRGB), {0.9505, 1.0, 1.089});
    EXPECT_NEAR(rgb.r, 1.0, 1e-3);
    EXPECT_NEAR(rgb.g, 1.0, 1e-3);
    EXPECT_NEAR(rgb.b, 1.0, 1e-3);
}

TEST(ColorSpacesTest, IdsAndWhitePoints)
{
    for (int32_t white : {kWhitePointD50, kWhitePointD65}) {
        ExpectNear(Space(kColorSpaceNone, white), ColorMatrix3x3::Identity(), 0);
        ExpectNear(Space(kColorSpaceSRGBPrimaries, white), Space(kColorSpaceSRGB, white), 0);
    }
    EXPECT_EQ(Space(kColorSpaceProPhoto, kWhitePointD50)(2, 2), 1.212);
    EXPECT_EQ(Space(kColorSpaceWideGamut, kWhitePointD65)(0, 0), 1.5294);
    EXPECT_EQ(Space(kColorSpacePrimaries6, kWhitePointD65)(2, 0), -0.0112);
}

TEST(ColorSpacesTest, UnknownIdsAndWhitePointsAreRefused)
{
    struct Case {
        int32_t id, white;
        const char* message;
    } cases[] = {
        {kColorSpaceNone, 2, "CreateColorSpaceWhitePoint(): Unknown PCS white point"},
        {12, -1, "CreateColorSpaceWhitePoint(): Unknown PCS white point"},
        {12, kWhitePointD50, "CreateColorSpaceWhitePoint(): Unknown Color Space"},
        {12, kWhitePointD65, "CreateColorSpaceWhitePoint(): Unknown color space"},
        {-1, kWhitePointD65, "CreateColorSpaceWhitePoint(): Unknown color space"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ThrownMessage([&] { Space(c.id, c.white); }), c.message) << c.id << ", " << c.white;
}

TEST(ColorSpacesTest, InverseTimesMatrixIsTheIdentity)
{
    for (int32_t id = kColorSpaceNone; id <= kColorSpaceProPhoto; ++id)
        for (int32_t white : {kWhitePointD50, kWhitePointD65}) {
            const ColorMatrix3x3 m = Space(id, white);
            ColorMatrix3x3 inverse;
            ColorMatrixInverse(inverse, m);
            ExpectNear(Product(inverse, m), ColorMatrix3x3::Identity(), 1e-12);
            ExpectNear(Product(m, inverse), ColorMatrix3x3::Identity(), 1e-12);
        }
    ColorMatrix3x3 m{{1, 2, 3, 4, 5, 6, 7, 8, 10}};
    EXPECT_DOUBLE_EQ(ColorMatrixDeterminant(m), -3);
    ColorMatrixInverse(m, m); // in place
    ExpectNear(m, {{-2.0 / 3, -4.0 / 3, 1, -2.0 / 3, 11.0 / 3, -2, 1, -2, 1}}, 1e-12);
}

TEST(ColorSpacesTest, ASingularMatrixInvertsToTheIdentity)
{
    const ColorMatrix3x3 singular[] = {
        {{1, 2, 3, 2, 4, 6, 0, 1, 1}},          // two rows dependent
        {},                                     // all zero
        {{NAN, 0, 0, 0, 1, 0, 0, 0, 1}},        // not a number
        {{1e300, 0, 0, 0, 1e300, 0, 0, 0, 1e300}}, // determinant overflows
    };
    for (const ColorMatrix3x3& m : singular) {
        EXPECT_FALSE(ColorMatrixIsInvertible(m));
        ColorMatrix3x3 inverse;
        ExpectNear(ColorMatrixInverse(inverse, m), ColorMatrix3x3::Identity(), 0);
    }
    EXPECT_TRUE(ColorMatrixIsInvertible(Space(kColorSpaceProPhoto)));
}

TEST(ColorSpacesTest, WorkingSpaceMatrixWithoutBalancingIsTheProPhotoProduct)
{
    const ColorMatrix3x3 camera{{0.6, 0.3, 0.1, 0.25, 0.7, 0.05, 0.02, 0.1, 0.9}};
    ColorMatrix3x3 out;
    BuildWorkingSpaceMatrix(out, camera, {-1, -1, -1}, 1, 0);
    ExpectNear(out, Product(Space(kColorSpaceProPhoto), camera), 1e-15);

    // Scale and saturation offset: a (S P), S with 1 - 2b on the diagonal.
    BuildWorkingSpaceMatrix(out, camera, {-1, -1, -1}, 2, 0.1);
    const ColorMatrix3x3 s{{0.8, 0.1, 0.1, 0.1, 0.8, 0.1, 0.1, 0.1, 0.8}};
    ColorMatrix3x3 expected;
    ExpectNear(out, ColorMatrixScale(expected, Product(s, Product(Space(kColorSpaceProPhoto), camera)), 2), 1e-14);
}

TEST(ColorSpacesTest, WorkingSpaceMatrixMapsTheCameraWhiteToANeutral)
{
    const ColorMatrix3x3 camera{{0.6, 0.3, 0.1, 0.25, 0.7, 0.05, 0.02, 0.1, 0.9}};
    const FDoubleTriple white(0.8, 1.0, 0.6);
    ColorMatrix3x3 out;
    BuildWorkingSpaceMatrix(out, camera, white, 1.5, -1.0 / 30);
    const FDoubleTriple neutral = Apply(out, white);
    EXPECT_NEAR(neutral.r, neutral.g, 1e-12);
    EXPECT_NEAR(neutral.b, neutral.g, 1e-12);
    // The neutral keeps the weighted sum of the unbalanced white, times a.
    const FDoubleTriple unbalanced = Apply(Product(Space(kColorSpaceProPhoto), camera), white);
    EXPECT_NEAR(neutral.g, 1.5 * (0.30 * unbalanced.r + 0.55 * unbalanced.g + 0.15 * unbalanced.b), 1e-12);
}

TEST(ColorSpacesTest, WorkingSpaceBalancingRaisesAWeakChannelToAQuarterOfTheWeightedSum)
{
    // The camera matrix undoes X11, so P starts as the identity and P white = white.
    ColorMatrix3x3 camera;
    ColorMatrixInverse(camera, Space(kColorSpaceProPhoto));
    ColorMatrix3x3 out;
    BuildWorkingSpaceMatrix(out, camera, {1.0, 1.0, 0.1}, 1, 0);
    const double quarter = (0.30 + 0.55 + 0.15 * 0.1) / 4;
    const double y = 0.30 + 0.55 + 0.15 * quarter;
    ExpectNear(out, ColorMatrix3x3::Diagonal(y, y, y / quarter), 1e-12);
}

TEST(ColorSpacesTest, WorkingSpaceMatrixSkipsBalancingThatCouldOnlyGiveInfinities)
{
    const ColorMatrix3x3 camera{{0.6, 0.3, 0.1, 0.25, 0.7, 0.05, 0.02, 0.1, 0.9}};
    ColorMatrix3x3 out;
    BuildWorkingSpaceMatrix(out, camera, {0, 0, 0}, 1, 0);
    ExpectNear(out, Product(Space(kColorSpaceProPhoto), camera), 1e-15);
    BuildWorkingSpaceMatrix(out, ColorMatrix3x3{}, {1, 1, 1}, 1, 0); // a singular camera matrix
    ExpectNear(out, ColorMatrix3x3{}, 0);
}

TEST(ColorSpacesTest, OutputSpaceMatrix)
{
    ColorMatrix3x3 out;
    ExpectNear(BuildOutputSpaceMatrix(out, kColorSpaceProPhoto, 0), ColorMatrix3x3::Identity(), 1e-12);

    ColorMatrix3x3 workingToXYZ;
    ColorMatrixInverse(workingToXYZ, Space(kColorSpaceProPhoto));
    const ColorMatrix3x3 plain = Product(Space(kColorSpaceAdobeRGB), workingToXYZ);
    ExpectNear(BuildOutputSpaceMatrix(out, kColorSpaceAdobeRGB, 0), plain, 1e-12);
    // Saturation 3: S has 2 on the diagonal and -0.5 elsewhere.
    ExpectNear(BuildOutputSpaceMatrix(out, kColorSpaceAdobeRGB, 3),
               Product(plain, {{2, -0.5, -0.5, -0.5, 2, -0.5, -0.5, -0.5, 2}}), 1e-12);
    EXPECT_EQ(ThrownMessage([&] { BuildOutputSpaceMatrix(out, 12, 0); }),
              "CreateColorSpaceWhitePoint(): Unknown color space");
}

TEST(ColorSpacesTest, CorrectColorRowWithZeroTablesAndTheIdentityOnlyClamps)
{
    FLUT16RGB zeros(16);
    FLUT16RGB none; // no entries: treated as zeros
    for (const FLUT16RGB* tables : {&zeros, &none}) {
        FPixelClass48SRGB row[] = {{20000, -300, 123}, {-32768, 0, 32767}};
        CorrectColorRow(row, 2, FixedDiagonal(1.0), *tables, -10000, 200, 0);
        EXPECT_EQ(row[0].r, 24000); // 30000 above its offset
        EXPECT_EQ(row[0].g, -500);
        EXPECT_EQ(row[0].b, 123);
        EXPECT_EQ(row[1].r, -500);
        EXPECT_EQ(row[1].g, -200);
        EXPECT_EQ(row[1].b, 24000);
    }
}

TEST(ColorSpacesTest, CorrectColorRowTakesAwayBothResidualsBeforeTheMatrix)
{
    // Eight entries: indices are clamped to -3 ... 3 and then masked.
    FLUT16RGB tables(8);
    for (int v = -3; v <= 3; ++v) {
        tables.m_pRed[v & 7] = static_cast<int16_t>(100 * v);
        tables.m_pGreen[v & 7] = static_cast<int16_t>(v);
        tables.m_pBlue[v & 7] = static_cast<int16_t>(-v);
    }
    // x = (5, 0, -2); r = (5 - 300, 0 - 0, -2 - 2) = (-295, 0, -4);
    // m = -299 >> 2 = -75; v = (-295 - R[-3], 0 - G[3], -4 - B[3]) = (5, -3, -1).
    FPixelClass48SRGB row[] = {{1005, 1000, 998}};
    FPixelClass48SRGB kept[] = {{0, 0, 0}};
    CorrectColorRowKeep(row, kept, 1, FixedDiagonal(2.0), tables, 1000, 1000, 1000, -4, 8);
    EXPECT_EQ(kept[0].r, 5);
    EXPECT_EQ(kept[0].g, -3);
    EXPECT_EQ(kept[0].b, -1);
    EXPECT_EQ(row[0].r, 8); // 10 clamped to the high limit
    EXPECT_EQ(row[0].g, -4); // -6 clamped to the low limit
    EXPECT_EQ(row[0].b, -2);

    FPixelClass48SRGB plain[] = {{1005, 1000, 998}};
    CorrectColorRow(plain, 1, FixedDiagonal(2.0), tables, 1000, 1000, 1000);
    EXPECT_EQ(plain[0].r, 10);
    EXPECT_EQ(plain[0].g, -6);
    EXPECT_EQ(plain[0].b, -2);
}

TEST(ColorSpacesTest, DarkColourCastOfASmallImageIsZero)
{
    // (int)(36 x 0.005 x 36 x 0.0625) = 0 samples wanted.
    const auto image = Image(40, 40, [](int, int) { return FPixelClass48SRGB{10, 10, 10}; });
    const FDoubleTriple cast = EstimateDarkColourCast48(*image.Get(), 20, 20, 20, 0, 0, 0);
    EXPECT_EQ(cast.r, 0);
    EXPECT_EQ(cast.g, 0);
    EXPECT_EQ(cast.b, 0);
}

TEST(ColorSpacesTest, DarkColourCastAveragesTheDarkSamplesWithTwoHundredMore)
{
    // 200 x 200: 45 x 45 = 2025 grid samples, 10 wanted; each uniform image is
    // one histogram bin, all inside the level.
    struct Case {
        FPixelClass48SRGB pixel;
        FDoubleTriple expected;
        FIntTriple truncated;
    } cases[] = {
        {{110, 120, 140}, {2025 * 10 / 2225.0, 2025 * 20 / 2225.0, 2025 * 40 / 2225.0}, {9, 18, 36}},
        {{90, 80, 60}, {-2025 * 10 / 2225.0, -2025 * 20 / 2225.0, -2025 * 40 / 2225.0}, {-9, -18, -36}},
    };
    for (const Case& c : cases) {
        const auto image = Image(200, 200, [&](int, int) { return c.pixel; });
        const FDoubleTriple cast = EstimateDarkColourCast48(*image.Get(), 20, 20, 20, 100, 100, 100);
        EXPECT_DOUBLE_EQ(cast.r, c.expected.r);
        EXPECT_DOUBLE_EQ(cast.g, c.expected.g);
        EXPECT_DOUBLE_EQ(cast.b, c.expected.b);
        const FIntTriple truncated = EstimateDarkColourCastInt(*image.Get(), 20, 20, 20, 100, 100, 100);
        EXPECT_EQ(truncated.r, c.truncated.r);
        EXPECT_EQ(truncated.g, c.truncated.g);
        EXPECT_EQ(truncated.b, c.truncated.b);
    }
}

TEST(ColorSpacesTest, DarkColourCastCountsOnlySamplesUpToTheDarkLevel)
{
    // Strengths (1, 1, 0): K = 2, T = 10. Dark samples (1, 0, 0) have d = 1,
    // grey ones (3, 3, 3) d = 7: the level is 9 + 2 - 10 + 1 = 2, so only the
    // dark ones count. With 200 or fewer of them the cast is zero.
    for (int darkColumns : {100, 26}) {
        const auto image = Image(200, 200, [&](int x, int) {
            return x < darkColumns ? FPixelClass48SRGB{1, 0, 0} : FPixelClass48SRGB{3, 3, 3};
        });
        // Dark grid columns: 10, 14, ... below darkColumns; 45 grid rows.
        const int darkSamples = 45 * ((darkColumns - 10 + 3) / 4);
        const FDoubleTriple cast = EstimateDarkColourCast48(*image.Get(), 1, 1, 0, 0, 0, 0);
        const double expected = darkSamples > 200 ? darkSamples / (darkSamples + 200.0) : 0.0;
        EXPECT_DOUBLE_EQ(cast.r, expected) << darkColumns;
        EXPECT_EQ(cast.g, 0);
        EXPECT_EQ(cast.b, 0);
    }
}

TEST(ColorSpacesTest, DarkColourCastWithoutAWindowOrWithExtremeValuesStaysFinite)
{
    const auto image = Image(200, 200, [](int x, int) { return FPixelClass48SRGB{int16_t(x), 0, -32768}; });
    for (double s : {0.0, -5.0, 1e300, double(NAN)}) {
        const FDoubleTriple cast = EstimateDarkColourCast48(*image.Get(), s, s, s, INT32_MIN, INT32_MAX, 0);
        EXPECT_TRUE(std::isfinite(cast.r) && std::isfinite(cast.g) && std::isfinite(cast.b)) << s;
    }
}

// The histogram and the sums are gathered in bands: any band count gives the
// cast of one band.
TEST(ColorSpacesTest, DarkColourCastIsTheSameInAnyBandCount)
{
    const auto image = Image(300, 260, [](int x, int y) {
        const int v = (x * 7 + y * 13) % 40 - 10;
        return FPixelClass48SRGB{int16_t(v + x % 3), int16_t(v), int16_t(v - y % 5)};
    });
    const auto castIn = [&](uint32_t bands) {
        const ScopedRowBandCount count(bands);
        return EstimateDarkColourCast48(*image.Get(), 4, 4, 4, 0, 0, 0);
    };
    const FDoubleTriple one = castIn(1);
    EXPECT_NE(one.r, 0.0);
    for (const uint32_t bands : {2u, 24u}) {
        const FDoubleTriple banded = castIn(bands);
        EXPECT_EQ(banded.r, one.r) << bands;
        EXPECT_EQ(banded.g, one.g) << bands;
        EXPECT_EQ(banded.b, one.b) << bands;
    }
}
