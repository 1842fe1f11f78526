// The decoders reached through the raw container reader: images of each
// decoding path and camfiles, plain and HuffmanM4-coded, whose bytes parse as camera data.
#include "fileio/container/CambData.h"
#include "fileio/container/HuffmanM4.h"
#include "fileio/container/PdxbImageIO.h"
#include "foundation/FPixmap.h"
#include "foundation/FValueTypes.h"
#include "support/CamdataWriter.h"
#include "support/HuffmanEncoder.h"
#include "support/HuffmanM4Encoder.h"
#include "support/PdxbFileTest.h"
#include "support/PixelFormatEncoder.h"
#include "support/TestPixmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

class PdxbDecodeThroughReaderTest : public PdxbFileTest {
protected:
    // Decodes image 0 of the file.
    template <class PixelClass>
    bool Decode(const FString& url, TestPixmap<PixelClass>& pixmap, double* progress)
    {
        FPdxbImageReader reader(url);
        return reader.GetImage(0, pixmap.Get(), progress, nullptr);
    }
};

} // namespace

TEST_F(PdxbDecodeThroughReaderTest, EachDecodingPathDeliversTheImage)
{
    std::mt19937 random(8);
    const uint32_t columns = 21, rows = 9;
    std::vector<uint16_t> samples(size_t(columns) * rows * 3);
    for (uint16_t& s : samples)
        s = uint16_t(100 + random() % 300);  // every step is on the default curve
    std::vector<uint8_t> bytes(samples.size() * 2);
    std::memcpy(bytes.data(), samples.data(), bytes.size());

    struct Case {
        uint32_t format, rowSize, version;
        std::vector<uint8_t> data;
    };
    const FixedRows fixed = EncodeFixedRows(13, columns, rows, bytes);
    const std::vector<Case> cases = {
        {13, fixed.rowSize, PdxbVersion(2, 0), fixed.data},
        {6, 0, PdxbVersion(3, 0), EncodeHuffmanImage(6, columns, rows, bytes).data},
        {30, 0, PdxbVersion(2, 0), EncodeHuffmanM4Image(columns, rows, samples, {100, 200, 300})},
    };
    for (const Case& c : cases) {
        PdxbBuilder builder;
        PdxbImageSpec image;
        image.version = c.version;
        image.pixelFormat = c.format;
        image.columns = columns;
        image.rows = rows;
        image.rowSize = c.rowSize;
        image.data = c.data;
        builder.AddImage(image);
        const FString url = Write(builder.Build(), "format" + std::to_string(c.format) + ".kvr");

        double progress = 0;
        if (c.format == 13) {
            TestPixmap<FPixelClass48RGB> pixmap{int32_t(columns), int32_t(rows)};
            EXPECT_TRUE(Decode(url, pixmap, &progress));
            EXPECT_EQ(pixmap.Bytes(int32_t(columns), int32_t(rows)), bytes) << "format " << c.format;
        } else {
            TestPixmap<FPixelClass48SRGB> pixmap{int32_t(columns), int32_t(rows)};
            EXPECT_TRUE(Decode(url, pixmap, &progress));
            EXPECT_EQ(pixmap.Bytes(int32_t(columns), int32_t(rows)), bytes) << "format " << c.format;
        }
        EXPECT_EQ(progress, 1.0);
    }
}

// The reader streams HuffmanM4 planes from the file through windows of about
// a megabyte: planes of several megabytes, intact or with a damaged stretch
// well past the first window (where a plane ends early), decode from the file
// exactly as from the section's bytes in memory.
TEST_F(PdxbDecodeThroughReaderTest, HuffmanM4PlanesLargerThanTheReadWindow)
{
    std::mt19937 random(31);
    const uint32_t columns = 1500, rows = 1000;
    std::vector<uint16_t> samples(size_t(columns) * rows * 3);
    for (uint16_t& s : samples)
        s = uint16_t(random() % 4096);
    const std::vector<uint8_t> intact = EncodeHuffmanM4Image(columns, rows, samples, {7, 8, 9});
    ASSERT_GT(intact.size(), size_t(6) << 20);
    std::vector<uint8_t> damaged = intact;
    std::fill_n(damaged.begin() + long(damaged.size() / 2), 64, uint8_t(0xFF));

    for (const std::vector<uint8_t>* data : {&intact, static_cast<const std::vector<uint8_t>*>(&damaged)}) {
        SCOPED_TRACE(data == &intact ? "intact" : "damaged");
        PdxbBuilder builder;
        PdxbImageSpec image;
        image.pixelFormat = PDXB_PIXEL_HUFFMAN_M4;
        image.columns = columns;
        image.rows = rows;
        image.data = *data;
        builder.AddImage(image);
        const FString url = Write(builder.Build());

        TestPixmap<FPixelClass48SRGB> fromFile{int32_t(columns), int32_t(rows)};
        EXPECT_TRUE(Decode(url, fromFile, nullptr));
        TestPixmap<FPixelClass48SRGB> fromMemory{int32_t(columns), int32_t(rows)};
        PdxbImageHeader header{};
        header.m_iPixelFormat = PDXB_PIXEL_HUFFMAN_M4;
        header.m_iColumns = columns;
        header.m_iRows = rows;
        EXPECT_TRUE(ReadImageHuffmanM4(header, data->data(), data->size(), fromMemory.get(), nullptr, nullptr));
        EXPECT_TRUE(fromFile.bytes == fromMemory.bytes);
        EXPECT_EQ(std::memcmp(fromFile.bytes.data(), samples.data(), fromFile.bytes.size()) == 0, data == &intact);
    }
}

