#include "engine/analysis/Retinex.h"

#include "engine/core/LargeWorkMemory.h"
#include "engine/core/RowBandLoop.h"
#include "foundation/FAssert.h"
#include "foundation/FException.h"

#include <algorithm>
#include <array>
#include <functional>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace {

using MonoPixmap = FPixmapTemplate<FPixelClass16SMono>;

// Row buffers of one band of an upsampling: five smoothed coarse rows (the
// taps of two output rows reach five coarse rows) and one vertical result,
// each with two replicated words on either side.
constexpr int kSmoothedRowSlots = 5;
constexpr size_t kUpsampleBuffersPerBand = kSmoothedRowSlots + 1;
constexpr int kEdgeWords = 2;

// Stats and levels come back only from images of this width or less: coarse
// enough to tell the scene's light range without its detail.
constexpr int32_t kStatsLevelWidth = 200;

// The smallest detail whose square over 1024 exceeds the spread's cap of 32767.
constexpr int32_t kLargestSquaredDetail = 5793;
static_assert((kLargestSquaredDetail * kLargestSquaredDetail >> 10) > 32767 &&
              ((kLargestSquaredDetail - 1) * (kLargestSquaredDetail - 1) >> 10) <= 32767);

int16_t SaturateToInt16(int64_t value)
{
    return static_cast<int16_t>(std::clamp<int64_t>(value, INT16_MIN, INT16_MAX));
}

int16_t Saturate32To16(int32_t value)
{
    return static_cast<int16_t>(std::clamp<int32_t>(value, INT16_MIN, INT16_MAX));
}

int16_t* MonoRow(const FPixmap& image, int32_t y)
{
    return reinterpret_cast<int16_t*>(image.GetRow(y));
}

bool IsCancelled(const std::atomic<char>* cancel)
{
    return cancel != nullptr && cancel->load(std::memory_order_relaxed) != 0;
}

// Calls rowFunction(y) for every row of a rows x columns image in bands; rows
// after a cancel are skipped.
template <class RowFunction>
void ForEachRow(int32_t rows, int32_t columns, const std::atomic<char>* cancel, RowFunction&& rowFunction)
{
    RunInRowBands(
        static_cast<uint32_t>(rows),
        [&](uint32_t firstRow, uint32_t lastRow) {
            for (uint32_t y = firstRow; y <= lastRow && !IsCancelled(cancel); ++y)
                rowFunction(static_cast<int32_t>(y));
        },
        RowBandCountFor(static_cast<uint64_t>(rows) * static_cast<uint64_t>(std::max(columns, 0))));
}

// Called with every row of a result as soon as it is final, on the thread
// that wrote it, so that the pass which consumes the row needs no pass of its own.
using RowHook = std::function<void(int32_t)>;

void RetinexPyramidOf(FRetinexStats& stats, const FRetinexStats& inputStats, const FPixmap& input, FPixmap& output,
                      int16_t* workArea, size_t workWords, const RowHook& finalRow);

// The statistics of MonoImageStats gathered row by row, by whichever pass
// writes the rows, so that no pass of its own reads the image again.
class RowStatistics {
public:
    explicit RowStatistics(int32_t rows) : m_Rows(static_cast<size_t>(std::max(rows, 0))) {}

    void Record(int32_t y, const int16_t* row, int32_t columns)
    {
        int64_t sum = 0;
        int32_t low = 2000000000;
        int32_t high = -2000000000;
        for (int32_t x = 0; x < columns; ++x) {
            sum += row[x];
            low = std::min<int32_t>(low, row[x]);
            high = std::max<int32_t>(high, row[x]);
        }
        m_Rows[static_cast<size_t>(y)] = {sum / columns, low, high};
    }

    // The mean of the row means; every row must have been recorded.
    int32_t Mean(int32_t& minimum, int32_t& maximum) const
    {
        int64_t sumOfMeans = 0;
        minimum = 2000000000;
        maximum = -2000000000;
        for (const Row& row : m_Rows) {
            sumOfMeans += row.mean;
            minimum = std::min(minimum, row.minimum);
            maximum = std::max(maximum, row.maximum);
        }
        return static_cast<int32_t>(sumOfMeans / static_cast<int64_t>(m_Rows.size()));
    }

