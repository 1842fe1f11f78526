#include "fileio/container/PdxbImageDecoding.h"

#include "fileio/FProgress.h"
#include "fileio/container/Huffman.h"
#include "foundation/FAssert.h"
#include "foundation/FByteReader.h"
#include "foundation/FException.h"
#include "foundation/FPixmap.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr uint64_t kCurveEntries = 1024;
constexpr uint64_t kCurveBytes = 2 * kCurveEntries;

[[noreturn]] void ThrowReader(const char* text) { throw FExceptionPdxbReader(text); }

[[noreturn]] void ThrowOverrun(const char* what)
{
    throw FExceptionPdxbReader((std::string("Malformed image data: ") + what + ".").c_str());
}

void SetProgress(double* progress, uint64_t done, uint64_t total)
{
    StoreProgress(progress, double(done) / double(total));
}

uint16_t LE16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t LE32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

std::vector<int16_t> ReadCurve(const uint8_t* data, uint64_t size)
{
    FByteReader in(data, size_t(size), ThrowOverrun);
    std::vector<int16_t> curve(kCurveEntries);
    for (int16_t& value : curve)
        value = in.I16LE();
    return curve;
}

// ---------------------------------------------------------------------------
// What each pixel format decodes to: its pixel type (0 when it has none), how
// many decoded columns and rows each stored column and row becomes, and
// whether its fixed rows go through a row converter rather than being copied.

struct FormatRule {
    int32_t pixelType;
    uint8_t columnsPerStoredColumn;
    uint8_t rowsPerStoredRow;
    bool converted;
};

constexpr FormatRule kNoPixels = {0, 1, 1, false};
constexpr FormatRule kFormatRules[] = {
    /*  0 */ {FPixmap::PIXEL_48_RGB, 1, 1, false},
    /*  1 */ {FPixmap::PIXEL_30_RGB, 1, 1, false},
    /*  2 */ {FPixmap::PIXEL_48_RGB, 1, 1, true},
    /*  3 */ {FPixmap::PIXEL_24_RGB, 1, 1, false},
    /*  4 */ {FPixmap::PIXEL_48_RGB, 1, 1, true},
    /*  5 */ {FPixmap::PIXEL_48S_RGB, 1, 1, true},
    /*  6 */ {FPixmap::PIXEL_48S_RGB, 1, 1, false},
    /*  7 */ kNoPixels,
    /*  8 */ {FPixmap::PIXEL_16_MONO, 1, 1, false},
    /*  9 */ {FPixmap::PIXEL_16_MONO, 1, 1, true},
    /* 10 */ kNoPixels,
    /* 11 */ {FPixmap::PIXEL_24_RGB, 1, 1, false},
    /* 12 */ {FPixmap::PIXEL_48_RGB, 1, 1, true},
    /* 13 */ {FPixmap::PIXEL_48_RGB, 1, 1, true},
    /* 14 */ {FPixmap::PIXEL_48_RGB, 2, 2, true},
    /* 15 */ kNoPixels,
    /* 16 */ {FPixmap::PIXEL_48_RGB, 2, 2, true},
    /* 17 */ {FPixmap::PIXEL_16_MONO, 2, 2, true},
    /* 18 */ {FPixmap::PIXEL_24_RGB, 1, 1, false},
    /* 19 */ kNoPixels,
    /* 20 */ {FPixmap::PIXEL_48_RGB, 1, 2, true},
    /* 21 */ {FPixmap::PIXEL_48_RGB, 1, 1, true},
    /* 22 */ {FPixmap::PIXEL_48_RGB, 1, 2, true},
    /* 23 */ kNoPixels,
    /* 24 */ {FPixmap::PIXEL_48_RGB, 1, 1, true},
    /* 25 */ {FPixmap::PIXEL_48_RGB, 2, 2, true},
    /* 26 */ {FPixmap::PIXEL_48_RGB, 1, 1, true},
    /* 27 */ {FPixmap::PIXEL_48_RGB, 1, 1, true},
    /* 28 */ {FPixmap::PIXEL_48_RGB, 1, 1, true},
    /* 29 */ {FPixmap::PIXEL_48S_RGB, 1, 1, false},
    /* 30 */ {FPixmap::PIXEL_48S_RGB, 1, 1, false},
};
static_assert(std::size(kFormatRules) == PDXB_PIXEL_HUFFMAN_M4 + 1);

