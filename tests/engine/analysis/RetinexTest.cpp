#include "engine/analysis/Retinex.h"

#include "engine/core/RowBandLoop.h"
#include "foundation/FException.h"
#include "support/WorkingImage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using testsupport::MakeUniformWorkingImage;
using testsupport::MakeWorkingImage;
using testsupport::TestPixmap;

namespace {

using MonoImage = TestPixmap<FPixelClass16SMono>;

MonoImage MakeMono(int32_t columns, int32_t rows, const std::vector<int16_t>& values)
{
    MonoImage image(columns, rows, 2); // padded rows: the stride is honoured
    for (int32_t y = 0; y < rows; ++y)
        for (int32_t x = 0; x < columns; ++x)
            image.Get()->GetPixel(x, y)->v = values[static_cast<size_t>(y * columns + x)];
    return image;
}

int16_t MonoAt(const MonoImage& image, int32_t x, int32_t y)
{
    return image.At(x, y).v;
}

// The centred log luma of a grey picture of one level: L minus its offset.
int32_t CentredLogLumaOfUniform(int32_t grey)
{
    const int32_t logLuma = static_cast<int32_t>(std::log(std::max(grey, 0) + 30.0) * 1024.0);
    const int32_t offset = logLuma + static_cast<int32_t>((1024.0 * std::log(737.28) - logLuma) * 0.5 + 512.0);
    return logLuma - offset;
}

double ExpectedStrength(double rangeMinimum, double rangeMaximum, double t, double n, int iso)
{
    const double ev = std::log(n * n / t) * 1.44269504;
    const double sv = std::log(iso / 3.125) * 1.44269504;
    const double fill = std::max(0.0, (std::exp(rangeMaximum * 0.001) - std::exp(rangeMinimum * 0.001)) * (ev - sv));
    const double factor = iso < 400 ? 0.08 : 0.04;
    return std::trunc(std::log(1.0 + fill) * factor * 10.0 + 0.5) / 10.0;
}

} // namespace

TEST(RetinexTest, UniformPictureGivesMinusItsCentredLogLuma)
{
    const struct { int32_t width, height; int16_t grey; } cases[] = {
        {37, 23, 737}, {64, 48, 0}, {20, 20, 30000}, {16, 9, -500}, {2, 2, 100}, {1, 9, 900}, {9, 1, 900},
    };
    for (const auto& c : cases) {
        const auto input = MakeUniformWorkingImage(c.width, c.height, c.grey, c.grey, c.grey);
        MonoImage output(c.width, c.height);
        const double strength = ApplyRetinex(input.get(), output.get(), 0.01, 8.0, 100, nullptr);
        EXPECT_EQ(strength, 0.0); // no light range: no fill light
        const int32_t expected = -CentredLogLumaOfUniform(c.grey);
        for (int32_t y = 0; y < c.height; ++y)
            for (int32_t x = 0; x < c.width; ++x)
                ASSERT_EQ(MonoAt(output, x, y), expected) << c.width << "x" << c.height << " at " << x << "," << y;
    }
}

TEST(RetinexTest, SuggestedStrengthFollowsTheLightRangeAndTheIso)
{
    // Dark left half, bright right half in 2 x 2 blocks: the first pyramid
    // level holds exactly the two centred log lumas, its minimum and maximum.
    const auto input = MakeWorkingImage(64, 32, [](int32_t x, int32_t) {
        const int16_t v = x < 32 ? 200 : 3000;
        return FPixelClass48SRGB{v, v, v};
    });
    const int32_t darkLog = static_cast<int32_t>(std::log(230.0) * 1024.0);
    const int32_t brightLog = static_cast<int32_t>(std::log(3030.0) * 1024.0);
    const int32_t mean = (darkLog + brightLog) / 2;
    const int32_t offset = mean + static_cast<int32_t>((1024.0 * std::log(737.28) - mean) * 0.5 + 512.0);
    const double low = darkLog - offset;
    const double high = brightLog - offset;

    const struct { double t; double n; int iso; double expected; } cases[] = {
        {1 / 250.0, 8.0, 100, ExpectedStrength(low, high, 1 / 250.0, 8.0, 100)},
        {1 / 250.0, 8.0, 399, ExpectedStrength(low, high, 1 / 250.0, 8.0, 399)},
        {1 / 250.0, 8.0, 400, ExpectedStrength(low, high, 1 / 250.0, 8.0, 400)},
        {1 / 250.0, 8.0, 799, ExpectedStrength(low, high, 1 / 250.0, 8.0, 799)},
        {1 / 250.0, 8.0, 800, 0.0},  // high ISO: no fill light
        {1.0, 8.0, 100, 0.0},        // long exposure
        {1 / 250.0, 0.4, 100, 0.0},  // no aperture known: EV and Sv both 0
        {0.0, 8.0, 100, 0.0},        // no exposure time known
        {NAN, 8.0, 100, 0.0},
        {1 / 250.0, INFINITY, 100, 0.0},
    };
    EXPECT_DOUBLE_EQ(cases[0].expected, 0.2);
    EXPECT_DOUBLE_EQ(cases[2].expected, 0.1);
    for (const auto& c : cases) {
        MonoImage output(64, 32);
        EXPECT_DOUBLE_EQ(ApplyRetinex(input.get(), output.get(), c.t, c.n, c.iso, nullptr), c.expected)
            << c.t << " " << c.n << " " << c.iso;
    }
}

