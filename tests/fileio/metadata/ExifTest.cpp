#include "fileio/metadata/Exif.h"
#include "fileio/metadata/MakerNote.h"
#include "foundation/FException.h"
#include "foundation/FPropTree.h"
#include "support/CommaLocale.h"
#include "support/ExifBytes.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

using testsupport::ExifBytes;
using testsupport::ExifRawEntry;

namespace {

constexpr size_t kExifBufferBytes = 65535;

void SetProps(FPropTree& tree, const std::vector<std::pair<const char*, const char*>>& pairs)
{
    for (const auto& [key, value] : pairs)
        tree.AddPair(key, value);
}

std::string Prop(const FPropTree& tree, const char* key)
{
    const FString* value = tree.GetValue(FString(key), nullptr);
    return value ? value->GetAscii() : "<absent>";
}

int CountPairs(const FPropTree& tree)
{
    int n = 0;
    for (FPropPair* p = tree.GetFirstPair(); p; p = p->GetNext())
        ++n;
    return n;
}

uint16_t U16LE(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32LE(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

struct BuiltEntry {
    uint16_t type;
    uint32_t count;
    uint32_t field;
};

// The entries of the little-endian IFD at position, by tag.
std::map<uint16_t, BuiltEntry> ReadIfd(const std::vector<uint8_t>& bytes, size_t position)
{
    std::map<uint16_t, BuiltEntry> entries;
    const uint16_t count = U16LE(&bytes[position]);
    for (uint16_t i = 0; i < count; ++i) {
        const uint8_t* e = &bytes[position + 2 + 12 * i];
        entries[U16LE(e)] = {U16LE(e + 2), U32LE(e + 4), U32LE(e + 8)};
    }
    return entries;
}

std::vector<uint8_t> BuildBlock(const FPropTree& tree, int32_t columns = 3000, int32_t rows = 2000)
{
    std::vector<uint8_t> buffer(kExifBufferBytes, 0xFF);
    const uint32_t length = BuildExif(buffer.data(), buffer.size(), 0, tree, columns, rows);
    EXPECT_EQ(length, kExifBlockBytes);
    return buffer;
}

void ExpectRational(const std::vector<uint8_t>& block, uint16_t tag, int32_t numerator, int32_t denominator)
{
    const auto entries = ReadIfd(block, 0);
    ASSERT_TRUE(entries.count(tag)) << tag;
    const uint32_t at = entries.at(tag).field;
    EXPECT_EQ(static_cast<int32_t>(U32LE(&block[at])), numerator) << "tag " << tag;
    EXPECT_EQ(static_cast<int32_t>(U32LE(&block[at + 4])), denominator) << "tag " << tag;
}

class ExifTest : public ::testing::Test {
protected:
    // The date tests must not depend on the machine's zone.
    testsupport::ScopedEnv m_Zone{"TZ", "UTC"};
    void SetUp() override { tzset(); }
    void TearDown() override { tzset(); }
};

TEST_F(ExifTest, BuildExifWritesTheFixedLayout)
{
    FPropTree tree(nullptr, "props");
    SetProps(tree, {{"SH_DESC", "1/250"},     {"AP_DESC", "5.6"},       {"PMODE", "A"},
                    {"ISO", "400"},           {"TIME", "1262347445"},   {"EXPNET", "0.3"},
                    {"LENSARANGE", "22 to 2.8"}, {"AEMODE", "8"},       {"FLASH", "ON"},
                    {"FLENGTH", "50.57"},     {"rpColorSpace", "2"},    {"WB_DESC", "Auto"},
                    {"CAMMODEL", "TALVO HV7"}, {"CAMMANUF", "TALVO"},   {"rpUniqueID", "0123456789abcdef"}});
    const std::vector<uint8_t> block = BuildBlock(tree);

    ASSERT_EQ(U16LE(&block[0]), 26);
    struct Expected {
        uint16_t tag, type;
        uint32_t count, field;
    };
    // Offsets of the value area: 318 rationals, 334 and 354 dates, 374-390
    // rationals, 398 maker note, 1226 unique id.
    const Expected expected[] = {
        {33434, 5, 1, 318},          {33437, 5, 1, 326},       {34850, 3, 1, 3},
        {34855, 3, 1, 400},          {36864, 7, 4, 0x30323230}, {36867, 2, 20, 334},
        {36868, 2, 20, 354},         {37121, 7, 4, 0x00030201}, {37380, 10, 1, 374},
        {37381, 5, 1, 382},          {37383, 3, 1, 5},         {37385, 3, 1, 1},
        {37386, 5, 1, 390},          {37500, 7, 512, 398},     {40960, 7, 4, 0x30303130},
        {40961, 3, 1, 1},            {40962, 4, 1, 3000},      {40963, 4, 1, 2000},
        {41495, 3, 1, 2},            {41728, 7, 1, 3},         {41985, 3, 1, 1},
        {41986, 3, 1, 0},            {41987, 3, 1, 0},         {41989, 3, 1, 85},
        {41990, 3, 1, 0},            {42016, 2, 33, 1226},
    };
    for (size_t i = 0; i < std::size(expected); ++i) {
        const uint8_t* e = &block[2 + 12 * i];
        EXPECT_EQ(U16LE(e), expected[i].tag) << "entry " << i;
        EXPECT_EQ(U16LE(e + 2), expected[i].type) << "entry " << i;
        EXPECT_EQ(U32LE(e + 4), expected[i].count) << "entry " << i;
        EXPECT_EQ(U32LE(e + 8), expected[i].field) << "entry " << i;
    }
    EXPECT_EQ(U32LE(&block[314]), 0u); // no next IFD

    ExpectRational(block, 33434, 1, 250);
    ExpectRational(block, 33437, 56, 10);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&block[334]), 20), std::string("2010:01:01 12:04:05", 20));
    EXPECT_EQ(block[354 + 4], ':');
    EXPECT_EQ(block[354 + 19], 0);
    ExpectRational(block, 37380, 3, 10);
    ExpectRational(block, 37381, 30, 10);
    ExpectRational(block, 37386, 505, 10);
    EXPECT_EQ(std::memcmp(&block[398], "TALVO\0\0\0", 8), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&block[1226])), "0123456789abcdef0000000000000000");
    // The block ends where BuildExif says: the caller's fill is untouched beyond.
    EXPECT_EQ(block[1259], 0xFF);
}