const FormatRule& RuleOf(uint32_t format)
{
    return format < std::size(kFormatRules) ? kFormatRules[format] : kNoPixels;
}

// ---------------------------------------------------------------------------
// Packed 12-bit samples: little-endian 32-bit words read from bit 31 down,
// three words holding eight samples.

// Bytes (whole words) that hold n samples.
uint64_t Packed12Bytes(uint64_t n) { return (n * 12 + 31) / 32 * 4; }

void Unpack12(const uint8_t* p, size_t n, uint16_t* out)
{
    size_t i = 0;
    for (; i + 8 <= n; i += 8, p += 12) {
        const uint32_t w0 = LE32(p), w1 = LE32(p + 4), w2 = LE32(p + 8);
        out[i] = uint16_t(w0 >> 20);
        out[i + 1] = uint16_t(w0 >> 8 & 0xFFF);
        out[i + 2] = uint16_t((w0 & 0xFF) << 4 | w1 >> 28);
        out[i + 3] = uint16_t(w1 >> 16 & 0xFFF);
        out[i + 4] = uint16_t(w1 >> 4 & 0xFFF);
        out[i + 5] = uint16_t((w1 & 0xF) << 8 | w2 >> 24);
        out[i + 6] = uint16_t(w2 >> 12 & 0xFFF);
        out[i + 7] = uint16_t(w2 & 0xFFF);
    }
    // A last partial group reads only the words its samples lie in.
    for (size_t j = 0; i < n; ++i, ++j) {
        const size_t bit = 12 * j;
        const size_t word = bit / 32;
        const size_t top = bit % 32;  // position counted from bit 31
        const uint32_t w = LE32(p + 4 * word);
        if (top <= 20)
            out[i] = uint16_t(w >> (20 - top) & 0xFFF);
        else
            out[i] = uint16_t((w << (top - 20) & 0xFFF) | LE32(p + 4 * word + 4) >> (52 - top));
    }
}

// ---------------------------------------------------------------------------
// YCbCr rows, computed in double precision as the format defines them.

uint16_t Clamp4095(double v)
{
    const double f = std::floor(v);
    return f <= 0.0 ? 0 : f >= 4095.0 ? 4095 : uint16_t(f);
}

void YCbCrToRGB(double y, double cb, double cr, double yo, double co, uint16_t* rgb)
{
    const double ly = 1.1644 * (y - yo);
    cb -= co;
    cr -= co;
    rgb[0] = Clamp4095(ly - 0.0001 * cb + 1.596 * cr);
    rgb[1] = Clamp4095(ly - 0.3917 * cb - 0.813 * cr);
    rgb[2] = Clamp4095(ly + 2.0173 * cb - 0.0001 * cr);
}

void YCbCr12ToRGB(uint32_t y, uint32_t cb, uint32_t cr, uint16_t* rgb) { YCbCrToRGB(y, cb, cr, 256.0, 2048.0, rgb); }

void YCbCr8ToRGB(uint32_t y, uint32_t cb, uint32_t cr, uint16_t* rgb)
{
    YCbCrToRGB(y, cb, cr, 16.0, 128.0, rgb);
    for (int i = 0; i < 3; ++i)
        rgb[i] = uint16_t(std::min<uint16_t>(rgb[i], 255) * 16);
}

// ---------------------------------------------------------------------------
// Fixed-row formats.

