#include "foundation/FString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::u16string Units(const FString& s) { return std::u16string(s.GetText(), s.GetLength()); }

TEST(FString, OwnNarrowRulesAreSignExtensionAndSevenBit)
{
    const FString fromByte("caf\xE9");
    ASSERT_EQ(fromByte.GetLength(), 4);
    EXPECT_EQ(fromByte.GetText()[3], 0xFFE9);
    EXPECT_STREQ(fromByte.GetAscii(), "caf?");
    EXPECT_TRUE(fromByte == "caf\xE9");

    // 0x7F is '?' for the cached copy but kept by WideToAscii; 0x80 is '?' for both.
    const char16_t text[] = {u'a', 0x7F, 0x80, 0};
    const FString s(text);
    EXPECT_STREQ(s.GetAscii(), "a??");
    char buffer[8];
    EXPECT_EQ(WideToAscii(text, buffer, sizeof buffer), 3);
    EXPECT_STREQ(buffer, "a\x7F?");
}

TEST(FString, WideToAsciiNeverOverrunsItsBuffer)
{
    struct Case {
        int size;
        const char* expected;
        int count;
    };
    for (const Case& c : {Case{4, "abc", 3}, Case{2, "a", 1}, Case{1, "", 0}, Case{7, "abcdef", 6}}) {
        char buffer[8];
        std::memset(buffer, 'Z', sizeof buffer);
        EXPECT_EQ(WideToAscii(u"abcdef", buffer, c.size), c.count) << c.size;
        EXPECT_STREQ(buffer, c.expected) << c.size;
        EXPECT_EQ(buffer[c.size], 'Z') << "wrote beyond size " << c.size;
    }
    char untouched = 'Z';
    EXPECT_EQ(WideToAscii(u"abc", &untouched, 0), 0);
    EXPECT_EQ(untouched, 'Z');
}

TEST(FString, AppendHandlesBackspaceAndNul)
{
    FString s(u"ab");
    s += '\b';
    EXPECT_EQ(Units(s), u"a");
    s += u'\0';
    EXPECT_EQ(Units(s), u"a");
    s += u"\bx"; // text appends take every unit literally
    EXPECT_EQ(Units(s), u"a\bx");
    FString empty;
    empty += u'\b';
    EXPECT_EQ(empty.GetLength(), 0);
    s += s; // appending itself
    EXPECT_EQ(Units(s), u"a\bxa\bx");
}

TEST(FString, AssignmentResetsTheNarrowCopyAndSurvivesSelfAssignment)
{
    FString s(u"hello");
    EXPECT_STREQ(s.GetAscii(), "hello");
    s = s.GetText();
    EXPECT_EQ(Units(s), u"hello");
    s = u"hi";
    EXPECT_STREQ(s.GetAscii(), "hi");
    s = static_cast<const char16_t*>(nullptr);
    EXPECT_EQ(s.GetLength(), 0);
    EXPECT_STREQ(s.GetAscii(), "");

    const char16_t range[] = u"xyz";
    EXPECT_EQ(Units(FString(range, range + 1)), u"xy");
    EXPECT_EQ(Units(FString(range + 1, range)), u""); // last = first - 1
}

TEST(FString, RemoveLastOnlyWhenThereIsEnough)
{
    FString s(u"ab");
    s.RemoveLast(3);
    EXPECT_EQ(Units(s), u"ab");
    s.RemoveLast(2);
    EXPECT_EQ(s.GetLength(), 0);
}

TEST(FString, SplitCases)
{
    struct Case {
        const char16_t* text;
        bool result;
        const char16_t* before;
        const char16_t* after;
    };
    const Case cases[] = {
        {u"a/b/c", true, u"a", u"b/c"},
        {u"/abc", true, u"", u"abc"},
        {u"abc/", true, u"abc", u""},
        {u"abc", false, u"", u""},
        {u"", false, u"old", u"old"}, // an empty text leaves the outputs alone
    };
    for (const Case& c : cases) {
        FString before(u"old"), after(u"old");
        EXPECT_EQ(FString(c.text).Split(u"/", before, after), c.result) << (const char*)FString(c.text).GetAscii();
        EXPECT_EQ(Units(before), c.before);
        EXPECT_EQ(Units(after), c.after);
    }
    FString before(u"old"), after(u"old");
    EXPECT_FALSE(FString(u"a/b").Split(u"", before, after));
    EXPECT_EQ(Units(before), u"old");

    FString s(u"key=value");
    EXPECT_TRUE(s.Split(FString(u"="), s, after)); // output aliasing the input
    EXPECT_EQ(Units(s), u"key");
    EXPECT_EQ(Units(after), u"value");
}