    FRetinexStats Stats() const
    {
        FRetinexStats stats;
        stats.iMean = Mean(stats.iMinimum, stats.iMaximum);
        return stats;
    }

private:
    struct Row {
        int64_t mean;
        int32_t minimum;
        int32_t maximum;
    };
    std::vector<Row> m_Rows;
};

// The mean of a level relative to the input's, as a factor that brings the
// level to the input's mean; a level of mean 0 (a flat zero spread) is kept.
double MeanRatio(double inputMean, double levelMean)
{
    return levelMean != 0.0 ? inputMean / levelMean : 1.0;
}

int32_t Q8(double value)
{
    return TruncateToInt(value * 256.0 + 0.5);
}

struct PyramidLevel {
    std::unique_ptr<MonoPixmap> image;
    double dMean;
    size_t words;
};

size_t LevelWords(int32_t columns, int32_t rows)
{
    return static_cast<size_t>(columns) * static_cast<size_t>(rows);
}

bool HasNextLevel(int32_t columns, int32_t rows)
{
    return columns >= 2 && rows > 1;
}

void CheckWorkArea(size_t needWords, size_t workWords)
{
    if (needWords > workWords)
        AssertionFailed(FASSERT_SOURCE, __LINE__, "uiNeedSize <= uiTmpSize", 0, 0);
}

// A 16-bit work image of the call, in work memory: on the engine's thread the
// memory of an earlier step or development, already faulted in.
class MonoWorkImage {
public:
    MonoWorkImage(int32_t columns, int32_t rows)
        : m_Memory(RowBytes(columns) * static_cast<size_t>(rows)),
          m_Pixmap(static_cast<FPixelClass16SMono*>(m_Memory.Data()), columns, rows, int32_t(RowBytes(columns)))
    {
    }
    MonoPixmap* GetPixmap() { return &m_Pixmap; }

private:
    // Rows start on 4-byte boundaries.
    static size_t RowBytes(int32_t columns) { return (static_cast<size_t>(columns) * 2 + 3) / 4 * 4; }

    LargeWorkMemory m_Memory;
    MonoPixmap m_Pixmap;
};

// trunc(ln(Y + 30) x 1024) for every luma Y from 0 to 32767.
const std::array<int16_t, 32768>& LogLumaTable()
{
    static const std::array<int16_t, 32768> table = [] {
        std::array<int16_t, 32768> entries{};
        for (int32_t y = 0; y < 32768; ++y)
            entries[y] = static_cast<int16_t>(std::log(y + 30.0) * 1024.0);
        return entries;
    }();
    return table;
}

double SuggestedStrength(const FRetinexStats& stats, double exposureTime, double aperture, int iso)
{
    constexpr double kLog2e = 1.44269504;
    double exposureValue = 0.0;
    double speedValue = 0.0;
    if (std::isfinite(aperture) && std::isfinite(exposureTime) && aperture >= 0.5 && exposureTime > 0.00001 &&
        iso >= 1) {
        exposureValue = std::log(aperture * aperture / exposureTime) * kLog2e;
        speedValue = std::log(iso / 3.125) * kLog2e;
    }
    const double range = std::exp(stats.iMaximum * 0.001) - std::exp(stats.iMinimum * 0.001);
    const double fill = std::max(0.0, range * (exposureValue - speedValue));
    if (!(exposureTime < 1.0) || !std::isfinite(fill))
        return 0.0;
    if (iso < 400)
        return std::trunc(std::log(1.0 + fill) * 0.08 * 10.0 + 0.5) / 10.0;
    if (iso < 800)
        return std::trunc(std::log(1.0 + fill) * 0.04 * 10.0 + 0.5) / 10.0;
    return 0.0;
}

} // namespace

int32_t MonoImageStats(const FPixmap& image, int32_t& minimum, int32_t& maximum)
{
    const int32_t columns = image.m_iColumns;
    const int32_t rows = image.m_iRows;
    if (columns <= 0 || rows <= 0) {
        minimum = maximum = 0;
        return 0;
    }
    RowStatistics statistics(rows);
    ForEachRow(rows, columns, nullptr, [&](int32_t y) { statistics.Record(y, MonoRow(image, y), columns); });
    return statistics.Mean(minimum, maximum);
}

