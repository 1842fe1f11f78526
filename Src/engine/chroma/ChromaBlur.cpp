#include "engine/chroma/ChromaBlur.h"

#include "engine/core/GlobalLUTs.h"
#include "engine/core/RowBandEdges.h"
#include "foundation/FAssert.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

using Pixel = FPixelClass48SRGB;

int32_t Component(const Pixel& p, int k) { return k == 0 ? p.r : (k == 1 ? p.g : p.b); }

int16_t SaturateToInt16(int64_t value) { return static_cast<int16_t>(std::clamp<int64_t>(value, INT16_MIN, INT16_MAX)); }

// The brightness offsets divide the gains: an offset below 1 (a missing
// calibration value) would divide black pixels by zero.
int32_t UsableOffset(int32_t c) { return std::max(c, 1); }

// The correction shared by every kernel: the clamped difference to the
// targets through the weight table, less the common part of the three.
class PixelCorrector {
public:
    PixelCorrector(const FLUT16RGB& table, int32_t shift)
        : m_Table(table), m_iLimit(static_cast<int16_t>((table.m_iSize >> 1) - 1)),
          m_iShift(std::clamp(shift, 0, 31)), m_bActive(table.m_iSize >= 2 && table.m_pRed != nullptr)
    {
    }

    void Correct(Pixel& pixel, const int64_t (&targets)[3]) const
    {
        if (!m_bActive)
            return;
        const int32_t cur[3] = {pixel.r, pixel.g, pixel.b};
        int32_t corr[3];
        for (int k = 0; k < 3; ++k) {
            const int32_t d = static_cast<int32_t>(std::clamp<int64_t>(targets[k] - cur[k], -m_iLimit, m_iLimit));
            corr[k] = k == 0 ? m_Table.Red(d) : (k == 1 ? m_Table.Green(d) : m_Table.Blue(d));
        }
        const int32_t common = (corr[0] + corr[1] + corr[2]) >> m_iShift;
        pixel.r = static_cast<int16_t>(cur[0] + corr[0] - common);
        pixel.g = static_cast<int16_t>(cur[1] + corr[1] - common);
        pixel.b = static_cast<int16_t>(cur[2] + corr[2] - common);
    }

private:
    const FLUT16RGB& m_Table;
    int32_t m_iLimit;
    int32_t m_iShift;
    bool m_bActive;
};

// Targets with the neighbourhood's colour at the pixel's own brightness:
// both brightness sums are raised by their offsets, and a neighbourhood no
// brighter than its offset uses the offset alone as its brightness.
void ScaledTargets(const Pixel& pixel, const int64_t (&neighbourhood)[3], int64_t pixelOffset,
                   int64_t neighbourhoodOffset, int64_t (&targets)[3])
{
    const int64_t S = int64_t(pixel.r) + pixel.g + pixel.b + pixelOffset;
    if (S < 0) {
        targets[0] = targets[1] = targets[2] = 0;
        return;
    }
    const int64_t T = neighbourhood[0] + neighbourhood[1] + neighbourhood[2] + neighbourhoodOffset;
    const int64_t gain = T > neighbourhoodOffset ? S * 65536 / T : S * (65536 / neighbourhoodOffset);
    for (int k = 0; k < 3; ++k)
        targets[k] = (gain * neighbourhood[k] + 32768) >> 16;
}

template <size_t Slots>
void RotateWindow(FPixelClass48SRGB* (&rows)[Slots])
{
    std::rotate(rows, rows + 1, rows + Slots);
}

// h[x] = (p[x-1] + 2 p[x] + p[x+1] + 2) >> 2, edge pixels repeated.
void BinomialRow(const Pixel* p, Pixel* h, int32_t W)
{
    for (int32_t x = 0; x < W; ++x) {
        const Pixel& left = p[std::max(x - 1, 0)];
        const Pixel& right = p[std::min(x + 1, W - 1)];
        h[x].r = static_cast<int16_t>((left.r + 2 * p[x].r + right.r + 2) >> 2);
        h[x].g = static_cast<int16_t>((left.g + 2 * p[x].g + right.g + 2) >> 2);
        h[x].b = static_cast<int16_t>((left.b + 2 * p[x].b + right.b + 2) >> 2);
    }
}

