#include "engine/noise/EdgeAwareSmoothing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

void FillWeights(FloatMonoImage& weights, float w)
{
    for (int32_t y = 0; y < weights.Rows(); ++y)
        for (int32_t x = 0; x < weights.Columns(); ++x)
            weights.Row(y)[x].v = w;
}

double Variance(const FloatRGBImage& image, int32_t x0, int32_t x1)
{
    double sum = 0, squares = 0;
    int n = 0;
    for (int32_t y = 0; y < image.Rows(); ++y)
        for (int32_t x = x0; x < x1; ++x, ++n) {
            sum += image.Row(y)[x].g;
            squares += double(image.Row(y)[x].g) * image.Row(y)[x].g;
        }
    return squares / n - (sum / n) * (sum / n);
}

} // namespace

TEST(EdgeAwareSmoothingTest, DarkPixelsBecomeGreyBrightOnesKeepTheirColour)
{
    const struct { FPixelClassFlt32RGB in; int32_t high, low; FPixelClassFlt32RGB out; } cases[] = {
        {{2, 1, 0}, 50, 2, {2, 2, 2}},          // at the low limit: grey at its largest component
        {{1, -3, 0.5f}, 50, 2, {1, 1, 1}},      // below it too
        {{26, 10, 0}, 50, 2, {26, 18, 13}},     // halfway: t = 0.5
        {{50, 0, 7}, 50, 2, {50, 0, 7}},        // at the high limit: unchanged
        {{900, 10, 5}, 50, 2, {900, 10, 5}},
        {{30, 0, 0}, 40, -10, {30, 6, 6}},      // a negative low limit is a limit, not a huge unsigned one
        {{20, 0, 0}, 2, 2, {20, 0, 0}},         // high not above low: the step is skipped
        {{20, 0, 0}, 1, 50, {20, 0, 0}},
    };
    for (const auto& c : cases) {
        FloatRGBImage in(1, 1), out(1, 1);
        in.Row(0)[0] = c.in;
        DarkNeutralize(out.Pixmap(), in.Pixmap(), c.high, c.low);
        EXPECT_FLOAT_EQ(out.Row(0)[0].r, c.out.r) << c.in.r << " " << c.high << " " << c.low;
        EXPECT_FLOAT_EQ(out.Row(0)[0].g, c.out.g) << c.in.r << " " << c.high << " " << c.low;
        EXPECT_FLOAT_EQ(out.Row(0)[0].b, c.out.b) << c.in.r << " " << c.high << " " << c.low;
        DarkNeutralize(in.Pixmap(), in.Pixmap(), c.high, c.low); // in place
        EXPECT_FLOAT_EQ(in.Row(0)[0].g, c.out.g);
    }
}

TEST(EdgeAwareSmoothingTest, ShortLinesFollowTheirOwnCoefficients)
{
    // A line of 2: each end mixes in the other with its own coefficient;
    // the result is transposed (a 2 x 1 source gives a 1 x 2 destination).
    FloatRGBImage line(2, 1), out(1, 2);
    line.Row(0)[0] = {10, 20, 30};
    line.Row(0)[1] = {50, 60, 70};
    FloatMonoImage weights(2, 1), weightsOut(1, 2);
    weights.Row(0)[0].v = 0.5f;
    weights.Row(0)[1].v = 1.0f;
    EdgeAwareSmoothRows(out.Pixmap(), line.Pixmap(), &weightsOut.Pixmap(), weights.Pixmap(), 0.8f);
    const float c0 = 0.8f * 0.5f, c1 = 0.8f;
    EXPECT_FLOAT_EQ(out.Row(0)[0].r, (10 + c0 * 50) / (1 + c0));
    EXPECT_FLOAT_EQ(out.Row(1)[0].r, (50 + c1 * 10) / (1 + c1));
    EXPECT_EQ(weightsOut.Row(1)[0].v, 1.0f);

    // A line of 1 is the pixel itself.
    FloatRGBImage single(1, 1), singleOut(1, 1);
    single.Row(0)[0] = {7, 8, 9};
    FloatMonoImage one(1, 1);
    one.Row(0)[0].v = 1.0f;
    EdgeAwareSmoothRows(singleOut.Pixmap(), single.Pixmap(), nullptr, one.Pixmap(), 0.9f);
    EXPECT_EQ(singleOut.Row(0)[0].g, 8.0f);
}

