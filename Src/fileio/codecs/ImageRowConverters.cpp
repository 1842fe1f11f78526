#include "fileio/codecs/ImageRowConverters.h"

#include <cstddef>
#include <cstring>

#include "foundation/FException.h"
#include "foundation/FPixmap.h"
#include "foundation/FUnaligned.h"
#include "foundation/PixelConversion.h"

namespace {

// One loop per converter: each rule maps one source pixel to one destination pixel.
template <size_t SourceBytes, size_t DestinationBytes, class Rule>
inline void ForEachPixel(int32_t count, const void* source, void* destination, Rule rule)
{
    const uint8_t* from = static_cast<const uint8_t*>(source);
    uint8_t* to = static_cast<uint8_t*>(destination);
    for (int32_t i = 0; i < count; ++i)
        rule(from + static_cast<size_t>(i) * SourceBytes, to + static_cast<size_t>(i) * DestinationBytes);
}

// Bytes a, b, c, d in memory order as one little-endian word.
inline uint32_t Bytes4(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    return (a & 0xFF) | (b & 0xFF) << 8 | (c & 0xFF) << 16 | (d & 0xFF) << 24;
}

}  // namespace

void ConvertRow16MonoTo8Mono(int32_t count, const void* source, void* destination)
{
    ForEachPixel<2, 1>(count, source, destination, [](const uint8_t* s, uint8_t* d) { d[0] = s[1]; });
}

void ConvertRow16MonoTo12Mono(int32_t count, const void* source, void* destination)
{
    ForEachPixel<2, 2>(count, source, destination, [](const uint8_t* s, uint8_t* d) { Store16(d, Load16(s) >> 4); });
}

void ConvertRow16MonoTo16Mono(int32_t count, const void* source, void* destination)
{
    if (count > 0)
        std::memmove(destination, source, static_cast<size_t>(count) * 2);
}

void ConvertRow16MonoTo32Mono(int32_t count, const void* source, void* destination)
{
    ForEachPixel<2, 4>(count, source, destination, [](const uint8_t* s, uint8_t* d) { Store32(d, Load16(s) >> 4); });
}

void ConvertRow24RGBTo32ABGR(int32_t count, const void* source, void* destination)
{
    ForEachPixel<3, 4>(count, source, destination,
                       [](const uint8_t* s, uint8_t* d) { Store32(d, Bytes4(255, s[2], s[1], s[0])); });
}

void ConvertRow24RGBTo32RGBA(int32_t count, const void* source, void* destination)
{
    ForEachPixel<3, 4>(count, source, destination,
                       [](const uint8_t* s, uint8_t* d) { Store32(d, Bytes4(s[0], s[1], s[2], 255)); });
}

void ConvertRow30RGBLTo32ABGR(int32_t count, const void* source, void* destination)
{
    ForEachPixel<4, 4>(count, source, destination,
                       [](const uint8_t* s, uint8_t* d) { Store32(d, Bytes4(255, s[2], s[1], s[0])); });
}

void ConvertRow30RGBLTo32RGBA(int32_t count, const void* source, void* destination)
{
    ForEachPixel<4, 4>(count, source, destination,
                       [](const uint8_t* s, uint8_t* d) { Store32(d, Bytes4(s[0], s[1], s[2], 255)); });
}

void ConvertRow48RGBTo32ABGR(int32_t count, const void* source, void* destination)
{
    ForEachPixel<6, 4>(count, source, destination, [](const uint8_t* s, uint8_t* d) {
        Store32(d, Bytes4(255, Load16(s + 4) >> 8, Load16(s + 2) >> 8, Load16(s) >> 8));
    });
}

void ConvertRow48RGBTo32RGBA(int32_t count, const void* source, void* destination)
{
    ForEachPixel<6, 4>(count, source, destination, [](const uint8_t* s, uint8_t* d) {
        Store32(d, Bytes4(Load16(s) >> 8, Load16(s + 2) >> 8, Load16(s + 4) >> 8, 255));
    });
}

void ConvertRow8MonoTo16Mono(int32_t count, const void* source, void* destination)
{
    ForEachPixel<1, 2>(count, source, destination, [](const uint8_t* s, uint8_t* d) { Store16(d, uint32_t{s[0]} << 8); });
}

void ConvertRow12MonoTo16Mono(int32_t count, const void* source, void* destination)
{
    ForEachPixel<2, 2>(count, source, destination, [](const uint8_t* s, uint8_t* d) { Store16(d, Load16(s) << 4); });
}

void ConvertRow32MonoTo16Mono(int32_t count, const void* source, void* destination)
{
    ForEachPixel<4, 2>(count, source, destination, [](const uint8_t* s, uint8_t* d) { Store16(d, Load16(s) << 4); });
}

