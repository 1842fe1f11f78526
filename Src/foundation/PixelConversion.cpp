#include "foundation/PixelConversion.h"

#include <algorithm>

#include "foundation/FException.h"
#include "foundation/FPixmap.h"
#include "foundation/FUnaligned.h"
#include "foundation/FValueTypes.h"

namespace {

// Every pixel is read into the natural form of its kind of storage and written
// from the natural form of the destination's, so each rule of the conversion
// tables is one small function between three forms:
//   Bytes8  - three 8-bit channels;
//   Fields  - packed 30-bit fields: R and G 11 bits, B 10 bits;
//   Words16 - three 16-bit words (bit patterns; signed types are not widened).
// Everything is inlined into one loop per converter, with no branch per pixel.
struct Bytes8 {
    uint32_t r, g, b;
};
struct Fields {
    uint32_t r, g, b;
};
struct Words16 {
    uint32_t r, g, b;
};

inline Bytes8 To(Bytes8 p, Bytes8) { return p; }
inline Fields To(Bytes8 p, Fields) { return {p.r << 3, p.g << 3, p.b << 2}; }  // pack8
inline Words16 To(Bytes8 p, Words16) { return {p.r << 8, p.g << 8, p.b << 8}; }  // wide8
inline Bytes8 To(Fields p, Bytes8) { return {p.r >> 3, p.g >> 3, p.b >> 2}; }  // top8
inline Fields To(Fields p, Fields) { return p; }  // copy, repack
inline Words16 To(Fields p, Words16) { return {p.r << 5, p.g << 5, p.b << 6}; }  // wide30
inline Bytes8 To(Words16 p, Bytes8) { return {p.r >> 8, p.g >> 8, p.b >> 8}; }  // high8
inline Fields To(Words16 p, Fields) { return {p.r >> 5, p.g >> 5, p.b >> 6}; }  // pack16
inline Words16 To(Words16 p, Words16) { return p; }  // copy16, swap16

// Storage of each pixel type: its size, its natural form, how to read it and
// (for destinations) how to write it.
template <class PixelClass>
struct Storage;

template <>
struct Storage<FPixelClass8Mono> {
    using Form = Bytes8;
    static Form Read(const uint8_t* p) { return {p[0], p[0], p[0]}; }
};
// A 12-bit sample v behaves as the 16-bit word (v << 4) & 0xFFFF.
template <>
struct Storage<FPixelClass12Mono> {
    using Form = Words16;
    static Form Read(const uint8_t* p)
    {
        const uint32_t w = (Load16(p) << 4) & 0xFFFF;
        return {w, w, w};
    }
};
template <>
struct Storage<FPixelClass16Mono> {
    using Form = Words16;
    static Form Read(const uint8_t* p)
    {
        const uint32_t w = Load16(p);
        return {w, w, w};
    }
};
template <>
struct Storage<FPixelClass16SMono> : Storage<FPixelClass16Mono> {};
// Only the low 16 bits are read, as a 12-bit sample.
template <>
struct Storage<FPixelClass32Mono> : Storage<FPixelClass12Mono> {};

// The 8-bit colour types, by the byte offsets of R, G, B and alpha (-1: none).
template <int R, int G, int B, int A>
struct ByteStorage {
    using Form = Bytes8;
    static Form Read(const uint8_t* p) { return {p[R], p[G], p[B]}; }
    static void Write(uint8_t* p, Form v)
    {
        if constexpr (A >= 0) {
            // One word store per pixel: the colour bytes and alpha 255.
            Store32(p, (v.r & 0xFF) << (8 * R) | (v.g & 0xFF) << (8 * G) | (v.b & 0xFF) << (8 * B) |
                           uint32_t{0xFF} << (8 * A));
        } else {
            p[R] = static_cast<uint8_t>(v.r);
            p[G] = static_cast<uint8_t>(v.g);
            p[B] = static_cast<uint8_t>(v.b);
        }
    }
};
template <>
struct Storage<FPixelClass24BGR> : ByteStorage<2, 1, 0, -1> {};
template <>
struct Storage<FPixelClass24RGB> : ByteStorage<0, 1, 2, -1> {};
template <>
struct Storage<FPixelClass32ARGB> : ByteStorage<1, 2, 3, 0> {};
template <>
struct Storage<FPixelClass32ABGR> : ByteStorage<3, 2, 1, 0> {};
template <>
struct Storage<FPixelClass32BGRA> : ByteStorage<2, 1, 0, 3> {};
template <>
struct Storage<FPixelClass32RGBA> : ByteStorage<0, 1, 2, 3> {};

// 30RGBL and 30BGRL: the top bits of each field in bytes 0-2 (R first or B
// first), the low bits of all three in byte 3.
template <int RShift, int BShift>
struct LowBitsStorage {
    using Form = Fields;
    static Form Read(const uint8_t* p)
    {
        const uint32_t w = Load32(p);
        return {((w >> RShift) & 0xFF) << 3 | (w >> 29), ((w >> 8) & 0xFF) << 3 | ((w >> 26) & 7),
                ((w >> BShift) & 0xFF) << 2 | ((w >> 24) & 3)};
    }
    static void Write(uint8_t* p, Form v)
    {
        Store32(p, (v.r >> 3) << RShift | (v.g >> 3) << 8 | (v.b >> 2) << BShift | (v.b & 3) << 24 | (v.g & 7) << 26 |
                       (v.r & 7) << 29);
    }
};
template <>
struct Storage<FPixelClass30RGBL> : LowBitsStorage<0, 16> {};
template <>
struct Storage<FPixelClass30BGRL> : LowBitsStorage<16, 0> {};

template <>
struct Storage<FPixelClass30RGB> {
    using Form = Fields;
    static Form Read(const uint8_t* p)
    {
        const uint32_t w = Load32(p);
        return {w & 0x7FF, (w >> 11) & 0x7FF, w >> 22};
    }
    static void Write(uint8_t* p, Form v) { Store32(p, v.r | v.g << 11 | v.b << 22); }
};

// The 48-bit types, by the word index of R, G and B.
template <int R, int G, int B>
struct WordStorage {
    using Form = Words16;
    static Form Read(const uint8_t* p) { return {Load16(p + 2 * R), Load16(p + 2 * G), Load16(p + 2 * B)}; }
    static void Write(uint8_t* p, Form v)
    {
        Store16(p + 2 * R, v.r);
        Store16(p + 2 * G, v.g);
        Store16(p + 2 * B, v.b);
    }
};
template <>
struct Storage<FPixelClass48RGB> : WordStorage<0, 1, 2> {};
template <>
struct Storage<FPixelClass48SRGB> : WordStorage<0, 1, 2> {};
template <>
struct Storage<FPixelClass48BGR> : WordStorage<2, 1, 0> {};

template <class Source, class Destination>
inline void ConvertPixels(int32_t count, const void* source, void* destination)
{
    using SourceStorage = Storage<Source>;
    using DestinationStorage = Storage<Destination>;
    const uint8_t* from = static_cast<const uint8_t*>(source);
    uint8_t* to = static_cast<uint8_t*>(destination);
    for (int32_t i = 0; i < count; ++i) {
        const typename SourceStorage::Form pixel = SourceStorage::Read(from + static_cast<size_t>(i) * sizeof(Source));
        DestinationStorage::Write(to + static_cast<size_t>(i) * sizeof(Destination),
                                  To(pixel, typename DestinationStorage::Form{}));
    }
}

}  // namespace

