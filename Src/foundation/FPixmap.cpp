#include "foundation/FPixmap.h"

#include <algorithm>
#include <limits>
#include <new>

#include "foundation/FException.h"
#include "foundation/FValueTypes.h"

static_assert(sizeof(FPixelClass8Mono) == 1 && sizeof(FPixelClass12Mono) == 2 && sizeof(FPixelClass16Mono) == 2 &&
              sizeof(FPixelClass16SMono) == 2 && sizeof(FPixelClass32Mono) == 4);
static_assert(sizeof(FPixelClass24BGR) == 3 && sizeof(FPixelClass24RGB) == 3);
static_assert(sizeof(FPixelClass30RGBL) == 4 && sizeof(FPixelClass30BGRL) == 4 && sizeof(FPixelClass30RGB) == 4);
static_assert(sizeof(FPixelClass32ARGB) == 4 && sizeof(FPixelClass32ABGR) == 4 && sizeof(FPixelClass32BGRA) == 4 &&
              sizeof(FPixelClass32RGBA) == 4);
static_assert(sizeof(FPixelClass48RGB) == 6 && sizeof(FPixelClass48SRGB) == 6 && sizeof(FPixelClass48BGR) == 6);
static_assert(sizeof(FPixelClassFlt32RGB) == 12 && sizeof(FPixelClassFlt32Mono) == 4);

// Cache blocks carry a header per pixmap of whatever type; one size must fit all.
static_assert(sizeof(FPixmapTemplate<FPixelClass8Mono>) == sizeof(FPixmap) &&
              sizeof(FPixmapTemplate<FPixelClass48SRGB>) == sizeof(FPixmap) &&
              sizeof(FPixmap_Display) == sizeof(FPixmap));

FPixelClass30RGBL::operator FIntTriple() const
{
    return FIntTriple(static_cast<int>((word & 0xFF) << 3 | word >> 29),
                      static_cast<int>(((word >> 8) & 0xFF) << 3 | ((word >> 26) & 7)),
                      static_cast<int>(((word >> 16) & 0xFF) << 3 | ((word >> 24) & 3) << 1));
}

FPixelClass30RGBL& FPixelClass30RGBL::operator=(const FIntTriple& rgb)
{
    const uint32_t r = static_cast<uint32_t>(rgb.r) & 2047;
    const uint32_t g = static_cast<uint32_t>(rgb.g) & 2047;
    const uint32_t b = static_cast<uint32_t>(rgb.b) & 2047;
    word = (r >> 3) | (g >> 3) << 8 | (b >> 3) << 16 | ((b >> 1) & 3) << 24 | (g & 7) << 26 | (r & 7) << 29;
    return *this;
}

FPixelClass48SRGB::operator FIntTriple() const { return FIntTriple(r, g, b); }

FPixelClass48SRGB& FPixelClass48SRGB::operator=(const FIntTriple& rgb)
{
    r = static_cast<int16_t>(rgb.r);
    g = static_cast<int16_t>(rgb.g);
    b = static_cast<int16_t>(rgb.b);
    return *this;
}

int32_t FPixelTypeBytes(int32_t pixelType)
{
    switch (pixelType) {
    case FPixmap::PIXEL_8_MONO:
        return 1;
    case FPixmap::PIXEL_12_MONO:
    case FPixmap::PIXEL_16_MONO:
    case FPixmap::PIXEL_16S_MONO:
        return 2;
    case FPixmap::PIXEL_24_BGR:
    case FPixmap::PIXEL_24_RGB:
        return 3;
    case FPixmap::PIXEL_32_MONO:
    case FPixmap::PIXEL_30_RGBL:
    case FPixmap::PIXEL_30_BGRL:
    case FPixmap::PIXEL_30_RGB:
    case FPixmap::PIXEL_32_ARGB:
    case FPixmap::PIXEL_32_ABGR:
    case FPixmap::PIXEL_32_BGRA:
    case FPixmap::PIXEL_32_RGBA:
    case FPixmap::PIXEL_FLT32_MONO:
        return 4;
    case FPixmap::PIXEL_48_RGB:
    case FPixmap::PIXEL_48S_RGB:
    case FPixmap::PIXEL_48_BGR:
        return 6;
    case FPixmap::PIXEL_FLT32_RGB:
        return 12;
    default:
        return 0;
    }
}

int32_t FPixmapDefaultRowBytes(int32_t columns, int32_t bytesPerPixel)
{
    const int64_t rowBytes = static_cast<int64_t>(columns) * bytesPerPixel;
    if (columns < 0 || rowBytes > std::numeric_limits<int32_t>::max())
        throw FExceptionPixmap("FPixmap: the row is too long.");
    return static_cast<int32_t>(rowBytes);
}

void GetFPixmapSizes(int32_t pixelType, int32_t columns, int32_t /*rows*/, int32_t& headerSize, int32_t& rowBytes)
{
    const int32_t bytesPerPixel = pixelType <= FPixmap::PIXEL_48_BGR ? FPixelTypeBytes(pixelType) : 0;
    if (bytesPerPixel == 0)
        throw FException("GetFPixmapSizes: unknown pixmap type.");
    const int64_t rounded = (static_cast<int64_t>(columns) * bytesPerPixel + 3) / 4 * 4;
    if (columns < 0 || rounded > std::numeric_limits<int32_t>::max())
        throw FException("GetFPixmapSizes: the row is too long.");
    headerSize = static_cast<int32_t>(sizeof(FPixmap_Display));
    rowBytes = static_cast<int32_t>(rounded);
}

