#include "foundation/FColorAdjust.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "foundation/FCLocale.h"

namespace {

// A zero or negative gain would make log10 give -inf or NaN; such a gain (and
// a non-finite one) means "unchanged".
double UsableGain(double gain)
{
    return (gain > 0.0 && std::isfinite(gain)) ? gain : 1.0;
}

int DensityOf(double gain, double largest)
{
    const double ratio = gain / largest;
    if (!(ratio > 0.0)) // underflow of a vanishing gain: the densest filter there is
        return INT_MAX;
    return TruncateToInt(0.3 - 100.0 * std::log10(ratio));
}

double GainOf(int density)
{
    // Negated as a double: the int negation of INT_MIN would overflow.
    return std::pow(10.0, -static_cast<double>(density) / 100.0);
}

// The first rule of the notation table that applies; "%d" and "%ld" print the
// same digits for an int.
void FormatTerms(char* buffer, size_t size, int c, int m, int y)
{
    FScopedCLocale cLocale;
    if (c != 0 && m != 0)
        std::snprintf(buffer, size, "%dC+%dM", c, m);
    else if (c != 0 && y != 0)
        std::snprintf(buffer, size, "%dC+%dY", c, y);
    else if (c != 0)
        std::snprintf(buffer, size, "%dC", c);
    else if (m != 0 && y != 0)
        std::snprintf(buffer, size, "%dM+%dY", m, y);
    else if (m != 0)
        std::snprintf(buffer, size, "%dM", m);
    else if (y != 0)
        std::snprintf(buffer, size, "%dY", y);
    else
        std::snprintf(buffer, size, "0");
}

int ClampToInt(long value)
{
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

} // namespace

FIntTriple ColorAdjustGainsToCMY(double red, double green, double blue)
{
    red = UsableGain(red);
    green = UsableGain(green);
    blue = UsableGain(blue);
    const double largest = std::fmax(red, std::fmax(green, blue));
    return FIntTriple(DensityOf(red, largest), DensityOf(green, largest), DensityOf(blue, largest));
}

void ColorGainToCMY(double red, double green, double blue, int& cyan, int& magenta, int& yellow)
{
    const FIntTriple cmy = ColorAdjustGainsToCMY(red, green, blue);
    cyan = cmy.r;
    magenta = cmy.g;
    yellow = cmy.b;
}

FDoubleTriple CMYToColorAdjustGains(int cyan, int magenta, int yellow)
{
    return FDoubleTriple(GainOf(cyan), GainOf(magenta), GainOf(yellow));
}

void CMYToColorGain(int cyan, int magenta, int yellow, double& red, double& green, double& blue)
{
    red = GainOf(cyan);
    green = GainOf(magenta);
    blue = GainOf(yellow);
}

void FormatColorAdjust(double red, double green, double blue, FString& text)
{
    const FIntTriple cmy = ColorAdjustGainsToCMY(red, green, blue);
    char buffer[64];
    FormatTerms(buffer, sizeof buffer, cmy.r, cmy.g, cmy.b);
    text = buffer;
}

void ParseColorAdjust(FDoubleTriple& gains, const char16_t* text)
{
    // 32-bit wrapping arithmetic: long runs of digits (or other characters) give
    // meaningless numbers, never undefined behaviour.
    uint32_t number = 0;
    uint32_t density[3] = {0, 0, 0};
    for (const char16_t* p = text; p != nullptr && *p != 0; ++p) {
        switch (*p) {
        case u'+':
            number = 0;
            break;
        case u'C':
            density[0] = number;
            break;
        case u'M':
            density[1] = number;
            break;
        case u'Y':
            density[2] = number;
            break;
        default:
            number = number * 10u + (static_cast<uint32_t>(*p) - static_cast<uint32_t>(u'0'));
            break;
        }
    }
    gains = CMYToColorAdjustGains(static_cast<int>(density[0]), static_cast<int>(density[1]),
                                  static_cast<int>(density[2]));
}

void FormatCMYText(char* buffer, size_t size, int cyan, int magenta, int yellow)
{
    if (buffer == nullptr || size == 0)
        return;
    FormatTerms(buffer, size, cyan, magenta, yellow);
}

void ParseCMYText(int& cyan, int& magenta, int& yellow, const char* text)
{
    cyan = magenta = yellow = 0;
    if (text == nullptr)
        return;
    FScopedCLocale cLocale;
    const char* p = text;
    while (*p != 0) {
        char* end = nullptr;
        errno = 0;
        const long value = std::strtol(p, &end, 10);
        if (end == p)
            break; // no number here: the parse ends
        const int density = ClampToInt(value);
        p = end;
        if (*p == 'C' || *p == 'M' || *p == 'Y') {
            (*p == 'C' ? cyan : (*p == 'M' ? magenta : yellow)) = density;
            ++p;
        }
    }
}
