#include "engine/noise/NoiseReductionResampling.h"

#include "support/WorkingImage.h"

#include <gtest/gtest.h>

#include <functional>

using testsupport::MakeWorkingImage;

namespace {

using Paint = std::function<FPixelClassFlt32RGB(int32_t x, int32_t y)>;

void PaintImage(FloatRGBImage& image, const Paint& paint)
{
    for (int32_t y = 0; y < image.Rows(); ++y)
        for (int32_t x = 0; x < image.Columns(); ++x)
            image.Row(y)[x] = paint(x, y);
}

FPixelClassFlt32RGB Grey(float v)
{
    return {v, v, v};
}

// Every pixel of the image within tolerance of expected(x, y), all components.
void ExpectImage(const FloatRGBImage& image, const Paint& expected, float tolerance, const char* what)
{
    for (int32_t y = 0; y < image.Rows(); ++y)
        for (int32_t x = 0; x < image.Columns(); ++x) {
            const FPixelClassFlt32RGB got = image.Row(y)[x], want = expected(x, y);
            ASSERT_NEAR(got.r, want.r, tolerance) << what << " at " << x << "," << y;
            ASSERT_NEAR(got.g, want.g, tolerance) << what << " at " << x << "," << y;
            ASSERT_NEAR(got.b, want.b, tolerance) << what << " at " << x << "," << y;
        }
}

using FloatResampler = void (*)(FloatRGBPixmap&, const FloatRGBPixmap&);

} // namespace

TEST(NoiseReductionResamplingTest, ConstantImageKeepsItsValueAndFourToOneGainsItsTapSum)
{
    const float kTapSum = 1.0004f;
    const struct { int32_t columns, rows; } sizes[] = {{16, 12}, {17, 13}, {5, 7}, {1, 1}, {4, 4}};
    for (const auto size : sizes) {
        FloatRGBImage flat(size.columns, size.rows);
        PaintImage(flat, [](int32_t, int32_t) { return FPixelClassFlt32RGB{1000.0f, -250.0f, 3.0f}; });
        const auto working = MakeWorkingImage(size.columns, size.rows,
                                              [](int32_t, int32_t) { return FPixelClass48SRGB{1000, -250, 3}; });
        const struct { int factor; void (*fromFloat)(FloatRGBPixmap&, const FloatRGBPixmap&, uint32_t);
                       void (*from48)(FloatRGBPixmap&, const WorkingPixmap&, uint32_t); float gain; } decimators[] = {
            {2, DownSample2, DownSample2From48S, 1.0f}, {4, DownSample4, DownSample4From48S, kTapSum * kTapSum}};
        for (const auto& d : decimators) {
            FloatRGBImage fromFloat(size.columns / d.factor, size.rows / d.factor);
            FloatRGBImage from48(size.columns / d.factor, size.rows / d.factor);
            d.fromFloat(fromFloat.Pixmap(), flat.Pixmap(), kRowBandCount);
            d.from48(from48.Pixmap(), *working.Get(), kRowBandCount);
            const Paint expected = [&](int32_t, int32_t) {
                return FPixelClassFlt32RGB{1000.0f * d.gain, -250.0f * d.gain, 3.0f * d.gain};
            };
            ExpectImage(fromFloat, expected, 0.01f, "decimated float");
            ExpectImage(from48, expected, 0.01f, "decimated working image");
        }
        const struct { int factor; FloatResampler up; } upsamplers[] = {{2, UpSample2}, {4, UpSample4}};
        for (const auto& u : upsamplers) {
            FloatRGBImage up(size.columns * u.factor, size.rows * u.factor);
            u.up(up.Pixmap(), flat.Pixmap());
            ExpectImage(up, [](int32_t, int32_t) { return FPixelClassFlt32RGB{1000.0f, -250.0f, 3.0f}; }, 0.0f,
                        "interpolated");
        }
    }
}

TEST(NoiseReductionResamplingTest, PhasesOfDecimationAndInterpolationMatch)
{
    // A ramp along x (and a different one along y) shows where each output
    // pixel sits on the input grid; away from the clamped edges the value is
    // the position.
    const int32_t kSize = 32;
    FloatRGBImage ramp(kSize, kSize);
    PaintImage(ramp, [](int32_t x, int32_t y) { return FPixelClassFlt32RGB{float(x), float(y), float(x + y)}; });

    FloatRGBImage half(kSize / 2, kSize / 2), quarter(kSize / 4, kSize / 4);
    DownSample2(half.Pixmap(), ramp.Pixmap());
    DownSample4(quarter.Pixmap(), ramp.Pixmap());
    for (int32_t i = 1; i + 1 < kSize / 2; ++i)
        EXPECT_NEAR(half.Row(i)[i].r, 2.0f * i + 0.5f, 1e-4f) << i;
    for (int32_t i = 1; i + 1 < kSize / 4; ++i) {
        EXPECT_NEAR(quarter.Row(i)[i].r, (4.0f * i + 1.5f) * 1.0004f * 1.0004f, 1e-3f) << i;
        EXPECT_NEAR(quarter.Row(i)[i].g, (4.0f * i + 1.5f) * 1.0004f * 1.0004f, 1e-3f) << i;
    }

    // Interpolating an index ramp: output j sits at j / 2 - 0.25 and (j - 1.5) / 4.
    const int32_t kSmall = 6;
    FloatRGBImage index(kSmall, kSmall);
    PaintImage(index, [](int32_t x, int32_t y) { return FPixelClassFlt32RGB{float(x), float(y), 0.0f}; });
    FloatRGBImage up2(2 * kSmall, 2 * kSmall), up4(4 * kSmall, 4 * kSmall);
    UpSample2(up2.Pixmap(), index.Pixmap());
    UpSample4(up4.Pixmap(), index.Pixmap());
    for (int32_t j = 1; j + 1 < 2 * kSmall; ++j) {
        EXPECT_FLOAT_EQ(up2.Row(j)[j].r, j / 2.0f - 0.25f) << j;
        EXPECT_FLOAT_EQ(up2.Row(j)[j].g, j / 2.0f - 0.25f) << j;
    }
    for (int32_t j = 2; j + 2 < 4 * kSmall; ++j)
        EXPECT_FLOAT_EQ(up4.Row(j)[j].r, (j - 1.5f) / 4.0f) << j;
    // The edges repeat the first and last samples.
    EXPECT_EQ(up2.Row(0)[0].r, 0.0f);
    EXPECT_EQ(up2.Row(0)[2 * kSmall - 1].r, kSmall - 1.0f);
    EXPECT_EQ(up4.Row(0)[1].r, 0.0f);
    EXPECT_EQ(up4.Row(0)[4 * kSmall - 2].r, kSmall - 1.0f);

    // Down and up again does not move the ramp.
    FloatRGBImage back2(kSize, kSize), back4(kSize, kSize);
    UpSample2(back2.Pixmap(), half.Pixmap());
    UpSample4(back4.Pixmap(), quarter.Pixmap());
    for (int32_t x = 4; x < kSize - 4; ++x)
        EXPECT_NEAR(back2.Row(kSize / 2)[x].r, float(x), 1e-3f) << x;
    for (int32_t x = 8; x < kSize - 8; ++x)
        EXPECT_NEAR(back4.Row(kSize / 2)[x].r / (1.0004f * 1.0004f), float(x), 1e-3f) << x;
}