// h[x] = (p[x-2] + ... + p[x+2] + 2) >> 2, edge pixels repeated. Five bright
// pixels exceed the 16-bit slot: the sum saturates instead of wrapping.
void BoxRow(const Pixel* p, Pixel* h, int32_t W)
{
    int32_t sum[3] = {0, 0, 0};
    auto add = [&](int32_t x, int sign) {
        const Pixel& q = p[std::clamp(x, 0, W - 1)];
        sum[0] += sign * q.r;
        sum[1] += sign * q.g;
        sum[2] += sign * q.b;
    };
    for (int32_t x = -2; x <= 2; ++x)
        add(x, 1);
    for (int32_t x = 0; x < W; ++x) {
        h[x] = Pixel{SaturateToInt16((sum[0] + 2) >> 2), SaturateToInt16((sum[1] + 2) >> 2),
                SaturateToInt16((sum[2] + 2) >> 2)};
        add(x + 3, 1);
        add(x - 2, -1);
    }
}

// First-order filter weights in Q8 for decay length x and a step of s pixels.
struct DecayWeights {
    int32_t f;
    int32_t l;
};

DecayWeights Decay(double x, double step, bool complementary)
{
    const double e = std::exp(-step / x);
    const int32_t f = TruncateToInt(256.0 * (1.0 - e) + 0.5);
    return {f, complementary ? 256 - f : TruncateToInt(256.0 * e + 0.5)};
}

int16_t Smooth(const DecayWeights& w, int64_t value, int64_t previous)
{
    return SaturateToInt16((w.f * value + w.l * previous) >> 8);
}

void CheckBlockGeometry(const ChromaBlurBlocks& blocks, int32_t W, int32_t H)
{
    FASSERT(blocks.pData != nullptr);
    FASSERT(blocks.iColumns == (W + 3) / 4);
    FASSERT(blocks.iRows == (H + 3) / 4);
}

// Steps a and b of a large-kernel row: U rebuilt from the block row every
// fourth row, then V smoothed towards it.
void AdvanceLargeState(int32_t y, double x1, double x2, const ChromaBlurBlocks& blocks, Pixel* state, int32_t W)
{
    Pixel* V = state;
    Pixel* U = state + W;
    if (y % 4 == 0) {
        if (y == 0)
            std::memset(V, 0, sizeof(Pixel) * static_cast<size_t>(W));
        const int32_t irow0 = y / 4;
        const int32_t ncols = blocks.iColumns;
        if (!(irow0 < blocks.iRows))
            AssertionFailed(".\\Src\\ChromaBlur", __LINE__, "irow0 < nrows", 0, 0);
        const Pixel* blockRow = blocks.pData + static_cast<ptrdiff_t>(irow0) * ncols;
        const DecayWeights h = Decay(x1, 1.0, true);
        int16_t previous[3] = {0, 0, 0};
        for (int32_t j = ncols - 1; j >= 0; --j) {
            const int32_t icol0 = 4 * j;
            if (!(icol0 < W))
                AssertionFailed(".\\Src\\ChromaBlur", __LINE__, "icol0 < ncols", 0, 0);
            for (int32_t p = icol0 + 3; p >= icol0; --p) {
                Pixel& u = U[std::min(p, W - 1)];
                u = Pixel{Smooth(h, blockRow[j].r, previous[0]), Smooth(h, blockRow[j].g, previous[1]),
                     Smooth(h, blockRow[j].b, previous[2])};
                previous[0] = u.r, previous[1] = u.g, previous[2] = u.b;
            }
        }
        previous[0] = previous[1] = previous[2] = 0;
        for (int32_t p = 0; p < W; ++p) {
            Pixel& u = U[p];
            u = Pixel{Smooth(h, u.r, previous[0]), Smooth(h, u.g, previous[1]), Smooth(h, u.b, previous[2])};
            previous[0] = u.r, previous[1] = u.g, previous[2] = u.b;
        }
    }
    // One run of components, so the loop vectorises: f and l are at most 256,
    // so f u + l v of two 16-bit values stays well inside 32 bits.
    static_assert(sizeof(Pixel) == 3 * sizeof(int16_t));
    const DecayWeights v = Decay(x2, 1.0, false);
    int16_t* vertical = &V->r;
    const int16_t* current = &U->r;
    for (int32_t i = 0; i < 3 * W; ++i)
        vertical[i] = static_cast<int16_t>(std::clamp<int32_t>((v.f * current[i] + v.l * vertical[i]) >> 8, INT16_MIN, INT16_MAX));
}

