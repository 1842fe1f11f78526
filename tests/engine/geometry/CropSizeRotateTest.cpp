#include "engine/geometry/CropSizeRotate.h"

#include "engine/core/FIPERequest.h"
#include "support/EngineDriver.h"
#include "support/TestPixmap.h"
#include "support/TestSupport.h"
#include "support/ThrownMessage.h"
#include "support/WorkingImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

using MonoImage = TestPixmap<FPixelClass16SMono>;
using DisplayImage = TestPixmap<FPixelClass32BGRA>;

FLUT16 IdentityTable()
{
    FLUT16 table(65536);
    for (int32_t i = 0; i < 65536; ++i)
        table.m_pTable[i] = static_cast<int16_t>(i);
    return table;
}

template <class Paint>
MonoImage MakeMono(int32_t columns, int32_t rows, Paint&& paint)
{
    MonoImage image(columns, rows, 6);
    for (int32_t y = 0; y < rows; ++y)
        for (int32_t x = 0; x < columns; ++x)
            image.Get()->GetPixel(x, y)->v = static_cast<int16_t>(paint(x, y));
    return image;
}

int16_t RandomValue(int32_t x, int32_t y) { return static_cast<int16_t>((x * 7919 + y * 104729) % 9000 - 500); }

WorkingImage RandomWorking(int32_t columns, int32_t rows)
{
    return MakeWorkingImage(columns, rows, [](int32_t x, int32_t y) {
        return FPixelClass48SRGB{RandomValue(x, y), RandomValue(x + 3, y), RandomValue(x, y + 5)};
    });
}

int32_t Luma(const FPixelClass48SRGB& p) { return (5734 * p.r + 9011 * p.g + 1638 * p.b + 8192) >> 14; }

struct StageOutputs {
    StageOutputs(int32_t columns, int32_t rows) : color(columns, rows, 2), lightness(columns, rows, 2) {}
    WorkingImage color;
    MonoImage lightness;
};

// The source pixel a copy of a w x h crop at (left, top) puts at output (c, r).
struct CopyMapping {
    uint32_t rotation;
    int32_t (*x)(int32_t c, int32_t r, int32_t left, int32_t w);
    int32_t (*y)(int32_t c, int32_t r, int32_t top, int32_t h);
    bool turned;
};

const CopyMapping kCopyMappings[] = {
    {0, [](int32_t c, int32_t, int32_t l, int32_t) { return l + c; },
     [](int32_t, int32_t r, int32_t t, int32_t) { return t + r; }, false},
    {90, [](int32_t, int32_t r, int32_t l, int32_t) { return l + r; },
     [](int32_t c, int32_t, int32_t t, int32_t h) { return t + h - 1 - c; }, true},
    {180, [](int32_t c, int32_t, int32_t l, int32_t w) { return l + w - 1 - c; },
     [](int32_t, int32_t r, int32_t t, int32_t h) { return t + h - 1 - r; }, false},
    {270, [](int32_t, int32_t r, int32_t l, int32_t w) { return l + w - 1 - r; },
     [](int32_t c, int32_t, int32_t t, int32_t) { return t + c; }, true},
    {450, [](int32_t, int32_t r, int32_t l, int32_t) { return l + r; },
     [](int32_t c, int32_t, int32_t t, int32_t h) { return t + h - 1 - c; }, true},
};

} // namespace

// ---------------------------------------------------------------------------
// Kernels

TEST(ResampleKernel, RadialOnlyStrictlyBetweenRatiosNinetyAndHundredTenPercent)
{
    struct Case {
        double x, y;
        bool radial;
    } cases[] = {{1.0, 1.0, true}, {0.5, 0.5, true}, {1.05, 1.0, true}, {0.95, 1.0, true},
                 {1.1, 1.0, false}, {0.9, 1.0, false}, {1.0, 0.8, false}, {0.5, 2.0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << " / " << c.y);
        const FResampleKernel chosen = BuildResampleKernel(c.x, c.y);
        const FResampleKernel radial = BuildRadialKernel(c.x, c.y);
        const FResampleKernel separable = BuildSeparableKernel(c.x, c.y);
        ASSERT_NE(radial.m_aWeights, separable.m_aWeights);
        EXPECT_EQ(chosen.m_aWeights, c.radial ? radial.m_aWeights : separable.m_aWeights);
    }
}

