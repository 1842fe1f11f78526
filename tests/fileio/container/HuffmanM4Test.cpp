#include "fileio/container/HuffmanM4.h"

#include "foundation/FException.h"
#include "support/HuffmanEncoder.h"
#include "support/HuffmanM4Encoder.h"
#include "support/TestPixmap.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace testsupport;

namespace {

using Pixmap48S = TestPixmap<FPixelClass48SRGB>;

// Every bit count gets a code: counts 0 to 3 the shortest.
HuffmanM4Table FullTable() { return HuffmanM4TableFromLengths({2, 3, 3, 3, 4, 5, 6, 7, 8, 9, 10, 11, 11}); }

void PutCode(BitWriter& bits, const HuffmanM4Table& table, int count, uint32_t difference)
{
    const int length = table[size_t(count)] & 15;
    bits.Put(uint32_t(table[size_t(count)] >> 4) >> (12 - length), length);
    bits.Put(difference, count);
}

PdxbImageHeader ImageHeader(uint32_t columns, uint32_t rows)
{
    PdxbImageHeader h{};
    h.m_iPixelFormat = PDXB_PIXEL_HUFFMAN_M4;
    h.m_iColumns = columns;
    h.m_iRows = rows;
    return h;
}

PdxbCamfileHeader CamfileHeader(uint32_t dataLength)
{
    PdxbCamfileHeader h{};
    h.m_iCamfileType = PDXB_CAMFILE_CAMB_HUFFMAN_M4;
    h.m_iDataLength = dataLength;
    return h;
}

// Plane k of a decoded image, row after row.
std::vector<int> PlaneOf(const Pixmap48S& pixmap, int k, int columns, int rows)
{
    std::vector<int> values;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            const FPixelClass48SRGB& p = pixmap.At(x, y);
            values.push_back(k == 0 ? p.r : k == 1 ? p.g : p.b);
        }
    return values;
}

bool Decode(const std::vector<uint8_t>& data, uint32_t columns, uint32_t rows, Pixmap48S& pixmap,
            double* progress = nullptr, const std::atomic<char>* cancel = nullptr)
{
    return ReadImageHuffmanM4(ImageHeader(columns, rows), data.data(), data.size(), pixmap.Get(), progress, cancel);
}

} // namespace

TEST(HuffmanM4Test, ZeroLengthDifferencesRepeatThePredictor)
{
    // Entry 0 is the code 00 and ends the table: every value equals its predictor.
    HuffmanM4Table table{};
    table[0] = 2;
    BitWriter zeros;
    zeros.Put(0, 2 * 12);
    const auto data = HuffmanM4ImageData({100, 200, 300}, table, {zeros.Bytes(), zeros.Bytes(), zeros.Bytes()});
    Pixmap48S pixmap(4, 3);
    ASSERT_TRUE(Decode(data, 4, 3, pixmap));
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(PlaneOf(pixmap, k, 4, 3), std::vector<int>(12, 100 * (k + 1))) << "plane " << k;
}

TEST(HuffmanM4Test, DifferenceBitsMapToSignedValues)
{
    // With 3 bits: 000 is -7, 011 is -4, 100 is 4 and 111 is 7.
    const HuffmanM4Table table = FullTable();
    BitWriter plane0, flat;
    for (const uint32_t d : {0u, 3u, 4u, 7u})
        PutCode(plane0, table, 3, d);
    for (int i = 0; i < 4; ++i)
        PutCode(flat, table, 0, 0);
    const auto data = HuffmanM4ImageData({100, 100, 100}, table, {plane0.Bytes(), flat.Bytes(), flat.Bytes()});
    Pixmap48S pixmap(4, 1);
    ASSERT_TRUE(Decode(data, 4, 1, pixmap));
    // Columns 0 and 1 come from the initial predictor, 2 and 3 from two to the left.
    EXPECT_EQ(PlaneOf(pixmap, 0, 4, 1), (std::vector<int>{93, 96, 97, 103}));
    EXPECT_EQ(PlaneOf(pixmap, 1, 4, 1), (std::vector<int>{100, 100, 100, 100}));
}

TEST(HuffmanM4Test, PredictorsComeFromTheInitialValueTwoRowsUpOrTwoColumnsLeft)
{
    // Only row 0, column 0 differs (+5); every other difference is 0, so each
    // value shows where its predictor came from.
    const HuffmanM4Table table = FullTable();
    BitWriter plane, flat;
    PutCode(plane, table, 3, 5);
    for (int i = 1; i < 24; ++i)
        PutCode(plane, table, 0, 0);
    for (int i = 0; i < 24; ++i)
        PutCode(flat, table, 0, 0);
    const auto data = HuffmanM4ImageData({50, 0, 0}, table, {plane.Bytes(), flat.Bytes(), flat.Bytes()});
    Pixmap48S pixmap(6, 4);
    ASSERT_TRUE(Decode(data, 6, 4, pixmap));
    const std::vector<int> expected = {
        55, 50, 55, 50, 55, 50,  // row 0: columns 0 and 1 from the initial value, then two to the left
        50, 50, 50, 50, 50, 50,  // row 1: initial value again
        55, 50, 55, 50, 55, 50,  // row 2: row starts from row 0
        50, 50, 50, 50, 50, 50,  // row 3: row starts from row 1
    };
    EXPECT_EQ(PlaneOf(pixmap, 0, 6, 4), expected);
}