bool IsCancelled(const std::atomic<char>* cancel)
{
    return cancel != nullptr && cancel->load(std::memory_order_relaxed) != 0;
}

void CheckWorkingImage(const FPixmap* image)
{
    FASSERT(image != nullptr);
    FASSERT(image->GetPixelType() == FPixmap::PIXEL_48S_RGB);
}

// A pass of a window kernel with reach d rows: each band feeds rows
// first - d .. last + d (clamped to the image) and corrects its own rows.
template <int Reach, class Window, class Kernel>
bool RunWindowPass(FPixmap* image, const std::atomic<char>* cancel, uint32_t bandCount, Kernel&& kernel)
{
    CheckWorkingImage(image);
    const int32_t W = image->m_iColumns;
    const int32_t H = image->GetRows();
    if (W <= 0 || H <= 0)
        return true;
    auto& pixels = static_cast<FPixmapTemplate<Pixel>&>(*image);
    std::atomic<bool> stopped{false};
    RunInRowBandsWithEdges(*image, Reach, bandCount, [&](uint32_t firstRow, uint32_t lastRow, const RowBandEdges& edges) {
        constexpr int kSlots = 2 * Reach + 1;
        std::vector<Pixel> buffers(static_cast<size_t>(W) * kSlots, Pixel{0, 0, 0});
        Window window;
        for (int i = 0; i < kSlots; ++i)
            window.apRows[i] = buffers.data() + static_cast<ptrdiff_t>(i) * W;
        const int64_t first = firstRow;
        for (int64_t y = first - Reach; y <= int64_t(lastRow) + Reach; ++y) {
            if (IsCancelled(cancel)) {
                stopped = true;
                return;
            }
            const int32_t inputRow = static_cast<int32_t>(std::clamp<int64_t>(y, 0, H - 1));
            const Pixel* in = reinterpret_cast<const Pixel*>(edges.Row(inputRow, firstRow, lastRow));
            Pixel* out = y - Reach >= first ? pixels.GetRow(static_cast<int32_t>(y - Reach)) : nullptr;
            kernel(in, out, window, W);
        }
    });
    return !stopped;
}

} // namespace

void ChromaBlurRow3(const FPixelClass48SRGB* in, FPixelClass48SRGB* out, const FDoubleTriple&, int32_t,
                    ChromaBlurWindow3& window, int32_t W, const FLUT16RGB& table, int32_t shift)
{
    BinomialRow(in, window.apRows[2], W);
    if (out != nullptr) {
        const PixelCorrector corrector(table, shift);
        const Pixel* a = window.apRows[0];
        const Pixel* b = window.apRows[1];
        const Pixel* e = window.apRows[2];
        for (int32_t x = 0; x < W; ++x) {
            const int64_t targets[3] = {(a[x].r + 2 * b[x].r + e[x].r) >> 2, (a[x].g + 2 * b[x].g + e[x].g) >> 2,
                                        (a[x].b + 2 * b[x].b + e[x].b) >> 2};
            corrector.Correct(out[x], targets);
        }
    }
    RotateWindow(window.apRows);
}

void ChromaBlurRow5(const FPixelClass48SRGB* in, FPixelClass48SRGB* out, const FDoubleTriple&, int32_t c,
                    ChromaBlurWindow5& window, int32_t W, const FLUT16RGB& table, int32_t shift)
{
    BoxRow(in, window.apRows[4], W);
    if (out != nullptr) {
        const PixelCorrector corrector(table, shift);
        const int32_t offset = UsableOffset(c);
        const int64_t boxOffset = 25 * int64_t(offset) / 4;
        const Pixel* const* rows = window.apRows;
        for (int32_t x = 0; x < W; ++x) {
            int64_t sums[3] = {0, 0, 0};
            for (int i = 0; i < 5; ++i) {
                sums[0] += rows[i][x].r;
                sums[1] += rows[i][x].g;
                sums[2] += rows[i][x].b;
            }
            int64_t targets[3];
            ScaledTargets(out[x], sums, offset, boxOffset, targets);
            corrector.Correct(out[x], targets);
        }
    }
    RotateWindow(window.apRows);
}