double RetinexDownsample(const FPixmap& in, FPixmap& out)
{
    if (in.GetPixelType() != FPixmap::PIXEL_16S_MONO)
        AssertionFailed(FASSERT_SOURCE, __LINE__, "pInImage != NULL", 0, 0);
    if (out.GetPixelType() != FPixmap::PIXEL_16S_MONO)
        AssertionFailed(FASSERT_SOURCE, __LINE__, "pOutImage != NULL", 0, 0);
    if (out.m_iColumns < in.m_iColumns / 2)
        AssertionFailed(FASSERT_SOURCE, __LINE__, "pOutImage->GetCols() >= pInImage->GetCols()/2", 0, 0);
    if (out.m_iRows < in.m_iRows / 2)
        AssertionFailed(FASSERT_SOURCE, __LINE__, "pOutImage->GetRows() >= pInImage->GetRows()/2", 0, 0);
    if (in.m_iColumns <= 0 || in.m_iRows <= 0 || out.m_iColumns <= 0 || out.m_iRows <= 0)
        return 0.0;

    const int32_t pairColumns = std::min(out.m_iColumns, in.m_iColumns / 2);
    const bool oddLastColumn = out.m_iColumns > pairColumns;
    const int32_t lastColumn = in.m_iColumns - 1;
    const int32_t lastRow = in.m_iRows - 1;
    std::vector<int64_t> rowSums(out.m_iRows);
    ForEachRow(out.m_iRows, pairColumns + 1, nullptr, [&](int32_t y) {
        const int16_t* upper = MonoRow(in, std::min(2 * y, lastRow));
        const int16_t* lower = MonoRow(in, std::min(2 * y + 1, lastRow));
        int16_t* target = MonoRow(out, y);
        int64_t sum = 0;
        for (int32_t x = 0; x < pairColumns; ++x) {
            const int32_t mean = (upper[2 * x] + upper[2 * x + 1] + lower[2 * x] + lower[2 * x + 1]) >> 2;
            target[x] = static_cast<int16_t>(mean);
            sum += mean;
        }
        if (oddLastColumn) {
            const int32_t left = std::max(lastColumn - 1, 0);
            const int32_t mean = (upper[left] + upper[lastColumn] + lower[left] + lower[lastColumn]) >> 2;
            target[pairColumns] = static_cast<int16_t>(mean);
            sum += mean;
        }
        rowSums[y] = sum;
    });
    int64_t total = 0;
    for (int64_t sum : rowSums)
        total += sum;
    const int32_t written = pairColumns + (oddLastColumn ? 1 : 0);
    return static_cast<double>(total) / (static_cast<double>(written) * out.m_iRows);
}

size_t RetinexUpsampleBufferWords(int32_t coarseColumns)
{
    return kRowBandCount * kUpsampleBuffersPerBand * (static_cast<size_t>(coarseColumns) + 2 * kEdgeWords);
}