TEST(HuffmanM4Test, ValueOutOfRangeEndsThePlaneAndZeroesTheRest)
{
    struct Case {
        const char* what;
        uint16_t predictor;
        int count;
        uint32_t difference;
    };
    const Case cases[] = {
        {"4096", 1000, 12, 3096},  // 1000 + 3096
        {"below zero", 3, 3, 0},   // 3 - 7
    };
    const HuffmanM4Table table = FullTable();
    for (const Case& c : cases) {
        BitWriter plane, flat;
        PutCode(plane, table, 0, 0);
        PutCode(plane, table, 0, 0);
        PutCode(plane, table, c.count, c.difference);  // column 2, predicted from column 0
        for (int i = 0; i < 6; ++i)
            PutCode(plane, table, 0, 0);
        for (int i = 0; i < 9; ++i)
            PutCode(flat, table, 0, 0);
        const auto data =
            HuffmanM4ImageData({c.predictor, 7, 7}, table, {plane.Bytes(), flat.Bytes(), flat.Bytes()});
        Pixmap48S pixmap(3, 3);
        EXPECT_TRUE(Decode(data, 3, 3, pixmap)) << c.what;
        const int p = c.predictor;
        EXPECT_EQ(PlaneOf(pixmap, 0, 3, 3), (std::vector<int>{p, p, 0, 0, 0, 0, 0, 0, 0})) << c.what;
        EXPECT_EQ(PlaneOf(pixmap, 2, 3, 3), std::vector<int>(9, 7)) << c.what;
    }
}

TEST(HuffmanM4Test, RandomImagesRoundTrip)
{
    std::mt19937 random(3);
    struct Size {
        uint32_t columns, rows;
    };
    for (const Size size : {Size{1, 1}, Size{2, 3}, Size{37, 23}, Size{256, 9}}) {
        std::vector<uint16_t> samples(size_t(size.columns) * size.rows * 3);
        for (size_t i = 0; i < samples.size(); ++i) {
            // Smooth with noise, and now and then a jump across the whole range.
            const uint32_t base = uint32_t(2048 + 1500 * std::sin(double(i) / 300.0));
            samples[i] = uint16_t(random() % 50 == 0 ? random() % 4096 : std::min<uint32_t>(4095, base + random() % 64));
        }
        const std::array<uint16_t, 3> predictors = {uint16_t(random() % 1024), uint16_t(random() % 1024), 1023};
        const auto data = EncodeHuffmanM4Image(size.columns, size.rows, samples, predictors);
        Pixmap48S pixmap(int32_t(size.columns) + 2, int32_t(size.rows) + 1, 10);
        double progress = 0;
        ASSERT_TRUE(Decode(data, size.columns, size.rows, pixmap, &progress));
        EXPECT_EQ(progress, 1.0);
        std::vector<uint16_t> decoded;
        for (uint32_t y = 0; y < size.rows; ++y)
            for (uint32_t x = 0; x < size.columns; ++x) {
                const FPixelClass48SRGB& p = pixmap.At(int32_t(x), int32_t(y));
                decoded.insert(decoded.end(), {uint16_t(p.r), uint16_t(p.g), uint16_t(p.b)});
            }
        EXPECT_EQ(decoded, samples) << size.columns << " x " << size.rows;
        // Nothing outside the image was touched.
        EXPECT_EQ(pixmap.At(int32_t(size.columns), 0).r, int16_t(0xA5A5));
        EXPECT_EQ(pixmap.At(0, int32_t(size.rows)).g, int16_t(0xA5A5));
    }
}

TEST(HuffmanM4Test, CamfileValuesPackTwoInThreeBytes)
{
    const std::vector<uint8_t> bytes = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};  // 0x123 0x456 / 0x789 0xABC
    const auto data = EncodeHuffmanM4Camfile(bytes, 2, 0);
    std::vector<uint8_t> buffer(6, 0xEE);
    EXPECT_TRUE(ReadCamfileHuffmanM4(CamfileHeader(6), data.data(), data.size(), buffer.data(), 6, nullptr, nullptr));
    EXPECT_EQ(buffer, bytes);
}

