#include "engine/stages/Stage1.h"

#include "engine/core/EngineAssert.h"
#include "engine/core/FIPEngine2.h"
#include "engine/core/RowBandLoop.h"
#include "fileio/container/CambData.h"
#include "foundation/FException.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <mutex>

namespace {

constexpr const char* kOffsetRowsEntry = "RawOffsetSourceRows";
constexpr uint32_t kProgressRowInterval = 50;
// Shifts of 64 or more have no meaning for the 64-bit filter state.
constexpr uint32_t kMaxFilterShift = 63;

const FPixelClass48RGB* RawRow(const FPixmap& image, int32_t y)
{
    return reinterpret_cast<const FPixelClass48RGB*>(image.GetRow(y));
}

bool SameSize(const FPixmap& a, const FPixmap& b)
{
    return a.m_iColumns == b.m_iColumns && a.m_iRows == b.m_iRows;
}

int32_t Linearize(const FLUT16RGB& table, int channel, int32_t value)
{
    switch (channel) {
    case 0:
        return table.Red(value);
    case 1:
        return table.Green(value);
    default:
        return table.Blue(value);
    }
}

// The identity when there is no table.
int32_t LinearizeOrKeep(const FLUT16RGB* table, int channel, int32_t value)
{
    return table ? Linearize(*table, channel, value) : value;
}

int16_t SaturateToInt16(int64_t v)
{
    return static_cast<int16_t>(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX));
}

int16_t& OffsetChannel(ColumnOffset& offset, int channel)
{
    return channel == 0 ? offset.r : (channel == 1 ? offset.g : offset.b);
}

// The camera data's rows for the column offsets, estimated from the dark
// frame; empty (with a diagnostic) when the entry is there but unusable.
std::vector<ColumnOffset> ReadColumnOffsets(const FCamdata* camdata, const FPixmap& darkImage)
{
    uint32_t count = 0;
    const uint32_t* rows = CamdataGetUInt32Array(camdata, kOffsetRowsEntry, &count);
    if (!rows)
        return {};
    std::vector<ColumnOffset> offsets;
    if (count == 3)
        offsets = EstimateColumnOffsets(darkImage, rows[0], rows[1], rows[2],
                                        CamdataGetUInt32(camdata, "RawOffsetFilterShift"));
    if (offsets.empty())
        DebugPrintf("Camdata raw offset row parameters '%s' invalid.\n", kOffsetRowsEntry);
    return offsets;
}

// The kernels walk the samples of a row as one array: pixels, column offsets
// and output all hold R, G, B as three 16-bit values, and every store is a
// sample's own 16 bits, so the loops need no calls and the table pointers
// stay in registers.
static_assert(sizeof(FPixelClass48RGB) == 6 && sizeof(FPixelClass48SRGB) == 6 && sizeof(ColumnOffset) == 6);

const uint16_t* Samples(const FPixelClass48RGB* pixels) { return &pixels->r; }
int16_t* Samples(FPixelClass48SRGB* pixels) { return &pixels->r; }

// out = raw - dark, the low 16 bits of each difference.
void SubtractSamples(const FPixelClass48RGB* dark, const FPixelClass48RGB* raw, int32_t pixelCount,
                     FPixelClass48SRGB* out)
{
    const uint16_t* const d = Samples(dark);
    const uint16_t* const r = Samples(raw);
    int16_t* const o = Samples(out);
    const int32_t count = 3 * std::max(pixelCount, 0);
    for (int32_t i = 0; i < count; ++i)
        o[i] = static_cast<int16_t>(r[i] - d[i]);
}

// out = T[raw + offset] - T[dark + offset] per channel, indexes through the
// table's mask.
template <bool kWithOffsets>
void LinearizeSamplesWide(const uint16_t* d, const uint16_t* r, const int16_t* shift, size_t count,
                          const int16_t* const tables[3], uint32_t mask, int16_t* o)
{
    for (size_t i = 0; i < count; ++i) {
        const int32_t offset = kWithOffsets ? shift[i] : 0;
        const int16_t* const t = tables[i % 3];
        o[i] = static_cast<int16_t>(t[static_cast<uint32_t>(r[i] + offset) & mask] -
                                    t[static_cast<uint32_t>(d[i] + offset) & mask]);
    }
}