// Whether a stored row of R bytes holds every sample its C columns need, with
// each plane inside its own span of the row.
bool PlanesFit(uint32_t format, uint64_t R, uint64_t C)
{
    const uint64_t half = (C + 1) / 2;  // samples of the half-width planes
    switch (format) {
    case PDXB_PIXEL_PACKED12_RGB: case PDXB_PIXEL_YCBCR12_444:
        return Packed12Bytes(3 * C) <= R;
    case PDXB_PIXEL_PACKED12_GREY:
        return Packed12Bytes(C) <= R;
    case PDXB_PIXEL_CURVE10_RGB:
        return 4 * C <= R;
    case PDXB_PIXEL_PLANES16_RGB:
        return 2 * C <= 2 * (R / 6);
    case PDXB_PIXEL_PLANES12_RGB: case PDXB_PIXEL_PLANES12_GBR:
        return Packed12Bytes(C) <= 4 * (R / 12);
    case PDXB_PIXEL_PLANES16_2X2:
        return 2 * C <= R / 6;
    case PDXB_PIXEL_PLANES12_2X2:
        return Packed12Bytes(C) <= R / 6;
    case PDXB_PIXEL_GREY12_2X2:
        return Packed12Bytes(C) <= 4 * (R / 16);
    case PDXB_PIXEL_TWO_GREEN_HALF_BR:
        return Packed12Bytes(C) <= R / 3 && Packed12Bytes(half) <= R / 6 &&
               Packed12Bytes(half) <= R - 2 * (R / 3) - R / 6;
    case PDXB_PIXEL_HALF_BR:
        return Packed12Bytes(C) <= R / 2 && Packed12Bytes(half) <= R / 4 &&
               Packed12Bytes(half) <= R - R / 2 - R / 4;
    case PDXB_PIXEL_TWO_GREEN_FULL_BR:
        return Packed12Bytes(C) <= R / 4;
    case PDXB_PIXEL_YCBCR12_2X2:
        return Packed12Bytes(6 * C) <= R;
    case PDXB_PIXEL_YCBCR8_422:
        return 4 * half <= R;
    case PDXB_PIXEL_YCBCR12_422:
        return Packed12Bytes(4 * half) <= R;
    default:
        return true;
    }
}

// Converts one stored row into the pixmap. Scratch planes are reused across rows.
class RowConverter {
public:
    RowConverter(const PdxbImageHeader& h, FPixmap* pixmap, const int16_t* curve)
        : m_iFormat(h.m_iPixelFormat), m_iR(h.m_iRowSize), m_iC(h.m_iColumns), m_pPixmap(pixmap), m_pCurve(curve)
    {
        for (auto& plane : m_Planes)
            plane.resize(size_t(6) * m_iC + 8);
    }

    void Convert(const uint8_t* in, uint32_t r)
    {
        switch (m_iFormat) {
        case PDXB_PIXEL_PACKED12_RGB: Format4(in, r); break;
        case PDXB_PIXEL_CURVE10_RGB: Format5(in, r); break;
        case PDXB_PIXEL_PACKED12_GREY: Format9(in, r); break;
        case PDXB_PIXEL_PLANES16_RGB: Format12(in, r); break;
        case PDXB_PIXEL_PLANES12_RGB: Planes3(in, r, 0, 1, 2); break;
        case PDXB_PIXEL_PLANES12_GBR: Planes3(in, r, 2, 0, 1); break;
        case PDXB_PIXEL_PLANES16_2X2: Format14(in, r, false); break;
        case PDXB_PIXEL_PLANES12_2X2: Format14(in, r, true); break;
        case PDXB_PIXEL_GREY12_2X2: Format17(in, r); break;
        case PDXB_PIXEL_TWO_GREEN_HALF_BR: Format20(in, r); break;
        case PDXB_PIXEL_HALF_BR: Format21(in, r); break;
        case PDXB_PIXEL_TWO_GREEN_FULL_BR: Format22(in, r); break;
        case PDXB_PIXEL_YCBCR12_2X2: Format25(in, r); break;
        case PDXB_PIXEL_YCBCR8_422: Format26(in, r); break;
        case PDXB_PIXEL_YCBCR12_422: Format27(in, r); break;
        case PDXB_PIXEL_YCBCR12_444: Format28(in, r); break;
        default: break;
        }
    }

private:
    uint16_t* Out48(uint64_t row) const { return reinterpret_cast<uint16_t*>(m_pPixmap->GetRow(int32_t(row))); }
    uint16_t* Plane(int i, const uint8_t* at, uint64_t n)
    {
        Unpack12(at, size_t(n), m_Planes[i].data());
        return m_Planes[i].data();
    }
    static void Put(uint16_t* out, uint64_t column, uint16_t r, uint16_t g, uint16_t b)
    {
        out[3 * column] = r;
        out[3 * column + 1] = g;
        out[3 * column + 2] = b;
    }

