#include "fileio/codecs/FJPEGImageReader.h"

#include "fileio/codecs/ImageRowConverters.h"
#include "foundation/FException.h"
#include "foundation/FPropTree.h"
#include "foundation/PixelConversion.h"
#include "support/ExifBytes.h"
#include "support/ImageFileTest.h"

using namespace testsupport;

namespace {

// A picture that compresses like a photograph rather than like noise.
Bytes SmoothPixels(int columns, int rows, int components)
{
    Bytes pixels(size_t(columns) * size_t(rows) * size_t(components));
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            for (int c = 0; c < components; ++c)
                pixels[(size_t(y) * size_t(columns) + size_t(x)) * size_t(components) + size_t(c)] =
                    uint8_t((x * (c + 1) + y * (3 - c) + (x * y) / 97) & 0xFF);
    return pixels;
}

Bytes EncodeSmooth(int columns, int rows, int components, JpegEncodeOptions options = {})
{
    options.colorSpace = components == 1 ? 1 : components == 3 ? 2 : 4;
    return EncodeJpeg(SmoothPixels(columns, rows, components), columns, rows, components, options);
}

// The file with extra markers right after SOI.
Bytes WithMarkers(const Bytes& jpeg, const std::vector<std::pair<uint8_t, Bytes>>& markers)
{
    Bytes out(jpeg.begin(), jpeg.begin() + 2);
    for (const auto& [code, data] : markers) {
        const size_t length = data.size() + 2;
        out.insert(out.end(), {0xFF, code, uint8_t(length >> 8), uint8_t(length)});
        out.insert(out.end(), data.begin(), data.end());
    }
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

Bytes ExifApp1(bool bigEndian)
{
    ExifBytes exif(bigEndian, 6);
    exif.Append({'E', 'x', 'i', 'f', 0, 0});
    exif.Append(bigEndian ? Bytes{'M', 'M', 0, 42, 0, 0, 0, 8} : Bytes{'I', 'I', 42, 0, 8, 0, 0, 0});
    exif.AppendIfd({exif.Long(40962, 55), exif.Ascii(271, "TALVO")});
    return exif.Bytes();
}

class FJPEGImageReaderTest : public ImageFileTest {
protected:
    struct Result {
        uint32_t columns = 0;
        uint32_t rows = 0;
        int32_t type = 0;
        TestPixmap<> pixmap;
    };

    Result Read(const std::string& name, int32_t scale, int32_t destinationType = 0)
    {
        FJPEGImageReader reader(UrlOf(name));
        reader.SetScale(scale);
        Result result;
        reader.GetDimensions(result.columns, result.rows, result.type);
        result.pixmap = MakePixmap(destinationType != 0 ? destinationType : result.type, int32_t(result.columns),
                                   int32_t(result.rows));
        reader.ReadImage(result.pixmap.get());
        return result;
    }

    FPropTree* Properties(const std::string& name)
    {
        m_Tree = std::make_unique<FPropTree>(nullptr, "props");
        FJPEGImageReader reader(UrlOf(name));
        reader.GetProperties(m_Tree.get());
        return m_Tree.get();
    }

    std::unique_ptr<FPropTree> m_Tree;
};

TEST_F(FJPEGImageReaderTest, ScaledReadsMatchTheCodec)
{
    const bool haveDjpeg = ToolAvailable("djpeg");
    for (int components : {3, 1}) {
        const Bytes file = EncodeSmooth(101, 67, components);
        WriteBytes("scaled.jpg", file);
        for (int32_t n = 0; n <= 3; ++n) {
            SCOPED_TRACE(testing::Message() << components << " components, scale 1/" << (1 << n));
            const DecodedJpeg expected = DecodeJpeg(file, n);
            const Result result = Read("scaled.jpg", n);
            EXPECT_EQ(result.columns, expected.columns);
            EXPECT_EQ(result.rows, expected.rows);
            EXPECT_EQ(result.type, components == 3 ? FPixmap::PIXEL_24_RGB : FPixmap::PIXEL_8_MONO);
            EXPECT_EQ(result.pixmap.bytes, expected.pixels);
            if (haveDjpeg) {
                const ToolResult djpeg = RunTool("djpeg -scale 1/" + std::to_string(1 << n) + " " +
                                                 PathOf("scaled.jpg").string() + " 2>/dev/null");
                const auto pnm = ReadPnm(djpeg.output);
                ASSERT_TRUE(pnm.has_value());
                EXPECT_EQ(pnm->columns, result.columns);
                EXPECT_EQ(pnm->pixels, result.pixmap.bytes);
            }
        }
    }
}

TEST_F(FJPEGImageReaderTest, ColourFilesConvertIntoOtherTypes)
{
    WriteBytes("rgb.jpg", EncodeSmooth(33, 9, 3));
    WriteBytes("grey.jpg", EncodeSmooth(33, 9, 1));
    const Result rgb = Read("rgb.jpg", 0);
    for (int32_t type : {FPixmap::PIXEL_32_BGRA, FPixmap::PIXEL_48S_RGB, FPixmap::PIXEL_32_ABGR}) {
        SCOPED_TRACE(type);
        const Result converted = Read("rgb.jpg", 0, type);
        TestPixmap<> expected = MakePixmap(type, 33, 9);
        for (int32_t y = 0; y < 9; ++y)
            ReaderRowConverter(FPixmap::PIXEL_24_RGB, type)(33, rgb.pixmap->GetRow(y), expected->GetRow(y));
        EXPECT_EQ(converted.pixmap.bytes, expected.bytes);
    }
    struct Case {
        const char* file;
        int32_t destination;
        const char* message;
    };
    const Case refused[] = {
        {"rgb.jpg", FPixmap::PIXEL_30_BGRL, "NOT IMPLEMENTED"},
        {"rgb.jpg", FPixmap::PIXEL_16_MONO, "Unknown dest pixel type"},
        {"grey.jpg", FPixmap::PIXEL_24_RGB, "JPEGReader: Unknown source pixel type"},
    };
    for (const Case& c : refused)
        EXPECT_EQ(MessageOf<FExceptionUnknownPixelType>([&] { Read(c.file, 0, c.destination); }), c.message)
            << c.file << " into " << c.destination;
}

TEST_F(FJPEGImageReaderTest, BadFilesFailWithAClearException)
{
    WriteBytes("empty.jpg", {});
    WriteBytes("text.jpg", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'});
    WriteBytes("cmyk.jpg", EncodeSmooth(16, 16, 4));
    WriteBytes("ok.jpg", EncodeSmooth(16, 16, 3));

    EXPECT_EQ(MessageOf<FExceptionJPEG>([&] { FJPEGImageReader reader(UrlOf("empty.jpg")); }),
              "Empty input file");
    EXPECT_NE(MessageOf<FExceptionJPEG>([&] { FJPEGImageReader reader(UrlOf("text.jpg")); })
                  .find("Not a JPEG file"),
              std::string::npos);
    const FString missing = UrlOf("missing.jpg");
    EXPECT_EQ(MessageOf<FExceptionFileNotFound>([&] { FJPEGImageReader reader(missing); }),
              "JPEGImageReader: Cannot open file '" + std::string(WideToAnsi(missing.GetText()).get()) + "'");
    EXPECT_EQ(MessageOf<FExceptionUnknownPixelType>([&] { Read("cmyk.jpg", 0); }),
              "JPEGImageReader: while getting dimensions");

    FJPEGImageReader reader(UrlOf("ok.jpg"));
    uint32_t columns = 0, rows = 0;
    int32_t type = 0;
    reader.GetDimensions(columns, rows, type);
    const TestPixmap<> low = MakePixmap(FPixmap::PIXEL_24_RGB, 16, 15);
    EXPECT_THROW(reader.ReadImage(low.get()), FExceptionJPEGPixmapTooSmall);
}

TEST_F(FJPEGImageReaderTest, TruncatedFileDecodesToTheEnd)
{
    const Bytes full = EncodeSmooth(256, 256, 3);
    WriteBytes("cut.jpg", Bytes(full.begin(), full.begin() + static_cast<ptrdiff_t>(full.size() * 3 / 4)));
    WriteBytes("full.jpg", full);
    const Result cut = Read("cut.jpg", 0);
    const Result whole = Read("full.jpg", 0);
    ASSERT_EQ(cut.rows, 256u);
    // The first block rows arrived complete.
    const ptrdiff_t firstRows = 256 * 3 * 32;
    EXPECT_EQ(Bytes(cut.pixmap.bytes.begin(), cut.pixmap.bytes.begin() + firstRows),
              Bytes(whole.pixmap.bytes.begin(), whole.pixmap.bytes.begin() + firstRows));
    EXPECT_NE(cut.pixmap.bytes, whole.pixmap.bytes);
}

// The coefficients of a progressive file this size need far more than 2 MB:
// the codec's working memory is not capped.
TEST_F(FJPEGImageReaderTest, LargeProgressiveFileDecodes)
{
    JpegEncodeOptions options;
    options.progressive = true;
    const Bytes file = EncodeSmooth(3000, 2000, 3, options);
    WriteBytes("progressive.jpg", file);
    const Result result = Read("progressive.jpg", 0);
    EXPECT_EQ(result.columns, 3000u);
    EXPECT_EQ(result.pixmap.bytes, DecodeJpeg(file, 0).pixels);
}

// The file with the size its frame header claims replaced.
Bytes WithClaimedSize(Bytes jpeg, uint16_t columns, uint16_t rows)
{
    for (size_t i = 2; i + 9 <= jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            jpeg[i + 5] = uint8_t(rows >> 8);
            jpeg[i + 6] = uint8_t(rows);
            jpeg[i + 7] = uint8_t(columns >> 8);
            jpeg[i + 8] = uint8_t(columns);
            return jpeg;
        }
    ADD_FAILURE() << "no frame header";
    return jpeg;
}

// A few hundred bytes can claim a picture of any size. Beyond the codec's
// limit the header is refused; a progressive picture is decoded from a buffer
// of all its full-size coefficients even when read reduced, so one that would
// need gigabytes is refused before decoding instead of exhausting memory.
TEST_F(FJPEGImageReaderTest, OversizedPicturesAreRefused)
{
    WriteBytes("huge.jpg", WithClaimedSize(EncodeSmooth(16, 16, 3), 65535, 100));
    EXPECT_EQ(MessageOf<FExceptionJPEG>([&] { FJPEGImageReader reader(UrlOf("huge.jpg")); }),
              "Maximum supported image dimension is 65500 pixels");

    JpegEncodeOptions progressive;
    progressive.progressive = true;
    WriteBytes("claims.jpg", WithClaimedSize(EncodeSmooth(16, 16, 3, progressive), 24000, 24000));
    EXPECT_EQ(MessageOf<FExceptionJPEG>([&] { Read("claims.jpg", 3); }),
              "JPEGImageReader: the picture is too large to decode");
}

TEST_F(FJPEGImageReaderTest, ExifComesFromTheFirstApp1Only)
{
    const Bytes jpeg = EncodeSmooth(8, 8, 3);
    const std::string xmpText = "http://ns.adobe.com/xap/1.0/";
    const Bytes xmp(xmpText.begin(), xmpText.end());
    WriteBytes("little.jpg", WithMarkers(jpeg, {{0xE1, ExifApp1(false)}}));
    WriteBytes("big.jpg", WithMarkers(jpeg, {{0xE1, ExifApp1(true)}}));
    WriteBytes("xmp-first.jpg", WithMarkers(jpeg, {{0xE1, xmp}, {0xE1, ExifApp1(false)}}));
    for (const char* name : {"little.jpg", "big.jpg"}) {
        SCOPED_TRACE(name);
        FPropTree* tree = Properties(name);
        EXPECT_EQ(tree->GetInt(u"COLS", 0), 55);
        EXPECT_EQ(*tree->GetValue(u"CAMMANUF", nullptr), u"TALVO");
    }
    EXPECT_EQ(Properties("xmp-first.jpg")->GetFirstPair(), nullptr);
}

} // namespace
