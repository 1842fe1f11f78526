#include "engine/analysis/CalculateAutoAdjustSettings.h"

#include "engine/core/GlobalLUTs.h"
#include "engine/core/RowBandLoop.h"
#include "foundation/FException.h"
#include "support/WorkingImage.h"

#include <gtest/gtest.h>

#include <cmath>

using testsupport::MakeUniformWorkingImage;
using testsupport::MakeWorkingImage;

namespace {

struct AutoAdjustOutputs {
    double exposure = -9, contrast = -9, shadow = -9, highlight = -9, saturation = -9;
    double gains[3] = {-9, -9, -9};
};

AutoAdjustOutputs AutoAdjust(const FPixmap* image, double fillLight = 0.0)
{
    AutoAdjustOutputs out;
    CalculateAutoAdjustSettings(image, GetCubeRootLUT(), GetInverseCubeRootLUT(), fillLight, out.exposure,
                                out.contrast, out.shadow, out.highlight, out.saturation, out.gains);
    return out;
}

bool IsTenth(double value)
{
    return std::abs(value * 10 - std::round(value * 10)) < 1e-9;
}

// A luma histogram whose percentile bins fall exactly on the tone targets.
std::vector<double> CumulativeOnTargets()
{
    const struct { int bin; int count; } mass[] = {
        {60, 5}, {75, 15}, {95, 80}, {150, 400}, {205, 400}, {235, 80}, {255, 15}, {300, 5},
    };
    std::vector<double> cumulative(632, 0.0);
    int sum = 0;
    size_t next = 0;
    for (int bin = 0; bin < 632; ++bin) {
        if (next < std::size(mass) && mass[next].bin == bin)
            sum += mass[next++].count;
        cumulative[bin] = sum / 1000.0;
    }
    return cumulative;
}

} // namespace

TEST(CalculateAutoAdjustSettingsTest, OneColourPictureIsFullySaturatedAndBalancedThroughDensities)
{
    const auto image = MakeUniformWorkingImage(200, 160, 2000, 1000, 500);
    const AutoAdjustOutputs out = AutoAdjust(image.get());
    EXPECT_DOUBLE_EQ(out.saturation, 0.7);
    // Levels 0.96 x 2100, 1100 and 1.04 x 600 against the lowest: densities 25C and 12M.
    EXPECT_DOUBLE_EQ(out.gains[0], std::pow(10.0, -0.25));
    EXPECT_DOUBLE_EQ(out.gains[1], std::pow(10.0, -0.12));
    EXPECT_DOUBLE_EQ(out.gains[2], 1.0);
}

TEST(CalculateAutoAdjustSettingsTest, DarkPictureAsksForTheLargestExposure)
{
    for (int16_t level : {int16_t(0), int16_t(-300)}) {
        const auto image = MakeUniformWorkingImage(64, 64, level, level, level);
        const AutoAdjustOutputs out = AutoAdjust(image.get());
        EXPECT_DOUBLE_EQ(out.exposure, 1.5) << level;
        for (double gain : out.gains)
            EXPECT_TRUE(std::isfinite(gain));
        EXPECT_TRUE(std::isfinite(out.saturation));
    }
}

TEST(CalculateAutoAdjustSettingsTest, FillLightLiftsContrastAndHighlightsAndIsLimited)
{
    const FLUT16& cube = GetCubeRootLUT();
    const FLUT16& inverse = GetInverseCubeRootLUT();
    const std::vector<double> cumulative = CumulativeOnTargets();
    const struct { double fill; double contrast; double highlight; } cases[] = {
        {0.0, 0.0, 0.0}, {1.2, 0.6, 0.7}, {2.0, 0.8, 0.9}, {1.5, 0.8, 0.9}, {NAN, 0.0, 0.0},
    };
    for (const auto& c : cases) {
        double exposure, contrast, shadow, highlight;
        AutoAdjustTone(cumulative, cube, inverse, c.fill, exposure, contrast, shadow, highlight);
        EXPECT_DOUBLE_EQ(exposure, 0.0) << c.fill; // the bins already sit on their targets
        EXPECT_DOUBLE_EQ(shadow, 0.0) << c.fill;
        EXPECT_DOUBLE_EQ(contrast, c.contrast) << c.fill;
        EXPECT_DOUBLE_EQ(highlight, c.highlight) << c.fill;
    }
}

TEST(CalculateAutoAdjustSettingsTest, OutputsStayOnTheirGridsForAnyPicture)
{
    for (uint32_t seed : {1u, 2u, 3u}) {
        const auto noise = testsupport::MakePixmap(FPixmap::PIXEL_48S_RGB, 97, 83, seed);
        const auto ramp = MakeWorkingImage(160, 120, [&](int32_t x, int32_t y) {
            return FPixelClass48SRGB{int16_t(x * 40 * seed), int16_t(y * 50), int16_t((x + y) * 7)};
        });
        for (const FPixmap* image : {noise.get(), ramp.get()}) {
            const AutoAdjustOutputs out = AutoAdjust(image, 0.7 * seed);
            for (double tone : {out.exposure, out.contrast, out.shadow, out.highlight}) {
                EXPECT_TRUE(IsTenth(tone)) << tone;
                EXPECT_LE(std::abs(tone), 1.5);
            }
            EXPECT_TRUE(IsTenth(out.saturation));
            EXPECT_LE(std::abs(out.saturation), 0.7);
            EXPECT_DOUBLE_EQ(std::max({out.gains[0], out.gains[1], out.gains[2]}), 1.0);
            for (double gain : out.gains)
                EXPECT_GT(gain, 0.0);
        }
    }
}

