#include "engine/chroma/HighlightNeutralization.h"

#include "support/WorkingImage.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using testsupport::MakeWorkingImage;
using testsupport::WorkingImage;

namespace {

using Pixel = FPixelClass48SRGB;

std::vector<int> Rgb(const Pixel& p) { return {p.r, p.g, p.b}; }

// The rotating buffers stage 2 keeps for one image.
struct Buffers {
    explicit Buffers(int32_t W) : flags(8, std::vector<uint8_t>(W, 0)), out(3, std::vector<Pixel>(W, Pixel{0, 0, 0}))
    {
        for (int i = 0; i < 3; ++i) {
            rows.apF[i] = flags[i].data();
            rows.apO[i] = out[i].data();
        }
        for (int i = 0; i < 5; ++i)
            rows.apG[i] = flags[3 + i].data();
    }
    std::vector<std::vector<uint8_t>> flags;
    std::vector<std::vector<Pixel>> out;
    HighlightRowBuffers rows;
};

// Every row in order, rows before the first passed as null.
void Neutralize(WorkingImage& image, bool full, const FIntTriple& Lo, const FIntTriple& U, const FIntTriple& N)
{
    const int32_t W = image->m_iColumns;
    Buffers buffers(W);
    for (int32_t y = 0; y < image->GetRows(); ++y) {
        Pixel* rows[5];
        for (int i = 0; i < 5; ++i)
            rows[i] = y - i >= 0 ? image.Get()->GetRow(y - i) : nullptr;
        NeutralizeHighlightRow(rows, buffers.rows, full, W, Lo, U, N);
    }
}

// One pixel in the middle of a five-pixel row, pulled on its own.
Pixel PullOnePixel(Pixel pixel, const FIntTriple& Lo, const FIntTriple& U)
{
    auto image = MakeWorkingImage(5, 1, [&](int32_t x, int32_t) { return x == 2 ? pixel : Pixel{0, 0, 0}; });
    Neutralize(image, false, Lo, U, FIntTriple(1365));
    return image.At(2, 0);
}

} // namespace

TEST(HighlightNeutralizationTest, ClipLevelsFollowTheChannelThatSaturatesFirst)
{
    const struct {
        FDoubleTriple gains;
        float x, r;
        std::vector<int> U, N, Lo;
    } cases[] = {
        {FDoubleTriple(1, 1, 1), 0.01f, 0.5f, {4500, 4500, 4500}, {1365, 1365, 1365}, {3600, 3600, 3600}},
        {FDoubleTriple(1, 1, 1), 0.01f, 1.0f, {4500, 4500, 4500}, {1365, 1365, 1365}, {4050, 4050, 4050}},
        {FDoubleTriple(1, 1, 1), 1.0f, 0.5f, {4500, 4500, 4500}, {1365, 1365, 1365}, {3600, 3600, 3600}},
        {FDoubleTriple(1, 1, 1), 1.5f, 0.5f, {4500, 4500, 4500}, {1365, 1365, 1365}, {2700, 2700, 2700}},
        {FDoubleTriple(1, 1, 1), 3.0f, 0.5f, {4500, 4500, 4500}, {1365, 1365, 1365}, {1800, 1800, 1800}},
        // Red saturates first: s = 4500 / 2; m = 2250 / 2 = 1125.
        {FDoubleTriple(2, 1, 1.5), 0.01f, 0.5f, {4500, 2250, 3375}, {1820, 910, 1365}, {5400, 1800, 3600}},
    };
    for (const auto& c : cases) {
        FIntTriple Lo(0), U(0), N(0);
        HighlightClipLevels(c.gains, FIntTriple(4000), Lo, U, N, c.x, c.r);
        EXPECT_EQ((std::vector<int>{U.r, U.g, U.b}), c.U) << c.x << " " << c.r;
        EXPECT_EQ((std::vector<int>{N.r, N.g, N.b}), c.N) << c.x << " " << c.r;
        EXPECT_EQ((std::vector<int>{Lo.r, Lo.g, Lo.b}), c.Lo) << c.x << " " << c.r;
    }
}

TEST(HighlightNeutralizationTest, PullLiftsTheLowComponentsInsteadOfLoweringAny)
{
    const FIntTriple Lo(500), U(1000); // D = 500
    // S = 5000, targets 1666: deltas (-1334, 666, 666) lifted to (0, 2000, 2000).
    EXPECT_EQ(Rgb(PullOnePixel(Pixel{3000, 1000, 1000}, Lo, U)), (std::vector<int>{3000, 3000, 3000}));
    // At h = D exactly the pull is complete; just above Lo it is next to nothing.
    EXPECT_EQ(Rgb(PullOnePixel(Pixel{4000, 2000, 3000}, FIntTriple(1000), FIntTriple(3000))),
              (std::vector<int>{4000, 4000, 4000}));
    const Pixel slight = PullOnePixel(Pixel{1100, 1000, 1000}, FIntTriple(1000), FIntTriple(3000));
    EXPECT_EQ(slight.r, 1100);
    EXPECT_LE(slight.g - 1000, 1);
    // Halfway up the ramp: w = (1 - 1/4)^2 = 0.5625 of the lift.
    const Pixel half = PullOnePixel(Pixel{2000, 1000, 1000}, FIntTriple(0), FIntTriple(3000)); // h = 1500, D = 3000
    EXPECT_NEAR(half.g, 1000 + 0.5625 * 1000, 2);
    EXPECT_EQ(half.r, 2000);
}

