#include "engine/noise/FIRNoiseReduction.h"

#include "support/WorkingImage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

using testsupport::MakeUniformWorkingImage;
using testsupport::MakeWorkingImage;
using testsupport::WorkingImage;

namespace {

using Pixel = FPixelClass48SRGB;

// The stage's settings at low ISO.
struct Settings {
    float proportionRef = 0.0011f, proportionEdgeRef = 0.0019f, proportionImage = 0.019f, locality = 1.0f;
    float sigmoidOffset = 0.55f, scaleEdge = 5.0f, scaleLocalMean = 7.0f, exponent = 0.7f;
    float gain = 1.0f, b = 1.0f;
};

void Reduce(WorkingImage& A, WorkingImage& B, const Settings& s = {}, uint32_t bands = kRowBandCount,
            bool ownWorkArea = true)
{
    std::vector<float> area(FIRWorkAreaBytes(B->m_iColumns, B->GetRows()) / sizeof(float));
    FIRNoiseReduction(A.get(), B.get(), s.proportionRef, s.proportionEdgeRef, s.proportionImage, s.locality,
                      s.sigmoidOffset, s.scaleEdge, s.scaleLocalMean, s.exponent, 1, s.gain, s.b,
                      ownWorkArea ? area.data() : nullptr, ownWorkArea ? area.size() * sizeof(float) : 0, bands);
}

constexpr int32_t kW = 192;
constexpr int32_t kH = 128;
constexpr int32_t kEdge = 96;

// Two flat colours meeting at a vertical edge, with Gaussian noise of the given spread.
WorkingImage NoisyEdge(double sigma, uint32_t seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, sigma);
    return MakeWorkingImage(kW, kH, [&](int32_t x, int32_t) {
        const Pixel clean = x < kEdge ? Pixel{2000, 2400, 1800} : Pixel{6000, 6600, 5200};
        auto noisy = [&](int16_t v) { return static_cast<int16_t>(std::lround(v + noise(random))); };
        return Pixel{noisy(clean.r), noisy(clean.g), noisy(clean.b)};
    });
}

double Spread(const WorkingImage& image, int32_t x0, int32_t x1)
{
    double sum = 0.0, squares = 0.0;
    int n = 0;
    for (int32_t y = 8; y < kH - 8; ++y)
        for (int32_t x = x0; x < x1; ++x) {
            const double v = image.At(x, y).g;
            sum += v, squares += v * v, ++n;
        }
    const double mean = sum / n;
    return std::sqrt(squares / n - mean * mean);
}

double ColumnMean(const WorkingImage& image, int32_t x)
{
    double sum = 0.0;
    for (int32_t y = 0; y < kH; ++y)
        sum += image.At(x, y).g;
    return sum / kH;
}

std::vector<int16_t> AllComponents(const WorkingImage& image)
{
    std::vector<int16_t> values;
    for (int32_t y = 0; y < image->GetRows(); ++y)
        for (int32_t x = 0; x < image->m_iColumns; ++x)
            values.insert(values.end(), {image.At(x, y).r, image.At(x, y).g, image.At(x, y).b});
    return values;
}

} // namespace

TEST(FIRNoiseReductionTest, NoiseHalvesOnFlatPatchesWhileTheEdgeKeepsItsContrast)
{
    // The reference carries a quarter of the image's noise, as the image
    // before a colour matrix that amplifies it does.
    auto A = NoisyEdge(200.0, 1);
    auto B = NoisyEdge(50.0, 2);
    const double before[2] = {Spread(A, 16, kEdge - 16), Spread(A, kEdge + 16, kW - 16)};
    const double contrastBefore = ColumnMean(A, kEdge) - ColumnMean(A, kEdge - 1);
    Reduce(A, B);
    const double after[2] = {Spread(A, 16, kEdge - 16), Spread(A, kEdge + 16, kW - 16)};
    const double contrastAfter = ColumnMean(A, kEdge) - ColumnMean(A, kEdge - 1);
    EXPECT_LT(after[0], before[0] / 2) << before[0];
    EXPECT_LT(after[1], before[1] / 2) << before[1];
    EXPECT_GT(contrastAfter, 0.9 * contrastBefore);
    EXPECT_NEAR(ColumnMean(A, 40), 2400, 40);
    EXPECT_NEAR(ColumnMean(A, 150), 6600, 60);
}

TEST(FIRNoiseReductionTest, BandedRunEqualsOneBandWithOrWithoutTheWorkArea)
{
    auto A1 = NoisyEdge(200.0, 3), B1 = NoisyEdge(50.0, 4);
    Reduce(A1, B1, {}, 1, true);
    EXPECT_NE(A1.bytes, NoisyEdge(200.0, 3).bytes);
    for (const auto& [bands, ownArea] : {std::pair{8u, true}, std::pair{8u, false}, std::pair{3u, false}}) {
        auto A = NoisyEdge(200.0, 3), B = NoisyEdge(50.0, 4);
        Reduce(A, B, {}, bands, ownArea);
        EXPECT_EQ(A.bytes, A1.bytes) << bands << " " << ownArea;
        EXPECT_EQ(B.bytes, B1.bytes) << bands << " " << ownArea;
    }
}

