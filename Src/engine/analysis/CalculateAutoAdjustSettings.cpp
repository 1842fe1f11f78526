#include "engine/analysis/CalculateAutoAdjustSettings.h"

#include "engine/core/RowBandLoop.h"
#include "foundation/FAssert.h"
#include "foundation/FColorAdjust.h"
#include "foundation/FException.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

constexpr int kToneRows = 7;

// Percentile, target bin, weight of the exposure ratio, and the weights of the
// bin deficits in the contrast, shadow and highlight values.
struct ToneRow {
    double percentile;
    int target;
    double weight;
    int contrast;
    int shadow;
    int highlight;
};

constexpr ToneRow kToneTable[kToneRows] = {
    {0.005, 60, 0, 0, 6, 0},    {0.02, 75, 16, -1, -1, 1}, {0.1, 95, 16, -1, -1, 1}, {0.5, 150, 8, 0, 0, 0},
    {0.9, 205, 4, 1, 1, -1},    {0.98, 235, 2, 1, 1, -1},  {0.995, 255, 1, 0, 0, 6},
};

// Blue is read a little stronger and red a little weaker than green when the
// channel levels are compared.
constexpr double kChannelFactors[3] = {0.96, 1.0, 1.04};

constexpr int kColorBins = 32;
constexpr int32_t kColorScaleNumerator = 536870911; // 2^29 - 1: a channel's maximum lands in bin 31
constexpr double kToneLimit = 1.5;

// Tone outputs in tenths, halves upward, within +-1.5; a value that is no
// number gives 0.
double RoundTone(double value)
{
    if (std::isnan(value))
        return 0.0;
    value = std::clamp(value, -kToneLimit, kToneLimit);
    return std::floor(10.0 * value + 0.5) / 10.0;
}

// The share of the fill light that lifts the highlights: more when the
// picture already asks for its highlights to come down.
double HighlightFillShare(double highlightDeficit)
{
    if (highlightDeficit < -1.9)
        return 0.9;
    if (highlightDeficit < -1.5)
        return 0.8;
    if (highlightDeficit < -1.0)
        return 0.7;
    return 0.6;
}

int LumaBinCount(const FLUT16& cubeRoot)
{
    return std::max(1, cubeRoot[61439] / 16 + 1);
}

struct Histograms {
    std::vector<uint32_t> luma;
    std::vector<uint32_t> color;
};

int32_t ColorScale(int32_t maximum)
{
    return kColorScaleNumerator / std::max(1, maximum);
}

// Every pixel of the sample inside its 10 % border, counted once in each histogram.
Histograms BuildHistograms(const FAutoAdjustSample& sample, const FLUT16& cubeRoot)
{
    const int lumaBins = LumaBinCount(cubeRoot);
    Histograms total{std::vector<uint32_t>(lumaBins, 0), std::vector<uint32_t>(kAutoAdjustColorCells, 0)};
    const int32_t borderRows = static_cast<int32_t>(0.1 * sample.iRows);
    const int32_t borderColumns = static_cast<int32_t>(0.1 * sample.iColumns);
    const int32_t coreRows = sample.iRows - 2 * borderRows;
    const int32_t scaleR = ColorScale(sample.maxima.r);
    const int32_t scaleG = ColorScale(sample.maxima.g);
    const int32_t scaleB = ColorScale(sample.maxima.b);
    std::mutex merge;

    RunInRowBands(static_cast<uint32_t>(coreRows), [&](uint32_t firstRow, uint32_t lastRow) {
        Histograms band{std::vector<uint32_t>(lumaBins, 0), std::vector<uint32_t>(kAutoAdjustColorCells, 0)};
        for (uint32_t row = firstRow; row <= lastRow; ++row) {
            const FPixelClass48SRGB* pixels =
                sample.pixels.data() + static_cast<size_t>(borderRows + static_cast<int32_t>(row)) * sample.iColumns;
            for (int32_t x = borderColumns; x < sample.iColumns - borderColumns; ++x) {
                const FPixelClass48SRGB p = pixels[x];
                const int32_t luma = static_cast<int32_t>(std::floor(0.3 * p.r + 0.5 * p.g + 0.2 * p.b));
                const uint32_t lumaBin = static_cast<uint32_t>(cubeRoot[luma] / 16);
                if (lumaBin >= static_cast<uint32_t>(lumaBins))
                    AssertionFailed(FASSERT_SOURCE, __LINE__, "uiLumaIdx>=0 && uiLumaIdx<uiNLUMABINS", 0, 0);
                ++band.luma[lumaBin];
                const int32_t r = (std::max<int32_t>(p.r, 0) * scaleR) >> 24;
                const int32_t g = (std::max<int32_t>(p.g, 0) * scaleG) >> 24;
                const int32_t b = (std::max<int32_t>(p.b, 0) * scaleB) >> 24;
                ++band.color[r + kColorBins * g + kColorBins * kColorBins * b];
            }
        }
        std::lock_guard<std::mutex> hold(merge);
        for (int i = 0; i < lumaBins; ++i)
            total.luma[i] += band.luma[i];
        for (int i = 0; i < kAutoAdjustColorCells; ++i)
            total.color[i] += band.color[i];
    });
    return total;
}

