#include "engine/noise/NoiseReductionRecombination.h"

#include "engine/colour/ColorSpaces.h"
#include "engine/core/GlobalLUTs.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr float kDefaultEpsilon = 5.0f;
constexpr double kChromaGainLimit = 8.0;
constexpr double kChromaNormaliser = 0.8;
constexpr double kSampleHigh = 24000.0;
constexpr double kSampleLow = -32768.0;
// The dark window spans at most 2 x 200 - 1 bins.
constexpr int32_t kLargestDarkWindow = 200;
// Fewer dark samples than this give no cast; the divisor gains this many
// extra samples so that a cast from few samples is pulled toward 0.
constexpr int32_t kMinimumDarkSamples = 200;
constexpr double kDarkSamplePull = 400.0;

float Darkness(const FPixelClassFlt32RGB& p, const float offset[3])
{
    const float r = p.r - offset[0], g = p.g - offset[1], b = p.b - offset[2];
    return (r + g) + 0.5f * b;
}

// Visits every fourth row and column of the central 90 % of the image.
template <class Visit>
void ForEachDarkSample(const FloatRGBPixmap& image, Visit&& visit)
{
    const uint32_t columns = static_cast<uint32_t>(image.m_iColumns), rows = static_cast<uint32_t>(image.m_iRows);
    for (uint32_t y = rows / 20; y < rows - rows / 20; y += 4) {
        const FPixelClassFlt32RGB* row = image.GetRow(static_cast<int32_t>(y));
        for (uint32_t x = columns / 20; x < columns - columns / 20; x += 4)
            visit(row[x]);
    }
}

double UsableStrength(double s)
{
    return std::isfinite(s) && s > 0.0 ? s : 0.0;
}

int64_t ClampToTable(int64_t x, int64_t limit)
{
    return std::min(std::max(x, -limit), limit);
}

int16_t StoreSample(double value)
{
    if (std::isnan(value))
        return 0;
    return static_cast<int16_t>(std::clamp(std::trunc(value + 0.5), kSampleLow, kSampleHigh));
}

// The chroma coring of one pixel: each component loses what its table
// treats as noise, then so does what is left after its (1, 2, 1)-weighted mean.
struct Coring {
    const FLUT16RGB& table;
    int64_t limit;

    int32_t Lookup(int channel, int64_t x) const
    {
        const int32_t index = static_cast<int32_t>(ClampToTable(x, limit));
        return channel == 0 ? table.Red(index) : channel == 1 ? table.Green(index) : table.Blue(index);
    }

    void Apply(const double v[3], double out[3]) const
    {
        int64_t t[3], r[3];
        for (int c = 0; c < 3; ++c) {
            const int64_t j = TruncateToInt(v[c]);
            t[c] = Lookup(c, j);
            r[c] = j - t[c];
        }
        const int64_t mean = (r[0] + 2 * r[1] + r[2]) >> 2;
        for (int c = 0; c < 3; ++c)
            out[c] = v[c] - static_cast<double>(t[c] + Lookup(c, r[c] - mean));
    }
};

} // namespace

FDoubleTriple EstimateDarkColourCast(const FloatRGBPixmap& image, double s0, double s1, double s2, int32_t o0,
                                     int32_t o1, int32_t o2)
{
    const FDoubleTriple none(0.0, 0.0, 0.0);
    const uint32_t columns = static_cast<uint32_t>(std::max(image.m_iColumns, 0));
    const uint32_t rows = static_cast<uint32_t>(std::max(image.m_iRows, 0));
    const double wanted = std::trunc(static_cast<double>(rows - rows / 10) * 0.01 *
                                     static_cast<double>(columns - columns / 10) * 0.0625);
    if (wanted < 10.0)
        return none;
    const double strength = s0 + s1 + 0.5 * s2;
    if (!(strength >= 0.2)) // also no number: no window
        return none;
    const int32_t window = static_cast<int32_t>(std::min(std::trunc(5.0 * strength), double(kLargestDarkWindow)));
    const int32_t bins = 2 * window - 1;
    const float offset[3] = {float(o0), float(o1), float(o2)};

    std::vector<uint32_t> histogram(static_cast<size_t>(bins), 0);
    ForEachDarkSample(image, [&](const FPixelClassFlt32RGB& p) {
        const float v = Darkness(p, offset) + static_cast<float>(window) - 1.0f;
        if (v >= 0.0f && v < static_cast<float>(bins))
            ++histogram[static_cast<size_t>(v)];
    });
    int32_t last = 0;
    for (int32_t i = 1; i < bins; ++i) {
        histogram[static_cast<size_t>(i)] += histogram[static_cast<size_t>(i - 1)];
        if (static_cast<double>(histogram[static_cast<size_t>(i)]) < wanted)
            last = i;
    }
    const int32_t level = last + static_cast<int32_t>(std::trunc(strength)) - window + 1;

    FDoubleTriple sum(0.0, 0.0, 0.0);
    int32_t count = 0;
    ForEachDarkSample(image, [&](const FPixelClassFlt32RGB& p) {
        const float v = Darkness(p, offset);
        if (v > static_cast<float>(-window) && v <= static_cast<float>(level)) {
            ++count;
            sum += FDoubleTriple(p.r - offset[0], p.g - offset[1], p.b - offset[2]);
        }
    });
    if (count <= kMinimumDarkSamples)
        return none;
    return sum / (count + kDarkSamplePull);
}

