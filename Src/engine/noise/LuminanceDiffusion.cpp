#include "engine/noise/LuminanceDiffusion.h"

#include "engine/core/RowBandLoop.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr float kLargestStep = 0.25f;

float UsableStep(float lambda)
{
    return lambda > 0.0f ? std::min(lambda, kLargestStep) : 0.0f;
}

// The squared inverse edge scale q at a value: (1 / K)^2.
struct NoiseModelScale {
    IntensityNoiseModel model;
    float operator()(float value) const
    {
        const float inverse = 1.0f / PositiveDivisor(model.c0 + model.c1 * value);
        return inverse * inverse;
    }
};

struct ConstantScale {
    float q;
    float operator()(float) const { return q; }
};

ConstantScale ConstantScaleOf(int32_t k)
{
    const int64_t square = static_cast<int64_t>(k) * k;
    return {1.0f / static_cast<float>(square)};
}

template <class Scale>
float Diffused(float c, float up, float down, float right, float left, const Scale& scale, float lambda)
{
    const float q = scale(c);
    auto flux = [q, c](float neighbour) {
        const float d = neighbour - c;
        const float g = 1.0f / (q * (d * d) + 1.0f);
        return static_cast<double>(d * g);
    };
    const double sum = flux(up) + flux(down) + flux(right) + flux(left);
    return static_cast<float>(c + static_cast<double>(lambda) * sum);
}

using Row = FPixelClassFlt32Mono;

// One row: interior columns diffused, the first and last copied.
template <class Scale>
void DiffuseRow(Row* out, const Row* up, const Row* row, const Row* down, int32_t columns, const Scale& scale,
                float lambda)
{
    if (columns <= 2) {
        std::copy(row, row + columns, out);
        return;
    }
    const float first = row[0].v, last = row[columns - 1].v;
    for (int32_t x = 1; x + 1 < columns; ++x)
        out[x].v = Diffused(row[x].v, up[x].v, down[x].v, row[x + 1].v, row[x - 1].v, scale, lambda);
    out[0].v = first;
    out[columns - 1].v = last;
}

struct Extent {
    int32_t columns, rows;
};

Extent CommonExtent(const FloatMonoPixmap& a, const FloatMonoPixmap& b)
{
    return {std::min(a.m_iColumns, b.m_iColumns), std::min(a.m_iRows, b.m_iRows)};
}

void CopyRows(FloatMonoPixmap& destination, const FloatMonoPixmap& source, int32_t first, int32_t last,
              int32_t columns)
{
    for (int32_t y = first; y <= last; ++y) {
        const Row* in = source.GetRow(y);
        std::copy(in, in + columns, destination.GetRow(y));
    }
}

// source -> destination for rows first .. last; border rows are copied.
template <class Scale>
void DiffuseIntoRows(FloatMonoPixmap& destination, const FloatMonoPixmap& source, const Scale& scale, float lambda,
                     int32_t first, int32_t last)
{
    const Extent e = CommonExtent(destination, source);
    first = std::max(first, 0);
    last = std::min(last, e.rows - 1);
    for (int32_t y = first; y <= last; ++y) {
        if (y == 0 || y == e.rows - 1 || lambda == 0.0f) {
            CopyRows(destination, source, y, y, e.columns);
            continue;
        }
        DiffuseRow(destination.GetRow(y), source.GetRow(y - 1), source.GetRow(y), source.GetRow(y + 1), e.columns,
                   scale, lambda);
    }
}

// A further iteration on image in place, rows first .. last. Rows just
// outside the band come from outsideRow (their values of the previous
// iteration); a copy of each row's old values is kept until the next row has
// been computed.
template <class Scale, class OutsideRow>
void DiffuseInPlaceRows(FloatMonoPixmap& image, const Scale& scale, float lambda, int32_t first, int32_t last,
                        OutsideRow&& outsideRow)
{
    const int32_t columns = image.m_iColumns, rows = image.m_iRows;
    const int32_t start = std::max(first, 1), end = std::min(last, rows - 2);
    if (start > end)
        return;
    std::vector<Row> previousOld(static_cast<size_t>(columns)), currentOld(previousOld.size());
    const Row* above = start - 1 >= first ? image.GetRow(start - 1) : outsideRow(start - 1);
    std::copy(above, above + columns, previousOld.begin());
    for (int32_t y = start; y <= end; ++y) {
        Row* row = image.GetRow(y);
        std::copy(row, row + columns, currentOld.begin());
        const Row* below = y + 1 <= last ? image.GetRow(y + 1) : outsideRow(y + 1);
        DiffuseRow(row, previousOld.data(), currentOld.data(), below, columns, scale, lambda);
        std::swap(previousOld, currentOld);
    }
}

template <class Scale>
void DiffuseRows(FloatMonoPixmap& destination, const FloatMonoPixmap& source, int32_t iterations, const Scale& scale,
                 float lambda, int32_t first, int32_t last)
{
    DiffuseIntoRows(destination, source, scale, iterations > 0 ? lambda : 0.0f, first, last);
    for (int32_t i = 1; i < iterations; ++i)
        DiffuseInPlaceRows(destination, scale, lambda, first, last,
                           [&](int32_t y) -> const Row* { return destination.GetRow(y); });
}