// The same for tables of at most 65536 entries, whose indexes are sums
// taken modulo 2^16: they are made for a piece of samples at a time in
// vector registers, and only the look-ups remain one by one.
template <bool kWithOffsets>
void LinearizeSamplesNarrow(const uint16_t* d, const uint16_t* r, const int16_t* shift, size_t count,
                            const int16_t* const tables[3], uint16_t mask, int16_t* o)
{
    constexpr size_t kPiece = 3 * 256;
    uint16_t rawIndex[kPiece], darkIndex[kPiece];
    const int16_t* const t0 = tables[0];
    const int16_t* const t1 = tables[1];
    const int16_t* const t2 = tables[2];
    for (size_t start = 0; start < count; start += kPiece) {
        const size_t n = std::min(kPiece, count - start);
        for (size_t i = 0; i < n; ++i) {
            const uint16_t offset = kWithOffsets ? static_cast<uint16_t>(shift[start + i]) : 0;
            rawIndex[i] = static_cast<uint16_t>(r[start + i] + offset) & mask;
            darkIndex[i] = static_cast<uint16_t>(d[start + i] + offset) & mask;
        }
        int16_t* const out = o + start;
        for (size_t i = 0; i < n; i += 3) {
            out[i] = static_cast<int16_t>(t0[rawIndex[i]] - t0[darkIndex[i]]);
            out[i + 1] = static_cast<int16_t>(t1[rawIndex[i + 1]] - t1[darkIndex[i + 1]]);
            out[i + 2] = static_cast<int16_t>(t2[rawIndex[i + 2]] - t2[darkIndex[i + 2]]);
        }
    }
}

template <bool kWithOffsets>
void LinearizeSamples(const FPixelClass48RGB* dark, const FPixelClass48RGB* raw, int32_t pixelCount,
                      const FLUT16RGB& table, FPixelClass48SRGB* out, const ColumnOffset* offsets)
{
    const int16_t* const tables[3] = {table.m_pRed, table.m_pGreen, table.m_pBlue};
    const int16_t* const shift = kWithOffsets ? &offsets->r : nullptr;
    const size_t count = 3 * size_t(std::max(pixelCount, 0));
    if (table.m_iMask <= 0xFFFF)
        LinearizeSamplesNarrow<kWithOffsets>(Samples(dark), Samples(raw), shift, count, tables,
                                             static_cast<uint16_t>(table.m_iMask), Samples(out));
    else
        LinearizeSamplesWide<kWithOffsets>(Samples(dark), Samples(raw), shift, count, tables, table.m_iMask,
                                           Samples(out));
}

} // namespace

void LinearizeAndDarkSubtractImage(const FPixmap* darkImage, const FPixmap* rawImage, const FLUT16RGB*,
                                   FPixmap* outImage)
{
    if (!darkImage)
        throw FExceptionPixelProc2("LinearizeAndDarkSubtractImage: dark image pointer is NULL.\n");
    if (!rawImage)
        throw FExceptionPixelProc2("LinearizeAndDarkSubtractImage: raw image pointer is NULL.\n");
    if (!outImage)
        throw FExceptionPixelProc2("LinearizeAndDarkSubtractImage: out image pointer is NULL.\n");
    if (!SameSize(*darkImage, *rawImage))
        throw FExceptionPixelProc2("LinearizeAndDarkSubtractImage: dark and raw are different sizes.\n");
    if (!SameSize(*rawImage, *outImage))
        throw FExceptionPixelProc2("LinearizeAndDarkSubtractImage: raw and output are different sizes.\n");
    // The row kernels read and write whole rows of these layouts.
    if (darkImage->GetPixelType() != FPixmap::PIXEL_48_RGB || rawImage->GetPixelType() != FPixmap::PIXEL_48_RGB ||
        outImage->GetPixelType() != FPixmap::PIXEL_48S_RGB)
        throw FExceptionPixelProc2("LinearizeAndDarkSubtractImage: unsupported pixel type.\n");
}

void LinearizeRow(const FPixelClass48RGB* dark, const FPixelClass48RGB* raw, int32_t pixelCount,
                  const FLUT16RGB* table, FPixelClass48SRGB* out)
{
    if (table)
        LinearizeSamples<false>(dark, raw, pixelCount, *table, out, nullptr);
    else
        SubtractSamples(dark, raw, pixelCount, out);
}

void LinearizeRowWithOffsets(const FPixelClass48RGB* dark, const FPixelClass48RGB* raw, int32_t pixelCount,
                             const FLUT16RGB* table, FPixelClass48SRGB* out, const ColumnOffset* offsets)
{
    if (table)
        LinearizeSamples<true>(dark, raw, pixelCount, *table, out, offsets);
    else
        SubtractSamples(dark, raw, pixelCount, out);
}