#define CONVERTER(S, D)                                                                  \
    void ConvertRow##S##To##D(int32_t count, const void* source, void* destination)     \
    {                                                                                    \
        ConvertPixels<FPixelClass##S, FPixelClass##D>(count, source, destination);       \
    }

CONVERTER(24BGR, 24BGR)
CONVERTER(24BGR, 24RGB)
CONVERTER(24BGR, 30RGBL)
CONVERTER(24BGR, 30RGB)
CONVERTER(24BGR, 32ARGB)
CONVERTER(24BGR, 32BGRA)
CONVERTER(24BGR, 48RGB)
CONVERTER(24BGR, 48BGR)
CONVERTER(24RGB, 24BGR)
CONVERTER(24RGB, 24RGB)
CONVERTER(24RGB, 30RGBL)
CONVERTER(24RGB, 30RGB)
CONVERTER(24RGB, 32ARGB)
CONVERTER(24RGB, 32BGRA)
CONVERTER(24RGB, 48RGB)
CONVERTER(24RGB, 48BGR)
CONVERTER(30RGBL, 24BGR)
CONVERTER(30RGBL, 24RGB)
CONVERTER(30RGBL, 30RGBL)
CONVERTER(30RGBL, 30RGB)
CONVERTER(30RGBL, 32ARGB)
CONVERTER(30RGBL, 32BGRA)
CONVERTER(30RGBL, 48RGB)
CONVERTER(30RGBL, 48BGR)
CONVERTER(30BGRL, 24BGR)
CONVERTER(30BGRL, 24RGB)
CONVERTER(30BGRL, 30RGBL)
CONVERTER(30BGRL, 30RGB)
CONVERTER(30BGRL, 32ARGB)
CONVERTER(30BGRL, 32BGRA)
CONVERTER(30BGRL, 48RGB)
CONVERTER(30BGRL, 48BGR)
CONVERTER(30RGB, 24BGR)
CONVERTER(30RGB, 24RGB)
CONVERTER(30RGB, 30RGBL)
CONVERTER(30RGB, 30RGB)
CONVERTER(30RGB, 32ARGB)
CONVERTER(30RGB, 32BGRA)
CONVERTER(30RGB, 48RGB)
CONVERTER(30RGB, 48BGR)
CONVERTER(32ARGB, 24BGR)
CONVERTER(32ARGB, 24RGB)
CONVERTER(32ARGB, 30RGBL)
CONVERTER(32ARGB, 30RGB)
CONVERTER(32ARGB, 32ARGB)
CONVERTER(32ARGB, 32BGRA)
CONVERTER(32ARGB, 48RGB)
CONVERTER(32ARGB, 48BGR)
CONVERTER(32ABGR, 24BGR)
CONVERTER(32ABGR, 24RGB)
CONVERTER(32ABGR, 30RGBL)
CONVERTER(32ABGR, 30RGB)
CONVERTER(32ABGR, 32ARGB)
CONVERTER(32ABGR, 32BGRA)
CONVERTER(32ABGR, 48RGB)
CONVERTER(32ABGR, 48BGR)
CONVERTER(32BGRA, 24BGR)
CONVERTER(32BGRA, 24RGB)
CONVERTER(32BGRA, 30RGBL)
CONVERTER(32BGRA, 30RGB)
CONVERTER(32BGRA, 32ARGB)
CONVERTER(32BGRA, 32BGRA)
CONVERTER(32BGRA, 48RGB)
CONVERTER(32BGRA, 48BGR)
CONVERTER(32RGBA, 24BGR)
CONVERTER(32RGBA, 24RGB)
CONVERTER(32RGBA, 30RGBL)
CONVERTER(32RGBA, 30RGB)
CONVERTER(32RGBA, 32ARGB)
CONVERTER(32RGBA, 32BGRA)
CONVERTER(32RGBA, 48RGB)
CONVERTER(32RGBA, 48BGR)
CONVERTER(48RGB, 24BGR)
CONVERTER(48RGB, 24RGB)
CONVERTER(48RGB, 30RGBL)
CONVERTER(48RGB, 30RGB)
CONVERTER(48RGB, 32ARGB)
CONVERTER(48RGB, 32BGRA)
CONVERTER(48RGB, 48RGB)
CONVERTER(48RGB, 48BGR)
CONVERTER(48SRGB, 24BGR)
CONVERTER(48SRGB, 24RGB)
CONVERTER(48SRGB, 30RGBL)
CONVERTER(48SRGB, 30RGB)
CONVERTER(48SRGB, 32ARGB)
CONVERTER(48SRGB, 32BGRA)
CONVERTER(48SRGB, 48RGB)
CONVERTER(48SRGB, 48BGR)
CONVERTER(48BGR, 24BGR)
CONVERTER(48BGR, 24RGB)
CONVERTER(48BGR, 30RGBL)
CONVERTER(48BGR, 30RGB)
CONVERTER(48BGR, 32ARGB)
CONVERTER(48BGR, 32BGRA)
CONVERTER(48BGR, 48RGB)
CONVERTER(48BGR, 48BGR)
CONVERTER(8Mono, 24BGR)
CONVERTER(8Mono, 24RGB)
CONVERTER(8Mono, 30RGBL)
CONVERTER(8Mono, 30RGB)
CONVERTER(8Mono, 32ARGB)
CONVERTER(8Mono, 32BGRA)
CONVERTER(8Mono, 48RGB)
CONVERTER(8Mono, 48BGR)
CONVERTER(12Mono, 24BGR)
CONVERTER(12Mono, 24RGB)
CONVERTER(12Mono, 30RGBL)
CONVERTER(12Mono, 30RGB)
CONVERTER(12Mono, 32ARGB)
CONVERTER(12Mono, 32BGRA)
CONVERTER(12Mono, 48RGB)
CONVERTER(12Mono, 48BGR)
CONVERTER(16Mono, 24BGR)
CONVERTER(16Mono, 24RGB)
CONVERTER(16Mono, 30RGBL)
CONVERTER(16Mono, 30RGB)
CONVERTER(16Mono, 32ARGB)
CONVERTER(16Mono, 32BGRA)
CONVERTER(16Mono, 48RGB)
CONVERTER(16Mono, 48BGR)
CONVERTER(32Mono, 24BGR)
CONVERTER(32Mono, 24RGB)
CONVERTER(32Mono, 30RGBL)
CONVERTER(32Mono, 30RGB)
CONVERTER(32Mono, 32ARGB)
CONVERTER(32Mono, 32BGRA)
CONVERTER(32Mono, 48RGB)
CONVERTER(32Mono, 48BGR)
CONVERTER(16SMono, 30RGBL)
CONVERTER(16SMono, 30RGB)

