#include "engine/FIRNoiseReduction.h"

#include "engine/LargeWorkMemory.h"
#include "engine/RowBandLoop.h"
#include "foundation/FValueTypes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace {

using Pixel = FPixelClass48SRGB;

// Entries of the sigmoid and exponential tables: natural logarithms up to 15
// ln 2 at 16384 / ln 2 steps per unit.
constexpr int32_t FIRWorkBufferEntries = 15 << 14;
constexpr int32_t kPowerTableEntries = 65536;
constexpr size_t kWorkAreaBytesPerLine = 292;
constexpr size_t kBackwardOffsetPerLine = 144;
constexpr size_t kFactorsOffsetPerLine = 288;
constexpr int32_t kOutputLow = -500;
constexpr int32_t kOutputHigh = 24000;

const float kStepsPerLog = 16384.0f / std::log(2.0f);

// trunc(v) limited to 0 .. last; NaN gives 0.
int32_t TableIndex(float v, int32_t last)
{
    if (!(v > 0.0f))
        return 0;
    if (v >= static_cast<float>(last))
        return last;
    return static_cast<int32_t>(v);
}

// trunc(v) saturated to the 32-bit range; NaN gives 0.
int64_t TruncateFloat(float v)
{
    if (!(v == v))
        return 0;
    return static_cast<int64_t>(std::clamp(v, -2147483648.0f, 2147483520.0f));
}

// A float work image of one or three channels per pixel, placed in the call's
// work memory. Every value is written by a pass before any pass reads it, so
// the memory is not cleared first: the pages are then touched first by the
// band threads.
struct FloatImage {
    float* values = nullptr;
    size_t count = 0;
    int32_t columns = 0;
    int32_t rows = 0;
    int32_t channels = 0;

    static size_t CountOf(int32_t c, int32_t r, int32_t ch)
    {
        return static_cast<size_t>(c) * static_cast<size_t>(r) * static_cast<size_t>(ch);
    }
    // Places the image at `at` and returns the first float after it.
    float* Place(float* at, int32_t c, int32_t r, int32_t ch)
    {
        columns = c, rows = r, channels = ch;
        count = CountOf(c, r, ch);
        values = at;
        return at + count;
    }
    float* Row(int32_t y) { return values + static_cast<size_t>(y) * columns * channels; }
    const float* Row(int32_t y) const { return values + static_cast<size_t>(y) * columns * channels; }
    float* begin() { return values; }
    float* end() { return values + count; }
    const float* begin() const { return values; }
    const float* end() const { return values + count; }
};

// Forward sums, backward sums and normalisation factors of the one-thread
// passes, max(W, H) floats each.
struct LineBuffers {
    float* forward = nullptr;
    float* backward = nullptr;
    float* factors = nullptr;
};

struct FIRBuffers {
    LargeWorkMemory imageMemory;
    FloatImage R, RT, E1, E2, ET;
    std::vector<float> logTable;
    std::vector<float> powerTable;
    std::vector<float> sigmoidTable;
    std::vector<int32_t> expTable;
    std::vector<float> privateLines;
    LineBuffers lines;
};

struct FIRContext {
    int32_t W = 0;
    int32_t H = 0;
    int32_t N = 0;
    uint32_t bandCount = kRowBandCount;
    float locality = 0.0f;
    float sigmoidOffset = 0.0f;
    FIRBuffers buffers;
};