float NoiseReductionLuminanceWeight(float signalGain, float channelGain)
{
    const float divisor = signalGain * channelGain * 3.0f;
    return std::isfinite(divisor) && divisor > 0.0f && std::isfinite(1.0f / divisor) ? 1.0f / divisor : 1.0f / 3;
}

void NoiseReductionLuminanceGainRow(FPixelClassFlt32Mono* gain, const FPixelClassFlt32RGB* colour,
                                    const FPixelClassFlt32Mono* filtered, int32_t columns,
                                    const RecombinationSettings& settings)
{
    const float epsilon = settings.fResidualEpsilon > 0.0f ? settings.fResidualEpsilon : kDefaultEpsilon;
    const float wR = settings.wR, wG = settings.wG, wB = settings.wB;
    for (int32_t x = 0; x < columns; ++x) {
        const float r = wR * colour[x].r, g = wG * colour[x].g, b = wB * colour[x].b;
        const float sum = r + g;
        const float denoised = std::max(sum + b, 0.0f);
        gain[x].v = (filtered[x].v + epsilon) / (denoised + epsilon);
    }
}

void NoiseReductionLuminanceGain(FloatMonoPixmap& gain, const FloatRGBPixmap& colour, const FloatMonoPixmap& filtered,
                                 const RecombinationSettings& settings)
{
    const int32_t columns = std::min({gain.m_iColumns, colour.m_iColumns, filtered.m_iColumns});
    const int32_t rows = std::min({gain.m_iRows, colour.m_iRows, filtered.m_iRows});
    for (int32_t y = 0; y < rows; ++y)
        NoiseReductionLuminanceGainRow(gain.GetRow(y), colour.GetRow(y), filtered.GetRow(y), columns, settings);
}

NoiseReductionOutput::NoiseReductionOutput(const FDoubleTriple& darkCast, const ColorMatrix3x3& matrix,
                                           const double chromaStrength[3], float outputGain,
                                           const RecombinationSettings& settings)
    : m_Cast{float(darkCast.r), float(darkCast.g), float(darkCast.b)}
{
    BuildWorkingSpaceMatrix(m_Output, matrix, FDoubleTriple(1.0, 1.0, 1.0), outputGain, 0.0);
    const float chromaGain = static_cast<float>(
        std::isnan(outputGain) ? kChromaGainLimit : std::min(static_cast<double>(outputGain), kChromaGainLimit));
    m_pTable = &GetChromaWeightLUT(
        FDoubleTriple(UsableStrength(chromaStrength[0] * chromaGain), UsableStrength(chromaStrength[1] * chromaGain),
                      UsableStrength(chromaStrength[2] * chromaGain)),
        FDoubleTriple(kChromaNormaliser, kChromaNormaliser, kChromaNormaliser));
    m_fScaling = std::isnan(settings.fResidualScaling) ? 1.0f : settings.fResidualScaling;
}

void NoiseReductionOutput::Row(FPixelClass48SRGB* out, const FPixelClassFlt32RGB* colour,
                               const FPixelClassFlt32Mono* gain, int32_t columns) const
{
    const Coring coring{*m_pTable, std::max<int64_t>(static_cast<int64_t>(m_pTable->m_iSize >> 1) - 1, 0)};
    const ColorMatrix3x3& output = m_Output;
    const float* cast = m_Cast;
    for (int32_t x = 0; x < columns; ++x) {
        const float d[3] = {colour[x].r - cast[0], colour[x].g - cast[1], colour[x].b - cast[2]};
        double v[3];
        for (int c = 0; c < 3; ++c)
            v[c] = output(c, 0) * d[0] + output(c, 1) * d[1] + output(c, 2) * d[2];
        double cored[3];
        coring.Apply(v, cored);
        const float luminanceGain = 1.0f + m_fScaling * (gain[x].v - 1.0f);
        out[x].r = StoreSample(std::min(cored[0] * luminanceGain, kSampleHigh));
        out[x].g = StoreSample(std::min(cored[1] * luminanceGain, kSampleHigh));
        out[x].b = StoreSample(std::min(cored[2] * luminanceGain, kSampleHigh));
    }
}

void RecombineNoiseReduction(WorkingPixmap& image, const FloatRGBPixmap& colour, const FloatMonoPixmap& gain,
                             const FDoubleTriple& darkCast, const ColorMatrix3x3& matrix,
                             const double chromaStrength[3], float outputGain, const RecombinationSettings& settings)
{
    const NoiseReductionOutput output(darkCast, matrix, chromaStrength, outputGain, settings);
    const int32_t columns = std::min({image.m_iColumns, colour.m_iColumns, gain.m_iColumns});
    const int32_t rows = std::min({image.m_iRows, colour.m_iRows, gain.m_iRows});
    for (int32_t y = 0; y < rows; ++y)
        output.Row(image.GetRow(y), colour.GetRow(y), gain.GetRow(y), columns);
}
