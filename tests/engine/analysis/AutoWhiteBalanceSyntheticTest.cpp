// Both automatic white balances on the synthetic camera's shots: a colour
// chart and its counterparts on a textured surround that averages to grey,
// under daylight and under indoor tungsten light.
#include "engine/analysis/AutoWB_ChromaWt.h"
#include "engine/analysis/EAutoWB.h"

#include "engine/colour/ColorSpaces.h"
#include "support/SyntheticWorkingImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

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
    FDoubleTriple truth;     // the camera's response to the scene's light
    ColorMatrix3x3 camToRomm; // unbalanced, times the gain ratio
};

Shot MakeShot(SyntheticShot which)
{
    SyntheticOptions options;
    options.shot = which;
    SyntheticRaw raw = MakeSyntheticRaw(options);
    WorkingImage image = MakeSyntheticWorkingImage(raw);
    const SyntheticTruth& t = raw.truth;
    const double level = t.saturation - *std::max_element(t.darkLevel.begin(), t.darkLevel.end());
    const double bv = GreyWorldBrightness(kAperture, t.exposureSeconds, 0.0, t.gainRatio);
    ColorMatrix3x3 camToRomm;
    BuildWorkingSpaceMatrix(camToRomm, CamToXYZOf(t), FDoubleTriple(-1, -1, -1), t.gainRatio, 0.0);
    const FDoubleTriple truth = NeutralOf(t.sceneNeutral);
    return {std::move(raw), std::move(image), level, bv, truth, camToRomm};
}

// The neutral moved in ROMM by the factors on red and blue: the warm
// rendering both estimators give bright scenes on purpose.
FDoubleTriple Tinted(const Shot& shot, double red, double blue)
{
    ColorMatrix3x3 fromRomm;
    ColorMatrixInverse(fromRomm, shot.camToRomm);
    FDoubleTriple p, n;
    ColorMatrixApply(p, shot.camToRomm, shot.truth);
    p.r *= red;
    p.b *= blue;
    return Normalised(ColorMatrixApply(n, fromRomm, p));
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

const SyntheticShot kShots[] = {SyntheticShot::DaylightIso100, SyntheticShot::TungstenIso100};

} // namespace

// The daylight shot (brightness 6.9) is lit by D65, the tungsten shot
// (brightness 3.0, indoors) by a 3200 K lamp; both lights lie inside the
// polygons of plausible neutrals their brightness chooses. What remains of
// the error is the camera's own: its vignetting darkens blue towards the
// corners more than red (about 1 %), and the estimators see it.
TEST(AutoWhiteBalanceSyntheticTest, ChromaWeightedEstimateRecoversTheTrueNeutralOfEachShot)
{
    std::vector<FDoubleTriple> estimates;
    for (SyntheticShot which : kShots) {
        const Shot shot = MakeShot(which);
        // The shift towards warm grows from brightness 3.2 to 5.7.
        const double t = std::clamp((shot.bv - 3.2) / 2.5, 0.0, 1.0);
        const FDoubleTriple expected = Tinted(shot, 1.0 - double(0.02f) * t, 1.0 + double(0.08f) * t);
        estimates.push_back(ChromaWeighted(shot));
        EXPECT_LT(Difference(estimates.back(), expected), 0.02) << ShotName(which);
    }
    // The two lights are far apart: the bound above tells them apart.
    EXPECT_GT(Difference(estimates[0], estimates[1]), 0.4);
}

// The scene averages to grey by area and by colours (each chart colour has a
// counterpart of the same area that completes it to grey; the background's
// hues come in opposite pairs), so each of the three grey-world estimates
// finds the light; the final one is the squashed estimate, held inside the
// polygons and rendered slightly warm (red x 0.98, blue x 1.08 in ROMM).
TEST(AutoWhiteBalanceSyntheticTest, GreyWorldEstimatesRecoverTheTrueNeutralOfEachShot)
{
    for (SyntheticShot which : kShots) {
        const Shot shot = MakeShot(which);
        FGreyWorldWBParams params;
        params.pImage = shot.image.get();
        std::fill(std::begin(params.adLevel), std::end(params.adLevel), shot.level);
        params.dFNumber = kAperture;
        params.dShutter = shot.raw.truth.exposureSeconds;
        params.dGainRatio = shot.raw.truth.gainRatio;
        params.mCamToROMM = shot.camToRomm;
        EAutoWB estimator(params);
        const FDoubleTriple result = estimator.Estimate();
        for (const FDoubleTriple& estimate :
             {estimator.m_GreyWorld1, estimator.m_GreyWorld2, estimator.m_Squashed})
            EXPECT_LT(Difference(estimate, shot.truth), 0.02) << ShotName(which);
        EXPECT_LT(Difference(result, Tinted(shot, 0.98, 1.08)), 0.02) << ShotName(which);
    }
}
