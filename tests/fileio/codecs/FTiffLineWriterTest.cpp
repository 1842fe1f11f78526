#include "fileio/codecs/FTiffLineWriter.h"

#include <cstring>
#include <map>
#include <regex>

#include "fileio/metadata/FPardexTag.h"
#include "fileio/codecs/FTiffImageReader.h"
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
    Properties(std::initializer_list<std::pair<const char*, const char*>> entries)
    {
        for (const auto& [key, value] : entries)
            PropertyMap()[FNarrowString(key)] = FNarrowString(value);
    }
};

// The payload of tag 37717, unscrambled, by item key.
std::map<uint32_t, Bytes> PayloadItems(const Bytes& words)
{
    Bytes payload = words;
    std::map<uint32_t, Bytes> items;
    auto u32 = [&](size_t at) {
        uint32_t v;
        std::memcpy(&v, &payload[at], 4);
        return v;
    };
    EXPECT_EQ(u32(0), FPardexTag::kMagic);
    EXPECT_EQ(u32(4), payload.size());
    EXPECT_EQ(u32(8), 1u);  // scrambled
    ScramblePardexBytes(payload.data() + 64, payload.size() - 64);
    for (uint32_t i = 0; i < u32(64); ++i) {
        const size_t entry = 68 + 12 * size_t{i};
        items[u32(entry)] = Bytes(payload.begin() + u32(entry + 4), payload.begin() + u32(entry + 4) + u32(entry + 8));
    }
    return items;
}

std::string ItemText(const std::map<uint32_t, Bytes>& items, const char (&key)[5])
{
    const auto found = items.find(PardexKey(key));
    if (found == items.end())
        return "<missing>";
    return std::string(reinterpret_cast<const char*>(found->second.data()));
}

int32_t ItemInt(const std::map<uint32_t, Bytes>& items, const char (&key)[5])
{
    int32_t value = -1;
    const auto found = items.find(PardexKey(key));
    if (found != items.end())
        std::memcpy(&value, found->second.data(), 4);
    return value;
}

std::string AsciiValue(const TiffEntry& entry) { return std::string(entry.data.begin(), entry.data.end()); }

double RationalValue(const Bytes& file, const TiffEntry& entry)
{
    TiffEntry parts = entry;
    parts.type = 4;
    return double(TiffNumber(file, parts, 0)) / TiffNumber(file, parts, 1);
}

class FTiffLineWriterTest : public ImageFileTest {
protected:
    // Writes all rows of the source pixmap into a file of the given type.
    void WriteFile(const std::string& name, int32_t fileType, const TestPixmap<>& source)
    {
        FTiffLineWriter writer(UrlOf(name), false);
        writer.SetDimensions(source->m_iColumns, source->m_iRows, fileType);
        for (int32_t y = 0; y < source->m_iRows; ++y)
            writer.WriteLine(source->GetRow(y), source->GetPixelType());
    }

    TestPixmap<> ReadBack(const std::string& name, int32_t pixelType)
    {
        FTiffImageReader reader(UrlOf(name));
        uint32_t columns = 0;
        uint32_t rows = 0;
        int32_t fileType = 0;
        reader.GetDimensions(columns, rows, fileType);
        EXPECT_EQ(fileType, pixelType);
        TestPixmap<> result = MakePixmap(pixelType, int32_t(columns), int32_t(rows), 99);
        reader.ReadImage(result.get());
        return result;
    }
};

TEST_F(FTiffLineWriterTest, EveryFileLayoutReadsBackExactly)
{
    struct Case {
        int32_t type;
        const char* layout;  // what tiffinfo reports
    };
    const Case cases[] = {
        {FPixmap::PIXEL_8_MONO, "Bits/Sample: 8.*Samples/Pixel: 1"},
        {FPixmap::PIXEL_16_MONO, "Bits/Sample: 16.*Samples/Pixel: 1"},
        {FPixmap::PIXEL_24_RGB, "Bits/Sample: 8.*Samples/Pixel: 3"},
        {FPixmap::PIXEL_30_RGBL, "Bits/Sample: 8.*Extra Samples: 1<unspecified>.*Samples/Pixel: 4"},
        {FPixmap::PIXEL_48_RGB, "Bits/Sample: 16.*Samples/Pixel: 3"},
    };
    const bool haveTiffinfo = ToolAvailable("tiffinfo");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        // Odd sizes, and more bytes than the writer buffers at a time.
        const TestPixmap<> source = MakePixmap(c.type, 301, 701, uint32_t(c.type));
        WriteFile("layout.tif", c.type, source);
        const TestPixmap<> back = ReadBack("layout.tif", c.type);
        EXPECT_EQ(back.bytes, source.bytes);
        if (haveTiffinfo) {
            ToolResult info = RunTool("tiffinfo " + PathOf("layout.tif").string() + " 2>&1");
            EXPECT_EQ(info.status, 0) << info.output;
            std::replace(info.output.begin(), info.output.end(), '\n', ' ');
            EXPECT_TRUE(std::regex_search(info.output, std::regex(c.layout))) << info.output;
            EXPECT_EQ(info.output.find("Compression Scheme: None") != std::string::npos, true) << info.output;
        }
    }
}