    void Format4(const uint8_t* in, uint32_t r)
    {
        const uint16_t* s = Plane(0, in, 3 * m_iC);
        uint16_t* out = Out48(r);
        std::memcpy(out, s, 6 * size_t(m_iC));
    }

    void Format5(const uint8_t* in, uint32_t r)
    {
        int16_t* out = reinterpret_cast<int16_t*>(m_pPixmap->GetRow(int32_t(r)));
        uint16_t sum[3] = {0, 0, 0};
        for (uint64_t j = 0; j < m_iC; ++j) {
            const uint32_t word = LE32(in + 4 * j);
            sum[0] = uint16_t(sum[0] + m_pCurve[word >> 20 & 0x3FF]);
            sum[1] = uint16_t(sum[1] + m_pCurve[word >> 10 & 0x3FF]);
            sum[2] = uint16_t(sum[2] + m_pCurve[word & 0x3FF]);
            for (int k = 0; k < 3; ++k)
                out[3 * j + k] = int16_t(sum[k]);
        }
    }

    void Format9(const uint8_t* in, uint32_t r)
    {
        Unpack12(in, m_iC, reinterpret_cast<uint16_t*>(m_pPixmap->GetRow(int32_t(r))));
    }

    void Format12(const uint8_t* in, uint32_t r)
    {
        const uint64_t span = 2 * (m_iR / 6);
        uint16_t* out = Out48(r);
        for (uint64_t j = 0; j < m_iC; ++j)
            Put(out, j, LE16(in + 2 * j), LE16(in + span + 2 * j), LE16(in + 2 * span + 2 * j));
    }

    // Three packed planes at 0, 4 (R / 12) and 8 (R / 12); red, green and blue
    // are planes ir, ig and ib.
    void Planes3(const uint8_t* in, uint32_t r, int ir, int ig, int ib)
    {
        const uint64_t span = 4 * (m_iR / 12);
        const uint16_t* p[3] = {Plane(0, in, m_iC), Plane(1, in + span, m_iC), Plane(2, in + 2 * span, m_iC)};
        uint16_t* out = Out48(r);
        for (uint64_t j = 0; j < m_iC; ++j)
            Put(out, j, p[ir][j], p[ig][j], p[ib][j]);
    }

    // Six planes G0, G1, G2, G3, B, R of R / 6 bytes each; every stored pixel
    // becomes a two by two block.
    void Format14(const uint8_t* in, uint32_t r, bool packed)
    {
        const uint64_t span = m_iR / 6;
        const uint16_t* p[6];
        for (int k = 0; k < 6; ++k) {
            if (packed) {
                p[k] = Plane(k, in + k * span, m_iC);
            } else {
                for (uint64_t i = 0; i < m_iC; ++i)
                    m_Planes[k][i] = LE16(in + k * span + 2 * i);
                p[k] = m_Planes[k].data();
            }
        }
        uint16_t* top = Out48(2 * uint64_t(r));
        uint16_t* bottom = Out48(2 * uint64_t(r) + 1);
        for (uint64_t i = 0; i < m_iC; ++i) {
            const uint16_t red = p[5][i], blue = p[4][i];
            Put(top, 2 * i, red, p[0][i], blue);
            Put(top, 2 * i + 1, red, p[1][i], blue);
            Put(bottom, 2 * i, red, p[2][i], blue);
            Put(bottom, 2 * i + 1, red, p[3][i], blue);
        }
    }

    void Format17(const uint8_t* in, uint32_t r)
    {
        const uint64_t span = 4 * (m_iR / 16);
        const uint16_t* p[4];
        for (int k = 0; k < 4; ++k)
            p[k] = Plane(k, in + k * span, m_iC);
        uint16_t* top = reinterpret_cast<uint16_t*>(m_pPixmap->GetRow(int32_t(2 * uint64_t(r))));
        uint16_t* bottom = reinterpret_cast<uint16_t*>(m_pPixmap->GetRow(int32_t(2 * uint64_t(r) + 1)));
        for (uint64_t i = 0; i < m_iC; ++i) {
            top[2 * i] = p[0][i];
            top[2 * i + 1] = p[1][i];
            bottom[2 * i] = p[2][i];
            bottom[2 * i + 1] = p[3][i];
        }
    }

