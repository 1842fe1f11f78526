#include "engine/noise/NoiseReductionEdgeMaps.h"

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

// The luminance edge values of rows first .. last (within 1 .. H - 2),
// columns 1 .. columns - 2 of each, handed to visit(y, edges) with edges
// indexed by column. Each luminance row is computed once (a rolling window).
template <class Visit>
void ForEachLuminanceEdgeRow(const FloatRGBPixmap& source, int32_t columns, float wR, float wG, float wB,
                             int32_t first, int32_t last, Visit&& visit)
{
    std::vector<float> above(static_cast<size_t>(columns)), current(above.size()), below(above.size()),
        edges(above.size());
    LuminanceRow(above, source.GetRow(first - 1), wR, wG, wB);
    LuminanceRow(current, source.GetRow(first), wR, wG, wB);
    for (int32_t y = first; y <= last; ++y) {
        LuminanceRow(below, source.GetRow(y + 1), wR, wG, wB);
        for (int32_t x = 1; x + 1 < columns; ++x) {
            const float c = current[x];
            const float dr = current[x + 1] - c, dl = current[x - 1] - c;
            const float du = above[x] - c, dd = below[x] - c;
            const float horizontal = dr * dr + dl * dl;
            const float vertical = du * du + dd * dd;
            const float m = vertical > horizontal ? vertical : horizontal;
            const float e = std::exp(-m);
            const float edge = 2.0f * (1.0f - 1.0f / (e + 1.0f));
            edges[x] = edge > 1.0f ? 1.0f : edge;
        }
        visit(y, edges.data());
        std::swap(above, current);
        std::swap(current, below);
    }
}

void CombineRow(FPixelClassFlt32Mono* out, const FPixelClassFlt32Mono* luminance, int32_t columns)
{
    for (int32_t x = 0; x < columns; ++x) {
        const float e2 = luminance[x].v;
        const float sum = out[x].v + 1.0f;
        out[x].v = e2 * (sum - e2);
    }
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
    ForEachLuminanceEdgeRow(source, columns, wR, wG, wB, 1, rows - 2, [&](int32_t y, const float* edges) {
        FPixelClassFlt32Mono* out = destination.GetRow(y);
        for (int32_t x = 1; x + 1 < columns; ++x)
            out[x].v = edges[x];
    });
}

void CombineEdgeMaps(FloatMonoPixmap& edgeMap, const FloatMonoPixmap& luminanceEdgeMap)
{
    const int32_t columns = std::min(edgeMap.m_iColumns, luminanceEdgeMap.m_iColumns);
    const int32_t rows = std::min(edgeMap.m_iRows, luminanceEdgeMap.m_iRows);
    for (int32_t y = 0; y < rows; ++y)
        CombineRow(edgeMap.GetRow(y), luminanceEdgeMap.GetRow(y), columns);
}

void CombineLuminanceEdgeMapRows(FloatMonoPixmap& edgeMap, const FloatRGBPixmap& source, float wR, float wG,
                                 float wB, int32_t firstRow, int32_t lastRow)
{
    const int32_t columns = std::min(source.m_iColumns, edgeMap.m_iColumns);
    const int32_t rows = std::min(source.m_iRows, edgeMap.m_iRows);
    firstRow = std::max(firstRow, 0);
    lastRow = std::min(lastRow, rows - 1);
    if (columns <= 0 || firstRow > lastRow)
        return;
    // Where the luminance map has no value (its border, or all of an image
    // under 3 x 3) it counts as 0, as in a zero-filled map.
    std::vector<FPixelClassFlt32Mono> zero(static_cast<size_t>(columns), FPixelClassFlt32Mono{0.0f});
    std::vector<FPixelClassFlt32Mono> luminance(zero);
    const bool hasInterior = columns >= 3 && rows >= 3;
    const int32_t interiorFirst = std::max(firstRow, 1);
    const int32_t interiorLast = hasInterior ? std::min(lastRow, rows - 2) : 0;
    for (int32_t y = firstRow; y <= lastRow; ++y)
        if (y < interiorFirst || y > interiorLast)
            CombineRow(edgeMap.GetRow(y), zero.data(), columns);
    if (interiorFirst <= interiorLast)
        ForEachLuminanceEdgeRow(source, columns, wR, wG, wB, interiorFirst, interiorLast,
                                [&](int32_t y, const float* edges) {
                                    for (int32_t x = 1; x + 1 < columns; ++x)
                                        luminance[static_cast<size_t>(x)].v = edges[x];
                                    CombineRow(edgeMap.GetRow(y), luminance.data(), columns);
                                });
}
