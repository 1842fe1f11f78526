#include "engine/noise/NoiseReductionResampling.h"

#include "engine/core/RowBandLoop.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

using FloatPixel = FPixelClassFlt32RGB;

FloatPixel ToFloat(const FPixelClass48SRGB& p)
{
    return {static_cast<float>(p.r), static_cast<float>(p.g), static_cast<float>(p.b)};
}

FloatPixel ToFloat(const FloatPixel& p)
{
    return p;
}

// Symmetric decimation kernels as pairs of taps (offsets a and b from the
// output's first input sample, one weight), outermost pair first: the sum runs
// from the outer to the inner pair, each pair sum and product rounded to float.
struct TapPair {
    int32_t a, b;
    float weight;
};

template <int Factor>
struct DecimationKernel;

template <>
struct DecimationKernel<2> {
    static constexpr std::array<TapPair, 2> kPairs = {{{-1, 2, 0.125f}, {0, 1, 0.375f}}};
};

template <>
struct DecimationKernel<4> {
    static constexpr std::array<TapPair, 4> kPairs = {
        {{-2, 5, 0.0313f}, {-1, 4, 0.0938f}, {0, 3, 0.1563f}, {1, 2, 0.2188f}}};
};

template <int Factor, class Sample>
FloatPixel Decimate(Sample&& sampleAt, int32_t first)
{
    FloatPixel sum{0.0f, 0.0f, 0.0f};
    bool firstPair = true;
    for (const TapPair& pair : DecimationKernel<Factor>::kPairs) {
        const FloatPixel a = sampleAt(first + pair.a);
        const FloatPixel b = sampleAt(first + pair.b);
        const float pr = pair.weight * (a.r + b.r);
        const float pg = pair.weight * (a.g + b.g);
        const float pb = pair.weight * (a.b + b.b);
        if (firstPair) {
            sum = {pr, pg, pb};
            firstPair = false;
        } else {
            sum = {sum.r + pr, sum.g + pg, sum.b + pb};
        }
    }
    return sum;
}

// Decimation by Factor of output rows firstRow .. lastRow. Only the first
// Factor x (W / Factor) columns and rows are read; indices outside them are
// clamped to them. Horizontally filtered rows go into a ring of 2 x Factor
// rows, so each source row a band needs is filtered once: the rows one output
// needs are 2 x Factor consecutive (clamped) indices. Bands recompute the few
// source rows they share, with the same arithmetic.
template <int Factor, class SourcePixmap>
void DecimateRows(FloatRGBPixmap& destination, const SourcePixmap& source, int32_t firstRow, int32_t lastRow)
{
    constexpr int32_t kRingRows = 2 * Factor;
    const int32_t outColumns = std::min(source.m_iColumns / Factor, destination.m_iColumns);
    const int32_t outRows = std::min(source.m_iRows / Factor, destination.m_iRows);
    firstRow = std::max(firstRow, 0);
    lastRow = std::min(lastRow, outRows - 1);
    if (outColumns <= 0 || firstRow > lastRow)
        return;
    const int32_t lastColumn = Factor * (source.m_iColumns / Factor) - 1;
    const int32_t lastSourceRow = Factor * (source.m_iRows / Factor) - 1;

    std::vector<FloatPixel> ring(static_cast<size_t>(kRingRows) * static_cast<size_t>(outColumns));
    std::array<int32_t, kRingRows> rowInSlot;
    rowInSlot.fill(-1);

    auto filteredRow = [&](int32_t row) -> const FloatPixel* {
        row = std::clamp(row, 0, lastSourceRow);
        const int32_t slot = row % kRingRows;
        FloatPixel* out = ring.data() + static_cast<size_t>(slot) * static_cast<size_t>(outColumns);
        if (rowInSlot[slot] != row) {
            const auto* in = source.GetRow(row);
            auto sampleAt = [&](int32_t x) { return ToFloat(in[std::clamp(x, 0, lastColumn)]); };
            for (int32_t i = 0; i < outColumns; ++i)
                out[i] = Decimate<Factor>(sampleAt, Factor * i);
            rowInSlot[slot] = row;
        }
        return out;
    };

    std::array<const FloatPixel*, kRingRows> rows{};
    for (int32_t j = firstRow; j <= lastRow; ++j) {
        const int32_t firstSourceRow = Factor * j - (Factor / 2);
        for (int32_t t = 0; t < kRingRows; ++t)
            rows[t] = filteredRow(firstSourceRow + t);
        FloatPixel* out = destination.GetRow(j);
        for (int32_t i = 0; i < outColumns; ++i) {
            auto sampleAt = [&](int32_t r) { return rows[r - firstSourceRow][i]; };
            out[i] = Decimate<Factor>(sampleAt, Factor * j);
        }
    }
}

