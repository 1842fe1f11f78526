#include "fileio/container/PdxbImageDecoding.h"

#include "foundation/FException.h"
#include "foundation/FPixmap.h"
#include "support/HuffmanEncoder.h"
#include "support/PixelFormatEncoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

constexpr uint8_t kMarker = 0xA5;

// A pixmap of any decoded pixel type over marked memory, with spare bytes at
// the end of every row.
class AnyPixmap {
public:
    AnyPixmap(int32_t type, int32_t columns, int32_t rows, int32_t extra = 8)
        : m_iColumns(columns), m_iRows(rows), m_iPixelBytes(FPixelTypeBytes(type)),
          m_iRowBytes(columns * m_iPixelBytes + extra), m_Bytes(size_t(m_iRowBytes) * size_t(rows), kMarker)
    {
        void* d = m_Bytes.data();
        switch (type) {
        case FPixmap::PIXEL_16_MONO: m_pPixmap = std::make_unique<FPixmapTemplate<FPixelClass16Mono>>(d, columns, rows, m_iRowBytes); break;
        case FPixmap::PIXEL_24_RGB: m_pPixmap = std::make_unique<FPixmapTemplate<FPixelClass24RGB>>(d, columns, rows, m_iRowBytes); break;
        case FPixmap::PIXEL_30_RGB: m_pPixmap = std::make_unique<FPixmapTemplate<FPixelClass30RGB>>(d, columns, rows, m_iRowBytes); break;
        case FPixmap::PIXEL_48_RGB: m_pPixmap = std::make_unique<FPixmapTemplate<FPixelClass48RGB>>(d, columns, rows, m_iRowBytes); break;
        case FPixmap::PIXEL_48S_RGB: m_pPixmap = std::make_unique<FPixmapTemplate<FPixelClass48SRGB>>(d, columns, rows, m_iRowBytes); break;
        default: throw std::invalid_argument("pixel type");
        }
    }

    FPixmap* Get() { return m_pPixmap.get(); }
    // The image's bytes, rows after one another.
    std::vector<uint8_t> Image() const
    {
        std::vector<uint8_t> out;
        for (int32_t y = 0; y < m_iRows; ++y) {
            const uint8_t* row = m_Bytes.data() + size_t(y) * size_t(m_iRowBytes);
            out.insert(out.end(), row, row + size_t(m_iColumns) * size_t(m_iPixelBytes));
        }
        return out;
    }
    // The first spare byte after each row's pixels still holds the marker.
    bool SpareBytesUntouched() const
    {
        for (int32_t y = 0; y < m_iRows; ++y)
            if (m_Bytes[size_t(y) * size_t(m_iRowBytes) + size_t(m_iColumns) * size_t(m_iPixelBytes)] != kMarker)
                return false;
        return true;
    }
    uint16_t Word(int32_t x, int32_t y, int k) const
    {
        const uint8_t* p = m_Bytes.data() + size_t(y) * size_t(m_iRowBytes) + size_t(x) * size_t(m_iPixelBytes) + 2 * size_t(k);
        return uint16_t(p[0] | p[1] << 8);
    }

private:
    int32_t m_iColumns, m_iRows, m_iPixelBytes, m_iRowBytes;
    std::vector<uint8_t> m_Bytes;
    std::unique_ptr<FPixmap> m_pPixmap;
};

PdxbImageHeader Header(uint32_t format, uint32_t columns, uint32_t rows, uint32_t rowSize)
{
    PdxbImageHeader h{};
    h.m_iPixelFormat = format;
    h.m_iColumns = columns;
    h.m_iRows = rows;
    h.m_iRowSize = rowSize;
    return h;
}

bool DecodeFixed(const FixedRows& stored, uint32_t format, AnyPixmap& pixmap, double* progress = nullptr,
                 const std::atomic<char>* cancel = nullptr)
{
    return ReadImageFixedLineLength(Header(format, stored.columns, stored.rows, stored.rowSize), stored.data.data(),
                                    stored.data.size(), pixmap.Get(), progress, cancel);
}

template <class Action>
std::string ReaderMessage(Action&& action)
{
    try {
        action();
    } catch (const FException& e) {
        return e.GetMessage();
    }
    return "(no exception)";
}

