// Fingerprints of the noise-model noise reduction and of the Retinex analysis
// on fixed synthetic pictures, recorded from the reference implementation:
// any change to these kernels (speed work, restructuring, threading) must
// keep every output value, in the engine's bands and in one band alike.
#include "engine/analysis/Retinex.h"
#include "engine/core/RowBandLoop.h"
#include "engine/noise/NoiseModelDenoise.h"
#include "support/WorkingImage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

using testsupport::MakeWorkingImage;
using testsupport::TestPixmap;
using testsupport::WorkingImage;

namespace {

// FNV-1a over bytes.
uint64_t Fingerprint(const std::vector<uint8_t>& bytes, uint64_t hash = 14695981039346656037ull)
{
    for (const uint8_t b : bytes) {
        hash ^= b;
        hash *= 1099511628211ull;
    }
    return hash;
}

uint64_t Fingerprint(const ColorMatrix3x3& matrix, uint64_t hash)
{
    std::vector<uint8_t> bytes(sizeof(matrix.m));
    std::memcpy(bytes.data(), matrix.m, sizeof(matrix.m));
    return Fingerprint(bytes, hash);
}

// Colour patches, dark and bright areas, a hard edge and signal-dependent
// noise; a size that is no multiple of 4, so every edge rule runs.
constexpr int32_t kWidth = 389, kHeight = 293;

WorkingImage NoisyPicture()
{
    static const FPixelClass48SRGB kColours[6] = {{1200, 1200, 1200}, {1800, 900, 700}, {600, 900, 1600},
                                                  {40, 60, 30},       {150, 150, 150},  {3500, 3500, 3500}};
    std::mt19937 random(1919);
    std::normal_distribution<float> normal(0.0f, 1.0f);
    return MakeWorkingImage(kWidth, kHeight, [&](int32_t x, int32_t y) {
        const FPixelClass48SRGB c = kColours[(x / 53 + 3 * (y / 61)) % 6];
        auto noisy = [&](int16_t v) {
            return static_cast<int16_t>(std::lround(v + std::sqrt(25.0f + std::fabs(float(v))) * normal(random)));
        };
        return FPixelClass48SRGB{noisy(c.r), noisy(c.g), noisy(c.b)};
    });
}

struct DenoiseCase {
    int32_t factor;
    int32_t constantIterations;
    bool autoWhiteBalance;
    bool fullWindow;
    uint64_t expected;
};

uint64_t DenoiseFingerprint(const DenoiseCase& c, uint32_t bands)
{
    WorkingImage image = NoisyPicture();
    NewDenoiseSettings settings;
    settings.iDownSampleFactor = c.factor;
    const float model[6] = {25, 25, 25, 1, 1, 1};
    std::copy(model, model + 6, settings.afColorNoiseModel);
    settings.afIntensityNoiseModel[0] = 2.0f;
    settings.afIntensityNoiseModel[1] = 0.02f;
    settings.iResidualAnisoDiffIters = c.constantIterations;
    settings.iNoiseModelDiffIters = 2;
    settings.iLocalMeanIters = 2;
    if (c.fullWindow) {
        settings.bSubSampleKernel = false;
        settings.iWindowSize = 7;
    }
    const double strengths[3] = {12, 12, 12};
    const float gains[3] = {1.8f, 1.0f, 1.4f};
    ColorMatrix3x3 matrix{{0.9, 0.2, -0.1, 0.3, 0.8, -0.05, 0.01, -0.2, 1.1}};
    const NoiseReductionNeutralEstimator estimator = [](const FloatRGBPixmap& grid, double, bool,
                                                        const ColorMatrix3x3&, double, bool) {
        // Depends on the grid, so the small image's values reach the fingerprint.
        const FPixelClassFlt32RGB p = grid.GetRow(grid.m_iRows / 2)[grid.m_iColumns / 2];
        return FDoubleTriple(1.0 + p.r / 1e5, 1.0, 1.0 + p.b / 1e5);
    };
    NoiseModelDenoise(image.get(), &settings, &matrix, strengths, 16, 1.5f, gains, c.autoWhiteBalance, 6.0, 0, 1,
                      estimator, bands);
    return Fingerprint(matrix, Fingerprint(image.Bytes(kWidth, kHeight)));
}

} // namespace

TEST(NoiseReductionFingerprintThreadTest, DenoiseKeepsEveryOutputValue)
{
    const DenoiseCase cases[] = {
        {1, 0, false, false, 4047436359937050964ull},
        {1, 2, false, false, 2832998084399544866ull},
        {2, 0, false, false, 15557353202659038897ull},
        {2, 2, false, false, 2477527546806255812ull},
        {4, 0, false, false, 7163362982900344049ull},
        {4, 2, false, false, 2530798836958166419ull},
        {2, 1, true, false, 107838101260595997ull},
        {4, 1, true, true, 7246903080875826089ull},
    };
    for (const DenoiseCase& c : cases) {
        const uint64_t banded = DenoiseFingerprint(c, kRowBandCount);
        EXPECT_EQ(banded, c.expected) << "factor " << c.factor << " constant " << c.constantIterations << " awb "
                                      << c.autoWhiteBalance << " full window " << c.fullWindow;
        EXPECT_EQ(DenoiseFingerprint(c, 1), banded) << "factor " << c.factor;
    }
}

TEST(NoiseReductionFingerprintThreadTest, RetinexKeepsEveryOutputValue)
{
    // Large enough that the passes run in bands.
    constexpr int32_t kColumns = 517, kRows = 389;
    std::mt19937 random(146);
    std::uniform_int_distribution<int> noise(-300, 300);
    const WorkingImage input = MakeWorkingImage(kColumns, kRows, [&](int32_t x, int32_t y) {
        const int32_t light = (x > 250 ? 9000 : 700) + 13 * y + ((x / 17 + y / 23) % 3) * 400;
        return FPixelClass48SRGB{int16_t(light + noise(random)), int16_t(light / 2 + noise(random)),
                                 int16_t(light / 3 + noise(random))};
    });
    auto run = [&] {
        TestPixmap<FPixelClass16SMono> output(kColumns, kRows, 6);
        const double strength = ApplyRetinex(input.get(), output.get(), 1 / 125.0, 4.0, 100, nullptr);
        std::vector<uint8_t> bytes = output.Bytes(kColumns, kRows);
        bytes.push_back(static_cast<uint8_t>(std::lround(strength * 10)));
        return Fingerprint(bytes);
    };
    const uint64_t banded = run();
    EXPECT_EQ(banded, 9939573387026992411ull);
    ScopedRowBandCount oneBand(1);
    EXPECT_EQ(run(), banded);
}
