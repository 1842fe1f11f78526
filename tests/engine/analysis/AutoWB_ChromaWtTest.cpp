#include "engine/analysis/AutoWB_ChromaWt.h"

#include "engine/colour/ColorSpaces.h"
#include "engine/core/RowBandLoop.h"
#include "foundation/FException.h"
#include "support/NeutralScene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

using testsupport::MakeUniformWorkingImage;
using testsupport::MakeWorkingImage;
using testsupport::WorkingImage;

namespace {

using testsupport::ExpectNeutralWithin;
using testsupport::kDaylightXYZ;
using testsupport::kTungstenXYZ;

ColorMatrix3x3 CameraToXYZ()
{
    return testsupport::NeutralSceneCameraToXYZ();
}

FDoubleTriple NeutralUnder(const double xyz[3])
{
    return testsupport::NeutralSceneNeutralUnder(xyz);
}

WorkingImage MakeScene(int32_t width, int32_t height, const FDoubleTriple& neutral, uint32_t seed = 5)
{
    return testsupport::MakeNeutralScene(width, height, neutral, seed);
}

FChromaWeightedWBParams ParamsFor(const FPixmap* image, double bv)
{
    FChromaWeightedWBParams params;
    params.pSource = image;
    std::fill(std::begin(params.adLevel), std::end(params.adLevel), 16000.0);
    params.dBv = bv;
    params.mCamToXYZ = CameraToXYZ();
    params.dGainRatio = 1.0;
    return params;
}

// Bright scenes are rendered slightly warm on purpose: the neutral moves by
// the full daylight shift in ROMM (red x 0.98, blue x 1.08).
FDoubleTriple WithDaylightShift(const FDoubleTriple& n)
{
    return testsupport::NeutralSceneRommTint(n, 1.0 - double(0.02f), 1.0 + double(0.08f));
}


FNeutralVertex RommVertexOf(const FDoubleTriple& n)
{
    ColorMatrix3x3 toRomm;
    BuildWorkingSpaceMatrix(toRomm, CameraToXYZ(), FDoubleTriple(-1, -1, -1), 1.0, 0.0);
    FDoubleTriple p;
    ColorMatrixApply(p, toRomm, n);
    return {static_cast<int32_t>(p.r / p.g * 10000), static_cast<int32_t>(p.b / p.g * 10000)};
}

} // namespace

TEST(AutoWB_ChromaWtTest, RecoversTheNeutralOfDaylightAndTungstenScenes)
{
    const FDoubleTriple daylight = NeutralUnder(kDaylightXYZ);
    const FDoubleTriple tungsten = NeutralUnder(kTungstenXYZ);
    const struct { const char* name; FDoubleTriple neutral; double bv; FDoubleTriple expected; } scenes[] = {
        {"daylight", daylight, 9.0, WithDaylightShift(daylight)},
        {"tungsten", tungsten, 3.0, tungsten},
    };
    for (const auto& scene : scenes)
        for (const auto& [width, height] : {std::pair{480, 360}, std::pair{1200, 900}}) {
            const WorkingImage image = MakeScene(width, height, scene.neutral);
            const FDoubleTriple estimate = EstimateNeutralChromaWeighted(ParamsFor(image.get(), scene.bv));
            ExpectNeutralWithin(estimate, scene.expected, 0.02, scene.name);
        }
}
TEST(AutoWB_ChromaWtTest, FlashHoldsTheNeutralInsideTheFlashPolygon)
{
    // A tungsten-lit picture with the flash fired is held to the flash's
    // polygon, whatever the brightness says.
    const WorkingImage image = MakeScene(480, 360, NeutralUnder(kTungstenXYZ));
    FChromaWeightedWBParams params = ParamsFor(image.get(), 3.0);
    params.bFlash = true;
    const FNeutralVertex v = RommVertexOf(EstimateNeutralChromaWeighted(params));
    const FNeutralVertex onBoundary = ConstrainNeutral(4, v, true);
    EXPECT_LE(std::hypot(v.x - onBoundary.x, v.y - onBoundary.y), 3.0) << v.x << "," << v.y;
    EXPECT_FALSE(IsOutsideNeutralPolygon(NeutralPolygon(4), onBoundary));
}

