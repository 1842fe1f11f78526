#include "engine/colour/ColorSpaces.h"

#include "engine/core/RowBandLoop.h"
#include "foundation/FException.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <vector>

namespace {

constexpr int32_t kLastColorSpace = kColorSpaceProPhoto;

// XYZ to linear RGB per colour space (ids 1 to 11), for a D50 and a D65 XYZ.
// Ids 1 and 2 share their primaries and so their matrices.
const ColorMatrix3x3 kXYZToRGB[kLastColorSpace][2] = {
    {{{3.1342, -1.6173, -0.4907, -0.9788, 1.9163, 0.0335, 0.0719, -0.229, 1.4053}},
     {{3.241, -1.5374, -0.4986, -0.9692, 1.876, 0.0416, 0.0556, -0.204, 1.057}}},
    {{{3.1342, -1.6173, -0.4907, -0.9788, 1.9163, 0.0335, 0.0719, -0.229, 1.4053}},
     {{3.241, -1.5374, -0.4986, -0.9692, 1.876, 0.0416, 0.0556, -0.204, 1.057}}},
    {{{1.9625, -0.6107, -0.3413, -0.9788, 1.9163, 0.0335, 0.0286, -0.1407, 1.3489}},
     {{2.0416, -0.565, -0.3447, -0.9692, 1.876, 0.0416, 0.0134, -0.1184, 1.0152}}},
    {{{2.8513, -1.3609, -0.4709, -1.0928, 2.035, 0.0228, 0.1027, -0.2965, 1.4511}},
     {{2.952, -1.2896, -0.4739, -1.0851, 1.9908, 0.0372, 0.0855, -0.2694, 1.091}}},
    {{{2.9607, -1.4682, -0.4686, -0.9788, 1.9163, 0.0335, 0.0844, -0.2546, 1.4217}},
     {{3.0634, -1.3934, -0.4758, -0.9692, 1.876, 0.0416, 0.0679, -0.2288, 1.0691}}},
    {{{2.9607, -1.4682, -0.4686, -0.8406, 1.7976, 0.0159, 0.0085, -0.2226, 1.4716}},
     {{3.0634, -1.3934, -0.4758, -0.8278, 1.7613, 0.0234, -0.0112, -0.1981, 1.1099}}},
    {{{3.3926, -1.8269, -0.5386, -1.0771, 2.0215, 0.0208, 0.0723, -0.2218, 1.3962}},
     {{3.506, -1.7398, -0.5441, -1.069, 1.9778, 0.0352, 0.0563, -0.197, 1.05}}},
    {{{2.6732, -1.2348, -0.4157, -1.1104, 2.0559, 0.018, 0.0822, -0.2808, 1.4562}},
     {{2.7685, -1.168, -0.4257, -1.1029, 2.011, 0.0341, 0.0644, -0.2542, 1.0956}}},
    {{{1.4623, -0.1845, -0.2734, -0.5229, 1.448, 0.0681, 0.0346, -0.0958, 1.2877}},
     {{1.5294, -0.1534, -0.2758, -0.5057, 1.4231, 0.0527, 0.0216, -0.0747, 0.9681}}},
    {{{2.6505, -1.2017, -0.429, -0.9788, 1.9163, 0.0335, 0.0264, -0.1362, 1.3459}},
     {{2.7458, -1.136, -0.4351, -0.9692, 1.876, 0.0416, 0.0113, -0.1139, 1.013}}},
    {{{1.3458, -0.2556, -0.0511, -0.5446, 1.5082, 0.0205, 0, 0, 1.212}},
     {{1.4032, -0.2231, -0.1016, -0.5263, 1.4816, 0.017, -0.0112, 0.0183, 0.9113}}},
};

constexpr int32_t kCorrectedLow = -500;
constexpr int32_t kCorrectedHigh = 24000;

// Black offsets beyond any 16-bit working value mean nothing; bounding them
// keeps every intermediate of the row correction far inside 32 bits.
constexpr int32_t kOffsetLimit = 65536;

// The diagonal d and off-diagonal e everywhere else.
ColorMatrix3x3 UniformMatrix(double d, double e)
{
    return {{d, e, e, e, d, e, e, e, d}};
}

double WeightedSum(const FDoubleTriple& v)
{
    return 0.30 * v.r + 0.55 * v.g + 0.15 * v.b;
}

// Scales P's rows so that P white becomes the neutral (y, y, y), each channel
// first raised to a quarter of the weighted sum. Leaves P as it is when the
// balanced white has no positive weight.
void BalanceToNeutral(ColorMatrix3x3& p, const FDoubleTriple& white)
{
    FDoubleTriple rgb;
    ColorMatrixApply(rgb, p, white);
    const double floor = WeightedSum(rgb) / 4;
    if (!(floor > 0.0) || !std::isfinite(floor))
        return;
    for (int c = 0; c < 3; ++c)
        rgb[c] = std::max(rgb[c], floor);
    const double y = WeightedSum(rgb);
    const ColorMatrix3x3 gains = ColorMatrix3x3::Diagonal(y / rgb.r, y / rgb.g, y / rgb.b);
    const ColorMatrix3x3 unbalanced = p;
    ColorMatrixMultiply(p, gains, unbalanced);
}

// The residual tables of the row correction, read with clamped indices.
class ResidualTables {
public:
    explicit ResidualTables(const FLUT16RGB& tables)
    {
        if (tables.m_iSize >= 2 && tables.m_pRed && tables.m_pGreen && tables.m_pBlue) {
            m_pTables = &tables;
            m_iHalf = static_cast<int32_t>(tables.m_iSize / 2 - 1);
        }
    }

