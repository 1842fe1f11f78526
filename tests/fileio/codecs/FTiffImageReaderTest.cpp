#include "fileio/codecs/FTiffImageReader.h"

#include <tiffio.h>

#include <cstring>
#include <functional>

#include "fileio/codecs/FTiffLineWriter.h"
#include "fileio/codecs/TiffIO.h"
#include "foundation/FException.h"
#include "foundation/FPropTree.h"
#include "foundation/FValueTypes.h"
#include "support/ExifBytes.h"
#include "support/ImageFileTest.h"

using namespace testsupport;

namespace {

uint16_t Word(const uint8_t* p)
{
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

uint32_t Word32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// A file written by libtiff itself, for layouts our writer never makes.
struct RawTiff {
    uint32_t columns = 4;
    uint32_t rows = 3;
    uint16_t bitsPerSample = 8;
    uint16_t samplesPerPixel = 3;
    uint16_t photometric = PHOTOMETRIC_RGB;
    uint16_t planar = PLANARCONFIG_CONTIG;
    uint16_t compression = COMPRESSION_NONE;
    uint32_t rowsPerStrip = 0;  // the library's default when 0
    std::vector<uint16_t> extraSamples;
    std::function<void(TIFF*)> extraTags;
    Bytes pixels;  // rows x scanline, random when empty
};

class FTiffImageReaderTest : public ImageFileTest {
protected:
    Bytes WriteRaw(const std::string& name, RawTiff desc)
    {
        const size_t scanline = size_t{desc.columns} * desc.samplesPerPixel * desc.bitsPerSample / 8;
        if (desc.pixels.empty()) {
            const TestPixmap<> random = MakePixmap(FPixmap::PIXEL_8_MONO, int32_t(scanline), int32_t(desc.rows), 17);
            desc.pixels = random.bytes;
        }
        TIFF* tiff = TiffOpenFile(UrlOf(name), "w");
        EXPECT_NE(tiff, nullptr);
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, desc.columns);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, desc.rows);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, desc.bitsPerSample);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, desc.samplesPerPixel);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, desc.photometric);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, desc.planar);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, desc.compression);
        if (desc.rowsPerStrip != 0)
            TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, desc.rowsPerStrip);
        if (!desc.extraSamples.empty())
            TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, uint16_t(desc.extraSamples.size()), desc.extraSamples.data());
        if (desc.extraTags)
            desc.extraTags(tiff);
        const size_t written = desc.planar == PLANARCONFIG_CONTIG ? scanline : scanline / desc.samplesPerPixel;
        for (uint32_t y = 0; y < desc.rows; ++y)
            EXPECT_EQ(TIFFWriteScanline(tiff, desc.pixels.data() + y * scanline, y, 0), 1);
        (void)written;
        EXPECT_TRUE(TiffCloseFile(tiff));
        return desc.pixels;
    }

    void WriteWithWriter(const std::string& name, const TestPixmap<>& source)
    {
        FTiffLineWriter writer(UrlOf(name), false);
        writer.SetDimensions(source->m_iColumns, source->m_iRows, source->GetPixelType());
        for (int32_t y = 0; y < source->m_iRows; ++y)
            writer.WriteLine(source->GetRow(y), source->GetPixelType());
    }

    TestPixmap<> Read(const std::string& name, int32_t destinationType, int32_t scale = 0, int32_t* fileType = nullptr)
    {
        FTiffImageReader reader(UrlOf(name));
        reader.SetScale(scale);
        uint32_t columns = 0;
        uint32_t rows = 0;
        int32_t type = 0;
        reader.GetDimensions(columns, rows, type);
        if (fileType)
            *fileType = type;
        // Exactly the output size, so that a row written too long is caught.
        TestPixmap<> result = MakePixmap(destinationType, int32_t(columns), int32_t(rows), 5);
        reader.ReadImage(result.get());
        return result;
    }
};