TEST(HuffmanM4Test, CamfileTailIsZeroedWithinTheBufferOnly)
{
    std::vector<uint8_t> bytes(100);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t(i * 7 + 1);
    // 100 bytes take 67 values, so 9 rows of 8 values: 108 decoded bytes.
    const auto data = EncodeHuffmanM4Camfile(bytes, 8, 512);
    struct Case {
        uint32_t dataLength, bufferLength;
    };
    for (const Case c : {Case{90, 108}, Case{90, 95}, Case{100, 50}, Case{200, 108}}) {
        std::vector<uint8_t> buffer(c.bufferLength, 0xEE);  // exactly the given length: no room to overrun
        ASSERT_TRUE(ReadCamfileHuffmanM4(CamfileHeader(c.dataLength), data.data(), data.size(), buffer.data(),
                                         c.bufferLength, nullptr, nullptr));
        for (uint32_t i = 0; i < c.bufferLength; ++i) {
            const uint8_t expected = i < c.dataLength && i < bytes.size() ? bytes[i] : 0;
            ASSERT_EQ(buffer[i], expected) << "byte " << i << " of " << c.bufferLength << ", data length "
                                           << c.dataLength;
        }
    }
}

TEST(HuffmanM4Test, CancelStopsAfterTheCurrentRowAndLeavesTheRestZero)
{
    std::vector<uint16_t> samples(8 * 5 * 3, 1234);
    const auto data = EncodeHuffmanM4Image(8, 5, samples, {0, 0, 0});
    Pixmap48S pixmap(8, 5);
    std::atomic<char> cancel{1};
    double progress = 0;
    EXPECT_FALSE(Decode(data, 8, 5, pixmap, &progress, &cancel));
    EXPECT_DOUBLE_EQ(progress, 0.2);
    EXPECT_EQ(pixmap.At(7, 0).b, 1234);
    EXPECT_EQ(pixmap.At(0, 1).r, 0);
    EXPECT_EQ(pixmap.At(7, 4).b, 0);
}

TEST(HuffmanM4Test, MalformedDataNeverReadsOutside)
{
    // Too short for the header.
    std::vector<uint8_t> shortData(47, 0);
    Pixmap48S pixmap(4, 4);
    EXPECT_THROW(Decode(shortData, 4, 4, pixmap), FExceptionPdxbReader);
    std::vector<uint8_t> buffer(16);
    EXPECT_THROW(ReadCamfileHuffmanM4(CamfileHeader(16), shortData.data(), 43, buffer.data(), 16, nullptr, nullptr),
                 FExceptionPdxbReader);

    // Plane sizes far beyond the data, a grid far larger than the buffer, and
    // random bytes: the decoders stop where the data ends.
    std::vector<uint16_t> samples(4 * 4 * 3, 77);
    auto data = EncodeHuffmanM4Image(4, 4, samples, {0, 0, 0});
    data[36] = data[37] = data[38] = data[39] = 0xFF;
    EXPECT_TRUE(Decode(data, 4, 4, pixmap));
    EXPECT_EQ(pixmap.At(3, 3).r, 77);
    EXPECT_EQ(pixmap.At(3, 3).g, 0);

    auto camfile = EncodeHuffmanM4Camfile(std::vector<uint8_t>(30, 9), 4, 0);
    camfile[4] = camfile[5] = camfile[6] = camfile[7] = 0xFF;  // columns
    camfile[8] = camfile[9] = camfile[10] = camfile[11] = 0xFF;  // rows
    EXPECT_TRUE(ReadCamfileHuffmanM4(CamfileHeader(16), camfile.data(), camfile.size(), buffer.data(), 16, nullptr,
                                     nullptr));

    std::mt19937 random(11);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<uint8_t> noise(48 + random() % 200);
        for (uint8_t& b : noise)
            b = uint8_t(random());
        Pixmap48S target(9, 7);
        EXPECT_TRUE(Decode(noise, 9, 7, target));
        EXPECT_TRUE(ReadCamfileHuffmanM4(CamfileHeader(uint32_t(random() % 64)), noise.data(), noise.size(),
                                         buffer.data(), 16, nullptr, nullptr));
    }
}

TEST(HuffmanM4Test, RequiresItsFormatAndAFittingPixmap)
{
    const auto data = EncodeHuffmanM4Image(4, 4, std::vector<uint16_t>(48, 1), {0, 0, 0});
    PdxbImageHeader header = ImageHeader(4, 4);
    header.m_iPixelFormat = 0;
    Pixmap48S pixmap(4, 4);
    EXPECT_THROW(ReadImageHuffmanM4(header, data.data(), data.size(), pixmap.Get(), nullptr, nullptr), FException);
    Pixmap48S small(4, 3);
    EXPECT_THROW(Decode(data, 4, 4, small), FExceptionPdxbReader);
    TestPixmap<FPixelClass48RGB> unsignedPixmap(4, 4);
    EXPECT_THROW(ReadImageHuffmanM4(ImageHeader(4, 4), data.data(), data.size(), unsignedPixmap.Get(), nullptr,
                                    nullptr),
                 FExceptionPdxbReader);
}
