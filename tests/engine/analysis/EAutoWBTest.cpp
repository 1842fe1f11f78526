#include "engine/analysis/EAutoWB.h"

#include "engine/colour/ColorSpaces.h"
#include "engine/core/RowBandLoop.h"
#include "foundation/FException.h"
#include "support/NeutralScene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using testsupport::ExpectNeutralWithin;
using testsupport::kDaylightXYZ;
using testsupport::kTungstenXYZ;
using testsupport::MakeNeutralScene;
using testsupport::MakeUniformWorkingImage;
using testsupport::NeutralSceneNeutralUnder;
using testsupport::NeutralSceneRommTint;
using testsupport::WorkingImage;

namespace {

ColorMatrix3x3 CameraToRomm()
{
    ColorMatrix3x3 out;
    return BuildWorkingSpaceMatrix(out, testsupport::NeutralSceneCameraToXYZ(), FDoubleTriple(-1, -1, -1), 1.0, 0.0);
}

// Aperture 4 and exposure compensation 0 at gain ratio 1: the shutter time
// that gives the brightness bv.
double ShutterFor(double bv)
{
    return 16.0 / std::pow(10.0, (bv + 5.0) / 3.322);
}

FGreyWorldWBParams ParamsFor(const FPixmap* image, double bv)
{
    FGreyWorldWBParams params;
    params.pImage = image;
    std::fill(std::begin(params.adLevel), std::end(params.adLevel), 16000.0);
    params.dFNumber = 4.0;
    params.dShutter = ShutterFor(bv);
    params.mCamToROMM = CameraToRomm();
    return params;
}

// The estimate is rendered slightly warm on every path.
FDoubleTriple Tinted(const FDoubleTriple& n)
{
    return NeutralSceneRommTint(n, 0.98, 1.08);
}


FDoubleTriple CameraNeutralOfRomm(const FDoubleTriple& p)
{
    ColorMatrix3x3 fromRomm;
    ColorMatrixInverse(fromRomm, CameraToRomm());
    FDoubleTriple n;
    ColorMatrixApply(n, fromRomm, p);
    return n / std::max({n.r, n.g, n.b});
}

} // namespace

TEST(EAutoWBTest, RecoversTheNeutralOfDaylightAndTungstenScenes)
{
    const FDoubleTriple daylight = NeutralSceneNeutralUnder(kDaylightXYZ);
    const FDoubleTriple tungsten = NeutralSceneNeutralUnder(kTungstenXYZ);
    // Without the polygons, the loose limits hold a tungsten neutral's blue
    // up: only daylight passes through them unchanged.
    const struct { const char* name; FDoubleTriple neutral; double bv; bool constrain; } scenes[] = {
        {"daylight", daylight, 9.0, true},
        {"daylight unconstrained", daylight, 9.0, false},
        {"tungsten", tungsten, 3.0, true},
    };
    for (const auto& scene : scenes) {
            const WorkingImage image = MakeNeutralScene(1200, 800, scene.neutral);
            FGreyWorldWBParams params = ParamsFor(image.get(), scene.bv);
            params.bConstrain = scene.constrain;
            EXPECT_NEAR(GreyWorldBrightness(params.dFNumber, params.dShutter, 0.0, 1.0), scene.bv, 1e-9);
            ExpectNeutralWithin(EstimateNeutralGreyWorld(params), Tinted(scene.neutral), 0.02, scene.name);
        }
}

TEST(EAutoWBTest, BrightnessBlendsTheNearestPointsOfNeighbouringPolygons)
{
    const FNeutralVertex warm{12500, 6000}; // inside polygon 1, outside 2 and 3
    const FNeutralVertex p2 = GreyWorldConstrainVertex(warm, 5.75);
    const FNeutralVertex p3 = GreyWorldConstrainVertex(warm, 9.0);
    auto blend = [](FNeutralVertex a, FNeutralVertex b, double t) {
        return FNeutralVertex{int32_t(a.x * (1 - t) + 0.5) + int32_t(b.x * t + 0.5),
                              int32_t(a.y * (1 - t) + 0.5) + int32_t(b.y * t + 0.5)};
    };
    EXPECT_EQ(GreyWorldConstrainVertex(warm, 3.0), warm);
    EXPECT_EQ(GreyWorldConstrainVertex(warm, 4.45), blend(warm, p2, 0.5));
    EXPECT_EQ(GreyWorldConstrainVertex(warm, 7.05), blend(p2, p3, 0.5));
    // Unlike the chroma-weighted blend, a point inside the second polygon is blended too.
    const FNeutralVertex insideBoth{10500, 10000};
    EXPECT_EQ(GreyWorldConstrainVertex(insideBoth, 4.45), insideBoth);
    const FNeutralVertex insideOneOnly{9000, 9000};
    const FNeutralVertex nearestTwo = GreyWorldConstrainVertex(insideOneOnly, 5.75);
    EXPECT_EQ(GreyWorldConstrainVertex(insideOneOnly, 4.45), blend(insideOneOnly, nearestTwo, 0.5));
    // The nearest points agree with the chroma-weighted rule up to rounding.
    for (const FNeutralVertex outside : {FNeutralVertex{10000, 7000}, FNeutralVertex{12000, 7000},
                                         FNeutralVertex{8000, 12000}, FNeutralVertex{11000, 15000}}) {
        const FNeutralVertex held = GreyWorldConstrainVertex(outside, 9.0);
        const FNeutralVertex reference = ConstrainNeutral(3, outside, false);
        EXPECT_LE(std::abs(held.x - reference.x) + std::abs(held.y - reference.y), 2) << outside.x << "," << outside.y;
    }
    EXPECT_EQ(GreyWorldConstrainVertex({12000, 7000}, 9.0), (FNeutralVertex{10700, 8200})); // beyond a corner
}