TEST_F(ExifTest, BuildExifRoundTripsThroughParseExif)
{
    FPropTree tree(nullptr, "props");
    SetProps(tree, {{"SH_DESC", "1/250"}, {"AP_DESC", "5.6"},  {"PMODE", "A"},      {"ISO", "400"},
                    {"TIME", "1262347445"}, {"EXPNET", "-0.7"}, {"AEMODE", "C"},     {"FLASH", "ON"},
                    {"FLENGTH", "50"},    {"rpUniqueID", "0123456789abcdef0123456789abcdefXYZ"}});
    const std::vector<uint8_t> block = BuildBlock(tree, 640, 480);

    FPropTree parsed(nullptr, "parsed");
    EXPECT_TRUE(ParseExif(block.data(), kExifBlockBytes, 0, 0, false, parsed));
    EXPECT_EQ(Prop(parsed, "SH_DESC"), "1/250");
    EXPECT_EQ(Prop(parsed, "AP_DESC"), "5.6");
    EXPECT_EQ(Prop(parsed, "PMODE"), "A");
    EXPECT_EQ(Prop(parsed, "ISO"), "400");
    EXPECT_EQ(Prop(parsed, "EXIF_DATETIME_ORIGINAL"), "1262347445");
    EXPECT_EQ(Prop(parsed, "TIME"), "1262347445");
    EXPECT_EQ(Prop(parsed, "EXPCOMP"), "-0.7");
    EXPECT_EQ(Prop(parsed, "EXPNET"), "-0.7");
    EXPECT_EQ(Prop(parsed, "AEMODE"), "S"); // "C" is written as 3, which reads back as "S"
    EXPECT_EQ(Prop(parsed, "FLASH"), "ON");
    EXPECT_EQ(Prop(parsed, "FLENGTH"), "50");
    EXPECT_EQ(Prop(parsed, "COLS"), "640");
    EXPECT_EQ(Prop(parsed, "ROWS"), "480");
    EXPECT_EQ(Prop(parsed, "rpUniqueID"), "0123456789abcdef0123456789abcdef");
    EXPECT_EQ(Prop(parsed, "CAMSERIAL"), " "); // from the maker note
}