std::vector<double> NormalisedCumulative(const std::vector<uint32_t>& counts)
{
    std::vector<double> cumulative(counts.size());
    double sum = 0.0;
    for (size_t i = 0; i < counts.size(); ++i) {
        sum += counts[i];
        cumulative[i] = sum;
    }
    for (double& value : cumulative)
        value /= sum;
    return cumulative;
}

void SetNeutralOutputs(double& exposure, double& contrast, double& shadow, double& highlight, double& saturation,
                       double colorGains[3])
{
    exposure = contrast = shadow = highlight = saturation = 0.0;
    colorGains[0] = colorGains[1] = colorGains[2] = 1.0;
}

} // namespace

FAutoAdjustSample AutoAdjustSubsample(const FPixmap& image)
{
    FAutoAdjustSample sample;
    const int32_t width = image.m_iColumns;
    const int32_t height = image.m_iRows;
    if (width < 32 || height < 40)
        return sample;
    sample.iColumns = ((width - 31) >> 2) + 1;
    sample.iRows = ((height - 39) >> 2) + 1;
    sample.pixels.assign(static_cast<size_t>(sample.iColumns) * sample.iRows, FPixelClass48SRGB{0, 0, 0});
    const int32_t filledColumns = ((width - 32) >> 2) + 1;
    const int32_t filledRows = (height - 39 + 3) / 4; // rows 19 + 4j below height - 20
    std::mutex merge;

    RunInRowBands(static_cast<uint32_t>(filledRows), [&](uint32_t firstRow, uint32_t lastRow) {
        FIntTriple maxima(1);
        for (uint32_t j = firstRow; j <= lastRow; ++j) {
            const auto* source =
                reinterpret_cast<const FPixelClass48SRGB*>(image.GetRow(19 + 4 * static_cast<int32_t>(j))) + 13;
            FPixelClass48SRGB* out = sample.pixels.data() + static_cast<size_t>(j) * sample.iColumns;
            for (int32_t i = 0; i < filledColumns; ++i, source += 4) {
                const int32_t r = (source[0].r + source[1].r + source[2].r + source[3].r) / 4;
                const int32_t g = (source[0].g + source[1].g + source[2].g + source[3].g) / 4;
                const int32_t b = (source[0].b + source[1].b + source[2].b + source[3].b) / 4;
                out[i] = FPixelClass48SRGB{static_cast<int16_t>(r), static_cast<int16_t>(g), static_cast<int16_t>(b)};
                maxima.r = std::max(maxima.r, r);
                maxima.g = std::max(maxima.g, g);
                maxima.b = std::max(maxima.b, b);
            }
        }
        std::lock_guard<std::mutex> hold(merge);
        for (int c = 0; c < 3; ++c)
            sample.maxima[c] = std::max(sample.maxima[c], maxima[c]);
    });
    return sample;
}