TEST(EAutoWBTest, UnknownExposureTakesTheUnconstrainedPathAndEveryPathIsTinted)
{
    const WorkingImage image = MakeUniformWorkingImage(64, 64, 1000, 1000, 1000);
    // The camera neutral of the ROMM neutral (2, 1, 0.2), held to (2, 1, 0.5333) without a polygon.
    const FDoubleTriple outside = CameraNeutralOfRomm(FDoubleTriple(2.0, 1.0, 0.2));
    const FDoubleTriple unconstrained = CameraNeutralOfRomm(FDoubleTriple(2.0 * 0.98, 1.0, 0.5333333333 * 1.08));
    const struct { double fNumber; double shutter; bool constrain; } unknown[] = {
        {0.4, 0.01, true}, {4.0, 0.0, true}, {NAN, 0.01, true}, {4.0, 0.01, false},
    };
    for (const auto& c : unknown) {
        FGreyWorldWBParams params = ParamsFor(image.get(), 9.0);
        params.dFNumber = c.fNumber;
        params.dShutter = c.shutter;
        params.bConstrain = c.constrain;
        EAutoWB estimator(params);
        ExpectNeutralWithin(estimator.Constrain(outside), unconstrained, 1e-6, "unconstrained");
    }
    // With the exposure known, the same neutral is held to polygon 3 and tinted.
    FGreyWorldWBParams params = ParamsFor(image.get(), 9.0);
    EAutoWB estimator(params);
    const FNeutralVertex held = GreyWorldConstrainVertex({20000, 2000}, 9.0);
    ExpectNeutralWithin(estimator.Constrain(outside),
                 CameraNeutralOfRomm(FDoubleTriple(held.x / 10000.0 * 0.98, 1.0, held.y / 10000.0 * 1.08)), 1e-6,
                 "constrained");
    EXPECT_TRUE(std::isnan(GreyWorldBrightness(4.0, 0.01, 0.0, 0.0)));
}

TEST(EAutoWBTest, ClippedBlocksAreLeftOutOfEveryEstimate)
{
    // A grey picture with bright red specks, one per 4 x 4 block of the left
    // half, that reach the level: those blocks count nowhere.
    const FDoubleTriple daylight = NeutralSceneNeutralUnder(kDaylightXYZ);
    auto paint = [&](bool specks) {
        return testsupport::MakeWorkingImage(400, 300, [&, specks](int32_t x, int32_t y) {
            if (specks && x < 200 && x % 4 == 0 && y % 4 == 0)
                return FPixelClass48SRGB{16000, 500, 500};
            const int16_t r = int16_t(3000 * daylight.r), g = int16_t(3000 * daylight.g), b = int16_t(3000 * daylight.b);
            return x < 200 ? FPixelClass48SRGB{int16_t(r * 2), g, b} : FPixelClass48SRGB{r, g, b};
        });
    };
    const WorkingImage clean = paint(false);
    const WorkingImage specked = paint(true);
    EAutoWB withSpecks(ParamsFor(specked.get(), 9.0));
    withSpecks.Estimate();
    // Only the grey right half is left, so grey world 1 is the daylight neutral.
    ExpectNeutralWithin(withSpecks.m_GreyWorld1, daylight, 0.002, "grey world 1");
    EAutoWB without(ParamsFor(clean.get(), 9.0));
    without.Estimate();
    EXPECT_GT(without.m_GreyWorld1.r / daylight.r, 1.2); // the red half counts when unclipped
}

