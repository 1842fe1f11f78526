#include "engine/noise/EdgeAwareSmoothing.h"

#include "engine/core/RowBandLoop.h"

#include <algorithm>
#include <type_traits>
#include <vector>

namespace {

using FloatPixel = FPixelClassFlt32RGB;

FloatPixel MultiplyAdd(const FloatPixel& x, float c, const FloatPixel& previous)
{
    const float r = c * previous.r, g = c * previous.g, b = c * previous.b;
    return {x.r + r, x.g + g, x.b + b};
}

FloatPixel Normalised(const FloatPixel& sum, float norm)
{
    return {sum.r / norm, sum.g / norm, sum.b / norm};
}

float UsableFeedback(float k)
{
    return k > 0.0f ? std::min(k, 1.0f) : 0.0f;
}

// Line buffers of the recursive filter, sized for the longest line.
struct LineBuffers {
    explicit LineBuffers(size_t n) : forward(n), backward(n), forwardNorm(n), backwardNorm(n), link(n) {}
    std::vector<FloatPixel> forward, backward;
    std::vector<float> forwardNorm, backwardNorm, link;
};

void SmoothLine(FloatPixel* out, const FloatPixel* x, size_t n, LineBuffers& buffers)
{
    const float* c = buffers.link.data();
    FloatPixel* f = buffers.forward.data();
    FloatPixel* b = buffers.backward.data();
    float* fn = buffers.forwardNorm.data();
    float* bn = buffers.backwardNorm.data();
    f[0] = x[0];
    fn[0] = 1.0f;
    for (size_t m = 1; m < n; ++m) {
        f[m] = MultiplyAdd(x[m], c[m], f[m - 1]);
        fn[m] = c[m] * fn[m - 1] + 1.0f;
    }
    b[n - 1] = x[n - 1];
    bn[n - 1] = 1.0f;
    for (size_t m = n - 1; m-- > 0;) {
        b[m] = MultiplyAdd(x[m], c[m], b[m + 1]);
        bn[m] = c[m] * bn[m + 1] + 1.0f;
    }
    for (size_t m = 0; m < n; ++m) {
        FloatPixel value;
        if (m == 0) {
            value = Normalised(b[0], bn[0]);
        } else if (m == n - 1) {
            value = Normalised(f[m], fn[m]);
        } else {
            const FloatPixel sum{f[m].r + b[m].r, f[m].g + b[m].g, f[m].b + b[m].b};
            const FloatPixel both{sum.r - x[m].r, sum.g - x[m].g, sum.b - x[m].b};
            const float norm = fn[m] + bn[m];
            value = Normalised(both, norm - 1.0f);
        }
        out[m] = value;
    }
}

} // namespace

void DarkNeutralize(FloatRGBPixmap& destination, const FloatRGBPixmap& source, int32_t high, int32_t low,
                    uint32_t bandCount)
{
    const int32_t columns = std::min(source.m_iColumns, destination.m_iColumns);
    const int32_t rows = std::min(source.m_iRows, destination.m_iRows);
    if (columns <= 0 || rows <= 0)
        return;
    const bool usableLimits = high > low;
    const float lowLimit = static_cast<float>(low);
    const float range = static_cast<float>(static_cast<int64_t>(high) - low);
    RunInRowBands(static_cast<uint32_t>(rows), [&](uint32_t first, uint32_t last) {
        for (int32_t y = int32_t(first); y <= int32_t(last); ++y) {
            const FloatPixel* in = source.GetRow(y);
            FloatPixel* out = destination.GetRow(y);
            if (!usableLimits) {
                std::copy(in, in + columns, out);
                continue;
            }
            for (int32_t x = 0; x < columns; ++x) {
                const FloatPixel p = in[x];
                const float m = std::max(std::max(p.r, p.g), p.b);
                const float t = std::clamp((m - lowLimit) / range, 0.0f, 1.0f);
                const float grey = (1.0f - t) * m;
                out[x] = {grey + t * p.r, grey + t * p.g, grey + t * p.b};
            }
        }
    }, bandCount);
}

