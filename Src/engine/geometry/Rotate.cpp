#include "engine/geometry/Rotate.h"

#include "engine/core/FIPEngine2.h"
#include "engine/core/RowBandLoop.h"
#include "engine/geometry/GeometryRequestChecks.h"
#include "foundation/FException.h"
#include "foundation/FValueTypes.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <typeinfo>

namespace {

// The value of pi the turn has always used: with it the sine and cosine of the
// quarter turns truncate to exactly 0 and +-65536.
constexpr double kRotatePi = 3.14159265399;
constexpr int32_t kOne16 = 65536;

struct FixedTurn {
    int32_t cosine;
    int32_t sine;
    int32_t negSine;
    int64_t columnOffset; // shifts the turned picture into non-negative coordinates
    int64_t rowOffset;
};

int64_t ShiftedSpan(int32_t factor, int32_t last) { return (static_cast<int64_t>(-factor) * last) >> 16; }

FixedTurn MakeFixedTurn(double angleDegrees, int32_t columns, int32_t rows)
{
    const double theta = angleDegrees / 180.0 * kRotatePi;
    FixedTurn turn{};
    turn.cosine = TruncateToInt(std::cos(theta) * kOne16);
    turn.sine = TruncateToInt(std::sin(theta) * kOne16);
    turn.negSine = TruncateToInt(std::sin(theta) * -kOne16);
    turn.columnOffset = (turn.cosine < 0 ? ShiftedSpan(turn.cosine, columns - 1) : 0) +
                        (turn.negSine < 0 ? ShiftedSpan(turn.negSine, rows - 1) : 0);
    turn.rowOffset = (turn.sine < 0 ? ShiftedSpan(turn.sine, columns - 1) : 0) +
                     (turn.cosine < 0 ? ShiftedSpan(turn.cosine, rows - 1) : 0);
    return turn;
}

// A quarter turn (one factor exactly 0, the other +-1) sends no two pixels to
// one place, so rows may be turned in any order. Any other turn can land two
// pixels on one output pixel, and the later one in row order must win; so can
// an angle without a sine or cosine (NaN, infinite), whose factors are all 0.
bool IsPermutation(const FixedTurn& turn)
{
    const auto unit = [](int32_t f) { return f == kOne16 || f == -kOne16; };
    return (turn.cosine == 0 && unit(turn.sine)) || (turn.sine == 0 && unit(turn.cosine));
}

// 64-bit products: the 32-bit forms agree wherever they do not overflow, and
// nothing here ever does.
template <class PixelClass>
void RotateRows(const FPixmapTemplate<PixelClass>& input, FPixmap& output, const FixedTurn& turn, int32_t firstRow,
                int32_t lastRow)
{
    const int64_t outColumns = output.m_iColumns;
    const int64_t outRows = output.m_iRows;
    for (int32_t y = firstRow; y <= lastRow; ++y) {
        const PixelClass* source = input.GetRow(y);
        const int64_t rowColumn = ((static_cast<int64_t>(y) * turn.negSine) >> 16) + turn.columnOffset;
        const int64_t rowRow = ((static_cast<int64_t>(y) * turn.cosine) >> 16) + turn.rowOffset;
        int64_t columnSum = 0;
        int64_t rowSum = 0;
        for (int32_t x = 0; x < input.m_iColumns; ++x, columnSum += turn.cosine, rowSum += turn.sine) {
            const int64_t dx = (columnSum >> 16) + rowColumn;
            const int64_t dy = (rowSum >> 16) + rowRow;
            if (dx < 0 || dx >= outColumns || dy < 0 || dy >= outRows)
                continue;
            uint8_t* target = output.GetRow(static_cast<int32_t>(dy)) + dx * static_cast<int64_t>(sizeof(PixelClass));
            std::memcpy(target, &source[x], sizeof(PixelClass));
        }
    }
}

template <class PixelClass>
void RotatePixmap(const FPixmap* input, FPixmap& output, double angleDegrees)
{
    if (!input)
        throw std::bad_cast();
    const auto& typedInput = dynamic_cast<const FPixmapTemplate<PixelClass>&>(*input);
    if (typedInput.m_iColumns <= 0 || typedInput.m_iRows <= 0)
        return;
    const FixedTurn turn = MakeFixedTurn(angleDegrees, typedInput.m_iColumns, typedInput.m_iRows);
    if (!IsPermutation(turn)) {
        RotateRows(typedInput, output, turn, 0, typedInput.m_iRows - 1);
        return;
    }
    RunInRowBands(static_cast<uint32_t>(typedInput.m_iRows), [&](uint32_t firstRow, uint32_t lastRow) {
        RotateRows(typedInput, output, turn, static_cast<int32_t>(firstRow), static_cast<int32_t>(lastRow));
    }, RowBandCountFor(typedInput.m_iColumns, typedInput.m_iRows));
}

} // namespace

void Rotate(const FPixmap* input, FPixmap* output, double angleDegrees)
{
    switch (output ? output->GetPixelType() : 0) {
    case FPixmap::PIXEL_24_RGB:
        RotatePixmap<FPixelClass24RGB>(input, *output, angleDegrees);
        return;
    case FPixmap::PIXEL_32_ARGB:
        RotatePixmap<FPixelClass32ARGB>(input, *output, angleDegrees);
        return;
    case FPixmap::PIXEL_32_BGRA:
        RotatePixmap<FPixelClass32BGRA>(input, *output, angleDegrees);
        return;
    case FPixmap::PIXEL_48_RGB:
        RotatePixmap<FPixelClass48RGB>(input, *output, angleDegrees);
        return;
    default:
        throw FExceptionPpUnknownPixelType("Rotate: output image buffer is not display, 24 RGB, or 48 RGB");
    }
}

void FIPEngine2::priProcessRotate(FIPERequestRotate* pReq)
{
    AssertGeometryRequest(pReq);
    Rotate(pReq->m_pInImage, pReq->m_pOutImage, static_cast<double>(pReq->m_iAngle));
    pReq->Finish(kIPStatusDone);
}