TEST(RetinexTest, CancelStopsTheWorkAndGivesZero)
{
    const auto input = MakeWorkingImage(64, 32, [](int32_t x, int32_t) {
        const int16_t v = x < 32 ? 200 : 3000;
        return FPixelClass48SRGB{v, v, v};
    });
    MonoImage output(64, 32);
    std::atomic<char> cancel{1};
    EXPECT_EQ(ApplyRetinex(input.get(), output.get(), 1 / 250.0, 8.0, 100, &cancel), 0.0);
}

TEST(RetinexTest, AnyPictureGivesAFiniteResult)
{
    // Random samples of the whole 16-bit range reach every overflow the
    // arithmetic could meet; the sanitizer build proves there is none.
    const auto input = testsupport::MakePixmap(FPixmap::PIXEL_48S_RGB, 203, 67, 7);
    MonoImage output(203, 67);
    EXPECT_TRUE(std::isfinite(ApplyRetinex(input.get(), output.get(), 0.001, 2.8, 100, nullptr)));
}

TEST(RetinexTest, RefusesMismatchedImages)
{
    const auto input = MakeUniformWorkingImage(8, 8, 100, 100, 100);
    MonoImage smaller(8, 7);
    const auto wrongType = testsupport::MakePixmap(FPixmap::PIXEL_16_MONO, 8, 8);
    EXPECT_THROW(ApplyRetinex(input.get(), smaller.get(), 0.01, 4, 100, nullptr), FExceptionPixelProc2);
    EXPECT_THROW(ApplyRetinex(input.get(), wrongType.get(), 0.01, 4, 100, nullptr), FExceptionPixelProc2);
    EXPECT_THROW(ApplyRetinex(smaller.get(), smaller.get(), 0.01, 4, 100, nullptr), FExceptionPixelProc2);
}

TEST(RetinexTest, DownsampleAveragesPairsAndTheOddLastColumn)
{
    const MonoImage in = MakeMono(5, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, -11, -12, -13, -14, -15});
    MonoImage out(3, 2);
    const double mean = RetinexDownsample(*in.get(), *out.get());
    // Row 2 pairs with itself; the odd last column averages columns 3 and 4;
    // the shift is arithmetic.
    const int16_t expected[2][3] = {{4, 6, 7}, {-12, -14, -15}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(MonoAt(out, x, y), expected[y][x]) << x << "," << y;
    EXPECT_DOUBLE_EQ(mean, (4 + 6 + 7 - 12 - 14 - 15) / 6.0);
    MonoImage tooSmall(1, 2);
    EXPECT_THROW(RetinexDownsample(*in.get(), *tooSmall.get()), FException);
}

TEST(RetinexTest, StatsTakeTheMeanOfTruncatedRowMeans)
{
    const MonoImage image = MakeMono(3, 2, {1, 2, 2, -1, -1, -2});
    int32_t minimum = 0;
    int32_t maximum = 0;
    EXPECT_EQ(MonoImageStats(*image.get(), minimum, maximum), 0); // (5 / 3 + -4 / 3) / 2
    EXPECT_EQ(minimum, -2);
    EXPECT_EQ(maximum, 2);
}

TEST(RetinexTest, UpsampleInterpolatesARampAtQuarterPhases)
{
    // Coarse value 64 k at column k: the fine column x lies at coarse
    // (x - 1/2) / 2, so the interpolation gives 32 x - 16 away from the edges.
    const int32_t n = 8;
    std::vector<int16_t> ramp;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < n; ++x)
            ramp.push_back(int16_t(64 * x));
    const MonoImage coarse = MakeMono(n, 4, ramp);
    const MonoImage fine = MakeMono(2 * n + 3, 8, std::vector<int16_t>((2 * n + 3) * 8, 100));
    MonoImage out(2 * n + 3, 8);
    std::vector<int16_t> buffers(RetinexUpsampleBufferWords(n));
    RetinexUpsampleBlend(*coarse.get(), *fine.get(), *out.get(), 0.5, 0.5, buffers.data(), buffers.size());
    for (int32_t y = 0; y < 8; ++y) {
        for (int32_t x = 4; x < 2 * n - 4; ++x)
            EXPECT_EQ(MonoAt(out, x, y), (32 * x - 16 + 100) / 2) << x << "," << y;
        for (int32_t x = 2 * n; x < 2 * n + 3; ++x)
            EXPECT_EQ(MonoAt(out, x, y), MonoAt(out, 2 * n - 1, y)); // beyond the coarse image: repeated
    }
    EXPECT_THROW(RetinexUpsampleBlend(*coarse.get(), *fine.get(), *out.get(), 0.5, 0.5, buffers.data(),
                                      buffers.size() - 1),
                 FException);
}

