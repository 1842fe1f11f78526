#include "engine/noise/SpotRemoval.h"

#include "foundation/FException.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using Pixel = FPixelClass48SRGB;

int32_t Luma(const Pixel& p) { return int32_t(p.r) + 2 * int32_t(p.g) + p.b; }

int32_t Get(const Pixel& p, int k) { return k == 0 ? p.r : (k == 1 ? p.g : p.b); }

// The first candidate whose luma equals the extreme; the last one when none
// does (a floor of the extreme that no neighbour reaches).
const Pixel& NeighbourWithLuma(int32_t luma, const Pixel* const (&candidates)[4], const int32_t (&lumas)[4])
{
    for (int i = 0; i < 3; ++i)
        if (lumas[i] == luma)
            return *candidates[i];
    return *candidates[3];
}

// Brings each component of the source that lies beyond the centre's (above
// for a bright speckle, below for a dark one) three quarters of the way back,
// moving the other two so that the source's luma is kept.
Pixel Limit(const Pixel& centre, const Pixel& source, bool bright)
{
    int32_t n[3] = {source.r, source.g, source.b};
    const int32_t c[3] = {centre.r, centre.g, centre.b};
    for (int k = 0; k < 3; ++k) {
        if (bright ? n[k] <= c[k] : n[k] >= c[k])
            continue;
        const int32_t q = k == 1 ? (2 * c[k] - 2 * n[k]) >> 2 : (c[k] - n[k]) >> 2;
        for (int j = 0; j < 3; ++j)
            n[j] -= q;
        n[k] = c[k] - q;
    }
    return Pixel{static_cast<int16_t>(n[0]), static_cast<int16_t>(n[1]), static_cast<int16_t>(n[2])};
}

struct Neighbourhood {
    const Pixel* straight[4]; // left, right, above, below
    const Pixel* diagonal[4]; // upper left, upper right, lower left, lower right
};

bool ReplaceByLuma(const Pixel& centre, const Neighbourhood& n, Pixel& result)
{
    const int32_t yc = Luma(centre);
    const int32_t ys[4] = {Luma(*n.straight[0]), Luma(*n.straight[1]), Luma(*n.straight[2]), Luma(*n.straight[3])};
    const int32_t yd[4] = {Luma(*n.diagonal[0]), Luma(*n.diagonal[1]), Luma(*n.diagonal[2]), Luma(*n.diagonal[3])};
    const auto [yl, yr, ya, yb] = ys;
    if (yl < yc && yc > yr) {
        const int32_t E = std::max({ya, yb, yl, yr, 5});
        const int32_t peak = (yc >> 1) + 10;
        const bool strong = yc > E && (centre.r > peak || centre.g > peak || centre.b > peak);
        if (!strong && !(yc > 2 * E))
            return false;
        const int32_t D = std::max({yd[0], yd[1], yd[2], yd[3], 5});
        if (!((strong && yc > D) || yc > 2 * D))
            return false;
        const Pixel& source = D <= E ? NeighbourWithLuma(E, n.straight, ys) : NeighbourWithLuma(D, n.diagonal, yd);
        result = Limit(centre, source, true);
        return true;
    }
    if (yc < yl && yc < yr) {
        if (!(yc < std::min(ya, yb)))
            return false;
        const int32_t E = std::min({ya, yb, yl, yr});
        const int32_t D = std::min({yd[0], yd[1], yd[2], yd[3]});
        if (!(yc < D))
            return false;
        const Pixel& source = D >= E ? NeighbourWithLuma(E, n.straight, ys) : NeighbourWithLuma(D, n.diagonal, yd);
        result = Limit(centre, source, false);
        return true;
    }
    return false;
}

// A strict peak (pit) of its eight neighbours becomes their maximum (minimum).
int32_t ClampChannel(int32_t c, int32_t l, int32_t r, const int32_t (&vertical)[2], const int32_t (&diagonals)[4])
{
    if (l < c && r < c) {
        int32_t a = std::max(vertical[0], vertical[1]);
        if (a < c)
            a = std::max({a, diagonals[0], diagonals[1], diagonals[2], diagonals[3]});
        if (a < c)
            return std::max({a, l, r});
    } else if (c < l && c < r) {
        int32_t a = std::min(vertical[0], vertical[1]);
        if (a > c)
            a = std::min({a, diagonals[0], diagonals[1], diagonals[2], diagonals[3]});
        if (a > c)
            return std::min({a, l, r});
    }
    return c;
}

void CheckImage(const FPixmap* image)
{
    if (image == nullptr)
        throw FExceptionPixelProc2("Despeckle: input image ptr is NULL");
    if (image->m_iColumns < 3 || image->GetRows() < 3)
        throw FExceptionPixelProc2("Despeckle: input image too small");
    if (image->GetPixelType() != FPixmap::PIXEL_48S_RGB)
        throw FExceptionPixelProc2("Despeckle: input image is not 48-bit signed RGB");
}