// Iterations on image in place, each its own band pass. An iteration first
// keeps the first and last row of every band, so a band reads its
// neighbours' rows as they were before the iteration, whatever order the
// bands run in. An in-place iteration gives what one from a copy of the image
// would give.
template <class Scale>
void DiffuseInPlaceBanded(FloatMonoPixmap& image, int32_t iterations, const Scale& scale, float lambda,
                          uint32_t bandCount)
{
    if (iterations <= 0 || lambda == 0.0f || image.m_iColumns <= 0 || image.m_iRows <= 0)
        return;
    const uint32_t rows = static_cast<uint32_t>(image.m_iRows);
    std::vector<std::vector<Row>> kept(rows);
    auto keep = [&](int32_t y) {
        const Row* row = image.GetRow(y);
        kept[static_cast<size_t>(y)].assign(row, row + image.m_iColumns);
    };
    for (int32_t i = 0; i < iterations; ++i) {
        RunInRowBands(rows, [&](uint32_t first, uint32_t last) {
            keep(int32_t(first));
            keep(int32_t(last));
        }, bandCount);
        RunInRowBands(rows, [&](uint32_t first, uint32_t last) {
            DiffuseInPlaceRows(image, scale, lambda, int32_t(first), int32_t(last),
                               [&](int32_t y) -> const Row* { return kept[static_cast<size_t>(y)].data(); });
        }, bandCount);
    }
}

// The first iteration from source into destination, every further one in place.
template <class Scale>
void DiffuseBanded(FloatMonoPixmap& destination, const FloatMonoPixmap& source, int32_t iterations,
                   const Scale& scale, float lambda, uint32_t bandCount)
{
    const Extent e = CommonExtent(destination, source);
    if (e.columns <= 0 || e.rows <= 0)
        return;
    const uint32_t rows = static_cast<uint32_t>(e.rows);
    const float step = iterations > 0 ? lambda : 0.0f;
    RunInRowBands(rows, [&](uint32_t first, uint32_t last) {
        DiffuseIntoRows(destination, source, scale, step, int32_t(first), int32_t(last));
    }, bandCount);
    DiffuseInPlaceBanded(destination, iterations - 1, scale, lambda, bandCount);
}

} // namespace

void AnisoDiffusionNMRows(FloatMonoPixmap& destination, const FloatMonoPixmap& source, int32_t iterations,
                          const IntensityNoiseModel& noiseModel, float lambda, int32_t firstRow, int32_t lastRow)
{
    DiffuseRows(destination, source, iterations, NoiseModelScale{noiseModel}, UsableStep(lambda), firstRow, lastRow);
}

void AnisoDiffusionRows(FloatMonoPixmap& destination, const FloatMonoPixmap& source, int32_t iterations, int32_t k,
                        float lambda, int32_t firstRow, int32_t lastRow)
{
    const float step = k > 0 ? UsableStep(lambda) : 0.0f;
    DiffuseRows(destination, source, k > 0 ? iterations : 0, ConstantScaleOf(std::max(k, 1)), step, firstRow,
                lastRow);
}

void AnisoDiffusionNM(FloatMonoPixmap& destination, const FloatMonoPixmap& source, int32_t iterations,
                      const IntensityNoiseModel& noiseModel, float lambda, uint32_t bandCount)
{
    DiffuseBanded(destination, source, iterations, NoiseModelScale{noiseModel}, UsableStep(lambda), bandCount);
}

void AnisoDiffusion(FloatMonoPixmap& destination, const FloatMonoPixmap& source, int32_t iterations, int32_t k,
                    float lambda, uint32_t bandCount)
{
    const float step = k > 0 ? UsableStep(lambda) : 0.0f;
    DiffuseBanded(destination, source, k > 0 ? iterations : 0, ConstantScaleOf(std::max(k, 1)), step, bandCount);
}

void AnisoDiffusionNMInPlace(FloatMonoPixmap& image, int32_t iterations, const IntensityNoiseModel& noiseModel,
                             float lambda, uint32_t bandCount)
{
    DiffuseInPlaceBanded(image, iterations, NoiseModelScale{noiseModel}, UsableStep(lambda), bandCount);
}

void AnisoDiffusionInPlace(FloatMonoPixmap& image, int32_t iterations, int32_t k, float lambda, uint32_t bandCount)
{
    if (k > 0)
        DiffuseInPlaceBanded(image, iterations, ConstantScaleOf(k), UsableStep(lambda), bandCount);
}

void ClipLocalMaximaRow(FPixelClassFlt32Mono* out, const FloatMonoPixmap& source, int32_t y)
{
    const int32_t columns = source.m_iColumns, rows = source.m_iRows;
    const Row* row = source.GetRow(y);
    std::copy(row, row + columns, out);
    if (y == 0 || y == rows - 1)
        return;
    const Row* up = source.GetRow(y - 1);
    const Row* down = source.GetRow(y + 1);
    auto columnMax = [&](int32_t x) { return std::max(std::max(up[x].v, row[x].v), down[x].v); };
    for (int32_t x = 1; x + 1 < columns; ++x) {
        const float v = row[x].v;
        const float left = columnMax(x - 1), right = columnMax(x + 1);
        if (v > left && v > right && v == columnMax(x))
            out[x].v = std::max({left, right, up[x].v, down[x].v});
    }
}

void ClipLocalMaxima(FloatMonoPixmap& destination, const FloatMonoPixmap& source)
{
    const Extent e = CommonExtent(destination, source);
    if (e.columns <= 0)
        return;
    // Rows of the common extent only: a view of the source of that size.
    const FloatMonoPixmap view(source.GetRow(0), e.columns, e.rows, source.m_iRowBytes);
    for (int32_t y = 0; y < e.rows; ++y)
        ClipLocalMaximaRow(destination.GetRow(y), view, y);
}