TEST_F(FTiffLineWriterTest, RowsOfOtherTypesAreConverted)
{
    struct Case {
        int32_t fileType;
        int32_t sourceType;
        FRowConverter expected;
    };
    const Case cases[] = {
        {FPixmap::PIXEL_16_MONO, FPixmap::PIXEL_8_MONO, ConvertRow8MonoTo16Mono},
        {FPixmap::PIXEL_16_MONO, FPixmap::PIXEL_12_MONO, ConvertRow12MonoTo16Mono},
        {FPixmap::PIXEL_16_MONO, FPixmap::PIXEL_16S_MONO, ConvertRow16MonoTo16Mono},
        {FPixmap::PIXEL_16_MONO, FPixmap::PIXEL_32_MONO, ConvertRow32MonoTo16Mono},
        {FPixmap::PIXEL_24_RGB, FPixmap::PIXEL_32_BGRA, ConvertRow32BGRATo24RGB},
        {FPixmap::PIXEL_24_RGB, FPixmap::PIXEL_48S_RGB, ConvertRow48SRGBTo24RGB},
        {FPixmap::PIXEL_30_RGBL, FPixmap::PIXEL_24_RGB, ConvertRow24RGBTo30RGBL},
        {FPixmap::PIXEL_48_RGB, FPixmap::PIXEL_48S_RGB, ConvertRow48SRGBTo48RGB},
        {FPixmap::PIXEL_48_RGB, FPixmap::PIXEL_30_RGBL, ConvertRow30RGBLTo48RGB},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fileType << " from " << c.sourceType);
        const TestPixmap<> source = MakePixmap(c.sourceType, 6, 3, 7);
        WriteFile("converted.tif", c.fileType, source);
        const TestPixmap<> back = ReadBack("converted.tif", c.fileType);
        for (int32_t y = 0; y < 3; ++y) {
            TestPixmap<> expected = MakePixmap(c.fileType, 6, 1);
            c.expected(6, source->GetRow(y), expected->GetRow(0));
            EXPECT_EQ(back.Row(y), expected.Row(0)) << "row " << y;
        }
    }
}

TEST_F(FTiffLineWriterTest, RefusedRowsThrowAndDoNotAdvance)
{
    struct Case {
        int32_t fileType;
        int32_t sourceType;
        const char* message;
    };
    const Case cases[] = {
        {FPixmap::PIXEL_8_MONO, FPixmap::PIXEL_16_MONO, "TiffLineWriter: Unknown source pixel type"},
        {FPixmap::PIXEL_16_MONO, FPixmap::PIXEL_24_RGB, "TiffLineWriter: Cannot convert source to dest pixel type."},
        {FPixmap::PIXEL_24_RGB, FPixmap::PIXEL_8_MONO, "TiffLineWriter: Cannot convert source to dest pixel type."},
        {FPixmap::PIXEL_48_RGB, FPixmap::PIXEL_16_MONO, "TiffLineWriter: Cannot convert source to dest pixel type."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fileType << " from " << c.sourceType);
        const TestPixmap<> refused = MakePixmap(c.sourceType, 4, 1);
        const TestPixmap<> accepted = MakePixmap(c.fileType, 4, 1, 3);
        {
            FTiffLineWriter writer(UrlOf("refused.tif"), false);
            writer.SetDimensions(4, 1, c.fileType);
            EXPECT_EQ(MessageOf<FExceptionUnknownPixelType>(
                          [&] { writer.WriteLine(refused->GetRow(0), c.sourceType); }),
                      c.message);
            writer.WriteLine(accepted->GetRow(0), c.fileType);
        }
        EXPECT_EQ(ReadBack("refused.tif", c.fileType).bytes, accepted.bytes);
    }
}