TEST(EAutoWBTest, BinWeightsFallTowardsTheClippedEnd)
{
    EXPECT_EQ(GreyWorldBinWeight(0), 1.0);
    EXPECT_EQ(GreyWorldBinWeight(21), 1.0);
    EXPECT_NEAR(GreyWorldBinWeight(22), 0.9961, 1e-4);
    EXPECT_NEAR(GreyWorldBinWeight(31), 0.1787, 1e-4);
}

TEST(EAutoWBTest, PicturesWithNothingToMeasureGiveTheCameraNeutral)
{
    const FDoubleTriple camera = CameraNeutralOfRomm(FDoubleTriple(1, 1, 1));
    ExpectNeutralWithin(camera, NeutralSceneNeutralUnder(kDaylightXYZ), 1e-3, "daylight");
    const WorkingImage black = MakeUniformWorkingImage(400, 300, 0, 0, 0);
    const WorkingImage negative = MakeUniformWorkingImage(400, 300, -40, 20, 20);
    const WorkingImage clipped = MakeUniformWorkingImage(400, 300, 16000, 16000, 16000);
    const WorkingImage tiny = MakeUniformWorkingImage(3, 3, 1000, 2000, 1500); // no 4 x 4 block
    const WorkingImage empty = MakeUniformWorkingImage(0, 0, 0, 0, 0);
    const struct { const char* name; const FPixmap* image; } cases[] = {
        {"black", black.get()}, {"negative", negative.get()}, {"clipped", clipped.get()},
        {"tiny", tiny.get()},   {"empty", empty.get()},
    };
    for (const auto& c : cases)
        for (bool constrain : {true, false}) {
            FGreyWorldWBParams params = ParamsFor(c.image, 9.0);
            params.bConstrain = constrain;
            ExpectNeutralWithin(EstimateNeutralGreyWorld(params), camera, 1e-9, c.name);
        }
    // A dark scene with one bright unclipped region: bins far beyond the
    // 32-bit range fall out of the histogram instead of wrapping into it.
    const WorkingImage dark = testsupport::MakeWorkingImage(400, 300, [](int32_t x, int32_t y) {
        return x > 150 && x < 170 && y > 100 && y < 120 ? FPixelClass48SRGB{15000, 15000, 15000}
                                                          : FPixelClass48SRGB{3, 6, 4};
    });
    const FDoubleTriple n = EstimateNeutralGreyWorld(ParamsFor(dark.get(), 9.0));
    for (int c = 0; c < 3; ++c)
        EXPECT_TRUE(std::isfinite(n[c]) && n[c] > 0 && n[c] <= 1);
    FGreyWorldWBParams params = ParamsFor(nullptr, 9.0);
    EXPECT_THROW(EstimateNeutralGreyWorld(params), FExceptionPixelProc2);
}

TEST(EAutoWBTest, DriftLevelsAreTakenOffTheMeanAndEachBlock)
{
    const FDoubleTriple daylight = NeutralSceneNeutralUnder(kDaylightXYZ);
    const WorkingImage scene = MakeNeutralScene(600, 400, daylight);
    const WorkingImage lifted = testsupport::MakeWorkingImage(600, 400, [&](int32_t x, int32_t y) {
        const FPixelClass48SRGB p = scene.At(x, y);
        return FPixelClass48SRGB{int16_t(p.r + 200), int16_t(p.g + 100), int16_t(p.b + 300)};
    });
    FGreyWorldWBParams params = ParamsFor(lifted.get(), 9.0);
    params.drift = {0, 0, 0, 200, 100, 300, 0, 0, 0, 200, 100, 300};
    EAutoWB corrected(params);
    const FDoubleTriple correctedNeutral = corrected.Estimate();
    EAutoWB plain(ParamsFor(scene.get(), 9.0));
    const FDoubleTriple plainNeutral = plain.Estimate();
    ExpectNeutralWithin(corrected.m_GreyWorld1, plain.m_GreyWorld1, 1e-3, "grey world 1");
    // The bin scales come from the lifted maxima, so the histogram estimates
    // differ by their quantisation only.
    ExpectNeutralWithin(correctedNeutral, plainNeutral, 0.03, "drift");
}

TEST(EAutoWBTest, BandedEstimateEqualsOneBand)
{
    const WorkingImage image = MakeNeutralScene(900, 700, NeutralSceneNeutralUnder(kTungstenXYZ), 9);
    for (bool constrain : {true, false}) {
        FGreyWorldWBParams params = ParamsFor(image.get(), 4.4);
        params.bConstrain = constrain;
        params.drift = {1, 2, 3, 20, 10, 30, -1, 0, 1, 40, 15, 20};
        const FDoubleTriple banded = EstimateNeutralGreyWorld(params);
        ScopedRowBandCount oneBand(1);
        const FDoubleTriple single = EstimateNeutralGreyWorld(params);
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(banded[c], single[c]);
    }
}