TEST(ResampleKernel, SeparableCapsTheSmallerScaleAtPoint8AndTheLargerAt1Point1)
{
    EXPECT_EQ(BuildSeparableKernel(0.5, 2.0).m_aWeights, BuildSeparableKernel(0.5, 1.1).m_aWeights);
    EXPECT_EQ(BuildSeparableKernel(2.0, 0.5).m_aWeights, BuildSeparableKernel(1.1, 0.5).m_aWeights);
    EXPECT_EQ(BuildSeparableKernel(0.9, 1.0).m_aWeights, BuildSeparableKernel(0.8, 1.0).m_aWeights);
    EXPECT_NE(BuildSeparableKernel(1.0, 0.8).m_aWeights, BuildSeparableKernel(1.0, 0.7).m_aWeights);
}

// Every phase keeps the level (sum near 65536) and mirrors the phase on the
// other side of the pixel centre.
TEST(ResampleKernel, PhasesSumToOneAndMirror)
{
    for (const FResampleKernel& kernel :
         {BuildRadialKernel(0.5, 0.5), BuildRadialKernel(3.0, 3.0), BuildSeparableKernel(0.4, 1.0)})
        for (int py = 0; py < 16; ++py)
            for (int px = 0; px < 16; ++px) {
                const int32_t* w = kernel.Phase(px, py);
                const int32_t* mirrored = kernel.Phase(15 - px, py);
                int32_t sum = 0;
                for (int t = 0; t < 16; ++t)
                    sum += w[t];
                ASSERT_NEAR(sum, 65536, 16) << px << "," << py;
                for (int ty = 0; ty < 4; ++ty)
                    for (int tx = 0; tx < 4; ++tx)
                        ASSERT_EQ(w[4 * ty + tx], mirrored[4 * ty + 3 - tx]) << px << "," << py;
            }
}

// ---------------------------------------------------------------------------
// Positions and copy mode

// 1001 pixels onto 501: the first sample is half a pixel into the crop (the
// 1/16 phase centre lies 1/32 further), not at its edge and not one pixel in.
TEST(CropSizeRotate, DownscaleOf1001To501StartsHalfAPixelIntoTheCrop)
{
    const FIntRect crop(10, 10, 1011, 1011);
    const FIntRect window(0, 0, 2, 2);
    MonoImage ramp = MakeMono(1021, 1021, [](int32_t x, int32_t y) { return 16 * x + 16 * y; });
    MonoImage mono(2, 2);
    CropSizeRotateMono(ramp.get(), crop, 0, 0, 501, 501, window, 0, mono.get());
    const double firstSample = 16 * (10 + 8.5 / 16) * 2;
    EXPECT_NEAR(mono.At(0, 0).v, firstSample, 1.5);
    // Scale 501 / 1000: the next sample is 65536 / 0.501 (16.16) further on.
    EXPECT_NEAR(mono.At(1, 0).v, firstSample + 16 * (130810 / 65536.0), 1.5);

    WorkingImage working = MakeWorkingImage(1021, 1021, [](int32_t x, int32_t y) {
        return FPixelClass48SRGB{int16_t(16 * x), int16_t(16 * y), int16_t(8 * x + 8 * y)};
    });
    StageOutputs out(2, 2);
    const FLUT16 identity = IdentityTable();
    const double scale = CropSizeRotateMore(working.get(), crop, 1021, 1021, 501, 501, window, 0, identity,
                                            out.color.get(), out.lightness.get(), 0.0, 0, 0);
    EXPECT_DOUBLE_EQ(scale, 501.0 / 1021.0);
    EXPECT_NEAR(out.color.At(0, 0).r, firstSample / 2, 1.5);
    EXPECT_NEAR(out.color.At(0, 0).g, firstSample / 2, 1.5);
}