namespace {

void UpsampleBlend(const FPixmap& coarse, const FPixmap& fine, FPixmap& out, double a, double b, int16_t* rowBuffers,
                   size_t bufferWords, const RowHook& afterRow)
{
    if (coarse.GetPixelType() != FPixmap::PIXEL_16S_MONO)
        AssertionFailed(FASSERT_SOURCE, __LINE__, "pInImageHalf != NULL", 0, 0);
    if (fine.GetPixelType() != FPixmap::PIXEL_16S_MONO)
        AssertionFailed(FASSERT_SOURCE, __LINE__, "pInImageFull != NULL", 0, 0);
    if (out.GetPixelType() != FPixmap::PIXEL_16S_MONO)
        AssertionFailed(FASSERT_SOURCE, __LINE__, "pOutImage != NULL", 0, 0);
    if (rowBuffers == nullptr)
        AssertionFailed(FASSERT_SOURCE, __LINE__, "pTmp != NULL", 0, 0);
    const int32_t n = coarse.m_iColumns;
    const int32_t m = coarse.m_iRows;
    CheckWorkArea(RetinexUpsampleBufferWords(n), bufferWords);
    if (n <= 0 || m <= 0 || out.m_iColumns <= 0)
        return;

    const int64_t coarseWeight = Q8(a);
    const int64_t fineWeight = Q8(b);
    // An interpolated value stays within 36/32 of the 16-bit range, a fine
    // one within it: with weights up to 2^14 the blend fits 32 bits.
    const bool weightsFit32 =
        std::abs(coarseWeight) <= (int64_t{1} << 14) && std::abs(fineWeight) <= (int64_t{1} << 14);
    const int32_t blendedColumns = std::min(2 * n, out.m_iColumns);
    const size_t slotWords = static_cast<size_t>(n) + 2 * kEdgeWords;
    std::atomic<size_t> nextBandBuffers{0};

    const uint32_t bands =
        RowBandCountFor(static_cast<uint64_t>(out.m_iRows) * static_cast<uint64_t>(out.m_iColumns));
    RunInRowBands(static_cast<uint32_t>(out.m_iRows), [&](uint32_t firstRow, uint32_t lastRow) {
        int16_t* buffers = rowBuffers + nextBandBuffers.fetch_add(1) * kUpsampleBuffersPerBand * slotWords;
        int32_t slotRow[kSmoothedRowSlots];
        std::fill(std::begin(slotRow), std::end(slotRow), -1);
        int16_t* vertical = buffers + kSmoothedRowSlots * slotWords + kEdgeWords;
        std::vector<int32_t> horizontal(2 * static_cast<size_t>(n));

        // Coarse row k smoothed vertically with [1 2 1] / 4, edges replicated.
        auto smoothedRow = [&](int32_t k) -> const int16_t* {
            k = std::clamp(k, 0, m - 1);
            const int slot = k % kSmoothedRowSlots;
            int16_t* row = buffers + slot * slotWords + kEdgeWords;
            if (slotRow[slot] != k) {
                const int16_t* above = MonoRow(coarse, std::max(k - 1, 0));
                const int16_t* centre = MonoRow(coarse, k);
                const int16_t* below = MonoRow(coarse, std::min(k + 1, m - 1));
                for (int32_t x = 0; x < n; ++x)
                    row[x] = static_cast<int16_t>((above[x] + 2 * centre[x] + below[x]) >> 2);
                row[-2] = row[-1] = row[0];
                row[n] = row[n + 1] = row[n - 1];
                slotRow[slot] = k;
            }
            return row;
        };

        for (uint32_t row = firstRow; row <= lastRow; ++row) {
            const int32_t y = static_cast<int32_t>(row);
            // Output 2k sits at coarse k - 1/4, output 2k + 1 at k + 1/4.
            const int32_t k = y >> 1;
            const bool odd = (y & 1) != 0;
            const int32_t firstTap = odd ? k - 1 : k - 2;
            const int32_t w1 = odd ? 25 : 9;
            const int32_t w2 = odd ? 9 : 25;
            const int16_t* t0 = smoothedRow(firstTap);
            const int16_t* t1 = smoothedRow(firstTap + 1);
            const int16_t* t2 = smoothedRow(firstTap + 2);
            const int16_t* t3 = smoothedRow(firstTap + 3);
            for (int32_t x = -kEdgeWords; x < n + kEdgeWords; ++x)
                vertical[x] = Saturate32To16((-t0[x] + w1 * t1[x] + w2 * t2[x] - t3[x]) >> 5);

            // Output 2j sits at coarse j - 1/4, output 2j + 1 at j + 1/4.
            int32_t* h = horizontal.data();
            const int16_t* v = vertical;
            for (int32_t j = 0, columns = n; j < columns; ++j) {
                h[2 * j] = (-v[j - 2] + 9 * v[j - 1] + 25 * v[j] - v[j + 1]) >> 5;
                h[2 * j + 1] = (-v[j - 1] + 25 * v[j] + 9 * v[j + 1] - v[j + 2]) >> 5;
            }
            const int16_t* fineRow = MonoRow(fine, y);
            int16_t* outRow = MonoRow(out, y);
            if (weightsFit32) {
                const int32_t a = static_cast<int32_t>(coarseWeight), b = static_cast<int32_t>(fineWeight);
                for (int32_t x = 0, end = blendedColumns; x < end; ++x)
                    outRow[x] = Saturate32To16((h[x] * a + fineRow[x] * b) >> 8);
            } else {
                for (int32_t x = 0; x < blendedColumns; ++x)
                    outRow[x] = SaturateToInt16((h[x] * coarseWeight + fineRow[x] * fineWeight) >> 8);
            }
            for (int32_t x = blendedColumns; x < out.m_iColumns; ++x)
                outRow[x] = outRow[x - 1];
            if (afterRow)
                afterRow(y);
        }
    }, bands);
}

} // namespace

