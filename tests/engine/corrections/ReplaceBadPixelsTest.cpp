#include "engine/corrections/ReplaceBadPixels.h"

#include "support/WorkingImage.h"

#include <gtest/gtest.h>

#include <vector>

using testsupport::MakeWorkingImage;
using testsupport::WorkingImage;

namespace {

using Pixel = FPixelClass48SRGB;

constexpr int32_t kW = 8;
constexpr int32_t kH = 7;

uint32_t Entry(uint32_t row, uint32_t column, uint32_t mask) { return row << 20 | column << 8 | mask; }

// Every pixel tells its position: (10 x, 10 y, x + y).
WorkingImage PositionImage()
{
    return MakeWorkingImage(kW, kH, [](int32_t x, int32_t y) {
        return Pixel{static_cast<int16_t>(10 * x), static_cast<int16_t>(10 * y), static_cast<int16_t>(x + y)};
    });
}

std::vector<int> Rgb(const Pixel& p) { return {p.r, p.g, p.b}; }

} // namespace

TEST(ReplaceBadPixelsTest, PixelBecomesTheMeanOfItsSelectedNeighbours)
{
    auto image = PositionImage();
    // Above and below of (4, 3): (40, 20, 6) and (40, 40, 8); then all eight around (2, 5), row H-2.
    const uint32_t entries[] = {Entry(3, 4, 0x42), Entry(5, 2, 0xFF)};
    ReplaceBadPixels(image.get(), entries, 2, nullptr);
    EXPECT_EQ(Rgb(image.At(4, 3)), (std::vector<int>{40, 30, 7}));
    EXPECT_EQ(Rgb(image.At(2, 5)), (std::vector<int>{20, 50, 7}));
    // Integer division toward zero: left, right and below of (6, 2) (column W-2).
    const uint32_t odd[] = {Entry(2, 6, 0x58)};
    ReplaceBadPixels(image.get(), odd, 1, nullptr);
    EXPECT_EQ(Rgb(image.At(6, 2)), (std::vector<int>{60, 23, 8}));
}

TEST(ReplaceBadPixelsTest, EntriesAtTheEdgesOrOutsideAreSkippedOneByOne)
{
    const int32_t shiftIn[2] = {2, 2};
    const int32_t shiftOut[2] = {-3, 0};
    const struct { uint32_t entry; const int32_t* offset; bool repaired; } cases[] = {
        {Entry(0, 4, 0x42), nullptr, false},      {Entry(1, 4, 0x42), nullptr, false},
        {Entry(kH - 1, 4, 0x42), nullptr, false}, {Entry(kH, 4, 0x42), nullptr, false},
        {Entry(3, 0, 0x18), nullptr, false},      {Entry(3, 1, 0x18), nullptr, false},
        {Entry(3, kW - 1, 0x18), nullptr, false}, {Entry(4095, 4095, 0xFF), nullptr, false},
        {Entry(3, 4, 0x00), nullptr, false},      {Entry(3, 2, 0x18), shiftOut, false},
        {Entry(0, 0, 0x09), shiftIn, true},       {Entry(kH - 2, kW - 2, 0x09), nullptr, true},
    };
    for (const auto& c : cases) {
        auto image = PositionImage();
        auto untouched = PositionImage();
        // A good entry after the skipped one is still applied.
        const uint32_t entries[] = {c.entry, Entry(3, 3, 0x02)};
        if (c.offset == nullptr) {
            ReplaceBadPixels(image.get(), entries, 2, nullptr);
            EXPECT_EQ(Rgb(image.At(3, 3)), (std::vector<int>{30, 20, 5})) << std::hex << c.entry;
        }
        ReplaceBadPixels(untouched.get(), entries, 1, c.offset);
        EXPECT_EQ(untouched.bytes != PositionImage().bytes, c.repaired) << std::hex << c.entry;
    }
}

TEST(ReplaceBadPixelsTest, LaterEntriesSeeEarlierRepairs)
{
    auto image = PositionImage();
    // (3, 3) takes its left neighbour; (4, 3) then takes the repaired (3, 3).
    const uint32_t entries[] = {Entry(3, 3, 0x08), Entry(3, 4, 0x08)};
    ReplaceBadPixels(image.get(), entries, 2, nullptr);
    EXPECT_EQ(Rgb(image.At(4, 3)), (std::vector<int>{20, 30, 5}));
}
