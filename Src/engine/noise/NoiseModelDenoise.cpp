#include "engine/noise/NoiseModelDenoise.h"

#include "engine/core/RowBandLoop.h"
#include "engine/noise/EdgeAwareSmoothing.h"
#include "engine/noise/LuminanceDiffusion.h"
#include "engine/noise/NoiseModelBilateral.h"
#include "engine/noise/NoiseReductionEdgeMaps.h"
#include "engine/noise/NoiseReductionRecombination.h"
#include "engine/noise/NoiseReductionResampling.h"
#include "foundation/FException.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <vector>

namespace {

// A channel gain that is not a positive number counts as 1.
float UsableGain(float gain)
{
    return std::isfinite(gain) && gain > 0.0f ? gain : 1.0f;
}

struct LuminanceWeights {
    float r, g, b;
};

ColorNoiseModel ColourModelOf(const NewDenoiseSettings& settings)
{
    const float* m = settings.afColorNoiseModel;
    return {{m[0], m[1], m[2]}, {m[3], m[4], m[5]}};
}

void ScaleChannels(FloatRGBImage& image, float r, float g, float b)
{
    for (int32_t y = 0; y < image.Rows(); ++y) {
        FPixelClassFlt32RGB* row = image.Row(y);
        for (int32_t x = 0; x < image.Columns(); ++x)
            row[x] = {row[x].r * r, row[x].g * g, row[x].b * b};
    }
}

bool UsableNeutral(const FDoubleTriple& n)
{
    for (int c = 0; c < 3; ++c)
        if (!std::isfinite(n[c]) || !(n[c] > 0.0) || !std::isfinite(1.0 / n[c]))
            return false;
    return true;
}

float Reciprocal(double value)
{
    return static_cast<float>(1.0 / value);
}

// The automatic white balance on the denoised small image. The channel
// gains move from the image into the matrix, the neutral found moves from the
// matrix into the image: the product matrix x image stays as it was.
void BalanceSmallImage(FloatRGBImage& denoised, int32_t factor, ColorMatrix3x3& matrix, const float gains[3],
                       double dBv, bool bFlash, float outputGain, bool bConstrain,
                       const NoiseReductionNeutralEstimator& estimateNeutral)
{
    const int32_t shift = factor == 2 ? 2 : 1;
    FloatRGBImage grid(denoised.Columns() >> shift, denoised.Rows() >> shift);
    if (grid.Columns() <= 0 || grid.Rows() <= 0)
        return;
    ScaleChannels(denoised, Reciprocal(gains[0]), Reciprocal(gains[1]), Reciprocal(gains[2]));
    if (factor == 2)
        DownSample4(grid.Pixmap(), denoised.Pixmap());
    else
        DownSample2(grid.Pixmap(), denoised.Pixmap());
    ColorMatrix3x3 balanced;
    ColorMatrixMultiply(balanced, matrix, ColorMatrix3x3::Diagonal(gains[0], gains[1], gains[2]));
    const FDoubleTriple neutral = estimateNeutral(grid.Pixmap(), dBv, bFlash, balanced, outputGain, bConstrain);
    if (!UsableNeutral(neutral)) {
        // Nothing found: the image gets its gains back and the matrix stays.
        ScaleChannels(denoised, gains[0], gains[1], gains[2]);
        return;
    }
    ColorMatrixMultiply(matrix, balanced, ColorMatrix3x3::Diagonal(neutral.r, neutral.g, neutral.b));
    ScaleChannels(denoised, Reciprocal(neutral.r), Reciprocal(neutral.g), Reciprocal(neutral.b));
}

void Downsample(FloatRGBImage& low, const WorkingPixmap& image, int32_t factor, uint32_t bandCount)
{
    if (factor == 1)
        ConvertFrom48S(low.Pixmap(), image, bandCount);
    else if (factor == 2)
        DownSample2From48S(low.Pixmap(), image, bandCount);
    else
        DownSample4From48S(low.Pixmap(), image, bandCount);
}

// The cast of the darkest pixels, chroma only: its (1, 2, 1)-weighted mean removed.
FDoubleTriple DarkChromaCast(const FloatRGBImage& low, const double strengths[3])
{
    const FDoubleTriple cast = EstimateDarkColourCast(low.Pixmap(), strengths[0], strengths[1], strengths[2], 0, 0, 0);
    const double mean = (cast.r + 2.0 * cast.g + cast.b) * 0.25;
    return {cast.r - mean, cast.g - mean, cast.b - mean};
}

void LuminanceRows(FloatMonoImage& luma, const WorkingPixmap& image, const LuminanceWeights& w, int32_t first,
                   int32_t last)
{
    for (int32_t y = first; y <= last; ++y) {
        const FPixelClass48SRGB* in = image.GetRow(y);
        FPixelClassFlt32Mono* out = luma.Row(y);
        for (int32_t x = 0; x < luma.Columns(); ++x) {
            const float r = w.r * float(in[x].r), g = w.g * float(in[x].g), b = w.b * float(in[x].b);
            const float sum = r + g;
            out[x].v = sum + b;
        }
    }
}

// The per-band buffers of the last step: the upsampled colour, the clipped
// luminance and the gain of one row at a time. Made before the image is
// written, so that no allocation can fail once it is.
struct RecombinationScratch {
    RecombinationScratch(const FloatRGBPixmap& low, int32_t factor, int32_t columns, int32_t rows)
        : colour(low, factor, columns, rows), filtered(static_cast<size_t>(columns)), gain(filtered.size())
    {
    }
    UpsampledRows colour;
    std::vector<FPixelClassFlt32Mono> filtered, gain;
};

} // namespace

