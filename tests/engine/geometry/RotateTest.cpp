#include "engine/geometry/Rotate.h"

#include "engine/core/FIPERequest.h"
#include "support/EngineDriver.h"
#include "support/TestPixmap.h"
#include "support/TestSupport.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <typeinfo>
#include <vector>

using namespace testsupport;

namespace {

const uint8_t* PixelAt(const FPixmap& pixmap, int32_t x, int32_t y)
{
    return pixmap.GetRow(y) + x * FPixelTypeBytes(pixmap.GetPixelType());
}

bool SamePixel(const FPixmap& a, int32_t ax, int32_t ay, const FPixmap& b, int32_t bx, int32_t by)
{
    return std::memcmp(PixelAt(a, ax, ay), PixelAt(b, bx, by), FPixelTypeBytes(a.GetPixelType())) == 0;
}

struct QuarterTurn {
    int angle;
    // Output (column, row) of input (x, y) for an input of w x h.
    int32_t (*column)(int32_t x, int32_t y, int32_t w, int32_t h);
    int32_t (*row)(int32_t x, int32_t y, int32_t w, int32_t h);
    bool swapsSides;
};

const QuarterTurn kQuarterTurns[] = {
    {0, [](int32_t x, int32_t, int32_t, int32_t) { return x; }, [](int32_t, int32_t y, int32_t, int32_t) { return y; },
     false},
    {90, [](int32_t, int32_t y, int32_t, int32_t h) { return h - 1 - y; },
     [](int32_t x, int32_t, int32_t, int32_t) { return x; }, true},
    {180, [](int32_t x, int32_t, int32_t w, int32_t) { return w - 1 - x; },
     [](int32_t, int32_t y, int32_t, int32_t h) { return h - 1 - y; }, false},
    {270, [](int32_t, int32_t y, int32_t, int32_t) { return y; },
     [](int32_t x, int32_t, int32_t w, int32_t) { return w - 1 - x; }, true},
};

} // namespace

// Every quarter turn is an exact permutation for every accepted type: each
// output pixel is the one input pixel the turn names (a larger image runs in
// several bands).
TEST(Rotate, QuarterTurnsAreExactPermutations)
{
    const int32_t types[] = {FPixmap::PIXEL_24_RGB, FPixmap::PIXEL_32_ARGB, FPixmap::PIXEL_32_BGRA,
                             FPixmap::PIXEL_48_RGB};
    const std::pair<int32_t, int32_t> sizes[] = {{4, 2}, {37, 53}};
    for (const int32_t type : types)
        for (const auto& [w, h] : sizes)
            for (const QuarterTurn& turn : kQuarterTurns) {
                SCOPED_TRACE(testing::Message() << "type " << type << ", " << w << "x" << h << ", " << turn.angle);
                TestPixmap<> input = MakePixmap(type, w, h, 7);
                TestPixmap<> output = MakePixmap(type, turn.swapsSides ? h : w, turn.swapsSides ? w : h, 99);
                Rotate(input.get(), output.get(), turn.angle);
                for (int32_t y = 0; y < h; ++y)
                    for (int32_t x = 0; x < w; ++x)
                        ASSERT_TRUE(SamePixel(*output.pixmap, turn.column(x, y, w, h), turn.row(x, y, w, h),
                                              *input.pixmap, x, y))
                            << "input " << x << "," << y;
            }
}

TEST(Rotate, ZeroDegreesIntoLargerOutputCopiesTopLeftAndKeepsTheRest)
{
    TestPixmap<> input = MakePixmap(FPixmap::PIXEL_32_BGRA, 5, 3, 1);
    TestPixmap<> output = MakePixmap(FPixmap::PIXEL_32_BGRA, 9, 7, 2);
    const std::vector<uint8_t> before = output.bytes;
    Rotate(input.get(), output.get(), 0.0);
    for (int32_t y = 0; y < 7; ++y)
        for (int32_t x = 0; x < 9; ++x) {
            const bool inside = x < 5 && y < 3;
            const uint8_t* expected = inside ? PixelAt(*input.pixmap, x, y) : &before[(size_t(y) * 9 + x) * 4];
            EXPECT_EQ(std::memcmp(PixelAt(*output.pixmap, x, y), expected, 4), 0) << x << "," << y;
        }
}