namespace {

// Indexed by destination type 6-17; null where the readers refuse.
struct ReaderColumn {
    FRowConverter to[12];
};

constexpr ReaderColumn kFrom24RGB{{ConvertRow24RGBTo24BGR, ConvertRow24RGBTo24RGB, ConvertRow24RGBTo30RGBL, nullptr,
                                   ConvertRow24RGBTo30RGB, ConvertRow24RGBTo32ARGB, ConvertRow24RGBTo32ABGR,
                                   ConvertRow24RGBTo32BGRA, ConvertRow24RGBTo32RGBA, ConvertRow24RGBTo48RGB,
                                   ConvertRow24RGBTo48RGB, ConvertRow24RGBTo48BGR}};
constexpr ReaderColumn kFrom30RGBL{{ConvertRow30RGBLTo24BGR, ConvertRow30RGBLTo24RGB, ConvertRow30RGBLTo30RGBL,
                                    nullptr, ConvertRow30RGBLTo30RGB, ConvertRow30RGBLTo32ARGB,
                                    ConvertRow30RGBLTo32ABGR, ConvertRow30RGBLTo32BGRA, ConvertRow30RGBLTo32RGBA,
                                    ConvertRow30RGBLTo48RGB, ConvertRow30RGBLTo48RGB, ConvertRow30RGBLTo48BGR}};
constexpr ReaderColumn kFrom48RGB{{ConvertRow48RGBTo24BGR, ConvertRow48RGBTo24RGB, ConvertRow48RGBTo30RGBL, nullptr,
                                   ConvertRow48RGBTo30RGB, ConvertRow48RGBTo32ARGB, ConvertRow48RGBTo32ABGR,
                                   ConvertRow48RGBTo32BGRA, ConvertRow48RGBTo32RGBA, ConvertRow48RGBTo48RGB,
                                   ConvertRow48RGBTo48RGB, ConvertRow48RGBTo48BGR}};

FRowConverter GreyReaderConverter(int32_t destinationType)
{
    switch (destinationType) {
    case FPixmap::PIXEL_8_MONO:
        return ConvertRow16MonoTo8Mono;
    case FPixmap::PIXEL_12_MONO:
        return ConvertRow16MonoTo12Mono;
    case FPixmap::PIXEL_16_MONO:
    case FPixmap::PIXEL_16S_MONO:
        return ConvertRow16MonoTo16Mono;
    case FPixmap::PIXEL_32_MONO:
        return ConvertRow16MonoTo32Mono;
    default:
        throw FExceptionUnknownPixelType("Unknown dest pixel type");
    }
}

FRowConverter ColorReaderConverter(const ReaderColumn& column, int32_t destinationType)
{
    if (destinationType == FPixmap::PIXEL_30_BGRL)
        throw FExceptionUnknownPixelType("NOT IMPLEMENTED");
    if (destinationType < FPixmap::PIXEL_24_BGR || destinationType > FPixmap::PIXEL_48_BGR)
        throw FExceptionUnknownPixelType("Unknown dest pixel type");
    return column.to[destinationType - FPixmap::PIXEL_24_BGR];
}

// Indexed by source type 6-17.
constexpr FRowConverter kTo24RGB[12] = {
    ConvertRow24BGRTo24RGB,  ConvertRow24RGBTo24RGB,  ConvertRow30RGBLTo24RGB, ConvertRow30BGRLTo24RGB,
    ConvertRow30RGBTo24RGB,  ConvertRow32ARGBTo24RGB, ConvertRow32ABGRTo24RGB, ConvertRow32BGRATo24RGB,
    ConvertRow32RGBATo24RGB, ConvertRow48RGBTo24RGB,  ConvertRow48SRGBTo24RGB, ConvertRow48BGRTo24RGB};
constexpr FRowConverter kTo30RGBL[12] = {
    ConvertRow24BGRTo30RGBL,  ConvertRow24RGBTo30RGBL,  ConvertRow30RGBLTo30RGBL, ConvertRow30BGRLTo30RGBL,
    ConvertRow30RGBTo30RGBL,  ConvertRow32ARGBTo30RGBL, ConvertRow32ABGRTo30RGBL, ConvertRow32BGRATo30RGBL,
    ConvertRow32RGBATo30RGBL, ConvertRow48RGBTo30RGBL,  ConvertRow48SRGBTo30RGBL, ConvertRow48BGRTo30RGBL};
constexpr FRowConverter kTo48RGB[12] = {
    ConvertRow24BGRTo48RGB,  ConvertRow24RGBTo48RGB,  ConvertRow30RGBLTo48RGB, ConvertRow30BGRLTo48RGB,
    ConvertRow30RGBTo48RGB,  ConvertRow32ARGBTo48RGB, ConvertRow32ABGRTo48RGB, ConvertRow32BGRATo48RGB,
    ConvertRow32RGBATo48RGB, ConvertRow48RGBTo48RGB,  ConvertRow48SRGBTo48RGB, ConvertRow48BGRTo48RGB};

}  // namespace

FRowConverter ReaderRowConverter(int32_t fileType, int32_t destinationType)
{
    FRowConverter converter = nullptr;
    switch (fileType) {
    case FPixmap::PIXEL_16_MONO:
        return GreyReaderConverter(destinationType);
    case FPixmap::PIXEL_24_RGB:
        converter = ColorReaderConverter(kFrom24RGB, destinationType);
        break;
    case FPixmap::PIXEL_30_RGBL:
        converter = ColorReaderConverter(kFrom30RGBL, destinationType);
        break;
    case FPixmap::PIXEL_48_RGB:
        converter = ColorReaderConverter(kFrom48RGB, destinationType);
        break;
    default:
        return nullptr;
    }
    if (converter == nullptr)
        throw FExceptionUnknownPixelType("Unknown dest pixel type");
    return converter;
}

FRowConverter ColorRowConverter(int32_t sourceType, int32_t destinationType)
{
    if (sourceType < FPixmap::PIXEL_24_BGR || sourceType > FPixmap::PIXEL_48_BGR)
        return nullptr;
    const int index = sourceType - FPixmap::PIXEL_24_BGR;
    switch (destinationType) {
    case FPixmap::PIXEL_24_RGB:
        return kTo24RGB[index];
    case FPixmap::PIXEL_30_RGBL:
        return kTo30RGBL[index];
    case FPixmap::PIXEL_48_RGB:
        return kTo48RGB[index];
    default:
        return nullptr;
    }
}