TEST(AutoWB_ChromaWtTest, IlluminantChoicePrefersFixedCandidatesAmongNearlyEqualScores)
{
    const struct { double scores[6]; int expected; } cases[] = {
        {{3, 3, 3, 3, 3, 3}, 2},            // all candidates: the middle white; ratio 1 keeps it
        {{1, 9, 9, 9, 9, 9}, 0},            // one candidate
        {{2, 1, 1.2, 9, 9, 9}, 1},          // three candidates: the second of them
        {{9, 9, 9, 9, 1, 9}, 4},            // a warm best is taken as it is
        {{9, 9, 9, 9, 9, 1}, 5},
        {{1, 9, 9, 9, 13, 10}, 5},          // score 4 / score 5 above 1.25: candle light
        {{1, 9, 9, 9, 11, 10}, 4},          // above 1.075: tungsten
        {{0, 0, 0, 0, 0, 0}, 0},            // no chroma at all (a black frame): no rule applies
        {{HUGE_VAL, HUGE_VAL, HUGE_VAL, HUGE_VAL, HUGE_VAL, HUGE_VAL}, 0}, // no candidate at all: the best
        {{HUGE_VAL, NAN, HUGE_VAL, 9, HUGE_VAL, HUGE_VAL}, 3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseReferenceIlluminant(c.scores), c.expected) << c.scores[0] << " " << c.scores[1];
}

TEST(AutoWB_ChromaWtTest, BrightnessChoosesThePolygonOrTheBlendOfTwo)
{
    // Inside polygon 1, outside 2 and 3 (a warm light).
    const FNeutralVertex warm{12500, 6000};
    const FNeutralVertex p1 = ConstrainNeutral(1, warm, true);
    const FNeutralVertex p2 = ConstrainNeutral(2, warm, true);
    const FNeutralVertex p3 = ConstrainNeutral(3, warm, true);
    auto blend = [](FNeutralVertex a, FNeutralVertex b, double t) {
        return FNeutralVertex{int32_t(a.x * (1 - t) + 0.5) + int32_t(b.x * t + 0.5),
                              int32_t(a.y * (1 - t) + 0.5) + int32_t(b.y * t + 0.5)};
    };
    const FNeutralVertex insideTwo{10500, 10000};
    const struct { double bv; bool flash; FNeutralVertex in; FNeutralVertex expected; } cases[] = {
        {4.0, false, warm, warm},                          // polygon 1 keeps an inside point
        {5.0, false, warm, blend(p1, p2, 0.125)},          // blend of 1 and 2, t = 0.125
        {5.0, false, insideTwo, insideTwo},                // inside polygon 2: does not move
        {5.75, false, warm, p2},                           // polygon 2 alone
        {7.05, false, warm, blend(p2, p3, 0.5)},           // blend of 2 and 3
        {9.0, false, warm, p3},                            // bright daylight: polygon 3
        {9.0, true, warm, ConstrainNeutral(4, warm, true)}, // flash: polygon 4
        {2.0, true, warm, ConstrainNeutral(4, warm, true)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConstrainNeutralVertexByBrightness(c.in, c.bv, c.flash), c.expected) << c.bv << " " << c.flash;
}

TEST(AutoWB_ChromaWtTest, DaylightShiftRampsInBetweenBrightness3_2And5_7)
{
    // A daylight neutral lies inside every polygon these brightnesses choose,
    // so the brightness moves the estimate only by the shift towards warm:
    // none up to 3.2, then red x (1 - 0.02 t) and blue x (1 + 0.08 t) in
    // ROMM with t rising linearly to 1 at 5.7.
    const WorkingImage image = MakeScene(480, 360, NeutralUnder(kDaylightXYZ));
    const FDoubleTriple unshifted = EstimateNeutralChromaWeighted(ParamsFor(image.get(), 3.0));
    const struct { double bv, t; } cases[] = {{3.2, 0.0}, {3.7, 0.2}, {4.45, 0.5}, {5.2, 0.8}, {5.7, 1.0}, {6.5, 1.0}};
    for (const auto& c : cases) {
        const FDoubleTriple expected = testsupport::NeutralSceneRommTint(
            unshifted, 1.0 - double(0.02f) * c.t, 1.0 + double(0.08f) * c.t);
        ExpectNeutralWithin(EstimateNeutralChromaWeighted(ParamsFor(image.get(), c.bv)), expected, 1e-9,
                            std::to_string(c.bv).c_str());
    }
}

TEST(AutoWB_ChromaWtTest, ConstrainKeepsInsidePointsAndMovesOutsideOnesToTheBoundary)
{
    bool inside = false;
    EXPECT_EQ(ConstrainNeutral(3, {10000, 10000}, false, &inside), (FNeutralVertex{10000, 10000}));
    EXPECT_TRUE(inside);
    // On a vertex and on an edge count as inside.
    EXPECT_EQ(ConstrainNeutral(3, {10200, 8200}, false, &inside), (FNeutralVertex{10200, 8200}));
    EXPECT_TRUE(inside);
    EXPECT_EQ(ConstrainNeutral(4, {10000, 10000}, false, &inside), (FNeutralVertex{10000, 10000}));
    EXPECT_TRUE(inside);
    // Straight below the edge from (9900, 10000) to (10100, 10000) of polygon 4.
    EXPECT_EQ(ConstrainNeutral(4, {10000, 9000}, false, &inside), (FNeutralVertex{10000, 10000}));
    EXPECT_FALSE(inside);
    // Beyond a corner: the vertex is nearest.
    EXPECT_EQ(ConstrainNeutral(3, {12000, 7000}, false, &inside), (FNeutralVertex{10700, 8200}));
    // Forced: an inside point goes to the nearest boundary point too.
    EXPECT_EQ(ConstrainNeutral(4, {10000, 10050}, true, &inside), (FNeutralVertex{10000, 10000}));
    EXPECT_TRUE(inside);
    // An unknown polygon leaves the point.
    EXPECT_EQ(ConstrainNeutral(7, {1, 2}, true, &inside), (FNeutralVertex{1, 2}));
    EXPECT_TRUE(NeutralPolygon(0).empty());
}

TEST(AutoWB_ChromaWtTest, UnconstrainedNeutralIsHeldInsideLooseLimits)
{
    const FDoubleTriple p = LimitUnconstrainedNeutral(FDoubleTriple(2.0, 1.0, 0.2));
    EXPECT_DOUBLE_EQ(p.r, 2.0);
    EXPECT_DOUBLE_EQ(p.g, 1.0);
    EXPECT_NEAR(p.b, 0.5333333, 1e-6);
    const FDoubleTriple grey = LimitUnconstrainedNeutral(FDoubleTriple(0.5, 0.5, 0.5));
    EXPECT_DOUBLE_EQ(grey.r, 1.0);
    EXPECT_DOUBLE_EQ(grey.b, 1.0);
}

TEST(AutoWB_ChromaWtTest, CIELabOfWhiteGreyAndDarkColours)
{
    double L, a, b;
    CIELabFromXYZ(95.047, 100, 108.883, 95.047, 100, 108.883, L, a, b);
    EXPECT_NEAR(L, 100.0, 0.01);
    EXPECT_NEAR(a, 0.0, 0.01);
    EXPECT_NEAR(b, 0.0, 0.01);
    // 18 % grey: the cube root comes from the sample below, at 0.1792.
    CIELabFromXYZ(18, 18, 18, 100, 100, 100, L, a, b);
    EXPECT_DOUBLE_EQ(L, 116 * std::cbrt(-1 + 0.0016 * 737) - 16);
    EXPECT_DOUBLE_EQ(a, 0.0);
    // Below the linear limit the formula is exact; far above the table, too.
    CIELabFromXYZ(0.5, 0.5, 2000, 100, 100, 100, L, a, b);
    EXPECT_DOUBLE_EQ(L, 116 * (7.787 * 0.005 + 16.0 / 116) - 16);
    EXPECT_DOUBLE_EQ(b, 200 * ((7.787 * 0.005 + 16.0 / 116) - std::cbrt(20.0)));
}

TEST(AutoWB_ChromaWtTest, SelectionPutsTheSmallestFirst)
{
    std::mt19937 random(3);
    std::vector<float> values(1001);
    for (float& v : values)
        v = std::uniform_real_distribution<float>(-5, 5)(random);
    std::vector<float> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(SelectKthSmallest(250, 1001, values.data()), sorted[249]);
    std::vector<float> first(values.begin(), values.begin() + 250);
    std::sort(first.begin(), first.end());
    EXPECT_EQ(first, std::vector<float>(sorted.begin(), sorted.begin() + 250));
    const std::vector<float> before = values;
    EXPECT_EQ(SelectKthSmallest(0, 1001, values.data()), 0.0f);
    EXPECT_EQ(SelectKthSmallest(1002, 1001, values.data()), 0.0f);
    EXPECT_EQ(values, before);
}

TEST(AutoWB_ChromaWtTest, PicturesWithNothingToMeasureGiveTheCameraNeutral)
{
    const FDoubleTriple camera = CameraDaylightNeutral(CameraToXYZ());
    ExpectNeutralWithin(camera, NeutralUnder(kDaylightXYZ), 1e-9, "camera");
    const WorkingImage black = MakeUniformWorkingImage(480, 360, 0, 0, 0);
    const WorkingImage clipped = MakeUniformWorkingImage(600, 400, 16000, 16000, 16000);
    const WorkingImage tiny = MakeScene(1, 3, NeutralUnder(kTungstenXYZ));
    const WorkingImage belowGrid = MakeScene(700, 7, NeutralUnder(kTungstenXYZ)); // wide, but under one 8-row block
    const WorkingImage scene = MakeScene(480, 360, NeutralUnder(kTungstenXYZ));
    const struct { const char* name; const FPixmap* image; double bv; } cases[] = {
        {"black", black.get(), 9.0},
        {"clipped", clipped.get(), 9.0},
        {"tiny", tiny.get(), 9.0},
        {"below grid", belowGrid.get(), 9.0},
    };
    for (const auto& c : cases)
        ExpectNeutralWithin(EstimateNeutralChromaWeighted(ParamsFor(c.image, c.bv)), camera, 1e-9, c.name);
    // No brightness: the unconstrained limits in place of a polygon, and no daylight shift.
    for (double bv : {double(NAN), double(INFINITY), -double(INFINITY)}) {
        const FDoubleTriple n = EstimateNeutralChromaWeighted(ParamsFor(scene.get(), bv));
        for (int ch = 0; ch < 3; ++ch)
            EXPECT_TRUE(std::isfinite(n[ch]) && n[ch] > 0 && n[ch] <= 1) << bv;
    }
    // A camera matrix without an inverse gives no camera neutral either.
    FChromaWeightedWBParams params = ParamsFor(scene.get(), 5.0);
    params.mCamToXYZ = ColorMatrix3x3{};
    ExpectNeutralWithin(EstimateNeutralChromaWeighted(params), FDoubleTriple(1, 1, 1), 0, "singular");
    params.pSource = nullptr;
    EXPECT_THROW(EstimateNeutralChromaWeighted(params), FExceptionPixelProc2);
}

TEST(AutoWB_ChromaWtTest, FloatGridGivesTheSameNeutralAsTheWorkingImage)
{
    const WorkingImage scene = MakeScene(240, 200, NeutralUnder(kTungstenXYZ));
    testsupport::TestPixmap<FPixelClassFlt32RGB> grid(240, 200);
    for (int32_t y = 0; y < 200; ++y)
        for (int32_t x = 0; x < 240; ++x) {
            const FPixelClass48SRGB& p = scene.At(x, y);
            *grid.Get()->GetPixel(x, y) = {float(p.r), float(p.g), float(p.b)};
        }
    FChromaWeightedWBParams params = ParamsFor(scene.get(), 3.0);
    std::fill(std::begin(params.adLevel), std::end(params.adLevel), 5000.0);
    const FDoubleTriple fromImage = EstimateNeutralChromaWeighted(params);
    const FDoubleTriple fromGrid = EstimateNeutralChromaWeightedFloat(*grid.Get(), 3.0, false, CameraToXYZ(), 1.0, true);
    ExpectNeutralWithin(fromGrid, fromImage, 0, "float");
    // Samples that are no number are black; the estimate stays a neutral.
    for (int32_t x = 0; x < 240; x += 3)
        grid.Get()->GetPixel(x, 7)->g = NAN;
    grid.Get()->GetPixel(5, 5)->r = INFINITY;
    const FDoubleTriple damaged = EstimateNeutralChromaWeightedFloat(*grid.Get(), 3.0, false, CameraToXYZ(), 1.0, true);
    ExpectNeutralWithin(damaged, fromImage, 0.02, "damaged");
}

TEST(AutoWB_ChromaWtTest, BandedEstimateEqualsOneBand)
{
    for (const auto& [width, height] : {std::pair{480, 360}, std::pair{1200, 900}}) {
        const WorkingImage image = MakeScene(width, height, NeutralUnder(kTungstenXYZ), 9);
        const FDoubleTriple banded = EstimateNeutralChromaWeighted(ParamsFor(image.get(), 5.2));
        ScopedRowBandCount oneBand(1);
        const FDoubleTriple single = EstimateNeutralChromaWeighted(ParamsFor(image.get(), 5.2));
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(banded[c], single[c]) << width;
    }
}
