#include "fileio/container/PdxbImageIO.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "support/PdxbFileTest.h"

#include <cstring>
#include <fstream>
#include <vector>

using namespace testsupport;

namespace {

using Pairs = std::vector<std::pair<std::u16string, std::u16string>>;

Pairs PairsOf(const FPropTree& node)
{
    Pairs pairs;
    for (const FPropPair* p = node.GetFirstPair(); p; p = p->GetNext())
        pairs.emplace_back(std::u16string(p->m_sKey.View()), std::u16string(p->m_sValue.View()));
    return pairs;
}

PdxbPropertySpec Props(const Pairs& pairs, uint32_t version = PdxbVersion(2, 0))
{
    PdxbPropertySpec desc;
    desc.version = version;
    for (const auto& [name, value] : pairs)
        desc.pairs.push_back({name, value});
    return desc;
}

PdxbImageSpec Image(uint32_t format, uint32_t columns, uint32_t rows, uint32_t kind = 1,
                    uint32_t version = PdxbVersion(2, 0))
{
    PdxbImageSpec desc;
    desc.version = version;
    desc.kind = kind;
    desc.pixelFormat = format;
    desc.columns = columns;
    desc.rows = rows;
    desc.rowSize = 4;
    desc.data.assign(size_t(rows) * 4, 0);
    return desc;
}

PdxbCamfileSpec Camfile(uint32_t type, const PdxbBytes& data, uint32_t version = PdxbVersion(2, 0))
{
    PdxbCamfileSpec desc;
    desc.version = version;
    desc.type = type;
    desc.dataLength = uint32_t(data.size());
    desc.data = data;
    return desc;
}

PdxbBytes Counting(size_t size)
{
    PdxbBytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t(i * 7 + i / 251);
    return bytes;
}

} // namespace

// ---------------------------------------------------------------------------
// Header versions

struct HeaderCase {
    const char* name;
    uint32_t version;
    uint32_t v3HeaderSize;
    bool hasWhiteBalance;
    bool hasColorMode;
    bool hasSlots;
};

class PdxbHeaderVersions : public PdxbFileTest, public ::testing::WithParamInterface<HeaderCase> {};

TEST_P(PdxbHeaderVersions, ReportsTheFieldsOfItsLayout)
{
    const HeaderCase& c = GetParam();
    PdxbHeaderSpec header;
    header.version = c.version;
    header.v3HeaderSize = c.v3HeaderSize;
    for (int i = 0; i < 16; ++i)
        header.uniqueId[i] = uint8_t(0xA0 + i);
    header.markBits = 0x80000005;
    header.columns = 3000;
    header.rows = 2000;
    header.rotation = 90;
    header.whiteBalance = "Sunlight";
    header.colorMode = "Neutral";
    header.extTypes[0] = PDXB_EXT_EXPOSURE;
    header.extValues[0] = -1.5f;
    header.extTypes[31] = PDXB_EXT_LUMANOISE;
    header.extValues[31] = 0.25f;
    PdxbBuilder builder(header);
    builder.AddProperties(Props({{u"CAMMODEL", u"KT6M"}}));

    FPdxbImageReader reader(Write(builder.Build()));
    EXPECT_EQ(reader.GetMarkBits(), 0x80000005u);
    EXPECT_EQ(reader.GetRotation(), 90u);
    uint32_t columns = 0, rows = 0;
    reader.GetImageSize(columns, rows);
    EXPECT_EQ(columns, 3000u);
    EXPECT_EQ(rows, 2000u);
    EXPECT_EQ(0, std::memcmp(reader.GetUniqueID(), header.uniqueId.data(), 16));

    if (c.hasWhiteBalance)
        EXPECT_STREQ(reader.GetWhiteBalance(), "Sunlight");
    else
        EXPECT_EQ(reader.GetWhiteBalance(), nullptr);
    if (c.hasColorMode)
        EXPECT_STREQ(reader.GetColorMode(), "Neutral");
    else
        EXPECT_EQ(reader.GetColorMode(), nullptr);

    ASSERT_EQ(reader.GetExtDataCount(), c.hasSlots ? 32 : 0);
    EXPECT_EQ(reader.GetExtDataType(0), c.hasSlots ? PDXB_EXT_EXPOSURE : 0);
    EXPECT_EQ(reader.GetExtDataValue(0), c.hasSlots ? -1.5f : 0.0f);
    EXPECT_EQ(reader.GetExtDataType(31), c.hasSlots ? PDXB_EXT_LUMANOISE : 0);
    EXPECT_EQ(reader.GetExtDataValue(31), c.hasSlots ? 0.25f : 0.0f);
    EXPECT_EQ(reader.GetExtDataType(32), 0);
    EXPECT_EQ(reader.GetExtDataType(-1), 0);

    // The directory is found through the pointer of the header's version.
    FPropTree node(nullptr, "props");
    EXPECT_EQ(reader.GetProperties(&node), 1);
    EXPECT_EQ(PairsOf(node), (Pairs{{u"CAMMODEL", u"KT6M"}}));
}

