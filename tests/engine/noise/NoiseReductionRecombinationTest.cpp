#include "engine/noise/NoiseReductionRecombination.h"

#include "engine/colour/ColorSpaces.h"
#include "engine/core/GlobalLUTs.h"
#include "support/WorkingImage.h"

#include <gtest/gtest.h>

#include <cmath>

using testsupport::MakeUniformWorkingImage;

namespace {

void Fill(FloatRGBImage& image, const FPixelClassFlt32RGB& p)
{
    for (int32_t y = 0; y < image.Rows(); ++y)
        for (int32_t x = 0; x < image.Columns(); ++x)
            image.Row(y)[x] = p;
}

void Fill(FloatMonoImage& image, float v)
{
    for (int32_t y = 0; y < image.Rows(); ++y)
        for (int32_t x = 0; x < image.Columns(); ++x)
            image.Row(y)[x].v = v;
}

// The camera matrix whose output matrix is the identity: the inverse of the
// working space's matrix from XYZ.
ColorMatrix3x3 IdentityOutputMatrix()
{
    ColorMatrix3x3 xyzToWorking, inverse;
    CreateColorSpaceWhitePoint(xyzToWorking, kColorSpaceProPhoto, kWhitePointD65);
    return ColorMatrixInverse(inverse, xyzToWorking);
}

const double kNoCoring[3] = {0.0, 0.0, 0.0};

// One pixel through the recombination with no chroma coring and no cast.
FPixelClass48SRGB RecombineOne(const FPixelClassFlt32RGB& colour, float gainValue, float outputGain,
                               float residualScaling, const double strengths[3] = kNoCoring)
{
    FloatRGBImage rgb(1, 1);
    rgb.Row(0)[0] = colour;
    FloatMonoImage gain(1, 1);
    gain.Row(0)[0].v = gainValue;
    auto image = MakeUniformWorkingImage(1, 1, 0, 0, 0);
    RecombinationSettings settings;
    settings.fResidualScaling = residualScaling;
    RecombineNoiseReduction(*image.Get(), rgb.Pixmap(), gain.Pixmap(), FDoubleTriple(0, 0, 0),
                            IdentityOutputMatrix(), strengths, outputGain, settings);
    return image.At(0, 0);
}

// Sample positions of the dark-cast estimate: every fourth row and column of
// the central 90 %.
std::vector<std::pair<int32_t, int32_t>> DarkSamplePositions(int32_t size)
{
    std::vector<std::pair<int32_t, int32_t>> positions;
    for (int32_t y = size / 20; y < size - size / 20; y += 4)
        for (int32_t x = size / 20; x < size - size / 20; x += 4)
            positions.emplace_back(x, y);
    return positions;
}

} // namespace

TEST(NoiseReductionRecombinationTest, DarkCastNeedsEnoughPictureAndEnoughDarkSamples)
{
    // A dark picture with a cast of (2, 0, -1): every one of the 1024 samples
    // is dark and the cast is pulled toward 0 by 400.
    FloatRGBImage dark(141, 141);
    Fill(dark, {2, 0, -1});
    const FDoubleTriple cast = EstimateDarkColourCast(dark.Pixmap(), 10, 10, 10, 0, 0, 0);
    EXPECT_NEAR(cast.r, 2.0 * 1024 / 1424, 1e-9);
    EXPECT_NEAR(cast.g, 0.0, 1e-9);
    EXPECT_NEAR(cast.b, -1.0 * 1024 / 1424, 1e-9);
    // Offsets are taken away first.
    const FDoubleTriple offset = EstimateDarkColourCast(dark.Pixmap(), 10, 10, 10, 2, 0, -1);
    EXPECT_NEAR(offset.r, 0.0, 1e-9);

    // Below about 140 x 140 pixels there are too few samples.
    FloatRGBImage small(139, 139);
    Fill(small, {2, 0, -1});
    EXPECT_EQ(EstimateDarkColourCast(small.Pixmap(), 10, 10, 10, 0, 0, 0).r, 0.0);
    // No window from strengths that are 0, negative or no number.
    for (const double s : {0.0, -5.0, double(NAN)})
        EXPECT_EQ(EstimateDarkColourCast(dark.Pixmap(), s, s, s, 0, 0, 0).r, 0.0) << s;

    // A bright picture with N dark samples: 200 are not enough, 201 are.
    const auto positions = DarkSamplePositions(141);
    for (const int32_t darkCount : {200, 201}) {
        FloatRGBImage bright(141, 141);
        Fill(bright, {3000, 3000, 3000});
        for (int32_t i = 0; i < darkCount; ++i)
            bright.Row(positions[size_t(i)].second)[positions[size_t(i)].first] = {4, 0, 0};
        const FDoubleTriple found = EstimateDarkColourCast(bright.Pixmap(), 10, 10, 10, 0, 0, 0);
        EXPECT_NEAR(found.r, darkCount == 200 ? 0.0 : 4.0 * 201 / 601, 1e-9) << darkCount;
    }
}