TEST(CropSizeRotate, OutputOfTheCropsSizeCopiesForEveryQuarterTurn)
{
    const WorkingImage working = RandomWorking(7, 6);
    const MonoImage mono = MakeMono(7, 6, RandomValue);
    const FLUT16 identity = IdentityTable();
    const FIntRect crop(2, 1, 6, 3); // 4 x 2
    for (const CopyMapping& m : kCopyMappings) {
        SCOPED_TRACE(m.rotation);
        const int32_t w = m.turned ? 2 : 4, h = m.turned ? 4 : 2;
        const FIntRect window(0, 0, w, h);
        StageOutputs out(w, h);
        MonoImage monoOut(w, h);
        EXPECT_EQ(CropSizeRotateMore(working.get(), crop, 7, 6, w, h, window, m.rotation, identity, out.color.get(),
                                     out.lightness.get(), 0.0, 200, 0),
                  1.0);
        CropSizeRotateMono(mono.get(), crop, 7, 6, w, h, window, m.rotation, monoOut.get());
        for (int32_t r = 0; r < h; ++r)
            for (int32_t c = 0; c < w; ++c) {
                const int32_t sx = m.x(c, r, 2, 4), sy = m.y(c, r, 1, 2);
                const FPixelClass48SRGB& expected = working.At(sx, sy);
                EXPECT_EQ(out.color.At(c, r).r, expected.r) << c << "," << r;
                EXPECT_EQ(out.color.At(c, r).g, expected.g) << c << "," << r;
                EXPECT_EQ(out.color.At(c, r).b, expected.b) << c << "," << r;
                EXPECT_EQ(out.lightness.At(c, r).v, Luma(expected)) << c << "," << r;
                EXPECT_EQ(monoOut.At(c, r).v, mono.At(sx, sy).v) << c << "," << r;
            }
    }
}

TEST(CropSizeRotate, DisplayCopiesWithAlphaForEveryQuarterTurn)
{
    TestPixmap<> source = MakePixmap(FPixmap::PIXEL_32_BGRA, 4, 2, 11);
    for (const CopyMapping& m : kCopyMappings) {
        SCOPED_TRACE(m.rotation);
        const int32_t w = m.turned ? 2 : 4, h = m.turned ? 4 : 2;
        DisplayImage out(w, h);
        CropSizeRotate(source.get(), out.get(), w, h, FIntRect(0, 0, w, h), m.rotation);
        const auto* typed = static_cast<const FPixmapTemplate<FPixelClass32BGRA>*>(source.get());
        for (int32_t r = 0; r < h; ++r)
            for (int32_t c = 0; c < w; ++c) {
                const FPixelClass32BGRA& e = *typed->GetPixel(m.x(c, r, 0, 4), m.y(c, r, 0, 2));
                const FPixelClass32BGRA& o = out.At(c, r);
                EXPECT_TRUE(o.b == e.b && o.g == e.g && o.r == e.r && o.a == e.a) << c << "," << r;
            }
    }
}

