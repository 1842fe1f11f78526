#include "engine/noise/SpotRemoval.h"

#include "support/ThrownMessage.h"
#include "support/WorkingImage.h"

#include <gtest/gtest.h>

#include <vector>

using testsupport::MakeWorkingImage;
using testsupport::ThrownMessage;
using testsupport::WorkingImage;

namespace {

using Pixel = FPixelClass48SRGB;

std::vector<int> Rgb(const Pixel& p) { return {p.r, p.g, p.b}; }

// A field of one colour with the given pixels set.
WorkingImage Field(int32_t W, int32_t H, Pixel field, std::vector<std::pair<std::pair<int, int>, Pixel>> spots)
{
    return MakeWorkingImage(W, H, [&](int32_t x, int32_t y) {
        for (const auto& [at, pixel] : spots)
            if (at.first == x && at.second == y)
                return pixel;
        return field;
    });
}

// Salt and pepper on a textured field: many speckles, some next to each other and on band edges.
WorkingImage SpeckledImage(int32_t W, int32_t H)
{
    return MakeWorkingImage(W, H, [](int32_t x, int32_t y) {
        uint32_t s = static_cast<uint32_t>(x) * 2654435761u ^ static_cast<uint32_t>(y) * 40503u;
        s = s * 1664525u + 1013904223u;
        const int16_t base = static_cast<int16_t>(1500 + 40 * ((x + y) % 7));
        switch (s >> 28) {
        case 0: return Pixel{static_cast<int16_t>(base * 4), base, base};
        case 1: return Pixel{static_cast<int16_t>(base * 3), static_cast<int16_t>(base * 3), static_cast<int16_t>(base * 3)};
        case 2: return Pixel{0, static_cast<int16_t>(base / 2), 0};
        default: return Pixel{base, static_cast<int16_t>(base + 100), static_cast<int16_t>(base - 100)};
        }
    });
}

void DespeckleBoth(WorkingImage& luma, WorkingImage& channels)
{
    DespeckleImage(luma.get(), false);
    DespeckleImage(channels.get(), true);
}

} // namespace

TEST(DespeckleTest, DarkHoleTakesTheFieldColourExactly)
{
    const Pixel field{1000, 1200, 800};
    for (const Pixel hole : {Pixel{0, 0, 0}, Pixel{100, 900, 300}, Pixel{-200, 0, 50}}) {
        auto luma = Field(7, 6, field, {{{3, 2}, hole}});
        auto channels = Field(7, 6, field, {{{3, 2}, hole}});
        DespeckleBoth(luma, channels);
        EXPECT_EQ(Rgb(luma.At(3, 2)), Rgb(field)) << hole.r;
        EXPECT_EQ(Rgb(channels.At(3, 2)), Rgb(field)) << hole.r;
    }
}

TEST(DespeckleTest, PixelsEqualToANeighbourStay)
{
    const Pixel field{1000, 1200, 800};
    const Pixel dark{0, 0, 0};
    const Pixel bright{5000, 5000, 5000};
    // Two-pixel holes and peaks, side by side, stacked or touching at a corner.
    const std::vector<std::vector<std::pair<std::pair<int, int>, Pixel>>> cases = {
        {{{3, 2}, dark}, {{4, 2}, dark}},
        {{{3, 2}, dark}, {{3, 3}, dark}},
        {{{3, 2}, dark}, {{4, 3}, dark}},
        {{{3, 2}, bright}, {{4, 3}, bright}},
    };
    for (const auto& spots : cases) {
        auto channels = Field(7, 6, field, spots);
        DespeckleImage(channels.get(), true);
        for (const auto& [at, pixel] : spots)
            EXPECT_EQ(Rgb(channels.At(at.first, at.second)), Rgb(pixel)) << at.first << "," << at.second;
    }
    // The luma form keeps a hole whose left neighbour is as dark.
    auto luma = Field(7, 6, field, cases[0]);
    DespeckleImage(luma.get(), false);
    EXPECT_EQ(Rgb(luma.At(3, 2)), Rgb(dark));
}