TEST_F(FTiffLineWriterTest, DimensionsComeFirstAndNeedAKnownType)
{
    FTiffLineWriter writer(UrlOf("early.tif"), false);
    const TestPixmap<> row = MakePixmap(FPixmap::PIXEL_24_RGB, 2, 1);
    EXPECT_EQ(MessageOf<FExceptionWriteUninitialized>(
                  [&] { writer.WriteLine(row->GetRow(0), FPixmap::PIXEL_24_RGB); }),
              "TiffLineWriter");
    EXPECT_EQ(MessageOf<FExceptionUnknownPixelType>(
                  [&] { writer.SetDimensions(2, 1, FPixmap::PIXEL_32_BGRA); }),
              "TiffLineWriter: while setting dimensions");
    const FString missing = UrlOf("missing/x.tif");
    EXPECT_EQ(MessageOf<FExceptionFileOpen>([&] { FTiffLineWriter(missing, false); }),
              std::string(WideToAnsi(missing.GetText()).get()));
}

// The file a save writes: dimensions, thumbnail, tags, profile, rows.
TEST_F(FTiffLineWriterTest, SavedFileCarriesItsTagsThumbnailExifAndProfile)
{
    FPropTree tree(nullptr, "props");
    for (const auto& [key, value] : {std::pair{"CAMMANUF", "TALVO"}, {"CAMMODEL", "HV7"}, {"rpSoftware", "Lumitra 4"},
                                     {"AP_DESC", "5.6"}, {"SH_DESC", "1/250"}, {"CAMSERIAL", "123"}, {"ISO", "200"},
                                     {"TIME", "1236143167"}, {"COLS", "3"}, {"ROWS", "2"}})
        tree.AddPair(key, value);
    const TestPixmap<> thumbnail = MakePixmap(FPixmap::PIXEL_24_RGB, 3, 2, 5, 12);
    Bytes profile(300);
    for (size_t i = 0; i < profile.size(); ++i)
        profile[i] = uint8_t(i * 7);
    const TestPixmap<> image = MakePixmap(FPixmap::PIXEL_48_RGB, 3, 2);
    {
        FTiffLineWriter writer(UrlOf("saved.tif"), false);
        writer.SetDimensions(3, 2, FPixmap::PIXEL_48_RGB);
        writer.WriteThumbnail(thumbnail.get());
        writer.WriteTags(tree);
        writer.WriteProfile(uint32_t(profile.size()), profile.data());
        for (int32_t y = 0; y < 2; ++y)
            writer.WriteLine(image->GetRow(y), FPixmap::PIXEL_48_RGB);
    }
    const Bytes file = FileBytes("saved.tif");
    ASSERT_EQ(std::string(file.begin(), file.begin() + 4), std::string("II*\0", 4));
    auto dir = ReadTiffDirectory(file);
    for (uint16_t tag : {256, 257, 258, 259, 262, 271, 272, 277, 282, 283, 284, 296, 305, 306, 34377, 34665, 34675,
                         37717})
        EXPECT_EQ(dir.count(tag), 1u) << "tag " << tag;
    EXPECT_EQ(TiffNumber(file, dir[256]), 3u);
    EXPECT_EQ(TiffNumber(file, dir[257]), 2u);
    EXPECT_EQ(TiffNumber(file, dir[258]), 16u);
    EXPECT_EQ(TiffNumber(file, dir[259]), 1u);
    EXPECT_EQ(TiffNumber(file, dir[262]), 2u);
    EXPECT_EQ(TiffNumber(file, dir[277]), 3u);
    EXPECT_EQ(TiffNumber(file, dir[284]), 1u);
    EXPECT_EQ(AsciiValue(dir[271]), std::string("TALVO", 6));
    EXPECT_EQ(AsciiValue(dir[272]), std::string("HV7", 4));
    EXPECT_EQ(AsciiValue(dir[305]), std::string("Lumitra 4", 10));
    EXPECT_TRUE(std::regex_match(AsciiValue(dir[306]), std::regex(R"(\d{4}:\d\d:\d\d \d\d:\d\d:\d\d\x00)")));
    EXPECT_EQ(RationalValue(file, dir[282]), 180.0);
    EXPECT_EQ(RationalValue(file, dir[283]), 180.0);
    EXPECT_EQ(TiffNumber(file, dir[296]), 2u);

    // Photoshop thumbnail resource: big-endian header, then B, G, R at the pixmap's pitch.
    EXPECT_EQ(dir[34377].type, 1);  // BYTE
    const Bytes& block = dir[34377].data;
    ASSERT_EQ(block.size(), 40u + 2 * 12);
    EXPECT_EQ(std::string(block.begin(), block.begin() + 4), "8BIM");
    const Bytes header(block.begin() + 4, block.begin() + 40);
    EXPECT_EQ(header, (Bytes{0x04, 0x09, 0, 0, 0, 0, 0, 52, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0,
                             0, 2, 0, 0, 0, 12, 0, 0, 0, 24, 0, 0, 0, 24, 0, 24, 0, 1}));
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 3; ++x)
            for (int32_t c = 0; c < 3; ++c)
                EXPECT_EQ(block[40 + size_t(y) * 12 + size_t(x) * 3 + size_t(c)],
                          thumbnail->GetRow(y)[x * 3 + (2 - c)]);

    EXPECT_EQ(dir[34675].type, 7);  // UNDEFINED
    EXPECT_EQ(dir[34675].data, profile);
    EXPECT_EQ(dir[34665].type, 4);  // LONG, as EXIF readers expect
    EXPECT_EQ(dir[34665].count, 1u);
    EXPECT_EQ(dir[34665].field % 2, 0u);

    EXPECT_EQ(dir[37717].type, 4);
    const auto items = PayloadItems(dir[37717].data);
    EXPECT_EQ(ItemText(items, "sfsp"), "5.6");
    EXPECT_EQ(ItemText(items, "sssd"), "1/250");
    EXPECT_EQ(ItemText(items, "came"), "123");
    EXPECT_EQ(ItemInt(items, "exsu"), 8);
    EXPECT_EQ(ItemText(items, "exst"), "ISO\x8B"
                                       "200\x8BTIME\x8B"
                                       "1236143167\x8BKVRCOLS\x8B"
                                       "3\x8BKVRROWS\x8B"
                                       "2");

    // The EXIF block reads back through the TIFF reader.
    FTiffImageReader reader(UrlOf("saved.tif"));
    FPropTree back(nullptr, "back");
    reader.GetProperties(&back);
    EXPECT_EQ(back.GetInt(u"ISO", 0), 200);
    EXPECT_EQ(*back.GetValue(u"AP_DESC", nullptr), u"5.6");
    EXPECT_EQ(*back.GetValue(u"SH_DESC", nullptr), u"1/250");
    EXPECT_EQ(back.GetInt(u"COLS", 0), 3);
    EXPECT_EQ(back.GetInt(u"TIME", 0), 1236143167);
    EXPECT_EQ(*back.GetValue(u"CAMMANUF", nullptr), u"TALVO");

    if (ToolAvailable("tiffdump")) {
        const ToolResult dump = RunTool("tiffdump " + PathOf("saved.tif").string() + " 2>&1");
        EXPECT_EQ(dump.status, 0) << dump.output;
        for (const char* tag : {"34377", "34665", "34675", "37717"})
            EXPECT_NE(dump.output.find(tag), std::string::npos) << tag << dump.output;
    }
    if (ToolAvailable("tiffinfo")) {
        EXPECT_EQ(RunTool("tiffinfo " + PathOf("saved.tif").string() + " >/dev/null 2>&1").status, 0);
    }
}