TEST_F(FTiffImageReaderTest, GreyFileIntoEveryGreyType)
{
    const TestPixmap<> source = MakePixmap(FPixmap::PIXEL_16_MONO, 5, 2, 3);
    WriteWithWriter("grey16.tif", source);
    struct Case {
        int32_t type;
        std::function<uint32_t(uint16_t)> rule;
    };
    const Case cases[] = {
        {FPixmap::PIXEL_8_MONO, [](uint16_t v) { return uint32_t(v >> 8); }},
        {FPixmap::PIXEL_12_MONO, [](uint16_t v) { return uint32_t(v >> 4); }},
        {FPixmap::PIXEL_16_MONO, [](uint16_t v) { return uint32_t(v); }},
        {FPixmap::PIXEL_16S_MONO, [](uint16_t v) { return uint32_t(v); }},
        {FPixmap::PIXEL_32_MONO, [](uint16_t v) { return uint32_t(v >> 4); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        const TestPixmap<> back = Read("grey16.tif", c.type);
        const int32_t bytes = FPixelTypeBytes(c.type);
        for (int32_t y = 0; y < 2; ++y)
            for (int32_t x = 0; x < 5; ++x) {
                const uint8_t* out = back->GetRow(y) + x * bytes;
                const uint32_t value = bytes == 1 ? *out : bytes == 2 ? Word(out) : Word32(out);
                EXPECT_EQ(value, c.rule(Word(source->GetRow(y) + 2 * x)));
            }
    }
}

TEST_F(FTiffImageReaderTest, ReductionAveragesOneRowInEveryFactor)
{
    // 5 x 3 at n = 1 gives 2 x 1 from file row 0; the fifth column is dropped.
    for (int32_t type : {FPixmap::PIXEL_24_RGB, FPixmap::PIXEL_48_RGB, FPixmap::PIXEL_16_MONO, FPixmap::PIXEL_30_RGBL}) {
        SCOPED_TRACE(type);
        const TestPixmap<> source = MakePixmap(type, 5, 3, 11);
        WriteWithWriter("reduce.tif", source);
        const TestPixmap<> back = Read("reduce.tif", type, 1);
        ASSERT_EQ(back->m_iColumns, 2);
        ASSERT_EQ(back->m_iRows, 1);
        const uint8_t* row = source->GetRow(0);
        for (int32_t j = 0; j < 2; ++j) {
            const uint8_t* a = row + 2 * j * FPixelTypeBytes(type);
            const uint8_t* b = a + FPixelTypeBytes(type);
            const uint8_t* out = back->GetRow(0) + j * FPixelTypeBytes(type);
            if (type == FPixmap::PIXEL_30_RGBL) {
                FPixelClass30RGBL pa, pb, expected;
                std::memcpy(&pa, a, 4);
                std::memcpy(&pb, b, 4);
                const FIntTriple ta = pa, tb = pb;
                expected = FIntTriple((ta.r + tb.r) / 2, (ta.g + tb.g) / 2, (ta.b + tb.b) / 2);
                EXPECT_EQ(Word32(out), expected.word);
            } else if (type == FPixmap::PIXEL_24_RGB) {
                for (int c = 0; c < 3; ++c)
                    EXPECT_EQ(out[c], (a[c] + b[c]) / 2);
            } else {
                for (int c = 0; c < FPixelTypeBytes(type) / 2; ++c)
                    EXPECT_EQ(Word(out + 2 * c), (Word(a + 2 * c) + Word(b + 2 * c)) / 2);
            }
        }
    }
}

TEST_F(FTiffImageReaderTest, ColourFilesIntoTheReadersOwn32BitLayouts)
{
    // 32ABGR is 255, B, G, R and 32RGBA is R, G, B, 255, from the high 8 bits.
    for (int32_t fileType : {FPixmap::PIXEL_24_RGB, FPixmap::PIXEL_30_RGBL, FPixmap::PIXEL_48_RGB}) {
        SCOPED_TRACE(fileType);
        const TestPixmap<> source = MakePixmap(fileType, 3, 1, 23);
        WriteWithWriter("colour.tif", source);
        const TestPixmap<> abgr = Read("colour.tif", FPixmap::PIXEL_32_ABGR);
        const TestPixmap<> rgba = Read("colour.tif", FPixmap::PIXEL_32_RGBA);
        for (int32_t x = 0; x < 3; ++x) {
            const uint8_t* in = source->GetRow(0) + x * FPixelTypeBytes(fileType);
            uint8_t rgb[3];
            for (int c = 0; c < 3; ++c)
                rgb[c] = fileType == FPixmap::PIXEL_48_RGB ? in[2 * c + 1] : in[c];
            EXPECT_EQ(abgr.Row(0)[4 * x], 255);
            EXPECT_EQ(abgr.Row(0)[4 * x + 1], rgb[2]);
            EXPECT_EQ(abgr.Row(0)[4 * x + 3], rgb[0]);
            EXPECT_EQ(rgba.Row(0)[4 * x], rgb[0]);
            EXPECT_EQ(rgba.Row(0)[4 * x + 2], rgb[2]);
            EXPECT_EQ(rgba.Row(0)[4 * x + 3], 255);
        }
    }
}

TEST_F(FTiffImageReaderTest, RefusedReadsNameTheirReason)
{
    WriteWithWriter("rgb.tif", MakePixmap(FPixmap::PIXEL_24_RGB, 4, 4));
    WriteWithWriter("grey16.tif", MakePixmap(FPixmap::PIXEL_16_MONO, 4, 4));
    WriteWithWriter("grey8.tif", MakePixmap(FPixmap::PIXEL_8_MONO, 4, 4));
    struct Case {
        const char* file;
        int32_t destination;
        int32_t scale;
        const char* message;
    };
    const Case cases[] = {
        {"rgb.tif", FPixmap::PIXEL_30_BGRL, 0, "NOT IMPLEMENTED"},
        {"rgb.tif", FPixmap::PIXEL_16_MONO, 0, "Unknown dest pixel type"},
        {"grey16.tif", FPixmap::PIXEL_24_RGB, 0, "Unknown dest pixel type"},
        {"grey8.tif", FPixmap::PIXEL_16_MONO, 0, "TiffReader: Unknown destination pixel type"},
        {"grey8.tif", FPixmap::PIXEL_8_MONO, 1, "TiffReader:Scaling: Unknown source pixel type"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.file << " into " << c.destination);
        EXPECT_EQ(MessageOf<FExceptionUnknownPixelType>([&] { Read(c.file, c.destination, c.scale); }),
                  c.message);
    }
    EXPECT_EQ(Read("grey8.tif", FPixmap::PIXEL_8_MONO).bytes, MakePixmap(FPixmap::PIXEL_8_MONO, 4, 4).bytes);

    FTiffImageReader reader(UrlOf("rgb.tif"));
    const TestPixmap<> small = MakePixmap(FPixmap::PIXEL_24_RGB, 3, 4);
    EXPECT_THROW(reader.ReadImage(small.get()), FExceptionPixmapTooSmall);
}

TEST_F(FTiffImageReaderTest, SeparatePlanesFailOnTheFirstRowNotAtOpen)
{
    RawTiff desc;
    desc.planar = PLANARCONFIG_SEPARATE;
    desc.samplesPerPixel = 3;
    desc.pixels.assign(size_t(desc.columns) * 3 * desc.rows, 0);
    WriteRaw("planar.tif", desc);
    FTiffImageReader reader(UrlOf("planar.tif"));
    uint32_t columns = 0, rows = 0;
    int32_t type = 0;
    reader.GetDimensions(columns, rows, type);
    EXPECT_EQ(type, FPixmap::PIXEL_24_RGB);
    const TestPixmap<> out = MakePixmap(FPixmap::PIXEL_24_RGB, 4, 3);
    EXPECT_EQ(MessageOf<FExceptionUnknownPixelType>([&] { reader.ReadImage(out.get()); }),
              "Tiff planar config is not contiguous");
}

// A fourth sample that no ExtraSamples tag declares leaves the file typed as
// plain RGB: its pixels are read through the file's own stride, and no row
// ever runs past the end of its pixmap row.
TEST_F(FTiffImageReaderTest, UndeclaredSamplesAreSkippedThroughTheFileStride)
{
    struct Case {
        uint16_t bits;
        uint16_t samples;
        std::vector<uint16_t> extra;
        int32_t type;
    };
    const Case cases[] = {
        {8, 4, {}, FPixmap::PIXEL_24_RGB},
        {16, 4, {}, FPixmap::PIXEL_48_RGB},
        {8, 4, {EXTRASAMPLE_UNSPECIFIED}, FPixmap::PIXEL_30_RGBL},
        {16, 4, {EXTRASAMPLE_UNSPECIFIED}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, " << c.samples << " samples");
        RawTiff desc;
        desc.columns = 6;
        desc.bitsPerSample = c.bits;
        desc.samplesPerPixel = c.samples;
        desc.extraSamples = c.extra;
        const Bytes pixels = WriteRaw("samples.tif", desc);
        if (c.type == 0) {
            EXPECT_EQ(MessageOf<FExceptionUnknownPixelType>([&] { Read("samples.tif", 15); }),
                      "TiffReader: Unknown destination pixel type");
            continue;
        }
        const size_t stride = size_t{c.samples} * c.bits / 8;
        const size_t keep = size_t(FPixelTypeBytes(c.type));
        int32_t fileType = 0;
        // Read() makes pixmaps of exactly the output size.
        const TestPixmap<> full = Read("samples.tif", c.type, 0, &fileType);
        EXPECT_EQ(fileType, c.type);
        for (size_t i = 0; i < size_t{desc.columns} * desc.rows; ++i)
            EXPECT_EQ(Bytes(full.bytes.begin() + i * keep, full.bytes.begin() + (i + 1) * keep),
                      Bytes(pixels.begin() + i * stride, pixels.begin() + i * stride + keep));
        const TestPixmap<> half = Read("samples.tif", c.type, 1);
        EXPECT_EQ(half->m_iColumns, 3);
        const TestPixmap<> display = Read("samples.tif", FPixmap::PIXEL_32_BGRA);
        EXPECT_EQ(display->m_iColumns, 6);
    }
}

TEST_F(FTiffImageReaderTest, CompressedFilesReadLikeUncompressedOnes)
{
    RawTiff desc;
    desc.columns = 40;
    desc.rows = 9;
    desc.compression = COMPRESSION_LZW;
    const Bytes pixels = WriteRaw("lzw.tif", desc);
    EXPECT_EQ(Read("lzw.tif", FPixmap::PIXEL_24_RGB).bytes, pixels);
}

// Row j*f of a full read, each output pixel the truncated mean of f pixels,
// computed the plain way: per sample, or through the integer triple for 30RGBL.
Bytes ReduceInTest(const TestPixmap<>& full, int32_t type, uint32_t factor)
{
    const size_t pixelBytes = size_t(FPixelTypeBytes(type));
    const uint32_t columns = uint32_t(full->m_iColumns) / factor;
    const uint32_t rows = uint32_t(full->m_iRows) / factor;
    Bytes out;
    for (uint32_t i = 0; i < rows; ++i) {
        const uint8_t* row = full->GetRow(int32_t(i * factor));
        for (uint32_t j = 0; j < columns; ++j) {
            const uint8_t* first = row + size_t(j) * factor * pixelBytes;
            uint8_t pixel[6] = {};
            if (type == FPixmap::PIXEL_30_RGBL) {
                int sums[3] = {};
                for (uint32_t k = 0; k < factor; ++k) {
                    FPixelClass30RGBL in;
                    std::memcpy(&in, first + k * 4, 4);
                    const FIntTriple t = in;
                    sums[0] += t.r, sums[1] += t.g, sums[2] += t.b;
                }
                FPixelClass30RGBL mean;
                mean = FIntTriple(sums[0] / int(factor), sums[1] / int(factor), sums[2] / int(factor));
                std::memcpy(pixel, &mean, 4);
            } else {
                const bool wide = type != FPixmap::PIXEL_24_RGB;
                for (size_t c = 0; c < pixelBytes / (wide ? 2 : 1); ++c) {
                    uint32_t sum = 0;
                    for (uint32_t k = 0; k < factor; ++k)
                        sum += wide ? Word(first + k * pixelBytes + 2 * c) : first[k * pixelBytes + c];
                    const uint16_t mean = uint16_t(sum / factor);
                    if (wide)
                        std::memcpy(pixel + 2 * c, &mean, 2);
                    else
                        pixel[c] = uint8_t(mean);
                }
            }
            out.insert(out.end(), pixel, pixel + pixelBytes);
        }
    }
    return out;
}

// Compressed strips decode only from their start: every reduction of every
// layout, with strips that do not line up with the reduction, reads as the
// full image reduced here.
TEST_F(FTiffImageReaderTest, ReducedReadsOfCompressedFilesMatchTheFullReadReduced)
{
    struct Layout {
        const char* name;
        uint16_t bits;
        uint16_t samples;
        uint16_t photometric;
        std::vector<uint16_t> extra;
        int32_t type;
    };
    const Layout layouts[] = {
        {"rgb8", 8, 3, PHOTOMETRIC_RGB, {}, FPixmap::PIXEL_24_RGB},
        {"rgba8", 8, 4, PHOTOMETRIC_RGB, {EXTRASAMPLE_UNASSALPHA}, FPixmap::PIXEL_30_RGBL},
        {"rgb16", 16, 3, PHOTOMETRIC_RGB, {}, FPixmap::PIXEL_48_RGB},
        {"grey16", 16, 1, PHOTOMETRIC_MINISBLACK, {}, FPixmap::PIXEL_16_MONO},
    };
    for (const uint16_t compression : {COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE, COMPRESSION_PACKBITS})
        for (const Layout& layout : layouts) {
            SCOPED_TRACE(testing::Message() << layout.name << ", compression " << compression);
            RawTiff desc;
            desc.columns = 37;
            desc.rows = 29;
            desc.rowsPerStrip = 5;
            desc.bitsPerSample = layout.bits;
            desc.samplesPerPixel = layout.samples;
            desc.photometric = layout.photometric;
            desc.extraSamples = layout.extra;
            desc.compression = compression;
            WriteRaw("packed.tif", desc);
            const TestPixmap<> full = Read("packed.tif", layout.type);
            for (int32_t n = 1; n <= 3; ++n) {
                SCOPED_TRACE(n);
                EXPECT_EQ(Read("packed.tif", layout.type, n).bytes, ReduceInTest(full, layout.type, 1u << n));
            }
        }
}

// The alpha of an RGBA file shares its byte with the low colour bits of a
// 30RGBL word: it must reach neither a full nor a reduced read.
TEST_F(FTiffImageReaderTest, AlphaNeverReachesTheColour)
{
    RawTiff desc;
    desc.columns = 16;
    desc.rows = 4;
    desc.samplesPerPixel = 4;
    desc.extraSamples = {EXTRASAMPLE_ASSOCALPHA};
    desc.compression = COMPRESSION_LZW;
    const Bytes pixels = WriteRaw("alpha.tif", desc);
    Bytes colour;  // the RGB samples as 30RGBL words without low bits
    for (size_t i = 0; i < pixels.size(); i += 4)
        colour.insert(colour.end(), {pixels[i], pixels[i + 1], pixels[i + 2], 0});
    EXPECT_EQ(Read("alpha.tif", FPixmap::PIXEL_30_RGBL).bytes, colour);
    for (int32_t n = 1; n <= 2; ++n) {
        const uint32_t f = 1u << n;
        Bytes means;
        for (uint32_t i = 0; i < desc.rows / f; ++i)
            for (uint32_t j = 0; j < desc.columns / f; ++j)
                for (size_t c = 0; c < 3; ++c) {
                    uint32_t sum = 0;
                    for (uint32_t k = 0; k < f; ++k)
                        sum += pixels[(size_t(i) * f * desc.columns + j * f + k) * 4 + c];
                    means.push_back(uint8_t(sum / f));
                }
        EXPECT_EQ(Read("alpha.tif", FPixmap::PIXEL_24_RGB, n).bytes, means) << n;
    }
}

// A strip that does not decode fails in the TIFF family, naming its row.
TEST_F(FTiffImageReaderTest, DamagedStripFailsAsATiffError)
{
    RawTiff desc;
    desc.columns = 40;
    desc.rows = 12;
    desc.rowsPerStrip = 4;
    desc.compression = COMPRESSION_LZW;
    WriteRaw("damaged.tif", desc);
    Bytes file = FileBytes("damaged.tif");
    const auto directory = ReadTiffDirectory(file);
    const uint32_t secondStrip = TiffNumber(file, directory.at(TIFFTAG_STRIPOFFSETS), 1);
    const uint32_t length = TiffNumber(file, directory.at(TIFFTAG_STRIPBYTECOUNTS), 1);
    std::fill_n(file.begin() + secondStrip, length, uint8_t(0xFF));
    WriteBytes("damaged.tif", file);
    for (int32_t n : {0, 1}) {
        SCOPED_TRACE(n);
        const std::string message = MessageOf<FExceptionTIFF>([&] { Read("damaged.tif", FPixmap::PIXEL_24_RGB, n); });
        EXPECT_EQ(message.rfind("TIFFReadScanline failed at row ", 0), 0u) << message;
    }
}

TEST_F(FTiffImageReaderTest, PropertiesWithoutExif)
{
    RawTiff desc;
    desc.extraTags = [](TIFF* tiff) {
        TIFFSetField(tiff, TIFFTAG_MAKE, "TALVO");
        TIFFSetField(tiff, TIFFTAG_MODEL, "HV7");
        TIFFSetField(tiff, TIFFTAG_SOFTWARE, "Tool");
        TIFFSetField(tiff, TIFFTAG_DATETIME, "2009:03:04 05:06:07");
    };
    WriteRaw("plain.tif", desc);
    FTiffImageReader reader(UrlOf("plain.tif"));
    reader.SetScale(1);  // the properties give the file's own size
    FPropTree tree(nullptr, "props");
    reader.GetProperties(&tree);
    std::vector<std::pair<std::string, std::string>> pairs;
    for (FPropPair* pair = tree.GetFirstPair(); pair; pair = pair->GetNext())
        pairs.emplace_back(pair->m_sKey.GetAscii(), pair->m_sValue.GetAscii());
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"ROWS", "3"},         {"COLS", "4"},     {"CAMMANUF", "TALVO"},
        {"CAMMODEL", "HV7"},   {"rpSoftware", "Tool"}, {"EXIF_DATETIME", "1236143167"}};
    EXPECT_EQ(pairs, expected);
}

// The EXIF block's byte order is the file's, also for an IFD of 256 entries,
// whose first byte (0) would look big-endian.
TEST_F(FTiffImageReaderTest, ExifBlockIsReadInTheFilesByteOrder)
{
    ExifBytes exif(false);
    std::vector<decltype(exif.Long(0, 0))> entries = {exif.Long(40962, 77)};
    while (entries.size() < 256)
        entries.push_back(exif.Short(274, 1));
    exif.AppendIfd(entries);
    const Bytes block = exif.Bytes();
    RawTiff desc;
    desc.extraTags = [&](TIFF* tiff) { EXPECT_TRUE(TiffWriteExifBlock(tiff, block.data(), uint32_t(block.size()))); };
    WriteRaw("exif.tif", desc);
    FTiffImageReader reader(UrlOf("exif.tif"));
    FPropTree tree(nullptr, "props");
    reader.GetProperties(&tree);
    EXPECT_EQ(tree.GetInt(u"COLS", 0), 77);  // the EXIF pair comes first
}

TEST_F(FTiffImageReaderTest, FilesThatCannotBeOpened)
{
    WriteBytes("text.tif", Bytes{'h', 'e', 'l', 'l', 'o'});
    for (const char* name : {"missing.tif", "text.tif"}) {
        const FString url = UrlOf(name);
        EXPECT_EQ(MessageOf<FExceptionFileNotFound>([&] { FTiffImageReader reader(url); }),
                  "TiffImageReader: Cannot open file '" + std::string(WideToAnsi(url.GetText()).get()) + "'");
    }
}

} // namespace