    void Format20(const uint8_t* in, uint32_t r)
    {
        const uint64_t third = m_iR / 3, sixth = m_iR / 6, half = (uint64_t(m_iC) + 1) / 2;
        const uint16_t* ga = Plane(0, in, m_iC);
        const uint16_t* gb = Plane(1, in + third, m_iC);
        const uint16_t* b = Plane(2, in + 2 * third, half);
        const uint16_t* red = Plane(3, in + 2 * third + sixth, half);
        uint16_t* top = Out48(2 * uint64_t(r));
        uint16_t* bottom = Out48(2 * uint64_t(r) + 1);
        for (uint64_t j = 0; j < m_iC; ++j) {
            Put(top, j, red[j / 2], ga[j], b[j / 2]);
            Put(bottom, j, red[j / 2], gb[j], b[j / 2]);
        }
    }

    void Format21(const uint8_t* in, uint32_t r)
    {
        const uint64_t halfRow = m_iR / 2, quarter = m_iR / 4, half = (uint64_t(m_iC) + 1) / 2;
        const uint16_t* g = Plane(0, in, m_iC);
        const uint16_t* b = Plane(1, in + halfRow, half);
        const uint16_t* red = Plane(2, in + halfRow + quarter, half);
        uint16_t* out = Out48(r);
        for (uint64_t j = 0; j < m_iC; ++j)
            Put(out, j, red[j / 2], g[j], b[j / 2]);
    }

    void Format22(const uint8_t* in, uint32_t r)
    {
        const uint64_t span = m_iR / 4;
        const uint16_t* ga = Plane(0, in, m_iC);
        const uint16_t* gb = Plane(1, in + span, m_iC);
        const uint16_t* b = Plane(2, in + 2 * span, m_iC);
        const uint16_t* red = Plane(3, in + 3 * span, m_iC);
        uint16_t* top = Out48(2 * uint64_t(r));
        uint16_t* bottom = Out48(2 * uint64_t(r) + 1);
        for (uint64_t j = 0; j < m_iC; ++j) {
            Put(top, j, red[j], ga[j], b[j]);
            Put(bottom, j, red[j], gb[j], b[j]);
        }
    }

    void Format25(const uint8_t* in, uint32_t r)
    {
        const uint16_t* s = Plane(0, in, 6 * uint64_t(m_iC));
        uint16_t* top = Out48(2 * uint64_t(r));
        uint16_t* bottom = Out48(2 * uint64_t(r) + 1);
        for (uint64_t i = 0; i < m_iC; ++i) {
            const uint16_t* block = s + 6 * i;
            YCbCr12ToRGB(block[0], block[4], block[5], top + 6 * i);
            YCbCr12ToRGB(block[1], block[4], block[5], top + 6 * i + 3);
            YCbCr12ToRGB(block[2], block[4], block[5], bottom + 6 * i);
            YCbCr12ToRGB(block[3], block[4], block[5], bottom + 6 * i + 3);
        }
    }

    void Format26(const uint8_t* in, uint32_t r)
    {
        uint16_t* out = Out48(r);
        for (uint64_t j = 0; j < m_iC; ++j) {
            const uint8_t* pair = in + 4 * (j / 2);
            YCbCr8ToRGB(pair[2 * (j & 1)], pair[1], pair[3], out + 3 * j);
        }
    }

    void Format27(const uint8_t* in, uint32_t r)
    {
        const uint16_t* s = Plane(0, in, 4 * ((uint64_t(m_iC) + 1) / 2));
        uint16_t* out = Out48(r);
        for (uint64_t j = 0; j < m_iC; ++j) {
            const uint16_t* pair = s + 4 * (j / 2);
            YCbCr12ToRGB(pair[2 * (j & 1)], pair[1], pair[3], out + 3 * j);
        }
    }

    void Format28(const uint8_t* in, uint32_t r)
    {
        const uint16_t* s = Plane(0, in, 3 * uint64_t(m_iC));
        uint16_t* out = Out48(r);
        for (uint64_t j = 0; j < m_iC; ++j)
            YCbCr12ToRGB(s[3 * j], s[3 * j + 2], s[3 * j + 1], out + 3 * j);
    }