bool IsPacked(uint32_t format)
{
    switch (format) {
    case 4: case 9: case 13: case 16: case 17: case 20: case 21: case 22: case 24: return true;
    default: return false;
    }
}

// The pixel whose red and blue a pixel shares in the stored form.
void Leader(uint32_t format, int x, int y, int& lx, int& ly)
{
    lx = x;
    ly = y;
    if (format == 14 || format == 16 || format == 20 || format == 25) {
        lx = x & ~1;
        ly = y & ~1;
    } else if (format == 21 || format == 26 || format == 27) {
        lx = x & ~1;
    } else if (format == 22) {
        ly = y & ~1;
    }
}

void DecodedSize(uint32_t format, uint32_t& columns, uint32_t& rows)
{
    const bool doubled = format == 14 || format == 16 || format == 17 || format == 25;
    columns = doubled ? 14 : 13;
    rows = doubled || format == 20 || format == 22 ? 6 : 5;
}

// A random decoded image that the format can store exactly.
std::vector<uint8_t> RandomImage(uint32_t format, uint32_t columns, uint32_t rows, std::mt19937& random)
{
    const int32_t type = PdxbPixelTypeForFormat(format);
    std::vector<uint8_t> bytes(size_t(columns) * rows * size_t(FPixelTypeBytes(type)));
    if (type != FPixmap::PIXEL_48_RGB && type != FPixmap::PIXEL_48S_RGB && type != FPixmap::PIXEL_16_MONO) {
        for (uint8_t& b : bytes)
            b = uint8_t(random());
        return bytes;
    }
    const int components = type == FPixmap::PIXEL_16_MONO ? 1 : 3;
    const auto set = [&](uint32_t x, uint32_t y, int k, uint16_t v) {
        const size_t at = ((size_t(y) * columns + x) * components + size_t(k)) * 2;
        bytes[at] = uint8_t(v);
        bytes[at + 1] = uint8_t(v >> 8);
    };
    const auto get = [&](uint32_t x, uint32_t y, int k) {
        const size_t at = ((size_t(y) * columns + x) * components + size_t(k)) * 2;
        return uint16_t(bytes[at] | bytes[at + 1] << 8);
    };
    for (uint32_t y = 0; y < rows; ++y)
        for (uint32_t x = 0; x < columns; ++x)
            for (int k = 0; k < components; ++k) {
                if (format == 5)  // a walk whose steps are curve values
                    set(x, y, k, uint16_t((x ? get(x - 1, y, k) : 0) + int(random() % 1024) - 512));
                else
                    set(x, y, k, uint16_t(IsPacked(format) ? random() % 4096 : random()));
            }
    if (components == 3)
        for (uint32_t y = 0; y < rows; ++y)
            for (uint32_t x = 0; x < columns; ++x) {
                int lx, ly;
                Leader(format, int(x), int(y), lx, ly);
                set(x, y, 0, get(uint32_t(lx), uint32_t(ly), 0));
                set(x, y, 2, get(uint32_t(lx), uint32_t(ly), 2));
            }
    return bytes;
}

// The YCbCr conversion, written out independently of the decoder.
std::array<uint16_t, 3> ReferenceRGB(uint32_t format, const YCbCr& ycc)
{
    const bool eightBit = format == 26;
    const double yo = eightBit ? 16 : 256, co = eightBit ? 128 : 2048;
    const double y = ycc[0] - yo, cb = ycc[1] - co, cr = ycc[2] - co;
    const double rgb[3] = {1.1644 * y - 0.0001 * cb + 1.596 * cr, 1.1644 * y - 0.3917 * cb - 0.813 * cr,
                           1.1644 * y + 2.0173 * cb - 0.0001 * cr};
    std::array<uint16_t, 3> out;
    for (int i = 0; i < 3; ++i) {
        const double v = std::min(4095.0, std::max(0.0, std::floor(rgb[i])));
        out[size_t(i)] = uint16_t(eightBit ? std::min(v, 255.0) * 16 : v);
    }
    return out;
}

} // namespace

