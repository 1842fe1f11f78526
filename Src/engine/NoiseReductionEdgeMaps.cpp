#include "engine/NoiseReductionEdgeMaps.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <utility>
#include <vector>

namespace {

float SumOfSquares(float g, float r, float b)
{
    const float gg = g * g, rr = r * r, bb = b * b;
    const float sum = gg + rr;
    return sum + bb;
}

float Luminance(const FPixelClassFlt32RGB& p, float wR, float wG, float wB)
{
    const float r = wR * p.r, g = wG * p.g, b = wB * p.b;
    const float sum = r + g;
    return sum + b;
}

void LuminanceRow(std::vector<float>& out, const FPixelClassFlt32RGB* row, float wR, float wG, float wB)
{
    for (size_t x = 0; x < out.size(); ++x)
        out[x] = Luminance(row[x], wR, wG, wB);
}

} // namespace

void NoiseModelEdgeMapRows(FloatMonoPixmap& destination, const FloatRGBPixmap& source, float edgeScale,
                           const ColorNoiseModel& noiseModel, int32_t firstRow, int32_t lastRow)
{
    const int32_t columns = std::min(source.m_iColumns, destination.m_iColumns);
    const int32_t rows = std::min(source.m_iRows, destination.m_iRows);
    const float s = edgeScale >= 0.0f ? std::min(edgeScale, FLT_MAX) : 0.0f;
    for (int32_t y = std::max(firstRow, 1); y <= std::min(lastRow, rows - 2); ++y) {
        const FPixelClassFlt32RGB* up = source.GetRow(y - 1);
        const FPixelClassFlt32RGB* row = source.GetRow(y);
        const FPixelClassFlt32RGB* down = source.GetRow(y + 1);
        FPixelClassFlt32Mono* out = destination.GetRow(y);
        for (int32_t x = 1; x + 1 < columns; ++x) {
            const FPixelClassFlt32RGB c = row[x], l = row[x - 1], r = row[x + 1], u = up[x], d = down[x];
            const float iR = 1.0f / PositiveDivisor(noiseModel.a[0] + noiseModel.b[0] * c.r);
            const float iG = 1.0f / PositiveDivisor(noiseModel.a[1] + noiseModel.b[1] * c.g);
            const float iB = 1.0f / PositiveDivisor(noiseModel.a[2] + noiseModel.b[2] * c.b);
            const float horizontal = SumOfSquares((l.g - r.g) * iG, (l.r - r.r) * iR, (l.b - r.b) * iB);
            const float vertical = SumOfSquares((u.g - d.g) * iG, (u.r - d.r) * iR, (u.b - d.b) * iB);
            const float mean = static_cast<float>(static_cast<double>(vertical + horizontal) / 3.0);
            const float gradient = std::min(std::sqrt(mean), FLT_MAX);
            const float product = -s * gradient;
            out[x].v = static_cast<float>(std::tanh(static_cast<double>(product)) + 1.0);
        }
    }
}

void LuminanceEdgeMap(FloatMonoPixmap& destination, const FloatRGBPixmap& source, float wR, float wG, float wB)
{
    const int32_t columns = std::min(source.m_iColumns, destination.m_iColumns);
    const int32_t rows = std::min(source.m_iRows, destination.m_iRows);
    if (columns < 3 || rows < 3)
        return;
    // Rolling luminance rows: each row's luminance is computed once.
    std::vector<float> above(static_cast<size_t>(columns)), current(above.size()), below(above.size());
    LuminanceRow(above, source.GetRow(0), wR, wG, wB);
    LuminanceRow(current, source.GetRow(1), wR, wG, wB);
    for (int32_t y = 1; y + 1 < rows; ++y) {
        LuminanceRow(below, source.GetRow(y + 1), wR, wG, wB);
        FPixelClassFlt32Mono* out = destination.GetRow(y);
        for (int32_t x = 1; x + 1 < columns; ++x) {
            const float c = current[x];
            const float dr = current[x + 1] - c, dl = current[x - 1] - c;
            const float du = above[x] - c, dd = below[x] - c;
            const float horizontal = dr * dr + dl * dl;
            const float vertical = du * du + dd * dd;
            const float m = vertical > horizontal ? vertical : horizontal;
            const float e = std::exp(-m);
            const float edge = 2.0f * (1.0f - 1.0f / (e + 1.0f));
            out[x].v = edge > 1.0f ? 1.0f : edge;
        }
        std::swap(above, current);
        std::swap(current, below);
    }
}

void CombineEdgeMaps(FloatMonoPixmap& edgeMap, const FloatMonoPixmap& luminanceEdgeMap)
{
    const int32_t columns = std::min(edgeMap.m_iColumns, luminanceEdgeMap.m_iColumns);
    const int32_t rows = std::min(edgeMap.m_iRows, luminanceEdgeMap.m_iRows);
    for (int32_t y = 0; y < rows; ++y) {
        FPixelClassFlt32Mono* out = edgeMap.GetRow(y);
        const FPixelClassFlt32Mono* luma = luminanceEdgeMap.GetRow(y);
        for (int32_t x = 0; x < columns; ++x) {
            const float e2 = luma[x].v;
            const float sum = out[x].v + 1.0f;
            out[x].v = e2 * (sum - e2);
        }
    }
}