// 30 degrees: the turned pixels that land outside the output (a column or row
// of -1 at the rounding edge among them) are dropped, corners nothing reaches
// keep their content. Input pixels (0, 0) and (1, 0) both land on the column
// offset of the fixed-point turn; the later one in row order wins.
TEST(Rotate, ArbitraryAngleDropsOutsidePixelsAndKeepsUncoveredOnes)
{
    const int32_t w = 40, h = 30;
    TestPixmap<> input = MakePixmap(FPixmap::PIXEL_24_RGB, w, h, 3);
    // cos 30 = 0.866, sin 30 = 0.5: the turned bounds, cut by one on each side.
    const int32_t outW = 48, outH = 45;
    TestPixmap<> output = MakePixmap(FPixmap::PIXEL_24_RGB, outW, outH, 4);
    const std::vector<uint8_t> before = output.bytes;
    Rotate(input.get(), output.get(), 30.0);

    const int32_t negSine = -32768; // (int)(sin 30 x -65536), the angle a hair above 30 degrees
    const int32_t columnOffset = (-negSine * (h - 1)) >> 16;
    EXPECT_TRUE(SamePixel(*output.pixmap, columnOffset, 0, *input.pixmap, 1, 0));
    EXPECT_EQ(std::memcmp(PixelAt(*output.pixmap, 0, 0), &before[0], 3), 0) << "uncovered corner changed";
    EXPECT_EQ(std::memcmp(PixelAt(*output.pixmap, outW - 1, 0), &before[size_t(outW - 1) * 3], 3), 0);
}

TEST(Rotate, RefusesOtherOutputTypesAndMismatchedInputsBeforeWriting)
{
    for (const int32_t type : {FPixmap::PIXEL_48S_RGB, FPixmap::PIXEL_48_BGR, FPixmap::PIXEL_16S_MONO}) {
        TestPixmap<> input = MakePixmap(type, 4, 2, 1);
        TestPixmap<> output = MakePixmap(type, 2, 4, 2);
        EXPECT_EQ(ThrownMessage([&] { Rotate(input.get(), output.get(), 90.0); }),
                  "Rotate: output image buffer is not display, 24 RGB, or 48 RGB")
            << type;
    }
    EXPECT_THROW(Rotate(nullptr, nullptr, 0.0), FExceptionPpUnknownPixelType);

    TestPixmap<> input = MakePixmap(FPixmap::PIXEL_32_RGBA, 4, 2, 1);
    TestPixmap<> output = MakePixmap(FPixmap::PIXEL_32_BGRA, 2, 4, 2);
    const std::vector<uint8_t> before = output.bytes;
    EXPECT_THROW(Rotate(input.get(), output.get(), 90.0), std::bad_cast);
    EXPECT_THROW(Rotate(nullptr, output.get(), 90.0), std::bad_cast);
    EXPECT_EQ(output.bytes, before);

    // A display class of its own still counts as the display type.
    TestPixmap<> source = MakePixmap(FPixmap::PIXEL_32_BGRA, 4, 2, 5);
    FPixmap_Display display(source.bytes.data(), 4, 2, 16);
    EXPECT_NO_THROW(Rotate(&display, output.get(), 90.0));
    EXPECT_TRUE(SamePixel(*output.pixmap, 1, 0, display, 0, 0));
}

TEST(Rotate, EngineRequestTurnsByTheRequestedDegrees)
{
    TestPixmap<> input = MakePixmap(FPixmap::PIXEL_32_BGRA, 20, 12, 1);
    TestPixmap<> expected = MakePixmap(FPixmap::PIXEL_32_BGRA, 24, 24, 2);
    TestPixmap<> output = MakePixmap(FPixmap::PIXEL_32_BGRA, 24, 24, 2);
    Rotate(input.get(), expected.get(), 45.0);

    FIPERequestRotate request;
    request.m_pInImage = input.get();
    request.m_pOutImage = output.get();
    request.m_iAngle = 45;
    ASSERT_EQ(RunEngineRequest(request), kIPStatusDone);
    EXPECT_EQ(output.bytes, expected.bytes);
}

TEST(Rotate, EngineRequestReportsMissingImagesAndMismatchesAsError14)
{
    TestPixmap<> display = MakePixmap(FPixmap::PIXEL_32_BGRA, 4, 2, 1);
    TestPixmap<> other = MakePixmap(FPixmap::PIXEL_24_RGB, 4, 2, 1);
    struct Case {
        const FPixmap* in;
        FPixmap* out;
        std::string textPart;
    } cases[] = {
        {nullptr, display.get(), "pReq->m_pInImage != NULL"},
        {display.get(), nullptr, "pReq->m_pOutImage != NULL"},
        {other.get(), display.get(), "FIPEngine2: unknown exception"},
    };
    for (const Case& c : cases) {
        FIPERequestRotate request;
        request.m_pInImage = c.in;
        request.m_pOutImage = c.out;
        ASSERT_EQ(RunEngineRequest(request), kIPStatusError);
        EXPECT_EQ(request.m_iErrorCode, kIPErrorException);
        EXPECT_NE(Utf8FromWide(request.m_sErrorText).find(c.textPart), std::string::npos)
            << Utf8FromWide(request.m_sErrorText);
    }
}
