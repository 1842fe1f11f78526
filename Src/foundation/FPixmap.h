#pragma once
// Pixel types and pixmaps. A pixmap is a small typed header over pixel memory it
// does not own. The pixel type codes travel alone through request records, cache
// labels and writer dimensions, so their numbers never change.
//
// Every multi-byte word of a pixel is little-endian; the pixel classes below are
// the exact byte layouts and are used by value (the row converters, the TIFF
// reader and writer and the review window read and write pixels through them).

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

class FIntTriple;

static_assert(std::endian::native == std::endian::little,
              "pixel words are stored little-endian and read natively");

// ---------------------------------------------------------------------------
// Pixel classes: one per pixel type. kPixelType is the type code.

struct FPixelClass8Mono {
    static constexpr int32_t kPixelType = 1;
    uint8_t v;
};

struct FPixelClass12Mono {  // 0-4095 in a 16-bit word
    static constexpr int32_t kPixelType = 2;
    uint16_t v;
};

struct FPixelClass16Mono {
    static constexpr int32_t kPixelType = 3;
    uint16_t v;
};

struct FPixelClass16SMono {
    static constexpr int32_t kPixelType = 4;
    int16_t v;
};

struct FPixelClass32Mono {  // the low 16 bits hold a 12-bit sample; the high 16 bits are never read
    static constexpr int32_t kPixelType = 5;
    uint32_t v;
};

struct FPixelClass24BGR {
    static constexpr int32_t kPixelType = 6;
    uint8_t b, g, r;
};

struct FPixelClass24RGB {
    static constexpr int32_t kPixelType = 7;
    uint8_t r, g, b;
};

// The three packed 30-bit types hold R and G with 11 significant bits (0-2047)
// and B with 10 (0-1023).
//
// byte 0 = R >> 3, byte 1 = G >> 3, byte 2 = B >> 2,
// bits 24-25 = B & 3, bits 26-28 = G & 7, bits 29-31 = R & 7.
struct FPixelClass30RGBL {
    static constexpr int32_t kPixelType = 8;
    uint32_t word;

    // R, G and B as 11-bit values; B's lowest bit is always 0 on the way out and
    // dropped on the way in (the TIFF reader and writer rely on this form).
    operator FIntTriple() const;
    FPixelClass30RGBL& operator=(const FIntTriple& rgb);
};

// byte 0 = B >> 2, byte 1 = G >> 3, byte 2 = R >> 3; bits 24-31 as FPixelClass30RGBL.
struct FPixelClass30BGRL {
    static constexpr int32_t kPixelType = 9;
    uint32_t word;
};

// bits 0-10 = R, bits 11-21 = G, bits 22-31 = B.
struct FPixelClass30RGB {
    static constexpr int32_t kPixelType = 10;
    uint32_t word;
};

struct FPixelClass32ARGB {
    static constexpr int32_t kPixelType = 11;
    uint8_t a, r, g, b;
};

struct FPixelClass32ABGR {
    static constexpr int32_t kPixelType = 12;
    uint8_t a, b, g, r;
};

struct FPixelClass32BGRA {  // the display format
    static constexpr int32_t kPixelType = 13;
    uint8_t b, g, r, a;
};

struct FPixelClass32RGBA {
    static constexpr int32_t kPixelType = 14;
    uint8_t r, g, b, a;
};

struct FPixelClass48RGB {
    static constexpr int32_t kPixelType = 15;
    uint16_t r, g, b;
};

// The engine's working format: each word is a 16-bit pattern whose scale the
// engine decides.
struct FPixelClass48SRGB {
    static constexpr int32_t kPixelType = 16;
    int16_t r, g, b;

    operator FIntTriple() const;                        // sign-extended
    FPixelClass48SRGB& operator=(const FIntTriple& rgb);  // low 16 bits of each, no clamping
};

struct FPixelClass48BGR {
    static constexpr int32_t kPixelType = 17;
    uint16_t b, g, r;
};

struct FPixelClassFlt32RGB {  // work images of the noise reduction only
    static constexpr int32_t kPixelType = 18;
    float r, g, b;
};

struct FPixelClassFlt32Mono {  // work images of the noise reduction only
    static constexpr int32_t kPixelType = 19;
    float v;
};

// ---------------------------------------------------------------------------

// The header of a pixmap. data, columns and row bytes are read directly; rows
// are never assumed to be contiguous (row bytes may exceed columns x bytes).
class FPixmap {
public:
    enum : int32_t {
        PIXEL_8_MONO = 1,
        PIXEL_12_MONO = 2,
        PIXEL_16_MONO = 3,
        PIXEL_16S_MONO = 4,
        PIXEL_32_MONO = 5,
        PIXEL_24_BGR = 6,
        PIXEL_24_RGB = 7,
        PIXEL_30_RGBL = 8,
        PIXEL_30_BGRL = 9,
        PIXEL_30_RGB = 10,
        PIXEL_32_ARGB = 11,
        PIXEL_32_ABGR = 12,
        PIXEL_32_BGRA = 13,
        PIXEL_32_RGBA = 14,
        PIXEL_48_RGB = 15,
        PIXEL_48S_RGB = 16,
        PIXEL_48_BGR = 17,
        PIXEL_FLT32_RGB = 18,
        PIXEL_FLT32_MONO = 19,
    };

