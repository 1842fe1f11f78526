#include "engine/geometry/ResizeDisplayPixmap.h"

#include "support/TestPixmap.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace testsupport;

namespace {

using DisplayImage = TestPixmap<FPixelClass32BGRA>;

template <class Paint>
DisplayImage MakeDisplay(int32_t columns, int32_t rows, Paint&& paint)
{
    DisplayImage image(columns, rows, 8);
    for (int32_t y = 0; y < rows; ++y)
        for (int32_t x = 0; x < columns; ++x)
            *image.Get()->GetPixel(x, y) = paint(x, y);
    return image;
}

DisplayImage Flat(int32_t columns, int32_t rows, FPixelClass32BGRA colour)
{
    return MakeDisplay(columns, rows, [&](int32_t, int32_t) { return colour; });
}

FPixelClass32BGRA Noise(int32_t x, int32_t y)
{
    const uint32_t h = uint32_t(x) * 2654435761u ^ uint32_t(y) * 40503u;
    return {uint8_t(h), uint8_t(h >> 8), uint8_t(h >> 16), uint8_t(h >> 24)};
}

bool Same(const FPixelClass32BGRA& a, const FPixelClass32BGRA& b)
{
    return a.b == b.b && a.g == b.g && a.r == b.r && a.a == b.a;
}

void Resize(DisplayImage& to, DisplayImage& from)
{
    const FIntRect toRect(0, 0, to->m_iColumns, to->m_iRows);
    const FIntRect fromRect(0, 0, from->m_iColumns, from->m_iRows);
    ResizeDisplayPixmap(to.get(), &toRect, from.get(), &fromRect);
}

} // namespace

// Within 1 % of each weight (and 1 unit for the small ones).
TEST(DisplayResizeWeights, MatchTheTellingRowsAndKeepPhaseZeroSumsAndMirror)
{
    const FDisplayResizeWeights& table = DisplayResizeWeights();
    const struct {
        int phase;
        std::array<int32_t, 4> weights;
    } telling[] = {{0, {0, 0, 32768, 0}},
                   {1, {-13, 143, 32776, -138}},
                   {16, {-232, 2916, 31727, -1644}},
                   {32, {-565, 7096, 28465, -2227}},
                   {48, {-1037, 12271, 23626, -2092}},
                   {64, {-1601, 17985, 17985, -1601}},
                   {127, {-138, 32776, 143, -13}}};
    for (const auto& row : telling)
        for (int t = 0; t < 4; ++t)
            EXPECT_NEAR(table[row.phase][t], row.weights[t], std::max(1.0, std::abs(row.weights[t]) / 100.0))
                << "phase " << row.phase << " tap " << t;
    EXPECT_EQ(table[0], (std::array<int32_t, 4>{0, 0, 32768, 0}));
    for (int k = 0; k < 128; ++k) {
        EXPECT_EQ(table[k][0] + table[k][1] + table[k][2] + table[k][3], 32768) << k;
        if (k == 0)
            continue;
        for (int t = 0; t < 4; ++t)
            EXPECT_EQ(table[128 - k][t], table[k][3 - t]) << k;
    }
}

TEST(ResizeDisplayPixmap, EqualRectanglesCopyWithAlpha)
{
    DisplayImage source = MakeDisplay(5, 3, Noise);
    DisplayImage target(5, 3);
    Resize(target, source);
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 5; ++x)
            EXPECT_TRUE(Same(target.At(x, y), source.At(x, y))) << x << "," << y;
}

// 4 x 4 onto 2 x 2 samples at 0 and 1.5 in both directions with weights that
// sum to 32767: white becomes 253, and the second column mixes columns 1 and
// 2 half and half.
TEST(ResizeDisplayPixmap, BilinearShrinkTurnsWhiteTo253)
{
    DisplayImage white = Flat(4, 4, {255, 255, 255, 0});
    DisplayImage target(2, 2);
    Resize(target, white);
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 2; ++x)
            EXPECT_TRUE(Same(target.At(x, y), {253, 253, 253, 255})) << x << "," << y;

    DisplayImage edge = MakeDisplay(4, 4, [](int32_t x, int32_t) {
        return FPixelClass32BGRA{uint8_t(x >= 2 ? 254 : 0), 0, 0, 0};
    });
    Resize(target, edge);
    EXPECT_EQ(target.At(0, 0).b, 0);
    EXPECT_EQ(target.At(1, 0).b, ((254 * 16384) >> 15) * 32767 >> 15);
}