INSTANTIATE_TEST_SUITE_P(
    AllVersions, PdxbHeaderVersions,
    ::testing::Values(HeaderCase{"v1_0", kPdxbVersion1_0, 272, true, false, true},
                      HeaderCase{"v2_0", PdxbVersion(2, 0), 272, false, false, false},
                      HeaderCase{"v2_1", PdxbVersion(2, 1), 272, true, false, true},
                      HeaderCase{"v2_2", PdxbVersion(2, 2), 272, true, false, true},
                      HeaderCase{"v2_3", PdxbVersion(2, 3), 272, true, true, true},
                      HeaderCase{"v2_4", PdxbVersion(2, 4), 272, true, false, true},
                      HeaderCase{"v3_0", PdxbVersion(3, 0), 272, true, true, true},
                      HeaderCase{"v3_1_LongHeader", PdxbVersion(3, 1), 300, true, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PdxbFileTest, NamesAreCutAtThirtyOneCharacters)
{
    PdxbHeaderSpec header;
    PdxbBytes bytes = BuildPdxbHeader(header);
    std::memset(bytes.data() + 40, 'W', 32); // no terminator inside the field
    PdxbBuilder builder(header);
    PdxbFile file = builder.Build();
    std::copy(bytes.begin(), bytes.end(), file.bytes.begin());

    FPdxbImageReader reader(Write(file));
    EXPECT_EQ(std::string(reader.GetWhiteBalance()), std::string(31, 'W'));
}

TEST_F(PdxbFileTest, BuilderPutsHeaderFieldsAtTheirOffsets)
{
    // The builder is the reference every other test relies on: check a few
    // fields against their byte positions in each layout.
    struct Layout {
        uint32_t version;
        size_t size, rotationAt, whiteBalanceAt, extValuesAt;
    };
    for (const Layout& l : {Layout{PdxbVersion(2, 2), 232, 36, 40, 104}, Layout{PdxbVersion(2, 3), 264, 36, 40, 136},
                            Layout{PdxbVersion(3, 0), 272, 44, 48, 144}}) {
        PdxbHeaderSpec header;
        header.version = l.version;
        header.rotation = 270;
        header.whiteBalance = "Tungsten";
        header.extValues[1] = 1.0f;
        const PdxbBytes bytes = BuildPdxbHeader(header);
        ASSERT_EQ(bytes.size(), l.size);
        EXPECT_EQ(PeekU32(bytes, l.rotationAt), 270u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[l.whiteBalanceAt])), "Tungsten");
        EXPECT_EQ(PeekU32(bytes, l.extValuesAt + 4), 0x3F800000u);
    }
    PdxbHeaderSpec v3;
    v3.version = PdxbVersion(3, 0);
    const PdxbFile file = PdxbBuilder(v3).Build();
    EXPECT_EQ(PeekU32(file.bytes, file.pointerPosition), 0u) << "high word first";
    EXPECT_EQ(PeekU32(file.bytes, file.pointerPosition + 4), file.directoryOffsets[0]);
}

