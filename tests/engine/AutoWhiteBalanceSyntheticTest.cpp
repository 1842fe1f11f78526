// Both automatic white balances on the synthetic camera's shots: a colour
// chart on a grey background under daylight and under tungsten light.
#include "engine/AutoWB_ChromaWt.h"
#include "engine/EAutoWB.h"

#include "engine/ColorSpaces.h"
#include "support/SyntheticWorkingImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace testsupport;

namespace {

constexpr double kAperture = 5.6; // the camera's aperture

ColorMatrix3x3 CamToXYZOf(const SyntheticTruth& truth)
{
    ColorMatrix3x3 m;
    std::copy(truth.camToXYZ.begin(), truth.camToXYZ.end(), m.m);
    return m;
}

FDoubleTriple Normalised(const FDoubleTriple& v)
{
    return v / std::max({v.r, v.g, v.b});
}

FDoubleTriple NeutralOf(const ColorTriple& n)
{
    return Normalised(FDoubleTriple(n[0], n[1], n[2]));
}

// The largest relative difference of two neutrals over the channels.
double Difference(const FDoubleTriple& a, const FDoubleTriple& b)
{
    double largest = 0.0;
    for (int c = 0; c < 3; ++c)
        largest = std::max(largest, std::abs(a[c] / b[c] - 1.0));
    return largest;
}

struct Shot {
    SyntheticRaw raw;
    WorkingImage image;
    double level;
    double bv;
};

Shot MakeShot(SyntheticShot which)
{
    SyntheticRaw raw = MakeSyntheticRaw({which, SyntheticSize::Small});
    WorkingImage image = MakeSyntheticWorkingImage(raw);
    const SyntheticTruth& t = raw.truth;
    const double level = t.saturation - *std::max_element(t.darkLevel.begin(), t.darkLevel.end());
    const double bv = GreyWorldBrightness(kAperture, t.exposureSeconds, 0.0, t.gainRatio);
    return {std::move(raw), std::move(image), level, bv};
}

FDoubleTriple ChromaWeighted(const Shot& shot)
{
    FChromaWeightedWBParams params;
    params.pSource = shot.image.get();
    std::fill(std::begin(params.adLevel), std::end(params.adLevel), shot.level);
    params.dBv = shot.bv;
    params.mCamToXYZ = CamToXYZOf(shot.raw.truth);
    params.dGainRatio = shot.raw.truth.gainRatio;
    return EstimateNeutralChromaWeighted(params);
}

} // namespace

// The chart's true neutrals: D65 lies inside the daylight polygons, but
// illuminant A lies beyond the warm edge of polygon 1, so its estimate is held
// on that edge; bright scenes are also rendered slightly warm on purpose. What
// must hold: each estimate lands next to its own light, far from the other.
TEST(AutoWhiteBalanceSyntheticTest, ChromaWeightedEstimateFindsTheLightOfEachShot)
{
    const Shot daylight = MakeShot(SyntheticShot::DaylightIso100);
    const Shot tungsten = MakeShot(SyntheticShot::TungstenIso100);
    const FDoubleTriple daylightTruth = NeutralOf(daylight.raw.truth.sceneNeutral);
    const FDoubleTriple tungstenTruth = NeutralOf(tungsten.raw.truth.sceneNeutral);
    const FDoubleTriple daylightEstimate = ChromaWeighted(daylight);
    const FDoubleTriple tungstenEstimate = ChromaWeighted(tungsten);
    EXPECT_LT(Difference(daylightEstimate, daylightTruth), 0.05);
    EXPECT_LT(Difference(tungstenEstimate, tungstenTruth), 0.10);
    EXPECT_GT(Difference(daylightEstimate, tungstenTruth), 0.5);
    EXPECT_GT(Difference(tungstenEstimate, daylightTruth), 0.5);
}

TEST(AutoWhiteBalanceSyntheticTest, GreyWorldEstimatesFindTheLightOfEachShot)
{
    for (SyntheticShot which : {SyntheticShot::DaylightIso100, SyntheticShot::TungstenIso100}) {
        const Shot shot = MakeShot(which);
        FGreyWorldWBParams params;
        params.pImage = shot.image.get();
        std::fill(std::begin(params.adLevel), std::end(params.adLevel), shot.level);
        params.dFNumber = kAperture;
        params.dShutter = shot.raw.truth.exposureSeconds;
        params.dGainRatio = shot.raw.truth.gainRatio;
        BuildWorkingSpaceMatrix(params.mCamToROMM, CamToXYZOf(shot.raw.truth), FDoubleTriple(-1, -1, -1),
                                params.dGainRatio, 0.0);
        EAutoWB estimator(params);
        const FDoubleTriple result = estimator.Estimate();
        const FDoubleTriple truth = NeutralOf(shot.raw.truth.sceneNeutral);
        // The chart's colours do not average to grey: the three grey-world
        // estimates land within 15 % of the light before the polygons.
        for (const FDoubleTriple& estimate :
             {estimator.m_GreyWorld1, estimator.m_GreyWorld2, estimator.m_Squashed})
            EXPECT_LT(Difference(estimate, truth), 0.15) << ShotName(which);
        for (int c = 0; c < 3; ++c)
            EXPECT_TRUE(std::isfinite(result[c]) && result[c] > 0 && result[c] <= 1);
    }
}
