#include "engine/NoiseReductionResampling.h"

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

// Decimation by Factor. Only the first Factor x (W / Factor) columns and rows
// are read; indices outside them are clamped to them. Horizontally filtered
// rows go into a ring of 2 x Factor rows, so each source row is filtered once:
// the rows one output needs are 2 x Factor consecutive (clamped) indices.
template <int Factor, class SourcePixmap>
void DecimateImage(FloatRGBPixmap& destination, const SourcePixmap& source)
{
    constexpr int32_t kRingRows = 2 * Factor;
    const int32_t outColumns = std::min(source.m_iColumns / Factor, destination.m_iColumns);
    const int32_t outRows = std::min(source.m_iRows / Factor, destination.m_iRows);
    if (outColumns <= 0 || outRows <= 0)
        return;
    const int32_t lastColumn = Factor * (source.m_iColumns / Factor) - 1;
    const int32_t lastRow = Factor * (source.m_iRows / Factor) - 1;

    std::vector<FloatPixel> ring(static_cast<size_t>(kRingRows) * static_cast<size_t>(outColumns),
                                 FloatPixel{0.0f, 0.0f, 0.0f});
    std::array<int32_t, kRingRows> rowInSlot;
    rowInSlot.fill(-1);

    auto filteredRow = [&](int32_t row) -> const FloatPixel* {
        row = std::clamp(row, 0, lastRow);
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
    for (int32_t j = 0; j < outRows; ++j) {
        const int32_t firstRow = Factor * j - (Factor / 2);
        for (int32_t t = 0; t < kRingRows; ++t)
            rows[t] = filteredRow(firstRow + t);
        FloatPixel* out = destination.GetRow(j);
        for (int32_t i = 0; i < outColumns; ++i) {
            auto sampleAt = [&](int32_t r) { return rows[r - firstRow][i]; };
            out[i] = Decimate<Factor>(sampleAt, Factor * j);
        }
    }
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

// Repeats the last written column and row of the destination to its edges.
void ReplicateBeyond(FloatRGBPixmap& destination, int32_t writtenColumns, int32_t writtenRows)
{
    if (writtenColumns <= 0 || writtenRows <= 0)
        return;
    for (int32_t y = 0; y < writtenRows; ++y) {
        FloatPixel* row = destination.GetRow(y);
        std::fill(row + writtenColumns, row + destination.m_iColumns, row[writtenColumns - 1]);
    }
    const FloatPixel* last = destination.GetRow(writtenRows - 1);
    for (int32_t y = writtenRows; y < destination.m_iRows; ++y)
        std::copy(last, last + destination.m_iColumns, destination.GetRow(y));
}

template <int Factor>
void InterpolateImage(FloatRGBPixmap& destination, const FloatRGBPixmap& source)
{
    const int32_t columns = source.m_iColumns, rows = source.m_iRows;
    if (columns <= 0 || rows <= 0)
        return;
    const int32_t outColumns = std::min(Factor * columns, destination.m_iColumns);
    const int32_t outRows = std::min(Factor * rows, destination.m_iRows);

    // Two horizontally interpolated rows, reused alternately.
    std::vector<FloatPixel> lines(2 * static_cast<size_t>(outColumns), FloatPixel{0.0f, 0.0f, 0.0f});
    std::array<int32_t, 2> rowInLine = {-1, -1};
    auto interpolatedRow = [&](int32_t row) -> const FloatPixel* {
        const int32_t slot = row & 1;
        FloatPixel* line = lines.data() + static_cast<size_t>(slot) * static_cast<size_t>(outColumns);
        if (rowInLine[slot] != row) {
            const FloatPixel* in = source.GetRow(row);
            InterpolateLine<Factor>(line, outColumns, columns, [&](int32_t x) { return in[x]; });
            rowInLine[slot] = row;
        }
        return line;
    };

    // Output rows in order: each is a blend of two interpolated source rows.
    using W = InterpolationWeights<Factor>;
    auto writeRow = [&](int32_t y, const FloatPixel* a, float wa, const FloatPixel* b, float wb) {
        if (y >= outRows)
            return;
        FloatPixel* out = destination.GetRow(y);
        for (int32_t x = 0; x < outColumns; ++x)
            out[x] = Blend(a[x], wa, b[x], wb);
    };
    auto copyRow = [&](int32_t y, const FloatPixel* a) {
        if (y < outRows)
            std::copy(a, a + outColumns, destination.GetRow(y));
    };
    for (int32_t p = 0; p < W::kLead; ++p)
        copyRow(p, interpolatedRow(0));
    for (int32_t i = 0; i + 1 < rows; ++i) {
        const FloatPixel* a = interpolatedRow(i);
        const FloatPixel* b = interpolatedRow(i + 1);
        for (int32_t t = 0; t < Factor; ++t)
            writeRow(Factor * i + W::kLead + t, a, W::kNear[t], b, W::kFar[t]);
    }
    for (int32_t p = Factor * rows - (Factor - W::kLead); p < Factor * rows; ++p)
        copyRow(p, interpolatedRow(rows - 1));
    ReplicateBeyond(destination, outColumns, outRows);
}

template <class SourcePixmap>
void ConvertImage(FloatRGBPixmap& destination, const SourcePixmap& source)
{
    const int32_t columns = std::min(source.m_iColumns, destination.m_iColumns);
    const int32_t rows = std::min(source.m_iRows, destination.m_iRows);
    for (int32_t y = 0; y < rows; ++y) {
        const auto* in = source.GetRow(y);
        FloatPixel* out = destination.GetRow(y);
        for (int32_t x = 0; x < columns; ++x)
            out[x] = ToFloat(in[x]);
    }
}

} // namespace

void ConvertFrom48S(FloatRGBPixmap& destination, const WorkingPixmap& source)
{
    ConvertImage(destination, source);
}

void CopyRGBFloat(FloatRGBPixmap& destination, const FloatRGBPixmap& source)
{
    ConvertImage(destination, source);
}

void DownSample2From48S(FloatRGBPixmap& destination, const WorkingPixmap& source)
{
    DecimateImage<2>(destination, source);
}

void DownSample2(FloatRGBPixmap& destination, const FloatRGBPixmap& source)
{
    DecimateImage<2>(destination, source);
}

void DownSample4From48S(FloatRGBPixmap& destination, const WorkingPixmap& source)
{
    DecimateImage<4>(destination, source);
}

void DownSample4(FloatRGBPixmap& destination, const FloatRGBPixmap& source)
{
    DecimateImage<4>(destination, source);
}

void UpSample2(FloatRGBPixmap& destination, const FloatRGBPixmap& source)
{
    InterpolateImage<2>(destination, source);
}

void UpSample4(FloatRGBPixmap& destination, const FloatRGBPixmap& source)
{
    InterpolateImage<4>(destination, source);
}