    uint32_t m_iFormat;
    uint64_t m_iR;
    uint32_t m_iC;
    FPixmap* m_pPixmap;
    const int16_t* m_pCurve;
    std::vector<uint16_t> m_Planes[6];
};

// Zeroes the decoded width of rows [from, to).
void ZeroRows(FPixmap* pixmap, uint64_t from, uint64_t to, uint64_t rowBytes)
{
    for (uint64_t r = from; r < to; ++r)
        std::memset(pixmap->GetRow(int32_t(r)), 0, size_t(rowBytes));
}

uint64_t DecodedRowBytes(const PdxbImageHeader& h)
{
    uint64_t columns, rows;
    PdxbDecodedImageSize(h, columns, rows);
    return columns * uint64_t(FPixelTypeBytes(PdxbPixelTypeForFormat(h.m_iPixelFormat)));
}

// ---------------------------------------------------------------------------
// Huffman rows.

// The row table plus one closing entry (the size of the Huffman data), checked
// to run upward inside the Huffman data with every row a whole number of words.
std::vector<uint32_t> ReadRowTable(const uint8_t* data, uint64_t size, uint32_t rows, uint64_t huffmanSize)
{
    std::vector<uint32_t> table(size_t(rows) + 1);
    FByteReader in(data, size_t(size), ThrowOverrun);
    in.Seek(size - 4 * uint64_t(rows));
    for (uint32_t r = 0; r < rows; ++r)
        table[r] = in.U32LE();
    table[rows] = uint32_t(huffmanSize);
    for (uint32_t r = 0; r < rows; ++r)
        if (table[r] > table[r + 1])
            ThrowReader("Huffman row table is corrupt.");
    if (rows > 0 && table[0] != 0)
        AssertionFailed(FASSERT_SOURCE, __LINE__, "(uiFilePosNow-uiFilePosHuffDat) == pRowPtrTable[row]", 0, 0);
    for (uint32_t r = 0; r < rows; ++r)
        if (((table[r + 1] - table[r]) & 3) != 0)
            AssertionFailed(FASSERT_SOURCE, __LINE__, "(uiReadSize&3) == 0", 0, 0);
    return table;
}

// Decodes one row's symbols; false when they cannot all be had (the row is
// then concealed and its symbols are not used).
bool DecodeHuffmanRow(FHuffman& huffman, const uint8_t* bytes, uint32_t length, uint16_t* symbols, uint32_t wanted)
{
    uint32_t position = 0, decoded = 0;
    huffman.Decode(bytes, length, position, symbols, wanted, decoded);
    if (decoded < wanted) {
        // The row's last codes may need fewer bits than a lookup reads: finish
        // them from the bits the decoder holds.
        if (wanted - decoded >= 32)
            DebugPrintf("Found 32 or more bits left over in Huffman Decode %d %d\n", int(decoded), int(wanted));
        uint32_t more = 0;
        huffman.Decode(nullptr, 0, position, symbols + decoded, wanted - decoded, more);
        decoded += more;
    }
    huffman.DecodeFlush();
    return decoded == wanted;
}

} // namespace

int32_t PdxbPixelTypeForFormat(uint32_t format) { return RuleOf(format).pixelType; }

void PdxbDecodedImageSize(const PdxbImageHeader& h, uint64_t& columns, uint64_t& rows)
{
    const FormatRule& rule = RuleOf(h.m_iPixelFormat);
    columns = uint64_t(h.m_iColumns) * rule.columnsPerStoredColumn;
    rows = uint64_t(h.m_iRows) * rule.rowsPerStoredRow;
}

