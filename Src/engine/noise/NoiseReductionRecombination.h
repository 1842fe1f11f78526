#pragma once
// The end of the noise-model noise reduction: the upsampled denoised colour
// image, less the colour cast of its darkest pixels, brought into the working
// colour space by the output matrix, its remaining chroma noise cored twice
// through the chroma-weight tables, and scaled by a luminance gain that puts
// back the detail of the filtered full-resolution luminance. Also the
// estimate of the dark colour cast, made on the small input image first.
#include "engine/colour/ColorMatrix3x3.h"
#include "engine/noise/NoiseReductionImage.h"
#include "foundation/FValueTypes.h"

#include <cstdint>

// The mean colour (less the offsets o) of the darkest 1 % of every fourth row
// and column of the central 90 % of the image, darkness measured by
// (R - o0) + (G - o1) + (B - o2) / 2 within a window set by the chroma
// strengths s, pulled toward 0 by 400 extra samples. (0, 0, 0) when the image
// is too small, the strengths give no window or 200 or fewer samples are dark.
FDoubleTriple EstimateDarkColourCast(const FloatRGBPixmap& image, double s0, double s1, double s2, int32_t o0,
                                     int32_t o1, int32_t o2);

// The luminance weights 1 / (d f 3): the mean of the three samples with the
// channel gain f and the signal gain d taken out. A product that is not a
// positive number counts as 1 (the weight 1 / 3).
float NoiseReductionLuminanceWeight(float signalGain, float channelGain);

// The settings of the recombination. An epsilon that is not positive uses the
// default 5; a residual scaling that is no number uses 1.
struct RecombinationSettings {
    float fResidualEpsilon = 5.0f;
    float fResidualScaling = 1.0f;
    float wR = 1.0f / 3, wG = 1.0f / 3, wB = 1.0f / 3;
};

// gain := (filtered + e) / (max(Yd, 0) + e) per pixel, Yd the luminance of
// the denoised colour image.
void NoiseReductionLuminanceGain(FloatMonoPixmap& gain, const FloatRGBPixmap& colour, const FloatMonoPixmap& filtered,
                                 const RecombinationSettings& settings);
// One row of that, columns pixels.
void NoiseReductionLuminanceGainRow(FPixelClassFlt32Mono* gain, const FPixelClassFlt32RGB* colour,
                                    const FPixelClassFlt32Mono* filtered, int32_t columns,
                                    const RecombinationSettings& settings);

// The output pixels: matrix the camera-to-working matrix (output matrix with
// white (1, 1, 1) and gain outputGain), chroma strengths scaled by the output
// gain up to 8. A sample is its value plus 0.5 truncated toward 0, held
// within -32768 .. 24000.
void RecombineNoiseReduction(WorkingPixmap& image, const FloatRGBPixmap& colour, const FloatMonoPixmap& gain,
                             const FDoubleTriple& darkCast, const ColorMatrix3x3& matrix,
                             const double chromaStrength[3], float outputGain, const RecombinationSettings& settings);

// The same output pixels row by row: the matrix and the coring tables are set
// up once, then any thread may make any row.
class NoiseReductionOutput {
public:
    NoiseReductionOutput(const FDoubleTriple& darkCast, const ColorMatrix3x3& matrix, const double chromaStrength[3],
                         float outputGain, const RecombinationSettings& settings);
    void Row(FPixelClass48SRGB* out, const FPixelClassFlt32RGB* colour, const FPixelClassFlt32Mono* gain,
             int32_t columns) const;

private:
    ColorMatrix3x3 m_Output;
    const FLUT16RGB* m_pTable = nullptr;
    float m_Cast[3];
    float m_fScaling = 1.0f;
};