TEST(PdxbImageDecodingTest, EveryFixedRowFormatRoundTrips)
{
    std::mt19937 random(1);
    const std::vector<int16_t> curve = DefaultHuffmanCurve();
    for (const uint32_t format : {0u, 1u, 3u, 8u, 29u, 4u, 5u, 9u, 12u, 13u, 14u, 16u, 17u, 20u, 21u, 22u, 24u}) {
        uint32_t columns, rows;
        DecodedSize(format, columns, rows);
        const std::vector<uint8_t> image = RandomImage(format, columns, rows, random);
        uint32_t storedColumns, storedRows;
        StoredSize(format, columns, rows, storedColumns, storedRows);
        for (const uint32_t slack : {0u, 7u}) {
            const uint32_t rowSize = MinimalRowSize(format, storedColumns) + slack;
            const FixedRows stored = EncodeFixedRows(format, columns, rows, image, rowSize, curve);
            AnyPixmap pixmap(PdxbPixelTypeForFormat(format), int32_t(columns), int32_t(rows));
            double progress = 0;
            ASSERT_TRUE(DecodeFixed(stored, format, pixmap, &progress)) << "format " << format;
            EXPECT_EQ(progress, 1.0);
            EXPECT_EQ(pixmap.Image(), image) << "format " << format << ", row size " << rowSize;
            // Copied rows may fill the pixmap's row up to the stored row size;
            // converted rows write their pixels only.
            if (format != 0 && format != 1 && format != 3 && format != 8 && format != 29) {
                EXPECT_TRUE(pixmap.SpareBytesUntouched()) << "format " << format;
            }
        }
    }
}

TEST(PdxbImageDecodingTest, YCbCrFormatsConvertEveryPixel)
{
    std::mt19937 random(2);
    for (const uint32_t format : {25u, 26u, 27u, 28u}) {
        uint32_t columns, rows;
        DecodedSize(format, columns, rows);
        std::vector<YCbCr> ycc(size_t(columns) * rows);
        const uint32_t range = format == 26 ? 256 : 4096;
        for (YCbCr& p : ycc)
            p = {uint16_t(random() % range), uint16_t(random() % range), uint16_t(random() % range)};
        const FixedRows stored = EncodeYCbCrRows(format, columns, rows, ycc);
        AnyPixmap pixmap(FPixmap::PIXEL_48_RGB, int32_t(columns), int32_t(rows));
        ASSERT_TRUE(DecodeFixed(stored, format, pixmap)) << "format " << format;
        for (uint32_t y = 0; y < rows; ++y)
            for (uint32_t x = 0; x < columns; ++x) {
                int lx, ly;
                Leader(format, int(x), int(y), lx, ly);
                const YCbCr& lead = ycc[size_t(ly) * columns + size_t(lx)];
                const std::array<uint16_t, 3> expected =
                    ReferenceRGB(format, {ycc[size_t(y) * columns + x][0], lead[1], lead[2]});
                for (int k = 0; k < 3; ++k)
                    ASSERT_EQ(pixmap.Word(int32_t(x), int32_t(y), k), expected[size_t(k)])
                        << "format " << format << " pixel " << x << "," << y << " component " << k;
            }
        EXPECT_TRUE(pixmap.SpareBytesUntouched());
    }
}

TEST(PdxbImageDecodingTest, EightBitYCbCrLimitsAt255Times16)
{
    struct Case {
        YCbCr ycc;
        uint16_t expected;
    };
    for (const Case c : {Case{{16, 128, 128}, 0}, Case{{235, 128, 128}, 4080}, Case{{255, 128, 128}, 4080}}) {
        const FixedRows stored = EncodeYCbCrRows(26, 2, 1, {c.ycc, c.ycc});
        AnyPixmap pixmap(FPixmap::PIXEL_48_RGB, 2, 1);
        ASSERT_TRUE(DecodeFixed(stored, 26, pixmap));
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(pixmap.Word(1, 0, k), c.expected) << "Y " << c.ycc[0];
    }
}