namespace {

// Rows firstRow .. lastRow of the row pass below.
void EdgeAwareSmoothRowRange(FloatRGBPixmap& destination, const FloatRGBPixmap& source,
                             FloatMonoPixmap* weightsOut, const FloatMonoPixmap& weights, float feedback,
                             int32_t length, int32_t firstRow, int32_t lastRow)
{
    LineBuffers buffers(static_cast<size_t>(length));
    std::vector<FloatPixel> line(static_cast<size_t>(length));
    for (int32_t y = firstRow; y <= lastRow; ++y) {
        const FPixelClassFlt32Mono* w = weights.GetRow(y);
        for (int32_t m = 0; m < length; ++m)
            buffers.link[static_cast<size_t>(m)] = feedback * w[m].v;
        SmoothLine(line.data(), source.GetRow(y), static_cast<size_t>(length), buffers);
        for (int32_t m = 0; m < length; ++m)
            destination.GetRow(m)[y] = line[static_cast<size_t>(m)];
        if (weightsOut != nullptr && weightsOut->m_iColumns > y)
            for (int32_t m = 0; m < std::min(length, weightsOut->m_iRows); ++m)
                weightsOut->GetRow(m)[y] = w[m];
    }
}

} // namespace

void EdgeAwareSmoothRows(FloatRGBPixmap& destination, const FloatRGBPixmap& source, FloatMonoPixmap* weightsOut,
                         const FloatMonoPixmap& weights, float k, uint32_t bandCount)
{
    // Only what both the source and its transposed destination hold is filtered.
    const int32_t rows = std::min({source.m_iRows, weights.m_iRows, destination.m_iColumns});
    const int32_t length = std::min({source.m_iColumns, weights.m_iColumns, destination.m_iRows});
    if (rows <= 0 || length <= 0)
        return;
    const float feedback = UsableFeedback(k);
    // Every row is filtered on its own and written to its own column.
    RunInRowBands(static_cast<uint32_t>(rows), [&](uint32_t first, uint32_t last) {
        EdgeAwareSmoothRowRange(destination, source, weightsOut, weights, feedback, length, int32_t(first),
                                int32_t(last));
    }, bandCount);
}

void EdgeAwareSmooth(FloatRGBPixmap& destination, const FloatRGBPixmap& source, const FloatMonoPixmap& weights,
                     float k, int32_t iterations, uint32_t bandCount)
{
    if (iterations <= 0)
        return;
    // With weights for every source pixel the row pass writes all of both
    // transposed images; otherwise what it leaves unwritten reads as 0.
    const bool writtenInFull = weights.m_iColumns >= source.m_iColumns && weights.m_iRows >= source.m_iRows;
    auto transposedImage = [&](auto* tag) {
        using Image = std::remove_pointer_t<decltype(tag)>;
        return writtenInFull ? Image(source.m_iRows, source.m_iColumns, UnfilledPixels{})
                             : Image(source.m_iRows, source.m_iColumns);
    };
    FloatRGBImage transposed = transposedImage(static_cast<FloatRGBImage*>(nullptr));
    FloatMonoImage transposedWeights = transposedImage(static_cast<FloatMonoImage*>(nullptr));
    for (int32_t i = 0; i < iterations; ++i) {
        EdgeAwareSmoothRows(transposed.Pixmap(), source, &transposedWeights.Pixmap(), weights, k, bandCount);
        EdgeAwareSmoothRows(destination, transposed.Pixmap(), nullptr, transposedWeights.Pixmap(), k, bandCount);
    }
}

void DarkNeutralize(FloatRGBPixmap& destination, const FloatRGBPixmap& source, int32_t high, int32_t low)
{
    DarkNeutralize(destination, source, high, low, kRowBandCount);
}

void EdgeAwareSmoothRows(FloatRGBPixmap& destination, const FloatRGBPixmap& source, FloatMonoPixmap* weightsOut,
                         const FloatMonoPixmap& weights, float k)
{
    EdgeAwareSmoothRows(destination, source, weightsOut, weights, k, kRowBandCount);
}

void EdgeAwareSmooth(FloatRGBPixmap& destination, const FloatRGBPixmap& source, const FloatMonoPixmap& weights,
                     float k, int32_t iterations)
{
    EdgeAwareSmooth(destination, source, weights, k, iterations, kRowBandCount);
}