TEST(NoiseReductionResamplingTest, EdgesAreClampedToTheDecimatedRegion)
{
    // Four-to-one of a row of 8: the second output's outer taps reach past the
    // end and repeat sample 7.
    const float s[8] = {3, 9, 27, 81, 5, 25, 125, 625};
    FloatRGBImage row(8, 4);
    PaintImage(row, [&](int32_t x, int32_t) { return Grey(s[x]); });
    FloatRGBImage out(2, 1);
    DownSample4(out.Pixmap(), row.Pixmap());
    const float h = 0.0313f * (s[2] + s[7]) + 0.0938f * (s[3] + s[7]) + 0.1563f * (s[4] + s[7]) +
                    0.2188f * (s[5] + s[6]);
    const float v = 0.0313f * (h + h) + 0.0938f * (h + h) + 0.1563f * (h + h) + 0.2188f * (h + h);
    EXPECT_FLOAT_EQ(out.Row(0)[1].r, v);

    // An odd last column and row are never read by 2:1.
    FloatRGBImage odd(5, 3);
    PaintImage(odd, [](int32_t x, int32_t y) { return Grey(x == 4 || y == 2 ? 1e6f : float(x * 10 + y)); });
    FloatRGBImage halfOdd(2, 1);
    DownSample2(halfOdd.Pixmap(), odd.Pixmap());
    for (int32_t x = 0; x < 2; ++x)
        EXPECT_LT(halfOdd.Row(0)[x].r, 100.0f) << x;

    // A 2 x 2 image decimates to the mean of its four pixels.
    const auto two = MakeWorkingImage(2, 2, [](int32_t x, int32_t y) {
        const int16_t v = int16_t(100 * (1 + x + 2 * y));
        return FPixelClass48SRGB{v, int16_t(-v), 0};
    });
    FloatRGBImage one(1, 1);
    DownSample2From48S(one.Pixmap(), *two.Get());
    EXPECT_FLOAT_EQ(one.Row(0)[0].r, 250.0f);
    EXPECT_FLOAT_EQ(one.Row(0)[0].g, -250.0f);
}

TEST(NoiseReductionResamplingTest, InterpolationFillsALargerDestinationWithoutABorder)
{
    // A full-size image whose size is no multiple of the factor is wider and
    // taller than the interpolated one: the last column and row repeat.
    const struct { int factor; FloatResampler up; int32_t columns, rows; } cases[] = {
        {2, UpSample2, 3, 2}, {4, UpSample4, 3, 2}, {2, UpSample2, 1, 1}, {4, UpSample4, 1, 3}};
    for (const auto& c : cases) {
        FloatRGBImage small(c.columns, c.rows);
        PaintImage(small, [](int32_t x, int32_t y) { return FPixelClassFlt32RGB{100.0f + x, 200.0f + y, 50.0f}; });
        FloatRGBImage full(c.factor * c.columns + c.factor - 1, c.factor * c.rows + c.factor - 1);
        c.up(full.Pixmap(), small.Pixmap());
        const int32_t lastX = c.factor * c.columns - 1, lastY = c.factor * c.rows - 1;
        for (int32_t y = 0; y < full.Rows(); ++y)
            for (int32_t x = 0; x < full.Columns(); ++x) {
                const FPixelClassFlt32RGB p = full.Row(y)[x];
                const FPixelClassFlt32RGB edge = full.Row(std::min(y, lastY))[std::min(x, lastX)];
                ASSERT_EQ(p.r, edge.r) << c.factor << " " << x << "," << y;
                ASSERT_EQ(p.g, edge.g) << c.factor << " " << x << "," << y;
                ASSERT_EQ(p.b, 50.0f);
            }
        // A one-pixel-wide source gives equal columns.
        if (c.columns == 1) {
            for (int32_t x = 0; x < full.Columns(); ++x)
                EXPECT_EQ(full.Row(0)[x].r, 100.0f);
        }
    }
}
