#include "fileio/codecs/FJPEGLineWriter.h"

#include <cstring>
#include <functional>

#include "fileio/codecs/FJPEGImageReader.h"
#include "fileio/codecs/FJPEGImageWriter.h"
#include "fileio/codecs/ImageRowConverters.h"
#include "foundation/FException.h"
#include "foundation/FHasProperties.h"
#include "foundation/FPropTree.h"
#include "foundation/PixelConversion.h"
#include "support/ImageFileTest.h"

using namespace testsupport;

namespace {

class Properties : public FHasProperties {
public:
    Properties(std::initializer_list<std::pair<const char*, std::string>> entries)
    {
        for (const auto& [key, value] : entries)
            PropertyMap()[FNarrowString(key)] = FNarrowString(value.c_str());
    }
};

uint32_t LE32(const Bytes& bytes, size_t at)
{
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}
uint16_t LE16(const Bytes& bytes, size_t at) { return uint16_t(bytes[at] | bytes[at + 1] << 8); }

std::vector<JpegMarker> MarkersOf(const std::vector<JpegMarker>& markers, uint8_t code)
{
    std::vector<JpegMarker> found;
    for (const JpegMarker& marker : markers)
        if (marker.code == code)
            found.push_back(marker);
    return found;
}

class FJPEGLineWriterTest : public ImageFileTest {
protected:
    // Writes the pixmap with the line writer, the steps between dimensions
    // and rows given by the caller.
    void WriteFile(const std::string& name, const TestPixmap<>& image, int32_t quality, bool accurate,
                   const std::function<void(FJPEGLineWriter&)>& between = {})
    {
        FJPEGLineWriter writer(UrlOf(name), quality, accurate);
        const int32_t type = image->GetPixelType() == FPixmap::PIXEL_8_MONO ? FPixmap::PIXEL_8_MONO
                                                                            : FPixmap::PIXEL_24_RGB;
        writer.SetDimensions(image->m_iColumns, image->m_iRows, type);
        if (between)
            between(writer);
        for (int32_t y = 0; y < image->m_iRows; ++y)
            writer.WriteLine(image->GetRow(y), image->GetPixelType());
    }
};

// Without tags, the file is exactly what libjpeg makes of the same pixels with
// the quality, sampling and transform that the index and flag stand for.
TEST_F(FJPEGLineWriterTest, QualityIndexSamplingAndTransformMatchTheCodecsOwnEncoding)
{
    struct Case {
        int32_t index;
        int quality;
        bool fullColour;
    };
    const Case cases[] = {{0, 10, false}, {6, 79, false}, {7, 78, true}, {9, 90, true}, {12, 99, true}};
    const TestPixmap<> image = MakePixmap(FPixmap::PIXEL_24_RGB, 37, 21);
    for (const Case& c : cases)
        for (bool accurate : {true, false}) {
            SCOPED_TRACE(testing::Message() << "index " << c.index << (accurate ? " accurate" : " fast"));
            WriteFile("quality.jpg", image, c.index, accurate);
            JpegEncodeOptions options;
            options.quality = c.quality;
            options.fullColour = c.fullColour;
            options.accurate = accurate;
            EXPECT_EQ(FileBytes("quality.jpg"), EncodeJpeg(image.bytes, 37, 21, 3, options));
        }
}

TEST_F(FJPEGLineWriterTest, FilesReadBackAsTheCodecAndDjpegDecodeThem)
{
    const bool haveDjpeg = ToolAvailable("djpeg");
    for (int32_t type : {FPixmap::PIXEL_24_RGB, FPixmap::PIXEL_8_MONO}) {
        SCOPED_TRACE(type);
        // A smooth picture, so the decoded pixels stay close to the source.
        TestPixmap<> image = MakePixmap(type, 64, 48);
        for (size_t i = 0; i < image.bytes.size(); ++i)
            image.bytes[i] = uint8_t((i % 192) / 3 + (i / 192) * 2);
        WriteFile("round.jpg", image, 12, true);

        FJPEGImageReader reader(UrlOf("round.jpg"));
        uint32_t columns = 0, rows = 0;
        int32_t fileType = 0;
        reader.GetDimensions(columns, rows, fileType);
        EXPECT_EQ(fileType, type);
        TestPixmap<> back = MakePixmap(type, int32_t(columns), int32_t(rows));
        reader.ReadImage(back.get());
        EXPECT_EQ(back.bytes, DecodeJpeg(FileBytes("round.jpg"), 0).pixels);
        int worst = 0;
        for (size_t i = 0; i < image.bytes.size(); ++i)
            worst = std::max(worst, std::abs(int(image.bytes[i]) - int(back.bytes[i])));
        EXPECT_LE(worst, 6);
        if (haveDjpeg) {
            const ToolResult djpeg = RunTool("djpeg " + PathOf("round.jpg").string() + " 2>/dev/null");
            EXPECT_EQ(djpeg.status, 0);
            const auto pnm = ReadPnm(djpeg.output);
            ASSERT_TRUE(pnm.has_value());
            EXPECT_EQ(pnm->pixels, back.bytes);
        }
    }
}

TEST_F(FJPEGLineWriterTest, SavedFileHasItsMarkersInCallOrder)
{
    FPropTree tree(nullptr, "props");
    tree.AddPair("CAMMANUF", "TALVO");
    tree.AddPair("CAMMODEL", "HV7");
    tree.AddPair("ISO", "400");
    const TestPixmap<> thumbnail = MakePixmap(FPixmap::PIXEL_24_RGB, 160, 120);
    const Bytes profile(1000, 0x5A);
    const TestPixmap<> image = MakePixmap(FPixmap::PIXEL_24_RGB, 20, 10);
    WriteFile("saved.jpg", image, 10, true, [&](FJPEGLineWriter& writer) {
        writer.WriteThumbnail(thumbnail.get());
        writer.WriteTags(tree);
        writer.WriteProfile(uint32_t(profile.size()), profile.data());
    });
    const Bytes file = FileBytes("saved.jpg");
    const auto markers = ReadJpegMarkers(file);
    ASSERT_GE(markers.size(), 5u);
    EXPECT_EQ(markers[0].code, 0xD8);
    EXPECT_EQ(markers[1].code, 0xE0);
    EXPECT_EQ(markers[2].code, 0xE1);
    EXPECT_EQ(markers[3].code, 0xE2);
    for (size_t i = 4; i < markers.size(); ++i)
        EXPECT_LT(markers[i].code, 0xE0) << "APPn after the frame began";
    EXPECT_EQ(MarkersOf(markers, 0xC0).size(), 1u);

    // APP1: "Exif", then IFD0 whose next IFD is the thumbnail's.
    const Bytes& app1 = markers[2].data;
    ASSERT_EQ(std::string(app1.begin(), app1.begin() + 6), std::string("Exif\0\0", 6));
    const Bytes tiff(app1.begin() + 6, app1.end());
    const uint32_t ifd1 = LE32(tiff, 8 + 2 + 12 * LE16(tiff, 8));
    ASSERT_NE(ifd1, 0u);
    uint32_t thumbnailAt = 0, thumbnailBytes = 0;
    for (uint32_t i = 0; i < LE16(tiff, ifd1); ++i) {
        const size_t entry = ifd1 + 2 + 12 * i;
        if (LE16(tiff, entry) == 513)
            thumbnailAt = LE32(tiff, entry + 8);
        if (LE16(tiff, entry) == 514)
            thumbnailBytes = LE32(tiff, entry + 8);
    }
    ASSERT_LE(size_t(thumbnailAt) + thumbnailBytes, tiff.size());
    const Bytes embedded(tiff.begin() + thumbnailAt, tiff.begin() + thumbnailAt + thumbnailBytes);
    const DecodedJpeg small = DecodeJpeg(embedded, 0);
    EXPECT_EQ(small.columns, 160u);
    EXPECT_EQ(small.rows, 120u);

    const Bytes& app2 = markers[3].data;
    EXPECT_EQ(std::string(app2.begin(), app2.begin() + 12), std::string("ICC_PROFILE\0", 12));
    EXPECT_EQ(Bytes(app2.begin() + 14, app2.end()), profile);

    FJPEGImageReader reader(UrlOf("saved.jpg"));
    FPropTree back(nullptr, "back");
    reader.GetProperties(&back);
    EXPECT_EQ(*back.GetValue(u"CAMMANUF", nullptr), u"TALVO");
    EXPECT_EQ(back.GetInt(u"ISO", 0), 400);
    EXPECT_EQ(back.GetInt(u"COLS", 0), 20);
    if (ToolAvailable("djpeg")) {
        EXPECT_EQ(RunTool("djpeg " + PathOf("saved.jpg").string() + " >/dev/null 2>&1").status, 0);
    }
}

TEST_F(FJPEGLineWriterTest, FastTransformWritesJfifIdentifierThatTheReaderImports)
{
    FPropTree tree(nullptr, "props");
    tree.AddPair("CAMMODEL", "HV7");
    WriteFile("fast.jpg", MakePixmap(FPixmap::PIXEL_24_RGB, 8, 8), 10, false,
              [&](FJPEGLineWriter& writer) { writer.WriteTags(tree); });
    const auto markers = ReadJpegMarkers(FileBytes("fast.jpg"));
    ASSERT_EQ(markers[2].code, 0xE1);
    EXPECT_EQ(std::string(markers[2].data.begin(), markers[2].data.begin() + 6), std::string("Jfif\0\0", 6));
    FJPEGImageReader reader(UrlOf("fast.jpg"));
    FPropTree back(nullptr, "back");
    reader.GetProperties(&back);
    EXPECT_EQ(*back.GetValue(u"CAMMODEL", nullptr), u"HV7");
}

TEST_F(FJPEGLineWriterTest, ProfilesAreSplitIntoChunksOf65518Bytes)
{
    struct Case {
        size_t size;
        std::vector<size_t> chunks;
    };
    for (const Case& c : {Case{65518, {65518}}, Case{65519, {65518, 1}}}) {
        SCOPED_TRACE(c.size);
        Bytes profile(c.size);
        for (size_t i = 0; i < profile.size(); ++i)
            profile[i] = uint8_t(i * 31 + i / 256);
        WriteFile("icc.jpg", MakePixmap(FPixmap::PIXEL_24_RGB, 8, 8), 10, true,
                  [&](FJPEGLineWriter& writer) { writer.WriteProfile(uint32_t(profile.size()), profile.data()); });
        const auto app2 = MarkersOf(ReadJpegMarkers(FileBytes("icc.jpg")), 0xE2);
        ASSERT_EQ(app2.size(), c.chunks.size());
        Bytes joined;
        for (size_t k = 0; k < app2.size(); ++k) {
            EXPECT_EQ(app2[k].data[12], k + 1);
            EXPECT_EQ(app2[k].data[13], app2.size());
            EXPECT_EQ(app2[k].data.size() - 14, c.chunks[k]);
            joined.insert(joined.end(), app2[k].data.begin() + 14, app2[k].data.end());
        }
        EXPECT_EQ(joined, profile);
    }
}

TEST_F(FJPEGLineWriterTest, DescriptionBecomesACommentWhenItFitsOneMarker)
{
    for (size_t length : {size_t{65531}, size_t{65532}}) {
        SCOPED_TRACE(length);
        const Properties properties{{"Description", std::string(length, 'd')}};
        WriteFile("comment.jpg", MakePixmap(FPixmap::PIXEL_8_MONO, 8, 8), 10, true,
                  [&](FJPEGLineWriter& writer) { writer.WriteTags(properties); });
        const auto comments = MarkersOf(ReadJpegMarkers(FileBytes("comment.jpg")), 0xFE);
        if (length == 65531) {
            ASSERT_EQ(comments.size(), 1u);
            EXPECT_EQ(comments[0].data.size(), 65532u);
            EXPECT_EQ(comments[0].data.back(), 0);
        } else {
            EXPECT_TRUE(comments.empty());
        }
    }
}

TEST_F(FJPEGLineWriterTest, OperationsOutOfOrderAreRefused)
{
    const TestPixmap<> row = MakePixmap(FPixmap::PIXEL_24_RGB, 4, 2);
    const Bytes profile(10, 1);
    FPropTree tree(nullptr, "props");
    const Properties none{};
    const TestPixmap<> thumbnail = MakePixmap(FPixmap::PIXEL_24_RGB, 8, 8);
    const TestPixmap<> wide = MakePixmap(FPixmap::PIXEL_24_RGB, 161, 100);

    FJPEGLineWriter writer(UrlOf("order.jpg"), 10, true);
    using Uninitialized = FExceptionJPEGWriteUninitialized;
    EXPECT_EQ(MessageOf<Uninitialized>([&] { writer.WriteTags(tree); }), "JPEGLineWriter::WriteTags()");
    EXPECT_EQ(MessageOf<Uninitialized>([&] { writer.WriteTags(none); }), "JPEGLineWriter::WriteTags()");
    EXPECT_EQ(MessageOf<Uninitialized>([&] { writer.WriteProfile(10, profile.data()); }),
              "JPEGLineWriter::WriteProfile()");
    EXPECT_EQ(MessageOf<Uninitialized>([&] { writer.WriteLine(row->GetRow(0), 7); }),
              "JPEGLineWriter::WriteLine()");
    EXPECT_EQ(MessageOf<FExceptionJPEG>([&] { writer.WriteThumbnail(wide.get()); }),
              "Thumbnails can't be larger than 160x160.");

    writer.SetDimensions(4, 2, FPixmap::PIXEL_24_RGB);
    writer.WriteThumbnail(thumbnail.get());
    writer.WriteTags(tree);
    using OutOfOrder = FExceptionJPEGOutOfOrderOperation;
    EXPECT_EQ(MessageOf<OutOfOrder>([&] { writer.WriteThumbnail(thumbnail.get()); }),
              "Thumbnails must be written before properties!");
    writer.WriteLine(row->GetRow(0), FPixmap::PIXEL_24_RGB);
    EXPECT_EQ(MessageOf<OutOfOrder>([&] { writer.WriteTags(tree); }),
              "Tags must be written before the first WriteLine()");
    EXPECT_EQ(MessageOf<OutOfOrder>([&] { writer.WriteProfile(10, profile.data()); }),
              "ICC Profiles must be written before the first WriteLine()");
    writer.WriteLine(row->GetRow(1), FPixmap::PIXEL_24_RGB);
    EXPECT_EQ(MessageOf<FExceptionJPEG>([&] { writer.WriteLine(row->GetRow(1), 7); }),
              "More scan lines written than rows specified.");
}

TEST_F(FJPEGLineWriterTest, RowsOfOtherTypesAreConvertedOrRefused)
{
    const TestPixmap<> rgb = MakePixmap(FPixmap::PIXEL_24_RGB, 9, 4);
    WriteFile("rgb.jpg", rgb, 10, true);
    const Bytes reference = FileBytes("rgb.jpg");
    struct Case {
        int32_t type;
        FRowConverter fromRgb;
    };
    const Case cases[] = {{FPixmap::PIXEL_24_BGR, ConvertRow24RGBTo24BGR},
                          {FPixmap::PIXEL_32_ARGB, ConvertRow24RGBTo32ARGB},
                          {FPixmap::PIXEL_32_ABGR, ConvertRow24RGBTo32ABGR},
                          {FPixmap::PIXEL_32_BGRA, ConvertRow24RGBTo32BGRA},
                          {FPixmap::PIXEL_32_RGBA, ConvertRow24RGBTo32RGBA}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        TestPixmap<> other = MakePixmap(c.type, 9, 4);
        for (int32_t y = 0; y < 4; ++y)
            c.fromRgb(9, rgb->GetRow(y), other->GetRow(y));
        WriteFile("other.jpg", other, 10, true);
        EXPECT_EQ(FileBytes("other.jpg"), reference);
    }

    FJPEGLineWriter colour(UrlOf("refuse.jpg"), 10, true);
    colour.SetDimensions(9, 4, FPixmap::PIXEL_24_RGB);
    const TestPixmap<> deep = MakePixmap(FPixmap::PIXEL_48_RGB, 9, 1);
    const TestPixmap<> grey = MakePixmap(FPixmap::PIXEL_8_MONO, 9, 1);
    EXPECT_THROW(colour.WriteLine(deep->GetRow(0), FPixmap::PIXEL_48_RGB), FExceptionBitDepthMismatch);
    EXPECT_EQ(MessageOf<FExceptionUnknownPixelType>([&] { colour.WriteLine(grey->GetRow(0), 1); }),
              "JPEGLineWriter: Unknown dest pixel type");
    FJPEGLineWriter mono(UrlOf("mono.jpg"), 10, true);
    mono.SetDimensions(9, 4, FPixmap::PIXEL_8_MONO);
    EXPECT_EQ(MessageOf<FExceptionUnknownPixelType>([&] { mono.WriteLine(rgb->GetRow(0), 7); }),
              "JPEGLineWriter: Unknown source pixel type");
    EXPECT_EQ(MessageOf<FExceptionUnknownPixelType>([&] { mono.SetDimensions(9, 4, 15); }),
              "JPEGLineWriter: while setting dimensions");
}

TEST_F(FJPEGLineWriterTest, UnfinishedOrFailedFilesAreRemoved)
{
    const TestPixmap<> image = MakePixmap(FPixmap::PIXEL_24_RGB, 200, 200);
    {
        FJPEGLineWriter writer(UrlOf("partial.jpg"), 12, true);
        writer.SetDimensions(200, 200, FPixmap::PIXEL_24_RGB);
        for (int32_t y = 0; y < 100; ++y)
            writer.WriteLine(image->GetRow(y), FPixmap::PIXEL_24_RGB);
    }
    EXPECT_FALSE(Exists("partial.jpg"));
    {
        FJPEGLineWriter writer(UrlOf("full.jpg"), 12, true);
        writer.SetDimensions(200, 200, FPixmap::PIXEL_24_RGB);
        FileSizeLimit limit(20000);
        EXPECT_EQ(MessageOf<FExceptionJPEG>([&] {
                      for (int32_t y = 0; y < 200; ++y)
                          writer.WriteLine(image->GetRow(y), FPixmap::PIXEL_24_RGB);
                  }),
                  "Output file write error --- out of disk space?");
        // The codec cannot go on from a failure.
        EXPECT_EQ(MessageOf<FExceptionJPEG>([&] { writer.WriteLine(image->GetRow(0), 7); }),
                  "JPEGLineWriter: the file could not be written");
    }
    EXPECT_FALSE(Exists("full.jpg"));
}

TEST_F(FJPEGLineWriterTest, ImageWriterWritesWholePixmaps)
{
    const TestPixmap<> bgr = MakePixmap(FPixmap::PIXEL_24_BGR, 12, 5);
    const Bytes profile(70000, 0x3C);
    const Properties description{{"Description", "whole"}};
    {
        FJPEGImageWriter writer(UrlOf("whole.jpg"), 10, true);
        writer.SetProfile(uint32_t(profile.size()), profile.data());
        writer.WriteImage(bgr.get(), description);
    }
    TestPixmap<> rgb = MakePixmap(FPixmap::PIXEL_24_RGB, 12, 5);
    for (int32_t y = 0; y < 5; ++y)
        ConvertRow24BGRTo24RGB(12, bgr->GetRow(y), rgb->GetRow(y));
    WriteFile("lines.jpg", rgb, 10, true, [&](FJPEGLineWriter& writer) {
        writer.WriteTags(description);
        writer.WriteProfile(uint32_t(profile.size()), profile.data());
    });
    EXPECT_EQ(MarkersOf(ReadJpegMarkers(FileBytes("whole.jpg")), 0xE2).size(), 2u);
    EXPECT_EQ(FileBytes("whole.jpg"), FileBytes("lines.jpg"));

    Bytes memory;
    const TestPixmap<> deep = MakePixmap(FPixmap::PIXEL_48_RGB, 2, 2);
    FJPEGImageWriter refused(memory, 10, true);
    EXPECT_THROW(refused.WriteImage(deep.get(), Properties{}), FExceptionUnknownPixelType);
}

} // namespace