// Rows firstRow .. lastRow of the band, each judged against the unchanged row
// above (kept in a buffer before the row is rewritten) and the row below
// (not yet rewritten, or outside the band).
template <class RowKernel>
void DespeckleRows(FPixmap* image, uint32_t firstRow, uint32_t lastRow, const RowBandEdges* edges, RowKernel kernel)
{
    CheckImage(image);
    auto& pixels = static_cast<FPixmapTemplate<Pixel>&>(*image);
    const int32_t W = image->m_iColumns;
    const int32_t first = static_cast<int32_t>(std::max<uint32_t>(firstRow, 1));
    const int32_t last = static_cast<int32_t>(std::min<uint32_t>(lastRow, static_cast<uint32_t>(image->GetRows() - 2)));
    auto unchanged = [&](int32_t y) {
        return edges ? reinterpret_cast<const Pixel*>(edges->Row(y, firstRow, lastRow)) : pixels.GetRow(y);
    };
    std::vector<Pixel> above(static_cast<size_t>(W));
    std::vector<Pixel> current(static_cast<size_t>(W));
    if (first <= last)
        std::memcpy(above.data(), unchanged(first - 1), sizeof(Pixel) * W);
    for (int32_t y = first; y <= last; ++y) {
        Pixel* row = pixels.GetRow(y);
        std::memcpy(current.data(), row, sizeof(Pixel) * W);
        kernel(above.data(), row, unchanged(y + 1), W);
        above.swap(current);
    }
}

} // namespace

void DespeckleRowLuma(const FPixelClass48SRGB* above, FPixelClass48SRGB* row, const FPixelClass48SRGB* below,
                      int32_t W)
{
    if (W < 3)
        return;
    Pixel left = row[0];
    Pixel centre = row[1];
    for (int32_t x = 1; x <= W - 2; ++x) {
        const Pixel right = row[x + 1];
        const Neighbourhood n{{&left, &right, &above[x], &below[x]},
                              {&above[x - 1], &above[x + 1], &below[x - 1], &below[x + 1]}};
        Pixel replaced;
        if (ReplaceByLuma(centre, n, replaced))
            row[x] = replaced;
        left = centre;
        centre = right;
    }
}

void DespeckleRowChannels(const FPixelClass48SRGB* above, FPixelClass48SRGB* row, const FPixelClass48SRGB* below,
                          int32_t W)
{
    if (W < 3)
        return;
    for (int k = 0; k < 3; ++k) {
        int32_t left = Get(row[0], k);
        int32_t centre = Get(row[1], k);
        for (int32_t x = 1; x <= W - 2; ++x) {
            const int32_t right = Get(row[x + 1], k);
            const int32_t vertical[2] = {Get(above[x], k), Get(below[x], k)};
            const int32_t diagonals[4] = {Get(above[x - 1], k), Get(above[x + 1], k), Get(below[x - 1], k),
                                          Get(below[x + 1], k)};
            const int32_t value = ClampChannel(centre, left, right, vertical, diagonals);
            (k == 0 ? row[x].r : (k == 1 ? row[x].g : row[x].b)) = static_cast<int16_t>(value);
            left = centre;
            centre = right;
        }
    }
}

void Despeckle(FPixmap* image, uint32_t firstRow, uint32_t lastRow, const RowBandEdges* edges)
{
    DespeckleRows(image, firstRow, lastRow, edges, DespeckleRowLuma);
}

void DespeckleChannels(FPixmap* image, uint32_t firstRow, uint32_t lastRow, const RowBandEdges* edges)
{
    DespeckleRows(image, firstRow, lastRow, edges, DespeckleRowChannels);
}

int DespeckleBand(RowBandJob* job)
{
    Despeckle(static_cast<FPixmap*>(job->pContextA), job->iFirstRow, job->iLastRow,
              static_cast<const RowBandEdges*>(job->pContextB));
    return 0;
}

int DespeckleChannelsBand(RowBandJob* job)
{
    DespeckleChannels(static_cast<FPixmap*>(job->pContextA), job->iFirstRow, job->iLastRow,
                      static_cast<const RowBandEdges*>(job->pContextB));
    return 0;
}

void DespeckleImage(FPixmap* image, bool byChannels, uint32_t bandCount)
{
    CheckImage(image);
    RowBandEdges edges(*image, 1, bandCount);
    RunRowBands(byChannels ? DespeckleChannelsBand : DespeckleBand, image, &edges,
                static_cast<uint32_t>(image->GetRows()), nullptr, ImposedRowBandCount(bandCount));
}