TEST(PdxbImageDecodingTest, PackedSamplesFollowTheWordLayout)
{
    // Three words hold eight samples; s2 and s5 straddle two words.
    const uint32_t words[3] = {0x12345678, 0x9ABCDEF0, 0x0FEDCBA9};
    FixedRows stored;
    stored.columns = 8;
    stored.rows = 1;
    stored.rowSize = 12;
    for (const uint32_t w : words)
        for (int i = 0; i < 4; ++i)
            stored.data.push_back(uint8_t(w >> (8 * i)));
    AnyPixmap pixmap(FPixmap::PIXEL_16_MONO, 8, 1);
    ASSERT_TRUE(DecodeFixed(stored, 9, pixmap));
    const uint16_t expected[8] = {0x123, 0x456, 0x789, 0xABC, 0xDEF, 0x00F, 0xEDC, 0xBA9};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(pixmap.Word(i, 0, 0), expected[i]) << "sample " << i;
}

TEST(PdxbImageDecodingTest, FourGreyPlanesBecomeTwoRowsOfTwiceTheWidth)
{
    // Stored 8 x 1: planes of 12 bytes each (R = 48 gives 4 * (48 / 16) = 12).
    std::vector<uint8_t> row;
    for (uint16_t plane = 0; plane < 4; ++plane) {
        std::vector<uint16_t> samples;
        for (uint16_t i = 0; i < 8; ++i)
            samples.push_back(uint16_t(plane * 100 + i));
        const std::vector<uint8_t> packed = Pack12(samples);
        row.insert(row.end(), packed.begin(), packed.end());
    }
    FixedRows stored{8, 1, 48, row};
    AnyPixmap pixmap(FPixmap::PIXEL_16_MONO, 16, 2);
    ASSERT_TRUE(DecodeFixed(stored, 17, pixmap));
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(pixmap.Word(2 * i, 0, 0), i);
        EXPECT_EQ(pixmap.Word(2 * i + 1, 0, 0), 100 + i);
        EXPECT_EQ(pixmap.Word(2 * i, 1, 0), 200 + i);
        EXPECT_EQ(pixmap.Word(2 * i + 1, 1, 0), 300 + i);
    }
}

TEST(PdxbImageDecodingTest, CurveIndicesSumAlongTheRow)
{
    std::vector<int16_t> curve(1024, 0);
    curve[7] = 1;
    FixedRows stored{5, 1, 20, {}};
    for (const int16_t v : curve) {
        stored.data.push_back(uint8_t(v));
        stored.data.push_back(uint8_t(uint16_t(v) >> 8));
    }
    const uint32_t word = 7u << 20 | 7u << 10 | 7u;
    for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 4; ++i)
            stored.data.push_back(uint8_t(word >> (8 * i)));
    AnyPixmap pixmap(FPixmap::PIXEL_48S_RGB, 5, 1);
    ASSERT_TRUE(DecodeFixed(stored, 5, pixmap));
    for (int j = 0; j < 5; ++j)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(pixmap.Word(j, 0, k), j + 1);
}