void RetinexUpsampleBlend(const FPixmap& coarse, const FPixmap& fine, FPixmap& out, double a, double b,
                          int16_t* rowBuffers, size_t bufferWords)
{
    UpsampleBlend(coarse, fine, out, a, b, rowBuffers, bufferWords, {});
}

size_t RetinexPyramidWorkWords(int32_t columns, int32_t rows)
{
    std::vector<std::pair<size_t, int32_t>> levels; // words, columns
    size_t used = 0;
    while (HasNextLevel(columns, rows)) {
        columns = (columns + 1) / 2;
        rows = (rows + 1) / 2;
        used += LevelWords(columns, rows);
        levels.emplace_back(LevelWords(columns, rows), columns);
    }
    size_t need = used;
    for (auto level = levels.rbegin(); level != levels.rend(); ++level) {
        need = std::max(need, used + RetinexUpsampleBufferWords(level->second));
        used -= level->first;
    }
    return need;
}

void RetinexPyramid(FRetinexStats& stats, const FPixmap& input, FPixmap& output, int16_t* workArea,
                    size_t workWords)
{
    FRetinexStats inputStats;
    inputStats.iMean = MonoImageStats(input, inputStats.iMinimum, inputStats.iMaximum);
    RetinexPyramidOf(stats, inputStats, input, output, workArea, workWords, {});
}

namespace {

// The pyramid of an input whose statistics are known; finalRow (when set)
// gets every output row once it is final.
void RetinexPyramidOf(FRetinexStats& stats, const FRetinexStats& inputStats, const FPixmap& input, FPixmap& output,
                      int16_t* workArea, size_t workWords, const RowHook& finalRow)
{
    stats = inputStats;
    const int32_t inputMean = inputStats.iMean;

    std::vector<PyramidLevel> levels; // finest first; the back is the coarsest
    size_t used = 0;
    bool statsTaken = false;
    const FPixmap* current = &input;
    while (HasNextLevel(current->m_iColumns, current->m_iRows)) {
        const int32_t columns = (current->m_iColumns + 1) / 2;
        const int32_t rows = (current->m_iRows + 1) / 2;
        const size_t words = LevelWords(columns, rows);
        CheckWorkArea(used + words, workWords);
        auto level = std::make_unique<MonoPixmap>(workArea + used, columns, rows, 2 * columns);
        const double mean = RetinexDownsample(*current, *level);
        if (!statsTaken && columns <= kStatsLevelWidth) {
            stats.iMean = MonoImageStats(*level, stats.iMinimum, stats.iMaximum);
            statsTaken = true;
        }
        used += words;
        levels.push_back({std::move(level), mean, words});
        current = levels.back().image.get();
    }
    if (levels.empty()) {
        // Nothing coarser to smooth with: the image is its own illumination.
        for (int32_t y = 0; y < input.m_iRows; ++y) {
            if (&output != &input)
                std::copy_n(MonoRow(input, y), input.m_iColumns, MonoRow(output, y));
            if (finalRow)
                finalRow(y);
        }
        return;
    }
    if (!statsTaken)
        stats.iMean = MonoImageStats(*levels.back().image, stats.iMinimum, stats.iMaximum);

    const PyramidLevel& coarsest = levels.back();
    const double scale = MeanRatio(inputMean, coarsest.dMean);
    for (int32_t y = 0; y < coarsest.image->m_iRows; ++y) {
        int16_t* row = MonoRow(*coarsest.image, y);
        for (int32_t x = 0; x < coarsest.image->m_iColumns; ++x)
            row[x] = SaturateToInt16(TruncateToInt(scale * row[x] + 0.5));
    }

    double share = 0.9; // of the finer image, shrinking by 0.65 at every step
    while (!levels.empty()) {
        const PyramidLevel& coarse = levels.back();
        const int32_t n = coarse.image->m_iColumns;
        CheckWorkArea(used + RetinexUpsampleBufferWords(n), workWords);
        int16_t* buffers = workArea + used;
        const size_t bufferWords = workWords - used;
        if (levels.size() >= 2) {
            PyramidLevel& finer = levels[levels.size() - 2];
            UpsampleBlend(*coarse.image, *finer.image, *finer.image, 1.0 - share,
                          share * MeanRatio(inputMean, finer.dMean), buffers, bufferWords, {});
        } else {
            UpsampleBlend(*coarse.image, input, output, 1.0 - share, share, buffers, bufferWords, finalRow);
        }
        used -= coarse.words;
        levels.pop_back();
        share *= 0.65;
    }
}

} // namespace