// One pixel less than the crop in each direction is scale 1 for the colour
// image, which then copies; the Retinex image copies only at the crop's own
// size and filters here.
TEST(CropSizeRotate, ColourImageAlsoCopiesAtOnePixelLessButRetinexImageFilters)
{
    const WorkingImage working = RandomWorking(12, 10);
    const MonoImage mono = MakeMono(12, 10, RandomValue);
    const FLUT16 identity = IdentityTable();
    const FIntRect crop(1, 1, 11, 9); // 10 x 8
    const FIntRect window(0, 0, 9, 7);
    StageOutputs out(9, 7);
    MonoImage monoOut(9, 7);
    EXPECT_EQ(CropSizeRotateMore(working.get(), crop, 12, 10, 9, 7, window, 0, identity, out.color.get(),
                                 out.lightness.get(), 0.0, 0, 0),
              1.0);
    CropSizeRotateMono(mono.get(), crop, 12, 10, 9, 7, window, 0, monoOut.get());
    int32_t monoDifferences = 0;
    for (int32_t r = 0; r < 7; ++r)
        for (int32_t c = 0; c < 9; ++c) {
            EXPECT_EQ(out.color.At(c, r).r, working.At(1 + c, 1 + r).r);
            monoDifferences += monoOut.At(c, r).v != mono.At(1 + c, 1 + r).v;
        }
    EXPECT_GT(monoDifferences, 30);
}

// A window of the whole output gives the same pixels as the whole output.
TEST(CropSizeRotate, WindowIsThatPartOfTheWholeOutput)
{
    const WorkingImage working = RandomWorking(40, 30);
    const FLUT16 identity = IdentityTable();
    const FIntRect crop(3, 2, 37, 29);
    for (uint32_t rotation : {0u, 90u, 180u, 270u}) {
        SCOPED_TRACE(rotation);
        StageOutputs whole(17, 23);
        StageOutputs part(6, 5);
        CropSizeRotateMore(working.get(), crop, 40, 30, 17, 23, FIntRect(0, 0, 17, 23), rotation, identity,
                           whole.color.get(), whole.lightness.get(), 0.01, 200, 0);
        CropSizeRotateMore(working.get(), crop, 40, 30, 17, 23, FIntRect(9, 14, 15, 19), rotation, identity,
                           part.color.get(), part.lightness.get(), 0.01, 200, 0);
        for (int32_t r = 0; r < 5; ++r)
            for (int32_t c = 0; c < 6; ++c) {
                EXPECT_EQ(part.color.At(c, r).g, whole.color.At(9 + c, 14 + r).g) << c << "," << r;
                EXPECT_EQ(part.lightness.At(c, r).v, whole.lightness.At(9 + c, 14 + r).v) << c << "," << r;
            }
    }
}

// Filter taps beyond the source repeat its edge: a flat picture stays flat up
// to its border (no fill colour frames it) in every scaled image kind.
TEST(CropSizeRotate, ScaledFlatPictureHasNoFrameAtTheBorder)
{
    const WorkingImage working = MakeUniformWorkingImage(50, 40, 2000, 2100, 1900);
    const MonoImage mono = MakeMono(50, 40, [](int32_t, int32_t) { return 1234; });
    DisplayImage display(50, 40, 0, 0);
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 50; ++x)
            *display.Get()->GetPixel(x, y) = {10, 120, 200, 77};
    const FLUT16 identity = IdentityTable();
    const FIntRect crop(0, 0, 50, 40);
    for (uint32_t rotation : {0u, 90u}) {
        const int32_t w = rotation ? 17 : 23, h = rotation ? 23 : 17;
        const FIntRect window(0, 0, w, h);
        StageOutputs out(w, h);
        MonoImage monoOut(w, h);
        DisplayImage displayOut(w, h);
        CropSizeRotateMore(working.get(), crop, 50, 40, w, h, window, rotation, identity, out.color.get(),
                           out.lightness.get(), 0.0, 0, 0);
        CropSizeRotateMono(mono.get(), crop, 50, 40, w, h, window, rotation, monoOut.get());
        CropSizeRotate(display.get(), displayOut.get(), w, h, window, rotation);
        for (int32_t r = 0; r < h; ++r)
            for (int32_t c = 0; c < w; ++c) {
                SCOPED_TRACE(testing::Message() << rotation << ": " << c << "," << r);
                ASSERT_NEAR(out.color.At(c, r).r, 2000, 1);
                ASSERT_NEAR(out.color.At(c, r).g, 2100, 1);
                ASSERT_NEAR(out.color.At(c, r).b, 1900, 1);
                ASSERT_NEAR(monoOut.At(c, r).v, 1234, 1);
                const FPixelClass32BGRA& p = displayOut.At(c, r);
                ASSERT_NEAR(p.b, 10, 1);
                ASSERT_NEAR(p.g, 120, 1);
                ASSERT_NEAR(p.r, 200, 1);
                ASSERT_EQ(p.a, 255);
            }
    }
}