    int32_t Red(int32_t v) const { return m_pTables ? m_pTables->Red(Clamp(v)) : 0; }
    int32_t Green(int32_t v) const { return m_pTables ? m_pTables->Green(Clamp(v)) : 0; }
    int32_t Blue(int32_t v) const { return m_pTables ? m_pTables->Blue(Clamp(v)) : 0; }

private:
    int32_t Clamp(int32_t v) const { return std::min(std::max(v, -m_iHalf), m_iHalf); }

    const FLUT16RGB* m_pTables = nullptr;
    int32_t m_iHalf = 0;
};

int32_t BoundOffset(int32_t offset)
{
    return std::min(std::max(offset, -kOffsetLimit), kOffsetLimit);
}

int16_t SaturateToInt16(int32_t v)
{
    return static_cast<int16_t>(std::min(std::max(v, -32768), 32767));
}

// Steps 1 to 4 of the correction: the pixel above its offsets with the
// channel residuals and the residuals of each channel's difference from the
// weighted mean taken away.
FIntTriple RemoveResiduals(const FPixelClass48SRGB& pixel, const ResidualTables& tables, const int32_t offsets[3])
{
    const int32_t xR = pixel.r - offsets[0];
    const int32_t xG = pixel.g - offsets[1];
    const int32_t xB = pixel.b - offsets[2];
    const int32_t rR = xR - tables.Red(xR);
    const int32_t rG = xG - tables.Green(xG);
    const int32_t rB = xB - tables.Blue(xB);
    const int32_t mean = (rR + 2 * rG + rB) >> 2;
    return {rR - tables.Red(rR - mean), rG - tables.Green(rG - mean), rB - tables.Blue(rB - mean)};
}

void StoreClamped(FPixelClass48SRGB& pixel, const FIntTriple& v, int32_t low, int32_t high)
{
    pixel.r = static_cast<int16_t>(std::min(std::max(v.r, low), high));
    pixel.g = static_cast<int16_t>(std::min(std::max(v.g, low), high));
    pixel.b = static_cast<int16_t>(std::min(std::max(v.b, low), high));
}

void CorrectRow(FPixelClass48SRGB* row, FPixelClass48SRGB* keepRow, int32_t pixelCount,
                const ColorMatrix3x3Fixed& matrix, const FLUT16RGB& residuals, int32_t offsetR, int32_t offsetG,
                int32_t offsetB, int32_t low, int32_t high)
{
    // Limits outside the 16-bit range would wrap when stored.
    low = std::max(low, -32768);
    high = std::max(std::min(high, 32767), low);
    const ResidualTables tables(residuals);
    const int32_t offsets[3] = {BoundOffset(offsetR), BoundOffset(offsetG), BoundOffset(offsetB)};
    FIntTriple corrected(0);
    for (int32_t i = 0; i < pixelCount; ++i) {
        const FIntTriple v = RemoveResiduals(row[i], tables, offsets);
        if (keepRow) {
            keepRow[i].r = SaturateToInt16(v.r);
            keepRow[i].g = SaturateToInt16(v.g);
            keepRow[i].b = SaturateToInt16(v.b);
        }
        ColorMatrix3x3Fixed::Apply(corrected, matrix, v);
        StoreClamped(row[i], corrected, low, high);
    }
}

// Counts and sums gathered over every fourth row and column of the central
// 90 %, in bands: each band gathers into a Tally of its own (made by
// newTally), visit(pixel, tally) adds a pixel, and the bands' tallies are
// added into the result in any order (add(result, tally)), which takes
// integers only, so the result is that of one band.
template <class Tally, class NewTally, class Visit, class Add>
Tally TallyCentralGrid(const FPixmapTemplate<FPixelClass48SRGB>& image, NewTally&& newTally, Visit&& visit, Add&& add)
{
    const uint32_t width = static_cast<uint32_t>(std::max(image.m_iColumns, 0));
    const uint32_t height = static_cast<uint32_t>(std::max(image.m_iRows, 0));
    const uint32_t firstRow = height / 20, endRow = height - height / 20;
    const uint32_t firstColumn = width / 20, endColumn = width - width / 20;
    Tally result = newTally();
    if (endRow <= firstRow || endColumn <= firstColumn)
        return result;
    const uint32_t rows = (endRow - firstRow + 3) / 4, columns = (endColumn - firstColumn + 3) / 4;
    std::mutex lock;
    RunInRowBands(rows, [&](uint32_t first, uint32_t last) {
        Tally tally = newTally();
        for (uint32_t i = first; i <= last; ++i) {
            const FPixelClass48SRGB* row = image.GetRow(static_cast<int32_t>(firstRow + 4 * i));
            for (uint32_t x = firstColumn; x < endColumn; x += 4)
                visit(row[x], tally);
        }
        std::lock_guard hold(lock);
        add(result, tally);
    }, RowBandCountFor(uint64_t{rows} * columns));
    return result;
}

} // namespace

