#include "fileio/container/PdxbImageIO.h"
#include "support/PdxbFileTest.h"

#include <cstring>
#include <ctime>
#include <functional>
#include <sys/stat.h>

using namespace testsupport;

namespace {

PdxbFile ContainerOf(uint32_t version)
{
    PdxbHeaderSpec header;
    header.version = version;
    header.columns = 640;
    header.rows = 480;
    header.whiteBalance = "Shade";
    header.colorMode = "Portrait";
    header.extTypes[3] = PDXB_EXT_SHADOW;
    header.extValues[3] = 0.5f;
    PdxbBuilder builder(header);
    PdxbPropertySpec props;
    props.pairs = {{u"CAMMODEL", u"KT6M"}};
    builder.AddProperties(props);
    return builder.Build();
}

std::string WithBytes(std::string bytes, size_t at, const std::string& patch)
{
    bytes.replace(at, patch.size(), patch);
    return bytes;
}

std::string U32(uint32_t value) { return {char(value), char(value >> 8), char(value >> 16), char(value >> 24)}; }

std::string F32(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return U32(bits);
}

} // namespace

// Each setter changes exactly its field, at the offset of the file's layout.
struct UpdateCase {
    const char* name;
    uint32_t version;
    std::function<bool(FPdxbImageWriter&)> apply;
    size_t offset;
    std::string bytes; // empty: the setter fails and the file is unchanged
};

class PdxbUpdates : public PdxbFileTest, public ::testing::WithParamInterface<UpdateCase> {};

TEST_P(PdxbUpdates, WriteOnlyTheirFieldAtTheLayoutsOffset)
{
    const UpdateCase& c = GetParam();
    const FString url = Write(ContainerOf(c.version));
    const std::string before = ReadFileBytes(PathOf("image.kvr"));
    bool result;
    {
        FPdxbImageWriter writer(url, 0, 0, true);
        result = c.apply(writer);
    }
    const std::string after = ReadFileBytes(PathOf("image.kvr"));
    EXPECT_EQ(result, !c.bytes.empty());
    EXPECT_EQ(after, c.bytes.empty() ? before : WithBytes(before, c.offset, c.bytes));
}

const std::string kName31(31, 'n');

