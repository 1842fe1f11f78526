#include "engine/corrections/ReplaceBadPixels.h"

#include "foundation/FAssert.h"

namespace {

struct NeighbourOffset {
    int32_t dx, dy;
};
constexpr NeighbourOffset kNeighbours[8] = {{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1}};

} // namespace

void ReplaceBadPixels(FPixmap* image, const uint32_t* entries, uint32_t count, const int32_t* offset)
{
    if (image == nullptr || entries == nullptr)
        return;
    FASSERT(image->GetPixelType() == FPixmap::PIXEL_48S_RGB);
    auto& pixels = static_cast<FPixmapTemplate<FPixelClass48SRGB>&>(*image);
    const int64_t W = image->m_iColumns;
    const int64_t H = image->GetRows();
    const int64_t dx = offset ? offset[0] : 0;
    const int64_t dy = offset ? offset[1] : 0;
    for (uint32_t n = 0; n < count; ++n) {
        const uint32_t word = entries[n];
        const int64_t row = int64_t(word >> 20) + dy;
        const int64_t column = int64_t((word >> 8) & 0xFFF) + dx;
        const uint32_t mask = word & 0xFF;
        if (mask == 0 || row < 2 || row >= H - 1 || column < 2 || column >= W - 1)
            continue;
        int32_t sum[3] = {0, 0, 0};
        int32_t used = 0;
        for (int bit = 0; bit < 8; ++bit) {
            if (!(mask & (1u << bit)))
                continue;
            const FPixelClass48SRGB& p = *pixels.GetPixel(static_cast<int32_t>(column + kNeighbours[bit].dx),
                                                          static_cast<int32_t>(row + kNeighbours[bit].dy));
            sum[0] += p.r, sum[1] += p.g, sum[2] += p.b;
            ++used;
        }
        FPixelClass48SRGB& target = *pixels.GetPixel(static_cast<int32_t>(column), static_cast<int32_t>(row));
        target = FPixelClass48SRGB{static_cast<int16_t>(sum[0] / used), static_cast<int16_t>(sum[1] / used),
                                   static_cast<int16_t>(sum[2] / used)};
    }
}