std::vector<ColumnOffset> EstimateColumnOffsets(const FPixmap& darkImage, uint32_t firstRow, uint32_t lastRow,
                                                uint32_t rowStep, uint32_t shift)
{
    const int32_t W = darkImage.m_iColumns;
    const uint32_t H = static_cast<uint32_t>(std::max(darkImage.m_iRows, 0));
    if (W <= 0 || rowStep == 0 || firstRow > lastRow || lastRow >= H)
        return {};
    const int64_t rowCount = (lastRow - firstRow) / rowStep + 1;
    // The brightest and darkest sample of each column are dropped.
    if (rowCount < 3)
        return {};
    const size_t samples = size_t(W) * 3;

    // Sums in 64 bits and a minimum that starts above any sample, so that
    // 16-bit dark data is measured as faithfully as 12-bit data.
    std::vector<int64_t> trimmed(samples, 0);
    std::vector<int32_t> maxima(samples, 0);
    std::vector<int32_t> minima(samples, INT32_MAX);
    for (uint64_t y = firstRow; y <= lastRow; y += rowStep) {
        const uint16_t* row = &RawRow(darkImage, static_cast<int32_t>(y))->r;
        for (size_t i = 0; i < samples; ++i) {
            const int32_t v = row[i];
            trimmed[i] += v;
            maxima[i] = std::max(maxima[i], v);
            minima[i] = std::min(minima[i], v);
        }
    }
    for (size_t i = 0; i < samples; ++i)
        trimmed[i] -= int64_t(maxima[i]) + minima[i];

    const uint32_t s = std::min(shift, kMaxFilterShift);
    std::vector<int64_t> smoothed(static_cast<size_t>(W));
    std::vector<ColumnOffset> offsets(static_cast<size_t>(W));
    for (int c = 0; c < 3; ++c) {
        const auto t = [&](int32_t x) { return trimmed[size_t(x) * 3 + size_t(c)]; };
        int64_t state = t(0);
        for (int32_t x = 0; x < W; ++x)
            smoothed[size_t(x)] = state += (t(x) - state) >> s;
        for (int32_t x = W - 1; x >= 0; --x)
            smoothed[size_t(x)] = state += (smoothed[size_t(x)] - state) >> s;
        for (int32_t x = 0; x < W; ++x) {
            OffsetChannel(offsets[size_t(x)], c) = SaturateToInt16((smoothed[size_t(x)] - t(x)) / (rowCount - 2));
        }
    }
    return offsets;
}

void ComputeStage1Levels(const FCamdata* camdata, const FPixmap& darkImage, const FLUT16RGB* table,
                         FIntTriple& saturationLevel, FIntTriple& darkLevel)
{
    saturationLevel = FIntTriple(0);
    darkLevel = FIntTriple(0);
    int32_t saturation[3];
    CamdataGetInt16Triple(camdata, "RawSaturationLevel", saturation);
    if (saturation[0] == 0 && saturation[1] == 0 && saturation[2] == 0)
        return;

    // The shield area in image coordinates, clipped to the frame (in 64 bits:
    // the rectangles come from camera data).
    const FIntRect keep = CamdataGetRect(camdata, "KeepImageArea");
    const FIntRect shield = CamdataGetRect(camdata, "DarkShieldTop");
    const int64_t left = std::max<int64_t>(0, int64_t(shield.left) - keep.left);
    const int64_t top = std::max<int64_t>(0, int64_t(shield.top) - keep.top);
    const int64_t right = std::min<int64_t>(darkImage.m_iColumns, int64_t(shield.right) - keep.left);
    const int64_t bottom = std::min<int64_t>(darkImage.m_iRows, int64_t(shield.bottom) - keep.top);
    if (left >= right || top >= bottom)
        return;

    double sums[3] = {0.0, 0.0, 0.0};
    for (int64_t y = top; y < bottom; ++y) {
        const FPixelClass48RGB* row = RawRow(darkImage, static_cast<int32_t>(y));
        for (int64_t x = left; x < right; ++x) {
            sums[0] += row[x].r;
            sums[1] += row[x].g;
            sums[2] += row[x].b;
        }
    }
    const double sampleCount = double(right - left) * double(bottom - top);
    int32_t mean[3];
    for (int c = 0; c < 3; ++c)
        mean[c] = TruncateToInt(sums[c] / sampleCount + 0.5);
    if (mean[0] == 0 && mean[1] == 0 && mean[2] == 0)
        return;

    for (int c = 0; c < 3; ++c) {
        darkLevel[c] = LinearizeOrKeep(table, c, mean[c]);
        saturationLevel[c] = LinearizeOrKeep(table, c, saturation[c]);
    }
}

