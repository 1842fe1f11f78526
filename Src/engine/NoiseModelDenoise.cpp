#include "engine/NoiseModelDenoise.h"

#include "engine/EdgeAwareSmoothing.h"
#include "engine/LuminanceDiffusion.h"
#include "engine/NoiseModelBilateral.h"
#include "engine/NoiseReductionEdgeMaps.h"
#include "engine/NoiseReductionRecombination.h"
#include "engine/NoiseReductionResampling.h"
#include "engine/RowBandLoop.h"
#include "foundation/FException.h"

#include <cmath>

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

void Downsample(FloatRGBImage& low, const WorkingPixmap& image, int32_t factor)
{
    if (factor == 1)
        ConvertFrom48S(low.Pixmap(), image);
    else if (factor == 2)
        DownSample2From48S(low.Pixmap(), image);
    else
        DownSample4From48S(low.Pixmap(), image);
}

void Upsample(FloatRGBImage& full, const FloatRGBImage& low, int32_t factor)
{
    if (factor == 1)
        CopyRGBFloat(full.Pixmap(), low.Pixmap());
    else if (factor == 2)
        UpSample2(full.Pixmap(), low.Pixmap());
    else
        UpSample4(full.Pixmap(), low.Pixmap());
}

// The cast of the darkest pixels, chroma only: its (1, 2, 1)-weighted mean removed.
FDoubleTriple DarkChromaCast(const FloatRGBImage& low, const double strengths[3])
{
    const FDoubleTriple cast = EstimateDarkColourCast(low.Pixmap(), strengths[0], strengths[1], strengths[2], 0, 0, 0);
    const double mean = (cast.r + 2.0 * cast.g + cast.b) * 0.25;
    return {cast.r - mean, cast.g - mean, cast.b - mean};
}

void Luminance(FloatMonoImage& luma, const WorkingPixmap& image, const LuminanceWeights& w)
{
    for (int32_t y = 0; y < luma.Rows(); ++y) {
        const FPixelClass48SRGB* in = image.GetRow(y);
        FPixelClassFlt32Mono* out = luma.Row(y);
        for (int32_t x = 0; x < luma.Columns(); ++x) {
            const float r = w.r * float(in[x].r), g = w.g * float(in[x].g), b = w.b * float(in[x].b);
            const float sum = r + g;
            out[x].v = sum + b;
        }
    }
}

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

    // 1. Work images and luminance weights.
    const int32_t factor = NoiseReductionFactor(settings.iDownSampleFactor, columns, rows);
    const int32_t lowColumns = columns / factor, lowRows = rows / factor;
    FloatRGBImage fullRGB(columns, rows);
    FloatMonoImage lumaA(columns, rows), lumaB(columns, rows);
    FloatRGBImage lowSource(lowColumns, lowRows), lowDenoised(lowColumns, lowRows);
    FloatMonoImage edgeMap(lowColumns, lowRows), lumaEdgeMap(lowColumns, lowRows);
    const float gains[3] = {UsableGain(afWBGain[0]), UsableGain(afWBGain[1]), UsableGain(afWBGain[2])};
    const LuminanceWeights weights{NoiseReductionLuminanceWeight(fSignalGain, gains[0]),
                                   NoiseReductionLuminanceWeight(fSignalGain, gains[1]),
                                   NoiseReductionLuminanceWeight(fSignalGain, gains[2])};
    const ColorNoiseModel colourModel = ColourModelOf(settings);

    // 2-4. The small image, its dark cast, the range weights.
    Downsample(lowSource, image, factor);
    const FDoubleTriple darkCast = DarkChromaCast(lowSource, adChromaStrength);
    RangeWeightTable rangeWeights;
    FillRangeWeightTable(rangeWeights, settings.fNoiseScaling);

    // 5-8. Colour denoising of the small image.
    const uint32_t lowBandRows = static_cast<uint32_t>(lowRows);
    RunInRowBands(lowBandRows, [&](uint32_t first, uint32_t last) {
        BilateralFilterRows(lowDenoised.Pixmap(), lowSource.Pixmap(), settings.iWindowSize, colourModel,
                            settings.bSubSampleKernel, rangeWeights, int32_t(first), int32_t(last));
    }, bandCount);
    RunInRowBands(lowBandRows, [&](uint32_t first, uint32_t last) {
        NoiseModelEdgeMapRows(edgeMap.Pixmap(), lowDenoised.Pixmap(), settings.fEdgeMapScale, colourModel,
                              int32_t(first), int32_t(last));
    }, bandCount);
    LuminanceEdgeMap(lumaEdgeMap.Pixmap(), lowDenoised.Pixmap(), weights.r, weights.g, weights.b);
    CombineEdgeMaps(edgeMap.Pixmap(), lumaEdgeMap.Pixmap());
    DarkNeutralize(lowDenoised.Pixmap(), lowDenoised.Pixmap(), settings.iDarkNeutralizeHigh,
                   settings.iDarkNeutralizeLow);
    EdgeAwareSmooth(lowDenoised.Pixmap(), lowDenoised.Pixmap(), edgeMap.Pixmap(), settings.fLocalMeanDecay,
                    settings.iLocalMeanIters);

    // 9. The automatic white balance on the denoised small image.
    if (bAutoWhiteBalance && estimateNeutral)
        BalanceSmallImage(lowDenoised, factor, *pMatrix, gains, dBv, bFlash != 0, fOutputGain, bConstrain != 0,
                          estimateNeutral);

    // 10. Back to full size.
    Upsample(fullRGB, lowDenoised, factor);

    // 11-14. The luminance: noise-model diffusion, optionally the constant-K
    // one, then spike clipping; the filtered luminance ends in lumaA.
    const bool constantDiffusion = settings.iResidualAnisoDiffIters != 0;
    FloatMonoImage& input = constantDiffusion ? lumaB : lumaA;
    FloatMonoImage& diffused = constantDiffusion ? lumaA : lumaB;
    Luminance(input, image, weights);
    AnisoDiffusionNM(diffused.Pixmap(), input.Pixmap(), settings.iNoiseModelDiffIters,
                     {settings.afIntensityNoiseModel[0], settings.afIntensityNoiseModel[1]}, settings.fAnisoLambda,
                     bandCount);
    if (constantDiffusion)
        AnisoDiffusion(lumaB.Pixmap(), lumaA.Pixmap(), settings.iResidualAnisoDiffIters, settings.iResidualAnisoDiffK,
                       settings.fAnisoLambda, bandCount);
    ClipLocalMaxima(lumaA.Pixmap(), lumaB.Pixmap());

    // 15. Recombination into the image.
    RecombinationSettings recombination;
    recombination.fResidualEpsilon = settings.fResidualEpsilon;
    recombination.fResidualScaling = settings.fResidualScaling;
    recombination.wR = weights.r;
    recombination.wG = weights.g;
    recombination.wB = weights.b;
    NoiseReductionLuminanceGain(lumaB.Pixmap(), fullRGB.Pixmap(), lumaA.Pixmap(), recombination);
    RecombineNoiseReduction(image, fullRGB.Pixmap(), lumaB.Pixmap(), darkCast, *pMatrix, adChromaStrength,
                            fOutputGain, recombination);
}
