#include "engine/noise/NoiseModelDenoise.h"

#include "engine/colour/ColorSpaces.h"
#include "foundation/FException.h"
#include "support/SyntheticWorkingImage.h"
#include "support/WorkingImage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

using testsupport::MakeUniformWorkingImage;
using testsupport::MakeWorkingImage;
using testsupport::WorkingImage;

namespace {

// The camera matrix whose output matrix is the identity, so the output is on
// the input's scale and colours can be compared directly.
ColorMatrix3x3 IdentityOutputMatrix()
{
    ColorMatrix3x3 xyzToWorking, inverse;
    CreateColorSpaceWhitePoint(xyzToWorking, kColorSpaceProPhoto, kWhitePointD65);
    return ColorMatrixInverse(inverse, xyzToWorking);
}

// The scene is a sensor picture brought up by a signal gain of 16 (ISO 800
// on a sensor of ISO 50): its noise has variance a + b v per channel on the
// image's scale, independent in each channel, and the luminance noise on the
// sensor's scale is about one unit.
constexpr float kSignalGain = 16.0f;
constexpr float kNoiseOffset = 25.0f;
constexpr float kNoiseSlope = 1.0f;

NewDenoiseSettings SceneSettings(int32_t factor)
{
    NewDenoiseSettings settings;
    settings.iDownSampleFactor = factor;
    const float model[9] = {kNoiseOffset, kNoiseOffset, kNoiseOffset, kNoiseSlope, kNoiseSlope, kNoiseSlope, 0, 0, 0};
    std::copy(model, model + 9, settings.afColorNoiseModel);
    settings.afIntensityNoiseModel[0] = 2.0f; // the luminance's edge scale, on the sensor's scale
    settings.afIntensityNoiseModel[1] = 0.02f;
    settings.iResidualAnisoDiffIters = 1;
    return settings;
}

struct Call {
    ColorMatrix3x3 matrix = IdentityOutputMatrix();
    double strengths[3] = {12.0, 12.0, 12.0};
    float signalGain = kSignalGain, outputGain = 1.0f;
    float wbGains[3] = {1.0f, 1.0f, 1.0f};
    bool autoWhiteBalance = false;
    NoiseReductionNeutralEstimator estimator;
    uint32_t bands = kRowBandCount;

    void Run(WorkingImage& image, const NewDenoiseSettings& settings)
    {
        NoiseModelDenoise(image.get(), &settings, &matrix, strengths, signalGain, outputGain, wbGains,
                          autoWhiteBalance, 6.0, 0, 1, estimator, bands);
    }
};

// Flat colour patches on the left, a black/white edge on the right.
struct Scene {
    static constexpr int32_t kWidth = 240, kHeight = 160, kPatch = 40, kEdgeX = 197;
    static constexpr FPixelClass48SRGB kPatches[4] = {
        {1200, 1200, 1200}, {1800, 900, 700}, {600, 900, 1600}, {400, 400, 400}};
    static constexpr int16_t kBlack = 150, kWhite = 3500;

    static FPixelClass48SRGB Clean(int32_t x, int32_t y)
    {
        if (x < 4 * kPatch)
            return kPatches[(x / kPatch + 2 * (y / (kHeight / 2))) % 4];
        const int16_t v = x < kEdgeX ? kBlack : kWhite;
        return {v, v, v};
    }

