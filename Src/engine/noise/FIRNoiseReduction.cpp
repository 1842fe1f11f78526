#include "engine/noise/FIRNoiseReduction.h"

#include "engine/core/LargeWorkMemory.h"
#include "engine/core/RowBandLoop.h"
#include "foundation/FAssert.h"
#include "foundation/FValueTypes.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace {

using Pixel = FPixelClass48SRGB;

// Entries of the sigmoid and exponential tables: natural logarithms up to 15
// ln 2 at 16384 / ln 2 steps per unit.
constexpr int32_t FIRWorkBufferEntries = 15 << 14;
constexpr size_t kWorkAreaBytesPerLine = 292;
constexpr int32_t kOutputLow = -500;
constexpr int32_t kOutputHigh = 24000;
// The column filters go through the rows in blocks of a 24th of the image
// (at least 16 rows): their memory is a few blocks' rows and one line of sums
// per block, and each block is one call of the band runner.
constexpr int32_t kBlocksPerImage = 12;
constexpr int32_t kMinimumBlockRows = 16;

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

// One float per pixel (the gradients and edge weights), in the call's work
// memory. Every value is written before it is read, so the memory is not
// cleared: its pages are touched first by the band threads.
class PlaneImage {
public:
    PlaneImage(int32_t columns, int32_t rows)
        : m_Memory(static_cast<size_t>(columns) * static_cast<size_t>(rows) * sizeof(float)), m_iColumns(columns)
    {
    }
    float* Row(int32_t y) { return Values() + static_cast<size_t>(y) * m_iColumns; }
    const float* Row(int32_t y) const { return Values() + static_cast<size_t>(y) * m_iColumns; }
    const float* begin() const { return Values(); }
    const float* end() const { return Values() + m_Memory.Bytes() / sizeof(float); }
    size_t Count() const { return m_Memory.Bytes() / sizeof(float); }

private:
    float* Values() const { return static_cast<float*>(m_Memory.Data()); }

    LargeWorkMemory m_Memory;
    int32_t m_iColumns;
};

// Floats handed out one run after the other from one block of work memory:
// the rows and sums of the block-wise filters, made as huge pages like the
// edge map (fresh small pages would cost more to fault in than the filters
// take). Every float is written before it is read.
class FloatArena {
public:
    explicit FloatArena(size_t floats) : m_Memory(floats * sizeof(float)), m_iFloats(floats) {}
    float* Take(size_t floats)
    {
        FASSERT(m_iTaken + floats <= m_iFloats);
        float* at = static_cast<float*>(m_Memory.Data()) + m_iTaken;
        m_iTaken += floats;
        return at;
    }

private:
    LargeWorkMemory m_Memory;
    size_t m_iFloats;
    size_t m_iTaken = 0;
};

// Normalisation factors of the constant-coefficient filters along a row (W
// values) and along a column (H), with the sums over a line of ones they are
// made from.
struct LineBuffers {
    float* forward = nullptr;
    float* backward = nullptr;
    float* rowFactors = nullptr;
    float* columnFactors = nullptr;
};

// The tables that depend on N alone, shared by every call with that N.
struct FIRLevelTables {
    std::vector<float> log;             // ln(i / N)
    std::vector<float> brightnessPower; // (i / N)^0.2
    std::vector<int32_t> exp;           // 2 N exp(-i / steps), the estimate from a log ratio
};

// The sigmoid table of one edge map, made from its gradients, and the marks of
// the entries the gradients reach, in work memory (on the engine's thread,
// memory of an earlier call). No entry is read before it is made, and each
// mark is cleared as its entry is made, so only the marks start cleared.
class SigmoidTable {
public:
    SigmoidTable() : m_Memory(FIRWorkBufferEntries * (sizeof(float) + 1))
    {
        std::memset(Marks(), 0, FIRWorkBufferEntries);
    }
    float* Entries() const { return static_cast<float*>(m_Memory.Data()); }
    uint8_t* Marks() const { return reinterpret_cast<uint8_t*>(Entries() + FIRWorkBufferEntries); }

private:
    LargeWorkMemory m_Memory;
};

struct FIRTables {
    std::vector<float> edgePower; // (i / N)^exponent, the reference's edge map
    std::unique_ptr<SigmoidTable> sigmoid; // of the smoothed reference's edges
    std::shared_ptr<const FIRLevelTables> levels;
};

std::unique_ptr<FIRLevelTables> MakeLevelTables(int32_t N)
{
    auto t = std::make_unique<FIRLevelTables>();
    const size_t n = static_cast<size_t>(N);
    t->log.resize(n);
    t->brightnessPower.resize(n);
    t->exp.resize(FIRWorkBufferEntries);
    for (int32_t i = 0; i < N; ++i)
        t->log[i] = static_cast<float>(std::log(static_cast<double>(i) / N + 1e-12));
    for (int32_t i = 0; i < N; ++i)
        t->brightnessPower[i] = std::pow(static_cast<float>(i) / static_cast<float>(N), 0.2f);
    for (int32_t i = 0; i < FIRWorkBufferEntries; ++i)
        t->exp[i] = static_cast<int32_t>(2.0f * N * std::exp(-static_cast<float>(i) / kStepsPerLog));
    return t;
}