TEST(RetinexTest, PyramidRefusesATooSmallWorkArea)
{
    const MonoImage image = MakeMono(40, 30, std::vector<int16_t>(1200, 5));
    MonoImage out(40, 30);
    FRetinexStats stats;
    std::vector<int16_t> area(RetinexPyramidWorkWords(40, 30));
    RetinexPyramid(stats, *image.get(), *out.get(), area.data(), area.size());
    EXPECT_EQ(MonoAt(out, 17, 11), 5);
    EXPECT_EQ(stats.iMinimum, 5);
    EXPECT_THROW(RetinexPyramid(stats, *image.get(), *out.get(), area.data(), area.size() - 1), FException);
}

TEST(RetinexTest, GainTableIsCompleteMonotoneAndSaturates)
{
    std::vector<int16_t> entries(0x10000);
    FLUT16 table(entries.data(), 0x10000);
    const struct { double strength; int direction; } cases[] = {{0.5, 1}, {-0.7, -1}, {10.0, 1}};
    for (const auto& c : cases) {
        std::fill(entries.begin(), entries.end(), int16_t(-12345)); // a marker no entry takes
        MakeRetinexGainLUT(table, c.strength, 256);
        EXPECT_EQ(table[0], 256);
        for (int32_t d = -32768; d < 32767; ++d)
            ASSERT_GE(c.direction * (table[d + 1] - table[d]), 0) << c.strength << " at " << d;
        EXPECT_NE(table[-32768], -12345);
        EXPECT_EQ(table[-32768], table[-32767]);
        EXPECT_GT(c.direction * (table[100] - 256), 0);
        EXPECT_GT(c.direction * (256 - table[-100]), 0);
        // Rising entries stop at the truncated limit; falling ones round onto it from above.
        const double limit = std::min(32767.0, std::trunc(256 * std::exp(1.33 * c.strength)));
        EXPECT_NEAR(table[32767], limit, c.direction > 0 ? 0 : 1) << c.strength;
    }
    for (double flat : {0.0, double(NAN), double(INFINITY)}) {
        std::fill(entries.begin(), entries.end(), int16_t(-12345));
        MakeRetinexGainLUT(table, flat, 256);
        for (int32_t d = -32768; d <= 32767; ++d)
            ASSERT_EQ(table[d], 256) << flat << " at " << d;
    }
    FLUT16 small(1024);
    EXPECT_THROW(MakeRetinexGainLUT(small, 0.5, 256), FException);
}

TEST(RetinexTest, BandedResultEqualsOneBand)
{
    const auto noise = testsupport::MakePixmap(FPixmap::PIXEL_48S_RGB, 203, 67, 11);
    const auto scene = MakeWorkingImage(301, 157, [](int32_t x, int32_t y) {
        const int16_t v = static_cast<int16_t>(100 + 7 * x + 50 * (y % 9) + (x > 150 ? 4000 : 0));
        return FPixelClass48SRGB{v, static_cast<int16_t>(v / 2), 300};
    });
    for (const FPixmap* input : {noise.get(), scene.get()}) {
        MonoImage banded(input->m_iColumns, input->m_iRows);
        MonoImage single(input->m_iColumns, input->m_iRows);
        const double bandedStrength = ApplyRetinex(input, banded.get(), 0.002, 5.6, 200, nullptr);
        ScopedRowBandCount oneBand(1);
        const double singleStrength = ApplyRetinex(input, single.get(), 0.002, 5.6, 200, nullptr);
        EXPECT_EQ(bandedStrength, singleStrength);
        EXPECT_EQ(banded.Bytes(input->m_iColumns, input->m_iRows), single.Bytes(input->m_iColumns, input->m_iRows));
    }
}

TEST(RetinexTest, CancelledPassWritesNoOutputRow)
{
    const auto input = testsupport::MakePixmap(FPixmap::PIXEL_48S_RGB, 64, 48, 3);
    MonoImage output(64, 48);
    const std::vector<uint8_t> before = output.Bytes(64, 48);
    std::atomic<char> cancel{1};
    EXPECT_EQ(ApplyRetinex(input.get(), output.get(), 1 / 250.0, 8.0, 100, &cancel), 0.0);
    EXPECT_EQ(output.Bytes(64, 48), before);
}