// 8 x 4 onto 4 x 4: step 1.75, so columns 0, 1, 3 and 5, whole pixels.
TEST(ResizeDisplayPixmap, ShrinkingOneAxisPicksWholePixels)
{
    DisplayImage source = MakeDisplay(8, 4, Noise);
    DisplayImage target(4, 4);
    Resize(target, source);
    const int32_t columns[] = {0, 1, 3, 5};
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 4; ++x)
            EXPECT_TRUE(Same(target.At(x, y), source.At(columns[x], y))) << x << "," << y;

    DisplayImage tall = MakeDisplay(3, 8, Noise);
    DisplayImage rows(3, 4);
    Resize(rows, tall);
    for (int32_t y = 0; y < 4; ++y)
        EXPECT_TRUE(Same(rows.At(2, y), tall.At(2, columns[y]))) << y;
}

// Walking from the last pixel with phase 0 there: 3 onto 5 puts source pixels
// 0, 1 and 2 unchanged at 0, 2 and 4.
TEST(ResizeDisplayPixmap, EnlargementCopiesWherePhaseIsZeroAndKeepsThePicturesPlace)
{
    DisplayImage source = MakeDisplay(3, 3, Noise);
    DisplayImage wide(5, 3), tall(3, 5), both(5, 5);
    Resize(wide, source);
    Resize(tall, source);
    Resize(both, source);
    for (int32_t i = 0; i < 3; ++i)
        for (int32_t j = 0; j < 3; ++j) {
            EXPECT_TRUE(Same(wide.At(2 * i, j), source.At(i, j))) << i << "," << j;
            EXPECT_TRUE(Same(tall.At(j, 2 * i), source.At(j, i))) << i << "," << j;
            EXPECT_TRUE(Same(both.At(2 * i, 2 * j), source.At(i, j))) << i << "," << j;
        }
}

// Every combination of the two axes writes the whole destination rectangle
// and keeps a flat colour (bilinear shrinking loses up to 2 codes, and its
// alpha is 255).
TEST(ResizeDisplayPixmap, EveryAxisCombinationKeepsAFlatColour)
{
    const FPixelClass32BGRA colour{10, 100, 200, 255};
    const auto tolerance = [](int32_t sw, int32_t sh, int32_t dw, int32_t dh) {
        return sw > dw && sh > dh ? 2 : 0;
    };
    const int32_t sizes[] = {7, 13, 20};
    for (int32_t dw : sizes)
        for (int32_t dh : sizes) {
            SCOPED_TRACE(testing::Message() << "13x13 onto " << dw << "x" << dh);
            DisplayImage source = Flat(13, 13, colour);
            DisplayImage target(dw, dh);
            Resize(target, source);
            for (int32_t y = 0; y < dh; ++y)
                for (int32_t x = 0; x < dw; ++x) {
                    const FPixelClass32BGRA& p = target.At(x, y);
                    const int32_t slack = tolerance(13, 13, dw, dh);
                    ASSERT_NEAR(p.b, 10, slack) << x << "," << y;
                    ASSERT_NEAR(p.g, 100, slack) << x << "," << y;
                    ASSERT_NEAR(p.r, 200, slack) << x << "," << y;
                    ASSERT_EQ(p.a, 255) << x << "," << y;
                }
        }
}