TEST_F(ExifTest, BuildExifRationalsFromPropertyTexts)
{
    struct Case {
        const char* key;
        const char* value;
        uint16_t tag;
        int32_t numerator, denominator;
    };
    const Case cases[] = {
        {"SH_DESC", "1/250", 33434, 1, 250},    {"SH_DESC", "0.5", 33434, 5, 10},
        {"SH_DESC", "30", 33434, 30, 1},        {"SH_DESC", "BULB", 33434, 0, 1},
        {"EXPNET", "0.3", 37380, 3, 10},        {"EXPNET", "-0.7", 37380, -7, 10},
        {"LENSARANGE", "22 to 2.8", 37381, 30, 10}, {"LENSARANGE", "22 to 1", 37381, 0, 10},
        {"FLENGTH", "50", 37386, 50, 1},        {"FLENGTH", "50.57", 37386, 505, 10},
        {"FLENGTH", "1e300", 37386, INT32_MAX, 1}, {"AP_DESC", "-1e30", 33437, INT32_MIN, 10},
    };
    for (const Case& c : cases) {
        FPropTree tree(nullptr, "props");
        tree.AddPair(c.key, c.value);
        ExpectRational(BuildBlock(tree), c.tag, c.numerator, c.denominator);
    }
    FPropTree empty(nullptr, "props");
    const std::vector<uint8_t> defaults = BuildBlock(empty);
    ExpectRational(defaults, 33434, 1, 1);  // SH_DESC defaults to 1/1
    ExpectRational(defaults, 37381, 0, 10); // no LENSARANGE
}

// One entry parsed on its own, in both byte orders, must give the same text.
TEST_F(ExifTest, ParseExifValueTexts)
{
    struct Case {
        const char* name;
        ExifRawEntry (*make)(const ExifBytes&);
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"1/8000 s", [](const ExifBytes& b) { return b.Rational(33434, 1, 8000); }, "SH_DESC", "1/8000"},
        {"0.3 s", [](const ExifBytes& b) { return b.Rational(33434, 3, 10); }, "SH_DESC", "0.3"},
        {"2 s", [](const ExifBytes& b) { return b.Rational(33434, 2, 1); }, "SH_DESC", "2.0"},
        {"8 s", [](const ExifBytes& b) { return b.Rational(33434, 8, 1); }, "SH_DESC", "8"},
        {"120 s", [](const ExifBytes& b) { return b.Rational(33434, 120, 1); }, "SH_DESC", "BULB"},
        {"0 s", [](const ExifBytes& b) { return b.Rational(33434, 0, 1); }, "SH_DESC", "<absent>"},
        {"0/0 s", [](const ExifBytes& b) { return b.Rational(33434, 0, 0); }, "SH_DESC", "<absent>"},
        {"negative s", [](const ExifBytes& b) { return b.Rational(33434, -1, 100); }, "SH_DESC", "<absent>"},
        {"largest reciprocal",
         [](const ExifBytes& b) { return b.Rational(33434, 1, INT32_MAX); }, "SH_DESC", "1/2147483647"},
        {"reciprocal beyond int",
         [](const ExifBytes& b) { return b.Rational(37377, 40, 1, true); }, "SH_DESC", "<absent>"},
        {"shutter value 8", [](const ExifBytes& b) { return b.Rational(37377, 8, 1, true); }, "SH_DESC", "1/256"},
        {"shutter value huge",
         [](const ExifBytes& b) { return b.Rational(37377, -2000, 1, true); }, "SH_DESC", "<absent>"},
        {"shutter value tiny",
         [](const ExifBytes& b) { return b.Rational(37377, 2000, 1, true); }, "SH_DESC", "<absent>"},
        {"f-number", [](const ExifBytes& b) { return b.Rational(33437, 28, 10); }, "AP_DESC", "2.8"},
        {"aperture value", [](const ExifBytes& b) { return b.Rational(37378, 6, 1); }, "AP_DESC", "8.0"},
        {"bias 1/1", [](const ExifBytes& b) { return b.Rational(37380, 1, 1, true); }, "EXPCOMP", "1"},
        {"bias -3/10", [](const ExifBytes& b) { return b.Rational(37380, -3, 10, true); }, "EXPNET", "-0.3"},
        {"iso 1", [](const ExifBytes& b) { return b.Short(34855, 1); }, "ISO", "200"},
        {"iso 800", [](const ExifBytes& b) { return b.Short(34855, 800); }, "ISO", "800"},
        {"program 7", [](const ExifBytes& b) { return b.Short(34850, 7); }, "PMODE", "I"},
        {"program 99", [](const ExifBytes& b) { return b.Short(34850, 99); }, "PMODE", "U"},
        {"metering 5", [](const ExifBytes& b) { return b.Short(37383, 5); }, "AEMODE", "8"},
        {"metering 2", [](const ExifBytes& b) { return b.Short(37383, 2); }, "AEMODE", "A"},
        {"flash 0x41", [](const ExifBytes& b) { return b.Short(37385, 0x41); }, "FLASH", "REDEYE"},
        {"flash 0x10", [](const ExifBytes& b) { return b.Short(37385, 0x10); }, "FLASH", "OFF"},
        {"flash 9", [](const ExifBytes& b) { return b.Short(37385, 9); }, "FLASH", "ON"},
        {"focal 35.5", [](const ExifBytes& b) { return b.Rational(37386, 355, 10); }, "FLENGTH", "35.5"},
        {"width", [](const ExifBytes& b) { return b.Long(40962, 4000000000u); }, "COLS", "4000000000"},
        {"make", [](const ExifBytes& b) { return b.Ascii(271, "TALVO"); }, "CAMMANUF", "TALVO"},
        {"short model", [](const ExifBytes& b) { return b.Ascii(272, "X1"); }, "CAMMODEL", "X1"},
        {"date", [](const ExifBytes& b) { return b.Ascii(306, "2010:01:01 12:04:05"); }, "EXIF_DATETIME",
         "1262347445"},
    };
    for (const Case& c : cases) {
        for (bool bBig : {false, true}) {
            ExifBytes b(bBig);
            b.AppendIfd({c.make(b)});
            FPropTree tree(nullptr, "parsed");
            EXPECT_TRUE(ParseExif(b.Bytes().data(), b.Size(), 0, 0, bBig, tree)) << c.name;
            EXPECT_EQ(Prop(tree, c.key), c.expected) << c.name << (bBig ? " (big-endian)" : "");
        }
    }
}

