#include "engine/noise/NoiseReductionEdgeMaps.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void Fill(FloatRGBImage& image, float r, float g, float b)
{
    for (int32_t y = 0; y < image.Rows(); ++y)
        for (int32_t x = 0; x < image.Columns(); ++x)
            image.Row(y)[x] = {r, g, b};
}

const ColorNoiseModel kUnitVariance{{1, 1, 1}, {0, 0, 0}};

} // namespace

TEST(NoiseReductionEdgeMapsTest, UniformImageIsFlatInsideAndAFullEdgeOnTheBorder)
{
    FloatRGBImage flat(6, 5);
    Fill(flat, 300, 200, 100);
    FloatMonoImage noiseMap(6, 5), lumaMap(6, 5);
    NoiseModelEdgeMapRows(noiseMap.Pixmap(), flat.Pixmap(), 0.5f, {{2, 2, 2}, {0.1f, 0.1f, 0.1f}}, 0, 4);
    LuminanceEdgeMap(lumaMap.Pixmap(), flat.Pixmap(), 0.01f, 0.02f, 0.03f);
    CombineEdgeMaps(noiseMap.Pixmap(), lumaMap.Pixmap());
    for (int32_t y = 0; y < 5; ++y)
        for (int32_t x = 0; x < 6; ++x) {
            const bool border = x == 0 || y == 0 || x == 5 || y == 4;
            EXPECT_EQ(lumaMap.Row(y)[x].v, border ? 0.0f : 1.0f) << x << "," << y;
            EXPECT_EQ(noiseMap.Row(y)[x].v, border ? 0.0f : 1.0f) << x << "," << y;
        }
}

TEST(NoiseReductionEdgeMapsTest, ImagesWithoutInteriorAreLeftAlone)
{
    for (const auto& size : {std::pair{2, 5}, std::pair{5, 2}, std::pair{1, 1}}) {
        FloatRGBImage in(size.first, size.second);
        Fill(in, 10, 20, 30);
        FloatMonoImage noiseMap(size.first, size.second), lumaMap(size.first, size.second);
        NoiseModelEdgeMapRows(noiseMap.Pixmap(), in.Pixmap(), 0.5f, kUnitVariance, 0, size.second - 1);
        LuminanceEdgeMap(lumaMap.Pixmap(), in.Pixmap(), 1, 1, 1);
        for (int32_t y = 0; y < size.second; ++y)
            for (int32_t x = 0; x < size.first; ++x) {
                EXPECT_EQ(noiseMap.Row(y)[x].v, 0.0f);
                EXPECT_EQ(lumaMap.Row(y)[x].v, 0.0f);
            }
    }
}

TEST(NoiseReductionEdgeMapsTest, GradientsInNoiseUnitsAndLuminance)
{
    // Left column 0, the rest 10: at (1, 1) the horizontal differences are 10
    // in each component, in units of variance 1: G = sqrt(300 / 3) = 10.
    FloatRGBImage step(3, 3);
    Fill(step, 10, 10, 10);
    for (int32_t y = 0; y < 3; ++y)
        step.Row(y)[0] = {0, 0, 0};
    FloatMonoImage noiseMap(3, 3), lumaMap(3, 3);
    NoiseModelEdgeMapRows(noiseMap.Pixmap(), step.Pixmap(), 0.05f, kUnitVariance, 0, 2);
    EXPECT_NEAR(noiseMap.Row(1)[1].v, 1.0 - std::tanh(0.5), 1e-6);

    // Luminance 0.1 per unit: a step of 1, so M = 1 and the edge is 2 / (1 + e).
    LuminanceEdgeMap(lumaMap.Pixmap(), step.Pixmap(), 0.0f, 0.1f, 0.0f);
    EXPECT_NEAR(lumaMap.Row(1)[1].v, 2.0 / (1.0 + std::exp(1.0)), 1e-6);

    // A huge contrast underflows to an edge of exactly 0.
    LuminanceEdgeMap(lumaMap.Pixmap(), step.Pixmap(), 0.0f, 100.0f, 0.0f);
    EXPECT_EQ(lumaMap.Row(1)[1].v, 0.0f);
}

TEST(NoiseReductionEdgeMapsTest, BadScalesAndVariancesKeepTheMapBetweenZeroAndOne)
{
    FloatRGBImage step(4, 4);
    Fill(step, 0, 0, 0);
    step.Row(1)[2] = {500, -500, 0};
    for (const float scale : {-1.0f, NAN, INFINITY, 0.0f})
        for (const ColorNoiseModel& model : {kUnitVariance, ColorNoiseModel{{0, 0, 0}, {0, 0, 0}},
                                             ColorNoiseModel{{-5, -5, -5}, {-1, -1, -1}}}) {
            FloatMonoImage map(4, 4);
            NoiseModelEdgeMapRows(map.Pixmap(), step.Pixmap(), scale, model, 0, 3);
            for (int32_t y = 1; y < 3; ++y)
                for (int32_t x = 1; x < 3; ++x) {
                    const float v = map.Row(y)[x].v;
                    EXPECT_TRUE(v >= 0.0f && v <= 1.0f) << scale << " " << x << "," << y << " " << v;
                }
        }
}
