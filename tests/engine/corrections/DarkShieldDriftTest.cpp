#include "engine/corrections/DarkShieldDrift.h"

#include "support/TestPixmap.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <functional>

using testsupport::TestPixmap;
using testsupport::ThrownMessage;

namespace {

TestPixmap<FPixelClass48SRGB> Image(int32_t w, int32_t h, const std::function<FPixelClass48SRGB(int, int)>& pixelAt)
{
    TestPixmap<FPixelClass48SRGB> image(w, h, 2);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            *image.Get()->GetPixel(x, y) = pixelAt(x, y);
    return image;
}

void ExpectRecord(const double* actual, const FDriftRecord& expected, const char* what)
{
    for (int i = 0; i < 6; ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-12) << what << ", value " << i;
}

} // namespace

TEST(DarkShieldDriftTest, RampSlopesAreTheRiseAcrossARow)
{
    // R rises by 1 per column, G by 2, B falls by 1: W = 8 columns, 3 rows.
    const auto image = Image(8, 3, [](int x, int) { return FPixelClass48SRGB{int16_t(x), int16_t(2 * x), int16_t(-x)}; });
    FDriftRecord record;
    // The whole row: slope (W^2 - 1) / W per unit of rise, means (W - 1) / 2.
    CalculateDrift(record, image.Get(), {0, 0, 8, 3});
    ExpectRecord(record.data(), {63.0 / 8, 126.0 / 8, -63.0 / 8, 3.5, 7, -3.5}, "whole row");
    // Four columns: (w^2 - 1) / W, proportionally less.
    CalculateDrift(record, image.Get(), {2, 1, 6, 3});
    ExpectRecord(record.data(), {15.0 / 8, 30.0 / 8, -15.0 / 8, 3.5, 7, -3.5}, "four columns");
}

TEST(DarkShieldDriftTest, AConstantImageHasNoSlope)
{
    const auto image = Image(5, 4, [](int, int) { return FPixelClass48SRGB{-12, 300, 7}; });
    FDriftRecord record;
    CalculateDrift(record, image.Get(), {1, 0, 4, 4}); // bottom = H is inside
    ExpectRecord(record.data(), {0, 0, 0, -12, 300, 7}, "constant");
}

TEST(DarkShieldDriftTest, EmptyRectanglesGiveZeros)
{
    const auto image = Image(5, 4, [](int, int) { return FPixelClass48SRGB{100, 100, 100}; });
    for (const FIntRect& rect : {FIntRect(3, 1, 3, 4), FIntRect(4, 1, 2, 4), FIntRect(0, 2, 5, 2), FIntRect(5, 0, 5, 1)}) {
        FDriftRecord record;
        record.fill(9.0);
        CalculateDrift(record, image.Get(), rect);
        ExpectRecord(record.data(), {}, "empty");
    }
}

TEST(DarkShieldDriftTest, RefusesMissingImagesAndRectanglesOutsideTheImage)
{
    const auto image = Image(5, 4, [](int, int) { return FPixelClass48SRGB{0, 0, 0}; });
    const FPixmapTemplate<FPixelClass48SRGB> noData(nullptr, 5, 4, 0);
    const char* outOfRange = "Calculate drift: DarkShield out of range";
    struct Case {
        const FPixmapTemplate<FPixelClass48SRGB>* image;
        FIntRect rect;
        const char* message;
    } cases[] = {
        {nullptr, {0, 0, 1, 1}, "CalculateDrift: input image is NULL"},
        {&noData, {0, 0, 1, 1}, "CalculateDrift: Input image has NULL buffer"},
        {image.Get(), {0, 0, 5, 5}, outOfRange}, // bottom = H + 1
        {image.Get(), {0, 4, 5, 4}, outOfRange}, // top = H, even when empty
        {image.Get(), {0, -1, 5, 2}, outOfRange},
        {image.Get(), {-1, 0, 2, 2}, outOfRange},
        {image.Get(), {0, 0, 6, 2}, outOfRange},
    };
    for (const Case& c : cases) {
        FDriftRecord record;
        record.fill(9.0);
        EXPECT_EQ(ThrownMessage([&] { CalculateDrift(record, c.image, c.rect); }), c.message)
            << c.rect.left << "," << c.rect.top << "," << c.rect.right << "," << c.rect.bottom;
        ExpectRecord(record.data(), {}, "cleared before the checks");
    }
}

TEST(DarkShieldDriftTest, PairHoldsTheTopThenTheBottomRecord)
{
    const auto image = Image(6, 6, [](int x, int y) { return FPixelClass48SRGB{int16_t(y < 3 ? 10 : x), 0, 0}; });
    FDriftPair pair;
    CalculateDriftPair(pair, image.Get(), {0, 0, 6, 2}, {0, 4, 6, 6});
    ExpectRecord(pair.data(), {0, 0, 0, 10, 0, 0}, "top");
    ExpectRecord(pair.data() + 6, {35.0 / 6, 0, 0, 2.5, 0, 0}, "bottom");
}