namespace {

template <class PixelClass>
FPixmap* BuildHeader(void* memory, int32_t columns, int32_t rows, int32_t rowBytes, void* data)
{
    return new (memory) FPixmapTemplate<PixelClass>(data, columns, rows, rowBytes);
}

}  // namespace

FPixmap* MapFPixmapHeader(void* memory, int32_t pixelType, int32_t columns, int32_t rows, int32_t rowBytes,
                          void* data)
{
    // Checked before anything is built, so a bad call leaves the memory untouched.
    if (pixelType < FPixmap::PIXEL_8_MONO || pixelType > FPixmap::PIXEL_48_BGR)
        throw FException("MapFPixmapHeader: unknown pixmap type.");
    if (memory == nullptr || reinterpret_cast<uintptr_t>(memory) % alignof(FPixmap_Display) != 0)
        throw FException("MapFPixmapHeader: the header memory is missing or misaligned.");
    if (rowBytes == 0)
        rowBytes = FPixmapDefaultRowBytes(columns, FPixelTypeBytes(pixelType));

    switch (pixelType) {
    case FPixmap::PIXEL_8_MONO:
        return BuildHeader<FPixelClass8Mono>(memory, columns, rows, rowBytes, data);
    case FPixmap::PIXEL_12_MONO:
        return BuildHeader<FPixelClass12Mono>(memory, columns, rows, rowBytes, data);
    case FPixmap::PIXEL_16_MONO:
        return BuildHeader<FPixelClass16Mono>(memory, columns, rows, rowBytes, data);
    case FPixmap::PIXEL_16S_MONO:
        return BuildHeader<FPixelClass16SMono>(memory, columns, rows, rowBytes, data);
    case FPixmap::PIXEL_32_MONO:
        return BuildHeader<FPixelClass32Mono>(memory, columns, rows, rowBytes, data);
    case FPixmap::PIXEL_24_BGR:
        return BuildHeader<FPixelClass24BGR>(memory, columns, rows, rowBytes, data);
    case FPixmap::PIXEL_24_RGB:
        return BuildHeader<FPixelClass24RGB>(memory, columns, rows, rowBytes, data);
    case FPixmap::PIXEL_30_RGBL:
        return BuildHeader<FPixelClass30RGBL>(memory, columns, rows, rowBytes, data);
    case FPixmap::PIXEL_30_BGRL:
        return BuildHeader<FPixelClass30BGRL>(memory, columns, rows, rowBytes, data);
    case FPixmap::PIXEL_30_RGB:
        return BuildHeader<FPixelClass30RGB>(memory, columns, rows, rowBytes, data);
    case FPixmap::PIXEL_32_ARGB:
        return BuildHeader<FPixelClass32ARGB>(memory, columns, rows, rowBytes, data);
    case FPixmap::PIXEL_32_ABGR:
        return BuildHeader<FPixelClass32ABGR>(memory, columns, rows, rowBytes, data);
    case FPixmap::PIXEL_32_BGRA:
        return new (memory) FPixmap_Display(data, columns, rows, rowBytes);
    case FPixmap::PIXEL_32_RGBA:
        return BuildHeader<FPixelClass32RGBA>(memory, columns, rows, rowBytes, data);
    case FPixmap::PIXEL_48_RGB:
        return BuildHeader<FPixelClass48RGB>(memory, columns, rows, rowBytes, data);
    case FPixmap::PIXEL_48S_RGB:
        return BuildHeader<FPixelClass48SRGB>(memory, columns, rows, rowBytes, data);
    default:  // FPixmap::PIXEL_48_BGR, the only code left
        return BuildHeader<FPixelClass48BGR>(memory, columns, rows, rowBytes, data);
    }
}

// ---------------------------------------------------------------------------

FIHistogram::FIHistogram() : m_aCounts{}, m_aiLuma{}, m_iTotal(0) {}

FIHistogram::~FIHistogram() = default;

namespace {

// The luma weights as per-value products, summed in the same order as the
// straight formula, so every bin index is bit-identical to it.
struct LumaWeights {
    double r[256], g[256], b[256];
    LumaWeights()
    {
        for (int v = 0; v < 256; ++v) {
            g[v] = 0.55 * v;
            r[v] = 0.30 * v;
            b[v] = 0.15 * v;
        }
    }
};

}  // namespace

void FIHistogram::Compute(const FPixmap* pixmap)
{
    // Only the display layout (B, G, R, A) can be counted; reading 4 bytes per
    // pixel of any narrower type would run past its rows.
    if (pixmap == nullptr || pixmap->GetPixelType() != FPixmap::PIXEL_32_BGRA)
        return;

    static const LumaWeights weights;
    m_aCounts.fill(FIHistogramCount{0, 0, 0});
    m_aiLuma.fill(0);
    const int32_t columns = std::max(pixmap->m_iColumns, 0);
    const int32_t rows = std::max(pixmap->GetRows(), 0);
    for (int32_t y = 0; y < rows; ++y) {
        const uint8_t* pixel = pixmap->GetRow(y);
        for (int32_t x = 0; x < columns; ++x, pixel += 4) {
            const uint8_t b = pixel[0], g = pixel[1], r = pixel[2];
            ++m_aCounts[r].R;
            ++m_aCounts[g].G;
            ++m_aCounts[b].B;
            const int luma = static_cast<int>(weights.g[g] + weights.r[r] + weights.b[b] + 0.5);
            ++m_aiLuma[std::min(luma, 255)];
        }
    }
    m_iTotal = static_cast<int32_t>(static_cast<int64_t>(rows) * columns);
}