TEST_F(PdxbFileTest, OpeningFailuresNameTheUrl)
{
    const FString missing = UrlOf("missing.kvr");
    EXPECT_EQ(MessageOf<FExceptionFileNotFound>([&] { FPdxbImageReader reader(missing); }),
              Utf8FromWide(missing));

    const FString jpeg = WriteBytes(std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11) + std::string(300, 0),
                                    "photo.jpg");
    EXPECT_EQ(MessageOf<FExceptionNotAPdxb>([&] { FPdxbImageReader reader(jpeg); }), Utf8FromWide(jpeg));

    PdxbHeaderSpec header;
    header.version = PdxbVersion(4, 0);
    const FString future = Write(PdxbBuilder(header).Build(), "future.kvr");
    EXPECT_EQ(MessageOf<FExceptionPdxbIncompatible>([&] { FPdxbImageReader reader(future); }),
              Utf8FromWide(future));
}

TEST_F(PdxbFileTest, TheDirectoryIsReadOnceAndOnlyWhenASectionIsAskedFor)
{
    PdxbHeaderSpec header;
    header.rotation = 180;
    PdxbBuilder builder(header);
    builder.AddImage(Image(8, 4, 2));
    PdxbFile file = builder.Build();
    const FString url = Write(file);

    FPdxbImageReader reader(url);
    ASSERT_EQ(reader.GetImageCount(), 1);
    // Break the directory on disk under the open reader: it must keep the list it has.
    {
        std::fstream stream(PathOf("image.kvr"), std::ios::in | std::ios::out | std::ios::binary);
        stream.seekp(std::streamoff(file.directoryOffsets[0]));
        stream.write("XXXX", 4);
    }
    EXPECT_EQ(reader.GetImageCount(), 1);
    uint32_t columns, rows, kind;
    int32_t type;
    EXPECT_NO_THROW(reader.GetImageInfo(0, columns, rows, type, kind));

    // A fresh reader opens the same file and answers from the header alone;
    // the broken directory shows only once a section is needed.
    FPdxbImageReader lazy(url);
    EXPECT_EQ(lazy.GetRotation(), 180u);
    EXPECT_EQ(MessageOf<FExceptionPdxbReader>([&] { lazy.GetImageCount(); }),
              "Expected a directory section but got something else.");
}

// ---------------------------------------------------------------------------
// Directories

struct DirectoryCase {
    const char* name;
    PdxbDirectorySpec top;
    PdxbDirectorySpec nested;
};

class PdxbDirectoryVersions : public PdxbFileTest, public ::testing::WithParamInterface<DirectoryCase> {};

