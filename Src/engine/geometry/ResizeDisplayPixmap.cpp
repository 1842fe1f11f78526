#include "engine/geometry/ResizeDisplayPixmap.h"

#include "engine/core/RowBandLoop.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

constexpr int32_t kBytesPerPixel = 4;
constexpr uint32_t kPhaseOne = 0x8000; // one source pixel in Q15
constexpr uint32_t kPhaseMask = 0x7FFF;
constexpr uint8_t kOpaque = 255;

// ---------------------------------------------------------------------------
// Rectangles

FIntRect Bounds(const FPixmap& pixmap) { return FIntRect(0, 0, pixmap.m_iColumns, pixmap.m_iRows); }

// other's side moves by moved x other's extent / own extent, truncated. The
// rectangles overlap the pixmap, so |moved| < own extent and the move stays
// inside other's extent; 64 bits hold every product of two int ranges.
int64_t Proportional(int64_t moved, int64_t otherExtent, int64_t ownExtent) { return moved * otherExtent / ownExtent; }

// side - by, where by lies between 0 and the side's distance to the opposite one.
int32_t MovedSide(int32_t side, int64_t by) { return static_cast<int32_t>(side - by); }

// Brings own inside [0, columns) x [0, rows) side by side (left, top, right,
// bottom), moving the same sides of other in proportion.
void ClipSides(FIntRect& own, const FPixmap& pixmap, FIntRect& other)
{
    if (own.left < 0) {
        other.left = MovedSide(other.left, Proportional(own.left, other.Width(), own.Width()));
        own.left = 0;
    }
    if (own.top < 0) {
        other.top = MovedSide(other.top, Proportional(own.top, other.Height(), own.Height()));
        own.top = 0;
    }
    if (own.right > pixmap.m_iColumns) {
        other.right =
            MovedSide(other.right, Proportional(int64_t{own.right} - pixmap.m_iColumns, other.Width(), own.Width()));
        own.right = pixmap.m_iColumns;
    }
    if (own.bottom > pixmap.m_iRows) {
        other.bottom =
            MovedSide(other.bottom, Proportional(int64_t{own.bottom} - pixmap.m_iRows, other.Height(), own.Height()));
        own.bottom = pixmap.m_iRows;
    }
}

// ---------------------------------------------------------------------------
// Pixel access inside a rectangle

struct RectView {
    const FPixmap* pixmap;
    FIntRect rect;

    uint8_t* Row(int32_t y) const { return pixmap->GetRow(rect.top + y) + rect.left * kBytesPerPixel; }
    // Clipped to the pixmap: the sizes fit an int.
    int32_t Columns() const { return static_cast<int32_t>(rect.Width()); }
    int32_t Rows() const { return static_cast<int32_t>(rect.Height()); }
};

// Q15 step that spans first to last source pixel over count destination steps.
uint32_t SpanStep(int32_t sourceCount, int32_t steps)
{
    return static_cast<uint32_t>((uint64_t(sourceCount - 1) << 15) / uint64_t(steps));
}

// The rows of a view in bands (one for a small view), or all on this thread
// from the last upwards when the destination is also the source (an in-place
// enlargement reads rows it has not yet written).
template <class RowFunction>
void ForEachRow(const RectView& view, bool inPlace, RowFunction&& rowFunction)
{
    const int32_t rows = view.Rows();
    if (inPlace) {
        for (int32_t y = rows - 1; y >= 0; --y)
            rowFunction(y);
        return;
    }
    RunInRowBands(static_cast<uint32_t>(rows), [&](uint32_t firstRow, uint32_t lastRow) {
        for (uint32_t y = firstRow; y <= lastRow; ++y)
            rowFunction(static_cast<int32_t>(y));
    }, RowBandCountFor(view.Columns(), rows));
}

// ---------------------------------------------------------------------------
// Shrinking