TEST(PdxbImageDecodingTest, FixedRowErrorsHaveTheirTexts)
{
    const std::vector<uint8_t> data(4096, 0);
    struct Case {
        const char* what;
        PdxbImageHeader header;
        int32_t pixelType, columns, rows;
        uint64_t size;
        std::string text;
    };
    const Case cases[] = {
        {"format 2", Header(2, 4, 2, 24), FPixmap::PIXEL_48_RGB, 4, 2, 48,
         "ReadImageFixedLineLength() : unsupported resampling pixel type."},
        {"copied rows longer than the pixmap's", Header(0, 4, 2, 40), FPixmap::PIXEL_48_RGB, 4, 2, 80,
         "ReadImageFixedLineLength() : pixmap's rows are too small for pdxb rows"},
        {"rows beyond the data", Header(0, 4, 3, 24), FPixmap::PIXEL_48_RGB, 4, 3, 71,
         "Image section too small for its rows."},
        {"curve beyond the data", Header(5, 4, 1, 16), FPixmap::PIXEL_48S_RGB, 4, 1, 2063,
         "Image section too small for its rows."},
        {"planes wider than the row", Header(13, 9, 1, 36), FPixmap::PIXEL_48_RGB, 9, 1, 36,
         "Image rows too short for their columns."},
        {"half planes wider than the row", Header(21, 16, 1, 32), FPixmap::PIXEL_48_RGB, 16, 1, 32,
         "Image rows too short for their columns."},
        {"doubled image in a small pixmap", Header(14, 2, 2, 24), FPixmap::PIXEL_48_RGB, 4, 3, 48,
         "GetImage() : pixmap too small to receive image"},
        {"wrong pixel type", Header(9, 8, 1, 12), FPixmap::PIXEL_48_RGB, 8, 1, 12,
         "GetImage() : pixmap has incompatible pixel type"},
        {"format without a pixel type", Header(7, 1, 1, 6), FPixmap::PIXEL_48_RGB, 1, 1, 6,
         "GetImage() : pixmap has incompatible pixel type"},
    };
    for (const Case& c : cases) {
        AnyPixmap pixmap(c.pixelType, c.columns, c.rows, 0);
        EXPECT_EQ(ReaderMessage([&] {
                      ReadImageFixedLineLength(c.header, data.data(), c.size, pixmap.Get(), nullptr, nullptr);
                  }),
                  c.text)
            << c.what;
    }
    // A pixmap whose rows do not start on whole 16-bit words.
    std::vector<uint8_t> memory(64);
    FPixmapTemplate<FPixelClass48RGB> odd(memory.data() + 1, 4, 2, 25);
    EXPECT_EQ(ReaderMessage([&] {
                  ReadImageFixedLineLength(Header(13, 4, 2, 24), data.data(), 48, &odd, nullptr, nullptr);
              }),
              "GetImage() : pixmap rows are not aligned for its pixels");
}

// ---------------------------------------------------------------------------
// Huffman rows

namespace {

bool DecodeHuffman(uint32_t format, const HuffmanImage& coded, uint32_t columns, uint32_t rows, AnyPixmap& pixmap,
                   double* progress = nullptr, const std::atomic<char>* cancel = nullptr)
{
    return ReadImageVariableLineLength(Header(format, columns, rows, 0), coded.data.data(), coded.data.size(),
                                       pixmap.Get(), progress, cancel);
}

// Format 11 with symbol 0 = "0" and 255 symbols of 9 bits: lookups take 4 bits.
std::vector<uint32_t> ShortZeroCode()
{
    std::vector<int> lengths(256, 9);
    lengths[0] = 1;
    return CanonicalCodeWords(lengths);
}

std::vector<uint8_t> Row(const std::vector<uint32_t>& words, const std::vector<uint16_t>& symbols)
{
    BitWriter bits;
    for (const uint16_t s : symbols)
        bits.Put(words[s] & 0x7FFFFFF, int(words[s] >> 27));
    bits.Pad(4);
    return bits.Bytes();
}

} // namespace

TEST(PdxbImageDecodingTest, HuffmanRowsRoundTrip)
{
    std::mt19937 random(6);
    struct Case {
        uint32_t format, columns, rows;
        int maxCodeLength;
    };
    for (const Case c : {Case{6, 13, 7, 16}, Case{6, 1, 1, 27}, Case{6, 300, 4, 12}, Case{11, 13, 7, 16},
                         Case{11, 64, 3, 9}}) {
        const bool tenBit = c.format == 6;
        const int32_t type = tenBit ? FPixmap::PIXEL_48S_RGB : FPixmap::PIXEL_24_RGB;
        std::vector<uint8_t> image(size_t(c.columns) * c.rows * (tenBit ? 6 : 3));
        for (uint32_t y = 0; y < c.rows; ++y)
            for (uint32_t i = 0; i < 3 * c.columns; ++i) {
                const size_t at = size_t(y) * 3 * c.columns + i;
                if (tenBit) {  // neighbours differ by at most 511 so that the curve covers them
                    const uint16_t left = i >= 3 ? uint16_t(image[2 * (at - 3)] | image[2 * (at - 3) + 1] << 8) : 0;
                    const uint16_t v = uint16_t(left + int(random() % 1023) - 511);
                    image[2 * at] = uint8_t(v);
                    image[2 * at + 1] = uint8_t(v >> 8);
                } else {
                    image[at] = uint8_t(random() % 7 == 0 ? random() : 100 + random() % 9);
                }
            }
        const HuffmanImage coded =
            EncodeHuffmanImage(c.format, c.columns, c.rows, image, DefaultHuffmanCurve(), c.maxCodeLength);
        AnyPixmap pixmap(type, int32_t(c.columns), int32_t(c.rows));
        double progress = 0;
        ASSERT_TRUE(DecodeHuffman(c.format, coded, c.columns, c.rows, pixmap, &progress));
        EXPECT_EQ(progress, 1.0);
        EXPECT_EQ(pixmap.Image(), image) << "format " << c.format << ", " << c.columns << " columns";
        EXPECT_TRUE(pixmap.SpareBytesUntouched());
    }
}