std::vector<double> ApplyLUTToVector(const std::vector<double>& values, const FLUT16& table)
{
    std::vector<double> out(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        // Saturating: a product far beyond the table (the gain times a huge
        // value) still picks an entry through the mask instead of overflowing.
        const int32_t index = TruncateToInt(values[i] >= 0 ? values[i] + 0.5 : values[i] - 0.5);
        out[i] = table[index];
    }
    return out;
}

void AutoAdjustTone(const std::vector<double>& cumulativeLuma, const FLUT16& cubeRoot, const FLUT16& inverseCubeRoot,
                    double fillLight, double& exposure, double& contrast, double& shadow, double& highlight)
{
    std::vector<double> targets(kToneRows);
    std::vector<double> percentileBins(kToneRows);
    size_t bin = 0;
    for (int i = 0; i < kToneRows; ++i) {
        while (bin + 1 < cumulativeLuma.size() && cumulativeLuma[bin] < kToneTable[i].percentile)
            ++bin;
        targets[i] = 16.0 * kToneTable[i].target;
        percentileBins[i] = 16.0 * static_cast<double>(bin);
    }
    const std::vector<double> linearTargets = ApplyLUTToVector(targets, inverseCubeRoot);
    const std::vector<double> linearBins = ApplyLUTToVector(percentileBins, inverseCubeRoot);

    double weightedTargets = 0.0;
    double weightedBins = 0.0;
    for (int i = 0; i < kToneRows; ++i) {
        weightedTargets += kToneTable[i].weight * linearTargets[i];
        weightedBins += kToneTable[i].weight * linearBins[i];
    }
    // A ratio beyond the limit, negative or infinite (a picture whose bins sit
    // where the inverse table is 0 or below) takes the limit: a gain of 4.
    const double ratioLimit = std::pow(4.0, 1.0 / 0.7);
    double ratio = ratioLimit;
    if (weightedBins > 0.0) {
        ratio = weightedTargets / weightedBins;
        if (!(ratio >= 0.0 && ratio <= ratioLimit))
            ratio = ratioLimit;
    }
    const double gain = std::pow(ratio, 0.7);

    std::vector<double> brightenedBins(kToneRows);
    for (int i = 0; i < kToneRows; ++i)
        brightenedBins[i] = gain * linearBins[i];
    const std::vector<double> binsAfterGain = ApplyLUTToVector(brightenedBins, cubeRoot);

    double contrastSum = 0.0;
    double shadowSum = 0.0;
    double highlightSum = 0.0;
    for (int i = 0; i < kToneRows; ++i) {
        const double deficit = kToneTable[i].target - binsAfterGain[i] * 0.0625;
        contrastSum += kToneTable[i].contrast * deficit;
        shadowSum += kToneTable[i].shadow * deficit;
        highlightSum += kToneTable[i].highlight * deficit;
    }
    const double fill = RoundTone(std::isfinite(fillLight) ? fillLight : 0.0);
    exposure = RoundTone(std::log2(gain));
    contrast = RoundTone(0.005 * contrastSum + 0.5 * fill);
    shadow = RoundTone(0.004 * shadowSum);
    const double highlightDeficit = 0.003 * highlightSum;
    highlight = RoundTone(highlightDeficit + HighlightFillShare(highlightDeficit) * fill);
}

