#include "foundation/FUnicode.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(FUnicode, RoundTripIsLosslessForEveryPlane)
{
    const std::u16string samples[] = {
        u"",
        u"plain ASCII \x01\x7F",
        u"\u00E9\u00DF\u0100\u07FF",           // two-byte forms
        u"\u0800\u65E5\u672C\uFFFD\uFFFF",     // three-byte forms, up to the last BMP unit
        u"\U00010000\U0001F4F7\U0010FFFF",     // astral plane as surrogate pairs
        std::u16string(u"nul\0inside", 10),
    };
    for (const std::u16string& s : samples) {
        const auto utf8 = Utf16ToUtf8(s);
        ASSERT_TRUE(utf8.has_value());
        const auto back = Utf8ToUtf16(*utf8);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, s);
    }
    EXPECT_EQ(*Utf16ToUtf8(u"\U0001F4F7"), "\xF0\x9F\x93\xB7");
    EXPECT_EQ(*Utf8ToUtf16("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
}

TEST(FUnicode, InvalidUtf16IsRefused)
{
    const std::u16string bad[] = {
        u"a\xD800",       // high surrogate at the end
        u"\xD800z",       // high surrogate followed by a non-surrogate
        u"\xDC00\xD800",  // pair in the wrong order
        u"x\xDFFFy",      // lone low surrogate
        u"\xD83D\xD83D",  // two high surrogates
    };
    for (const std::u16string& s : bad)
        EXPECT_FALSE(Utf16ToUtf8(s).has_value()) << s.size();
}

TEST(FUnicode, InvalidUtf8IsRefused)
{
    const char* bad[] = {
        "\x80",                 // stray continuation byte
        "\xC0\xAF",             // overlong '/'
        "\xC1\xBF",             // overlong two-byte
        "\xE0\x80\xAF",         // overlong three-byte
        "\xF0\x80\x80\xAF",     // overlong four-byte
        "\xED\xA0\x80",         // encoded surrogate U+D800
        "\xED\xBF\xBF",         // encoded surrogate U+DFFF
        "\xF4\x90\x80\x80",     // above U+10FFFF
        "\xF5\x80\x80\x80",     // lead byte that cannot occur
        "\xFF",                 // never valid
        "ok\xC3",               // truncated two-byte at the end
        "\xE6\x97",             // truncated three-byte
        "\xF0\x9F\x93",         // truncated four-byte
        "\xE6\x41\x41",         // continuation replaced by ASCII
    };
    for (const char* s : bad)
        EXPECT_FALSE(Utf8ToUtf16(s).has_value()) << s;
}

TEST(FUnicode, Utf32RefusesSurrogatesAndOutOfRange)
{
    EXPECT_EQ(*Utf32ToUtf16(U"a\U0001F4F7"), u"a\U0001F4F7");
    EXPECT_FALSE(Utf32ToUtf16(std::u32string(1, char32_t(0xD800))).has_value());
    EXPECT_FALSE(Utf32ToUtf16(std::u32string(1, char32_t(0x110000))).has_value());
}

} // namespace
