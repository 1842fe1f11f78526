#pragma once
// High-ISO noise reduction guided by the camera's noise model (variance of
// channel c at value v: a_c + b_c v), one step of stage 2. Colour noise is
// removed on a copy reduced by 1, 2 or 4 (bilateral filter, then edge-aware
// smoothing); luminance noise at full size by two anisotropic diffusions.
// The two are recombined per pixel into working-colour-space values scaled by
// the output gain, so after this step the image is already matrixed.
#include "engine/colour/ColorMatrix3x3.h"
#include "engine/core/RunRowBands.h"
#include "engine/noise/NoiseReductionImage.h"
#include "foundation/FValueTypes.h"

#include <cstdint>
#include <functional>

// The settings, filled from camera data by stage 2 (the defaults here are
// those it uses for missing entries, where there is one).
struct NewDenoiseSettings {
    int32_t iDownSampleFactor = 2;      // 1, 2 or 4; any other value is taken as 4
    int32_t iWindowSize = 11;           // bilateral window 2r + 1
    bool bSubSampleKernel = true;       // every other window pixel (quincunx)
    float fNoiseScaling = 0.5f;         // larger: range weights fall faster, less chroma smoothing
    float fEdgeMapScale = 0.5f;
    float fLocalMeanDecay = 0.9f;       // base feedback of the edge-aware smoothing
    int32_t iLocalMeanIters = 1;
    int32_t iDarkNeutralizeLow = 2;     // at or below: grey
    int32_t iDarkNeutralizeHigh = 50;   // at or above: own colour
    int32_t iResidualAnisoDiffIters = 0; // constant-K diffusion; 0 skips it
    int32_t iNoiseModelDiffIters = 1;
    int32_t iResidualAnisoDiffK = 2;
    float fAnisoLambda = 0.25f;
    float fResidualAnisoDiffScaleNM = 1.0f; // already multiplied into afIntensityNoiseModel
    float fResidualEpsilon = 5.0f;
    float fResidualScaling = 1.0f;      // how much of the luminance gain is applied
    float fWBMixing = 0.5f;             // read by stage 2 only
    float fMatrixMixing = 0.5f;         // read by stage 2 only
    float afColorNoiseModel[9] = {};    // a_R, a_G, a_B, b_R, b_G, b_B, three unread
    float afIntensityNoiseModel[3] = {}; // edge scale c0 + c1 v of the luminance; the third unread
};

// The automatic white balance run on the denoised small image: the grid (a
// float RGB image), brightness value, flash, camera-to-XYZ matrix, output
// gain and constrain flag give the camera colour of a neutral (R, G, B).
using NoiseReductionNeutralEstimator =
    std::function<FDoubleTriple(const FloatRGBPixmap& grid, double dBv, bool bFlash, const ColorMatrix3x3& camToXYZ,
                                double outputGain, bool bConstrain)>;

// Rewrites pImage (FPixmap::PIXEL_48S_RGB, else FExceptionPixelProc2) in place.
// pMatrix is the camera-to-XYZ matrix; with bAutoWhiteBalance and an
// estimator, the neutral found on the small image is folded into it (the
// caller gets the new matrix), otherwise it is left as it is. afWBGain are the
// channel gains, fSignalGain the gain of the image over the sensor's scale.
// A failed allocation throws std::bad_alloc before the image is touched.
// Images smaller than the factor use the largest of 2 and 1 that fits.
// bandCount is the number of row bands of the parallel steps; the result does
// not depend on it.
void NoiseModelDenoise(FPixmap* pImage, const NewDenoiseSettings* pSettings, ColorMatrix3x3* pMatrix,
                       const double adChromaStrength[3], float fSignalGain, float fOutputGain,
                       const float afWBGain[3], bool bAutoWhiteBalance, double dBv, int32_t bFlash,
                       int32_t bConstrain, const NoiseReductionNeutralEstimator& estimateNeutral = {},
                       uint32_t bandCount = kRowBandCount);

// The factor the reduction uses for an image: 1, 2 or 4 (any other setting
// is 4), halved while the reduced image would have no rows or columns.
int32_t NoiseReductionFactor(int32_t setting, int32_t columns, int32_t rows);