TEST_F(ExifTest, DatesReadAsUtcInEveryZone)
{
    for (const char* zone : {"UTC", "Asia/Kolkata", "America/New_York"}) {
        testsupport::ScopedEnv tz("TZ", zone);
        tzset();
        EXPECT_EQ(ExifTextToSeconds("2010:01:01 12:04:05"), 1262347445u) << zone;
        EXPECT_EQ(ExifTextToSeconds("2105:12:31 23:59:59"), 4291747199u) << zone;
        EXPECT_EQ(ExifSecondsToText(1262347445u, false), "2010:01:01 12:04:05") << zone;
        EXPECT_EQ(ExifSecondsToText(4291747199u, false), "2105:12:31 23:59:59") << zone;
        // The last second before 2038 and the first after it.
        EXPECT_EQ(ExifSecondsToText(2147483647u, false), "2038:01:19 03:14:07") << zone;
        EXPECT_EQ(ExifTextToSeconds("2038:01:19 03:14:08"), 2147483648u) << zone;
    }
    tzset();
    EXPECT_EQ(ExifTextToSeconds("2106:01:01 00:00:00"), 0u);
    EXPECT_EQ(ExifTextToSeconds("1969:12:31 23:59:59"), 0u);
    EXPECT_EQ(ExifTextToSeconds("2010:01:01"), 0u);
    EXPECT_EQ(ExifTextToSeconds("    :  :     :  :  "), 0u);
    EXPECT_EQ(ExifTextToSeconds("2010:13:01 00:00:00"), ExifTextToSeconds("2011:01:01 00:00:00"));
    EXPECT_EQ(ExifTextToSeconds("99999999999:1:1 0:0:0"), 0u);
}

TEST_F(ExifTest, DateTimeOriginalInTheYear2106GivesTimeZero)
{
    ExifBytes b(false);
    b.AppendIfd({b.Ascii(36867, "2106:03:01 00:00:00"), b.Ascii(36868, "2010:01:01 12:04:05")});
    FPropTree tree(nullptr, "parsed");
    EXPECT_TRUE(ParseExif(b.Bytes().data(), b.Size(), 0, 0, false, tree));
    EXPECT_EQ(Prop(tree, "EXIF_DATETIME_ORIGINAL"), "<absent>");
    EXPECT_EQ(Prop(tree, "EXIF_DATETIME_DIGITIZED"), "1262347445");
    EXPECT_EQ(Prop(tree, "TIME"), "0");
}