TEST(FString, ComparisonsAndSearch)
{
    EXPECT_EQ(FString(u"IMG_0001.KVR").CompareNoCase("img_0001.kvr"), 0);
    EXPECT_LT(FString(u"abc").CompareNoCase("abcd"), 0);
    EXPECT_GT(FString(u"abd").CompareNoCase(u"ABC"), 0);
    EXPECT_EQ(WideCompareNoCase(u".jpg", ".JPG"), 0);
    EXPECT_NE(WideCompareNoCase(u"\u00E9", "\xC3\xA9"), 0); // no folding above 127

    EXPECT_EQ(FString::CompareN(u"ab\0x", u"ab\0y", 4), -1);
    EXPECT_EQ(FString::CompareN(u"\xFFFF", u"a", 1), 1); // unsigned units
    EXPECT_EQ(FString::CompareN(u"abc", u"abd", 2), 0);

    EXPECT_TRUE(FString() == "");
    EXPECT_FALSE(FString() == "a");
    EXPECT_FALSE(FString(u"ab") == "abc");
    EXPECT_FALSE(FString(u"abc") == "ab");
    EXPECT_TRUE(FString(u"ab") != FString(std::u16string_view(u"ab\0c", 4)));

    const FString hay(u"one two two");
    EXPECT_EQ(hay.Find(FString(u"two")), hay.GetText() + 4);
    EXPECT_EQ(hay.Find(FString()), nullptr);
    EXPECT_EQ(FString().Find(FString(u"x")), nullptr);
    EXPECT_EQ(hay.Find(FString(u"three")), nullptr);
}

TEST(FString, CaseChangesTouchOnlySevenBitUnitsAndTheCachedCopy)
{
    FString s(u"Ab\u00E9z");
    EXPECT_STREQ(s.GetAscii(), "Ab?z");
    s.MakeUpper();
    EXPECT_EQ(Units(s), u"AB\u00E9Z");
    EXPECT_STREQ(s.GetAscii(), "AB?Z");
    s.MakeLower();
    EXPECT_EQ(Units(s), u"ab\u00E9z");
}

TEST(FString, FormatIsCappedAndKeepsPercentTextsOfNarrowStrings)
{
    FString s;
    s.Format("%d-%.4f-%s", 7, 0.5, "x");
    EXPECT_EQ(Units(s), u"7-0.5000-x");
    s.Format("%s", std::string(20000, 'a').c_str());
    EXPECT_EQ(s.GetLength(), FString::kFormatLimit);

    const FNarrowString formatted("%s=%d", "n", 3);
    EXPECT_STREQ(formatted.GetText(), "n=3");
    const FNarrowString plain("50%d%s done");
    EXPECT_STREQ(plain.GetText(), "50%d%s done");
    FNarrowString longText;
    longText.Format("%s", std::string(20000, 'b').c_str());
    EXPECT_EQ(longText.GetLength(), FNarrowString::kFormatLimit);
}

TEST(FNarrowString, CompareIsUnsignedBytewise)
{
    EXPECT_EQ(FNarrowString("a").Compare("b"), -1);
    EXPECT_EQ(FNarrowString("ab").Compare("a"), 1);
    EXPECT_EQ(FNarrowString("\xE9").Compare("z"), 1);
    EXPECT_EQ(FNarrowString("").Compare(nullptr), 0);
}

TEST(FNarrowString, AppendAssignAndBuffer)
{
    FNarrowString s;
    s += "ab";
    s += '\0';
    s += 'c';
    s += s.GetText(); // appending its own text
    EXPECT_STREQ(s.GetText(), "abcabc");
    EXPECT_EQ(s.GetLength(), 6);

    char* buffer = s.GetBuffer(100);
    EXPECT_STREQ(buffer, "abcabc");
    EXPECT_EQ(s.GetLength(), 6);
    buffer[99] = 0; // room for 100 characters and the terminator
    s = s.GetText() + 3;
    EXPECT_STREQ(s.GetText(), "abc");

    FNarrowString moved(std::move(s));
    EXPECT_STREQ(moved.GetText(), "abc");
    EXPECT_STREQ(s.GetText(), ""); // NOLINT: a moved-from string stays usable
}

TEST(FString, AnsiConversionKeepsNonAsciiText)
{
    const char16_t text[] = u"Gr\u00FC\u00DFe \u65E5\u672C \U0001F4F7";
    const auto narrow = WideToAnsi(text);
    ASSERT_NE(narrow, nullptr);
    EXPECT_STREQ(narrow.get(), "Gr\xC3\xBC\xC3\x9F" "e \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x93\xB7");
    const auto wide = AnsiToWide(narrow.get());
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(std::u16string(wide.get()), std::u16string(text));

    EXPECT_EQ(WideToAnsi(u"bad \xD800 surrogate"), nullptr);
    EXPECT_EQ(AnsiToWide("bad \xC3"), nullptr);
    EXPECT_EQ(WideToAnsi(nullptr), nullptr);
    ASSERT_NE(AnsiToWide(""), nullptr);
    EXPECT_EQ(AnsiToWide("")[0], 0);
    EXPECT_TRUE(IsWindowsNT());
}

} // namespace

#include "support/CommaLocale.h"

namespace {

// Stored numbers use '.' even when the thread runs under a locale with a decimal comma.
TEST(FString, NumbersAreFormattedInTheCLocale)
{
    FString wide;
    FNarrowString narrow;
    {
        testsupport::ScopedCommaLocale comma;
        if (!comma.Active())
            GTEST_SKIP() << "no locale with a decimal comma could be made";
        wide.Format("%.4f", 0.5);
        narrow = FNarrowString("%g", 2.5);
    }
    EXPECT_TRUE(wide == "0.5000");
    EXPECT_STREQ(narrow.GetText(), "2.5");
}

} // namespace
