#include "engine/chroma/HighlightNeutralization.h"

#include "engine/core/RowBandHalos.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using Pixel = FPixelClass48SRGB;

constexpr int32_t kCap = 32000;

int32_t Nearest(double v) { return TruncateToInt(v + 0.5); }

int32_t Get(const Pixel& p, int k) { return k == 0 ? p.r : (k == 1 ? p.g : p.b); }
void Set(Pixel& p, int k, int32_t v) { (k == 0 ? p.r : (k == 1 ? p.g : p.b)) = static_cast<int16_t>(v); }

// A pulled component: a neutral target of red-heavy proportions can lie beyond
// the 16-bit range, and must stop at the cap instead of wrapping to a dark value.
void SetPulled(Pixel& p, int k, int64_t v) { Set(p, k, static_cast<int32_t>(std::clamp<int64_t>(v, INT16_MIN, kCap))); }

template <class T, size_t Count>
void RotateTowardsOlder(T* (&slots)[Count])
{
    // The oldest slot becomes the newest: slot 0 takes the last one's buffer.
    std::rotate(slots, slots + Count - 1, slots + Count);
}

// Raises the deltas so that no component is lowered, keeping their sum.
void Lift(int64_t (&delta)[3])
{
    for (int k = 0; k < 3; ++k) {
        if (delta[k] < 0) {
            for (int j = 0; j < 3; ++j)
                if (j != k)
                    delta[j] -= delta[k];
            delta[k] = 0;
        }
    }
}

void Mark(HighlightRowBuffers& b, int32_t i)
{
    for (int r = 0; r < 3; ++r)
        std::memset(b.apF[r] + i - 1, 1, 3);
    std::memset(b.apG[0] + i - 1, 1, 3);
    std::memset(b.apG[4] + i - 1, 1, 3);
    for (int r = 1; r <= 3; ++r)
        std::memset(b.apG[r] + i - 2, 1, 5);
}

void PullTowardsNeutral(Pixel* row, HighlightRowBuffers& buffers, int32_t W, const FIntTriple& Lo,
                        const FIntTriple& N, int32_t D)
{
    for (int32_t i = 2; i <= W - 3; ++i) {
        Pixel& p = row[i];
        const int32_t v[3] = {p.r, p.g, p.b};
        const int32_t e[3] = {v[0] - Lo.r, v[1] - Lo.g, v[2] - Lo.b};
        const int32_t h = (std::min({e[0], e[1], e[2]}) + std::max({e[0], e[1], e[2]})) >> 1;
        if (h <= 0)
            continue;
        const int32_t S = v[0] + v[1] + v[2];
        // 64 bits: proportions from absurd gains may take any int value.
        int64_t delta[3];
        for (int k = 0; k < 3; ++k)
            delta[k] = ((int64_t(N[k]) * S) >> 12) - v[k];
        Lift(delta);
        if (h >= D) {
            for (int k = 0; k < 3; ++k)
                SetPulled(p, k, v[k] + delta[k]);
            Mark(buffers, i);
        } else {
            // The ramp (1 - (1 - t)^2)^2 of t = h / D in Q14.
            const int64_t t = (int64_t(h) * ((int64_t(1) << 28) / D)) >> 14;
            int64_t w = 16384 - t;
            w = 16384 - ((w * w) >> 14);
            w = (w * w) >> 14;
            for (int k = 0; k < 3; ++k)
                SetPulled(p, k, v[k] + ((delta[k] * w) >> 14));
        }
    }
}

int32_t GreyOf(const Pixel& p) { return ((int32_t(p.r) + p.g + p.b) * 1365) >> 12; }

// The marked pixel's components summed over its 5 x 5 neighbourhood without
// corners, rows[0..4] being rows y .. y-4 and the pixel in row y-2.
void NeighbourhoodMeans(Pixel* const (&rows)[5], int32_t i, int32_t (&a)[3])
{
    int32_t sum[3] = {0, 0, 0};
    for (int r = 0; r < 5; ++r) {
        const int32_t reach = (r == 0 || r == 4) ? 1 : 2;
        for (int32_t x = i - reach; x <= i + reach; ++x)
            for (int k = 0; k < 3; ++k)
                sum[k] += Get(rows[r][x], k);
    }
    for (int k = 0; k < 3; ++k)
        a[k] = (sum[k] * 195) >> 12;
}

void GreyAndSmooth(Pixel* const (&rows)[5], HighlightRowBuffers& b, bool full, int32_t W)
{
    for (int32_t i = 2; i <= W - 3; ++i) {
        if (!b.apF[2][i])
            continue;
        Pixel& p = rows[1][i];
        const int32_t mean = GreyOf(p);
        for (int k = 0; k < 3; ++k)
            Set(p, k, std::min(kCap, full ? mean : (Get(p, k) + mean) / 2));
    }
    if (full)
        for (int32_t i = 2; i <= W - 3; ++i)
            if (b.apF[1][i]) {
                const int32_t mean = GreyOf(rows[0][i]);
                rows[0][i] = Pixel{static_cast<int16_t>(mean), static_cast<int16_t>(mean), static_cast<int16_t>(mean)};
            }
    Pixel* out = b.apO[0];
    for (int32_t i = 2; i <= W - 3; ++i) {
        const Pixel& centre = rows[2][i];
        if (!b.apG[4][i]) {
            out[i] = centre;
            continue;
        }
        int32_t a[3];
        NeighbourhoodMeans(rows, i, a);
        const int32_t L = (int32_t(centre.r) + centre.g + centre.b - (a[0] + a[1] + a[2])) >> 2;
        for (int k = 0; k < 3; ++k)
            Set(out[i], k, std::min(kCap, a[k] + L));
    }
    std::memcpy(rows[4] + 2, b.apO[2] + 2, sizeof(Pixel) * static_cast<size_t>(W - 4));
}

} // namespace