TEST(DespeckleTest, GreyBrightPixelNeedsTwiceTheFieldLuma)
{
    const struct { Pixel field, spot; bool replaced; } cases[] = {
        {{1000, 1000, 1000}, {1999, 1999, 2002}, false}, // luma 7999: not twice 4000
        {{1000, 1000, 1000}, {2001, 2001, 2001}, true},
        {{0, 0, 0}, {2, 2, 2}, false}, // luma 8: the floor of 5, doubled, is 10
        {{0, 0, 0}, {2, 3, 2}, false}, // luma 10
        {{0, 0, 0}, {3, 3, 3}, true},
    };
    for (const auto& c : cases) {
        auto image = Field(5, 5, c.field, {{{2, 2}, c.spot}});
        DespeckleImage(image.get(), false);
        EXPECT_EQ(Rgb(image.At(2, 2)), c.replaced ? Rgb(c.field) : Rgb(c.spot)) << c.spot.r << " on " << c.field.r;
    }
}

TEST(DespeckleTest, ColouredPeakTakesItsNeighbourLimitedTowardsItself)
{
    // Luma 9000 over 6000, red above half the luma plus 10: a strong peak. The
    // green field (1000, 2000, 1000) exceeds the pixel's green and then blue.
    auto image = Field(5, 5, Pixel{1000, 2000, 1000}, {{{2, 2}, Pixel{5000, 1500, 1000}}});
    DespeckleImage(image.get(), false);
    EXPECT_EQ(Rgb(image.At(2, 2)), (std::vector<int>{1313, 1813, 1063}));
}

TEST(DespeckleTest, BorderRowsAndColumnsKeepTheirValues)
{
    const Pixel field{1000, 1000, 1000};
    const Pixel spot{9000, 0, 9000};
    const std::vector<std::pair<std::pair<int, int>, Pixel>> spots = {
        {{0, 2}, spot}, {{6, 3}, spot}, {{3, 0}, spot}, {{2, 5}, spot}, {{0, 0}, spot}};
    for (const bool byChannels : {false, true}) {
        auto image = Field(7, 6, field, spots);
        DespeckleImage(image.get(), byChannels);
        for (const auto& [at, pixel] : spots)
            EXPECT_EQ(Rgb(image.At(at.first, at.second)), Rgb(spot)) << at.first << "," << at.second;
    }
}

TEST(DespeckleTest, BandedRunEqualsOneBand)
{
    for (const auto& [W, H] : {std::pair{41, 37}, std::pair{9, 8}, std::pair{3, 3}, std::pair{5, 17}}) {
        for (const bool byChannels : {false, true}) {
            auto whole = SpeckledImage(W, H);
            if (byChannels)
                DespeckleChannels(whole.get(), 0, static_cast<uint32_t>(H - 1));
            else
                Despeckle(whole.get(), 0, static_cast<uint32_t>(H - 1));
            EXPECT_NE(whole.bytes, SpeckledImage(W, H).bytes) << "the fixture has speckles";
            for (const uint32_t bands : {1u, 3u, 8u}) {
                auto banded = SpeckledImage(W, H);
                DespeckleImage(banded.get(), byChannels, bands);
                EXPECT_EQ(banded.bytes, whole.bytes) << W << "x" << H << " in " << bands << " channels " << byChannels;
            }
        }
    }
}

TEST(DespeckleTest, MissingOrTooSmallImageIsRefused)
{
    auto narrow = Field(2, 5, Pixel{0, 0, 0}, {});
    auto low = Field(5, 2, Pixel{0, 0, 0}, {});
    EXPECT_EQ(ThrownMessage([] { DespeckleImage(nullptr, false); }), "Despeckle: input image ptr is NULL");
    EXPECT_EQ(ThrownMessage([&] { DespeckleImage(narrow.get(), true); }), "Despeckle: input image too small");
    EXPECT_EQ(ThrownMessage([&] { Despeckle(low.get(), 0, 1); }), "Despeckle: input image too small");
}