    FPixmap(void* data, int32_t columns, int32_t rows, int32_t rowBytes)
        : m_pData(static_cast<uint8_t*>(data)), m_iColumns(columns), m_iRows(rows), m_iRowBytes(rowBytes)
    {
    }
    // Frees the header only, never the pixels.
    virtual ~FPixmap() = default;

    virtual int32_t GetPixelType() const = 0;

    int32_t GetRows() const { return m_iRows; }
    // Row y, unchecked: callers keep 0 <= y < rows.
    uint8_t* GetRow(int32_t y) const { return m_pData + static_cast<ptrdiff_t>(y) * m_iRowBytes; }

    uint8_t* m_pData;     // row 0, pixel 0 (not owned)
    int32_t m_iColumns;
    int32_t m_iRows;
    int32_t m_iRowBytes;  // distance from one row start to the next

protected:
    FPixmap(const FPixmap&) = default;
    FPixmap& operator=(const FPixmap&) = default;
};

// Bytes of one pixel of a type: 1 to 12 for types 1-19, 0 for any other code.
int32_t FPixelTypeBytes(int32_t pixelType);

// Default row bytes of a pixmap class: columns x bytes per pixel, not rounded.
// Throws FException when the product does not fit the header's 32-bit field.
int32_t FPixmapDefaultRowBytes(int32_t columns, int32_t bytesPerPixel);

template <class PixelClass>
class FPixmapTemplate : public FPixmap {
public:
    static constexpr int32_t kPixelType = PixelClass::kPixelType;

    // Row bytes 0 means the class's default: columns x the size of one pixel.
    FPixmapTemplate(void* data, int32_t columns, int32_t rows, int32_t rowBytes)
        : FPixmap(data, columns, rows,
                  rowBytes != 0 ? rowBytes
                                : FPixmapDefaultRowBytes(columns, static_cast<int32_t>(sizeof(PixelClass))))
    {
    }

    int32_t GetPixelType() const override { return kPixelType; }

    PixelClass* GetData() const { return reinterpret_cast<PixelClass*>(m_pData); }
    // Unchecked typed access: callers keep x < columns and y < rows.
    PixelClass* GetRow(int32_t y) const { return reinterpret_cast<PixelClass*>(FPixmap::GetRow(y)); }
    PixelClass* GetPixel(int32_t x, int32_t y) const
    {
        return reinterpret_cast<PixelClass*>(FPixmap::GetRow(y) + static_cast<ptrdiff_t>(x) * sizeof(PixelClass));
    }
};

// The class built for every type-13 pixmap, so code meeting a display image may
// test for either class.
class FPixmap_Display : public FPixmapTemplate<FPixelClass32BGRA> {
public:
    FPixmap_Display(void* data, int32_t columns, int32_t rows, int32_t rowBytes)
        : FPixmapTemplate<FPixelClass32BGRA>(data, columns, rows, rowBytes)
    {
    }
};

// Sizes for laying a pixmap out inside one memory block: header size = the size
// of one pixmap header object (the same for every type); row bytes = columns x
// bytes per pixel rounded up to a multiple of 4. Types 1-17 only; any other type,
// a negative column count or row bytes beyond 32 bits throw FException.
void GetFPixmapSizes(int32_t pixelType, int32_t columns, int32_t rows, int32_t& headerSize, int32_t& rowBytes);

// Builds the header object of the type's class in the given memory (at least the
// header size of GetFPixmapSizes, aligned for a pointer) over data and returns it;
// row bytes 0 means the type's default. Types 1-17 only, else FException.
// The header lives in the caller's memory: end it with ~FPixmap(), never delete.
FPixmap* MapFPixmapHeader(void* memory, int32_t pixelType, int32_t columns, int32_t rows, int32_t rowBytes,
                          void* data);

struct FIHistogramCount {
    int32_t R, G, B;
};

// Colour histogram of a display pixmap (type 13).
class FIHistogram {
public:
    FIHistogram();
    virtual ~FIHistogram();

    // Counts a display pixmap; a pixmap of any other type (or none) is not
    // counted and leaves the histogram as it was.
    void Compute(const FPixmap* pixmap);

    std::array<FIHistogramCount, 256> m_aCounts;  // pixels whose R, G, B byte equals the index
    std::array<int32_t, 256> m_aiLuma;            // bins of (int)(0.55 G + 0.30 R + 0.15 B + 0.5)
    int32_t m_iTotal;                             // pixels counted
};