// ---------------------------------------------------------------------------
// Tone and green detail

// High limit 200: the weight of a green excess d rises from 0 to 200 and is
// 100 at d = 160; weight 0.5 is 8192 in Q14.
TEST(CropSizeRotate, GreenDetailAddsOnlyWhereGreenExceedsRedAndBlue)
{
    const FLUT16 identity = IdentityTable();
    struct Case {
        FPixelClass48SRGB in;
        double weight;
        int16_t green;
    } cases[] = {
        {{100, 260, 100}, 0.5, 260 + (100 * 100 * 8192 >> 14)},
        {{100, 2100, 100}, 0.5, 2100 + (200 * 200 * 8192 >> 14)}, // beyond the table: its last entry
        {{300, 260, 100}, 0.5, 260},                               // green below red
        {{100, 260, 100}, 0.0, 260},
    };
    for (const Case& c : cases) {
        const WorkingImage working = MakeUniformWorkingImage(3, 2, c.in.r, c.in.g, c.in.b);
        StageOutputs out(3, 2);
        CropSizeRotateMore(working.get(), FIntRect(0, 0, 3, 2), 3, 2, 3, 2, FIntRect(0, 0, 3, 2), 0, identity,
                           out.color.get(), out.lightness.get(), c.weight, 200, 0);
        EXPECT_EQ(out.color.At(2, 1).g, c.green) << c.in.g << " weight " << c.weight;
        EXPECT_EQ(out.color.At(2, 1).r, c.in.r);
        EXPECT_EQ(out.lightness.At(2, 1).v, Luma(c.in));
    }
}

TEST(CropSizeRotate, ToneTableAppliesToChannelsAndToTheLightnessOfTheUntonedValues)
{
    FLUT16 halve(65536);
    for (int32_t i = 0; i < 65536; ++i)
        halve.m_pTable[i] = static_cast<int16_t>(static_cast<int16_t>(i) / 2);
    const WorkingImage working = MakeUniformWorkingImage(3, 2, 1000, 3000, -400);
    StageOutputs out(3, 2);
    CropSizeRotateMore(working.get(), FIntRect(0, 0, 3, 2), 3, 2, 3, 2, FIntRect(0, 0, 3, 2), 0, halve,
                       out.color.get(), out.lightness.get(), 0.0, 0, 0);
    EXPECT_EQ(out.color.At(0, 0).r, 500);
    EXPECT_EQ(out.color.At(0, 0).g, 1500);
    EXPECT_EQ(out.color.At(0, 0).b, -200);
    EXPECT_EQ(out.lightness.At(0, 0).v, Luma({1000, 3000, -400}) / 2);
}

// ---------------------------------------------------------------------------
// Refusals