template <int Factor, class SourcePixmap>
void DecimateImage(FloatRGBPixmap& destination, const SourcePixmap& source, uint32_t bandCount)
{
    const int32_t outRows = std::min(source.m_iRows / Factor, destination.m_iRows);
    if (outRows <= 0)
        return;
    RunInRowBands(static_cast<uint32_t>(outRows), [&](uint32_t first, uint32_t last) {
        DecimateRows<Factor>(destination, source, int32_t(first), int32_t(last));
    }, bandCount);
}

// Linear interpolation by Factor: output position Factor x i + Lead + t takes
// weight w_t of source i and 1 - w_t of source i + 1; the first and last Lead
// positions repeat the edge samples.
template <int Factor>
struct InterpolationWeights;

template <>
struct InterpolationWeights<2> {
    static constexpr int32_t kLead = 1;
    static constexpr std::array<float, 2> kNear = {0.75f, 0.25f};
    static constexpr std::array<float, 2> kFar = {0.25f, 0.75f};
};

template <>
struct InterpolationWeights<4> {
    static constexpr int32_t kLead = 2;
    static constexpr std::array<float, 4> kNear = {0.875f, 0.625f, 0.375f, 0.125f};
    static constexpr std::array<float, 4> kFar = {0.125f, 0.375f, 0.625f, 0.875f};
};

FloatPixel Blend(const FloatPixel& a, float wa, const FloatPixel& b, float wb)
{
    return {wa * a.r + wb * b.r, wa * a.g + wb * b.g, wa * a.b + wb * b.b};
}

// Writes out[0 .. min(Factor x n, limit) - 1] from n samples.
template <int Factor, class Sample>
void InterpolateLine(FloatPixel* out, int32_t limit, int32_t n, Sample&& sampleAt)
{
    using W = InterpolationWeights<Factor>;
    auto put = [&](int32_t position, const FloatPixel& value) {
        if (position < limit)
            out[position] = value;
    };
    for (int32_t p = 0; p < W::kLead; ++p)
        put(p, sampleAt(0));
    for (int32_t i = 0; i + 1 < n; ++i) {
        const FloatPixel a = sampleAt(i), b = sampleAt(i + 1);
        for (int32_t t = 0; t < Factor; ++t)
            put(Factor * i + W::kLead + t, Blend(a, W::kNear[t], b, W::kFar[t]));
    }
    for (int32_t p = Factor * n - (Factor - W::kLead); p < Factor * n; ++p)
        put(p, sampleAt(n - 1));
}

template <int Factor>
const FloatPixel* InterpolatedRow(UpsampledRows::Lines& lines, const FloatRGBPixmap& source, int32_t outColumns,
                                  int32_t row)
{
    const int32_t slot = row & 1;
    FloatPixel* line = lines.pixels.data() + static_cast<size_t>(slot) * static_cast<size_t>(lines.columns);
    if (lines.rowInLine[slot] != row) {
        const FloatPixel* in = source.GetRow(row);
        if constexpr (Factor == 1)
            std::copy(in, in + outColumns, line);
        else
            InterpolateLine<Factor>(line, outColumns, source.m_iColumns, [&](int32_t x) { return in[x]; });
        // Columns beyond the interpolated ones repeat the last of them.
        if (outColumns > 0)
            std::fill(line + outColumns, line + lines.columns, line[outColumns - 1]);
        lines.rowInLine[slot] = row;
    }
    return line;
}

// Output row y is a blend of two horizontally interpolated source rows, or
// one of them at the edges; rows beyond the interpolated ones repeat the last.
template <int Factor>
const FloatPixel* UpsampledRow(UpsampledRows::Lines& lines, FloatPixel* blended, const FloatRGBPixmap& source,
                               int32_t outColumns, int32_t outRows, int32_t y)
{
    y = std::min(y, outRows - 1);
    if constexpr (Factor == 1) {
        if (outColumns == lines.columns)
            return source.GetRow(y);
        return InterpolatedRow<1>(lines, source, outColumns, y);
    } else {
        using W = InterpolationWeights<Factor>;
        const int32_t sourceRows = source.m_iRows;
        if (y < W::kLead)
            return InterpolatedRow<Factor>(lines, source, outColumns, 0);
        if (y >= Factor * sourceRows - (Factor - W::kLead))
            return InterpolatedRow<Factor>(lines, source, outColumns, sourceRows - 1);
        const int32_t i = (y - W::kLead) / Factor, t = (y - W::kLead) % Factor;
        const FloatPixel* a = InterpolatedRow<Factor>(lines, source, outColumns, i);
        const FloatPixel* b = InterpolatedRow<Factor>(lines, source, outColumns, i + 1);
        const float wa = W::kNear[static_cast<size_t>(t)], wb = W::kFar[static_cast<size_t>(t)];
        for (int32_t x = 0; x < lines.columns; ++x)
            blended[x] = Blend(a[x], wa, b[x], wb);
        return blended;
    }
}