    static WorkingImage Noisy(uint32_t seed)
    {
        std::mt19937 random(seed);
        std::normal_distribution<float> normal(0.0f, 1.0f);
        return MakeWorkingImage(kWidth, kHeight, [&](int32_t x, int32_t y) {
            const FPixelClass48SRGB c = Clean(x, y);
            auto noisy = [&](int16_t v) {
                return int16_t(std::lround(v + std::sqrt(kNoiseOffset + kNoiseSlope * v) * normal(random)));
            };
            return FPixelClass48SRGB{noisy(c.r), noisy(c.g), noisy(c.b)};
        });
    }
};

// Standard deviation of the two colour differences R - G and B - G over a
// rectangle (right and bottom exclusive).
double ChromaNoise(const WorkingImage& image, const FIntRect& area)
{
    double sum[2] = {}, squares[2] = {};
    int n = 0;
    for (int32_t y = area.top; y < area.bottom; ++y)
        for (int32_t x = area.left; x < area.right; ++x, ++n) {
            const FPixelClass48SRGB p = image.At(x, y);
            const double d[2] = {double(p.r) - p.g, double(p.b) - p.g};
            for (int i = 0; i < 2; ++i) {
                sum[i] += d[i];
                squares[i] += d[i] * d[i];
            }
        }
    double variance = 0;
    for (int i = 0; i < 2; ++i)
        variance += squares[i] / n - (sum[i] / n) * (sum[i] / n);
    return std::sqrt(variance / 2);
}

struct Edge {
    double position; // sub-pixel column where the profile crosses its midpoint
    double contrast; // bright level minus dark level, 3 to 8 pixels from the edge
};

// The luminance profile across a dark-to-bright vertical edge at column
// edgeX, averaged over the rows top to bottom (exclusive).
Edge MeasureEdge(const WorkingImage& image, int32_t edgeX, int32_t top, int32_t bottom)
{
    std::vector<double> p;
    for (int32_t x = edgeX - 10; x <= edgeX + 10; ++x) {
        double sum = 0;
        for (int32_t y = top; y < bottom; ++y) {
            const FPixelClass48SRGB q = image.At(x, y);
            sum += (double(q.r) + q.g + q.b) / 3;
        }
        p.push_back(sum / (bottom - top));
    }
    const int centre = 10;
    double dark = 0, bright = 0;
    for (int i = 3; i <= 8; ++i) {
        dark += p[size_t(centre - i)] / 6;
        bright += p[size_t(centre + i)] / 6;
    }
    const double middle = (dark + bright) / 2;
    double position = NAN;
    for (size_t i = 0; i + 1 < p.size(); ++i)
        if (p[i] < middle && p[i + 1] >= middle) {
            position = double(i) + (middle - p[i]) / (p[i + 1] - p[i]) + edgeX - 10;
            break;
        }
    return {position, bright - dark};
}

Edge MeasureEdge(const WorkingImage& image)
{
    return MeasureEdge(image, Scene::kEdgeX, 10, Scene::kHeight - 10);
}

bool AllSamplesWithin(const WorkingImage& image, int16_t low, int16_t high)
{
    for (int32_t y = 0; y < image->m_iRows; ++y)
        for (int32_t x = 0; x < image->m_iColumns; ++x) {
            const FPixelClass48SRGB p = image.At(x, y);
            for (const int16_t v : {p.r, p.g, p.b})
                if (v < low || v > high)
                    return false;
        }
    return true;
}

} // namespace

TEST(NoiseModelDenoiseTest, ChromaNoiseFallsWhileTheEdgeStays)
{
    const WorkingImage input = Scene::Noisy(800);
    const Edge before = MeasureEdge(input);
    for (const int32_t factor : {1, 2, 4}) {
        WorkingImage image = Scene::Noisy(800);
        Call call;
        call.Run(image, SceneSettings(factor));
        for (int32_t patch = 0; patch < 8; ++patch) {
            const int32_t x0 = (patch % 4) * Scene::kPatch, y0 = (patch / 4) * (Scene::kHeight / 2);
            const FIntRect inside(x0 + 6, y0 + 6, x0 + Scene::kPatch - 6, y0 + Scene::kPatch - 6);
            const double noiseBefore = ChromaNoise(input, inside);
            const double noiseAfter = ChromaNoise(image, inside);
            EXPECT_LT(noiseAfter * 2, noiseBefore) << "factor " << factor << " patch " << patch;
        }
        const Edge after = MeasureEdge(image);
        EXPECT_NEAR(after.position, before.position, 0.5) << "factor " << factor;
        EXPECT_GE(after.contrast, 0.9 * before.contrast) << "factor " << factor;
        // The colours stay where they were: the patches keep their means.
        for (int32_t patch = 0; patch < 4; ++patch) {
            const FPixelClass48SRGB clean = Scene::Clean(patch * Scene::kPatch, 0);
            const FPixelClass48SRGB got = image.At(patch * Scene::kPatch + 20, 20);
            EXPECT_NEAR(got.r, clean.r, 0.08 * clean.r) << factor << " " << patch;
            EXPECT_NEAR(got.b, clean.b, 0.08 * clean.b) << factor << " " << patch;
        }
    }
}