TEST_P(PdxbDirectoryVersions, NestedSectionsComeBeforeTheirParentsOwn)
{
    const DirectoryCase& c = GetParam();
    PdxbBuilder builder(PdxbHeaderSpec{}, c.top);
    builder.AddProperties(Props({{u"where", u"top 1"}}));
    const int nested = builder.AddDirectory(c.nested);
    builder.AddProperties(Props({{u"where", u"nested"}}), nested);
    builder.AddImage(Image(8, 4, 2), kPdxbImag, nested);
    const int deeper = builder.AddDirectory(c.top, nested);
    builder.AddProperties(Props({{u"where", u"deeper"}}), deeper);
    builder.AddProperties(Props({{u"where", u"top 2"}}));
    builder.AddRawEntry(FourCC("JUNK"), 0xFFFFFFF0u, 99); // unknown types are listed, never used

    FPdxbImageReader reader(Write(builder.Build()));
    FPropTree node(nullptr, "props");
    EXPECT_EQ(reader.GetProperties(&node), 6) << "the DIRP entries are not sections";
    EXPECT_EQ(PairsOf(node),
              (Pairs{{u"where", u"deeper"}, {u"where", u"nested"}, {u"where", u"top 1"}, {u"where", u"top 2"}}));
    EXPECT_EQ(reader.GetImageCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    AllLayouts, PdxbDirectoryVersions,
    ::testing::Values(DirectoryCase{"v2", {PdxbVersion(2, 0)}, {PdxbVersion(2, 0)}},
                      DirectoryCase{"v1_0", {kPdxbVersion1_0}, {kPdxbVersion1_0}},
                      DirectoryCase{"v3", {PdxbVersion(3, 0)}, {PdxbVersion(3, 0)}},
                      DirectoryCase{"v3Surplus", {PdxbVersion(3, 0), 24, 28}, {PdxbVersion(3, 2), 20, 32}},
                      DirectoryCase{"v2InV3", {PdxbVersion(3, 0)}, {PdxbVersion(2, 0)}},
                      DirectoryCase{"v3InV2", {PdxbVersion(2, 0)}, {PdxbVersion(3, 0), 16, 24}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PdxbFileTest, ReadsAVersion3FileWithSixtyFourBitOffsets)
{
    PdxbHeaderSpec header;
    header.version = PdxbVersion(3, 0);
    PdxbBuilder builder(header, {PdxbVersion(3, 0)});
    builder.AddCamfile(Camfile(0, Counting(40), PdxbVersion(3, 0)));
    FPdxbImageReader reader(Write(builder.Build()));
    ASSERT_EQ(reader.GetCamfileCount(), 1);
    PdxbBytes buffer(40);
    EXPECT_EQ(reader.ReadCamfile(0, buffer.data(), 40, nullptr, nullptr), 40u);
    EXPECT_EQ(buffer, Counting(40));
}

// ---------------------------------------------------------------------------
// Property lists

TEST_F(PdxbFileTest, PropertyListsKeepDuplicatesAndOrderInBothLayouts)
{
    const Pairs first{{u"ISO", u"100"}, {u"NAME", u"a\u00E9\U0001F600"}, {u"ISO", u"200"}, {u"EMPTY", u""}};
    const Pairs second{{u"", u"nameless"}, {u"ISO", u"400"}};
    for (const uint32_t version : {PdxbVersion(2, 0), kPdxbVersion1_0}) {
        PdxbBuilder builder;
        builder.AddProperties(Props(first, version));
        builder.AddImage(Image(8, 4, 2));
        builder.AddProperties(Props(second, version));
        builder.AddProperties(Props({}, version));

        FPdxbImageReader reader(Write(builder.Build()));
        FPropTree node(nullptr, "props");
        node.AddPair("before", "kept");
        EXPECT_EQ(reader.GetProperties(&node), 4);
        Pairs expected{{u"before", u"kept"}};
        expected.insert(expected.end(), first.begin(), first.end());
        expected.insert(expected.end(), second.begin(), second.end());
        EXPECT_EQ(PairsOf(node), expected) << std::hex << version;
    }
}

TEST_F(PdxbFileTest, AFileWithoutPropertyListsAddsNothing)
{
    PdxbBuilder builder;
    builder.AddImage(Image(8, 4, 2));
    builder.AddCamfile(Camfile(0, Counting(8)));
    FPdxbImageReader reader(Write(builder.Build()));
    FPropTree node(nullptr, "props");
    EXPECT_EQ(reader.GetProperties(&node), 2);
    EXPECT_EQ(node.GetFirstPair(), nullptr);
}

// ---------------------------------------------------------------------------
// Images

TEST_F(PdxbFileTest, ImagesAreNumberedImagBeforeIma2)
{
    PdxbBuilder builder;
    builder.AddImage(Image(8, 10, 1, 2), kPdxbIma2);
    builder.AddImage(Image(8, 20, 1, 0), kPdxbImag);
    const int nested = builder.AddDirectory();
    builder.AddImage(Image(8, 30, 1, 1), kPdxbImag, nested);
    FPdxbImageReader reader(Write(builder.Build()));

    ASSERT_EQ(reader.GetImageCount(), 3);
    uint32_t columns, rows, kind;
    int32_t type;
    std::vector<uint32_t> order;
    for (int i = 0; i < 3; ++i) {
        reader.GetImageInfo(i, columns, rows, type, kind);
        order.push_back(columns);
    }
    EXPECT_EQ(order, (std::vector<uint32_t>{30, 20, 10})) << "nested IMAG, top IMAG, then IMA2";

    EXPECT_EQ(MessageOf<FExceptionIndexOutOfRange>([&] { reader.GetImageInfo(3, columns, rows, type, kind); }),
              "FPdxbImageReaderImpl::FindSection type 843140425 index 1");
    EXPECT_EQ(MessageOf<FExceptionIndexOutOfRange>([&] { reader.GetImageInfo(-1, columns, rows, type, kind); }),
              "FPdxbImageReaderImpl::FindSection type 1195461961 index -1");
    EXPECT_EQ(MessageOf<FExceptionIndexOutOfRange>([&] { reader.GetCamfileInfo(0, columns, type); }),
              "FPdxbImageReaderImpl::FindSection type 1179468099 index 0");
}

TEST_F(PdxbFileTest, ImageInfoGivesTheDecodedSizeAndPixelType)
{
    struct Case {
        uint32_t format;
        int32_t type;
        uint32_t columns, rows; // decoded from 100 x 80 stored
    };
    const Case cases[] = {
        {0, 15, 100, 80},   {1, 10, 100, 80},   {2, 15, 100, 80},   {3, 7, 100, 80},   {5, 16, 100, 80},
        {7, 0, 100, 80},    {8, 3, 100, 80},    {9, 3, 100, 80},    {11, 7, 100, 80},  {14, 15, 200, 160},
        {16, 15, 200, 160}, {17, 3, 200, 160},  {18, 7, 100, 80},   {20, 15, 100, 160}, {22, 15, 100, 160},
        {23, 0, 100, 80},   {25, 15, 200, 160}, {28, 15, 100, 80},  {29, 16, 100, 80}, {30, 16, 100, 80},
        {31, 0, 100, 80},   {4, 15, 100, 80},   {6, 16, 100, 80},   {10, 0, 100, 80},  {12, 15, 100, 80},
        {13, 15, 100, 80},  {15, 0, 100, 80},   {19, 0, 100, 80},   {21, 15, 100, 80}, {24, 15, 100, 80},
        {26, 15, 100, 80},  {27, 15, 100, 80},
    };
    PdxbBuilder builder;
    for (const Case& c : cases)
        builder.AddImage(Image(c.format, 100, 80, c.format % 4));
    FPdxbImageReader reader(Write(builder.Build()));
    for (int i = 0; i < int(std::size(cases)); ++i) {
        uint32_t columns, rows, kind;
        int32_t type;
        reader.GetImageInfo(i, columns, rows, type, kind);
        EXPECT_EQ(type, cases[i].type) << "format " << cases[i].format;
        EXPECT_EQ(columns, cases[i].columns) << "format " << cases[i].format;
        EXPECT_EQ(rows, cases[i].rows) << "format " << cases[i].format;
        EXPECT_EQ(kind, cases[i].format % 4);
    }
}

TEST_F(PdxbFileTest, GetImageRefusesAPixmapThatCannotHoldTheImage)
{
    PdxbBuilder builder;
    builder.AddImage(Image(17, 8, 2)); // decodes to 16 x 4 grey
    FPdxbImageReader reader(Write(builder.Build()));
    std::vector<uint8_t> pixels(64 * 64 * 6);

    FPixmapTemplate<FPixelClass16Mono> narrow(pixels.data(), 15, 4, 0);
    EXPECT_EQ(MessageOf<FExceptionPdxbReader>([&] { reader.GetImage(0, &narrow, nullptr, nullptr); }),
              "GetImage() : pixmap too small to receive image");
    FPixmapTemplate<FPixelClass16Mono> shallow(pixels.data(), 16, 3, 0);
    EXPECT_EQ(MessageOf<FExceptionPdxbReader>([&] { reader.GetImage(0, &shallow, nullptr, nullptr); }),
              "GetImage() : pixmap too small to receive image");
    FPixmapTemplate<FPixelClass48RGB> colour(pixels.data(), 16, 4, 0);
    EXPECT_EQ(MessageOf<FExceptionPdxbReader>([&] { reader.GetImage(0, &colour, nullptr, nullptr); }),
              "GetImage() : pixmap has incompatible pixel type");
}

TEST_F(PdxbFileTest, Version3ImageDataStartsAfterItsHeaderSize)
{
    PdxbImageSpec fits = Image(8, 4, 2, 1, PdxbVersion(3, 0));
    fits.headerSize = 48;
    PdxbImageSpec overlong = fits;
    overlong.data.pop_back(); // the surplus header bytes leave 7 data bytes for 8
    PdxbBuilder builder;
    builder.AddImage(fits);
    builder.AddImage(overlong);
    FPdxbImageReader reader(Write(builder.Build()));
    uint32_t columns, rows, kind;
    int32_t type;
    reader.GetImageInfo(0, columns, rows, type, kind);
    EXPECT_EQ(MessageOf<FExceptionPdxbReader>([&] { reader.GetImageInfo(1, columns, rows, type, kind); }),
              "Image section too small for its rows.");
}

// ---------------------------------------------------------------------------
// Camfiles

TEST_F(PdxbFileTest, CamfileInfoByTypeAndVersion)
{
    PdxbCamfileSpec longHeader = Camfile(1, Counting(50), PdxbVersion(3, 0));
    longHeader.headerSize = 30;
    PdxbBuilder builder;
    builder.AddCamfile(Camfile(0, Counting(100)));
    builder.AddCamfile(longHeader);
    builder.AddCamfile(Camfile(2, PdxbScrambledCamfileData(FourCC("FCEb"), 0x00010000, 7, Counting(30))));
    builder.AddCamfile(Camfile(4, PdxbHuffmanM4CamfileData(0, 20, 10, PdxbBytes(40))));
    builder.AddCamfile(Camfile(7, Counting(5), kPdxbVersion1_0));
    FPdxbImageReader reader(Write(builder.Build()));

    ASSERT_EQ(reader.GetCamfileCount(), 5);
    struct Expected {
        uint32_t size;
        int32_t kind;
    };
    const Expected expected[] = {{100, 0}, {50, 1}, {30, 1}, {20 * 10 * 12 / 8, 1}, {5, 7}};
    for (int i = 0; i < 5; ++i) {
        uint32_t size = 0;
        int32_t kind = -1;
        reader.GetCamfileInfo(i, size, kind);
        EXPECT_EQ(size, expected[i].size) << i;
        EXPECT_EQ(kind, expected[i].kind) << i;
    }

    PdxbBytes buffer(64, 0xEE);
    EXPECT_EQ(reader.ReadCamfile(1, buffer.data(), 64, nullptr, nullptr), 50u);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 50, Counting(50).begin()))
        << "the data starts after the header size the section gives";
    EXPECT_EQ(buffer[50], 0xEE);
}

TEST_F(PdxbFileTest, ReadCamfileDeliversAtMostTheBufferAndStopsWhenCancelled)
{
    const PdxbBytes data = Counting(300000);
    PdxbBuilder builder;
    builder.AddCamfile(Camfile(0, data));
    FPdxbImageReader reader(Write(builder.Build()));

    PdxbBytes buffer(data.size() + 10, 0);
    double progress = -1;
    EXPECT_EQ(reader.ReadCamfile(0, buffer.data(), uint32_t(buffer.size()), &progress, nullptr), data.size());
    EXPECT_TRUE(std::equal(data.begin(), data.end(), buffer.begin()));
    EXPECT_EQ(progress, 1.0);

    PdxbBytes shortBuffer(1000, 0);
    EXPECT_EQ(reader.ReadCamfile(0, shortBuffer.data(), 1000, nullptr, nullptr), 1000u);
    EXPECT_TRUE(std::equal(shortBuffer.begin(), shortBuffer.end(), data.begin()));

    std::atomic<char> cancel{1};
    progress = -1;
    EXPECT_EQ(reader.ReadCamfile(0, buffer.data(), uint32_t(buffer.size()), &progress, &cancel), 0u);
    EXPECT_DOUBLE_EQ(progress, 131072.0 / double(data.size())) << "one chunk, then the flag is seen";
}

TEST_F(PdxbFileTest, EncryptedCamfilesAreCheckedAndReportedUnreadable)
{
    struct Case {
        uint32_t magic, version;
        const char* message;
    };
    const Case cases[] = {
        {FourCC("FCEx"), 0x00010000, "Expected an encrypted CAMb section but got something else."},
        {FourCC("FCEb"), 0x00020000, "Encrypted CAMb file section version"},
        {FourCC("FCEb"), 0x0000FFFF, "Encrypted CAMb file section version"},
        {FourCC("FCEb"), 0x0001FFFF, "Encrypted cam file data cannot be read."},
    };
    PdxbBuilder builder;
    for (const Case& c : cases)
        builder.AddCamfile(Camfile(2, PdxbScrambledCamfileData(c.magic, c.version, 1, Counting(16))));
    FPdxbImageReader reader(Write(builder.Build()));
    PdxbBytes buffer(64);
    for (int i = 0; i < int(std::size(cases)); ++i)
        EXPECT_EQ(MessageOf<FExceptionPdxbReader>([&] { reader.ReadCamfile(i, buffer.data(), 64, nullptr, nullptr); }),
                  cases[i].message);
}
