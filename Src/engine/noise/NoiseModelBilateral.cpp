#include "engine/noise/NoiseModelBilateral.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <vector>

namespace {

constexpr int32_t kLargestWindow = 127;

struct Accepted {
    FPixelClassFlt32RGB colour;
    float weight;
};

struct InverseVariance {
    float r, g, b;
};

InverseVariance InverseVarianceAt(const ColorNoiseModel& model, const FPixelClassFlt32RGB& centre)
{
    return {1.0f / PositiveDivisor(model.a[0] + model.b[0] * std::fabs(centre.r)),
            1.0f / PositiveDivisor(model.a[1] + model.b[1] * std::fabs(centre.g)),
            1.0f / PositiveDivisor(model.a[2] + model.b[2] * std::fabs(centre.b))};
}

float SquaredDistance(const FPixelClassFlt32RGB& p, const FPixelClassFlt32RGB& centre, const InverseVariance& inv)
{
    const float dr = p.r - centre.r, dg = p.g - centre.g, db = p.b - centre.b;
    const float sr = dr * dr, sg = dg * dg, sb = db * db;
    const float pr = sr * inv.r, pg = sg * inv.g, pb = sb * inv.b;
    const float sum = pr + pg;
    return sum + pb;
}

// The weighted mean of the accepted samples: colours summed from the last
// accepted back to the first, weights in acceptance order.
FPixelClassFlt32RGB WeightedMean(const std::vector<Accepted>& accepted, size_t count)
{
    float weightSum = 0.0f;
    for (size_t i = 0; i < count; ++i)
        weightSum += accepted[i].weight;
    FPixelClassFlt32RGB sum{0.0f, 0.0f, 0.0f};
    for (size_t i = count; i-- > 0;) {
        const Accepted& a = accepted[i];
        sum.r += a.colour.r * a.weight;
        sum.g += a.colour.g * a.weight;
        sum.b += a.colour.b * a.weight;
    }
    return {sum.r / weightSum, sum.g / weightSum, sum.b / weightSum};
}

} // namespace

void FillRangeWeightTable(RangeWeightTable& table, float noiseScaling)
{
    const float s = noiseScaling >= 0.0f ? std::min(noiseScaling, FLT_MAX) : 0.0f;
    table.fLimit = 16.0f;
    table.fScale = 100.0f;
    for (uint32_t i = 0; i < static_cast<uint32_t>(RangeWeightTable::kEntries); ++i) {
        const float exponent = -(s * static_cast<float>(i)) / 100.0f;
        table.afWeight[i] = static_cast<float>(std::exp(static_cast<double>(exponent)));
    }
}