TEST(FIRNoiseReductionTest, InputsAreClampedIntoTheLogTableRange)
{
    // b = 1: N = 24000 (36000 would exceed the limit); b = 3: N = 12000.
    for (const auto& [b, N] : {std::pair{1.0f, 24000}, std::pair{3.0f, 12000}}) {
        auto image = [] {
            return MakeWorkingImage(9, 9, [](int32_t x, int32_t) {
                return x % 3 == 0 ? Pixel{0, -700, 30000} : (x % 3 == 1 ? Pixel{1, 12000, 23999} : Pixel{500, 600, 700});
            });
        };
        auto A = image(), B = image();
        Settings s;
        s.b = b;
        Reduce(A, B, s);
        for (int32_t x = 0; x < 3; ++x) {
            const Pixel expected = x == 0 ? Pixel{1, 1, static_cast<int16_t>(N - 1)}
                                          : (x == 1 ? Pixel{1, static_cast<int16_t>(std::min(12000, N - 1)),
                                                            static_cast<int16_t>(std::min(23999, N - 1))}
                                                    : Pixel{500, 600, 700});
            EXPECT_EQ((std::vector<int>{B.At(x, 4).r, B.At(x, 4).g, B.At(x, 4).b}),
                      (std::vector<int>{expected.r, expected.g, expected.b}))
                << "b " << b << " column " << x;
        }
    }
}

TEST(FIRNoiseReductionTest, OutputStaysInsideItsRangeAndGainAboveSevenActsAsSeven)
{
    const struct { float gain, b; } cases[] = {{10.0f, 0.5f}, {7.0f, 0.5f}, {-3.0f, 1.0f}, {1.0f, 1.0f}};
    std::vector<int16_t> atSeven;
    for (const auto& c : cases) {
        auto A = NoisyEdge(3000.0, 5), B = NoisyEdge(800.0, 6);
        Settings s;
        s.gain = c.gain;
        s.b = c.b;
        Reduce(A, B, s);
        const auto values = AllComponents(A);
        EXPECT_GE(*std::min_element(values.begin(), values.end()), -500) << c.gain;
        EXPECT_LE(*std::max_element(values.begin(), values.end()), 24000) << c.gain;
        if (c.gain >= 7.0f) {
            if (atSeven.empty()) {
                atSeven = values;
            } else {
                EXPECT_EQ(values, atSeven);
            }
            EXPECT_EQ(*std::max_element(values.begin(), values.end()), 24000) << "the cap is reached";
        }
        if (c.gain < 0.0f) {
            EXPECT_EQ(*std::min_element(values.begin(), values.end()), -500) << "the floor is reached";
        }
    }
}

TEST(FIRNoiseReductionTest, FlatImageStaysFlat)
{
    // No gradient anywhere: the variance is 0 and the weights must still be numbers.
    auto A = MakeUniformWorkingImage(40, 30, 3000, 3500, 2500);
    auto B = MakeUniformWorkingImage(40, 30, 3000, 3500, 2500);
    Reduce(A, B);
    for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 40; ++x) {
            const Pixel p = A.At(x, y);
            ASSERT_NEAR(p.r, 3000, 3);
            ASSERT_NEAR(p.g, 3500, 3);
            ASSERT_NEAR(p.b, 2500, 3);
        }
}

TEST(FIRNoiseReductionTest, UnusableInputsLeaveBothImagesUnchanged)
{
    const struct { int32_t wA, hA, wB, hB; float b; } cases[] = {
        {2, 40, 2, 40, 1.0f}, {40, 2, 40, 2, 1.0f}, {40, 30, 41, 30, 1.0f}, {40, 30, 40, 30, 0.0f},
        {40, 30, 40, 30, -1.0f}, {40, 30, 40, 30, 20000.0f},
    };
    for (const auto& c : cases) {
        auto A = MakeUniformWorkingImage(c.wA, c.hA, 0, 30000, 5);
        auto B = MakeUniformWorkingImage(c.wB, c.hB, 0, 30000, 5);
        const auto beforeA = A.bytes, beforeB = B.bytes;
        Settings s;
        s.b = c.b;
        Reduce(A, B, s);
        EXPECT_EQ(A.bytes, beforeA) << c.wA << "x" << c.hA << " b " << c.b;
        EXPECT_EQ(B.bytes, beforeB) << c.wB << "x" << c.hB << " b " << c.b;
    }
}
