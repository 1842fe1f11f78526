#include "support/TestPixmap.h"

#include <random>
#include <stdexcept>

namespace testsupport {

std::unique_ptr<FPixmap> NewPixmapHeader(int32_t pixelType, void* data, int32_t columns, int32_t rows,
                                         int32_t rowBytes)
{
    switch (pixelType) {
#define PIXMAP_CASE(Type, Class)                                                                   \
    case FPixmap::Type:                                                                            \
        return std::make_unique<FPixmapTemplate<Class>>(data, columns, rows, rowBytes);
        PIXMAP_CASE(PIXEL_8_MONO, FPixelClass8Mono)
        PIXMAP_CASE(PIXEL_12_MONO, FPixelClass12Mono)
        PIXMAP_CASE(PIXEL_16_MONO, FPixelClass16Mono)
        PIXMAP_CASE(PIXEL_16S_MONO, FPixelClass16SMono)
        PIXMAP_CASE(PIXEL_32_MONO, FPixelClass32Mono)
        PIXMAP_CASE(PIXEL_24_BGR, FPixelClass24BGR)
        PIXMAP_CASE(PIXEL_24_RGB, FPixelClass24RGB)
        PIXMAP_CASE(PIXEL_30_RGBL, FPixelClass30RGBL)
        PIXMAP_CASE(PIXEL_30_BGRL, FPixelClass30BGRL)
        PIXMAP_CASE(PIXEL_30_RGB, FPixelClass30RGB)
        PIXMAP_CASE(PIXEL_32_ARGB, FPixelClass32ARGB)
        PIXMAP_CASE(PIXEL_32_ABGR, FPixelClass32ABGR)
        PIXMAP_CASE(PIXEL_32_BGRA, FPixelClass32BGRA)
        PIXMAP_CASE(PIXEL_32_RGBA, FPixelClass32RGBA)
        PIXMAP_CASE(PIXEL_48_RGB, FPixelClass48RGB)
        PIXMAP_CASE(PIXEL_48S_RGB, FPixelClass48SRGB)
        PIXMAP_CASE(PIXEL_48_BGR, FPixelClass48BGR)
#undef PIXMAP_CASE
    default:
        throw std::invalid_argument("no pixmap class for this type");
    }
}

TestPixmap<> MakePixmap(int32_t pixelType, int32_t columns, int32_t rows, uint32_t seed, int32_t rowBytes)
{
    TestPixmap<> result;
    const int32_t pitch = rowBytes != 0 ? rowBytes : columns * FPixelTypeBytes(pixelType);
    result.bytes.resize(static_cast<size_t>(pitch) * static_cast<size_t>(rows));
    std::mt19937 random(seed);
    for (uint8_t& byte : result.bytes)
        byte = static_cast<uint8_t>(random());
    if (pixelType == FPixmap::PIXEL_12_MONO)
        for (size_t i = 1; i < result.bytes.size(); i += 2)
            result.bytes[i] &= 0x0F;
    result.pixmap = NewPixmapHeader(pixelType, result.bytes.data(), columns, rows, pitch);
    return result;
}

} // namespace testsupport