void ShrinkRowsNearest(const RectView& destination, const RectView& source)
{
    const uint32_t step = SpanStep(source.Rows(), destination.Rows());
    const size_t bytes = size_t(source.Columns()) * kBytesPerPixel;
    ForEachRow(destination, false, [&](int32_t y) {
        const int32_t sourceRow = static_cast<int32_t>((uint64_t(y) * step) >> 15);
        std::memmove(destination.Row(y), source.Row(sourceRow), bytes);
    });
}

void ShrinkColumnsNearest(const RectView& destination, const RectView& source)
{
    const uint32_t step = SpanStep(source.Columns(), destination.Columns());
    const int32_t width = destination.Columns();
    // Scalars by value: the byte stores could otherwise alias them.
    ForEachRow(source, false, [&, step, width](int32_t y) {
        const uint8_t* from = source.Row(y);
        uint8_t* to = destination.Row(y);
        for (int32_t x = 0; x < width; ++x) {
            const int64_t sourceX = static_cast<int64_t>((uint64_t(x) * step) >> 15);
            std::memcpy(to + x * kBytesPerPixel, from + sourceX * kBytesPerPixel, kBytesPerPixel);
        }
    });
}

// The weights sum to 32767, not 32768: white becomes 253.
int32_t Blend(int32_t a, int32_t b, int32_t fraction) { return (a * (32767 - fraction) + b * fraction) >> 15; }

void ShrinkBilinear(const RectView& destination, const RectView& source)
{
    const uint32_t columnStep = SpanStep(source.Columns(), destination.Columns());
    const uint32_t rowStep = SpanStep(source.Rows(), destination.Rows());
    const int32_t width = destination.Columns();
    ForEachRow(destination, false, [&, columnStep, rowStep, width](int32_t y) {
        const uint64_t rowPosition = uint64_t(y) * rowStep;
        const int32_t sourceRow = static_cast<int32_t>(rowPosition >> 15);
        const int32_t fy = static_cast<int32_t>(rowPosition & kPhaseMask);
        const uint8_t* upper = source.Row(sourceRow);
        const uint8_t* lower = source.Row(sourceRow + 1);
        uint8_t* to = destination.Row(y);
        for (int32_t x = 0; x < width; ++x) {
            const uint64_t columnPosition = uint64_t(x) * columnStep;
            const int64_t at = static_cast<int64_t>(columnPosition >> 15) * kBytesPerPixel;
            const int32_t fx = static_cast<int32_t>(columnPosition & kPhaseMask);
            uint8_t* pixel = to + x * kBytesPerPixel;
            for (int c = 0; c < 3; ++c) {
                const int32_t top = Blend(upper[at + c], upper[at + kBytesPerPixel + c], fx);
                const int32_t bottom = Blend(lower[at + c], lower[at + kBytesPerPixel + c], fx);
                pixel[c] = static_cast<uint8_t>(Blend(top, bottom, fy));
            }
            pixel[3] = kOpaque;
        }
    });
}

// ---------------------------------------------------------------------------
// Enlarging: walks from the far end with phase 0 on the last source pixel,
// so the first and last destination pixels are the first and last source
// pixels and the picture keeps its place.

// A Q15 sum of four taps as a byte: 256 or more is 255, negative is 0.
inline uint8_t LimitedByte(int32_t v)
{
    return v >= 0x800000 ? uint8_t(255) : static_cast<uint8_t>(std::max(v >> 15, 0));
}

inline uint8_t FilteredByte(const std::array<int32_t, 4>& weights, const std::array<const uint8_t*, 4>& taps,
                            size_t at)
{
    return LimitedByte(weights[0] * taps[0][at] + weights[1] * taps[1][at] + weights[2] * taps[2][at] +
                       weights[3] * taps[3][at]);
}

struct EnlargePosition {
    int32_t cursor;
    uint32_t phase;
};