// Camera data written as a container, stored plain or HuffmanM4-coded in a
// camfile of either section version, read back by the size the reader reports
// and parsed. Decoded HuffmanM4 bytes end in zeros up to whole rows, which the
// container must take.
TEST_F(PdxbDecodeThroughReaderTest, CamfilesBecomeCameraData)
{
    CamdataWriter writer;
    writer.AddFloats("SpatialDQ", {1}, {4.0f});
    writer.AddInt32s("ActiveImageArea", {4}, {2, 2, 97, 97});
    writer.AddText("Model", "TALVO KT9");
    writer.AddProperties("Modes", {{"Standard", "1"}});

    struct Case {
        const char* form;
        std::vector<uint8_t> container;
        uint32_t version;
        uint32_t type;
        uint32_t columns;  // of the coded grid
    };
    const Case cases[] = {
        {"plain block run", writer.BuildRun(false), PdxbVersion(2, 0), 1, 0},
        {"plain big-endian camfile", writer.BuildCamfile(true, 2), PdxbVersion(3, 0), 0, 0},
        {"coded block run", writer.BuildRun(false), PdxbVersion(2, 0), 4, 16},
        {"coded camfile", writer.BuildCamfile(false, 1), PdxbVersion(2, 0), 4, 64},
        {"coded camfile", writer.BuildCamfile(false, 2), PdxbVersion(3, 0), 4, 64},
        {"coded big-endian camfile", writer.BuildCamfile(true, 2), PdxbVersion(3, 0), 4, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.form) + ", section version " + std::to_string(c.version >> 16));
        const bool coded = c.type == 4;
        PdxbBuilder builder;
        PdxbCamfileSpec camfile;
        camfile.version = c.version;
        camfile.type = c.type;
        camfile.dataLength = uint32_t(c.container.size());
        camfile.data = coded ? EncodeHuffmanM4Camfile(c.container, c.columns, 5) : c.container;
        builder.AddCamfile(camfile);
        FPdxbImageReader reader(Write(builder.Build()));

        uint32_t size = 0;
        int32_t kind = 0;
        reader.GetCamfileInfo(0, size, kind);
        EXPECT_EQ(kind, coded ? 1 : int32_t(c.type));
        if (coded) {
            const uint32_t rows = uint32_t((c.container.size() * 8 + 12 * c.columns - 1) / (12 * c.columns));
            ASSERT_EQ(size, rows * c.columns * 12 / 8) << "the decoded size, not the coded one";
            ASSERT_GT(size, c.container.size()) << "the case must leave padding";
        } else {
            ASSERT_EQ(size, c.container.size());
        }

        std::vector<uint8_t> buffer(size, 0xEE);
        ASSERT_EQ(reader.ReadCamfile(0, buffer.data(), size, nullptr, nullptr), size);
        EXPECT_TRUE(std::equal(c.container.begin(), c.container.end(), buffer.begin()));
        EXPECT_TRUE(std::all_of(buffer.begin() + long(c.container.size()), buffer.end(),
                                [](uint8_t b) { return b == 0; }));

        const FCamdata camdata(buffer.data(), buffer.size());
        EXPECT_EQ(CamdataGetFloat(&camdata, "SpatialDQ"), 4.0f);
        EXPECT_EQ(CamdataGetRect(&camdata, "ActiveImageArea").right, 98);
        uint32_t length = 0;
        const uint8_t* model = CamdataGetText(&camdata, "Model", &length);
        ASSERT_NE(model, nullptr);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(model), length), "TALVO KT9");
    }
}