void CheckPdxbTargetPixmap(const PdxbImageHeader& h, const FPixmap* pixmap)
{
    uint64_t columns, rows;
    PdxbDecodedImageSize(h, columns, rows);
    if (!pixmap || !pixmap->m_pData || pixmap->m_iColumns < 0 || pixmap->m_iRows < 0 ||
        uint64_t(pixmap->m_iColumns) < columns || uint64_t(pixmap->m_iRows) < rows)
        ThrowReader("GetImage() : pixmap too small to receive image");
    const int32_t type = PdxbPixelTypeForFormat(h.m_iPixelFormat);
    if (type == 0 || pixmap->GetPixelType() != type)
        ThrowReader("GetImage() : pixmap has incompatible pixel type");
    if (pixmap->m_iRowBytes < 0 || uint64_t(pixmap->m_iRowBytes) < columns * uint64_t(FPixelTypeBytes(type)))
        ThrowReader("GetImage() : pixmap too small to receive image");
    // The decoders write whole 16- and 32-bit words.
    const uintptr_t alignment = type == FPixmap::PIXEL_24_RGB ? 1 : type == FPixmap::PIXEL_30_RGB ? 4 : 2;
    if (reinterpret_cast<uintptr_t>(pixmap->m_pData) % alignment != 0 ||
        uint32_t(pixmap->m_iRowBytes) % alignment != 0)
        ThrowReader("GetImage() : pixmap rows are not aligned for its pixels");
}

bool ReadImageFixedLineLength(const PdxbImageHeader& h, const uint8_t* data, uint64_t size, FPixmap* pixmap,
                              double* progress, const std::atomic<char>* cancel)
{
    CheckPdxbTargetPixmap(h, pixmap);
    const uint32_t format = h.m_iPixelFormat;
    const uint64_t R = h.m_iRowSize;
    const uint32_t rows = h.m_iRows;
    const bool converted = RuleOf(format).converted;
    if (!converted && uint64_t(pixmap->m_iRowBytes) < R)
        ThrowReader("ReadImageFixedLineLength() : pixmap's rows are too small for pdxb rows");
    if (format == PDXB_PIXEL_RESAMPLED)
        ThrowReader("ReadImageFixedLineLength() : unsupported resampling pixel type.");

    const uint64_t start = format == PDXB_PIXEL_CURVE10_RGB ? kCurveBytes : 0;
    if (R == 0 || start + uint64_t(rows) * R > size)
        ThrowReader("Image section too small for its rows.");
    if (converted && !PlanesFit(format, R, h.m_iColumns))
        ThrowReader("Image rows too short for their columns.");

    // The scratch planes are sized by the column count; only rows that lie in the
    // data bound that count, so an image without rows allocates nothing.
    if (rows == 0) {
        SetProgress(progress, 1, 1);
        return true;
    }
    const std::vector<int16_t> curve = format == PDXB_PIXEL_CURVE10_RGB ? ReadCurve(data, size) : std::vector<int16_t>();
    std::optional<RowConverter> converter;
    if (converted)
        converter.emplace(h, pixmap, curve.data());
    const uint64_t decodedRowBytes = DecodedRowBytes(h);
    const uint64_t outRowsPerRow = RuleOf(format).rowsPerStoredRow;
    for (uint32_t r = 0; r < rows; ++r) {
        const uint8_t* in = data + start + uint64_t(r) * R;
        if (converted) {
            converter->Convert(in, r);
        } else {
            uint8_t* out = pixmap->GetRow(int32_t(r));
            std::memcpy(out, in, size_t(R));
            if (R < decodedRowBytes)
                std::memset(out + R, 0, size_t(decodedRowBytes - R));
        }
        SetProgress(progress, uint64_t(r) + 1, rows);
        if (CancelRequested(cancel)) {
            ZeroRows(pixmap, (uint64_t(r) + 1) * outRowsPerRow, uint64_t(rows) * outRowsPerRow, decodedRowBytes);
            return false;
        }
    }
    return true;
}