// Destination index i of count, for a source of sourceCount: the walk from
// the far end, written as the product it accumulates.
EnlargePosition PositionOf(int32_t i, int32_t count, int32_t sourceCount, uint32_t step)
{
    const uint64_t walked = uint64_t(count - 1 - i) * step;
    return {sourceCount - 1 - static_cast<int32_t>(walked >> 15), static_cast<uint32_t>(walked & kPhaseMask)};
}

void EnlargeRowsCubic(const RectView& destination, const RectView& source, bool inPlace)
{
    const int32_t sourceRows = source.Rows();
    const uint32_t step = SpanStep(sourceRows, destination.Rows() - 1);
    const size_t bytes = size_t(destination.Columns()) * kBytesPerPixel;
    const FDisplayResizeWeights& table = DisplayResizeWeights();
    ForEachRow(destination, inPlace, [&](int32_t y) {
        const EnlargePosition at = PositionOf(y, destination.Rows(), sourceRows, step);
        uint8_t* to = destination.Row(y);
        if (at.phase == 0) {
            std::memmove(to, source.Row(at.cursor), bytes);
            return;
        }
        std::array<const uint8_t*, 4> taps;
        for (int t = 0; t < 4; ++t)
            taps[t] = source.Row(std::clamp(at.cursor - 2 + t, 0, sourceRows - 1));
        const std::array<int32_t, 4>& w = table[at.phase >> 8];
        // Byte by byte, each read before it is written: in place, a tap row
        // may be the destination row itself.
        const uint8_t *t0 = taps[0], *t1 = taps[1], *t2 = taps[2], *t3 = taps[3];
        // A local count: the loop's stores could otherwise alias the captured one.
        const size_t count = bytes;
        for (size_t b = 0; b < count; ++b)
            to[b] = LimitedByte(w[0] * t0[b] + w[1] * t1[b] + w[2] * t2[b] + w[3] * t3[b]);
    });
}

void EnlargeColumnsCubic(const RectView& destination, const RectView& source)
{
    const int32_t sourceColumns = source.Columns();
    const int32_t columns = destination.Columns();
    const uint32_t step = SpanStep(sourceColumns, columns - 1);
    const FDisplayResizeWeights& table = DisplayResizeWeights();
    // Each row on its own: in place, a row is walked from its right end.
    ForEachRow(destination, false, [&, sourceColumns, columns, step](int32_t y) {
        const uint8_t* from = source.Row(y);
        uint8_t* to = destination.Row(y);
        for (int32_t x = columns - 1; x >= 0; --x) {
            const EnlargePosition at = PositionOf(x, columns, sourceColumns, step);
            uint8_t* pixel = to + x * kBytesPerPixel;
            if (at.phase == 0) {
                std::memmove(pixel, from + at.cursor * kBytesPerPixel, kBytesPerPixel);
                continue;
            }
            std::array<const uint8_t*, 4> taps;
            for (int t = 0; t < 4; ++t)
                taps[t] = from + std::clamp(at.cursor - 2 + t, 0, sourceColumns - 1) * kBytesPerPixel;
            const std::array<int32_t, 4>& weights = table[at.phase >> 8];
            uint8_t result[kBytesPerPixel];
            for (size_t b = 0; b < kBytesPerPixel; ++b)
                result[b] = FilteredByte(weights, taps, b);
            std::memcpy(pixel, result, kBytesPerPixel);
        }
    });
}

void CopyRect(const RectView& destination, const RectView& source)
{
    const size_t bytes = size_t(source.Columns()) * kBytesPerPixel;
    ForEachRow(source, false,
               [&](int32_t y) { std::memmove(destination.Row(y), source.Row(y), bytes); });
}

// The part of the destination that holds the intermediate picture of a
// two-step resize.
RectView Part(const RectView& view, int32_t columns, int32_t rows)
{
    const FIntRect& r = view.rect;
    return {view.pixmap, FIntRect(r.left, r.top, r.left + columns, r.top + rows)};
}