void AutoAdjustColor(std::vector<uint32_t>& histogram, const FIntTriple& maxima, double colorGains[3],
                     double& saturation)
{
    histogram.resize(kAutoAdjustColorCells, 0);
    const int strides[3] = {1, kColorBins, kColorBins * kColorBins};
    // Each pass adds the upper neighbour along one axis; walking upward, that
    // neighbour still holds its value from before the pass.
    for (int axis = 0; axis < 3; ++axis)
        for (int b = 0; b < kColorBins - 1; ++b)
            for (int g = 0; g < kColorBins - 1; ++g)
                for (int r = 0; r < kColorBins - 1; ++r) {
                    const int cell = r + kColorBins * g + kColorBins * kColorBins * b;
                    histogram[cell] += histogram[cell + strides[axis]];
                }

    double weightSum = 0.0;
    double levelSums[3] = {};
    double chromaSums[3] = {};
    double chromaSquareSums[3] = {};
    for (int b = 0; b < kColorBins; ++b)
        for (int g = 0; g < kColorBins; ++g)
            for (int r = 0; r < kColorBins; ++r) {
                const uint32_t count = histogram[r + kColorBins * g + kColorBins * kColorBins * b];
                if (count == 0)
                    continue;
                const double weight = std::pow(count + 1.0, 0.125) - 1.0;
                const double levels[3] = {r + 1.0, g + 1.0, b + 1.0};
                const double norm = levels[0] + levels[1] + levels[2] + 1.0;
                weightSum += weight;
                for (int c = 0; c < 3; ++c) {
                    const double chroma = levels[c] / norm;
                    levelSums[c] += weight * levels[c];
                    chromaSums[c] += weight * chroma;
                    chromaSquareSums[c] += weight * chroma * chroma;
                }
            }
    if (!(weightSum > 0.0)) {
        colorGains[0] = colorGains[1] = colorGains[2] = 1.0;
        saturation = 0.0;
        return;
    }

    double levels[3];
    for (int c = 0; c < 3; ++c)
        levels[c] = kChannelFactors[c] * (maxima[c] * (levelSums[c] / weightSum) / 32.0 + 100.0);
    const double lowest = std::min({levels[0], levels[1], levels[2]});
    const FIntTriple densities = ColorAdjustGainsToCMY(
        std::pow(levels[0] / lowest, -0.5), std::pow(levels[1] / lowest, -0.5), std::pow(levels[2] / lowest, -0.5));
    const FDoubleTriple gains = CMYToColorAdjustGains(densities.r, densities.g, densities.b);
    colorGains[0] = gains.r;
    colorGains[1] = gains.g;
    colorGains[2] = gains.b;

    double variance = 0.0;
    for (int c = 0; c < 3; ++c) {
        const double mean = chromaSums[c] / weightSum;
        variance += chromaSquareSums[c] / weightSum - mean * mean;
    }
    // A one-colour picture has variance 0, up to rounding that may fall below it.
    const double spread = std::sqrt(std::max(variance, 0.0));
    const double value = spread > 0.0 ? 0.7 * (1.0 - 2.0 * std::exp(-0.09 / spread)) : 0.7;
    saturation = std::floor(10.0 * value + 0.5) / 10.0;
}

void CalculateAutoAdjustSettings(const FPixmap* image, const FLUT16& cubeRoot, const FLUT16& inverseCubeRoot,
                                 double fillLight, double& exposure, double& contrast, double& shadow,
                                 double& highlight, double& saturation, double colorGains[3])
{
    if (image == nullptr || image->GetPixelType() != FPixmap::PIXEL_48S_RGB)
        throw FExceptionPixelProc2("CalculateAutoAdjustSettings: input pixmap is not 48-bit signed RGB");
    try {
        FAutoAdjustSample sample = AutoAdjustSubsample(*image);
        if (sample.pixels.empty()) {
            SetNeutralOutputs(exposure, contrast, shadow, highlight, saturation, colorGains);
            return;
        }
        Histograms histograms = BuildHistograms(sample, cubeRoot);
        const std::vector<double> cumulative = NormalisedCumulative(histograms.luma);
        double tone[4];
        double gains[3];
        double colourSaturation;
        AutoAdjustTone(cumulative, cubeRoot, inverseCubeRoot, fillLight, tone[0], tone[1], tone[2], tone[3]);
        AutoAdjustColor(histograms.color, sample.maxima, gains, colourSaturation);
        exposure = tone[0];
        contrast = tone[1];
        shadow = tone[2];
        highlight = tone[3];
        saturation = colourSaturation;
        std::copy(gains, gains + 3, colorGains);
    } catch (const std::bad_alloc&) {
        throw FExceptionPixelProc2("CalculateAutoAdjustSettings: error mallocing memory");
    }
}
