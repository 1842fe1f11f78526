#include "engine/noise/NoiseModelBilateral.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// A noise model of constant variance a for every component.
ColorNoiseModel ConstantVariance(float a)
{
    return {{a, a, a}, {0.0f, 0.0f, 0.0f}};
}

void FillGrey(FloatRGBImage& image, const std::vector<float>& values)
{
    for (int32_t y = 0; y < image.Rows(); ++y)
        for (int32_t x = 0; x < image.Columns(); ++x) {
            const float v = values[static_cast<size_t>(y * image.Columns() + x)];
            image.Row(y)[x] = {v, v, v};
        }
}

RangeWeightTable Table(float noiseScaling)
{
    RangeWeightTable table;
    FillRangeWeightTable(table, noiseScaling);
    return table;
}

FloatRGBImage& Filter(FloatRGBImage& out, const FloatRGBImage& in, int32_t window, const ColorNoiseModel& model,
                      bool quincunx, float noiseScaling)
{
    const RangeWeightTable table = Table(noiseScaling);
    BilateralFilterRows(out.Pixmap(), in.Pixmap(), window, model, quincunx, table, 0, in.Rows() - 1);
    return out;
}

} // namespace

TEST(NoiseModelBilateralTest, RangeWeightsFallWithDistanceAndStopAtTheLimit)
{
    const RangeWeightTable table = Table(0.5f);
    EXPECT_EQ(table.afWeight[0], 1.0f);
    EXPECT_FLOAT_EQ(table.afWeight[100], std::exp(-0.5f));
    EXPECT_EQ(RangeWeight(table, 16.0f), 0.0f);
    EXPECT_EQ(RangeWeight(table, 15.999f), table.afWeight[1599]);
    EXPECT_EQ(RangeWeight(table, 0.0099f), 1.0f);
    EXPECT_EQ(RangeWeight(table, NAN), 0.0f);

    // No scaling: every accepted neighbour weighs 1; a negative or missing
    // scaling counts as none, so no weight ever exceeds 1.
    for (const float scaling : {0.0f, -3.0f, NAN}) {
        const RangeWeightTable flat = Table(scaling);
        EXPECT_EQ(flat.afWeight[1599], 1.0f) << scaling;
    }
    EXPECT_EQ(Table(INFINITY).afWeight[0], 1.0f);
    EXPECT_EQ(Table(INFINITY).afWeight[1], 0.0f);
}

TEST(NoiseModelBilateralTest, FlatWindowGivesThePlainMeanWithRepeatedEdgeSamples)
{
    // A variance far above the differences makes every distance 0: each pixel
    // becomes the plain mean of its 3 x 3 window, the edge samples repeated.
    FloatRGBImage in(4, 1), out(4, 1);
    FillGrey(in, {0, 30, 60, 90});
    Filter(out, in, 3, ConstantVariance(1e9f), false, 0.5f);
    EXPECT_FLOAT_EQ(out.Row(0)[0].r, 10.0f); // (0 + 0 + 30) / 3 in each of the three rows
    EXPECT_FLOAT_EQ(out.Row(0)[1].r, 30.0f);
    EXPECT_FLOAT_EQ(out.Row(0)[2].g, 60.0f);
    EXPECT_FLOAT_EQ(out.Row(0)[3].b, 80.0f); // (60 + 90 + 90) / 3
}

TEST(NoiseModelBilateralTest, NeighboursBeyondTheLimitAreLeftOut)
{
    // Variance 1: a step of 4 has D = 3 x 16, a step of 2 has D = 3 x 4.
    FloatRGBImage in(2, 1), out(2, 1);
    FillGrey(in, {100, 104});
    Filter(out, in, 3, ConstantVariance(1.0f), false, 0.0f);
    EXPECT_EQ(out.Row(0)[0].r, 100.0f);
    EXPECT_EQ(out.Row(0)[1].r, 104.0f);

    // Only the red component differs, by exactly 4: D = 16 is left out; by 3.9, included.
    for (const float step : {4.0f, 3.9f}) {
        in.Row(0)[0] = {100, 50, 50};
        in.Row(0)[1] = {100 + step, 50, 50};
        Filter(out, in, 3, ConstantVariance(1.0f), false, 0.0f);
        const float expected = step == 4.0f ? 100.0f : (6 * 100.0f + 3 * (100 + step)) / 9;
        EXPECT_FLOAT_EQ(out.Row(0)[0].r, expected) << step;
    }
}

TEST(NoiseModelBilateralTest, QuincunxTakesEveryOtherPixel)
{
    // On a checkerboard the quincunx sees only the centre's own colour; the full
    // window mixes both.
    const int32_t kSize = 15;
    FloatRGBImage board(kSize, kSize), full(kSize, kSize), thinned(kSize, kSize);
    std::vector<float> values;
    for (int32_t y = 0; y < kSize; ++y)
        for (int32_t x = 0; x < kSize; ++x)
            values.push_back((x + y) % 2 == 0 ? 0.0f : 100.0f);
    FillGrey(board, values);
    Filter(full, board, 11, ConstantVariance(1e9f), false, 0.5f);
    Filter(thinned, board, 11, ConstantVariance(1e9f), true, 0.5f);
    EXPECT_NEAR(full.Row(7)[7].r, 100.0f * 60 / 121, 1e-3f);
    EXPECT_EQ(thinned.Row(7)[7].r, 0.0f);
    EXPECT_EQ(thinned.Row(7)[8].r, 100.0f);
}

TEST(NoiseModelBilateralTest, VariancesThatAreNotPositiveStayFinite)
{
    FloatRGBImage in(3, 3), out(3, 3);
    FillGrey(in, {0, 0, 5, 0, 0, 5, 7, 7, 7});
    for (const ColorNoiseModel& model : {ConstantVariance(0.0f), ConstantVariance(-2.0f), ConstantVariance(NAN),
                                         ColorNoiseModel{{0, 0, 0}, {-1, -1, -1}}}) {
        Filter(out, in, 5, model, false, 0.5f);
        for (int32_t y = 0; y < 3; ++y)
            for (int32_t x = 0; x < 3; ++x)
                EXPECT_EQ(out.Row(y)[x].r, in.Row(y)[x].r) << x << "," << y; // only equal colours are averaged
    }
    // Window sizes beyond the sensible range are clamped, not trusted.
    for (const int32_t window : {0, -7, 2, 100000}) {
        Filter(out, in, window, ConstantVariance(1e9f), true, 0.5f);
        EXPECT_TRUE(std::isfinite(out.Row(1)[1].r)) << window;
    }
}