void ResizeDisplayRect(const RectView& destination, const RectView& source)
{
    const int32_t sw = source.Columns(), sh = source.Rows();
    const int32_t dw = destination.Columns(), dh = destination.Rows();
    if (sw == dw && sh == dh)
        CopyRect(destination, source);
    else if (sw == dw)
        sh > dh ? ShrinkRowsNearest(destination, source) : EnlargeRowsCubic(destination, source, false);
    else if (sw > dw && sh == dh)
        ShrinkColumnsNearest(destination, source);
    else if (sw > dw && sh > dh)
        ShrinkBilinear(destination, source);
    else if (sw > dw) {
        ShrinkColumnsNearest(Part(destination, dw, sh), source);
        EnlargeRowsCubic(destination, Part(destination, dw, sh), true);
    } else if (sh == dh)
        EnlargeColumnsCubic(destination, source);
    else if (sh > dh) {
        ShrinkRowsNearest(Part(destination, sw, dh), source);
        EnlargeColumnsCubic(destination, Part(destination, sw, dh));
    } else {
        EnlargeColumnsCubic(Part(destination, dw, sh), source);
        EnlargeRowsCubic(destination, Part(destination, dw, sh), true);
    }
}

bool IsUsableDisplay(const FPixmap* pixmap)
{
    return pixmap && pixmap->GetPixelType() == FPixmap::PIXEL_32_BGRA && pixmap->m_pData &&
           pixmap->m_iColumns > 0 && pixmap->m_iRows > 0;
}

// A sinc of the distance windowed by 0.55 + 0.45 cos(pi d / 2), normalised
// per phase to exactly 32768.
FDisplayResizeWeights BuildDisplayResizeWeights()
{
    const auto weight = [](double d) {
        const double x = std::numbers::pi * d;
        const double sinc = d == 0.0 ? 1.0 : std::sin(x) / x;
        return sinc * (0.55 + 0.45 * std::cos(x / 2.0));
    };
    FDisplayResizeWeights table{};
    for (int k = 0; k < 128; ++k) {
        const double t = k / 128.0;
        const std::array<double, 4> raw{weight(2.0 - t), weight(1.0 - t), weight(t), weight(1.0 + t)};
        const double sum = raw[0] + raw[1] + raw[2] + raw[3];
        for (int i = 0; i < 4; ++i)
            table[k][i] = static_cast<int32_t>(std::lround(32768.0 * raw[i] / sum));
        // The rounding remainder goes to the nearest tap, so that a flat
        // picture (opaque alpha too) comes out exactly as it went in.
        const int nearest = k < 64 ? 2 : 1;
        table[k][nearest] += 32768 - (table[k][0] + table[k][1] + table[k][2] + table[k][3]);
    }
    return table;
}

} // namespace

const FDisplayResizeWeights& DisplayResizeWeights()
{
    static const FDisplayResizeWeights table = BuildDisplayResizeWeights();
    return table;
}

bool ClipResizeRects(FIntRect& destinationRect, const FPixmap& destination, FIntRect& sourceRect,
                     const FPixmap& source)
{
    if (destinationRect.IsEmpty() || sourceRect.IsEmpty() || !destinationRect.Intersects(Bounds(destination)))
        return false;
    ClipSides(destinationRect, destination, sourceRect);
    if (!sourceRect.Intersects(Bounds(source)))
        return false;
    ClipSides(sourceRect, source, destinationRect);
    return destinationRect.Intersects(Bounds(destination)) && !sourceRect.IsEmpty();
}

void ResizeDisplayPixmap(FPixmap* destination, const FIntRect* destinationRect, const FPixmap* source,
                         const FIntRect* sourceRect)
{
    if (!destinationRect || !sourceRect || !IsUsableDisplay(destination) || !IsUsableDisplay(source))
        return;
    FIntRect to = *destinationRect;
    FIntRect from = *sourceRect;
    if (!ClipResizeRects(to, *destination, from, *source))
        return;
    ResizeDisplayRect({destination, to}, {source, from});
}
