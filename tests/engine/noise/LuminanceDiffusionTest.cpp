#include "engine/noise/LuminanceDiffusion.h"

#include "support/FloatWorkImages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

using testsupport::SameImage;

TEST(LuminanceDiffusionTest, SingleSpikeBarelyDiffusesAndIsThenClipped)
{
    // A spike of 100 on 0 with K = 2 and lambda 0.25: each neighbour's
    // conductance is 1 / (1 + 2500).
    FloatMonoImage spike(5, 5), diffused(5, 5), clipped(5, 5);
    testsupport::PaintMono(spike, [](int32_t x, int32_t y) { return x == 2 && y == 2 ? 100.0f : 0.0f; });
    AnisoDiffusionRows(diffused.Pixmap(), spike.Pixmap(), 1, 2, 0.25f, 0, 4);
    EXPECT_NEAR(diffused.Row(2)[2].v, 100.0 - 0.25 * 4 * 100 / 2501.0, 1e-4);
    const float leaked = diffused.Row(2)[1].v;
    EXPECT_NEAR(leaked, 0.25 * 100 / 2501.0, 1e-6);
    EXPECT_EQ(diffused.Row(1)[1].v, 0.0f);

    ClipLocalMaxima(clipped.Pixmap(), diffused.Pixmap());
    EXPECT_EQ(clipped.Row(2)[2].v, leaked); // the largest of its eight neighbours
    EXPECT_EQ(clipped.Row(2)[1].v, leaked);

    // A dark pixel is never clipped.
    FloatMonoImage hole(5, 5), holeOut(5, 5);
    testsupport::PaintMono(hole, [](int32_t x, int32_t y) { return x == 2 && y == 2 ? -100.0f : 0.0f; });
    ClipLocalMaxima(holeOut.Pixmap(), hole.Pixmap());
    EXPECT_EQ(holeOut.Row(2)[2].v, -100.0f);
}

TEST(LuminanceDiffusionTest, ConstantImagesAndBordersAreKept)
{
    FloatMonoImage flat(6, 5), out(6, 5);
    testsupport::PaintMono(flat, [](int32_t, int32_t) { return 812.5f; });
    AnisoDiffusionRows(out.Pixmap(), flat.Pixmap(), 3, 2, 0.25f, 0, 4);
    EXPECT_TRUE(SameImage(out, flat));
    AnisoDiffusionNMRows(out.Pixmap(), flat.Pixmap(), 2, {1.0f, 0.05f}, 0.25f, 0, 4);
    EXPECT_TRUE(SameImage(out, flat));
    ClipLocalMaxima(out.Pixmap(), flat.Pixmap());
    EXPECT_TRUE(SameImage(out, flat));

    // Borders of a busy image are copied; lambda 0 copies everything.
    FloatMonoImage busy(6, 5);
    testsupport::PaintMono(busy, [](int32_t x, int32_t y) { return float((x * 37 + y * 11) % 17) * 100.0f; });
    AnisoDiffusionNMRows(out.Pixmap(), busy.Pixmap(), 2, {10.0f, 0.5f}, 0.25f, 0, 4);
    for (int32_t y = 0; y < 5; ++y)
        for (int32_t x = 0; x < 6; ++x)
            if (x == 0 || y == 0 || x == 5 || y == 4) {
                EXPECT_EQ(out.Row(y)[x].v, busy.Row(y)[x].v) << x << "," << y;
            }
    EXPECT_NE(out.Row(2)[2].v, busy.Row(2)[2].v);
    AnisoDiffusionRows(out.Pixmap(), busy.Pixmap(), 1, 2, 0.0f, 0, 4);
    EXPECT_TRUE(SameImage(out, busy));
}

TEST(LuminanceDiffusionTest, BadScalesStepsAndCountsStayFinite)
{
    FloatMonoImage spike(5, 5), out(5, 5), reference(5, 5);
    testsupport::PaintMono(spike, [](int32_t x, int32_t y) { return x == 2 && y == 2 ? 30000.0f : -20.0f; });
    // A constant K that is not positive, no step or no iterations: a copy.
    for (const auto& c : {std::tuple{0, 0.25f, 1}, std::tuple{-4, 0.25f, 1}, std::tuple{2, NAN, 1},
                          std::tuple{2, -1.0f, 1}, std::tuple{2, 0.25f, 0}, std::tuple{2, 0.25f, -3}}) {
        AnisoDiffusionRows(out.Pixmap(), spike.Pixmap(), std::get<2>(c), std::get<0>(c), std::get<1>(c), 0, 4);
        EXPECT_TRUE(SameImage(out, spike)) << std::get<0>(c) << " " << std::get<1>(c) << " " << std::get<2>(c);
    }
    // A step above 0.25 is held there.
    AnisoDiffusionRows(reference.Pixmap(), spike.Pixmap(), 4, 50, 0.25f, 0, 4);
    AnisoDiffusionRows(out.Pixmap(), spike.Pixmap(), 4, 50, 7.0f, 0, 4);
    EXPECT_TRUE(SameImage(out, reference));
    // A noise model whose edge scale is zero or negative somewhere: finite,
    // and no diffusion where the scale is not positive.
    for (const IntensityNoiseModel model : {IntensityNoiseModel{0, 0}, IntensityNoiseModel{-5, -1},
                                            IntensityNoiseModel{NAN, 1}, IntensityNoiseModel{1, INFINITY}}) {
        AnisoDiffusionNMRows(out.Pixmap(), spike.Pixmap(), 3, model, 0.25f, 0, 4);
        for (int32_t y = 0; y < 5; ++y)
            for (int32_t x = 0; x < 5; ++x)
                EXPECT_TRUE(std::isfinite(out.Row(y)[x].v)) << model.c0 << " " << model.c1;
    }
    AnisoDiffusionNMRows(out.Pixmap(), spike.Pixmap(), 1, {0, 0}, 0.25f, 0, 4);
    EXPECT_NEAR(out.Row(2)[2].v, 30000.0f, 1e-3f);
}