TEST(CropSizeRotate, RefusesBadAnglesWindowsAndTypesBeforeWriting)
{
    const WorkingImage working = RandomWorking(8, 6);
    const MonoImage mono = MakeMono(8, 6, RandomValue);
    DisplayImage display(8, 6);
    const FLUT16 identity = IdentityTable();
    StageOutputs out(8, 6);
    MonoImage monoOut(8, 6);
    DisplayImage displayOut(8, 6);
    const std::vector<uint8_t> colorBefore = out.color.bytes;
    const FIntRect crop(0, 0, 8, 6);
    const auto more = [&](uint32_t rotation, const FIntRect& window, const FPixmap* source) {
        return ThrownMessage([&] {
            CropSizeRotateMore(source, crop, 8, 6, 8, 6, window, rotation, identity, out.color.get(),
                               out.lightness.get(), 0, 0, 0);
        });
    };
    const FIntRect whole(0, 0, 8, 6);
    EXPECT_EQ(more(45, whole, working.get()), "CropSizeRotateMore: rotation is not multiple of 90 degrees.");
    EXPECT_EQ(more(static_cast<uint32_t>(-90), whole, working.get()),
              "CropSizeRotateMore: rotation is not multiple of 90 degrees.");
    EXPECT_EQ(more(0, FIntRect(1, 0, 9, 6), working.get()),
              "CropSizeRotateMore: output window is outside the output image.");
    EXPECT_EQ(more(0, FIntRect(-1, 0, 7, 6), working.get()),
              "CropSizeRotateMore: output window is outside the output image.");
    EXPECT_EQ(more(0, whole, mono.get()), "CropSizeRotateMore: image missing or not of the expected pixel type.");
    EXPECT_EQ(out.color.bytes, colorBefore);

    EXPECT_EQ(ThrownMessage([&] {
                  CropSizeRotateMono(mono.get(), crop, 8, 6, 8, 6, whole, 135, monoOut.get());
              }),
              "CropSizeRotateMono: rotation is not multiple of 90 degrees.");
    EXPECT_EQ(ThrownMessage([&] {
                  CropSizeRotateMono(mono.get(), FIntRect(0, 0, 9, 6), 8, 6, 8, 6, whole, 0, monoOut.get());
              }),
              "CropSizeRotateMono: crop rectangle is empty or outside the source image.");
    EXPECT_EQ(ThrownMessage([&] { CropSizeRotate(display.get(), displayOut.get(), 8, 6, whole, 30); }),
              "CropSizeRotate: rotation is not multiple of 90 degrees.");
    EXPECT_EQ(ThrownMessage([&] { CropSizeRotate(display.get(), displayOut.get(), 16, 12, whole, 0); }),
              "(no exception)");
    EXPECT_EQ(ThrownMessage([&] {
                  CropSizeRotate(display.get(), displayOut.get(), 16, 12, FIntRect(0, 0, 16, 12), 0);
              }),
              "CropSizeRotate: output image is smaller than the output window.");
}

// ---------------------------------------------------------------------------
// Luma detail

TEST(MakeLumaDetail, WeightsWidenWithStrengthUpToTwo)
{
    struct Case {
        double strength;
        FLumaDetailWeights w;
    } cases[] = {{0.0, {0, 0, 4096}},      {1.0, {256, 1024, 1536}}, {2.0, {1024, 0, 2048}},
                 {8.0, {1024, 0, 2048}},   {-1.0, {0, 0, 4096}},     {0.5, {64, 768, 2432}}};
    for (const Case& c : cases) {
        const FLumaDetailWeights w = LumaDetailWeights(c.strength);
        EXPECT_EQ(w.outer, c.w.outer) << c.strength;
        EXPECT_EQ(w.inner, c.w.inner) << c.strength;
        EXPECT_EQ(w.centre, c.w.centre) << c.strength;
    }
}

TEST(MakeLumaDetail, FlatImageHasNoDetail)
{
    for (double strength : {0.0, 1.0, 2.0}) {
        MonoImage image = MakeMono(9, 7, [](int32_t, int32_t) { return 3333; });
        MakeLumaDetail(image.get(), strength);
        for (int32_t y = 0; y < 7; ++y)
            for (int32_t x = 0; x < 9; ++x)
                ASSERT_EQ(image.At(x, y).v, 0) << strength;
    }
}

