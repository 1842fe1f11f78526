#include "engine/chroma/SharpenRed.h"

#include "support/WorkingImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

using testsupport::MakeWorkingImage;
using testsupport::WorkingImage;

namespace {

using Pixel = FPixelClass48SRGB;

// The driving stage 2 uses: the bottom row repeats, slot 2 fills the older slots at y = 2.
void Sharpen(WorkingImage& image, int32_t a, int32_t left, int32_t right)
{
    const int32_t W = image->m_iColumns;
    const int32_t H = image->GetRows();
    std::vector<int32_t> slots(5 * static_cast<size_t>(W), 0);
    RedSharpenWindow window;
    for (int i = 0; i < 5; ++i)
        window.apRows[i] = slots.data() + i * W;
    for (int32_t y = 0; y <= H + 1; ++y) {
        if (y == 2)
            for (int i = 0; i < 2; ++i)
                std::memcpy(window.apRows[i], window.apRows[2], sizeof(int32_t) * W);
        SharpenRedRow(image.Get()->GetRow(std::min(y, H - 1)), y >= 2 ? image.Get()->GetRow(y - 2) : nullptr, a,
                      window, W, left, right);
    }
}

WorkingImage RedEdge(int16_t dark, int16_t bright)
{
    return MakeWorkingImage(12, 6, [&](int32_t x, int32_t) { return Pixel{x < 6 ? dark : bright, 700, 800}; });
}

std::vector<int16_t> RedRow(const WorkingImage& image, int32_t y)
{
    std::vector<int16_t> reds;
    for (int32_t x = 0; x < image->m_iColumns; ++x)
        reds.push_back(image.At(x, y).r);
    return reds;
}

} // namespace

TEST(SharpenRedTest, UniformRedIsUnchangedWhateverTheWeights)
{
    for (const auto& [left, right] : {std::pair{0, 0}, std::pair{3000, 1000}, std::pair{0, 4096}}) {
        auto image = MakeWorkingImage(9, 7, [](int32_t, int32_t) { return Pixel{2500, 700, 800}; });
        Sharpen(image, 60, left, right);
        for (int32_t y = 0; y < 7; ++y)
            EXPECT_EQ(RedRow(image, y), std::vector<int16_t>(9, 2500)) << left << " " << right;
    }
}

TEST(SharpenRedTest, EdgeOvershootsOnBothSidesAndOnlyRedMoves)
{
    auto image = RedEdge(1000, 3000);
    Sharpen(image, 60, 2048, 0);
    for (int32_t y = 0; y < 6; ++y) {
        const auto reds = RedRow(image, y);
        EXPECT_EQ(reds.front(), 1000);
        EXPECT_EQ(reds.back(), 3000);
        EXPECT_LT(reds[5], 1000);
        EXPECT_GT(reds[6], 3000);
        for (int32_t x = 0; x < 12; ++x)
            ASSERT_EQ((std::vector<int>{image.At(x, y).g, image.At(x, y).b}), (std::vector<int>{700, 800}));
    }
}

TEST(SharpenRedTest, BothWeightsZeroMeanAnEighthOnTheLeftNeighbour)
{
    auto defaults = RedEdge(1000, 3000);
    auto explicitLeft = RedEdge(1000, 3000);
    auto explicitRight = RedEdge(1000, 3000);
    Sharpen(defaults, 60, 0, 0);
    Sharpen(explicitLeft, 60, 2048, 0);
    Sharpen(explicitRight, 60, 0, 2048);
    EXPECT_EQ(defaults.bytes, explicitLeft.bytes);
    EXPECT_NE(defaults.bytes, explicitRight.bytes);
}

TEST(SharpenRedTest, ResultIsCappedAt32000AndNegativeStrengthSharpensNothing)
{
    auto capped = RedEdge(0, 31000);
    Sharpen(capped, 400, 0, 0);
    EXPECT_EQ(capped.At(6, 3).r, 32000);

    auto negative = RedEdge(1000, 3000);
    const auto before = negative.bytes;
    Sharpen(negative, -60, 0, 0);
    EXPECT_EQ(negative.bytes, before);
}

// Random red in pictures of a few rows and of many: in any band count, bands
// shorter than the window's reach included, the picture is the one the
// row-by-row run gives.
TEST(SharpenRedTest, ImageInBandsEqualsTheRowByRowRun)
{
    std::mt19937 random(11);
    for (const auto& [W, H] : {std::pair{6, 1}, std::pair{17, 4}, std::pair{29, 101}}) {
        std::vector<Pixel> pixels(size_t(W) * size_t(H));
        for (Pixel& p : pixels)
            p = Pixel{int16_t(random() % 30000), int16_t(random() % 4000), 900};
        const auto original = [&] { return MakeWorkingImage(W, H, [&](int32_t x, int32_t y) { return pixels[size_t(y * W + x)]; }); };
        auto expected = original();
        Sharpen(expected, 40, 3000, 1000);
        for (const uint32_t bands : {1u, 2u, 7u, 24u, 200u}) {
            auto banded = original();
            SharpenRedImage(banded.Get(), 40, 3000, 1000, bands);
            for (int32_t y = 0; y < H; ++y)
                ASSERT_EQ(RedRow(banded, y), RedRow(expected, y)) << "row " << y << " of " << H << ", " << bands;
        }
    }
}
