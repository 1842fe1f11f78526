#include "engine/chroma/SharpenRed.h"

#include "engine/core/RowBandHalos.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// [1 4 6 4 1] / 16 with the edge pixel repeated.
void BinomialRed(const FPixelClass48SRGB* p, int32_t* h, int32_t W)
{
    auto at = [&](int32_t x) { return int32_t(p[std::clamp(x, 0, W - 1)].r); };
    for (int32_t i = 0; i < W; ++i)
        h[i] = (at(i - 2) + 4 * at(i - 1) + 6 * at(i) + 4 * at(i + 1) + at(i + 2) + 8) >> 4;
}

int32_t Vertical(int32_t* const (&s)[5], int32_t x)
{
    return (s[0][x] + 4 * s[1][x] + 6 * s[2][x] + 4 * s[3][x] + s[4][x] + 8) >> 4;
}

} // namespace

void SharpenRedRow(const FPixelClass48SRGB* in, FPixelClass48SRGB* out, int32_t a, RedSharpenWindow& window,
                   int32_t W, int32_t leftWeight, int32_t rightWeight)
{
    BinomialRed(in, window.apRows[4], W);
    if (out != nullptr && W > 4) {
        if (leftWeight == 0 && rightWeight == 0)
            leftWeight = 2048;
        const int64_t k = a > 0 ? (2 * int64_t(a)) / 3 : 0;
        const int64_t centreWeight = 16384 - int64_t(leftWeight) - rightWeight;
        // The blur of the previous, current and next column; the first two
        // start from the middle slot as it stands.
        int64_t left = window.apRows[2][0];
        int64_t centre = window.apRows[2][1];
        for (int32_t i = 1; i <= W - 2; ++i) {
            const int64_t right = Vertical(window.apRows, i + 1);
            const int64_t z = (centreWeight * centre + rightWeight * right + leftWeight * left) >> 14;
            const int64_t R = out[i].r;
            const int64_t sharpened = std::min<int64_t>(R - (((z - R) * k) >> 9), 32000);
            out[i].r = static_cast<int16_t>(std::max<int64_t>(sharpened, INT16_MIN));
            left = centre;
            centre = right;
        }
    }
    std::rotate(window.apRows, window.apRows + 1, window.apRows + 5);
}

void SharpenRedImage(FPixmap* image, int32_t a, int32_t leftWeight, int32_t rightWeight, uint32_t bandCount)
{
    using Pixel = FPixelClass48SRGB;
    const int32_t W = image->m_iColumns, H = image->GetRows();
    if (W <= 0 || H <= 0)
        return;
    // The window holds rows y-2 .. y+2 of the row it sharpens.
    constexpr int32_t kReach = 2;
    // A band starts two rows above its first, or at the image's top when
    // that is at most two rows further up.
    const RowBandHalos halos(*image, 2 * kReach, kReach, bandCount);
    RunInRowBands(static_cast<uint32_t>(H), [&](uint32_t firstRow, uint32_t lastRow) {
        std::vector<int32_t> slots(5 * static_cast<size_t>(W), 0);
        RedSharpenWindow window;
        for (int i = 0; i < 5; ++i)
            window.apRows[i] = slots.data() + static_cast<size_t>(i) * static_cast<size_t>(W);
        const auto rowOf = [&](int32_t y) { return reinterpret_cast<Pixel*>(halos.Row(y, firstRow, lastRow)); };
        const int32_t band = int32_t(firstRow);
        // A band near the top starts where the one-band run does, for its
        // copy of the first row into the oldest slots.
        const int32_t start = band - kReach > kReach ? band - kReach : 0;
        for (int32_t y = start; y <= int32_t(lastRow) + kReach; ++y) {
            if (y == kReach) {
                std::memcpy(window.apRows[0], window.apRows[2], sizeof(int32_t) * static_cast<size_t>(W));
                std::memcpy(window.apRows[1], window.apRows[2], sizeof(int32_t) * static_cast<size_t>(W));
            }
            Pixel* out = y - kReach >= band ? rowOf(y - kReach) : nullptr;
            SharpenRedRow(rowOf(std::min(y, H - 1)), out, a, window, W, leftWeight, rightWeight);
        }
    }, bandCount);
}
