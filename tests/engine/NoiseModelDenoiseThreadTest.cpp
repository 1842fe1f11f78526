#include "engine/LuminanceDiffusion.h"

#include <gtest/gtest.h>

#include <random>

namespace {

void PaintNoisyLuminance(FloatMonoImage& image)
{
    const int32_t columns = image.Columns(), rows = image.Rows();
    std::mt19937 random(19);
    std::normal_distribution<float> noise(0.0f, 6.0f);
    for (int32_t y = 0; y < rows; ++y)
        for (int32_t x = 0; x < columns; ++x)
            image.Row(y)[x].v = (x < columns / 3 ? 20.0f : 200.0f) + noise(random);
}

bool SameImage(const FloatMonoImage& a, const FloatMonoImage& b)
{
    for (int32_t y = 0; y < a.Rows(); ++y)
        for (int32_t x = 0; x < a.Columns(); ++x)
            if (a.Row(y)[x].v != b.Row(y)[x].v)
                return false;
    return true;
}

} // namespace

TEST(NoiseModelDenoiseThreadTest, DiffusionInBandsEqualsOneBand)
{
    // Several iterations: every band pass must read its neighbours' rows as
    // the previous iteration left them. Sizes with a remainder band, with a
    // band of one row, and with fewer rows than bands.
    for (const auto& size : {std::pair{37, 53}, std::pair{20, 9}, std::pair{11, 5}}) {
        FloatMonoImage source(size.first, size.second);
        PaintNoisyLuminance(source);
        for (const int32_t iterations : {1, 2, 5}) {
            FloatMonoImage single(size.first, size.second), banded(size.first, size.second),
                rowsCall(size.first, size.second), noiseModelSingle(size.first, size.second),
                noiseModelBanded(size.first, size.second);
            AnisoDiffusion(single.Pixmap(), source.Pixmap(), iterations, 8, 0.25f, 1);
            AnisoDiffusion(banded.Pixmap(), source.Pixmap(), iterations, 8, 0.25f, kRowBandCount);
            AnisoDiffusionRows(rowsCall.Pixmap(), source.Pixmap(), iterations, 8, 0.25f, 0, size.second - 1);
            EXPECT_TRUE(SameImage(single, banded)) << size.first << "x" << size.second << " " << iterations;
            EXPECT_TRUE(SameImage(single, rowsCall)) << size.first << "x" << size.second << " " << iterations;
            AnisoDiffusionNM(noiseModelSingle.Pixmap(), source.Pixmap(), iterations, {4.0f, 0.05f}, 0.25f, 1);
            AnisoDiffusionNM(noiseModelBanded.Pixmap(), source.Pixmap(), iterations, {4.0f, 0.05f}, 0.25f,
                             kRowBandCount);
            EXPECT_TRUE(SameImage(noiseModelSingle, noiseModelBanded)) << size.first << " " << iterations;
        }
    }
}