void HighlightClipLevels(const FDoubleTriple& gains, const FIntTriple& T, FIntTriple& Lo, FIntTriple& U,
                         FIntTriple& N, float x, float r)
{
    double s = 0.0;
    for (int k = 0; k < 3; ++k) {
        const double q = (T[k] + (T[k] >> 3)) / gains[k];
        s = k == 0 ? q : std::min(s, q);
    }
    for (int k = 0; k < 3; ++k)
        U[k] = Nearest(s * gains[k]);
    const double total = double(U.r) + U.g + U.b;
    for (int k = 0; k < 3; ++k)
        N[k] = Nearest(4096.0 * U[k] / total);
    const int32_t m = std::min({U.r, U.g, U.b}) / 2;
    const double F = r < 1.0f ? 1.6 : 1.8;
    for (int k = 0; k < 3; ++k) {
        int32_t lo = Nearest(F * (U[k] - m));
        if (x > 2.0f)
            lo = Nearest(lo * 0.5);
        else if (x > 1.0f)
            lo = Nearest(lo * (1.0 - (double(x) - 1.0) / 2.0));
        Lo[k] = lo;
    }
}

void NeutralizeHighlightRow(FPixelClass48SRGB* const (&rows)[5], HighlightRowBuffers& buffers, bool full, int32_t W,
                            const FIntTriple& Lo, const FIntTriple& U, const FIntTriple& N)
{
    const size_t flagBytes = static_cast<size_t>(std::max(W, 0));
    std::memset(buffers.apF[2], 0, flagBytes);
    RotateTowardsOlder(buffers.apF);
    std::memset(buffers.apG[4], 0, flagBytes);
    RotateTowardsOlder(buffers.apG);
    RotateTowardsOlder(buffers.apO);
    const int32_t D = U.g - Lo.g;
    if (W < 5 || D < 20)
        return;
    if (rows[0] != nullptr)
        PullTowardsNeutral(rows[0], buffers, W, Lo, N, D);
    if (std::all_of(rows, rows + 5, [](const Pixel* row) { return row != nullptr; })) {
        GreyAndSmooth(rows, buffers, full, W);
    } else if (rows[2] != nullptr) {
        std::memcpy(buffers.apO[0], rows[2], sizeof(Pixel) * static_cast<size_t>(W));
    } else {
        std::memset(buffers.apO[0], 0, sizeof(Pixel) * static_cast<size_t>(W));
    }
}

namespace {

// A band starts its run this many rows above its first row: the rows it
// writes then see the marks and the greyed neighbours of the one-band run
// (a row's smoothing reads rows two away, greyed with the marks of rows one
// further, and a band's first replayed row lacks the marks of the row before).
constexpr uint32_t kHighlightLeadIn = 4;
// Rows a call reads above the row it is called for, and below the band's last
// row its run goes on to write that row back.
constexpr uint32_t kHighlightWindow = 4;

// Zeroed rotating buffers of one band.
class HighlightBandBuffers {
public:
    explicit HighlightBandBuffers(int32_t W)
        : m_Pixels(3 * static_cast<size_t>(W)), m_Flags(8 * static_cast<size_t>(W))
    {
        for (int i = 0; i < 3; ++i)
            buffers.apO[i] = m_Pixels.data() + static_cast<size_t>(i) * static_cast<size_t>(W);
        for (int i = 0; i < 3; ++i)
            buffers.apF[i] = m_Flags.data() + static_cast<size_t>(i) * static_cast<size_t>(W);
        for (int i = 0; i < 5; ++i)
            buffers.apG[i] = m_Flags.data() + static_cast<size_t>(3 + i) * static_cast<size_t>(W);
    }
    HighlightRowBuffers buffers;

private:
    std::vector<Pixel> m_Pixels;
    std::vector<uint8_t> m_Flags;
};

} // namespace

void NeutralizeHighlightImage(FPixmap* image, bool full, const FIntTriple& Lo, const FIntTriple& U,
                              const FIntTriple& N, uint32_t bandCount)
{
    const int32_t W = image->m_iColumns, H = image->GetRows();
    if (W <= 0 || H <= 0)
        return;
    const RowBandHalos halos(*image, kHighlightLeadIn + kHighlightWindow, kHighlightWindow, bandCount);
    RunInRowBands(static_cast<uint32_t>(H), [&](uint32_t firstRow, uint32_t lastRow) {
        HighlightBandBuffers band(W);
        const auto rowOf = [&](int32_t y) {
            return y >= 0 ? reinterpret_cast<Pixel*>(halos.Row(y, firstRow, lastRow)) : nullptr;
        };
        const int32_t first = std::max<int32_t>(0, int32_t(firstRow) - int32_t(kHighlightLeadIn));
        const int32_t last = std::min<int32_t>(H - 1, int32_t(lastRow) + int32_t(kHighlightWindow));
        for (int32_t y = first; y <= last; ++y) {
            Pixel* rows[5];
            for (int i = 0; i < 5; ++i)
                rows[i] = rowOf(y - i);
            NeutralizeHighlightRow(rows, band.buffers, full, W, Lo, U, N);
        }
    }, bandCount);
}