TEST(PdxbImageDecodingTest, RowEndingWithinALookupIsFinishedFromTheHeldBits)
{
    // 8 pixels: one 9-bit code and 23 one-bit codes, exactly 32 bits; the last
    // lookups reach past the row's bytes.
    const std::vector<uint32_t> words = ShortZeroCode();
    std::vector<uint16_t> symbols(24, 0);
    symbols[0] = 5;
    const std::vector<uint8_t> row = Row(words, symbols);
    ASSERT_EQ(row.size(), 4u);
    const HuffmanImage coded = AssembleHuffmanImage(11, {}, words, {row, row});
    AnyPixmap pixmap(FPixmap::PIXEL_24_RGB, 8, 2);
    ASSERT_TRUE(DecodeHuffman(11, coded, 8, 2, pixmap));
    std::vector<uint8_t> expected;
    for (int i = 0; i < 16; ++i)
        expected.insert(expected.end(), {5, 0, 0});
    EXPECT_EQ(pixmap.Image(), expected);
}

TEST(PdxbImageDecodingTest, UndecodableRowsRepeatTheRowAbove)
{
    // Codes "1" and "01" only: a row of zero bits starts no code.
    const std::vector<uint32_t> words = [] {
        std::vector<uint32_t> w(256, 0);
        w[3] = 1u << 27 | 1;  // "1"
        w[4] = 2u << 27 | 1;  // "01"
        return w;
    }();
    const std::vector<uint8_t> good = Row(words, {3, 4, 3, 3, 3, 4});
    const std::vector<uint8_t> other = Row(words, {4, 4, 4, 3, 3, 3});
    const std::vector<uint8_t> bad(4, 0);
    struct Case {
        const char* what;
        std::vector<std::vector<uint8_t>> rows;
        std::vector<uint8_t> expected;
    };
    const Case cases[] = {
        {"middle row", {good, bad, other}, {3, 4, 3, 6, 7, 7, 3, 4, 3, 6, 7, 7, 4, 4, 4, 7, 7, 7}},
        {"first row", {bad, good, bad}, {0, 0, 0, 0, 0, 0, 3, 4, 3, 6, 7, 7, 3, 4, 3, 6, 7, 7}},
        {"empty row", {good, {}, other}, {3, 4, 3, 6, 7, 7, 3, 4, 3, 6, 7, 7, 4, 4, 4, 7, 7, 7}},
    };
    for (const Case& c : cases) {
        const HuffmanImage coded = AssembleHuffmanImage(11, {}, words, c.rows);
        AnyPixmap pixmap(FPixmap::PIXEL_24_RGB, 2, 3);
        EXPECT_TRUE(DecodeHuffman(11, coded, 2, 3, pixmap)) << c.what;
        EXPECT_EQ(pixmap.Image(), c.expected) << c.what;
    }
}

