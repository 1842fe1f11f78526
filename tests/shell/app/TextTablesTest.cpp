// The text and font tables: their column-exact lines, the files around them,
// and the check of table texts used as formats.
#include "shell/app/TextTables.h"

#include "Utf16Text.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testsupport::TempDir;
using testsupport::Utf16;
using testsupport::WideFromUtf8;
using testsupport::WriteFileBytes;

TEST(TextTablesTest, TextLines)
{
    struct Case {
        const char16_t* line;
        bool entry;
        int id, fontId;
        COLORREF colour;
        const char16_t* text;
    } cases[] = {
        {u"12345\t1234\t0000FF\tOne\\ttwo\\nthree", true, 12345, 1234, 0xFF, u"One\ttwo\nthree"},
        {u"105  \t0   \tFFFFFF\tCustom", true, 105, 0, 0xFFFFFF, u"Custom"},
        {u"9000 \t12  \tc0c0c0\t", true, 9000, 12, 0xC0C0C0, u""},
        {u"1a3  \t-1  \t12zz34\tx", true, 1, 0, 0x12, u"x"},           // digits up to the first other character
        {u"  105\t0   \t000000\tLeading blanks", true, 0, 0, 0, u"Leading blanks"},
        {u"1234\t0001\t000000\tFour-digit id", false, 0, 0, 0, nullptr},
        {u"12345\t001\t000000\tThree-digit font", false, 0, 0, 0, nullptr},
        {u"12345\t0001\t00000\tFive-digit colour", false, 0, 0, 0, nullptr},
        {u"12345\t0001\t000000", false, 0, 0, 0, nullptr},
        {u"; 12345\t0001\t000000\tcomment", false, 0, 0, 0, nullptr},
        {u"", false, 0, 0, 0, nullptr},
    };
    for (const Case& c : cases) {
        const std::optional<CStringItem> item = ParseStringTableLine(c.line);
        ASSERT_EQ(item.has_value(), c.entry) << std::string(c.line, c.line + 5);
        if (!c.entry)
            continue;
        EXPECT_EQ(item->m_nId, c.id);
        EXPECT_EQ(item->m_nFontId, c.fontId);
        EXPECT_EQ(item->m_Color, c.colour);
        EXPECT_EQ(item->m_strText, c.text);
    }
}

TEST(TextTablesTest, FontLines)
{
    struct Case {
        const char16_t* line;
        bool entry;
        int id;
        LONG height, weight;
        const char16_t* face;
    } cases[] = {
        {u"1   \t-12b\tDejaVu Sans", true, 1, -12, FW_BOLD, u"DejaVu Sans"},
        {u"2   \t14B\tDejaVu Serif", true, 2, 14, FW_BOLD, u"DejaVu Serif"},
        {u"3   \t14\tDejaVu Sans Mono", true, 3, 14, FW_NORMAL, u"DejaVu Sans Mono"},
        {u"4   \tbold\tx", true, 4, 0, FW_BOLD, u"x"},
        {u"5   \t-11\tA face name far longer than thirty-one characters", true, 5, -11, FW_NORMAL,
         u"A face name far longer than thi"},
        {u"6   \t-11", false, 0, 0, 0, nullptr}, // no face column
        {u"12345\t-11\tx", false, 0, 0, 0, nullptr},
        {u"\t-11\tx", false, 0, 0, 0, nullptr},
    };
    for (const Case& c : cases) {
        const std::optional<CFontDescription> font = ParseFontTableLine(c.line);
        ASSERT_EQ(font.has_value(), c.entry) << std::string(c.line, c.line + 4);
        if (!c.entry)
            continue;
        const LOGFONTW& f = font->m_LogFont;
        EXPECT_EQ(font->m_nFontId, c.id);
        EXPECT_EQ(f.lfHeight, c.height);
        EXPECT_EQ(f.lfWeight, c.weight);
        EXPECT_EQ(std::u16string(f.lfFaceName), c.face);
        EXPECT_EQ(f.lfWidth, 0);
        EXPECT_EQ(f.lfItalic, 0);
        EXPECT_EQ(f.lfCharSet, DEFAULT_CHARSET);
        EXPECT_EQ(f.lfQuality, ANTIALIASED_QUALITY);
        EXPECT_EQ(f.lfPitchAndFamily, 0);
    }
}

