#include "engine/NoiseModelBilateral.h"

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
    std::vector<Accepted> accepted(static_cast<size_t>(n) * static_cast<size_t>(n));

    for (int32_t y = std::max(firstRow, 0); y <= std::min(lastRow, rows - 1); ++y) {
        FPixelClassFlt32RGB* out = destination.GetRow(y);
        const FPixelClassFlt32RGB* centreRow = source.GetRow(y);
        for (int32_t x = 0; x < columns; ++x) {
            const FPixelClassFlt32RGB centre = centreRow[x];
            const InverseVariance inv = InverseVarianceAt(noiseModel, centre);
            size_t count = 0;
            int32_t halfWidth = r;
            for (int32_t j = 0; j < n; ++j) {
                const FPixelClassFlt32RGB* row = source.GetRow(std::clamp(y - r + j, 0, rows - 1));
                const int32_t reach = subSampleKernel ? halfWidth : r;
                const int32_t step = subSampleKernel ? 2 : 1;
                for (int32_t dx = -reach; dx <= reach; dx += step) {
                    const FPixelClassFlt32RGB p = row[std::clamp(x + dx, 0, columns - 1)];
                    const float d = SquaredDistance(p, centre, inv);
                    if (d < table.fLimit)
                        accepted[count++] = {p, RangeWeight(table, d)};
                }
                halfWidth = (2 * r - 1) - halfWidth;
            }
            // The centre itself is always accepted with weight 1.
            out[x] = count > 0 ? WeightedMean(accepted, count) : centre;
        }
    }
}