size_t ChromaBlurBlockCount(int32_t W, int32_t H)
{
    if (W <= 0 || H <= 0)
        return 0;
    return static_cast<size_t>((W + 3) / 4) * static_cast<size_t>((H + 3) / 4);
}

void ChromaBlurBlockSums(const FPixmap& image, double x, const ChromaBlurBlocks& blocks)
{
    CheckWorkingImage(&image);
    const int32_t W = image.m_iColumns;
    const int32_t H = image.GetRows();
    if (W <= 0 || H <= 0)
        return;
    CheckBlockGeometry(blocks, W, H);
    const auto& pixels = static_cast<const FPixmapTemplate<Pixel>&>(image);
    const DecayWeights w = Decay(x, 4.0, false);
    const int32_t ncols = blocks.iColumns;
    for (int32_t i = blocks.iRows - 1; i >= 0; --i) {
        for (int32_t j = ncols - 1; j >= 0; --j) {
            int64_t sum[3] = {0, 0, 0};
            for (int32_t dy = 0; dy < 4; ++dy) {
                const Pixel* row = pixels.GetRow(std::min(4 * i + dy, H - 1));
                for (int32_t dx = 0; dx < 4; ++dx) {
                    const Pixel& p = row[std::min(4 * j + dx, W - 1)];
                    sum[0] += p.r, sum[1] += p.g, sum[2] += p.b;
                }
            }
            Pixel& block = blocks.pData[static_cast<ptrdiff_t>(i) * ncols + j];
            const Pixel* below = i + 1 < blocks.iRows ? &blocks.pData[static_cast<ptrdiff_t>(i + 1) * ncols + j] : nullptr;
            for (int k = 0; k < 3; ++k) {
                const int64_t capped = std::min<int64_t>(sum[k], 32767);
                const int64_t smoothed = below ? (w.f * capped + w.l * Component(*below, k)) >> 8 : (w.f * capped) >> 8;
                (k == 0 ? block.r : (k == 1 ? block.g : block.b)) = SaturateToInt16(smoothed);
            }
        }
    }
}

void ChromaBlurLargeRow(FPixelClass48SRGB* row, int32_t y, double x1, double x2, const FDoubleTriple&, int32_t c,
                        const ChromaBlurBlocks& blocks, FPixelClass48SRGB* state, int32_t W, const FLUT16RGB& table,
                        int32_t shift)
{
    if (W <= 0)
        return;
    AdvanceLargeState(y, x1, x2, blocks, state, W);
    const PixelCorrector corrector(table, shift);
    const int32_t offset = UsableOffset(c);
    const Pixel* V = state;
    for (int32_t p = 0; p < W; ++p) {
        // Back to pixel units: a block sums 16 pixels.
        const int64_t neighbourhood[3] = {V[p].r >> 4, V[p].g >> 4, V[p].b >> 4};
        int64_t targets[3];
        ScaledTargets(row[p], neighbourhood, offset, offset, targets);
        corrector.Correct(row[p], targets);
    }
}