// The layout a JPEG reader meets: APP1 data with the TIFF header at 6, IFD0 at
// 14 pointing to an EXIF sub-IFD and an interoperability IFD, and our maker note.
std::vector<uint8_t> App1Twin(bool bBig)
{
    ExifBytes b(bBig, 6);
    b.Append({'E', 'x', 'i', 'f', 0, 0});
    b.Append(bBig ? std::vector<uint8_t>{'M', 'M'} : std::vector<uint8_t>{'I', 'I'});
    b.Append(b.U16s({42}));
    b.Append(b.U32s({8}));
    // IFD0 at 14, sub-IFD pointers patched below.
    const size_t ifd0 = b.AppendIfd({b.Ascii(271, "TALVO"), b.Ascii(272, "TALVO KT6M"), b.Long(34665, 0)});
    const size_t exifIfd = b.AppendIfd({b.Rational(33434, 1, 60), b.Rational(33437, 40, 10), b.Short(34855, 200),
                                        b.Ascii(36867, "2012:06:30 08:15:00"), b.Long(40965, 0),
                                        b.Undefined(37500, std::vector<uint8_t>(4, 0)), b.Long(40962, 100)});
    b.PutU32(ifd0 + 2 + 12 * 2 + 8, b.OffsetOf(exifIfd));
    const size_t interop = b.AppendIfd({b.Ascii(1, "R98")});
    b.PutU32(exifIfd + 2 + 12 * 4 + 8, b.OffsetOf(interop));
    // The maker note: identifier, version, IFD with values right behind it.
    const size_t note = b.Size();
    b.Append({'P', 'A', 'R', 'D', 'E', 'X', 0, 0});
    b.Append(b.U16s({1}));
    b.AppendIfd({b.Ascii(2, "SN12345"), b.Ascii(11, "AdobeRGB(1998)"), b.Ascii(20, "CC:+5Y"),
                 {44, 4, 1, b.U32s({4}), std::nullopt}});
    ExifRawEntry noteEntry = b.Undefined(37500, std::vector<uint8_t>(b.Size() - note, 0));
    const size_t noteEntryAt = exifIfd + 2 + 12 * 5;
    b.PutU32(noteEntryAt + 4, noteEntry.count);
    b.PutU32(noteEntryAt + 8, b.OffsetOf(note));
    return b.Bytes();
}

std::vector<std::pair<std::string, std::string>> AllPairs(const FPropTree& tree)
{
    std::vector<std::pair<std::string, std::string>> pairs;
    for (FPropPair* p = tree.GetFirstPair(); p; p = p->GetNext())
        pairs.emplace_back(p->m_sKey.GetAscii(), p->m_sValue.GetAscii());
    return pairs;
}

TEST_F(ExifTest, BigEndianBlockParsesLikeItsLittleEndianTwin)
{
    std::vector<std::pair<std::string, std::string>> results[2];
    for (bool bBig : {false, true}) {
        const std::vector<uint8_t> data = App1Twin(bBig);
        FPropTree tree(nullptr, "parsed");
        EXPECT_TRUE(ParseExif(data.data(), data.size(), 14, 6, bBig, tree));
        results[bBig] = AllPairs(tree);
    }
    EXPECT_EQ(results[0], results[1]);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"CAMMANUF", "TALVO"}, {"CAMMODEL", "TALVO KT6M"}, {"SH_DESC", "1/60"},
        {"AP_DESC", "4.0"},    {"ISO", "200"},             {"EXIF_DATETIME_ORIGINAL", "1341044100"},
        {"CAMSERIAL", "SN12345"}, {"rpColorSpace", "3"},   {"rpColorAdjust", "+5Y"},
        {"CM_DESC", "VIVID"},  {"COLS", "100"},            {"TIME", "1341044100"},
    };
    EXPECT_EQ(results[0], expected);
}

TEST_F(ExifTest, TiffStyleBlockWithOffsetsFromTheFileStart)
{
    // A TIFF reader hands the bytes from the EXIF IFD's file offset (here 5000)
    // on; offsets inside count from the file start.
    const size_t fileOffset = 5000;
    ExifBytes b(false, 0);
    b.PadTo(fileOffset);
    b.AppendIfd({b.Rational(33434, 1, 125), b.Ascii(272, "A long model name")});
    const std::vector<uint8_t> tail(b.Bytes().begin() + fileOffset, b.Bytes().end());
    FPropTree tree(nullptr, "parsed");
    EXPECT_TRUE(ParseExif(tail.data(), tail.size(), 0, -int64_t(fileOffset), false, tree));
    EXPECT_EQ(Prop(tree, "SH_DESC"), "1/125");
    EXPECT_EQ(Prop(tree, "CAMMODEL"), "A long model name");
}

