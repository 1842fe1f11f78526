#include "engine/noise/LuminanceDiffusion.h"
#include "engine/noise/NoiseModelDenoise.h"
#include "support/FloatWorkImages.h"
#include "support/WorkingImage.h"

#include <gtest/gtest.h>

#include <random>

using testsupport::SameImage;

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

TEST(NoiseModelDenoiseThreadTest, WholeReductionInBandsEqualsOneBand)
{
    // A busy noisy picture, each factor, both luminance paths; the engine's bands and
    // one band give the same bytes.
    for (const int32_t factor : {1, 2, 4})
        for (const int32_t constantIterations : {0, 3}) {
            auto paint = [](int32_t x, int32_t y) {
                const uint32_t h = uint32_t(x * 2654435761u) ^ uint32_t(y * 40503u);
                const int16_t base = int16_t(x < 50 ? 300 : 2500);
                return FPixelClass48SRGB{int16_t(base + int16_t(h % 97)), int16_t(base + int16_t((h >> 8) % 89)),
                                         int16_t(base / 2 + int16_t((h >> 16) % 83))};
            };
            auto one = testsupport::MakeWorkingImage(103, 77, paint);
            auto eight = testsupport::MakeWorkingImage(103, 77, paint);
            NewDenoiseSettings settings;
            settings.iDownSampleFactor = factor;
            const float model[6] = {25, 25, 25, 1, 1, 1};
            std::copy(model, model + 6, settings.afColorNoiseModel);
            settings.afIntensityNoiseModel[0] = 2.0f;
            settings.afIntensityNoiseModel[1] = 0.02f;
            settings.iResidualAnisoDiffIters = constantIterations;
            settings.iNoiseModelDiffIters = 2;
            settings.iLocalMeanIters = 2;
            const double strengths[3] = {12, 12, 12};
            const float gains[3] = {1.8f, 1.0f, 1.4f};
            ColorMatrix3x3 matrixOne = ColorMatrix3x3::Identity(), matrixEight = ColorMatrix3x3::Identity();
            NoiseModelDenoise(one.get(), &settings, &matrixOne, strengths, 16, 1.5f, gains, false, 0, 0, 0, {}, 1);
            NoiseModelDenoise(eight.get(), &settings, &matrixEight, strengths, 16, 1.5f, gains, false, 0, 0, 0, {},
                              kRowBandCount);
            EXPECT_EQ(one.Bytes(103, 77), eight.Bytes(103, 77)) << factor << " " << constantIterations;
        }
}
