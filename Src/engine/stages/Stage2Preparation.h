#pragma once
// Everything stage 2 derives before its steps run, from the picture's
// properties, the request and the camera data: exposure and gain figures, the
// white balance, the camera-to-XYZ matrix with the gains folded in, the
// channel multipliers, the level triple, the dark drift model and the noise
// settings. Most of it is recomputed from the same inputs on every call; what
// is measured on the image (the automatic white balance, the image means, the
// drift model and the table-reduction rescale) is measured when the stage
// starts afresh and kept in the resume block, because a resumed call sees an
// image that earlier steps have already changed.
#include "engine/colour/ColorMatrix3x3.h"
#include "engine/core/FIPERequest.h"
#include "engine/corrections/DarkShieldDrift.h"
#include "engine/noise/NoiseModelDenoise.h"
#include "foundation/FString.h"
#include "foundation/FValueTypes.h"

#include <cstdint>
#include <string>

class FCamdata;
class FPropTree;

// The reference white every matrix is balanced to: the chromaticity of D65
// with z = 1 - x - y.
inline constexpr double kReferenceWhite[3] = {0.3127, 0.329, 0.3583};

// Resume words 5 to 9 (kept by the managers, unused by the engine core): what
// the preparation measured on the fresh image, as float bits.
enum : int {
    kResumeWordGainR = 5, // the white-balance gains after the automatic white balance
    kResumeWordGainG = 6,
    kResumeWordGainB = 7,
    kResumeWordMeanRatioR = 8, // green mean / red mean of the fresh image
    kResumeWordMeanRatioB = 9, // green mean / blue mean
};

struct Stage2Preparation {
    // Camera and exposure.
    bool bOwnMakerCamera = false;
    bool bUseColorAverageRowOffset = false;
    bool bUseSlopeInDrift = false;
    int iCameraClass = 1;
    uint32_t iSkipFlags = 0;
    FString sCameraModel;
    double dCaptureISO = 100;
    double dSensorISO = 100;
    double dGainRatio = 1;        // r
    double dSensorGain = 1;
    double dClampedGainRatio = 1; // rc
    double dResidualGain = 1;     // rr
    bool bHighISO = false;
    bool bBulb = false;
    uint32_t iBulbFrames = 0;
    double dBulbNoiseFactor = 1;  // fb
    double dExposureTime = 0;     // t, seconds
    double dAperture = 0;         // N
    double dExposureCompensation = 0;
    double dBv = 0;
    bool bLowLight = false;

    // White balance and colour.
    std::string sWhiteBalance;    // the white-balance name (after the Daylight/Sunlight retry)
    bool bTungstenWB = false;
    bool bAutoWB = false;
    bool bWarmHighISO = false;
    bool bPerIlluminantWB = false;
    bool bIlluminantTables = false;
    bool bPresetWhiteBalance = true;
    bool bMonochrome = false;
    double dMatrixBoost = 1;      // mb
    ColorMatrix3x3 mColor;        // M, camera RGB to XYZ with every gain folded in
    bool bHasDaylightMatrix = false;
    ColorMatrix3x3 mDaylight;
    FDoubleTriple gains{1, 1, 1}; // g; (1, 1, 1) once folded into M
    FDoubleTriple baseGains{1, 1, 1}; // (1 / g) x FnumberGainFact, before shading and temperature
    FDoubleTriple multipliers{1, 1, 1}; // m
    FIntTriple levels{0, 0, 0};   // T, after the gains
    FDoubleTriple shadingCompensation{1, 1, 1};
    int iIlluminantIndex = 100;   // 0..5 from the illuminant search, else 100

    // Sensor corrections.
    FDriftPair drift{};           // top slopes, top offsets, bottom slopes, bottom offsets
    bool bDriftMeasured = false;
    FDoubleTriple darkGain{0, 0, 0};
    float afPostPoly[27] = {};
    FIntRect keepArea;            // the stored image on the sensor
    FIntRect activeArea;          // the picture in the image's coordinates, never empty
    bool bRescaled = false;       // this call rescaled the image (table reduction)

    // Flags of the later steps.
    bool bFlashFired = false;
    bool bShortExposure = false;
    bool bLongExposure = false;
    uint32_t iFIRDisable = 0;
    NewDenoiseSettings denoise;
};

// Runs the preparation for a request whose working image is W x H 48-bit
// signed RGB. freshStart: the stage starts at step 0 in this call with the
// untouched stage-1 image; the image measurements are then made (and the
// table-reduction rescale applied) and stored in the resume block, otherwise
// they are taken from it. measureDrift: the drift model is needed (step 0
// runs in this call).
Stage2Preparation PrepareStage2(const FIPERequestStage2& request, bool freshStart, bool measureDrift,
                                FIPEResumeState& resume);

// The neutral (camera RGB) of the camera's white under the reference white:
// inverse(M) x W65; (1, 1, 1) when M has no usable inverse.
FDoubleTriple ReferenceNeutral(const ColorMatrix3x3& M);

// The brightness value of an exposure (may be infinite or NaN when t is 0).
double BrightnessValue(double aperture, double seconds, double exposureCompensation, double gainRatio);