TEST(NoiseModelDenoiseTest, SyntheticCameraIso800ChromaNoiseFallsWhileTheEdgeStays)
{
    // The synthetic camera's ISO 800 shot after the dark subtraction, brought
    // up by its gain ratio to the scale of ISO 100 as stage 2 does; the noise
    // model is the camera's (counts at ISO 800), brought to that scale.
    using namespace testsupport;
    const SyntheticRaw shot = MakeSyntheticRaw([] {
        SyntheticOptions options;
        options.shot = SyntheticShot::DaylightIso800Auto;
        return options;
    }());
    const SyntheticTruth& truth = shot.truth;
    const auto gain = float(truth.gainRatio);
    const WorkingImage counts = MakeSyntheticWorkingImage(shot);
    auto scaled = [&] {
        return MakeWorkingImage(counts->m_iColumns, counts->m_iRows, [&](int32_t x, int32_t y) {
            const FPixelClass48SRGB p = counts.At(x, y);
            return FPixelClass48SRGB{int16_t(p.r * gain), int16_t(p.g * gain), int16_t(p.b * gain)};
        });
    };
    const WorkingImage input = scaled();
    NewDenoiseSettings settings;
    for (int c = 0; c < 3; ++c) {
        settings.afColorNoiseModel[c] = float(truth.readVariance[size_t(c)]) * gain * gain;
        settings.afColorNoiseModel[3 + c] = float(truth.shotVariance[size_t(c)]) * gain;
    }
    // The luminance's edge scale: about twice its noise, on the sensor's scale.
    settings.afIntensityNoiseModel[0] = 3.0f;
    settings.afIntensityNoiseModel[1] = 0.015f;
    settings.iResidualAnisoDiffIters = 1;
    // The user's chroma-noise strength at its top: the range weights fall
    // slowly, as they must at full resolution, where the noise is the model's.
    settings.fNoiseScaling = 0.1f;

    // Output coordinates are offset in the stored frame.
    const int32_t ox = truth.activeArea.left, oy = truth.activeArea.top;
    const Edge before = MeasureEdge(input, ox + truth.edgeColumn, oy + truth.edge.top + 4, oy + truth.edge.bottom - 4);
    for (const int32_t factor : {1, 2, 4}) {
        WorkingImage image = scaled();
        settings.iDownSampleFactor = factor;
        Call call;
        call.signalGain = gain;
        call.Run(image, settings);
        for (const ChartPatch& patch : truth.patches) {
            const FIntRect inside(ox + patch.rect.left + 5, oy + patch.rect.top + 5, ox + patch.rect.right - 5,
                                  oy + patch.rect.bottom - 5);
            const double noiseBefore = ChromaNoise(input, inside), noiseAfter = ChromaNoise(image, inside);
            EXPECT_LT(2 * noiseAfter, noiseBefore) << "factor " << factor << " " << patch.name;
        }
        const Edge after =
            MeasureEdge(image, ox + truth.edgeColumn, oy + truth.edge.top + 4, oy + truth.edge.bottom - 4);
        EXPECT_NEAR(after.position, before.position, 0.5) << "factor " << factor;
        EXPECT_GE(after.contrast, 0.9 * before.contrast) << "factor " << factor;
    }
}

TEST(NoiseModelDenoiseTest, OddSizesHaveNoDarkBorder)
{
    // Sizes that are no multiple of the factor, factors that are no factor
    // (taken as 4) and images smaller than the factor: every pixel of a flat
    // grey stays grey, the last rows and columns included.
    const struct { int32_t width, height, factor; } cases[] = {
        {101, 67, 4}, {101, 67, 2}, {103, 65, 1}, {37, 22, 3}, {37, 22, 0}, {38, 23, -2},
        {3, 5, 4}, {1, 1, 4}, {2, 9, 2}, {5, 1, 4}};
    for (const auto& c : cases) {
        WorkingImage image = MakeUniformWorkingImage(c.width, c.height, 1000, 1000, 1000);
        NewDenoiseSettings settings = SceneSettings(c.factor);
        Call call;
        call.Run(image, settings);
        EXPECT_TRUE(AllSamplesWithin(image, 990, 1010)) << c.width << "x" << c.height << " factor " << c.factor;
    }
    EXPECT_EQ(NoiseReductionFactor(3, 100, 100), 4);
    EXPECT_EQ(NoiseReductionFactor(4, 3, 100), 2);
    EXPECT_EQ(NoiseReductionFactor(2, 100, 1), 1);
}