TEST(TextTablesTest, FilesAndLookups)
{
    const std::u16string body = u"Heading line\r\n"
                                u"00100\t0001\t00FF00\tFirst\r\n"
                                u"00100\t0002\t0000FF\tSecond of the same id\n"
                                u"\n"
                                u"00101\t0000\t000000\tNo line feed at the end";
    TempDir dir;
    struct Case {
        const char* what;
        std::string bytes;
        int count;
    } cases[] = {
        {"with FF FE", "\xFF\xFE" + Utf16(body), 3},
        {"with FE FF", "\xFE\xFF" + Utf16(body), 3},
        {"without a byte-order mark", Utf16(body), 3},
        {"8-bit", "00100\t0001\t00FF00\tFirst\n00101\t0000\t000000\tSecond\n", 0},
    };
    for (const Case& c : cases) {
        WriteFileBytes(dir.Path() / "String.txt", c.bytes);
        CStringTable table;
        ASSERT_TRUE(table.LoadFile(WideFromUtf8((dir.Path() / "String.txt").string()))) << c.what;
        EXPECT_EQ(table.GetCount(), c.count) << c.what;
        if (c.count == 0)
            continue;
        ASSERT_NE(table.Find(100), nullptr);
        EXPECT_EQ(table.Find(100)->m_strText, u"First") << c.what;
        EXPECT_EQ(table.Find(101)->m_strText, u"No line feed at the end") << c.what;
        EXPECT_EQ(table.Find(102), nullptr);
    }

    // A missing or too short file leaves the table as it was.
    CStringTable table;
    table.Load("\xFF\xFE" + Utf16(body));
    WriteFileBytes(dir.Path() / "short.txt", "\xFF");
    EXPECT_FALSE(table.LoadFile(WideFromUtf8((dir.Path() / "short.txt").string())));
    EXPECT_FALSE(table.LoadFile(WideFromUtf8((dir.Path() / "missing.txt").string())));
    EXPECT_EQ(table.GetCount(), 3);

    int fonts = 0;
    EXPECT_TRUE(ForEachFontTableLine(Utf16(u"1   \t-12\tA\n2   \t12\n3   \t10b\tC\n"), [&](const CFontDescription&) { ++fonts; }));
    EXPECT_EQ(fonts, 2);
}

TEST(TextTablesTest, TheProgramsOwnCaptionsStandInForAMissingTable)
{
    CStringTable empty;
    for (const int id : {104, 105, 999, 9000, 9001, 9002, 9003, 9004, 9005, 9007}) {
        const CStringItem* item = empty.Find(id);
        ASSERT_NE(item, nullptr) << id;
        EXPECT_FALSE(item->m_strText.empty()) << id;
        EXPECT_EQ(empty.FindInTable(id), nullptr);
    }
    EXPECT_EQ(empty.Find(1100), nullptr);

    CStringTable table;
    table.Load(Utf16(u"09001\t0000\t000000\tAccept\n"));
    EXPECT_EQ(table.Find(9001)->m_strText, u"Accept"); // the table's own text wins
    EXPECT_EQ(table.Find(9002)->m_strText, u"Cancel");
}

TEST(TextTablesTest, FormatsAreCheckedBeforeUse)
{
    using K = TextArgKind;
    EXPECT_TRUE(TextFormatMatches(u"%d file", {K::kInt}));
    EXPECT_TRUE(TextFormatMatches(u"%.1f MB in %ld files, 100%%", {K::kDouble, K::kInt}));
    EXPECT_TRUE(TextFormatMatches(u"no number", {}));
    EXPECT_FALSE(TextFormatMatches(u"%s files", {K::kInt}));
    EXPECT_FALSE(TextFormatMatches(u"%d of %d", {K::kInt}));
    EXPECT_FALSE(TextFormatMatches(u"%f", {K::kInt}));
    EXPECT_FALSE(TextFormatMatches(u"%*d", {K::kInt}));
    EXPECT_FALSE(TextFormatMatches(u"%n", {K::kInt}));
    EXPECT_FALSE(TextFormatMatches(u"%99999d", {K::kInt}));
    EXPECT_FALSE(TextFormatMatches(u"ends with %", {}));

    EXPECT_EQ(FormatTableText(u"Picture %d of %d", {3, 10}), u"Picture 3 of 10");
    EXPECT_EQ(FormatTableText(u"%d Bilder – %.1f MB", {2, 1.5}), u"2 Bilder – 1.5 MB");
    EXPECT_EQ(FormatTableText(u"%s", {3}), std::nullopt);
    EXPECT_EQ(FormatTableText(u"%d", {1.5}), std::nullopt);
    EXPECT_EQ(FormatTableText(u"%d %d", {1}), std::nullopt);
    EXPECT_EQ(FormatTableText(u", %.1f MB", {2.5, 7}), u", 2.5 MB"); // the count is not shown
    EXPECT_EQ(FormatTableText(u"%d files", {2.5, 7}), std::nullopt);
}

} // namespace