bool FIRAllocateBuffers(FIRContext& context)
{
    FIRBuffers& b = context.buffers;
    try {
        const size_t rgb = FloatImage::CountOf(context.W, context.H, 3);
        const size_t mono = FloatImage::CountOf(context.W, context.H, 1);
        b.imageMemory = LargeWorkMemory((2 * rgb + 3 * mono) * sizeof(float));
        float* at = static_cast<float*>(b.imageMemory.Data());
        at = b.R.Place(at, context.W, context.H, 3);
        at = b.RT.Place(at, context.H, context.W, 3);
        at = b.E1.Place(at, context.W, context.H, 1);
        at = b.E2.Place(at, context.W, context.H, 1);
        b.ET.Place(at, context.H, context.W, 1);
        b.logTable.assign(static_cast<size_t>(context.N), 0.0f);
        b.powerTable.assign(kPowerTableEntries, 0.0f);
        b.sigmoidTable.assign(FIRWorkBufferEntries, 0.0f);
        b.expTable.assign(FIRWorkBufferEntries, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void FIRFreeBuffers(FIRContext& context) { context.buffers = FIRBuffers(); }

// The line buffers at byte offsets 0, 144 and 288 per line of max(W, H),
// in the caller's area when it is large enough, else in memory of our own.
bool FIRSplitWorkArea(FIRContext& context, void* workArea, size_t workAreaBytes)
{
    const size_t longest = static_cast<size_t>(std::max(context.W, context.H));
    uint8_t* area = static_cast<uint8_t*>(workArea);
    const bool usable = area != nullptr && workAreaBytes >= kWorkAreaBytesPerLine * longest &&
                        reinterpret_cast<uintptr_t>(area) % alignof(float) == 0;
    if (!usable) {
        try {
            context.buffers.privateLines.assign(kWorkAreaBytesPerLine * longest / sizeof(float), 0.0f);
        } catch (const std::bad_alloc&) {
            return false;
        }
        area = reinterpret_cast<uint8_t*>(context.buffers.privateLines.data());
    }
    context.buffers.lines = {reinterpret_cast<float*>(area),
                             reinterpret_cast<float*>(area + kBackwardOffsetPerLine * longest),
                             reinterpret_cast<float*>(area + kFactorsOffsetPerLine * longest)};
    return true;
}

// Calls rowFunction(y) for every image row, in the call's bands.
template <class RowFunction>
void ForEachRow(const FIRContext& context, RowFunction&& rowFunction)
{
    RunInRowBands(static_cast<uint32_t>(context.H), [&](uint32_t first, uint32_t last) {
        for (uint32_t y = first; y <= last; ++y)
            rowFunction(static_cast<int32_t>(y));
    }, context.bandCount);
}

void FIRClampImage(const FIRContext& context, FPixmap& image)
{
    static_assert(sizeof(Pixel) == 3 * sizeof(int16_t));
    auto& pixels = static_cast<FPixmapTemplate<Pixel>&>(image);
    const int16_t last = static_cast<int16_t>(context.N - 1);
    const int32_t components = 3 * context.W;
    // One run of components per row, so the loop vectorises.
    ForEachRow(context, [&](int32_t y) {
        int16_t* row = &pixels.GetRow(y)->r;
        for (int32_t i = 0; i < components; ++i)
            row[i] = std::clamp<int16_t>(row[i], 1, last);
    });
}

// Weights that halve every D x p pixels, D = (W + H) / 4.
float FIRSmoothingCoefficient(const FIRContext& context, float p)
{
    const uint32_t D = (static_cast<uint32_t>(context.W) + static_cast<uint32_t>(context.H)) >> 2;
    const float ln2 = std::log(2.0f);
    const float exponent = ln2 / (static_cast<float>(D) * p);
    const float decay = std::exp(exponent);
    return 1.0f / decay;
}

// A coefficient outside (0, 1] (a proportion that is not positive) smooths nothing.
bool Smooths(float k) { return k > 0.0f && k <= 1.0f; }

// Z[i] = 1 / (U[i-1] + V[i+1] + 1 / k) from the sums over a line of ones.
void FIRNormalisationFactors(const LineBuffers& lines, int32_t n, float k)
{
    const float invK = 1.0f / k;
    float* U = lines.forward;
    float* V = lines.backward;
    U[0] = 1.0f;
    for (int32_t i = 1; i < n; ++i)
        U[i] = k * U[i - 1] + 1.0f;
    V[n - 1] = 1.0f;
    for (int32_t i = n - 2; i >= 0; --i)
        V[i] = k * V[i + 1] + 1.0f;
    for (int32_t i = 0; i < n; ++i) {
        const float before = i > 0 ? U[i - 1] : 0.0f;
        const float after = i < n - 1 ? V[i + 1] : 0.0f;
        lines.factors[i] = 1.0f / (before + after + invK);
    }
}

// Line passes write transposed. Written one value per output row at a time,
// every write lands in another cache line, and at these row lengths the lines
// fall into a handful of cache sets. The rows of a band are therefore
// filtered a tile of kTileRows lines at a time into a buffer and then written
// out together: each output row receives kTileRows x C consecutive floats.
constexpr int32_t kTileRows = 16;

// Calls filterLine(y, Y) for every row y of the band, Y receiving the row's n
// C-channel results, and writes result i of row y into row i, column y of out.
template <int C, class LineFilter>
void WriteRowsTransposed(int32_t n, FloatImage& out, uint32_t firstRow, uint32_t lastRow, LineFilter&& filterLine)
{
    const size_t lineFloats = static_cast<size_t>(n) * C;
    std::vector<float> tile(lineFloats * kTileRows);
    for (int64_t y0 = firstRow; y0 <= int64_t(lastRow); y0 += kTileRows) {
        const int32_t rows = static_cast<int32_t>(std::min<int64_t>(kTileRows, int64_t(lastRow) - y0 + 1));
        for (int32_t r = 0; r < rows; ++r)
            filterLine(static_cast<int32_t>(y0 + r), tile.data() + r * lineFloats);
        for (int32_t i = 0; i < n; ++i) {
            float* to = out.Row(i) + static_cast<size_t>(y0) * C;
            const float* from = tile.data() + static_cast<size_t>(i) * C;
            for (int32_t r = 0; r < rows; ++r)
                for (int c = 0; c < C; ++c)
                    to[r * C + c] = from[r * lineFloats + c];
        }
    }
}

// The weighted mean of one line of C-channel pixels with weights k^|i-j|.
template <int C>
void FilterLine(const float* X, int32_t n, float k, const float* Z, float* F, float* Bk, float* Y)
{
    if (!Smooths(k)) {
        std::memcpy(Y, X, sizeof(float) * C * static_cast<size_t>(n));
        return;
    }
    const float invK = 1.0f / k;
    for (int c = 0; c < C; ++c)
        F[c] = X[c];
    for (int32_t i = 1; i < n; ++i)
        for (int c = 0; c < C; ++c)
            F[i * C + c] = X[i * C + c] + k * F[(i - 1) * C + c];
    for (int c = 0; c < C; ++c)
        Bk[(n - 1) * C + c] = X[(n - 1) * C + c];
    for (int32_t i = n - 2; i >= 0; --i)
        for (int c = 0; c < C; ++c)
            Bk[i * C + c] = X[i * C + c] + k * Bk[(i + 1) * C + c];
    for (int32_t i = 0; i < n; ++i) {
        for (int c = 0; c < C; ++c) {
            const float before = i > 0 ? F[(i - 1) * C + c] : 0.0f;
            const float after = i < n - 1 ? Bk[(i + 1) * C + c] : 0.0f;
            Y[i * C + c] = (before + after + X[i * C + c] * invK) * Z[i];
        }
    }
}

// The constant-coefficient filter over the rows first .. last of in, written
// transposed into out.
template <int C>
void FIRBlurRows(const FloatImage& in, FloatImage& out, float k, const float* factors, uint32_t firstRow,
                 uint32_t lastRow)
{
    const int32_t n = in.columns;
    std::vector<float> forward(static_cast<size_t>(n) * C);
    std::vector<float> backward(forward.size());
    WriteRowsTransposed<C>(n, out, firstRow, lastRow, [&](int32_t y, float* Y) {
        FilterLine<C>(in.Row(y), n, k, factors, forward.data(), backward.data(), Y);
    });
}

void FIRBlurRowsMono(const FloatImage& in, FloatImage& out, float k, const float* factors, uint32_t firstRow,
                     uint32_t lastRow)
{
    FIRBlurRows<1>(in, out, k, factors, firstRow, lastRow);
}

void FIRBlurRowsRGB(const FloatImage& in, FloatImage& out, float k, const float* factors, uint32_t firstRow,
                    uint32_t lastRow)
{
    FIRBlurRows<3>(in, out, k, factors, firstRow, lastRow);
}

// Filter of an RGB line whose link into position m is k w[m], in both
// directions, normalised by the same filter over a line of ones.
void FIREdgeAwareRows(const FloatImage& in, const FloatImage& weights, FloatImage& out, FloatImage* weightsOut,
                      float k, uint32_t firstRow, uint32_t lastRow)
{
    const int32_t n = in.columns;
    std::vector<float> F(static_cast<size_t>(n) * 3), Bk(F.size()), e(static_cast<size_t>(n)), f(e.size());
    const bool smooths = Smooths(k);
    const float invK = smooths ? 1.0f / k : 0.0f;
    if (weightsOut != nullptr)
        WriteRowsTransposed<1>(n, *weightsOut, firstRow, lastRow, [&](int32_t y, float* Y) {
            std::memcpy(Y, weights.Row(y), sizeof(float) * static_cast<size_t>(n));
        });
    WriteRowsTransposed<3>(n, out, firstRow, lastRow, [&](int32_t y, float* Y) {
        const float* X = in.Row(y);
        const float* w = weights.Row(y);
        if (!smooths) {
            std::memcpy(Y, X, sizeof(float) * 3 * static_cast<size_t>(n));
            return;
        }
        for (int c = 0; c < 3; ++c)
            F[c] = X[c];
        e[0] = 1.0f;
        for (int32_t m = 1; m < n; ++m) {
            const float link = k * w[m];
            for (int c = 0; c < 3; ++c)
                F[m * 3 + c] = X[m * 3 + c] + link * F[(m - 1) * 3 + c];
            e[m] = link * e[m - 1] + 1.0f;
        }
        for (int c = 0; c < 3; ++c)
            Bk[(n - 1) * 3 + c] = X[(n - 1) * 3 + c];
        f[n - 1] = 1.0f;
        for (int32_t m = n - 2; m >= 0; --m) {
            const float link = k * w[m];
            for (int c = 0; c < 3; ++c)
                Bk[m * 3 + c] = X[m * 3 + c] + link * Bk[(m + 1) * 3 + c];
            f[m] = link * f[m + 1] + 1.0f;
        }
        for (int32_t m = 0; m < n; ++m) {
            const float norm = (m > 0 ? e[m - 1] : 0.0f) + (m < n - 1 ? f[m + 1] : 0.0f) + invK;
            for (int c = 0; c < 3; ++c) {
                const float before = m > 0 ? F[(m - 1) * 3 + c] : 0.0f;
                const float after = m < n - 1 ? Bk[(m + 1) * 3 + c] : 0.0f;
                Y[m * 3 + c] = (before + after + X[m * 3 + c] * invK) / norm;
            }
        }
    });
}

// Rows are independent, so both passes run in bands too; every value is the
// one a single thread computes.
void FIRBlurMono(FIRContext& context, const FloatImage& in, FloatImage& out, float p)
{
    const float k = FIRSmoothingCoefficient(context, p);
    const LineBuffers& lines = context.buffers.lines;
    FloatImage& ET = context.buffers.ET;
    if (Smooths(k))
        FIRNormalisationFactors(lines, context.W, k);
    RunInRowBands(static_cast<uint32_t>(context.H), [&](uint32_t first, uint32_t last) {
        FIRBlurRowsMono(in, ET, k, lines.factors, first, last);
    }, context.bandCount);
    if (Smooths(k))
        FIRNormalisationFactors(lines, context.H, k);
    RunInRowBands(static_cast<uint32_t>(context.W), [&](uint32_t first, uint32_t last) {
        FIRBlurRowsMono(ET, out, k, lines.factors, first, last);
    }, context.bandCount);
}

void FIRBlurRGB(FIRContext& context, const FloatImage& in, FloatImage& out, float p)
{
    const float k = FIRSmoothingCoefficient(context, p);
    const LineBuffers& lines = context.buffers.lines;
    FloatImage& RT = context.buffers.RT;
    if (Smooths(k))
        FIRNormalisationFactors(lines, context.W, k);
    RunInRowBands(static_cast<uint32_t>(context.H), [&](uint32_t first, uint32_t last) {
        FIRBlurRowsRGB(in, RT, k, lines.factors, first, last);
    }, context.bandCount);
    if (Smooths(k))
        FIRNormalisationFactors(lines, context.H, k);
    RunInRowBands(static_cast<uint32_t>(context.W), [&](uint32_t first, uint32_t last) {
        FIRBlurRowsRGB(RT, out, k, lines.factors, first, last);
    }, context.bandCount);
}

// The gradient magnitude at (x, y) over the three components.
float Gradient(const FloatImage& R, int32_t x, int32_t y)
{
    const float* above = R.Row(y - 1);
    const float* here = R.Row(y);
    const float* below = R.Row(y + 1);
    float squaresH[3], squaresV[3];
    for (int c = 0; c < 3; ++c) {
        const float dh = here[(x - 1) * 3 + c] - here[(x + 1) * 3 + c];
        const float dv = below[x * 3 + c] - above[x * 3 + c];
        squaresH[c] = dh * dh;
        squaresV[c] = dv * dv;
    }
    const float gh = squaresH[0] + squaresH[1] + squaresH[2];
    const float gv = squaresV[0] + squaresV[1] + squaresV[2];
    return std::sqrt(gv + gh);
}

// Rows 0 and H-1 have no row beyond them: they take the gradient of their
// neighbouring row, as the first and last columns take their neighbour's.
void FIRGradientRows(const FloatImage& R, FloatImage& E, uint32_t firstRow, uint32_t lastRow)
{
    const int32_t W = R.columns;
    for (uint32_t row = firstRow; row <= lastRow; ++row) {
        const int32_t y = static_cast<int32_t>(row);
        const int32_t source = std::clamp(y, 1, R.rows - 2);
        float* out = E.Row(y);
        for (int32_t x = 1; x <= W - 2; ++x)
            out[x] = Gradient(R, x, source);
        out[0] = out[1];
        out[W - 1] = out[W - 2];
    }
}

float FIRImageVariance(const FloatImage& E)
{
    double sum = 0.0, squares = 0.0;
    for (const float v : E) {
        sum += v;
        squares += double(v) * v;
    }
    const double n = static_cast<double>(E.count);
    return static_cast<float>((squares - sum * sum / n) / (n - 1.0));
}

// Edge weights from the gradients of Rin: near 1 / (1 + exp(-SF (1 - offset)))
// in flat areas and near 1 / (1 + exp(SF offset)) at strong edges.
void FIRSmoothnessWeights(FIRContext& context, const FloatImage& Rin, FloatImage& Eout, float SF)
{
    RunInRowBands(static_cast<uint32_t>(context.H), [&](uint32_t first, uint32_t last) {
        FIRGradientRows(Rin, Eout, first, last);
    }, context.bandCount);
    // A variance at or below zero (a flat image, or rounding) has no spread:
    // every gradient then counts as flat at 0 and as an edge above it.
    const float sd = std::sqrt(std::max(FIRImageVariance(Eout), 0.0f));
    const float s = sd * context.locality * 0.5f;
    const bool spread = std::isfinite(s) && s != 0.0f;
    std::vector<float>& S = context.buffers.sigmoidTable;
    for (int32_t i = 0; i < FIRWorkBufferEntries; ++i) {
        const float t = static_cast<float>(i) / kStepsPerLog;
        const float edge = spread ? std::tanh(-t / s) : (i == 0 ? 0.0f : -1.0f);
        const float argument = -SF * (1.0f + edge - context.sigmoidOffset);
        S[i] = 1.0f / (1.0f + std::exp(argument));
    }
    const float scale = kStepsPerLog * 0.5f;
    ForEachRow(context, [&](int32_t y) {
        float* row = Eout.Row(y);
        for (int32_t x = 0; x < Eout.columns; ++x)
            row[x] = S[TableIndex(row[x] * scale, FIRWorkBufferEntries - 1)];
    });
}

const Pixel* ImageRow(const FPixmap& image, int32_t y)
{
    return static_cast<const FPixmapTemplate<Pixel>&>(image).GetRow(y);
}

void FIREdgeMap(FIRContext& context, const FPixmap& B, float exponent, float sfEdge, float sfLocalMean,
                float proportionRef)
{
    FIRBuffers& b = context.buffers;
    for (int32_t i = 0; i < context.N; ++i)
        b.powerTable[i] = std::pow(static_cast<float>(i) / static_cast<float>(context.N), exponent);
    ForEachRow(context, [&](int32_t y) {
        const Pixel* row = ImageRow(B, y);
        float* R = b.R.Row(y);
        for (int32_t x = 0; x < context.W; ++x) {
            R[x * 3] = b.powerTable[row[x].r];
            R[x * 3 + 1] = b.powerTable[row[x].g];
            R[x * 3 + 2] = b.powerTable[row[x].b];
        }
    });
    FIRSmoothnessWeights(context, b.R, b.E2, sfEdge);
    FIRBlurRGB(context, b.R, b.R, proportionRef);
    FIRSmoothnessWeights(context, b.R, b.E1, sfLocalMean);
    ForEachRow(context, [&](int32_t y) {
        float* e1 = b.E1.Row(y);
        const float* e2 = b.E2.Row(y);
        for (int32_t x = 0; x < context.W; ++x)
            e1[x] = e1[x] > e2[x] ? e1[x] : e2[x];
    });
}

void FIRSmoothLogRatio(FIRContext& context, const FPixmap& A, const FPixmap& B, float proportion)
{
    FIRBuffers& b = context.buffers;
    for (int32_t i = 0; i < context.N; ++i)
        b.logTable[i] = static_cast<float>(std::log(static_cast<double>(i) / context.N + 1e-12));
    ForEachRow(context, [&](int32_t y) {
        const Pixel* a = ImageRow(A, y);
        const Pixel* r = ImageRow(B, y);
        float* R = b.R.Row(y);
        for (int32_t x = 0; x < context.W; ++x) {
            R[x * 3] = b.logTable[a[x].r] - b.logTable[r[x].r];
            R[x * 3 + 1] = b.logTable[a[x].g] - b.logTable[r[x].g];
            R[x * 3 + 2] = b.logTable[a[x].b] - b.logTable[r[x].b];
        }
    });
    const float k = FIRSmoothingCoefficient(context, proportion);
    RunInRowBands(static_cast<uint32_t>(context.H), [&](uint32_t first, uint32_t last) {
        FIREdgeAwareRows(b.R, b.E1, b.RT, &b.ET, k, first, last);
    }, context.bandCount);
    RunInRowBands(static_cast<uint32_t>(context.W), [&](uint32_t first, uint32_t last) {
        FIREdgeAwareRows(b.RT, b.ET, b.R, nullptr, k, first, last);
    }, context.bandCount);
}

struct CombineTables {
    int64_t L = 0;
    float Lf = 0.0f;
};

// A becomes s (estimate + (A - estimate) p (1 - m)), s = min(gain, 7) b: the
// smoothed estimate plus the residual restored in proportion to brightness^0.2
// and to how edge-like the neighbourhood is.
void FIRCombineRows(const FIRContext& context, const CombineTables& t, FPixmap& A, const FPixmap& B,
                    uint32_t firstRow, uint32_t lastRow)
{
    const FIRBuffers& b = context.buffers;
    auto& pixelsA = static_cast<FPixmapTemplate<Pixel>&>(A);
    for (uint32_t row = firstRow; row <= lastRow; ++row) {
        const int32_t y = static_cast<int32_t>(row);
        Pixel* a = pixelsA.GetRow(y);
        const Pixel* r = ImageRow(B, y);
        const float* R = b.R.Row(y);
        const float* E2 = b.E2.Row(y);
        for (int32_t x = 0; x < context.W; ++x) {
            const int32_t refs[3] = {r[x].r, r[x].g, r[x].b};
            const int32_t own[3] = {a[x].r, a[x].g, a[x].b};
            int64_t T[3];
            for (int c = 0; c < 3; ++c) {
                const float v = R[x * 3 + c] + b.logTable[refs[c]];
                T[c] = b.expTable[TableIndex(-kStepsPerLog * v, FIRWorkBufferEntries - 1)];
            }
            const float m = std::min(E2[x], 1.0f);
            const float p = b.powerTable[(refs[0] + 2 * refs[1] + refs[2]) >> 2];
            const int64_t g = TruncateFloat(p * (1.0f - m) * t.Lf);
            int32_t out[3];
            for (int c = 0; c < 3; ++c)
                out[c] = static_cast<int32_t>(std::clamp<int64_t>((T[c] * t.L + (2 * own[c] - T[c]) * g) >> 13,
                                                                  kOutputLow, kOutputHigh));
            a[x] = Pixel{static_cast<int16_t>(out[0]), static_cast<int16_t>(out[1]), static_cast<int16_t>(out[2])};
        }
    }
}

bool UsableImages(const FPixmap* A, const FPixmap* B)
{
    return A != nullptr && B != nullptr && A->GetPixelType() == FPixmap::PIXEL_48S_RGB &&
           B->GetPixelType() == FPixmap::PIXEL_48S_RGB && A->m_iColumns == B->m_iColumns &&
           A->GetRows() == B->GetRows() && B->m_iColumns >= 3 && B->GetRows() >= 3;
}

} // namespace

size_t FIRWorkAreaBytes(int32_t W, int32_t H)
{
    return kWorkAreaBytesPerLine * static_cast<size_t>(std::max({W, H, 0}));
}

void FIRNoiseReduction(FPixmap* A, FPixmap* B, float ProportionLocalMeanRef, float ProportionLocalMeanEdgeRef,
                       float ProportionLocalMeanImgWithEdgeRef, float Locality, float SigmoidOffset,
                       float ScaleFactorEdgeRef, float ScaleFactorLocalMeanEdgeRef, float EdgeMapExponent,
                       uint16_t /*iterations*/, float gain, float b, void* workArea, size_t workAreaBytes,
                       uint32_t bandCount)
{
    if (!UsableImages(A, B) || !(b > 0.0f))
        return;
    FIRContext context;
    context.W = B->m_iColumns;
    context.H = B->GetRows();
    context.N = std::min(24000, TruncateToInt((9000.0 / b) * 4.0));
    context.bandCount = bandCount;
    context.locality = Locality;
    context.sigmoidOffset = SigmoidOffset;
    if (context.N < 2)
        return;
    if (!FIRAllocateBuffers(context) || !FIRSplitWorkArea(context, workArea, workAreaBytes)) {
        FIRFreeBuffers(context);
        return;
    }
    FIRClampImage(context, *A);
    FIRClampImage(context, *B);
    FIREdgeMap(context, *B, EdgeMapExponent, ScaleFactorEdgeRef, ScaleFactorLocalMeanEdgeRef, ProportionLocalMeanRef);
    FIRSmoothLogRatio(context, *A, *B, ProportionLocalMeanImgWithEdgeRef);
    FIRBlurMono(context, context.buffers.E1, context.buffers.E2, ProportionLocalMeanEdgeRef);

    CombineTables tables;
    tables.L = TruncateFloat(static_cast<float>(std::min(gain, 7.0f) * b) * 4096.0f);
    tables.Lf = static_cast<float>(tables.L);
    FIRBuffers& buffers = context.buffers;
    for (int32_t i = 0; i < context.N; ++i)
        buffers.powerTable[i] = std::pow(static_cast<float>(i) / static_cast<float>(context.N), 0.2f);
    for (int32_t i = 0; i < FIRWorkBufferEntries; ++i)
        buffers.expTable[i] = static_cast<int32_t>(2.0f * context.N * std::exp(-static_cast<float>(i) / kStepsPerLog));
    RunInRowBands(static_cast<uint32_t>(context.H), [&](uint32_t first, uint32_t last) {
        FIRCombineRows(context, tables, *A, *B, first, last);
    }, bandCount);
    FIRFreeBuffers(context);
}