ColorMatrix3x3& CreateColorSpaceWhitePoint(ColorMatrix3x3& out, int32_t colorSpace, int32_t whitePoint)
{
    if (whitePoint != kWhitePointD50 && whitePoint != kWhitePointD65)
        throw FException("CreateColorSpaceWhitePoint(): Unknown PCS white point");
    if (colorSpace < 0 || colorSpace > kLastColorSpace)
        throw FException(whitePoint == kWhitePointD50 ? "CreateColorSpaceWhitePoint(): Unknown Color Space"
                                                       : "CreateColorSpaceWhitePoint(): Unknown color space");
    out = colorSpace == kColorSpaceNone ? ColorMatrix3x3::Identity() : kXYZToRGB[colorSpace - 1][whitePoint];
    return out;
}

double ColorMatrixDeterminant(const ColorMatrix3x3& m)
{
    return m(0, 0) * (m(1, 1) * m(2, 2) - m(1, 2) * m(2, 1)) - m(0, 1) * (m(1, 0) * m(2, 2) - m(1, 2) * m(2, 0)) +
           m(0, 2) * (m(1, 0) * m(2, 1) - m(1, 1) * m(2, 0));
}

bool ColorMatrixIsInvertible(const ColorMatrix3x3& matrix)
{
    const double determinant = ColorMatrixDeterminant(matrix);
    return std::isfinite(determinant) && std::fabs(determinant) >= 1e-12;
}