// Hostile blocks: every case must parse without reading outside the handed
// bytes (the sanitizer build checks that) and keep what it read before the fault.
TEST_F(ExifTest, CorruptBlocksAreParsedSafely)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> (*make)();
        bool bComplete;
        const char* key;      // a property that must (or must not) be there
        const char* expected;
    };
    const Case cases[] = {
        {"empty", [] { return std::vector<uint8_t>(); }, false, "SH_DESC", "<absent>"},
        {"one byte", [] { return std::vector<uint8_t>{1}; }, false, "SH_DESC", "<absent>"},
        {"entry count beyond the data",
         [] {
             ExifBytes b(false);
             b.AppendIfd({b.Short(34855, 100)});
             b.PutU16(0, 0xFFFF);
             b.Bytes().resize(b.Size() - 4); // no next-IFD field either
             return b.Bytes();
         },
         false, "ISO", "100"},
        {"value offset beyond the data",
         [] {
             ExifBytes b(false);
             ExifRawEntry e = b.Rational(33434, 1, 60);
             e.offset = 0xFFFFFFF0u;
             b.AppendIfd({b.Short(34855, 100), e, b.Short(34850, 1)});
             return b.Bytes();
         },
         false, "PMODE", "<absent>"},
        {"count overflowing 32 bits",
         [] {
             ExifBytes b(false);
             ExifRawEntry e = b.Rational(33434, 1, 60);
             e.count = 0x20000001u; // 8 x count wraps to 8 in 32 bits
             b.AppendIfd({e});
             return b.Bytes();
         },
         false, "SH_DESC", "<absent>"},
        {"count of 65536 bytes",
         [] {
             ExifBytes b(false);
             ExifRawEntry e = b.Ascii(271, "TALVO");
             e.count = 0x10000; // 16 bits of it would be 0
             b.AppendIfd({e});
             return b.Bytes();
         },
         false, "CAMMANUF", "<absent>"},
        {"unterminated text without any zero",
         [] {
             ExifBytes b(false);
             ExifRawEntry e = b.Ascii(272, "ABCDEFGH");
             e.data.pop_back();
             e.count = 8;
             b.AppendIfd({e, b.Short(34855, 100)});
             return b.Bytes();
         },
         false, "ISO", "<absent>"},
        {"text cut at its last zero",
         [] {
             ExifBytes b(false);
             ExifRawEntry e = b.Ascii(272, "ABC");
             e.data = {'A', 'B', 0, 'C', 'D', 'E'};
             e.count = 6;
             b.AppendIfd({e});
             return b.Bytes();
         },
         true, "CAMMODEL", "AB"},
        {"empty text",
         [] {
             ExifBytes b(false);
             b.AppendIfd({{271, 2, 0, {0, 0, 0, 0}, std::nullopt}});
             return b.Bytes();
         },
         true, "CAMMANUF", ""},
        {"rational with count 0",
         [] {
             ExifBytes b(false);
             b.AppendIfd({{33434, 5, 0, {}, std::nullopt}});
             return b.Bytes();
         },
         true, "SH_DESC", "<absent>"},
        {"unknown type",
         [] {
             ExifBytes b(false);
             b.AppendIfd({b.Short(34855, 100), {34850, 13, 1, {1, 0, 0, 0}, std::nullopt}, b.Short(37383, 2)});
             return b.Bytes();
         },
         false, "AEMODE", "<absent>"},
        {"sub-IFD pointing at itself",
         [] {
             ExifBytes b(false);
             b.AppendIfd({b.Long(34665, 0), b.Short(34855, 100)});
             return b.Bytes();
         },
         true, "ISO", "100"},
        {"two sub-IFDs pointing at each other",
         [] {
             ExifBytes b(false);
             b.AppendIfd({b.Long(34665, 0)});
             const size_t second = b.AppendIfd({b.Long(40965, 0), b.Short(34855, 100)});
             b.PutU32(2 + 8, b.OffsetOf(second));
             return b.Bytes();
         },
         true, "ISO", "100"},
        {"sub-IFD beyond the data",
         [] {
             ExifBytes b(false);
             b.AppendIfd({b.Long(34665, 0x7FFFFFF0u), b.Short(34855, 100)});
             return b.Bytes();
         },
         true, "ISO", "100"},
        {"maker note identifier at the very end",
         [] {
             ExifBytes b(false);
             b.AppendIfd({b.Short(34855, 100), b.Undefined(37500, {'T', 'A', 'L', 'V', 'O', 0})});
             return b.Bytes();
         },
         true, "ISO", "100"},
        {"maker note with entries beyond the data",
         [] {
             ExifBytes b(false);
             std::vector<uint8_t> note = {'T', 'A', 'L', 'V', 'O', 0, 0, 0, 1, 0, 200, 0};
             b.AppendIfd({b.Undefined(37500, note), b.Short(34855, 100)});
             return b.Bytes();
         },
         true, "ISO", "100"},
        {"maker note with a value offset beyond the data",
         [] {
             ExifBytes b(false);
             std::vector<uint8_t> note = {'T', 'A', 'L', 'V', 'O', 0, 0, 0, 1, 0, 1, 0,
                                          2,   0,   2,   0,   0xFF, 0xFF, 0, 0, 0, 0, 0, 0};
             b.AppendIfd({b.Undefined(37500, note), b.Short(34855, 100)});
             return b.Bytes();
         },
         true, "CAMSERIAL", "<absent>"},
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t> data = c.make();
        FPropTree tree(nullptr, "parsed");
        bool bComplete = true;
        EXPECT_NO_THROW(bComplete = ParseExif(data.data(), data.size(), 0, 0, false, tree)) << c.name;
        EXPECT_EQ(bComplete, c.bComplete) << c.name;
        EXPECT_EQ(Prop(tree, c.key), c.expected) << c.name;
    }
    // An IFD position beyond the handed bytes, and a base that puts every offset outside.
    const std::vector<uint8_t> small(20, 0);
    FPropTree tree(nullptr, "parsed");
    EXPECT_FALSE(ParseExif(small.data(), small.size(), 100, 0, false, tree));
    EXPECT_FALSE(ParseExif(nullptr, 0, 0, 0, true, tree));
    EXPECT_EQ(CountPairs(tree), 0);
}