// A destination rectangle a quarter of its width beyond the pixmap loses that
// quarter, and the source rectangle the matching quarter.
TEST(ResizeDisplayPixmap, ClippingMovesTheOtherRectangleInProportion)
{
    DisplayImage source = MakeDisplay(8, 4, Noise);
    DisplayImage target(8, 4);
    const std::vector<uint8_t> before = target.bytes;
    FIntRect to(2, 0, 10, 4), from(0, 0, 8, 4);
    ASSERT_TRUE(ClipResizeRects(to, *target.pixmap, from, *source.pixmap));
    EXPECT_EQ(to.left, 2);
    EXPECT_EQ(to.right, 8);
    EXPECT_EQ(from.left, 0);
    EXPECT_EQ(from.right, 6);

    const FIntRect callerTo(2, 0, 10, 4), callerFrom(0, 0, 8, 4);
    ResizeDisplayPixmap(target.get(), &callerTo, source.get(), &callerFrom);
    EXPECT_EQ(callerTo.right, 10) << "the caller's rectangle is not changed";
    for (int32_t y = 0; y < 4; ++y) {
        for (int32_t x = 0; x < 6; ++x)
            EXPECT_TRUE(Same(target.At(2 + x, y), source.At(x, y))) << x << "," << y;
        EXPECT_EQ(std::memcmp(&target.At(0, y), &before[size_t(y) * 40], 8), 0) << "left of the rectangle";
    }

    FIntRect left(-4, 0, 4, 4), wholeSource(0, 0, 8, 4);
    ASSERT_TRUE(ClipResizeRects(left, *target.pixmap, wholeSource, *source.pixmap));
    EXPECT_EQ(wholeSource.left, 4);
    EXPECT_FALSE(ClipResizeRects(left = FIntRect(8, 0, 12, 4), *target.pixmap, wholeSource, *source.pixmap));
    EXPECT_FALSE(ClipResizeRects(left = FIntRect(0, 0, 0, 4), *target.pixmap, wholeSource, *source.pixmap));
}

// Rectangles whose sides lie as far apart as the int range allows: their size
// does not fit an int, and the clipping must not wrap it.
TEST(ResizeDisplayPixmap, ClippingRectanglesWiderThanTheIntRange)
{
    DisplayImage source = MakeDisplay(8, 4, Noise);
    DisplayImage target(8, 4);
    FIntRect to(INT_MIN, 0, INT_MAX, 4), from(0, 0, 8, 4);
    ASSERT_TRUE(ClipResizeRects(to, *target.pixmap, from, *source.pixmap));
    EXPECT_EQ(to.left, 0);
    EXPECT_EQ(to.right, 8);
    EXPECT_EQ(from.left, 4); // 2^31 of 2^32 - 1 columns cut: half the source
    EXPECT_EQ(from.right, 5);

    FIntRect wholeTarget(0, 0, 8, 4), huge(INT_MIN, 0, INT_MAX, 4);
    ASSERT_TRUE(ClipResizeRects(wholeTarget, *target.pixmap, huge, *source.pixmap));
    EXPECT_EQ(huge.left, 0);
    EXPECT_EQ(huge.right, 8);
    EXPECT_EQ(wholeTarget.left, 4);
    EXPECT_EQ(wholeTarget.right, 5);
    ResizeDisplayPixmap(target.get(), &wholeTarget, source.get(), &huge);
}

TEST(ResizeDisplayPixmap, WrongTypesAndMissingArgumentsChangeNothing)
{
    DisplayImage source = MakeDisplay(4, 4, Noise);
    DisplayImage target(2, 2);
    TestPixmap<> rgb48 = MakePixmap(FPixmap::PIXEL_48_RGB, 4, 4);
    TestPixmap<> rgb24 = MakePixmap(FPixmap::PIXEL_24_RGB, 2, 2);
    const std::vector<uint8_t> before = target.bytes, before24 = rgb24.bytes;
    const FIntRect rect2(0, 0, 2, 2), rect4(0, 0, 4, 4);
    ResizeDisplayPixmap(target.get(), &rect2, rgb48.get(), &rect4);
    ResizeDisplayPixmap(rgb24.get(), &rect2, source.get(), &rect4);
    ResizeDisplayPixmap(target.get(), nullptr, source.get(), &rect4);
    ResizeDisplayPixmap(target.get(), &rect2, nullptr, &rect4);
    ResizeDisplayPixmap(nullptr, &rect2, source.get(), &rect4);
    EXPECT_EQ(target.bytes, before);
    EXPECT_EQ(rgb24.bytes, before24);
}