// The level tables of N, made on first use. A few N are kept (N follows the
// picture's sensitivity, so a session meets only a handful); any thread may
// ask. Throws std::bad_alloc when they cannot be made.
std::shared_ptr<const FIRLevelTables> LevelTablesFor(int32_t N)
{
    constexpr size_t kKept = 4;
    static std::mutex lock;
    static std::deque<std::pair<int32_t, std::shared_ptr<const FIRLevelTables>>> kept; // newest first
    std::lock_guard guard(lock);
    for (const auto& [level, tables] : kept)
        if (level == N)
            return tables;
    std::shared_ptr<const FIRLevelTables> made = MakeLevelTables(N);
    if (kept.size() == kKept)
        kept.pop_back();
    kept.emplace_front(N, made);
    return made;
}

struct FIRContext {
    int32_t W = 0;
    int32_t H = 0;
    int32_t N = 0;
    uint32_t bandCount = kRowBandCount;
    float locality = 0.0f;
    float sigmoidOffset = 0.0f;
    FIRTables tables;
    std::vector<float> privateLines;
    LineBuffers lines;
};

bool FIRAllocateTables(FIRContext& context)
{
    FIRTables& t = context.tables;
    try {
        t.edgePower.assign(static_cast<size_t>(context.N), 0.0f);
        t.sigmoid = std::make_unique<SigmoidTable>();
        t.levels = LevelTablesFor(context.N);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// The line buffers, one after the other, in the caller's area when it is
// large enough, else in memory of our own.
bool FIRSplitWorkArea(FIRContext& context, void* workArea, size_t workAreaBytes)
{
    const size_t longest = static_cast<size_t>(std::max(context.W, context.H));
    float* area = static_cast<float*>(workArea);
    const bool usable = area != nullptr && workAreaBytes >= kWorkAreaBytesPerLine * longest &&
                        reinterpret_cast<uintptr_t>(area) % alignof(float) == 0;
    if (!usable) {
        try {
            context.privateLines.assign(4 * longest, 0.0f);
        } catch (const std::bad_alloc&) {
            return false;
        }
        area = context.privateLines.data();
    }
    context.lines = {area, area + longest, area + 2 * longest, area + 3 * longest};
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

// Both images are read as if clamped to 1 .. N-1; the last pass writes B's
// clamped values back, row by row, as it writes A's results.
int32_t Level(const FIRContext& context, int16_t value) { return std::clamp<int32_t>(value, 1, context.N - 1); }

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
void FIRNormalisationFactors(const LineBuffers& lines, int32_t n, float k, float* factors)
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
        factors[i] = 1.0f / (before + after + invK);
    }
}

// The factors of both directions for a coefficient that smooths.
void FIRLineFactors(FIRContext& context, float k)
{
    if (!Smooths(k))
        return;
    FIRNormalisationFactors(context.lines, context.W, k, context.lines.rowFactors);
    FIRNormalisationFactors(context.lines, context.H, k, context.lines.columnFactors);
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

// Floats that every filter writes before it reads them: not cleared.
class FloatLine {
public:
    explicit FloatLine(size_t n) : m_pValues(new float[n]) {}
    float* data() const { return m_pValues.get(); }

private:
    std::unique_ptr<float[]> m_pValues;
};

// The sums a band's line filters keep, for lines of n pixels.
struct LineScratch {
    explicit LineScratch(int32_t n)
        : input(static_cast<size_t>(n) * 3), F(static_cast<size_t>(n) * 3), Bk(static_cast<size_t>(n) * 3),
          e(static_cast<size_t>(n)), f(static_cast<size_t>(n))
    {
    }
    FloatLine input, F, Bk, e, f;
};

// The edge-aware filter of one RGB line: the link into position m is k w[m],
// in both directions, normalised by the same filter over a line of ones.
void EdgeAwareLine(const float* X, const float* w, int32_t n, float k, LineScratch& s, float* Y)
{
    if (!Smooths(k)) {
        std::memcpy(Y, X, sizeof(float) * 3 * static_cast<size_t>(n));
        return;
    }
    const float invK = 1.0f / k;
    float* F = s.F.data();
    float* Bk = s.Bk.data();
    float* e = s.e.data();
    float* f = s.f.data();
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
}

// The image's rows in blocks of `size` rows, the last one shorter.
struct RowBlocks {
    explicit RowBlocks(int32_t rows)
        : rows(rows), size(std::max(kMinimumBlockRows, (rows + kBlocksPerImage - 1) / kBlocksPerImage))
    {
    }
    int32_t Count() const { return (rows + size - 1) / size; }
    int32_t First(int32_t block) const { return block * size; }
    int32_t Last(int32_t block) const { return std::min(rows, (block + 1) * size) - 1; }
    int32_t Rows(int32_t block) const { return Last(block) - First(block) + 1; }

    int32_t rows;
    int32_t size;
};

// The filter of FilterLine (constant coefficient, normalised by Z over the
// H rows) or of EdgeAwareLine (the link into row m is k times the edge weight
// at row m) down every column of a W x H image of C channels, worked a block
// of rows at a time so that it never holds the whole image: a first sweep
// from the bottom keeps the backward sums where each block begins, and a
// second from the top recomputes each block's backward sums from there and
// runs the forward sums. Each sweep is handed the block's inputs, one row of
// W x C values after the other; the second turns them into the results.
// Every sum is made as the line filters make it, so the results are theirs
// to the bit. Columns are independent: each sweep takes any strip of them.
template <int C>
class ColumnFilter {
public:
    // The sums are taken from the arena, which holds Floats(blocks, W, weights) more.
    ColumnFilter(const RowBlocks& blocks, int32_t W, float k, const float* Z, const PlaneImage* weights,
                 FloatArena& arena)
        : m_Blocks(blocks), m_iLine(static_cast<size_t>(W) * C), m_iState(m_iLine + (weights ? W : 0)),
          m_fK(k), m_fInvK(Smooths(k) ? 1.0f / k : 0.0f), m_pZ(Z), m_pWeights(weights)
    {
        m_pSums = arena.Take(m_iState);
        m_pCheckpoints = arena.Take(static_cast<size_t>(blocks.Count()) * m_iState);
        m_pBlockSums = arena.Take(static_cast<size_t>(blocks.size) * m_iState);
    }

    static size_t Floats(const RowBlocks& blocks, int32_t W, bool edgeAware)
    {
        const size_t state = static_cast<size_t>(W) * (C + (edgeAware ? 1 : 0));
        return state * (1 + static_cast<size_t>(blocks.Count()) + static_cast<size_t>(blocks.size));
    }

    // The backward sums through the block's rows, bottom up; the sums where
    // the block begins are kept for the second sweep.
    void SweepUp(const float* X, int32_t block, uint32_t firstColumn, uint32_t lastColumn)
    {
        if (!Smooths(m_fK))
            return;
        const int32_t first = m_Blocks.First(block);
        for (int32_t m = m_Blocks.Last(block); m >= first; --m) {
            const float* x = X + static_cast<size_t>(m - first) * m_iLine;
            if (m == m_Blocks.rows - 1)
                Start(x, m_pSums, firstColumn, lastColumn);
            else
                Step(x, m, m_pSums, m_pSums, firstColumn, lastColumn);
        }
        CopyStrip(m_pSums, Checkpoint(block), firstColumn, lastColumn);
    }

    // The block's results in place of its inputs; blocks top down.
    void SweepDown(float* X, int32_t block, uint32_t firstColumn, uint32_t lastColumn)
    {
        if (!Smooths(m_fK))
            return;
        const int32_t first = m_Blocks.First(block);
        const int32_t last = m_Blocks.Last(block);
        const int32_t H = m_Blocks.rows;
        // Backward sums of the rows after each of the block's rows: rows
        // first + 1 .. last here, row last + 1 from the first sweep.
        const float* below = last < H - 1 ? Checkpoint(block + 1) : nullptr;
        const auto after = [&](int32_t m) {
            return m == last ? below : m_pBlockSums + static_cast<size_t>(m + 1 - first) * m_iState;
        };
        for (int32_t m = last; m > first; --m) {
            const float* x = X + static_cast<size_t>(m - first) * m_iLine;
            float* sums = m_pBlockSums + static_cast<size_t>(m - first) * m_iState;
            if (m == H - 1)
                Start(x, sums, firstColumn, lastColumn);
            else
                Step(x, m, after(m), sums, firstColumn, lastColumn);
        }
        for (int32_t m = first; m <= last; ++m) {
            float* x = X + static_cast<size_t>(m - first) * m_iLine;
            if (m_pWeights)
                EdgeAwareResultRow(x, m, m < H - 1 ? after(m) : nullptr, firstColumn, lastColumn);
            else
                ResultRow(x, m, m < H - 1 ? after(m) : nullptr, firstColumn, lastColumn);
        }
    }

private:
    float* Checkpoint(int32_t block) { return m_pCheckpoints + static_cast<size_t>(block) * m_iState; }

    // Sums of the last row: its values, and 1 for the normalisation.
    void Start(const float* x, float* sums, uint32_t firstColumn, uint32_t lastColumn) const
    {
        for (size_t j = firstColumn * C; j < (lastColumn + 1) * C; ++j)
            sums[j] = x[j];
        if (m_pWeights)
            for (uint32_t column = firstColumn; column <= lastColumn; ++column)
                sums[m_iLine + column] = 1.0f;
    }

    // Sums of row m from those of the row after it (next may be sums).
    void Step(const float* x, int32_t m, const float* next, float* sums, uint32_t firstColumn,
              uint32_t lastColumn) const
    {
        if (!m_pWeights) {
            const float k = m_fK;
            for (size_t j = firstColumn * C; j < (lastColumn + 1) * C; ++j)
                sums[j] = x[j] + k * next[j];
            return;
        }
        ForEachPiece(m, firstColumn, lastColumn, [&](uint32_t column, uint32_t n, const Links& links) {
            const size_t j0 = size_t(column) * C;
            for (size_t j = 0; j < n * C; ++j)
                sums[j0 + j] = x[j0 + j] + links.perValue[j] * next[j0 + j];
            for (uint32_t i = 0; i < n; ++i)
                sums[m_iLine + column + i] = links.perColumn[i] * next[m_iLine + column + i] + 1.0f;
        });
    }

    // The links k w[column] of a piece of row m's columns, once per column
    // and once per value, so that the loops over them vectorise.
    static constexpr uint32_t kPiece = 64;
    struct Links {
        float perColumn[kPiece];
        float perValue[kPiece * C];
    };

    // Calls pieceFunction(firstColumn, columns, links) for the strip's columns, a piece at a time.
    template <class PieceFunction>
    void ForEachPiece(int32_t m, uint32_t firstColumn, uint32_t lastColumn, PieceFunction&& pieceFunction) const
    {
        const float* w = m_pWeights->Row(m);
        Links links;
        for (uint32_t column = firstColumn; column <= lastColumn; column += kPiece) {
            const uint32_t n = std::min(kPiece, lastColumn - column + 1);
            for (uint32_t i = 0; i < n; ++i) {
                links.perColumn[i] = m_fK * w[column + i];
                for (int c = 0; c < C; ++c)
                    links.perValue[i * C + c] = links.perColumn[i];
            }
            pieceFunction(column, n, links);
        }
    }

    // Row m's results from the forward sums of the row before it (kept in
    // m_Sums, which then advance to row m) and the backward sums of the row
    // after it (null for the last row).
    void ResultRow(float* x, int32_t m, const float* next, uint32_t firstColumn, uint32_t lastColumn)
    {
        float* F = m_pSums;
        const float k = m_fK, invK = m_fInvK, z = m_pZ[m];
        const size_t begin = firstColumn * C, end = (lastColumn + 1) * C;
        if (m == 0) {
            for (size_t j = begin; j < end; ++j) {
                const float v = x[j];
                x[j] = (0.0f + (next ? next[j] : 0.0f) + v * invK) * z;
                F[j] = v;
            }
            return;
        }
        if (!next) {
            for (size_t j = begin; j < end; ++j) {
                const float v = x[j];
                x[j] = (F[j] + 0.0f + v * invK) * z;
                F[j] = v + k * F[j];
            }
            return;
        }
        for (size_t j = begin; j < end; ++j) {
            const float v = x[j];
            x[j] = (F[j] + next[j] + v * invK) * z;
            F[j] = v + k * F[j];
        }
    }

    void EdgeAwareResultRow(float* x, int32_t m, const float* next, uint32_t firstColumn, uint32_t lastColumn)
    {
        float* F = m_pSums;
        float* e = F + m_iLine;
        const float invK = m_fInvK;
        ForEachPiece(m, firstColumn, lastColumn, [&](uint32_t column, uint32_t n, const Links& links) {
            float norms[kPiece * C];
            for (uint32_t i = 0; i < n; ++i) {
                const float norm = (m > 0 ? e[column + i] : 0.0f) + (next ? next[m_iLine + column + i] : 0.0f) + invK;
                for (int c = 0; c < C; ++c)
                    norms[i * C + c] = norm;
            }
            const size_t j0 = size_t(column) * C;
            float* const y = x + j0;
            float* const f = F + j0;
            const float* const after = next ? next + j0 : nullptr;
            // The first and last rows lack the sums before and after them.
            if (m == 0) {
                for (size_t j = 0; j < n * C; ++j) {
                    const float v = y[j];
                    y[j] = (0.0f + (after ? after[j] : 0.0f) + v * invK) / norms[j];
                    f[j] = v;
                }
            } else if (!after) {
                for (size_t j = 0; j < n * C; ++j) {
                    const float v = y[j];
                    y[j] = (f[j] + 0.0f + v * invK) / norms[j];
                    f[j] = v + links.perValue[j] * f[j];
                }
            } else {
                for (size_t j = 0; j < n * C; ++j) {
                    const float v = y[j];
                    y[j] = (f[j] + after[j] + v * invK) / norms[j];
                    f[j] = v + links.perValue[j] * f[j];
                }
            }
            for (uint32_t i = 0; i < n; ++i)
                e[column + i] = m > 0 ? links.perColumn[i] * e[column + i] + 1.0f : 1.0f;
        });
    }

    void CopyStrip(const float* from, float* to, uint32_t firstColumn, uint32_t lastColumn) const
    {
        std::copy(from + firstColumn * C, from + (lastColumn + 1) * C, to + firstColumn * C);
        if (m_pWeights)
            std::copy(from + m_iLine + firstColumn, from + m_iLine + lastColumn + 1, to + m_iLine + firstColumn);
    }

    const RowBlocks& m_Blocks;
    const size_t m_iLine;  // W x C sums
    const size_t m_iState; // the sums, then W normalisation sums for the edge-aware filter
    const float m_fK;
    const float m_fInvK;
    const float* const m_pZ;
    const PlaneImage* const m_pWeights;
    float* m_pSums;        // backward sums in the first sweep, forward in the second
    float* m_pCheckpoints; // the first sweep's sums where each block begins
    float* m_pBlockSums;   // the second sweep's backward sums of one block
};

// Rows of C-channel values for one block, below `above` rows kept from the
// block before it.
class BlockRows {
public:
    BlockRows(const RowBlocks& blocks, int32_t W, int C, int32_t above, FloatArena& arena)
        : m_iLine(static_cast<size_t>(W) * C), m_iAbove(above), m_pValues(arena.Take(Floats(blocks, W, C, above)))
    {
    }
    static size_t Floats(const RowBlocks& blocks, int32_t W, int C, int32_t above)
    {
        return static_cast<size_t>(blocks.size + above) * static_cast<size_t>(W) * C;
    }
    // Row i of the block (negative: the rows kept from the block before).
    float* Row(int32_t i) { return m_pValues + static_cast<size_t>(i + m_iAbove) * m_iLine; }
    // Keeps the last `above` rows of a block of `rows` rows for the next block.
    void KeepLastRows(int32_t rows)
    {
        if (rows >= m_iAbove)
            std::copy(Row(rows - m_iAbove), Row(rows), Row(-m_iAbove));
    }

private:
    size_t m_iLine;
    int32_t m_iAbove;
    float* m_pValues;
};

// Line scratch for every band of a block's rows, each made by the first band
// that needs it, on that band's thread, and kept for the later blocks.
class BandScratch {
public:
    BandScratch(const FIRContext& context, const RowBlocks& blocks)
        : m_iColumns(context.W),
          m_Scratch(RowBandsOf(static_cast<uint32_t>(blocks.size), context.bandCount).size())
    {
    }

    // Calls rowFunction(y, scratch) for the block's rows in bands, each band
    // with scratch of its own.
    template <class RowFunction>
    void ForEachBlockRow(const FIRContext& context, const RowBlocks& blocks, int32_t block, RowFunction&& rowFunction)
    {
        const int32_t first = blocks.First(block);
        std::atomic<size_t> next{0};
        RunInRowBands(static_cast<uint32_t>(blocks.Rows(block)), [&](uint32_t firstRow, uint32_t lastRow) {
            std::unique_ptr<LineScratch>& scratch = m_Scratch[next++];
            if (!scratch)
                scratch = std::make_unique<LineScratch>(m_iColumns);
            for (uint32_t i = firstRow; i <= lastRow; ++i)
                rowFunction(first + static_cast<int32_t>(i), *scratch);
        }, context.bandCount);
    }

private:
    int32_t m_iColumns;
    std::vector<std::unique_ptr<LineScratch>> m_Scratch;
};

// Calls stripFunction(firstColumn, lastColumn) for the columns in bands.
template <class StripFunction>
void ForEachColumnStrip(const FIRContext& context, StripFunction&& stripFunction)
{
    RunInRowBands(static_cast<uint32_t>(context.W), std::forward<StripFunction>(stripFunction), context.bandCount);
}

// The gradient magnitude at x of the middle row, over the three components.
float Gradient(const float* above, const float* here, const float* below, int32_t x)
{
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

// The row of gradients of row y from rowOf(source - 1 .. source + 1). Rows 0
// and H-1 have no row beyond them: they take the gradient of their
// neighbouring row, as the first and last columns take their neighbour's.
template <class RowOf>
void GradientRow(const FIRContext& context, int32_t y, RowOf&& rowOf, float* out)
{
    const int32_t W = context.W;
    const int32_t source = std::clamp(y, 1, context.H - 2);
    const float* above = rowOf(source - 1);
    const float* here = rowOf(source);
    const float* below = rowOf(source + 1);
    for (int32_t x = 1; x <= W - 2; ++x)
        out[x] = Gradient(above, here, below, x);
    out[0] = out[1];
    out[W - 1] = out[W - 2];
}

float FIRImageVariance(const PlaneImage& E)
{
    double sum = 0.0, squares = 0.0;
    for (const float v : E) {
        sum += v;
        squares += double(v) * v;
    }
    const double n = static_cast<double>(E.Count());
    return static_cast<float>((squares - sum * sum / n) / (n - 1.0));
}

// Edge weights in place of the gradients in E: near 1 / (1 + exp(-SF (1 -
// offset))) in flat areas and near 1 / (1 + exp(SF offset)) at strong edges.
void FIRWeightsFromGradients(const FIRContext& context, PlaneImage& E, float SF, const SigmoidTable& table)
{
    // A variance at or below zero (a flat image, or rounding) has no spread:
    // every gradient then counts as flat at 0 and as an edge above it.
    const float sd = std::sqrt(std::max(FIRImageVariance(E), 0.0f));
    const float s = sd * context.locality * 0.5f;
    const bool spread = std::isfinite(s) && s != 0.0f;
    float* const S = table.Entries();
    uint8_t* const marks = table.Marks();
    const auto inUse = [&](size_t i) { return std::atomic_ref<uint8_t>(marks[i]); };
    const float scale = kStepsPerLog * 0.5f;
    const auto entryOf = [&](float gradient) { return TableIndex(gradient * scale, FIRWorkBufferEntries - 1); };
    // Only the entries the gradients reach are made (a small picture reaches
    // few of the table's): first marked, then made, each on its own and in
    // bands, as the whole table would be. A mark already set is not written
    // again, so the bands share the marks' cache lines for reading.
    ForEachRow(context, [&](int32_t y) {
        const float* row = E.Row(y);
        for (int32_t x = 0; x < context.W; ++x) {
            const std::atomic_ref<uint8_t> mark = inUse(size_t(entryOf(row[x])));
            if (!mark.load(std::memory_order_relaxed))
                mark.store(1, std::memory_order_relaxed);
        }
    });
    RunInRowBands(FIRWorkBufferEntries, [&](uint32_t first, uint32_t last) {
        for (uint32_t i = first; i <= last; ++i) {
            if (!inUse(i).load(std::memory_order_relaxed))
                continue;
            inUse(i).store(0, std::memory_order_relaxed); // cleared for the next edge map
            const float t = static_cast<float>(i) / kStepsPerLog;
            const float edge = spread ? std::tanh(-t / s) : (i == 0 ? 0.0f : -1.0f);
            const float argument = -SF * (1.0f + edge - context.sigmoidOffset);
            S[i] = 1.0f / (1.0f + std::exp(argument));
        }
    }, context.bandCount);
    ForEachRow(context, [&](int32_t y) {
        float* row = E.Row(y);
        for (int32_t x = 0; x < context.W; ++x)
            row[x] = S[entryOf(row[x])];
    });
}

const Pixel* ImageRow(const FPixmap& image, int32_t y)
{
    return static_cast<const FPixmapTemplate<Pixel>&>(image).GetRow(y);
}

// The powers of the reference's row y, the image the edge map is made of.
void PowerRow(const FIRContext& context, const FPixmap& B, int32_t y, float* R)
{
    const std::vector<float>& power = context.tables.edgePower;
    const Pixel* row = ImageRow(B, y);
    for (int32_t x = 0; x < context.W; ++x) {
        R[x * 3] = power[Level(context, row[x].r)];
        R[x * 3 + 1] = power[Level(context, row[x].g)];
        R[x * 3 + 2] = power[Level(context, row[x].b)];
    }
}

// The gradients of strong edges, those of the reference's powers, whose rows
// are made as the gradients need them (three at a time per band).
void FIRSharpGradients(const FIRContext& context, const FPixmap& B, PlaneImage& E)
{
    const size_t line = static_cast<size_t>(context.W) * 3;
    RunInRowBands(static_cast<uint32_t>(context.H), [&](uint32_t first, uint32_t last) {
        std::vector<float> rows(3 * line);
        int32_t held[3] = {-1, -1, -1};
        const auto rowOf = [&](int32_t r) {
            float* slot = rows.data() + static_cast<size_t>(r % 3) * line;
            if (held[r % 3] != r) {
                PowerRow(context, B, r, slot);
                held[r % 3] = r;
            }
            return slot;
        };
        for (uint32_t y = first; y <= last; ++y)
            GradientRow(context, static_cast<int32_t>(y), rowOf, E.Row(static_cast<int32_t>(y)));
    }, context.bandCount);
}

// The weights of the smoothed reference's edges: the reference's powers are
// blurred a block at a time, and the gradients of each block's rows taken as
// soon as the rows they reach are done (two rows are kept from the block
// before).
void FIRSmoothEdgeWeights(FIRContext& context, const FPixmap& B, float sfLocalMean, float proportionRef, PlaneImage& E)
{
    const float k = FIRSmoothingCoefficient(context, proportionRef);
    FIRLineFactors(context, k);
    const LineBuffers& lines = context.lines;
    const RowBlocks blocks(context.H);
    FloatArena arena(ColumnFilter<3>::Floats(blocks, context.W, false) + BlockRows::Floats(blocks, context.W, 3, 2));
    ColumnFilter<3> columns(blocks, context.W, k, lines.columnFactors, nullptr, arena);
    BlockRows rows(blocks, context.W, 3, 2, arena);
    BandScratch scratch(context, blocks);
    const auto filterRows = [&](int32_t block) {
        scratch.ForEachBlockRow(context, blocks, block, [&](int32_t y, LineScratch& s) {
            PowerRow(context, B, y, s.input.data());
            FilterLine<3>(s.input.data(), context.W, k, lines.rowFactors, s.F.data(), s.Bk.data(),
                          rows.Row(y - blocks.First(block)));
        });
    };
    for (int32_t block = blocks.Count() - 1; block >= 0; --block) {
        filterRows(block);
        ForEachColumnStrip(context, [&](uint32_t first, uint32_t last) {
            columns.SweepUp(rows.Row(0), block, first, last);
        });
    }
    int32_t nextGradient = 0;
    for (int32_t block = 0; block < blocks.Count(); ++block) {
        filterRows(block);
        ForEachColumnStrip(context, [&](uint32_t first, uint32_t last) {
            columns.SweepDown(rows.Row(0), block, first, last);
        });
        const int32_t blockFirst = blocks.First(block);
        const int32_t lastGradient = blocks.Last(block) == context.H - 1 ? context.H - 1 : blocks.Last(block) - 1;
        RunInRowBands(static_cast<uint32_t>(lastGradient - nextGradient + 1), [&](uint32_t first, uint32_t last) {
            for (uint32_t i = first; i <= last; ++i) {
                const int32_t y = nextGradient + static_cast<int32_t>(i);
                GradientRow(context, y, [&](int32_t r) { return rows.Row(r - blockFirst); }, E.Row(y));
            }
        }, context.bandCount);
        nextGradient = lastGradient + 1;
        rows.KeepLastRows(blocks.Rows(block));
    }
    FIRWeightsFromGradients(context, E, sfLocalMean, *context.tables.sigmoid);
}

// The edge map E1 of the reference: at each pixel the larger of the weights
// of its strong edges and of its smoothed edges.
void FIREdgeMap(FIRContext& context, const FPixmap& B, float exponent, float sfEdge, float sfLocalMean,
                float proportionRef, PlaneImage& E1)
{
    std::vector<float>& power = context.tables.edgePower;
    for (int32_t i = 0; i < context.N; ++i)
        power[i] = std::pow(static_cast<float>(i) / static_cast<float>(context.N), exponent);
    PlaneImage E2(context.W, context.H);
    FIRSharpGradients(context, B, E2);
    // The strong edges' weights begin with a long sum that runs on one thread
    // (its order is the one the weights were made with): they are made beside
    // the smoothed edges, each with a sigmoid table of its own.
    const SigmoidTable sharpSigmoid;
    RunInRowBands(2, [&](uint32_t first, uint32_t last) {
        for (uint32_t part = first; part <= last; ++part) {
            if (part == 0)
                FIRWeightsFromGradients(context, E2, sfEdge, sharpSigmoid);
            else
                FIRSmoothEdgeWeights(context, B, sfLocalMean, proportionRef, E1);
        }
    }, 2);
    ForEachRow(context, [&](int32_t y) {
        float* e1 = E1.Row(y);
        const float* e2 = E2.Row(y);
        for (int32_t x = 0; x < context.W; ++x)
            e1[x] = e1[x] > e2[x] ? e1[x] : e2[x];
    });
}

struct CombineTables {
    int64_t L = 0;
    float Lf = 0.0f;
};

// A becomes s (estimate + (A - estimate) p (1 - m)), s = min(gain, 7) b: the
// smoothed estimate plus the residual restored in proportion to brightness^0.2
// and to how edge-like the neighbourhood is. R is the row's smoothed log
// ratio, E2 its blurred edge map.
void FIRCombineRow(const FIRContext& context, const CombineTables& t, Pixel* a, Pixel* r, const float* R,
                   const float* E2)
{
    const FIRLevelTables& tables = *context.tables.levels;
    for (int32_t x = 0; x < context.W; ++x) {
        const int32_t refs[3] = {Level(context, r[x].r), Level(context, r[x].g), Level(context, r[x].b)};
        const int32_t own[3] = {Level(context, a[x].r), Level(context, a[x].g), Level(context, a[x].b)};
        int64_t T[3];
        for (int c = 0; c < 3; ++c) {
            const float v = R[x * 3 + c] + tables.log[refs[c]];
            T[c] = tables.exp[TableIndex(-kStepsPerLog * v, FIRWorkBufferEntries - 1)];
        }
        const float m = std::min(E2[x], 1.0f);
        const float p = tables.brightnessPower[(refs[0] + 2 * refs[1] + refs[2]) >> 2];
        const int64_t g = TruncateFloat(p * (1.0f - m) * t.Lf);
        int32_t out[3];
        for (int c = 0; c < 3; ++c)
            out[c] = static_cast<int32_t>(
                std::clamp<int64_t>((T[c] * t.L + (2 * own[c] - T[c]) * g) >> 13, kOutputLow, kOutputHigh));
        a[x] = Pixel{static_cast<int16_t>(out[0]), static_cast<int16_t>(out[1]), static_cast<int16_t>(out[2])};
        r[x] = Pixel{static_cast<int16_t>(refs[0]), static_cast<int16_t>(refs[1]), static_cast<int16_t>(refs[2])};
    }
}

// The log ratio of A to B smoothed by the edge-aware filter with the weights
// E1, and E1 blurred, both a block at a time; each block's rows of A are
// combined as soon as both are done. Everything is allocated before the first
// row is combined.
void FIRSmoothAndCombine(FIRContext& context, FPixmap& A, FPixmap& B, const PlaneImage& E1,
                         float proportionImage, float proportionEdge, const CombineTables& combine)
{
    const FIRLevelTables& tables = *context.tables.levels;
    const float kRatio = FIRSmoothingCoefficient(context, proportionImage);
    const float kEdge = FIRSmoothingCoefficient(context, proportionEdge);
    FIRLineFactors(context, kEdge);
    const LineBuffers& lines = context.lines;
    const RowBlocks blocks(context.H);
    FloatArena arena(ColumnFilter<3>::Floats(blocks, context.W, true) + ColumnFilter<1>::Floats(blocks, context.W, false) +
                     BlockRows::Floats(blocks, context.W, 3, 0) + BlockRows::Floats(blocks, context.W, 1, 0));
    ColumnFilter<3> ratioColumns(blocks, context.W, kRatio, nullptr, &E1, arena);
    ColumnFilter<1> edgeColumns(blocks, context.W, kEdge, lines.columnFactors, nullptr, arena);
    BlockRows ratios(blocks, context.W, 3, 0, arena), edges(blocks, context.W, 1, 0, arena);
    BandScratch scratch(context, blocks);
    auto& pixelsA = static_cast<FPixmapTemplate<Pixel>&>(A);
    auto& pixelsB = static_cast<FPixmapTemplate<Pixel>&>(B);
    const auto filterRows = [&](int32_t block) {
        scratch.ForEachBlockRow(context, blocks, block, [&](int32_t y, LineScratch& s) {
            const Pixel* a = pixelsA.GetRow(y);
            const Pixel* r = ImageRow(B, y);
            float* R = s.input.data();
            for (int32_t x = 0; x < context.W; ++x) {
                R[x * 3] = tables.log[Level(context, a[x].r)] - tables.log[Level(context, r[x].r)];
                R[x * 3 + 1] = tables.log[Level(context, a[x].g)] - tables.log[Level(context, r[x].g)];
                R[x * 3 + 2] = tables.log[Level(context, a[x].b)] - tables.log[Level(context, r[x].b)];
            }
            const int32_t i = y - blocks.First(block);
            EdgeAwareLine(R, E1.Row(y), context.W, kRatio, s, ratios.Row(i));
            FilterLine<1>(E1.Row(y), context.W, kEdge, lines.rowFactors, s.F.data(), s.Bk.data(), edges.Row(i));
        });
    };
    for (int32_t block = blocks.Count() - 1; block >= 0; --block) {
        filterRows(block);
        ForEachColumnStrip(context, [&](uint32_t first, uint32_t last) {
            ratioColumns.SweepUp(ratios.Row(0), block, first, last);
            edgeColumns.SweepUp(edges.Row(0), block, first, last);
        });
    }
    for (int32_t block = 0; block < blocks.Count(); ++block) {
        filterRows(block);
        ForEachColumnStrip(context, [&](uint32_t first, uint32_t last) {
            ratioColumns.SweepDown(ratios.Row(0), block, first, last);
            edgeColumns.SweepDown(edges.Row(0), block, first, last);
        });
        const int32_t blockFirst = blocks.First(block);
        RunInRowBands(static_cast<uint32_t>(blocks.Rows(block)), [&](uint32_t first, uint32_t last) {
            for (uint32_t i = first; i <= last; ++i) {
                const int32_t y = blockFirst + static_cast<int32_t>(i);
                FIRCombineRow(context, combine, pixelsA.GetRow(y), pixelsB.GetRow(y), ratios.Row(int32_t(i)),
                              edges.Row(int32_t(i)));
            }
        }, context.bandCount);
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
    if (!FIRAllocateTables(context) || !FIRSplitWorkArea(context, workArea, workAreaBytes))
        return;
    try {
        PlaneImage E1(context.W, context.H);
        FIREdgeMap(context, *B, EdgeMapExponent, ScaleFactorEdgeRef, ScaleFactorLocalMeanEdgeRef,
                   ProportionLocalMeanRef, E1);
        CombineTables combine;
        combine.L = TruncateFloat(static_cast<float>(std::min(gain, 7.0f) * b) * 4096.0f);
        combine.Lf = static_cast<float>(combine.L);
        FIRSmoothAndCombine(context, *A, *B, E1, ProportionLocalMeanImgWithEdgeRef, ProportionLocalMeanEdgeRef,
                            combine);
    } catch (const std::bad_alloc&) {
        // Nothing is allocated once the first row is combined: A and B are unchanged.
    }
}