bool ReadImageVariableLineLength(const PdxbImageHeader& h, const uint8_t* data, uint64_t size, FPixmap* pixmap,
                                 double* progress, const std::atomic<char>* cancel)
{
    const uint32_t format = h.m_iPixelFormat;
    if (format != PDXB_PIXEL_HUFFMAN_10BIT && format != PDXB_PIXEL_HUFFMAN_8BIT)
        ThrowReader("ReadImageVariableLineLength: variable line length image type is not HUFFMAN!");
    CheckPdxbTargetPixmap(h, pixmap);

    const bool tenBit = format == PDXB_PIXEL_HUFFMAN_10BIT;
    const int bits = tenBit ? 10 : 8;
    const uint64_t codeWords = uint64_t(1) << bits;
    const uint64_t curveBytes = tenBit ? kCurveBytes : 0;
    const uint32_t rows = h.m_iRows;
    const uint64_t columns = h.m_iColumns;
    const uint64_t fixedBytes = curveBytes + 4 * codeWords + 4 * uint64_t(rows);
    if (fixedBytes > size)
        ThrowReader("Huffman image data too small for its tables.");
    const uint64_t huffmanSize = size - fixedBytes;
    if ((huffmanSize & 3) != 0)
        AssertionFailed(FASSERT_SOURCE, __LINE__, "(uiSizeHuffData&3) == 0", 0, 0);
    if (huffmanSize > UINT32_MAX)
        ThrowReader("Huffman image data too large.");
    const std::vector<uint32_t> rowTable = ReadRowTable(data, size, rows, huffmanSize);
    if (rows == 0) { // the symbol buffer is sized by the columns, which nothing bounds without rows
        SetProgress(progress, 1, 1);
        return true;
    }

    const std::vector<int16_t> curve = tenBit ? ReadCurve(data, size) : std::vector<int16_t>();
    FByteReader codeTable(data, size_t(size), ThrowOverrun);
    codeTable.Seek(curveBytes);
    std::vector<uint32_t> words(codeWords);
    for (uint32_t& word : words)
        word = codeTable.U32LE();
    FHuffman huffman(bits);
    huffman.DecodeReset();
    huffman.SetTable(words.data(), uint32_t(codeWords));

    const uint8_t* huffmanData = data + curveBytes + 4 * codeWords;
    const uint32_t wanted = uint32_t(3 * columns);
    std::vector<uint16_t> symbols(size_t(wanted) + 1);
    const uint64_t rowBytes = columns * uint64_t(tenBit ? 6 : 3);
    for (uint32_t r = 0; r < rows; ++r) {
        bool complete;
        try {
            complete = DecodeHuffmanRow(huffman, huffmanData + rowTable[r], rowTable[r + 1] - rowTable[r],
                                        symbols.data(), wanted);
        } catch (const FException&) {
            complete = false;
        }
        uint8_t* out = pixmap->GetRow(int32_t(r));
        if (complete && tenBit) {
            int16_t* pixels = reinterpret_cast<int16_t*>(out);
            uint16_t sum[3] = {0, 0, 0};
            for (uint32_t i = 0; i < wanted; i += 3) {
                sum[0] = uint16_t(sum[0] + curve[symbols[i]]);
                sum[1] = uint16_t(sum[1] + curve[symbols[i + 1]]);
                sum[2] = uint16_t(sum[2] + curve[symbols[i + 2]]);
                pixels[i] = int16_t(sum[0]);
                pixels[i + 1] = int16_t(sum[1]);
                pixels[i + 2] = int16_t(sum[2]);
            }
        } else if (complete) {
            uint8_t sum[3] = {0, 0, 0};
            for (uint32_t i = 0; i < wanted; i += 3) {
                sum[0] = uint8_t(sum[0] + symbols[i]);
                sum[1] = uint8_t(sum[1] + symbols[i + 1]);
                sum[2] = uint8_t(sum[2] + symbols[i + 2]);
                out[i] = sum[0];
                out[i + 1] = sum[1];
                out[i + 2] = sum[2];
            }
        } else {
            // A row that cannot be decoded repeats the row above; the first
            // row has none and stays black.
            DebugPrintf("ReadImageVariableLineLength: row %u cannot be decoded\n", r);
            if (r == 0)
                std::memset(out, 0, size_t(rowBytes));
            else
                std::memcpy(out, pixmap->GetRow(int32_t(r - 1)), size_t(rowBytes));
            try {
                huffman.DecodeFlush();
            } catch (const FExceptionHuffman&) {
                // Not decoding yet: there are no spare bits to clear.
            }
        }
        SetProgress(progress, uint64_t(r) + 1, rows);
        if (CancelRequested(cancel)) {
            ZeroRows(pixmap, uint64_t(r) + 1, rows, rowBytes);
            return false;
        }
    }
    return true;
}