void ChromaBlurDisplayPixmap(FPixmap* display, int32_t s0, int32_t s1, int32_t s2, int32_t a)
{
    if (display == nullptr || display->GetPixelType() != FPixmap::PIXEL_32_BGRA)
        return;
    const int32_t W = display->m_iColumns;
    const int32_t H = display->GetRows();
    if (W <= 0 || H <= 0)
        return;
    const FLUT16RGB& table = GetChromaWeightLUT(FDoubleTriple(s0, s1, s2), FDoubleTriple(1.0, 1.0, 1.0));
    auto& pixels = static_cast<FPixmapTemplate<FPixelClass32BGRA>&>(*display);
    constexpr int kWindowRows = 5;
    std::vector<Pixel> block(static_cast<size_t>(W) * (kWindowRows + 2), Pixel{0, 0, 0});
    ChromaBlurWindow5 window;
    for (int i = 0; i < kWindowRows; ++i)
        window.apRows[i] = block.data() + static_cast<ptrdiff_t>(i) * W;
    Pixel* input = block.data() + static_cast<ptrdiff_t>(kWindowRows) * W;
    Pixel* output = input + W;
    // The input is brought to a quarter of the output's scale: squares of the
    // bytes, so the blur works on roughly linear values.
    auto square = [](uint8_t b, int shift) { return static_cast<int16_t>((int32_t(b) * b) >> shift); };
    for (int32_t e = 0; e <= H + 1; ++e) {
        if (e >= 2) {
            const FPixelClass32BGRA* row = pixels.GetRow(e - 2);
            for (int32_t x = 0; x < W; ++x)
                output[x] = Pixel{square(row[x].r, 2), square(row[x].g, 2), square(row[x].b, 2)};
        }
        if (e < H) {
            const FPixelClass32BGRA* row = pixels.GetRow(e);
            for (int32_t x = 0; x < W; ++x)
                input[x] = Pixel{square(row[x].r, 4), square(row[x].g, 4), square(row[x].b, 4)};
        }
        if (e == 2)
            for (int i = 0; i < 2; ++i)
                std::memcpy(window.apRows[i], window.apRows[2], sizeof(Pixel) * static_cast<size_t>(W));
        ChromaBlurRow5(input, e >= 2 ? output : nullptr, FDoubleTriple(), 10 * a, window, W, table, 3);
        if (e >= 2) {
            FPixelClass32BGRA* row = pixels.GetRow(e - 2);
            auto byte = [](int16_t v) {
                return static_cast<uint8_t>(std::min(255.0, std::sqrt(4.0 * std::max<int32_t>(v, 0))));
            };
            for (int32_t x = 0; x < W; ++x)
                row[x] = {byte(output[x].b), byte(output[x].g), byte(output[x].r), 255};
        }
    }
}

bool ChromaBlurImage3(FPixmap* image, const FDoubleTriple& dq, int32_t s, const FLUT16RGB& table, int32_t shift,
                      const std::atomic<char>* cancel, uint32_t bandCount)
{
    return RunWindowPass<1, ChromaBlurWindow3>(image, cancel, bandCount,
                                               [&](const Pixel* in, Pixel* out, ChromaBlurWindow3& window, int32_t W) {
                                                   ChromaBlurRow3(in, out, dq, s, window, W, table, shift);
                                               });
}

bool ChromaBlurImage5(FPixmap* image, const FDoubleTriple& dq, int32_t c, const FLUT16RGB& table, int32_t shift,
                      const std::atomic<char>* cancel, uint32_t bandCount)
{
    return RunWindowPass<2, ChromaBlurWindow5>(image, cancel, bandCount,
                                               [&](const Pixel* in, Pixel* out, ChromaBlurWindow5& window, int32_t W) {
                                                   ChromaBlurRow5(in, out, dq, c, window, W, table, shift);
                                               });
}

bool ChromaBlurLargeImage(FPixmap* image, double x, double x1, double x2, const FDoubleTriple& dq, int32_t c,
                          const FLUT16RGB& table, int32_t shift, const std::atomic<char>* cancel, uint32_t bandCount)
{
    CheckWorkingImage(image);
    const int32_t W = image->m_iColumns;
    const int32_t H = image->GetRows();
    if (W <= 0 || H <= 0)
        return true;
    if (IsCancelled(cancel))
        return false;
    std::vector<Pixel> blockPixels(ChromaBlurBlockCount(W, H));
    const ChromaBlurBlocks blocks{blockPixels.data(), (W + 3) / 4, (H + 3) / 4};
    ChromaBlurBlockSums(*image, x, blocks);
    auto& pixels = static_cast<FPixmapTemplate<Pixel>&>(*image);
    std::atomic<bool> stopped{false};
    // Rows only read their own pixels; the vertical filter state of a band's
    // first row is rebuilt from the blocks, which no band writes.
    RunInRowBands(static_cast<uint32_t>(H), [&](uint32_t firstRow, uint32_t lastRow) {
        std::vector<Pixel> state(2 * static_cast<size_t>(W), Pixel{0, 0, 0});
        for (uint32_t y = 0; y < firstRow; ++y)
            AdvanceLargeState(static_cast<int32_t>(y), x1, x2, blocks, state.data(), W);
        for (uint32_t y = firstRow; y <= lastRow; ++y) {
            if (IsCancelled(cancel)) {
                stopped = true;
                return;
            }
            ChromaBlurLargeRow(pixels.GetRow(static_cast<int32_t>(y)), static_cast<int32_t>(y), x1, x2, dq, c, blocks,
                               state.data(), W, table, shift);
        }
    }, bandCount);
    return !stopped;
}