TEST(EdgeAwareSmoothingTest, SmoothsFlatAreasAndStopsAtZeroWeights)
{
    // Two noisy halves at 0 and 100, the weights 0 on the two columns at the
    // step: the noise falls, the halves keep their levels.
    const int32_t kWidth = 40, kHeight = 30;
    FloatRGBImage image(kWidth, kHeight);
    std::mt19937 random(7);
    std::normal_distribution<float> noise(0.0f, 10.0f);
    for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x) {
            const float level = x < kWidth / 2 ? 0.0f : 100.0f;
            image.Row(y)[x] = {level + noise(random), level + noise(random), level + noise(random)};
        }
    FloatMonoImage weights(kWidth, kHeight);
    FillWeights(weights, 1.0f);
    for (int32_t y = 0; y < kHeight; ++y)
        weights.Row(y)[kWidth / 2 - 1].v = weights.Row(y)[kWidth / 2].v = 0.0f;
    const double before = Variance(image, 0, kWidth / 2);
    EdgeAwareSmooth(image.Pixmap(), image.Pixmap(), weights.Pixmap(), 0.9f, 2);
    EXPECT_LT(Variance(image, 0, kWidth / 2 - 1), before / 4);
    for (int32_t y = 0; y < kHeight; ++y) {
        EXPECT_LT(std::fabs(image.Row(y)[kWidth / 2 - 3].g), 15.0f) << y;
        EXPECT_GT(image.Row(y)[kWidth / 2 + 2].g, 85.0f) << y;
    }
}

TEST(EdgeAwareSmoothingTest, NoFeedbackOrNoIterationsLeaveTheImage)
{
    FloatRGBImage image(5, 4), out(5, 4);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 5; ++x)
            image.Row(y)[x] = {float(x * 7 + y), float(x - y), 3};
    FloatMonoImage weights(5, 4);
    FillWeights(weights, 1.0f);
    for (const float k : {0.0f, -0.5f, NAN}) {
        EdgeAwareSmooth(out.Pixmap(), image.Pixmap(), weights.Pixmap(), k, 1);
        for (int32_t y = 0; y < 4; ++y)
            for (int32_t x = 0; x < 5; ++x)
                EXPECT_FLOAT_EQ(out.Row(y)[x].r, image.Row(y)[x].r) << k;
    }
    FillWeights(weights, 0.0f);
    EdgeAwareSmooth(out.Pixmap(), image.Pixmap(), weights.Pixmap(), 0.9f, 3);
    EXPECT_FLOAT_EQ(out.Row(2)[3].r, image.Row(2)[3].r);

    // No iterations: the destination is not touched. A feedback above 1 is
    // held at 1, so even a long line stays a mean.
    FloatRGBImage untouched(5, 4);
    FillWeights(weights, 1.0f);
    EdgeAwareSmooth(untouched.Pixmap(), image.Pixmap(), weights.Pixmap(), 0.9f, 0);
    EXPECT_EQ(untouched.Row(1)[1].r, 0.0f);
    FloatRGBImage longLine(3000, 1), longOut(3000, 1);
    for (int32_t x = 0; x < 3000; ++x)
        longLine.Row(0)[x] = {100, 100, 100};
    FloatMonoImage longWeights(3000, 1);
    FillWeights(longWeights, 1.0f);
    EdgeAwareSmooth(longOut.Pixmap(), longLine.Pixmap(), longWeights.Pixmap(), 5.0f, 1);
    EXPECT_NEAR(longOut.Row(0)[1500].r, 100.0f, 1e-2f);
}
