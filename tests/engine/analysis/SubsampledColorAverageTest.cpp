#include "engine/analysis/SubsampledColorAverage.h"

#include "engine/core/RowBandLoop.h"
#include "support/TestPixmap.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <cstring>

using testsupport::TestPixmap;
using testsupport::ThrownMessage;

namespace {

// R = column, G = row, B = column x row.
TestPixmap<FPixelClass48SRGB> PositionImage(int32_t w, int32_t h)
{
    TestPixmap<FPixelClass48SRGB> image(w, h, 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            *image.Get()->GetPixel(x, y) = FPixelClass48SRGB{int16_t(x), int16_t(y), int16_t(x * y)};
    return image;
}

FDoubleTriple Average(const FPixmap* pixmap, int32_t step)
{
    FDoubleTriple out(-1.0);
    return SubsampledColorAverage(out, pixmap, step);
}

// A header that reports type 16 without being of that type's class.
class ImpostorPixmap : public FPixmap {
public:
    ImpostorPixmap() : FPixmap(nullptr, 1, 1, 6) {}
    int32_t GetPixelType() const override { return PIXEL_48S_RGB; }
};

} // namespace

TEST(SubsampledColorAverageTest, VisitsTheGridFromHalfAStep)
{
    struct Case {
        int32_t w, h, step;
        FDoubleTriple expected;
    } cases[] = {
        {10, 10, 4, {4, 4, 16}},        // rows and columns 2 and 6: four pixels
        {10, 10, 0, {4.5, 4.5, 20.25}}, // every pixel
        {10, 10, -3, {4.5, 4.5, 20.25}},
        {10, 4, 1, {4.5, 1.5, 6.75}},
        {2, 2, 8, {0, 0, 0}},          // the grid starts beyond the image
        {0, 0, 1, {0, 0, 0}},
        {10, 10, INT32_MAX, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        const auto image = PositionImage(c.w, c.h);
        const FDoubleTriple mean = Average(image.get(), c.step);
        EXPECT_DOUBLE_EQ(mean.r, c.expected.r) << c.w << "x" << c.h << " step " << c.step;
        EXPECT_DOUBLE_EQ(mean.g, c.expected.g) << c.w << "x" << c.h << " step " << c.step;
        EXPECT_DOUBLE_EQ(mean.b, c.expected.b) << c.w << "x" << c.h << " step " << c.step;
    }
}

TEST(SubsampledColorAverageTest, ReadsEachPixelTypeInRGBOrder)
{
    struct Case {
        int32_t type;
        std::vector<uint8_t> pixel;
        FDoubleTriple expected;
    } cases[] = {
        {FPixmap::PIXEL_24_RGB, {10, 20, 250}, {10, 20, 250}},
        // bytes 0-2 = 0x81, 0x42, 0xFF; top byte 101 110 11: R low 5, G low 6, B low 3.
        {FPixmap::PIXEL_30_RGBL, {0x81, 0x42, 0xFF, 0xBB}, {0x81 * 8 + 5, 0x42 * 8 + 6, 0xFF * 8 + 3 * 2}},
        // R = 2047, G = 1, B = 1023 doubled.
        {FPixmap::PIXEL_30_RGB, {0xFF, 0x0F, 0xC0, 0xFF}, {2047, 1, 2046}},
        {FPixmap::PIXEL_48_RGB, {0x01, 0x00, 0x00, 0x80, 0xFF, 0xFF}, {1, 32768, 65535}},
        {FPixmap::PIXEL_48S_RGB, {0x01, 0x00, 0x00, 0x80, 0xFF, 0xFF}, {1, -32768, -1}},
        {FPixmap::PIXEL_48_BGR, {0x01, 0x00, 0x00, 0x80, 0xFF, 0xFF}, {65535, 32768, 1}},
    };
    for (const Case& c : cases) {
        auto image = testsupport::MakePixmap(c.type, 1, 1);
        std::memcpy(image.bytes.data(), c.pixel.data(), c.pixel.size());
        const FDoubleTriple mean = Average(image.get(), 1);
        EXPECT_EQ(mean.r, c.expected.r) << "type " << c.type;
        EXPECT_EQ(mean.g, c.expected.g) << "type " << c.type;
        EXPECT_EQ(mean.b, c.expected.b) << "type " << c.type;
    }
}

TEST(SubsampledColorAverageTest, ScaledAverageUsesStepFourAndTheFactors)
{
    const auto image = PositionImage(10, 10);
    FDoubleTriple out;
    ScaledColorAverage(out, image.get(), {0.5, 2, -1});
    EXPECT_DOUBLE_EQ(out.r, 2);
    EXPECT_DOUBLE_EQ(out.g, 8);
    EXPECT_DOUBLE_EQ(out.b, -16);
}

TEST(SubsampledColorAverageTest, RefusesOtherTypesAndImpostors)
{
    const auto display = testsupport::MakePixmap(FPixmap::PIXEL_32_BGRA, 4, 4);
    const ImpostorPixmap impostor;
    EXPECT_EQ(ThrownMessage([&] { Average(display.get(), 1); }), "SubsampledColorAverage: Unknown pixel type");
    EXPECT_EQ(ThrownMessage([&] { Average(&impostor, 1); }),
              "SubsampledAverage: input pixmap ptr is not specified type");
    EXPECT_EQ(ThrownMessage([&] { Average(nullptr, 1); }),
              "SubsampledAverage: input pixmap ptr is not specified type");
}

// The grid's rows are summed in bands: any band count gives the average of one.
TEST(SubsampledColorAverageTest, AverageIsTheSameInAnyBandCount)
{
    TestPixmap<FPixelClass48SRGB> image(203, 157);
    for (int32_t y = 0; y < 157; ++y)
        for (int32_t x = 0; x < 203; ++x)
            *image.Get()->GetPixel(x, y) = FPixelClass48SRGB{int16_t(x * y % 32000), int16_t(-x), int16_t(y * 211 % 999)};
    const auto averageIn = [&](uint32_t bands) {
        const ScopedRowBandCount count(bands);
        FDoubleTriple average;
        return SubsampledColorAverage(average, image.get(), 3);
    };
    const FDoubleTriple one = averageIn(1);
    for (const uint32_t bands : {2u, 24u}) {
        const FDoubleTriple banded = averageIn(bands);
        EXPECT_EQ(banded.r, one.r) << bands;
        EXPECT_EQ(banded.g, one.g) << bands;
        EXPECT_EQ(banded.b, one.b) << bands;
    }
}