// A toolkit may leave the process in a locale with a decimal comma; EXIF
// texts and numbers keep the '.'.
TEST_F(ExifTest, NumbersKeepTheirPointUnderACommaLocale)
{
    testsupport::ScopedCommaLocale comma;
    if (!comma.Active())
        GTEST_SKIP() << "no comma locale available";
    FPropTree tree(nullptr, "props");
    SetProps(tree, {{"SH_DESC", "0.5"}, {"AP_DESC", "5.6"}, {"rpContrast", "-1.5"}});
    const std::vector<uint8_t> block = BuildBlock(tree);
    ExpectRational(block, 33434, 5, 10);
    FPropTree parsed(nullptr, "parsed");
    EXPECT_TRUE(ParseExif(block.data(), kExifBlockBytes, 0, 0, false, parsed));
    EXPECT_EQ(Prop(parsed, "SH_DESC"), "0.5");
    EXPECT_EQ(Prop(parsed, "AP_DESC"), "5.6");
    EXPECT_EQ(Prop(parsed, "rpContrast"), "-1.5000");
}

TEST_F(ExifTest, BuildExifRefusesABufferTooSmall)
{
    FPropTree tree(nullptr, "props");
    std::vector<uint8_t> buffer(kExifBlockBytes + 99, 0xFF);
    EXPECT_EQ(BuildExif(buffer.data(), buffer.size(), 99, tree, 1, 1), kExifBlockBytes + 99);
    EXPECT_THROW(BuildExif(buffer.data(), buffer.size(), 100, tree, 1, 1), FException);
}

// ---------------------------------------------------------------------------
// The JPEG APP1 block