template <int Factor>
void InterpolateImage(FloatRGBPixmap& destination, const FloatRGBPixmap& source)
{
    if (source.m_iColumns <= 0 || source.m_iRows <= 0 || destination.m_iColumns <= 0)
        return;
    UpsampledRows rows(source, Factor, destination.m_iColumns, destination.m_iRows);
    for (int32_t y = 0; y < destination.m_iRows; ++y) {
        const FloatPixel* row = rows.Row(y);
        std::copy(row, row + destination.m_iColumns, destination.GetRow(y));
    }
}

template <class SourcePixmap>
void ConvertImage(FloatRGBPixmap& destination, const SourcePixmap& source, uint32_t bandCount)
{
    const int32_t columns = std::min(source.m_iColumns, destination.m_iColumns);
    const int32_t rows = std::min(source.m_iRows, destination.m_iRows);
    if (columns <= 0 || rows <= 0)
        return;
    RunInRowBands(static_cast<uint32_t>(rows), [&](uint32_t first, uint32_t last) {
        for (int32_t y = int32_t(first); y <= int32_t(last); ++y) {
            const auto* in = source.GetRow(y);
            FloatPixel* out = destination.GetRow(y);
            for (int32_t x = 0; x < columns; ++x)
                out[x] = ToFloat(in[x]);
        }
    }, bandCount);
}

} // namespace

void ConvertFrom48S(FloatRGBPixmap& destination, const WorkingPixmap& source, uint32_t bandCount)
{
    ConvertImage(destination, source, bandCount);
}

void CopyRGBFloat(FloatRGBPixmap& destination, const FloatRGBPixmap& source)
{
    ConvertImage(destination, source, 1);
}

void DownSample2From48S(FloatRGBPixmap& destination, const WorkingPixmap& source, uint32_t bandCount)
{
    DecimateImage<2>(destination, source, bandCount);
}

void DownSample2(FloatRGBPixmap& destination, const FloatRGBPixmap& source, uint32_t bandCount)
{
    DecimateImage<2>(destination, source, bandCount);
}

void DownSample4From48S(FloatRGBPixmap& destination, const WorkingPixmap& source, uint32_t bandCount)
{
    DecimateImage<4>(destination, source, bandCount);
}

void DownSample4(FloatRGBPixmap& destination, const FloatRGBPixmap& source, uint32_t bandCount)
{
    DecimateImage<4>(destination, source, bandCount);
}

void UpSample2(FloatRGBPixmap& destination, const FloatRGBPixmap& source)
{
    InterpolateImage<2>(destination, source);
}

void UpSample4(FloatRGBPixmap& destination, const FloatRGBPixmap& source)
{
    InterpolateImage<4>(destination, source);
}

UpsampledRows::UpsampledRows(const FloatRGBPixmap& source, int32_t factor, int32_t columns, int32_t rows)
    : m_Source(source),
      m_iFactor(factor == 1 || factor == 2 ? factor : 4),
      m_iOutColumns(std::min(m_iFactor * source.m_iColumns, columns)),
      m_iOutRows(std::min(m_iFactor * source.m_iRows, rows)),
      m_Lines{std::vector<FloatPixel>(2 * static_cast<size_t>(std::max(columns, 0))), {-1, -1}, std::max(columns, 0)},
      m_Blended(static_cast<size_t>(std::max(columns, 0)))
{
}

const FPixelClassFlt32RGB* UpsampledRows::Row(int32_t y)
{
    if (m_iFactor == 1)
        return UpsampledRow<1>(m_Lines, m_Blended.data(), m_Source, m_iOutColumns, m_iOutRows, y);
    if (m_iFactor == 2)
        return UpsampledRow<2>(m_Lines, m_Blended.data(), m_Source, m_iOutColumns, m_iOutRows, y);
    return UpsampledRow<4>(m_Lines, m_Blended.data(), m_Source, m_iOutColumns, m_iOutRows, y);
}