TEST_F(FTiffLineWriterTest, EmptyTreeStillWritesEveryTag)
{
    {
        FTiffLineWriter writer(UrlOf("empty.tif"), false);
        FPropTree tree(nullptr, "props");
        writer.WriteTags(tree);  // before the dimensions, as the engine's dumps do
        writer.SetDimensions(1, 1, FPixmap::PIXEL_8_MONO);
        const uint8_t pixel = 9;
        writer.WriteLine(&pixel, FPixmap::PIXEL_8_MONO);
    }
    const Bytes file = FileBytes("empty.tif");
    auto dir = ReadTiffDirectory(file);
    EXPECT_EQ(AsciiValue(dir[271]), std::string(1, '\0'));
    EXPECT_EQ(AsciiValue(dir[272]), std::string(1, '\0'));
    EXPECT_EQ(AsciiValue(dir[305]), std::string(" \0", 2));
    EXPECT_EQ(dir[306].count, 20u);
    EXPECT_EQ(dir.count(34665), 1u);
    const auto items = PayloadItems(dir[37717].data);
    EXPECT_EQ(items.size(), 3u);
    EXPECT_EQ(ItemText(items, "sfsp"), "");
    EXPECT_EQ(ItemText(items, "sssd"), "");
    EXPECT_EQ(ItemText(items, "came"), "");
}