TEST(NoiseModelDenoiseTest, AutomaticWhiteBalanceMovesTheNeutralIntoTheMatrix)
{
    const ColorMatrix3x3 camera = IdentityOutputMatrix();
    const float gains[3] = {2.0f, 1.0f, 1.5f};
    auto callWith = [&](const NoiseReductionNeutralEstimator& estimator) {
        Call call;
        std::copy(gains, gains + 3, call.wbGains);
        call.autoWhiteBalance = static_cast<bool>(estimator);
        call.estimator = estimator;
        return call;
    };
    // With these gains the red and blue patches have the same luminance: only
    // a strong colour edge map keeps the smoothing from mixing them.
    NewDenoiseSettings settings = SceneSettings(2);
    settings.fEdgeMapScale = 50.0f;
    WorkingImage reference = Scene::Noisy(3);
    Call plain = callWith({});
    plain.Run(reference, settings);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(plain.matrix.m[i], camera.m[i]); // off: the matrix is left alone

    // The estimator finds the red patch (1800, 900, 700) neutral, on the
    // image's scale with the channel gains taken out.
    const FDoubleTriple redPatch(1800.0 / 900 / gains[0], 1.0, 700.0 / 900 / gains[2]);
    for (const FDoubleTriple neutral : {redPatch, FDoubleTriple(0.0, 1.0, 1.0), FDoubleTriple(NAN, 1.0, 1.0),
                                        FDoubleTriple(-1.0, 1.0, 1.0)}) {
        const bool usable = neutral.r > 0;
        int32_t gridColumns = 0, gridRows = 0;
        Call call = callWith([&](const FloatRGBPixmap& grid, double dBv, bool flash, const ColorMatrix3x3& m,
                                 double gain, bool constrain) {
            gridColumns = grid.m_iColumns;
            gridRows = grid.m_iRows;
            EXPECT_EQ(dBv, 6.0);
            EXPECT_FALSE(flash);
            EXPECT_TRUE(constrain);
            EXPECT_EQ(gain, 1.0);
            EXPECT_DOUBLE_EQ(m(0, 0), camera(0, 0) * gains[0]);
            EXPECT_DOUBLE_EQ(m(2, 2), camera(2, 2) * gains[2]);
            return neutral;
        });
        WorkingImage image = Scene::Noisy(3);
        call.Run(image, settings);
        // For k = 2 the grid is the small image reduced 4:1 again.
        EXPECT_EQ(gridColumns, (Scene::kWidth / 2) >> 2);
        EXPECT_EQ(gridRows, (Scene::kHeight / 2) >> 2);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                EXPECT_DOUBLE_EQ(call.matrix(r, c), usable ? camera(r, c) * gains[c] * neutral[c] : camera(r, c));
        const FPixelClass48SRGB red = image.At(Scene::kPatch + 20, 20);
        if (usable) {
            // The red patch is now grey.
            EXPECT_NEAR(red.r, red.g, 0.03 * red.g);
            EXPECT_NEAR(red.b, red.g, 0.03 * red.g);
        } else {
            // Nothing found: the picture is that of no balance.
            for (int32_t y = 0; y < Scene::kHeight; y += 7)
                for (int32_t x = 0; x < Scene::kWidth; x += 7) {
                    ASSERT_NEAR(image.At(x, y).r, reference.At(x, y).r, 1) << x << "," << y;
                    ASSERT_NEAR(image.At(x, y).b, reference.At(x, y).b, 1) << x << "," << y;
                }
        }
    }
}