TEST(PdxbImageDecodingTest, MalformedHuffmanDataIsRefused)
{
    const std::vector<uint32_t> words = ShortZeroCode();
    const std::vector<uint8_t> row = Row(words, std::vector<uint16_t>(6, 0));
    const HuffmanImage base = AssembleHuffmanImage(11, {}, words, {row, row, row});
    const size_t table = base.data.size() - 12;  // the row table: three words at the end
    const auto patched = [&](const std::function<void(std::vector<uint8_t>&)>& patch) {
        std::vector<uint8_t> data = base.data;
        patch(data);
        return data;
    };
    const auto set32 = [](std::vector<uint8_t>& b, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    struct Case {
        const char* what;
        uint32_t format;
        std::vector<uint8_t> data;
        std::string text;
    };
    const Case cases[] = {
        {"not a Huffman format", 9, base.data, "ReadImageVariableLineLength: variable line length image type is not HUFFMAN!"},
        {"rows going backwards", 11, patched([&](auto& d) { set32(d, table + 4, 8); set32(d, table + 8, 4); }),
         "Huffman row table is corrupt."},
        {"row beyond the data", 11, patched([&](auto& d) { set32(d, table + 8, 0x10000); }),
         "Huffman row table is corrupt."},
        {"first row not at 0", 11, patched([&](auto& d) { set32(d, table, 4); }),
         "(uiFilePosNow-uiFilePosHuffDat) == pRowPtrTable[row]"},
        {"row of odd length", 11, patched([&](auto& d) { set32(d, table + 4, 2); }), "(uiReadSize&3) == 0"},
        {"data of odd length", 11, patched([&](auto& d) { d.insert(d.begin() + long(table), 0); }),
         "(uiSizeHuffData&3) == 0"},
        {"data shorter than the tables", 11, std::vector<uint8_t>(1000, 0), "Huffman image data too small for its tables."},
        {"code longer than its length", 11, patched([&](auto& d) { set32(d, 0, 1u << 27 | 2); }),
         "Invalid code in table"},
    };
    for (const Case& c : cases) {
        AnyPixmap pixmap(c.format == 9 ? FPixmap::PIXEL_16_MONO : FPixmap::PIXEL_24_RGB, 2, 3);
        const std::string message = ReaderMessage([&] {
            ReadImageVariableLineLength(Header(c.format, 2, 3, 0), c.data.data(), c.data.size(), pixmap.Get(),
                                        nullptr, nullptr);
        });
        EXPECT_NE(message.find(c.text), std::string::npos) << c.what << ": " << message;
    }
}

TEST(PdxbImageDecodingTest, RandomHuffmanDataNeverReachesOutside)
{
    std::mt19937 random(9);
    std::vector<uint8_t> image(size_t(20) * 4 * 3);
    for (uint8_t& b : image)
        b = uint8_t(random());
    const HuffmanImage coded = EncodeHuffmanImage(11, 20, 4, image);
    for (int trial = 0; trial < 500; ++trial) {
        std::vector<uint8_t> data = coded.data;
        for (int i = 0; i < 6; ++i)
            data[coded.huffmanStart + random() % (data.size() - coded.huffmanStart)] = uint8_t(random());
        if (trial % 3 == 0)
            data[random() % coded.huffmanStart] = uint8_t(random());
        AnyPixmap pixmap(FPixmap::PIXEL_24_RGB, 20, 4);
        try {
            ReadImageVariableLineLength(Header(11, 20, 4, 0), data.data(), data.size(), pixmap.Get(), nullptr,
                                        nullptr);
        } catch (const FException&) {
        }
        EXPECT_TRUE(pixmap.SpareBytesUntouched());
    }
}

TEST(PdxbImageDecodingTest, CancelStopsBetweenRowsAndLeavesTheRestZero)
{
    std::mt19937 random(4);
    for (const uint32_t format : {13u, 11u}) {
        const std::vector<uint8_t> image = RandomImage(format, 13, 5, random);
        AnyPixmap pixmap(PdxbPixelTypeForFormat(format), 13, 5);
        std::atomic<char> cancel{1};
        double progress = 0;
        if (format == 11) {
            EXPECT_FALSE(DecodeHuffman(format, EncodeHuffmanImage(format, 13, 5, image), 13, 5, pixmap, &progress,
                                       &cancel));
        } else {
            EXPECT_FALSE(DecodeFixed(EncodeFixedRows(format, 13, 5, image), format, pixmap, &progress, &cancel));
        }
        EXPECT_DOUBLE_EQ(progress, 0.2) << "format " << format;
        const std::vector<uint8_t> decoded = pixmap.Image();
        const long rowBytes = long(decoded.size() / 5);
        EXPECT_TRUE(std::equal(image.begin(), image.begin() + rowBytes, decoded.begin())) << "format " << format;
        EXPECT_TRUE(std::all_of(decoded.begin() + rowBytes, decoded.end(), [](uint8_t b) { return b == 0; }))
            << "format " << format;
    }
}
