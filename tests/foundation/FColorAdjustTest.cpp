#include "foundation/FColorAdjust.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

std::string Text(const FString& s) { return s.GetAscii(); }

TEST(FColorAdjust, GainsToDensitiesAndText)
{
    struct Case {
        double r, g, b;
        int c, m, y;
        const char* text;
    };
    const Case cases[] = {
        {1.0, 1.0, 1.0, 0, 0, 0, "0"},
        {0.5, 1.0, 1.0, 30, 0, 0, "30C"},
        {1.0, 0.8, 0.5, 0, 9, 30, "9M+30Y"},
        {2.0, 2.0, 1.0, 0, 0, 30, "30Y"},
        {0.5, 0.5, 1.0, 30, 30, 0, "30C+30M"},
        {0.5, 1.0, 0.5, 30, 0, 30, "30C+30Y"},
        {1.0, 0.5, 1.0, 0, 30, 0, "30M"},
    };
    for (const Case& c : cases) {
        const FIntTriple cmy = ColorAdjustGainsToCMY(c.r, c.g, c.b);
        EXPECT_EQ(cmy.r, c.c) << c.text;
        EXPECT_EQ(cmy.g, c.m) << c.text;
        EXPECT_EQ(cmy.b, c.y) << c.text;
        FString text;
        FormatColorAdjust(c.r, c.g, c.b, text);
        EXPECT_EQ(Text(text), c.text);

        // The text reads back to the gains of its densities, which format to the same text.
        FDoubleTriple gains;
        ParseColorAdjust(gains, text.GetText());
        EXPECT_NEAR(gains.r, std::pow(10.0, -c.c / 100.0), 1e-12) << c.text;
        EXPECT_NEAR(gains.g, std::pow(10.0, -c.m / 100.0), 1e-12) << c.text;
        EXPECT_NEAR(gains.b, std::pow(10.0, -c.y / 100.0), 1e-12) << c.text;
        FString again;
        FormatColorAdjust(gains, again);
        EXPECT_EQ(Text(again), c.text);
    }
}

TEST(FColorAdjust, DensitiesRoundTripThroughGains)
{
    for (int c = 0; c <= 120; c += 7) {
        for (int y = 0; y <= 120; y += 11) {
            if (c != 0 && y != 0)
                continue; // densities made from gains always keep one channel at 0
            int c2 = -1, m2 = -1, y2 = -1;
            double r, g, b;
            CMYToColorGain(c, 0, y, r, g, b);
            ColorGainToCMY(r, g, b, c2, m2, y2);
            EXPECT_EQ(c2, c);
            EXPECT_EQ(m2, 0);
            EXPECT_EQ(y2, y);
        }
    }
}

TEST(FColorAdjust, UnusableGainsCountAsUnchanged)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double r, g, b;
        const char* text;
    };
    const Case cases[] = {
        {0.0, 0.0, 0.0, "0"},
        {0.0, 1.0, 0.5, "30Y"},
        {-1.0, 0.5, 1.0, "30M"},
        {nan, 1.0, 1.0, "0"},
        {inf, 0.5, 1.0, "30M"},
    };
    for (const Case& c : cases) {
        FString text;
        FormatColorAdjust(c.r, c.g, c.b, text);
        EXPECT_EQ(Text(text), c.text);
    }
    // A gain too small to divide gives the densest filter, not an undefined conversion.
    EXPECT_EQ(ColorAdjustGainsToCMY(1e-320, 1e300, 1e300).r, INT_MAX);

    // The extreme densities a hostile text can give still convert without overflow.
    double r = 0.0, g = 0.0, b = 0.0;
    CMYToColorGain(INT_MIN, INT_MAX, 0, r, g, b);
    EXPECT_EQ(r, std::numeric_limits<double>::infinity());
    EXPECT_EQ(g, 0.0);
    EXPECT_EQ(b, 1.0);
    FString text;
    FormatColorAdjust(r, g, b, text); // both unusable gains count as unchanged
    EXPECT_EQ(Text(text), "0");
}

TEST(FColorAdjust, CoreParserRunsNumbersOn)
{
    struct Case {
        const char16_t* text;
        double c, m, y;
    };
    const Case cases[] = {
        {u"12C5M", 12, 125, 0},   // no '+': the number runs on
        {u"12C+5M", 12, 5, 0},
        {u"7Y+3C", 3, 0, 7},
        {u"", 0, 0, 0},
        {nullptr, 0, 0, 0},
    };
    for (const Case& c : cases) {
        FDoubleTriple gains(-1.0);
        ParseColorAdjust(gains, c.text);
        EXPECT_NEAR(gains.r, std::pow(10.0, -c.c / 100.0), 1e-12);
        EXPECT_NEAR(gains.g, std::pow(10.0, -c.m / 100.0), 1e-12);
        EXPECT_NEAR(gains.b, std::pow(10.0, -c.y / 100.0), 1e-12);
    }
    // A hostile run of digits wraps instead of overflowing; the result stays formattable.
    FDoubleTriple gains;
    ParseColorAdjust(gains, u"99999999999999999999999999999999C\xFFFF\x00E9M");
    FString text;
    FormatColorAdjust(gains, text);
    EXPECT_GT(text.GetLength(), 0);
}

TEST(FColorAdjust, ApplicationTextFormatAndParse)
{
    char buffer[32];
    FormatCMYText(buffer, sizeof buffer, 3, 4, 5);
    EXPECT_STREQ(buffer, "3C+4M");
    FormatCMYText(buffer, sizeof buffer, 0, 0, 0);
    EXPECT_STREQ(buffer, "0");

    char small[5];
    std::memset(small, 'Z', sizeof small);
    FormatCMYText(small, 4, 123, 45, 0); // "123C+45M" does not fit
    EXPECT_STREQ(small, "123");
    EXPECT_EQ(small[4], 'Z');
    FormatCMYText(small, 0, 1, 0, 0); // no room at all: nothing written
    EXPECT_EQ(small[0], '1');

    struct Case {
        const char* text;
        int c, m, y;
    };
    const Case cases[] = {
        {"12C+5M", 12, 5, 0}, {"5Y", 0, 0, 5},   {"x12C", 0, 0, 0},  {"12C 5M", 12, 5, 0},
        {"0", 0, 0, 0},       {"7Q3M", 0, 0, 0}, {"7+3M", 0, 3, 0}, {"-5C", -5, 0, 0}, {"99999999999999999999C", INT_MAX, 0, 0},
        {nullptr, 0, 0, 0},
    };
    for (const Case& c : cases) {
        int cyan = -1, magenta = -1, yellow = -1;
        ParseCMYText(cyan, magenta, yellow, c.text);
        EXPECT_EQ(cyan, c.c) << (c.text ? c.text : "null");
        EXPECT_EQ(magenta, c.m) << (c.text ? c.text : "null");
        EXPECT_EQ(yellow, c.y) << (c.text ? c.text : "null");
    }
}

} // namespace