namespace {

bool UsableLinearisationTable(const FLUT16RGB& table)
{
    if ((table.m_iSize & (table.m_iSize - 1)) != 0)
        return false;
    for (const int16_t* channel : {table.m_pRed, table.m_pGreen, table.m_pBlue})
        if (std::all_of(channel, channel + table.m_iSize, [&](int16_t v) { return v == channel[0]; }))
            return false;
    return true;
}

} // namespace

void FIPEngine2::priProcessStage1(FIPERequestStage1* pReq)
{
    FIPE_REQUIRE(pReq, "pReq != NULL");
    FIPE_REQUIRE(pReq->m_pCambData, "pReq->m_pCambData != NULL");
    FIPE_REQUIRE(pReq->m_pDarkImage, "pReq->m_pDarkImage != NULL");
    FIPE_REQUIRE(pReq->m_pOutImage, "pReq->m_pOutImage != NULL");
    FIPE_REQUIRE(pReq->m_pRawImage, "pReq->m_pRawImage != NULL");

    pReq->SetProgress(0.0);
    FIPEResumeState& resume = pReq->m_ResumeState;
    resume.ResumeOrRestart(FIPEResumeState::kTagStage1, FIPEResumeState::kWordPosition);

    const FCamdata* camdata = pReq->m_pCambData;
    std::unique_ptr<FLUT16RGB> table = CamdataGetLUT16RGB(camdata, "LinLUTs");
    // Values index the table through its mask: a size that is not a power of
    // two would fold whole ranges of values onto others, and a channel whose
    // entries are all equal maps every picture to one value. Such a table is
    // no linearisation at all.
    if (table && !UsableLinearisationTable(*table)) {
        DebugPrintf("LinLUTs of %u entries ignored\n", table->m_iSize);
        table.reset();
    }
    LinearizeAndDarkSubtractImage(pReq->m_pDarkImage, pReq->m_pRawImage, table.get(), pReq->m_pOutImage);

    const FPixmap& dark = *pReq->m_pDarkImage;
    const FPixmap& raw = *pReq->m_pRawImage;
    const FPixmap& out = *pReq->m_pOutImage;
    const std::vector<ColumnOffset> offsets = ReadColumnOffsets(camdata, dark);

    // Cancelling does not stop the rows (they are quick); it only decides the
    // final status. The rows are independent: they run in bands, each band
    // adding its rows to the progress every kProgressRowInterval rows.
    const int32_t W = raw.m_iColumns;
    const uint32_t H = static_cast<uint32_t>(std::max(raw.m_iRows, 0));
    const uint32_t first = std::min<uint32_t>(resume.m_aWords[FIPEResumeState::kWordPosition], H);
    std::mutex progressLock;
    uint32_t rowsDone = first;
    const auto addProgress = [&](uint32_t rows) {
        const std::lock_guard<std::mutex> hold(progressLock);
        rowsDone += rows;
        pReq->SetProgress(double(rowsDone) / H);
    };
    RunInRowBands(H - first, [&](uint32_t firstRow, uint32_t lastRow) {
        uint32_t sinceProgress = 0;
        for (uint32_t y = first + firstRow; y <= first + lastRow; ++y) {
            const int32_t row = static_cast<int32_t>(y);
            auto* outRow = reinterpret_cast<FPixelClass48SRGB*>(out.GetRow(row));
            if (offsets.empty())
                LinearizeRow(RawRow(dark, row), RawRow(raw, row), W, table.get(), outRow);
            else
                LinearizeRowWithOffsets(RawRow(dark, row), RawRow(raw, row), W, table.get(), outRow,
                                        offsets.data());
            if (++sinceProgress == kProgressRowInterval) {
                addProgress(sinceProgress);
                sinceProgress = 0;
            }
        }
    }, RowBandCountFor(W, static_cast<int32_t>(H - first)));

    ComputeStage1Levels(camdata, dark, table.get(), pReq->m_aiSaturationLevel, pReq->m_aiDarkLevel);
    resume.m_aWords[FIPEResumeState::kWordPosition] = H;
    if (pReq->IsCancelled()) {
        pReq->Finish(kIPStatusCancelled);
        return;
    }
    pReq->SetProgress(1.0);
    pReq->Finish(kIPStatusDone);
}