double ApplyRetinex(const FPixmap* input, FPixmap* output, double exposureTime, double aperture, int iso,
                    const std::atomic<char>* cancel)
{
    if (input == nullptr || input->GetPixelType() != FPixmap::PIXEL_48S_RGB)
        throw FExceptionPixelProc2("ApplyRetinex: input pixmap is not 48-bit signed RGB");
    if (output == nullptr || output->GetPixelType() != FPixmap::PIXEL_16S_MONO ||
        output->m_iColumns != input->m_iColumns || output->m_iRows != input->m_iRows)
        throw FExceptionPixelProc2("ApplyRetinex: output pixmap is not 16-bit mono of the input's size");
    const int32_t columns = input->m_iColumns;
    const int32_t rows = input->m_iRows;
    if (columns <= 0 || rows <= 0)
        return 0.0;

    MonoWorkImage logLuma(columns, rows);
    MonoWorkImage illumination(columns, rows);
    MonoWorkImage spread(columns, rows);
    const FPixmap& L = *logLuma.GetPixmap();
    const FPixmap& P = *illumination.GetPixmap();
    FPixmap& V = *spread.GetPixmap();

    // Each pass gathers the statistics of the rows it writes.
    const std::array<int16_t, 32768>& logTable = LogLumaTable();
    RowStatistics logStatistics(rows);
    ForEachRow(rows, columns, cancel, [&](int32_t y) {
        const auto* pixels = reinterpret_cast<const FPixelClass48SRGB*>(input->GetRow(y));
        int16_t* target = MonoRow(L, y);
        for (int32_t x = 0; x < columns; ++x) {
            const int32_t luma = (32 * pixels[x].r + 83 * pixels[x].g + 13 * pixels[x].b) >> 7;
            target[x] = logTable[std::max(luma, 0)];
        }
        logStatistics.Record(y, target, columns);
    });
    if (IsCancelled(cancel))
        return 0.0;

    // Centre the log luma half way towards an 18 % grey (737.28 = 0.18 x 4096).
    int32_t minimum;
    int32_t maximum;
    const int32_t mean = logStatistics.Mean(minimum, maximum);
    const int32_t offset = mean + TruncateToInt((1024.0 * std::log(737.28) - mean) * 0.5 + 512.0);
    RowStatistics centredStatistics(rows);
    ForEachRow(rows, columns, cancel, [&](int32_t y) {
        int16_t* row = MonoRow(L, y);
        for (int32_t x = 0; x < columns; ++x)
            row[x] = static_cast<int16_t>(row[x] - offset);
        centredStatistics.Record(y, row, columns);
    });
    if (IsCancelled(cancel))
        return 0.0;

    // Every level is written before it is read: the area needs no clearing.
    const size_t workWords =
        std::max({size_t{1024}, LevelWords(columns, rows) / 2, RetinexPyramidWorkWords(columns, rows)});
    const LargeWorkMemory workMemory(workWords * sizeof(int16_t));
    int16_t* const workArea = static_cast<int16_t*>(workMemory.Data());
    // The spread of each row is taken as soon as its illumination is final,
    // and its root as soon as its smoothed spread is.
    RowStatistics spreadStatistics(rows);
    const RowHook spreadRow = [&](int32_t y) {
        const int16_t* luma = MonoRow(L, y);
        const int16_t* light = MonoRow(P, y);
        int16_t* target = MonoRow(V, y);
        // From a detail of 5793 on the square exceeds the cap: the detail is
        // capped there first, so the square fits 32 bits.
        for (int32_t x = 0, end = columns; x < end; ++x) {
            const int32_t detail = std::min(std::abs(luma[x] - light[x]), kLargestSquaredDetail);
            target[x] = static_cast<int16_t>(std::min(32767, (detail * detail) >> 10));
        }
        spreadStatistics.Record(y, target, columns);
    };
    FRetinexStats stats;
    RetinexPyramidOf(stats, centredStatistics.Stats(), L, *illumination.GetPixmap(), workArea, workWords,
                     spreadRow);
    if (IsCancelled(cancel))
        return 0.0;

    RowStatistics rootStatistics(rows);
    const RowHook rootRow = [&](int32_t y) {
        int16_t* row = MonoRow(V, y);
        for (int32_t x = 0; x < columns; ++x)
            row[x] = row[x] > 0 ? static_cast<int16_t>(std::sqrt((row[x] + 64.0) * 1024.0)) : int16_t{256};
        rootStatistics.Record(y, row, columns);
    };
    FRetinexStats spreadStats;
    RetinexPyramidOf(spreadStats, spreadStatistics.Stats(), V, V, workArea, workWords, rootRow);
    if (IsCancelled(cancel))
        return 0.0;

    const int32_t meanSpread = rootStatistics.Mean(minimum, maximum);
    const int32_t normaliser = static_cast<int32_t>(std::sqrt(meanSpread / 1024.0) * 1024.0);
    ForEachRow(rows, columns, cancel, [&](int32_t y) {
        const int16_t* luma = MonoRow(L, y);
        const int16_t* light = MonoRow(P, y);
        const int16_t* localSpread = MonoRow(V, y);
        int16_t* target = MonoRow(*output, y);
        for (int32_t x = 0; x < columns; ++x) {
            const int32_t contrast = normaliser * (luma[x] - light[x]) / localSpread[x];
            target[x] = SaturateToInt16(static_cast<int64_t>(contrast) - luma[x]);
        }
    });
    if (IsCancelled(cancel))
        return 0.0;
    return SuggestedStrength(stats, exposureTime, aperture, iso);
}