TEST(CalculateAutoAdjustSettingsTest, PicturesTooSmallToSampleGiveNeutralSettings)
{
    const struct { int32_t width, height; bool sampled; } cases[] = {
        {31, 40, false}, {32, 39, false}, {0, 0, false}, {32, 40, true},
    };
    for (const auto& c : cases) {
        const auto image = MakeUniformWorkingImage(c.width, c.height, 3000, 2000, 1000);
        const AutoAdjustOutputs out = AutoAdjust(image.get(), 1.0);
        EXPECT_EQ(AutoAdjustSubsample(*image.get()).pixels.empty(), !c.sampled) << c.width << "x" << c.height;
        if (c.sampled)
            continue;
        for (double value : {out.exposure, out.contrast, out.shadow, out.highlight, out.saturation})
            EXPECT_EQ(value, 0.0);
        for (double gain : out.gains)
            EXPECT_EQ(gain, 1.0);
    }
}

TEST(CalculateAutoAdjustSettingsTest, SampleIsOneRowInFourOfFourPixelMeans)
{
    // Value = column + 1000 x row in red; the sample's first pixel reads row 19,
    // columns 13 to 16; (W - 31) and (H - 39) multiples of 4 leave a zero margin.
    const auto image = MakeWorkingImage(39, 47, [](int32_t x, int32_t y) {
        return FPixelClass48SRGB{int16_t(x + 1000 * y), int16_t(-x), 0};
    });
    const FAutoAdjustSample sample = AutoAdjustSubsample(*image.get());
    ASSERT_EQ(sample.iColumns, 3);
    ASSERT_EQ(sample.iRows, 3);
    EXPECT_EQ(sample.pixels[0].r, 19000 + 14);     // (13 + 14 + 15 + 16) / 4 truncated
    EXPECT_EQ(sample.pixels[0].g, -14);            // -14.5 truncated toward zero
    EXPECT_EQ(sample.pixels[1].r, 19000 + 18);
    EXPECT_EQ(sample.pixels[3].r, 23000 + 14);     // row 23
    EXPECT_EQ(sample.pixels[2].r, 0);              // the unfilled column
    EXPECT_EQ(sample.pixels[6].r, 0);              // the unfilled row
    EXPECT_EQ(sample.maxima.r, 23018);
    EXPECT_EQ(sample.maxima.g, 1);                 // maxima start at 1
}

TEST(CalculateAutoAdjustSettingsTest, LookUpRoundsHalvesAwayFromZero)
{
    FLUT16 table(8);
    for (int i = 0; i < 8; ++i)
        table[i] = int16_t(10 * i);
    const std::vector<double> out = ApplyLUTToVector({0.49, 0.5, 2.5, -0.5, -1.49}, table);
    EXPECT_EQ(out, (std::vector<double>{0, 10, 30, 70, 70})); // -1 and -1 wrap to entry 7
}

TEST(CalculateAutoAdjustSettingsTest, RefusesAnythingButTheWorkingFormat)
{
    const auto grey = testsupport::MakePixmap(FPixmap::PIXEL_48_RGB, 64, 64);
    EXPECT_THROW(AutoAdjust(grey.get()), FExceptionPixelProc2);
    EXPECT_THROW(AutoAdjust(nullptr), FExceptionPixelProc2);
}

TEST(CalculateAutoAdjustSettingsTest, BandedResultEqualsOneBand)
{
    const auto noise = testsupport::MakePixmap(FPixmap::PIXEL_48S_RGB, 301, 203, 4);
    const auto ramp = MakeWorkingImage(260, 190, [](int32_t x, int32_t y) {
        return FPixelClass48SRGB{int16_t(x * 30), int16_t(y * 40 + x), int16_t((x * y) % 5000)};
    });
    for (const FPixmap* image : {noise.get(), ramp.get()}) {
        const AutoAdjustOutputs banded = AutoAdjust(image, 0.4);
        ScopedRowBandCount oneBand(1);
        const AutoAdjustOutputs single = AutoAdjust(image, 0.4);
        EXPECT_EQ(banded.exposure, single.exposure);
        EXPECT_EQ(banded.contrast, single.contrast);
        EXPECT_EQ(banded.shadow, single.shadow);
        EXPECT_EQ(banded.highlight, single.highlight);
        EXPECT_EQ(banded.saturation, single.saturation);
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(banded.gains[c], single.gains[c]);
    }
}