// Red-heavy proportions lift red of a bright pixel beyond the 16-bit range:
// it stops at the working cap instead of wrapping to a dark value. Absurd
// proportions (from absurd gains) must not overflow either.
TEST(HighlightNeutralizationTest, PullStopsAtTheCapInsteadOfWrapping)
{
    const FIntTriple Lo(0), U(20000);
    const struct {
        FIntTriple N;
        Pixel pixel;
    } cases[] = {
        {FIntTriple(1820, 910, 1365), Pixel{22500, 22500, 22500}},
        {FIntTriple(INT32_MAX, INT32_MIN, INT32_MAX), Pixel{30000, 30000, 30000}},
    };
    for (const auto& c : cases) {
        auto image = MakeWorkingImage(5, 1, [&](int32_t x, int32_t) { return x == 2 ? c.pixel : Pixel{0, 0, 0}; });
        Neutralize(image, false, Lo, U, c.N);
        const Pixel pulled = image.At(2, 0);
        EXPECT_EQ(pulled.r, 32000) << c.N.r;
        EXPECT_GE(pulled.g, c.pixel.g) << c.N.r;
        EXPECT_GE(pulled.b, c.pixel.b) << c.N.r;
    }
}

TEST(HighlightNeutralizationTest, NarrowRowsAndSmallLevelRangesAreLeftUnchanged)
{
    const struct { int32_t W; FIntTriple Lo, U; } cases[] = {
        {4, FIntTriple(500), FIntTriple(1000)},
        {9, FIntTriple(990), FIntTriple(1009)}, // D = 19
    };
    for (const auto& c : cases) {
        auto image = MakeWorkingImage(c.W, 6, [](int32_t, int32_t) { return Pixel{3000, 1000, 1000}; });
        Neutralize(image, true, c.Lo, c.U, FIntTriple(1365));
        for (int32_t y = 0; y < 6; ++y)
            for (int32_t x = 0; x < c.W; ++x)
                ASSERT_EQ(Rgb(image.At(x, y)), (std::vector<int>{3000, 1000, 1000})) << c.W;
    }
}

TEST(HighlightNeutralizationTest, ClippedPixelGreysItsNeighbourhoodAndLeavesTheRestAlone)
{
    const Pixel field{1000, 600, 500};
    for (const bool full : {false, true}) {
        auto image = MakeWorkingImage(11, 9, [&](int32_t x, int32_t y) {
            return x == 5 && y == 4 ? Pixel{6000, 3000, 3000} : field;
        });
        Neutralize(image, full, FIntTriple(2000), FIntTriple(4000), FIntTriple(1365));
        // Row 5 is greyed (fully: twice, as row y and then as row y-1; else
        // halfway) and, with 9 rows, not yet smoothed back.
        const int32_t greyOnce = ((1000 + 600 + 500) * 1365) >> 12;
        const int32_t mean = full ? (3 * greyOnce * 1365) >> 12 : greyOnce;
        for (int32_t x = 4; x <= 6; ++x)
            EXPECT_EQ(Rgb(image.At(x, 5)), full ? (std::vector<int>{mean, mean, mean})
                                                 : (std::vector<int>{(1000 + mean) / 2, (600 + mean) / 2,
                                                                     (500 + mean) / 2}))
                << x << " full " << full;
        // Beyond the 5 x 5 neighbourhood without corners nothing moves.
        for (const auto& [x, y] : {std::pair{2, 4}, std::pair{8, 4}, std::pair{3, 2}, std::pair{5, 1}, std::pair{0, 0},
                                   std::pair{10, 8}})
            EXPECT_EQ(Rgb(image.At(x, y)), Rgb(field)) << x << "," << y;
        const Pixel centre = image.At(5, 4);
        EXPECT_LT(std::max({centre.r, centre.g, centre.b}) - std::min({centre.r, centre.g, centre.b}), 3000 / 4);
    }
}

// Scattered highlights of every strength, clipped pixels among them, in
// pictures of a few rows and of many: in any band count, bands shorter than
// the rows a band replays above it included, the picture is the one the
// row-by-row run gives.
TEST(HighlightNeutralizationTest, ImageInBandsEqualsTheRowByRowRun)
{
    const FIntTriple Lo(2000), U(4000), N(1300, 1400, 1396);
    std::mt19937 random(7);
    for (const auto& [W, H] : {std::pair{9, 3}, std::pair{23, 17}, std::pair{31, 131}}) {
        std::vector<Pixel> pixels(size_t(W) * size_t(H));
        const auto level = [&] { return int16_t(random() % 5 == 0 ? 1500 + random() % 4000 : random() % 2500); };
        for (Pixel& p : pixels)
            p = Pixel{level(), level(), level()};
        const auto original = [&] { return MakeWorkingImage(W, H, [&](int32_t x, int32_t y) { return pixels[size_t(y * W + x)]; }); };
        for (const bool full : {false, true}) {
            auto expected = original();
            Neutralize(expected, full, Lo, U, N);
            for (const uint32_t bands : {1u, 2u, 5u, 24u, 200u}) {
                auto banded = original();
                NeutralizeHighlightImage(banded.Get(), full, Lo, U, N, bands);
                for (int32_t y = 0; y < H; ++y)
                    for (int32_t x = 0; x < W; ++x)
                        ASSERT_EQ(Rgb(banded.At(x, y)), Rgb(expected.At(x, y)))
                            << x << "," << y << " in " << W << " x " << H << ", " << bands << " bands, full " << full;
            }
        }
    }
}