TEST(NoiseModelDenoiseTest, ConstantKDiffusionIsOptional)
{
    // Without the constant-K diffusion the luminance takes the other path
    // through the two luminance images; both reduce the luminance noise.
    WorkingImage with = Scene::Noisy(5), without = Scene::Noisy(5);
    NewDenoiseSettings settings = SceneSettings(2);
    settings.iResidualAnisoDiffIters = 3;
    settings.iResidualAnisoDiffK = 40;
    Call call;
    call.Run(with, settings);
    settings.iResidualAnisoDiffIters = 0;
    call.Run(without, settings);
    auto lumaNoise = [](const WorkingImage& image) {
        double sum = 0, squares = 0;
        int n = 0;
        for (int32_t y = 10; y < 70; ++y)
            for (int32_t x = 10; x < 30; ++x, ++n) {
                const double v = (image.At(x, y).r + image.At(x, y).g + image.At(x, y).b) / 3.0;
                sum += v;
                squares += v * v;
            }
        return std::sqrt(squares / n - (sum / n) * (sum / n));
    };
    const double noisy = lumaNoise(Scene::Noisy(5));
    EXPECT_LT(lumaNoise(with), lumaNoise(without));
    EXPECT_LT(lumaNoise(without), noisy);
}

TEST(NoiseModelDenoiseTest, BadSettingsGiveFiniteSamplesInRange)
{
    // Variances, edge scales and limits from broken camera data: every sample
    // is still a sound picture value (ASan and UBSan watch the arithmetic).
    auto broken = [](NewDenoiseSettings& s, int variant) {
        switch (variant) {
        case 0: std::fill(s.afColorNoiseModel, s.afColorNoiseModel + 9, 0.0f); break;
        case 1: std::fill(s.afColorNoiseModel, s.afColorNoiseModel + 9, -4.0f); break;
        case 2: s.fEdgeMapScale = -2.0f; s.fNoiseScaling = -1.0f; break;
        case 3: s.iDarkNeutralizeHigh = s.iDarkNeutralizeLow = 7; break;
        case 4: s.iDarkNeutralizeHigh = -5; s.iDarkNeutralizeLow = 50; break;
        case 5: s.fResidualEpsilon = 0.0f; s.fResidualScaling = NAN; break;
        case 6: s.afIntensityNoiseModel[0] = 0.0f; s.afIntensityNoiseModel[1] = -1.0f; s.iResidualAnisoDiffK = 0; break;
        case 7: s.fAnisoLambda = 3.0f; s.fLocalMeanDecay = 4.0f; s.iLocalMeanIters = 3; break;
        case 8: s.fAnisoLambda = NAN; s.fLocalMeanDecay = NAN; s.iWindowSize = -3; break;
        case 9: s.iWindowSize = 1 << 30; s.iNoiseModelDiffIters = 0; s.iResidualAnisoDiffIters = -1; break;
        }
    };
    for (int variant = 0; variant < 10; ++variant)
        for (const int32_t factor : {1, 4}) {
            WorkingImage image = MakeWorkingImage(45, 31, [](int32_t x, int32_t y) {
                return FPixelClass48SRGB{int16_t(x * 700 - 9000), int16_t(y * 1000 - 3000), int16_t((x * y) % 32767)};
            });
            NewDenoiseSettings settings = SceneSettings(factor);
            broken(settings, variant);
            Call call;
            call.strengths[0] = NAN;
            call.Run(image, settings);
            EXPECT_TRUE(AllSamplesWithin(image, -32768, 24000)) << variant;
        }
    // Gains that are no gains count as 1; a wrong pixel type is refused.
    WorkingImage image = MakeUniformWorkingImage(20, 20, 500, 500, 500);
    Call call;
    call.signalGain = 0.0f;
    call.wbGains[1] = -1.0f;
    call.outputGain = NAN;
    call.Run(image, SceneSettings(2));
    EXPECT_TRUE(AllSamplesWithin(image, -32768, 24000));
    testsupport::TestPixmap<FPixelClass48RGB> unsigned48(4, 4);
    NewDenoiseSettings settings;
    EXPECT_THROW(NoiseModelDenoise(unsigned48.get(), &settings, &call.matrix, call.strengths, 1, 1, call.wbGains,
                                   false, 0, 0, 0),
                 FExceptionPixelProc2);
}