#undef CONVERTER

// ---------------------------------------------------------------------------
// Dispatchers

namespace {

using RowConverter = void (*)(int32_t, const void*, void*);

constexpr int kDestinationCount = 8;

// Column of a destination type in the converter table, -1 for a type no
// converter writes.
int DestinationColumn(int32_t pixelType)
{
    switch (pixelType) {
    case FPixmap::PIXEL_24_BGR:
        return 0;
    case FPixmap::PIXEL_24_RGB:
        return 1;
    case FPixmap::PIXEL_30_RGBL:
        return 2;
    case FPixmap::PIXEL_30_RGB:
        return 3;
    case FPixmap::PIXEL_32_ARGB:
        return 4;
    case FPixmap::PIXEL_32_BGRA:
        return 5;
    case FPixmap::PIXEL_48_RGB:
        return 6;
    case FPixmap::PIXEL_48_BGR:
        return 7;
    default:
        return -1;
    }
}

#define CONVERTERS_FROM(S)                                                                                     \
    {                                                                                                          \
        ConvertRow##S##To24BGR, ConvertRow##S##To24RGB, ConvertRow##S##To30RGBL, ConvertRow##S##To30RGB,     \
            ConvertRow##S##To32ARGB, ConvertRow##S##To32BGRA, ConvertRow##S##To48RGB, ConvertRow##S##To48BGR \
    }

// Indexed by source type code, then by DestinationColumn.
const RowConverter kConverters[FPixmap::PIXEL_48_BGR + 1][kDestinationCount] = {
    {},  // no type 0
    CONVERTERS_FROM(8Mono),
    CONVERTERS_FROM(12Mono),
    CONVERTERS_FROM(16Mono),
    // 16SMono has members of its own only for the packed types; the 16-bit
    // pattern converts like 16Mono everywhere else.
    {ConvertRow16MonoTo24BGR, ConvertRow16MonoTo24RGB, ConvertRow16SMonoTo30RGBL, ConvertRow16SMonoTo30RGB,
     ConvertRow16MonoTo32ARGB, ConvertRow16MonoTo32BGRA, ConvertRow16MonoTo48RGB, ConvertRow16MonoTo48BGR},
    CONVERTERS_FROM(32Mono),
    CONVERTERS_FROM(24BGR),
    CONVERTERS_FROM(24RGB),
    CONVERTERS_FROM(30RGBL),
    CONVERTERS_FROM(30BGRL),
    CONVERTERS_FROM(30RGB),
    CONVERTERS_FROM(32ARGB),
    CONVERTERS_FROM(32ABGR),
    CONVERTERS_FROM(32BGRA),
    CONVERTERS_FROM(32RGBA),
    CONVERTERS_FROM(48RGB),
    CONVERTERS_FROM(48SRGB),
    CONVERTERS_FROM(48BGR),
};

#undef CONVERTERS_FROM

const char kUninitialisedOutput[] = "The output pixmap has not been initialized: ConvertColorPixmap";
const char kUninitialisedInput[] = "The input pixmap has not been initialized: ConvertColorPixmap";
const char kOutputTooLarge[] = "The output pixmap is larger than the input pixmap: ConvertColorPixmap.";
const char kCropOutside[] = "The crop region lies outside the input pixmap: ConvertColorPixmap.";
const char kUnknownSource[] = "Unknown source pixel type in ConvertColorPixmap";
const char kUnknownDestination[] = "Unknown destination pixel type in ConvertColorPixmap";

// The part of the source that is converted: destination row k comes from source
// row firstRow + k, reading pixelCount pixels from column firstColumn.
struct SourceWindow {
    int32_t firstRow;
    int32_t rowCount;
    int32_t firstColumn;
    int32_t pixelCount;
};

// Every window stays inside both pixmaps: a crop reaching outside the source is
// refused, a destination shorter than the source gets only its own rows, and a
// crop narrower than the destination near the source's right edge reads no
// further than that edge.
SourceWindow ChooseWindow(const FPixmap& source, const FPixmap& destination, const FIntRect* crop,
                          const char* cropTooLarge)
{
    const int32_t columns = std::max(destination.m_iColumns, 0);
    const int32_t rows = std::max(destination.GetRows(), 0);
    if (crop == nullptr) {
        if (source.m_iColumns < columns)
            throw FException(kOutputTooLarge);
        return {0, std::min(std::max(source.GetRows(), 0), rows), 0, columns};
    }
    const int64_t width = static_cast<int64_t>(crop->right) - crop->left;
    const int64_t height = static_cast<int64_t>(crop->bottom) - crop->top;
    if (width > columns || height > rows)
        throw FException(cropTooLarge);
    if (crop->left < 0 || crop->top < 0 || width < 0 || height < 0 || crop->right > source.m_iColumns ||
        crop->bottom > source.GetRows())
        throw FException(kCropOutside);
    return {crop->top, static_cast<int32_t>(height), crop->left, std::min(columns, source.m_iColumns - crop->left)};
}

void ConvertRows(const FPixmap* source, FPixmap* destination, const FIntRect* crop, int32_t firstSourceType,
                 int32_t lastSourceType, const char* cropTooLarge)
{
    if (destination == nullptr)
        throw FException(kUninitialisedOutput);
    if (source == nullptr)
        throw FException(kUninitialisedInput);
    const SourceWindow window = ChooseWindow(*source, *destination, crop, cropTooLarge);
    const int column = DestinationColumn(destination->GetPixelType());
    if (column < 0)
        throw FException(kUnknownDestination);
    const int32_t sourceType = source->GetPixelType();
    if (sourceType < firstSourceType || sourceType > lastSourceType)
        throw FException(kUnknownSource);
    const RowConverter convert = kConverters[sourceType][column];

    const ptrdiff_t columnOffset = static_cast<ptrdiff_t>(window.firstColumn) * FPixelTypeBytes(sourceType);
    for (int32_t k = 0; k < window.rowCount; ++k)
        convert(window.pixelCount, source->GetRow(window.firstRow + k) + columnOffset, destination->GetRow(k));
}

}  // namespace

