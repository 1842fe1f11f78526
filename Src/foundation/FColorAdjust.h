#pragma once
// The colour-compensation notation: channel gains (red, green, blue; 1.0 =
// unchanged) written as cyan, magenta and yellow densities in hundredths, as on
// colour-compensating filters ("10C+5M"). Cyan acts on red, magenta on green,
// yellow on blue.

#include <cstddef>

#include "foundation/FString.h"
#include "foundation/FValueTypes.h"

// density = truncate(0.3 - 100 * log10(gain / largest gain)); the largest channel
// gives 0. Gains that are not positive finite numbers count as 1.
FIntTriple ColorAdjustGainsToCMY(double red, double green, double blue);
inline FIntTriple ColorAdjustGainsToCMY(const FDoubleTriple& gains)
{
    return ColorAdjustGainsToCMY(gains.r, gains.g, gains.b);
}
void ColorGainToCMY(double red, double green, double blue, int& cyan, int& magenta, int& yellow);

// gain = 10^(-density / 100).
FDoubleTriple CMYToColorAdjustGains(int cyan, int magenta, int yellow);
void CMYToColorGain(int cyan, int magenta, int yellow, double& red, double& green, double& blue);

// Stored form of the colour-adjust property: at most two terms, C before M
// before Y, or "0".
void FormatColorAdjust(double red, double green, double blue, FString& text);
inline void FormatColorAdjust(const FDoubleTriple& gains, FString& text)
{
    FormatColorAdjust(gains.r, gains.g, gains.b, text);
}
// Digits accumulate a running number, '+' resets it, 'C', 'M' or 'Y' assign it;
// densities never assigned are 0. Null reads as "".
void ParseColorAdjust(FDoubleTriple& gains, const char16_t* text);

// The application's twins: same terms with "%d"; never writes more than size
// bytes (the text is cut, and always terminated when size > 0).
void FormatCMYText(char* buffer, size_t size, int cyan, int magenta, int yellow);
// "0" gives 0, 0, 0; otherwise numbers read like strtol, each followed by C, M or
// Y to assign it. Null reads as "".
void ParseCMYText(int& cyan, int& magenta, int& yellow, const char* text);