namespace {

// The window positions in the order the filter visits them: rows top to
// bottom, columns left to right, every other one in a quincunx.
struct WindowTap {
    int32_t row; // 0 .. n - 1 from the top of the window
    int32_t dx;
};

std::vector<WindowTap> WindowTaps(int32_t n, bool subSampleKernel)
{
    const int32_t r = n >> 1;
    std::vector<WindowTap> taps;
    int32_t halfWidth = r;
    for (int32_t j = 0; j < n; ++j) {
        const int32_t reach = subSampleKernel ? halfWidth : r;
        const int32_t step = subSampleKernel ? 2 : 1;
        for (int32_t dx = -reach; dx <= reach; dx += step)
            taps.push_back({j, dx});
        halfWidth = (2 * r - 1) - halfWidth;
    }
    return taps;
}

// One pixel, any column: window columns outside the image repeat the edge.
FPixelClassFlt32RGB FilterPixel(const FPixelClassFlt32RGB* const* windowRows, const std::vector<WindowTap>& taps,
                                const FPixelClassFlt32RGB& centre, int32_t x, int32_t columns,
                                const ColorNoiseModel& noiseModel, const RangeWeightTable& table,
                                std::vector<Accepted>& accepted)
{
    const InverseVariance inv = InverseVarianceAt(noiseModel, centre);
    size_t count = 0;
    for (const WindowTap& tap : taps) {
        const FPixelClassFlt32RGB p = windowRows[tap.row][std::clamp(x + tap.dx, 0, columns - 1)];
        const float d = SquaredDistance(p, centre, inv);
        if (d < table.fLimit)
            accepted[count++] = {p, RangeWeight(table, d)};
    }
    // The centre itself is always accepted with weight 1.
    return count > 0 ? WeightedMean(accepted, count) : centre;
}

// kLanes neighbouring pixels whose windows lie inside the image, side by
// side: each lane goes through the same steps in the same order as
// FilterPixel. A rejected sample gets weight 0, which adds nothing: its
// product is a zero and the sums, starting at +0, are never -0. The colours
// are summed from the last window position back, as the accepted ones are.
constexpr int32_t kLanes = 8;

void FilterLanes(FPixelClassFlt32RGB* out, const FPixelClassFlt32RGB* const* windowRows,
                 const std::vector<WindowTap>& taps, const FPixelClassFlt32RGB* centres, int32_t x,
                 const ColorNoiseModel& noiseModel, const RangeWeightTable& table, float* weights)
{
    float cr[kLanes], cg[kLanes], cb[kLanes], ir[kLanes], ig[kLanes], ib[kLanes];
    for (int32_t lane = 0; lane < kLanes; ++lane) {
        const FPixelClassFlt32RGB& c = centres[lane];
        const InverseVariance inv = InverseVarianceAt(noiseModel, c);
        cr[lane] = c.r, cg[lane] = c.g, cb[lane] = c.b;
        ir[lane] = inv.r, ig[lane] = inv.g, ib[lane] = inv.b;
    }
    float weightSum[kLanes] = {};
    int32_t count[kLanes] = {};
    int32_t accept[kLanes];
    const float limit = table.fLimit, scale = table.fScale;
    const size_t tapCount = taps.size();
    for (size_t k = 0; k < tapCount; ++k) {
        const FPixelClassFlt32RGB* p = windowRows[taps[k].row] + x + taps[k].dx;
        float d[kLanes];
        for (int32_t lane = 0; lane < kLanes; ++lane) {
            const float dr = p[lane].r - cr[lane], dg = p[lane].g - cg[lane], db = p[lane].b - cb[lane];
            const float sr = dr * dr, sg = dg * dg, sb = db * db;
            const float pr = sr * ir[lane], pg = sg * ig[lane], pb = sb * ib[lane];
            const float sum = pr + pg;
            d[lane] = sum + pb;
        }
        // A rejected distance (also no number) reads entry 0 and weighs 0.
        int32_t index[kLanes];
        for (int32_t lane = 0; lane < kLanes; ++lane) {
            accept[lane] = d[lane] < limit ? 1 : 0;
            const float inside = accept[lane] != 0 ? d[lane] : 0.0f;
            index[lane] = std::min(static_cast<int32_t>(inside * scale), RangeWeightTable::kEntries - 1);
            count[lane] += accept[lane];
        }
        float* w = weights + k * kLanes;
        for (int32_t lane = 0; lane < kLanes; ++lane)
            w[lane] = accept[lane] != 0 ? table.afWeight[static_cast<size_t>(index[lane])] : 0.0f;
    }
    for (size_t k = 0; k < tapCount; ++k)
        for (int32_t lane = 0; lane < kLanes; ++lane)
            weightSum[lane] += weights[k * kLanes + static_cast<size_t>(lane)];
    float sumR[kLanes] = {}, sumG[kLanes] = {}, sumB[kLanes] = {};
    for (size_t k = tapCount; k-- > 0;) {
        const FPixelClassFlt32RGB* p = windowRows[taps[k].row] + x + taps[k].dx;
        const float* w = weights + k * kLanes;
        for (int32_t lane = 0; lane < kLanes; ++lane) {
            sumR[lane] += p[lane].r * w[lane];
            sumG[lane] += p[lane].g * w[lane];
            sumB[lane] += p[lane].b * w[lane];
        }
    }
    for (int32_t lane = 0; lane < kLanes; ++lane)
        out[lane] = count[lane] > 0 ? FPixelClassFlt32RGB{sumR[lane] / weightSum[lane], sumG[lane] / weightSum[lane],
                                                          sumB[lane] / weightSum[lane]}
                                    : centres[lane];
}

} // namespace

void BilateralFilterRows(FloatRGBPixmap& destination, const FloatRGBPixmap& source, int32_t windowSize,
                         const ColorNoiseModel& noiseModel, bool subSampleKernel, const RangeWeightTable& table,
                         int32_t firstRow, int32_t lastRow)
{
    const int32_t columns = std::min(source.m_iColumns, destination.m_iColumns);
    const int32_t rows = std::min(source.m_iRows, destination.m_iRows);
    if (columns <= 0 || rows <= 0)
        return;
    const int32_t n = std::clamp(windowSize, 1, kLargestWindow);
    const int32_t r = n >> 1;
    const std::vector<WindowTap> taps = WindowTaps(n, subSampleKernel);
    std::vector<Accepted> accepted(taps.size());
    std::vector<float> laneWeights(taps.size() * kLanes);
    std::vector<const FPixelClassFlt32RGB*> windowRows(static_cast<size_t>(n));

    for (int32_t y = std::max(firstRow, 0); y <= std::min(lastRow, rows - 1); ++y) {
        FPixelClassFlt32RGB* out = destination.GetRow(y);
        const FPixelClassFlt32RGB* centreRow = source.GetRow(y);
        for (int32_t j = 0; j < n; ++j)
            windowRows[static_cast<size_t>(j)] = source.GetRow(std::clamp(y - r + j, 0, rows - 1));
        int32_t x = 0;
        for (; x < std::min(r, columns); ++x)
            out[x] = FilterPixel(windowRows.data(), taps, centreRow[x], x, columns, noiseModel, table, accepted);
        // Windows that need no edge repetition, kLanes pixels at a time.
        for (; x + kLanes - 1 + r < columns; x += kLanes)
            FilterLanes(out + x, windowRows.data(), taps, centreRow + x, x, noiseModel, table, laneWeights.data());
        for (; x < columns; ++x)
            out[x] = FilterPixel(windowRows.data(), taps, centreRow[x], x, columns, noiseModel, table, accepted);
    }
}