// The image in bands equals the detail of the unchanged image computed in one
// pass (rows and columns beyond the edges repeat the edge).
TEST(MakeLumaDetail, BandedDetailEqualsOnePassOfTheUnchangedImage)
{
    for (const auto& [columns, rows] : {std::pair{23, 41}, std::pair{3, 9}, std::pair{1, 1}}) {
        MonoImage image = MakeMono(columns, rows, RandomValue);
        const MonoImage original = MakeMono(columns, rows, RandomValue);
        MakeLumaDetail(image.get(), 1.3);
        const FLumaDetailWeights w = LumaDetailWeights(1.3);
        const auto at = [&](int32_t x, int32_t y) {
            return int32_t(original.At(std::clamp(x, 0, columns - 1), std::clamp(y, 0, rows - 1)).v);
        };
        const auto vertical = [&](int32_t x, int32_t y) {
            return (w.centre * at(x, y) + w.inner * (at(x, y - 1) + at(x, y + 1)) +
                    w.outer * (at(x, y - 2) + at(x, y + 2)) + 2048) >>
                   12;
        };
        for (int32_t y = 0; y < rows; ++y)
            for (int32_t x = 0; x < columns; ++x) {
                const auto v = [&](int32_t k) { return vertical(std::clamp(k, 0, columns - 1), y); };
                const int32_t blur =
                    (w.centre * v(x) + w.inner * (v(x - 1) + v(x + 1)) + w.outer * (v(x - 2) + v(x + 2)) + 2048) >>
                    12;
                ASSERT_EQ(image.At(x, y).v, at(x, y) - blur) << columns << "x" << rows << " at " << x << "," << y;
            }
    }
}

TEST(MakeLumaDetail, RefusesOtherPixelTypes)
{
    TestPixmap<> image = MakePixmap(FPixmap::PIXEL_16_MONO, 4, 4);
    EXPECT_EQ(ThrownMessage([&] { MakeLumaDetail(image.get(), 1.0); }),
              "MakeLumaDetail: image missing or not of the expected pixel type.");
}

// ---------------------------------------------------------------------------
// The engine's crop-size-rotate request

TEST(CropSizeRotate, EngineRequestScalesAndReportsRefusalsAsError14)
{
    TestPixmap<> source = MakePixmap(FPixmap::PIXEL_32_BGRA, 40, 30, 3);
    DisplayImage expected(20, 15);
    CropSizeRotate(source.get(), expected.get(), 20, 15, FIntRect(0, 0, 20, 15), 0);

    struct Case {
        int32_t outWidth, outHeight;
        FIntRect window;
        int32_t rotation;
        std::string error;
    } cases[] = {
        {20, 15, FIntRect(0, 0, 20, 15), 0, ""},
        {40, 30, FIntRect(30, 20, 50, 35), 0, "CropSizeRotate: output window is outside the output image."},
        {20, 15, FIntRect(0, 0, 20, 15), 45, "CropSizeRotate: rotation is not multiple of 90 degrees."},
    };
    for (const Case& c : cases) {
        DisplayImage out(20, 15);
        FIPERequestCropSizeRotate request;
        request.m_pInImage = source.get();
        request.m_pOutImage = out.get();
        request.m_iOutWidth = c.outWidth;
        request.m_iOutHeight = c.outHeight;
        request.m_rcCrop = c.window;
        request.m_iRotation = c.rotation;
        const int32_t status = RunEngineRequest(request);
        if (c.error.empty()) {
            ASSERT_EQ(status, kIPStatusDone);
            EXPECT_EQ(out.bytes, expected.bytes);
            continue;
        }
        ASSERT_EQ(status, kIPStatusError);
        EXPECT_EQ(request.m_iErrorCode, kIPErrorException);
        EXPECT_NE(Utf8FromWide(request.m_sErrorText).find(c.error), std::string::npos)
            << Utf8FromWide(request.m_sErrorText);
    }

    FIPERequestCropSizeRotate missing;
    ASSERT_EQ(RunEngineRequest(missing), kIPStatusError);
    EXPECT_NE(Utf8FromWide(missing.m_sErrorText).find("pReq->m_pInImage != NULL"), std::string::npos);
}