void ConvertColorSourcePixmap(const FPixmap* source, FPixmap* destination, const FIntRect* crop)
{
    ConvertRows(source, destination, crop, FPixmap::PIXEL_24_BGR, FPixmap::PIXEL_48_BGR,
                "The crop region is larger than the output pixmap: ConvertColorPixmap.");
}

void ConvertMonoPixmap(const FPixmap* source, FPixmap* destination, const FIntRect* crop)
{
    ConvertRows(source, destination, crop, FPixmap::PIXEL_8_MONO, FPixmap::PIXEL_32_MONO,
                "The crop region is larger than the output pixmap: ConvertMonoPixmap.");
}

void ConvertColorPixmap(const FPixmap* source, FPixmap* destination, const FIntRect* crop)
{
    if (destination == nullptr)
        throw FException(kUninitialisedOutput);
    if (source == nullptr)
        throw FException(kUninitialisedInput);
    if (source->m_iColumns < destination->m_iColumns || source->GetRows() < destination->GetRows())
        throw FException(kOutputTooLarge);
    const int32_t sourceType = source->GetPixelType();
    if (sourceType >= FPixmap::PIXEL_8_MONO && sourceType <= FPixmap::PIXEL_32_MONO)
        ConvertMonoPixmap(source, destination, crop);
    else if (sourceType >= FPixmap::PIXEL_24_BGR && sourceType <= FPixmap::PIXEL_48_BGR)
        ConvertColorSourcePixmap(source, destination, crop);
    else
        throw FException(kUnknownSource);
}
