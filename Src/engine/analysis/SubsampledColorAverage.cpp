#include "engine/analysis/SubsampledColorAverage.h"

#include "engine/core/RowBandLoop.h"
#include "foundation/FException.h"

#include <mutex>

namespace {

struct ChannelValues {
    double r, g, b;
};

// Pixels with r, g and b members; the packed ones have their own forms below.
template <class PixelClass>
ChannelValues Read(const PixelClass& p)
{
    return {double(p.r), double(p.g), double(p.b)};
}

ChannelValues Read(const FPixelClass30RGBL& p)
{
    const FIntTriple rgb = p;
    return {double(rgb.r), double(rgb.g), double(rgb.b)};
}

// Blue has one bit less than red and green; doubling it puts all three on the
// 11-bit scale.
ChannelValues Read(const FPixelClass30RGB& p)
{
    return {double(p.word & 0x7FF), double((p.word >> 11) & 0x7FF), double((p.word >> 22) * 2)};
}

template <class PixelClass>
FDoubleTriple GridAverage(const FPixmap* pixmap, int32_t step)
{
    const auto* typed = dynamic_cast<const FPixmapTemplate<PixelClass>*>(pixmap);
    if (!typed)
        throw FExceptionPixelProc2("SubsampledAverage: input pixmap ptr is not specified type");
    if (step <= 0)
        step = 1;
    const int64_t start = step / 2;
    if (start >= typed->m_iRows || start >= typed->m_iColumns)
        return {};
    // Every value is an integer and every sum stays far below 2^53, so the
    // sums are exact and the bands' partial sums add up to the same values in
    // any order.
    const int64_t sampledRows = (typed->m_iRows - start + step - 1) / step;
    const int64_t sampledColumns = (typed->m_iColumns - start + step - 1) / step;
    std::mutex lock;
    double sums[3] = {0, 0, 0};
    int64_t count = 0;
    RunInRowBands(static_cast<uint32_t>(sampledRows), [&](uint32_t first, uint32_t last) {
        double band[3] = {0, 0, 0};
        for (int64_t i = first; i <= int64_t(last); ++i) {
            // 64-bit positions: a step near the int range must not wrap back into the image.
            const PixelClass* row = typed->GetRow(static_cast<int32_t>(start + i * step));
            for (int64_t x = start; x < typed->m_iColumns; x += step) {
                const ChannelValues v = Read(row[x]);
                band[0] += v.r;
                band[1] += v.g;
                band[2] += v.b;
            }
        }
        std::lock_guard hold(lock);
        for (int k = 0; k < 3; ++k)
            sums[k] += band[k];
        count += (int64_t(last) - first + 1) * sampledColumns;
    }, RowBandCountFor(static_cast<uint64_t>(sampledRows) * static_cast<uint64_t>(sampledColumns)));
    if (count == 0)
        return {};
    return FDoubleTriple(sums[0], sums[1], sums[2]) / static_cast<double>(count);
}

} // namespace

FDoubleTriple& SubsampledColorAverage(FDoubleTriple& out, const FPixmap* pixmap, int32_t step)
{
    if (!pixmap)
        throw FExceptionPixelProc2("SubsampledAverage: input pixmap ptr is not specified type");
    switch (pixmap->GetPixelType()) {
    case FPixmap::PIXEL_24_RGB:
        out = GridAverage<FPixelClass24RGB>(pixmap, step);
        break;
    case FPixmap::PIXEL_30_RGBL:
        out = GridAverage<FPixelClass30RGBL>(pixmap, step);
        break;
    case FPixmap::PIXEL_30_RGB:
        out = GridAverage<FPixelClass30RGB>(pixmap, step);
        break;
    case FPixmap::PIXEL_48_RGB:
        out = GridAverage<FPixelClass48RGB>(pixmap, step);
        break;
    case FPixmap::PIXEL_48S_RGB:
        out = GridAverage<FPixelClass48SRGB>(pixmap, step);
        break;
    case FPixmap::PIXEL_48_BGR:
        out = GridAverage<FPixelClass48BGR>(pixmap, step);
        break;
    default:
        throw FExceptionPixelProc2("SubsampledColorAverage: Unknown pixel type");
    }
    return out;
}

FDoubleTriple& ScaledColorAverage(FDoubleTriple& out, const FPixmap* pixmap, const FDoubleTriple& factors)
{
    SubsampledColorAverage(out, pixmap, 4);
    out *= factors;
    return out;
}