TEST_F(FTiffLineWriterTest, ThumbnailBlockMustFitOneTag)
{
    FTiffLineWriter writer(UrlOf("thumb.tif"), false);
    const TestPixmap<> fits = MakePixmap(FPixmap::PIXEL_24_RGB, 147, 147);
    const TestPixmap<> tooBig = MakePixmap(FPixmap::PIXEL_24_RGB, 148, 148);
    EXPECT_NO_THROW(writer.WriteThumbnail(fits.get()));
    EXPECT_THROW(writer.WriteThumbnail(tooBig.get()), FExceptionThumbTooBig);
}

TEST_F(FTiffLineWriterTest, PropertyListGoesToTagsAndPayload)
{
    const Properties properties{{"XResolution", "72"},     {"YResolution", "72.5"},
                                {"ResolutionUnits", "3.9"}, {"DocumentName", "doc"},
                                {"Description", "desc"},    {"CameraMake", "Maker"},
                                {"Photographer", "me"},     {"DateTime", "2009:03:04 05:06:07 and more"},
                                {"Lens", "L"},              {"Exposure", "12.7"},
                                {"FocalLength", "50.5"},    {"Zeta", "2"},
                                {"Alpha", "1"},             {"Rows", "5"},
                                {"Filename", "x"}};
    {
        FTiffLineWriter writer(UrlOf("list.tif"), false);
        writer.SetDimensions(1, 1, FPixmap::PIXEL_8_MONO);
        writer.WriteTags(properties);
        const uint8_t pixel = 1;
        writer.WriteLine(&pixel, FPixmap::PIXEL_8_MONO);
    }
    const Bytes file = FileBytes("list.tif");
    auto dir = ReadTiffDirectory(file);
    EXPECT_EQ(RationalValue(file, dir[282]), 72.0);
    EXPECT_EQ(RationalValue(file, dir[283]), 72.5);
    EXPECT_EQ(TiffNumber(file, dir[296]), 3u);
    EXPECT_EQ(AsciiValue(dir[269]), std::string("doc", 4));
    EXPECT_EQ(AsciiValue(dir[270]), std::string("desc", 5));
    EXPECT_EQ(AsciiValue(dir[271]), std::string("Maker", 6));
    EXPECT_EQ(AsciiValue(dir[315]), std::string("me", 3));
    EXPECT_EQ(AsciiValue(dir[306]), std::string("2009:03:04 05:06:07", 20));
    EXPECT_EQ(dir.count(34665), 0u);
    const auto items = PayloadItems(dir[37717].data);
    EXPECT_EQ(ItemText(items, "lens"), "L");
    EXPECT_EQ(ItemInt(items, "issd"), 12);
    double focal = 0;
    std::memcpy(&focal, items.at(PardexKey("focl")).data(), 8);
    EXPECT_EQ(focal, 50.5);
    EXPECT_EQ(ItemInt(items, "exsu"), 4);
    EXPECT_EQ(ItemText(items, "exst"), "Alpha\x8B"
                                       "1\x8BZeta\x8B"
                                       "2");

    // A short date is right-aligned in its 19 characters.
    {
        FTiffLineWriter writer(UrlOf("date.tif"), false);
        writer.SetDimensions(1, 1, FPixmap::PIXEL_8_MONO);
        writer.WriteTags(Properties{{"DateTime", "1:2:3"}});
        const uint8_t pixel = 1;
        writer.WriteLine(&pixel, FPixmap::PIXEL_8_MONO);
    }
    auto dateDir = ReadTiffDirectory(FileBytes("date.tif"));
    EXPECT_EQ(AsciiValue(dateDir[306]), std::string("              1:2:3", 20));
}

TEST_F(FTiffLineWriterTest, UnfinishedOrFailedFilesAreRemoved)
{
    const TestPixmap<> image = MakePixmap(FPixmap::PIXEL_48_RGB, 100, 100);
    {
        FTiffLineWriter writer(UrlOf("partial.tif"), false);
        writer.SetDimensions(100, 100, FPixmap::PIXEL_48_RGB);
        writer.WriteLine(image->GetRow(0), FPixmap::PIXEL_48_RGB);
    }
    EXPECT_FALSE(Exists("partial.tif"));

    {
        FTiffLineWriter writer(UrlOf("full.tif"), false);
        writer.SetDimensions(100, 100, FPixmap::PIXEL_48_RGB);
        FileSizeLimit limit(20000);
        EXPECT_THROW(
            {
                for (int32_t y = 0; y < 100; ++y)
                    writer.WriteLine(image->GetRow(y), FPixmap::PIXEL_48_RGB);
            },
            FExceptionFileWrite);
    }
    EXPECT_FALSE(Exists("full.tif"));
}

} // namespace