TEST_F(ExifTest, App1BlockHoldsIfd0ThumbnailAndExif)
{
    FPropTree tree(nullptr, "props");
    SetProps(tree, {{"CAMMANUF", "TALVO"}, {"CAMMODEL", "TALVO KT6M"}, {"rpSoftware", "Lumitra 4"},
                    {"SH_DESC", "1/30"}});
    const std::vector<uint8_t> thumbnail = {0xFF, 0xD8, 1, 2, 3, 4, 5, 0xFF, 0xD9};
    const std::vector<uint8_t> block = BuildExifApp1Block(tree, 1200, 800, thumbnail, true);

    ASSERT_GE(block.size(), 6u + 224u);
    EXPECT_EQ(std::memcmp(block.data(), "Exif\0\0II\x2A\0\x08\0\0\0", 14), 0);
    const std::vector<uint8_t> tiff(block.begin() + 6, block.end());
    EXPECT_EQ(U32LE(&tiff[130]), 134u); // IFD1 follows IFD0
    auto ifd0 = ReadIfd(tiff, 8);
    ASSERT_EQ(ifd0.size(), 10u);
    EXPECT_EQ(ifd0[271].field, 224u); // the value area starts behind IFD1
    auto ifd1 = ReadIfd(tiff, 134);
    ASSERT_EQ(ifd1.size(), 7u);
    EXPECT_EQ(ifd1[259].field, 6u);
    const uint32_t thumbAt = ifd1[513].field;
    ASSERT_EQ(ifd1[514].field, thumbnail.size());
    EXPECT_EQ(std::vector<uint8_t>(tiff.begin() + thumbAt, tiff.begin() + thumbAt + thumbnail.size()), thumbnail);
    const uint32_t exifAt = ifd0[34665].field;
    EXPECT_EQ(exifAt, thumbAt + thumbnail.size() + 16);
    EXPECT_EQ(exifAt + kExifBlockBytes, tiff.size());

    FPropTree parsed(nullptr, "parsed");
    EXPECT_TRUE(ParseExif(block.data(), block.size(), 14, 6, false, parsed));
    EXPECT_EQ(Prop(parsed, "CAMMANUF"), "TALVO");
    EXPECT_EQ(Prop(parsed, "rpSoftware"), "Lumitra 4");
    EXPECT_EQ(Prop(parsed, "SH_DESC"), "1/30");
    EXPECT_EQ(Prop(parsed, "COLS"), "1200");

    const std::vector<uint8_t> plain = BuildExifApp1Block(tree, 1, 1, {}, false);
    EXPECT_EQ(std::memcmp(plain.data(), "Jfif\0\0", 6), 0);
    EXPECT_EQ(U32LE(&plain[6 + 130]), 0u); // no IFD1
    EXPECT_EQ(ReadIfd(std::vector<uint8_t>(plain.begin() + 6, plain.end()), 8)[271].field, 134u);
}

TEST_F(ExifTest, App1BlockNeverExceedsOneMarker)
{
    FPropTree tree(nullptr, "props");
    SetProps(tree, {{"CAMMANUF", "TALVO"}, {"SH_DESC", "1/30"}});
    // A thumbnail that does not fit is left out first.
    const std::vector<uint8_t> bigThumbnail(64000, 0xAB);
    std::vector<uint8_t> block = BuildExifApp1Block(tree, 10, 10, bigThumbnail, true);
    EXPECT_LE(block.size(), kExifApp1MaxBytes);
    EXPECT_EQ(U32LE(&block[6 + 130]), 0u);
    FPropTree parsed(nullptr, "parsed");
    EXPECT_TRUE(ParseExif(block.data(), block.size(), 14, 6, false, parsed));
    EXPECT_EQ(Prop(parsed, "SH_DESC"), "1/30");

    // Texts longer than a marker are cut until the block fits.
    FPropTree huge(nullptr, "props");
    const std::string longText(70000, 'm');
    SetProps(huge, {{"CAMMANUF", longText.c_str()}, {"CAMMODEL", longText.c_str()}, {"SH_DESC", "1/30"}});
    block = BuildExifApp1Block(huge, 10, 10, std::vector<uint8_t>(100, 1), true);
    EXPECT_EQ(block.size(), kExifApp1MaxBytes);
    FPropTree parsedHuge(nullptr, "parsed");
    EXPECT_TRUE(ParseExif(block.data(), block.size(), 14, 6, false, parsedHuge));
    EXPECT_EQ(Prop(parsedHuge, "SH_DESC"), "1/30");
    EXPECT_LT(Prop(parsedHuge, "CAMMANUF").size(), longText.size());
    EXPECT_GT(Prop(parsedHuge, "CAMMODEL").size(), 30000u);
}

} // namespace