TEST(NoiseReductionRecombinationTest, LuminanceGainIsTheRatioOfFilteredToDenoisedLuminance)
{
    FloatRGBImage colour(2, 1);
    colour.Row(0)[0] = {300, 300, 300};
    colour.Row(0)[1] = {-50, -50, -50}; // a negative luminance counts as 0
    FloatMonoImage filtered(2, 1), gain(2, 1);
    Fill(filtered, 95.0f);
    RecombinationSettings settings;
    settings.wR = settings.wG = settings.wB = 0.1f;
    for (const float epsilon : {5.0f, 0.0f, -3.0f}) { // not positive: the default 5
        settings.fResidualEpsilon = epsilon;
        NoiseReductionLuminanceGain(gain.Pixmap(), colour.Pixmap(), filtered.Pixmap(), settings);
        EXPECT_FLOAT_EQ(gain.Row(0)[0].v, 100.0f / 95.0f) << epsilon;
        EXPECT_FLOAT_EQ(gain.Row(0)[1].v, 100.0f / 5.0f) << epsilon;
    }
    settings.fResidualEpsilon = 10.0f;
    NoiseReductionLuminanceGain(gain.Pixmap(), colour.Pixmap(), filtered.Pixmap(), settings);
    EXPECT_FLOAT_EQ(gain.Row(0)[0].v, 105.0f / 100.0f);

    EXPECT_FLOAT_EQ(NoiseReductionLuminanceWeight(2.0f, 1.5f), 1.0f / 9.0f);
    for (const auto& bad : {std::pair{0.0f, 1.0f}, std::pair{2.0f, -1.0f}, std::pair{NAN, 1.0f},
                            std::pair{1e-30f, 1e-30f}})
        EXPECT_FLOAT_EQ(NoiseReductionLuminanceWeight(bad.first, bad.second), 1.0f / 3) << bad.first;
}

TEST(NoiseReductionRecombinationTest, OutputIsScaledByTheGainRoundedAndLimited)
{
    const struct { FPixelClassFlt32RGB colour; float gain, scaling; FPixelClass48SRGB expected; } cases[] = {
        {{1000, 2000, 3000}, 1.5f, 0.0f, {1000, 2000, 3000}},  // no scaling: gain 1
        {{1000, 2000, 3000}, 1.5f, 1.0f, {1500, 3000, 4500}},  // the full ratio
        {{1000, 2000, 3000}, 1.5f, 0.5f, {1250, 2500, 3750}},
        {{2.6f, -1.7f, 2.4f}, 1.0f, 1.0f, {3, -1, 2}},         // 0.5 added, then toward 0
        {{30000, -30000, 100}, 1.0f, 1.0f, {24000, -29999, 100}}, // a cap above, none below ...
        {{100, -30000, 100}, 2.0f, 1.0f, {200, -32768, 200}},  // ... except the sample's own range
    };
    for (const auto& c : cases) {
        const FPixelClass48SRGB p = RecombineOne(c.colour, c.gain, 1.0f, c.scaling);
        EXPECT_EQ(p.r, c.expected.r) << c.colour.r << " " << c.gain << " " << c.scaling;
        EXPECT_EQ(p.g, c.expected.g) << c.colour.r << " " << c.gain << " " << c.scaling;
        EXPECT_EQ(p.b, c.expected.b) << c.colour.r << " " << c.gain << " " << c.scaling;
    }
    // The output gain scales the matrix; a residual scaling that is no number counts as 1.
    const FPixelClass48SRGB doubled = RecombineOne({1000, 2000, 3000}, 1.0f, 2.0f, NAN);
    EXPECT_EQ(doubled.r, 2000);
    EXPECT_EQ(doubled.b, 6000);
}

TEST(NoiseReductionRecombinationTest, ChromaIsCoredWithStrengthsScaledByTheOutputGainUpToEight)
{
    // A small colour difference on a bright neutral is cored away; the
    // brightness stays. With an output gain of 12 the tables are those of
    // strength x 8 while the matrix is scaled by 12.
    const double strengths[3] = {40.0, 40.0, 40.0};
    const FPixelClass48SRGB cored = RecombineOne({1000, 1003, 1000}, 1.0f, 1.0f, 1.0f, strengths);
    const FPixelClass48SRGB plain = RecombineOne({1000, 1003, 1000}, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(plain.g - plain.r, 3);
    EXPECT_LT(std::abs(cored.g - cored.r), 3);

    const FPixelClass48SRGB bright = RecombineOne({1000, 1003, 1000}, 1.0f, 12.0f, 1.0f, strengths);
    const FLUT16RGB& table = GetChromaWeightLUT(FDoubleTriple(320, 320, 320), FDoubleTriple(0.8, 0.8, 0.8));
    // v = (12000, 12036, 12000): the tables of 320 decide what is left.
    const int32_t limit = int32_t(table.m_iSize / 2 - 1);
    auto t = [&](int32_t x) { return int32_t(table.Red(std::clamp(x, -limit, limit))); };
    const int32_t r0 = 12000 - t(12000), r1 = 12036 - t(12036);
    const int32_t mean = (r0 + 2 * r1 + r0) >> 2;
    EXPECT_NEAR(bright.r, 12000 - t(12000) - t(r0 - mean), 1);
    EXPECT_NEAR(bright.g, 12036 - t(12036) - t(r1 - mean), 1);
}
