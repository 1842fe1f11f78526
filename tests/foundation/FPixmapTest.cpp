#include "foundation/FPixmap.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "foundation/FException.h"
#include "foundation/FValueTypes.h"

namespace {

template <class PixelClass>
std::vector<uint8_t> BytesOf(const PixelClass& pixel)
{
    std::vector<uint8_t> bytes(sizeof pixel);
    std::memcpy(bytes.data(), &pixel, sizeof pixel);
    return bytes;
}

TEST(FPixmapTest, PixelClassesHaveTheirExactByteLayouts)
{
    using B = std::vector<uint8_t>;
    EXPECT_EQ(BytesOf(FPixelClass8Mono{0x12}), (B{0x12}));
    EXPECT_EQ(BytesOf(FPixelClass12Mono{0x0ABC}), (B{0xBC, 0x0A}));
    EXPECT_EQ(BytesOf(FPixelClass16SMono{-2}), (B{0xFE, 0xFF}));
    EXPECT_EQ(BytesOf(FPixelClass32Mono{0x12345678}), (B{0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(BytesOf(FPixelClass24BGR{1, 2, 3}), (B{1, 2, 3}));
    EXPECT_EQ(BytesOf(FPixelClass24RGB{1, 2, 3}), (B{1, 2, 3}));
    EXPECT_EQ(BytesOf(FPixelClass32ARGB{1, 2, 3, 4}), (B{1, 2, 3, 4}));
    EXPECT_EQ(BytesOf(FPixelClass32BGRA{1, 2, 3, 4}), (B{1, 2, 3, 4}));
    EXPECT_EQ(BytesOf(FPixelClass48SRGB{1, -1, 0x1234}), (B{1, 0, 0xFF, 0xFF, 0x34, 0x12}));
    EXPECT_EQ(BytesOf(FPixelClass48BGR{1, 2, 3}), (B{1, 0, 2, 0, 3, 0}));
    EXPECT_EQ(BytesOf(FPixelClass30RGB{0xBA4E35A3}), (B{0xA3, 0x35, 0x4E, 0xBA}));

    // The members name the colour at each byte position.
    EXPECT_EQ(offsetof(FPixelClass24BGR, r), 2u);
    EXPECT_EQ(offsetof(FPixelClass32ARGB, r), 1u);
    EXPECT_EQ(offsetof(FPixelClass32ABGR, r), 3u);
    EXPECT_EQ(offsetof(FPixelClass32BGRA, a), 3u);
    EXPECT_EQ(offsetof(FPixelClass32RGBA, b), 2u);
    EXPECT_EQ(offsetof(FPixelClass48RGB, b), 4u);
    EXPECT_EQ(offsetof(FPixelClass48BGR, r), 4u);
    EXPECT_EQ(offsetof(FPixelClassFlt32RGB, b), 8u);
}

struct TypeRow {
    int32_t type;
    int32_t bytesPerPixel;
};

// Every type 1-17 with the size of one pixel.
const std::vector<TypeRow> kMappableTypes = {
    {1, 1},  {2, 2},  {3, 2},  {4, 2},  {5, 4},  {6, 3},  {7, 3},  {8, 4},  {9, 4},
    {10, 4}, {11, 4}, {12, 4}, {13, 4}, {14, 4}, {15, 6}, {16, 6}, {17, 6},
};

TEST(FPixmapTest, MappedHeadersHaveTheirTypeAndDefaultRowBytes)
{
    int32_t headerSize = 0, rowBytes = 0;
    GetFPixmapSizes(1, 1, 1, headerSize, rowBytes);
    for (const TypeRow& row : kMappableTypes) {
        SCOPED_TRACE(row.type);
        alignas(FPixmap) unsigned char memory[64];
        ASSERT_LE(static_cast<size_t>(headerSize), sizeof memory);
        uint8_t pixels[1];
        FPixmap* pixmap = MapFPixmapHeader(memory, row.type, 5, 3, 0, pixels);
        EXPECT_EQ(pixmap->GetPixelType(), row.type);
        EXPECT_EQ(pixmap->m_iRowBytes, 5 * row.bytesPerPixel);  // not rounded
        EXPECT_EQ(pixmap->m_iColumns, 5);
        EXPECT_EQ(pixmap->GetRows(), 3);
        EXPECT_EQ(pixmap->m_pData, pixels);
        EXPECT_EQ(dynamic_cast<FPixmap_Display*>(pixmap) != nullptr, row.type == 13);
        pixmap->~FPixmap();
    }
    // The float types exist only as classes of their own.
    uint8_t pixels[1];
    EXPECT_EQ(FPixmapTemplate<FPixelClassFlt32RGB>(pixels, 5, 1, 0).m_iRowBytes, 60);
    EXPECT_EQ(FPixmapTemplate<FPixelClassFlt32Mono>(pixels, 5, 1, 0).GetPixelType(), 19);
    EXPECT_EQ(FPixmapTemplate<FPixelClass24RGB>(pixels, 5, 1, 17).m_iRowBytes, 17);
}

TEST(FPixmapTest, SizesRoundRowsToFourBytes)
{
    struct Case {
        int32_t type, columns, rowBytes;
    };
    const Case cases[] = {{7, 5, 16}, {1, 4, 4}, {1, 5, 8}, {15, 1, 8}, {13, 7, 28}, {13, 1001, 4004}, {2, 3, 8}, {7, 0, 0}};
    int32_t expectedHeader = 0, unused = 0;
    GetFPixmapSizes(13, 1, 1, expectedHeader, unused);
    EXPECT_GE(expectedHeader, static_cast<int32_t>(sizeof(void*) + sizeof(uint8_t*) + 3 * sizeof(int32_t)));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " columns " << c.columns);
        int32_t headerSize = -1, rowBytes = -1;
        GetFPixmapSizes(c.type, c.columns, 99, headerSize, rowBytes);
        EXPECT_EQ(rowBytes, c.rowBytes);
        EXPECT_EQ(headerSize, expectedHeader);
    }
}

std::string MessageOf(void (*call)())
{
    try {
        call();
    } catch (const FException& e) {
        return e.GetMessage();
    }
    return "(nothing thrown)";
}

TEST(FPixmapTest, UnknownTypesAndOversizedRowsAreRefused)
{
    for (int32_t type : {0, 18, 19, 20, -1}) {
        SCOPED_TRACE(type);
        int32_t headerSize = -1, rowBytes = -1;
        try {
            GetFPixmapSizes(type, 4, 4, headerSize, rowBytes);
            ADD_FAILURE() << "no exception";
        } catch (const FException& e) {
            EXPECT_STREQ(e.GetMessage(), "GetFPixmapSizes: unknown pixmap type.");
        }
        EXPECT_EQ(headerSize, -1);

        alignas(FPixmap) unsigned char memory[64];
        std::memset(memory, 0xAB, sizeof memory);
        try {
            MapFPixmapHeader(memory, type, 4, 4, 0, nullptr);
            ADD_FAILURE() << "no exception";
        } catch (const FException& e) {
            EXPECT_STREQ(e.GetMessage(), "MapFPixmapHeader: unknown pixmap type.");
        }
        EXPECT_EQ(memory[0], 0xAB);  // nothing built
    }

    // Rows whose size does not fit the header's 32-bit field.
    EXPECT_EQ(MessageOf([] {
                  int32_t h, r;
                  GetFPixmapSizes(16, 0x20000000, 1, h, r);
              }),
              "GetFPixmapSizes: the row is too long.");
    EXPECT_EQ(MessageOf([] {
                  int32_t h, r;
                  GetFPixmapSizes(7, -4, 1, h, r);
              }),
              "GetFPixmapSizes: the row is too long.");
    EXPECT_THROW(FPixmapTemplate<FPixelClass48SRGB>(nullptr, 0x20000000, 1, 0), FExceptionPixmap);
    alignas(FPixmap) unsigned char memory[64];
    EXPECT_THROW(MapFPixmapHeader(memory, 16, 0x20000000, 1, 0, nullptr), FExceptionPixmap);
}

TEST(FPixmapTest, HeaderLivesInsideItsBlockAndIsMappedAgainAfterAMove)
{
    // A block laid out as the image managers do it: header, then the pixels.
    int32_t headerSize = 0, rowBytes = 0;
    GetFPixmapSizes(FPixmap::PIXEL_48S_RGB, 3, 2, headerSize, rowBytes);
    ASSERT_EQ(rowBytes, 20);
    auto block = std::make_unique<std::max_align_t[]>((headerSize + 2 * rowBytes) / sizeof(std::max_align_t) + 1);
    auto* base = reinterpret_cast<uint8_t*>(block.get());
    FPixmap* pixmap = MapFPixmapHeader(base, 16, 3, 2, rowBytes, base + headerSize);
    auto* working = static_cast<FPixmapTemplate<FPixelClass48SRGB>*>(pixmap);
    *working->GetPixel(2, 1) = FIntTriple(-5, 40000, 7);
    EXPECT_EQ(reinterpret_cast<uint8_t*>(working->GetPixel(2, 1)), base + headerSize + rowBytes + 12);
    EXPECT_EQ(working->GetRow(1), reinterpret_cast<FPixelClass48SRGB*>(pixmap->GetRow(1)));

    // The block moves: copy it and map a header over the new data address.
    auto moved = std::make_unique<std::max_align_t[]>((headerSize + 2 * rowBytes) / sizeof(std::max_align_t) + 1);
    auto* newBase = reinterpret_cast<uint8_t*>(moved.get());
    std::memcpy(newBase + headerSize, base + headerSize, 2 * rowBytes);
    pixmap->~FPixmap();
    auto* again = static_cast<FPixmapTemplate<FPixelClass48SRGB>*>(
        MapFPixmapHeader(newBase, 16, 3, 2, rowBytes, newBase + headerSize));
    const FIntTriple value = *again->GetPixel(2, 1);
    EXPECT_EQ(value.r, -5);
    EXPECT_EQ(value.g, 40000 - 65536);  // low 16 bits, read back sign-extended
    EXPECT_EQ(value.b, 7);
    static_cast<FPixmap*>(again)->~FPixmap();
}

TEST(FPixmapTest, WorkingPixelsConvertToAndFromTriples)
{
    FPixelClass48SRGB pixel{};
    pixel = FIntTriple(32768, -32768, 70000);
    EXPECT_EQ(pixel.r, -32768);
    EXPECT_EQ(pixel.g, -32768);
    EXPECT_EQ(pixel.b, 70000 - 65536);
    pixel = FIntTriple(-1, 4096, 32767);
    const FIntTriple back = pixel;
    EXPECT_EQ(back.r, -1);
    EXPECT_EQ(back.g, 4096);
    EXPECT_EQ(back.b, 32767);
}

TEST(FPixmapTest, PackedTriplesRoundTripAndDropBsLowestBit)
{
    std::mt19937 random(11);
    for (int i = 0; i < 10000; ++i) {
        FPixelClass30RGBL word{static_cast<uint32_t>(random())};
        const FIntTriple triple = word;
        ASSERT_EQ(triple.b & 1, 0);
        FPixelClass30RGBL packed{0};
        packed = triple;
        ASSERT_EQ(packed.word, word.word);
    }
    // R 0x5A3, G 0x1C6 and B 0x5D3 (B's lowest bit dropped) pack as the known word.
    FPixelClass30RGBL packed{0};
    packed = FIntTriple(0x5A3, 0x1C6, 0x5D3);
    EXPECT_EQ(packed.word, 0x79BA38B4u);
    const FIntTriple unpacked = packed;
    EXPECT_EQ(unpacked.r, 0x5A3);
    EXPECT_EQ(unpacked.g, 0x1C6);
    EXPECT_EQ(unpacked.b, 0x5D2);
}

TEST(FPixmapTest, HistogramCountsDisplayPixels)
{
    // Two rows of one pixel each, with padding in between that must not be read.
    uint8_t bytes[] = {20, 40, 10, 0, 0xEE, 0xEE, 0xEE, 0xEE, 255, 255, 255, 255};
    FPixmap_Display display(bytes, 1, 2, 8);
    FIHistogram histogram;
    histogram.Compute(&display);
    EXPECT_EQ(histogram.m_aCounts[10].R, 1);
    EXPECT_EQ(histogram.m_aCounts[40].G, 1);
    EXPECT_EQ(histogram.m_aCounts[20].B, 1);
    EXPECT_EQ(histogram.m_aCounts[255].R, 1);
    EXPECT_EQ(histogram.m_aCounts[0xEE].R, 0);
    EXPECT_EQ(histogram.m_aiLuma[28], 1);  // 22 + 3 + 3 + 0.5, truncated
    EXPECT_EQ(histogram.m_aiLuma[255], 1);
    EXPECT_EQ(histogram.m_iTotal, 2);

    // Computing again starts from empty tables.
    histogram.Compute(&display);
    EXPECT_EQ(histogram.m_aiLuma[28], 1);
    EXPECT_EQ(histogram.m_iTotal, 2);
}

TEST(FPixmapTest, HistogramLeavesPixmapsItCannotCountAlone)
{
    FIHistogram histogram;
    uint8_t display[] = {1, 2, 3, 4};
    FPixmap_Display one(display, 1, 1, 0);
    histogram.Compute(&one);

    // Exactly one byte per pixel: reading four would run past the buffer.
    std::vector<uint8_t> grey(3, 9);
    FPixmapTemplate<FPixelClass8Mono> mono(grey.data(), 3, 1, 0);
    histogram.Compute(&mono);
    histogram.Compute(nullptr);
    EXPECT_EQ(histogram.m_iTotal, 1);
    EXPECT_EQ(histogram.m_aCounts[3].R, 1);
    EXPECT_EQ(histogram.m_aCounts[9].R, 0);
}

}  // namespace