INSTANTIATE_TEST_SUITE_P(
    PerVersion, PdxbUpdates,
    ::testing::Values(
        UpdateCase{"MarkBits22", PdxbVersion(2, 2), [](auto& w) { w.SetMarkBits(0xA5000001); return true; }, 24,
                   U32(0xA5000001)},
        UpdateCase{"Rotation23", PdxbVersion(2, 3), [](auto& w) { w.SetRotation(270); return true; }, 36, U32(270)},
        UpdateCase{"WhiteBalance22", PdxbVersion(2, 2), [](auto& w) { return w.SetWhiteBalance("Flash"); }, 40,
                   std::string("Flash", 6)},
        UpdateCase{"WhiteBalance31Chars", PdxbVersion(2, 3),
                   [](auto& w) { return w.SetWhiteBalance(kName31.c_str()); }, 40, kName31 + std::string(1, '\0')},
        UpdateCase{"WhiteBalance32Chars", PdxbVersion(2, 3),
                   [](auto& w) { return w.SetWhiteBalance(std::string(32, 'n').c_str()); }, 0, ""},
        UpdateCase{"ColorMode23", PdxbVersion(2, 3), [](auto& w) { return w.SetColorMode("Vivid"); }, 72,
                   std::string("Vivid", 6)},
        UpdateCase{"ColorModeAbsentIn22", PdxbVersion(2, 2), [](auto& w) { return w.SetColorMode("Vivid"); }, 0, ""},
        UpdateCase{"ColorMode32Chars", PdxbVersion(2, 3),
                   [](auto& w) { return w.SetColorMode(std::string(32, 'c').c_str()); }, 0, ""},
        UpdateCase{"SlotType22", PdxbVersion(2, 2), [](auto& w) { return w.SetExtDataType(3, 9); }, 75,
                   std::string(1, '\x09')},
        UpdateCase{"SlotType23", PdxbVersion(2, 3), [](auto& w) { return w.SetExtDataType(31, 9); }, 135,
                   std::string(1, '\x09')},
        UpdateCase{"SlotValue22", PdxbVersion(2, 2), [](auto& w) { return w.SetExtDataValue(3, -2.0f); }, 116,
                   F32(-2.0f)},
        UpdateCase{"SlotValue23", PdxbVersion(2, 3), [](auto& w) { return w.SetExtDataValue(3, -2.0f); }, 148,
                   F32(-2.0f)},
        UpdateCase{"Slot32Type22", PdxbVersion(2, 2), [](auto& w) { return w.SetExtDataType(32, 1); }, 0, ""},
        UpdateCase{"Slot32Value23", PdxbVersion(2, 3), [](auto& w) { return w.SetExtDataValue(32, 1.0f); }, 0, ""},
        UpdateCase{"NegativeSlot23", PdxbVersion(2, 3), [](auto& w) { return w.SetExtDataType(-1, 1); }, 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PdxbFileTest, ReaderSeesWhatTheWriterWrote)
{
    const FString url = Write(ContainerOf(PdxbVersion(2, 3)));
    {
        FPdxbImageWriter writer(url, 0, 0, true);
        EXPECT_EQ(writer.GetExtDataCount(), 32);
        EXPECT_EQ(writer.GetExtDataType(3), PDXB_EXT_SHADOW);
        writer.SetRotation(270);
        EXPECT_EQ(writer.GetRotation(), 270u);
        writer.SetMarkBits(3);
        EXPECT_TRUE(writer.SetWhiteBalance("Cloudy"));
        EXPECT_TRUE(writer.SetColorMode(""));
        EXPECT_TRUE(writer.SetExtDataType(3, PDXB_EXT_FREE));
        EXPECT_TRUE(writer.SetExtDataType(4, PDXB_EXT_CONTRAST));
        EXPECT_TRUE(writer.SetExtDataValue(4, 0.75f));
        EXPECT_EQ(writer.GetExtDataType(3), PDXB_EXT_FREE);
    }
    FPdxbImageReader reader(url);
    EXPECT_EQ(reader.GetRotation(), 270u);
    EXPECT_EQ(reader.GetMarkBits(), 3u);
    EXPECT_STREQ(reader.GetWhiteBalance(), "Cloudy");
    EXPECT_STREQ(reader.GetColorMode(), "");
    EXPECT_EQ(reader.GetExtDataType(3), PDXB_EXT_FREE);
    EXPECT_EQ(reader.GetExtDataType(4), PDXB_EXT_CONTRAST);
    EXPECT_EQ(reader.GetExtDataValue(4), 0.75f);
    uint32_t columns, rows;
    reader.GetImageSize(columns, rows);
    EXPECT_EQ(columns, 640u);
    EXPECT_EQ(reader.GetImageCount(), 0) << "the directory is intact";
}

TEST_F(PdxbFileTest, RefusedUpdatesLeaveTheFileByteIdentical)
{
    struct Case {
        const char* name;
        std::string bytes;
        bool readOnly;
        const char* exception; // description of the expected class
        bool messageIsPath;
    };
    PdxbHeaderSpec v4;
    v4.version = PdxbVersion(4, 0);
    const std::string v23 = ContainerOf(PdxbVersion(2, 3)).Str();
    const Case cases[] = {
        {"read-only 2.3 file", v23, true, "General Pdxb Writer I/O exception", false},
        {"JPEG file", std::string("\xFF\xD8\xFF\xE1", 4) + std::string(400, 'x'), false, "This file is not a pdxb",
         true},
        {"version 2.0", ContainerOf(PdxbVersion(2, 0)).Str(), false, "Incompatible pdxb version", true},
        {"version 2.1", ContainerOf(PdxbVersion(2, 1)).Str(), false, "Incompatible pdxb version", true},
        {"version 1.0", ContainerOf(kPdxbVersion1_0).Str(), false, "Incompatible pdxb version", true},
        {"version 3.0", ContainerOf(PdxbVersion(3, 0)).Str(), false, "Incompatible pdxb version", true},
        {"version 4.0", PdxbBuilder(v4).Build().Str(), false, "Incompatible pdxb version", true},
        {"truncated 2.3 header", v23.substr(0, 200), false, "General Pdxb Reader I/O exception", false},
        {"empty file", "", false, "This file is not a pdxb", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FString url = WriteBytes(c.bytes, "refused.kvr");
        if (c.readOnly)
            ::chmod(PathOf("refused.kvr").c_str(), 0444);
        std::string description = "<no exception>", message;
        try {
            FPdxbImageWriter writer(url, 0, 0, true);
            writer.SetRotation(90);
        } catch (const FException& e) {
            description = e.GetDescription();
            message = e.GetMessage();
        }
        EXPECT_EQ(description, c.exception);
        if (c.messageIsPath) {
            EXPECT_EQ(message, Utf8FromWide(url));
        }
        EXPECT_EQ(ReadFileBytes(PathOf("refused.kvr")), c.bytes);
        ::chmod(PathOf("refused.kvr").c_str(), 0644);
    }

    // Creating over a locked file would truncate it.
    const FString locked = WriteBytes(v23, "locked.kvr");
    ::chmod(PathOf("locked.kvr").c_str(), 0444);
    EXPECT_EQ(MessageOf<FExceptionPdxbWriter>([&] { FPdxbImageWriter writer(locked, 10, 10, false); }),
              "Error openning file for write.");
    EXPECT_EQ(ReadFileBytes(PathOf("locked.kvr")), v23);

    const FString missing = UrlOf("missing.kvr");
    EXPECT_EQ(MessageOf<FExceptionPdxbWriter>([&] { FPdxbImageWriter writer(missing, 0, 0, true); }),
              "Error openning file for write.");
    EXPECT_FALSE(std::filesystem::exists(PathOf("missing.kvr"))) << "an update never creates a file";
}

TEST_F(PdxbFileTest, CreatingWritesAFresh23HeaderWithAPathAndTimeIdentifier)
{
    const FString url = UrlOf("created-file.kvr");
    const uint32_t before = uint32_t(std::time(nullptr));
    {
        FPdxbImageWriter writer(url, 4000, 3000, false);
        EXPECT_EQ(writer.GetExtDataCount(), 32);
        EXPECT_TRUE(writer.SetColorMode("Standard"));
        writer.SetRotation(180);
    }
    const uint32_t after = uint32_t(std::time(nullptr));
    const PdxbBytes expectedLayout = [] {
        PdxbHeaderSpec header;
        header.columns = 4000;
        header.rows = 3000;
        header.rotation = 180;
        header.colorMode = "Standard";
        return BuildPdxbHeader(header);
    }();
    const std::string bytes = ReadFileBytes(PathOf("created-file.kvr"));
    ASSERT_EQ(bytes.size(), 264u);
    EXPECT_EQ(bytes.substr(0, 8), std::string(expectedLayout.begin(), expectedLayout.begin() + 8));
    EXPECT_EQ(bytes.substr(24), std::string(expectedLayout.begin() + 24, expectedLayout.end()));

    // Identifier: the URL's last 8 UTF-16 units ("file.kvr"), each 32-bit word plus the time.
    const std::u16string_view tail = url.View().substr(url.View().size() - 8);
    ASSERT_EQ(tail, u"file.kvr");
    uint32_t added = 0;
    for (int word = 0; word < 4; ++word) {
        const uint32_t units = uint32_t(tail[2 * word]) | uint32_t(tail[2 * word + 1]) << 16;
        const uint32_t stored = PeekU32(PdxbBytes(bytes.begin(), bytes.end()), 8 + 4 * word);
        if (word == 0)
            added = stored - units;
        EXPECT_EQ(stored - units, added) << "word " << word;
    }
    EXPECT_GE(added, before);
    EXPECT_LE(added, after);

    FPdxbImageReader reader(url);
    EXPECT_EQ(reader.GetRotation(), 180u);
    EXPECT_STREQ(reader.GetColorMode(), "Standard");
}