ColorMatrix3x3& ColorMatrixInverse(ColorMatrix3x3& out, const ColorMatrix3x3& matrix)
{
    if (!ColorMatrixIsInvertible(matrix)) {
        out = ColorMatrix3x3::Identity();
        return out;
    }
    const ColorMatrix3x3 m = matrix; // out may be the input
    const double d = ColorMatrixDeterminant(m);
    out(0, 0) = (m(1, 1) * m(2, 2) - m(1, 2) * m(2, 1)) / d;
    out(0, 1) = (m(0, 2) * m(2, 1) - m(0, 1) * m(2, 2)) / d;
    out(0, 2) = (m(0, 1) * m(1, 2) - m(0, 2) * m(1, 1)) / d;
    out(1, 0) = (m(1, 2) * m(2, 0) - m(1, 0) * m(2, 2)) / d;
    out(1, 1) = (m(0, 0) * m(2, 2) - m(0, 2) * m(2, 0)) / d;
    out(1, 2) = (m(0, 2) * m(1, 0) - m(0, 0) * m(1, 2)) / d;
    out(2, 0) = (m(1, 0) * m(2, 1) - m(1, 1) * m(2, 0)) / d;
    out(2, 1) = (m(0, 1) * m(2, 0) - m(0, 0) * m(2, 1)) / d;
    out(2, 2) = (m(0, 0) * m(1, 1) - m(0, 1) * m(1, 0)) / d;
    return out;
}

ColorMatrix3x3& BuildWorkingSpaceMatrix(ColorMatrix3x3& out, const ColorMatrix3x3& cameraMatrix,
                                        const FDoubleTriple& white, double scale, double saturationOffset)
{
    ColorMatrix3x3 xyzToWorking;
    CreateColorSpaceWhitePoint(xyzToWorking, kColorSpaceProPhoto, kWhitePointD65);
    ColorMatrix3x3 p;
    ColorMatrixMultiply(p, xyzToWorking, cameraMatrix);
    if (white.r >= 0 && white.g >= 0 && white.b >= 0)
        BalanceToNeutral(p, white);
    const ColorMatrix3x3 saturation = UniformMatrix(1 - 2 * saturationOffset, saturationOffset);
    ColorMatrix3x3 sp;
    ColorMatrixMultiply(sp, saturation, p);
    return ColorMatrixScale(out, sp, scale);
}

ColorMatrix3x3& BuildOutputSpaceMatrix(ColorMatrix3x3& out, int32_t colorSpace, double saturation)
{
    ColorMatrix3x3 xyzToOutput;
    CreateColorSpaceWhitePoint(xyzToOutput, colorSpace, kWhitePointD65);
    ColorMatrix3x3 workingToXYZ;
    CreateColorSpaceWhitePoint(workingToXYZ, kColorSpaceProPhoto, kWhitePointD65);
    ColorMatrixInverse(workingToXYZ, workingToXYZ);
    ColorMatrix3x3 workingToOutput;
    ColorMatrixMultiply(workingToOutput, xyzToOutput, workingToXYZ);
    return ColorMatrixMultiply(out, workingToOutput, UniformMatrix(1 + saturation / 3, -saturation / 6));
}

void CorrectColorRow(FPixelClass48SRGB* row, int32_t pixelCount, const ColorMatrix3x3Fixed& matrix,
                     const FLUT16RGB& residuals, int32_t offsetR, int32_t offsetG, int32_t offsetB)
{
    CorrectRow(row, nullptr, pixelCount, matrix, residuals, offsetR, offsetG, offsetB, kCorrectedLow, kCorrectedHigh);
}