void MakeRetinexGainLUT(FLUT16& table, double strength, int unity)
{
    if (table.m_pTable == nullptr)
        AssertionFailed(FASSERT_SOURCE, __LINE__, "pGainLUT != NULL", 0, 0);
    if (table.m_iSize != 0x10000)
        AssertionFailed(FASSERT_SOURCE, __LINE__, "pGainLUT->GetSize() == 0x10000", 0, 0);
    const int16_t unityEntry = SaturateToInt16(unity);
    const double k = 1.33 * strength;
    if (!std::isfinite(k) || k == 0.0) {
        std::fill_n(table.m_pTable, 0x10000, unityEntry);
        return;
    }
    auto entryOf = [](double value) { return SaturateToInt16(TruncateToInt(value)); };
    const int16_t limit = entryOf(unity * std::exp(k));
    const double scale = 1.0 / (std::pow(std::abs(k) + 0.0625, 0.25) * 1024.0);
    table[0] = unityEntry;
    for (int32_t i = 1; i <= 32767; ++i) {
        if (table[i - 1] == limit) {
            table[i] = table[i - 1];
            table[-i] = table[-(i - 1)];
            continue;
        }
        const double gain = std::exp(k * std::tanh(i * scale));
        table[i] = entryOf(unity * gain + 0.5);
        table[-i] = entryOf(unity / gain + 0.5);
    }
    table[-32768] = table[-32767];
}