int32_t NoiseReductionFactor(int32_t setting, int32_t columns, int32_t rows)
{
    int32_t factor = setting == 1 || setting == 2 ? setting : 4;
    while (factor > 1 && (columns / factor == 0 || rows / factor == 0))
        factor /= 2;
    return factor;
}

void NoiseModelDenoise(FPixmap* pImage, const NewDenoiseSettings* pSettings, ColorMatrix3x3* pMatrix,
                       const double adChromaStrength[3], float fSignalGain, float fOutputGain,
                       const float afWBGain[3], bool bAutoWhiteBalance, double dBv, int32_t bFlash,
                       int32_t bConstrain, const NoiseReductionNeutralEstimator& estimateNeutral, uint32_t bandCount)
{
    if (pImage == nullptr || pImage->GetPixelType() != FPixmap::PIXEL_48S_RGB || pSettings == nullptr ||
        pMatrix == nullptr || adChromaStrength == nullptr || afWBGain == nullptr)
        throw FExceptionPixelProc2("NoiseModelDenoise: bad arguments");
    WorkingPixmap& image = static_cast<WorkingPixmap&>(*pImage);
    const NewDenoiseSettings& settings = *pSettings;
    const int32_t columns = image.m_iColumns, rows = image.m_iRows;
    if (columns <= 0 || rows <= 0)
        return;

    // 1. Luminance weights. The work images are made where they are first
    // needed and given back when they are done with, and only the edge map,
    // whose border is never written, is zero-filled.
    const int32_t factor = NoiseReductionFactor(settings.iDownSampleFactor, columns, rows);
    const int32_t lowColumns = columns / factor, lowRows = rows / factor;
    const float gains[3] = {UsableGain(afWBGain[0]), UsableGain(afWBGain[1]), UsableGain(afWBGain[2])};
    const LuminanceWeights weights{NoiseReductionLuminanceWeight(fSignalGain, gains[0]),
                                   NoiseReductionLuminanceWeight(fSignalGain, gains[1]),
                                   NoiseReductionLuminanceWeight(fSignalGain, gains[2])};
    const ColorNoiseModel colourModel = ColourModelOf(settings);
    const uint32_t lowBandRows = static_cast<uint32_t>(lowRows);
    FloatRGBImage lowDenoised(lowColumns, lowRows, UnfilledPixels{});
    FloatMonoImage edgeMap(lowColumns, lowRows);
    FDoubleTriple darkCast;
    {
        // 2-5. The small image, its dark cast, the range weights, the bilateral filter.
        FloatRGBImage lowSource(lowColumns, lowRows, UnfilledPixels{});
        Downsample(lowSource, image, factor, bandCount);
        darkCast = DarkChromaCast(lowSource, adChromaStrength);
        RangeWeightTable rangeWeights;
        FillRangeWeightTable(rangeWeights, settings.fNoiseScaling);
        RunInRowBands(lowBandRows, [&](uint32_t first, uint32_t last) {
            BilateralFilterRows(lowDenoised.Pixmap(), lowSource.Pixmap(), settings.iWindowSize, colourModel,
                                settings.bSubSampleKernel, rangeWeights, int32_t(first), int32_t(last));
        }, bandCount);
    }

    // 6-8. The edge maps, dark neutralisation and edge-aware smoothing.
    RunInRowBands(lowBandRows, [&](uint32_t first, uint32_t last) {
        NoiseModelEdgeMapRows(edgeMap.Pixmap(), lowDenoised.Pixmap(), settings.fEdgeMapScale, colourModel,
                              int32_t(first), int32_t(last));
    }, bandCount);
    RunInRowBands(lowBandRows, [&](uint32_t first, uint32_t last) {
        CombineLuminanceEdgeMapRows(edgeMap.Pixmap(), lowDenoised.Pixmap(), weights.r, weights.g, weights.b,
                                    int32_t(first), int32_t(last));
    }, bandCount);
    DarkNeutralize(lowDenoised.Pixmap(), lowDenoised.Pixmap(), settings.iDarkNeutralizeHigh,
                   settings.iDarkNeutralizeLow, bandCount);
    EdgeAwareSmooth(lowDenoised.Pixmap(), lowDenoised.Pixmap(), edgeMap.Pixmap(), settings.fLocalMeanDecay,
                    settings.iLocalMeanIters, bandCount);

    // 9. The automatic white balance on the denoised small image.
    if (bAutoWhiteBalance && estimateNeutral)
        BalanceSmallImage(lowDenoised, factor, *pMatrix, gains, dBv, bFlash != 0, fOutputGain, bConstrain != 0,
                          estimateNeutral);

    // 11-14. The luminance: noise-model diffusion, optionally the constant-K
    // one, both on one image in place (as from one image into another), the
    // spike clipping row by row in the last step.
    FloatMonoImage luma(columns, rows, UnfilledPixels{});
    RunInRowBands(static_cast<uint32_t>(rows), [&](uint32_t first, uint32_t last) {
        LuminanceRows(luma, image, weights, int32_t(first), int32_t(last));
    }, bandCount);
    AnisoDiffusionNMInPlace(luma.Pixmap(), settings.iNoiseModelDiffIters,
                            {settings.afIntensityNoiseModel[0], settings.afIntensityNoiseModel[1]},
                            settings.fAnisoLambda, bandCount);
    if (settings.iResidualAnisoDiffIters != 0)
        AnisoDiffusionInPlace(luma.Pixmap(), settings.iResidualAnisoDiffIters, settings.iResidualAnisoDiffK,
                              settings.fAnisoLambda, bandCount);

    // 10, 15. Recombination into the image, row by row: the small image
    // brought back to full size, the clipped luminance, its gain, the output.
    RecombinationSettings recombination;
    recombination.fResidualEpsilon = settings.fResidualEpsilon;
    recombination.fResidualScaling = settings.fResidualScaling;
    recombination.wR = weights.r;
    recombination.wG = weights.g;
    recombination.wB = weights.b;
    const NoiseReductionOutput output(darkCast, *pMatrix, adChromaStrength, fOutputGain, recombination);
    std::vector<RecombinationScratch> scratch;
    const size_t bands = RowBandsOf(static_cast<uint32_t>(rows), bandCount).size();
    scratch.reserve(bands);
    for (size_t i = 0; i < bands; ++i)
        scratch.emplace_back(lowDenoised.Pixmap(), factor, columns, rows);
    std::atomic<uint32_t> nextScratch{0};
    RunInRowBands(static_cast<uint32_t>(rows), [&](uint32_t first, uint32_t last) {
        RecombinationScratch& own = scratch[nextScratch.fetch_add(1)];
        for (int32_t y = int32_t(first); y <= int32_t(last); ++y) {
            const FPixelClassFlt32RGB* colour = own.colour.Row(y);
            ClipLocalMaximaRow(own.filtered.data(), luma.Pixmap(), y);
            NoiseReductionLuminanceGainRow(own.gain.data(), colour, own.filtered.data(), columns, recombination);
            output.Row(image.GetRow(y), colour, own.gain.data(), columns);
        }
    }, bandCount);
}