void CorrectColorRowKeep(FPixelClass48SRGB* row, FPixelClass48SRGB* keepRow, int32_t pixelCount,
                         const ColorMatrix3x3Fixed& matrix, const FLUT16RGB& residuals, int32_t offsetR,
                         int32_t offsetG, int32_t offsetB, int32_t lowLimit, int32_t highLimit)
{
    CorrectRow(row, keepRow, pixelCount, matrix, residuals, offsetR, offsetG, offsetB, lowLimit, highLimit);
}

FDoubleTriple EstimateDarkColourCast48(const FPixmapTemplate<FPixelClass48SRGB>& image, double s0, double s1,
                                       double s2, int32_t offsetR, int32_t offsetG, int32_t offsetB)
{
    const uint32_t width = static_cast<uint32_t>(std::max(image.m_iColumns, 0));
    const uint32_t height = static_cast<uint32_t>(std::max(image.m_iRows, 0));
    // 0.5 % of the grid's samples.
    const int64_t wanted = TruncateToInt((height - height / 10) * 0.005 * (width - width / 10) * 0.0625);
    if (wanted <= 9)
        return {};

    // The darkness window -T < d < T around 0, at most 200 wide each way; a
    // strength sum below 0.2 leaves no window at all.
    const double k = s0 + s1 + 0.5 * s2;
    const int64_t window = std::clamp(TruncateToInt(5 * k), 0, 200);
    const auto darkness = [&](const FPixelClass48SRGB& p) {
        return (int64_t{p.r} - offsetR) + (int64_t{p.g} - offsetG) + ((int64_t{p.b} - offsetB) >> 1);
    };

    using Bins = std::vector<int64_t>;
    const size_t binCount = static_cast<size_t>(std::max<int64_t>(2 * window - 1, 0));
    Bins bins = TallyCentralGrid<Bins>(
        image, [&] { return Bins(binCount, 0); },
        [&](const FPixelClass48SRGB& p, Bins& tally) {
            const int64_t bin = darkness(p) + window - 1;
            if (bin >= 0 && bin < static_cast<int64_t>(tally.size()))
                ++tally[static_cast<size_t>(bin)];
        },
        [](Bins& into, const Bins& from) {
            for (size_t i = 0; i < into.size(); ++i)
                into[i] += from[i];
        });
    int64_t lastBelow = 0;
    for (size_t i = 1; i < bins.size(); ++i) {
        bins[i] += bins[i - 1];
        if (bins[i] < wanted)
            lastBelow = static_cast<int64_t>(i);
    }
    const int64_t level = lastBelow + TruncateToInt(k) - window + 1;

    // The dark pixels' count and component sums.
    using Sums = std::array<int64_t, 4>;
    const Sums dark = TallyCentralGrid<Sums>(
        image, [] { return Sums{0, 0, 0, 0}; },
        [&](const FPixelClass48SRGB& p, Sums& tally) {
            const int64_t d = darkness(p);
            if (d > -window && d <= level) {
                ++tally[3];
                tally[0] += int64_t{p.r} - offsetR;
                tally[1] += int64_t{p.g} - offsetG;
                tally[2] += int64_t{p.b} - offsetB;
            }
        },
        [](Sums& into, const Sums& from) {
            for (size_t i = 0; i < into.size(); ++i)
                into[i] += from[i];
        });
    const int64_t count = dark[3];
    const int64_t sums[3] = {dark[0], dark[1], dark[2]};
    if (count <= 200)
        return {};
    const double divisor = static_cast<double>(count + 200);
    return {static_cast<double>(sums[0]) / divisor, static_cast<double>(sums[1]) / divisor,
            static_cast<double>(sums[2]) / divisor};
}

FIntTriple EstimateDarkColourCastInt(const FPixmapTemplate<FPixelClass48SRGB>& image, double s0, double s1,
                                     double s2, int32_t offsetR, int32_t offsetG, int32_t offsetB)
{
    return FIntTriple(EstimateDarkColourCast48(image, s0, s1, s2, offsetR, offsetG, offsetB));
}
