#pragma once
// How stage 2 turns the camera data, the capture ISO, the white balance and
// the user's two noise-reduction strengths into the parameters of its two
// noise reductions: the noise-model settings (ISO 400 and above) and the FIR
// parameters (below).
#include "engine/noise/NoiseModelDenoise.h"

#include <cstdint>

class FCamdata;

// Clears the colour noise model of the record.
void ClearNoiseModels(NewDenoiseSettings& settings);

// Fills the record from the down-sample factor to the matrix mixing from the
// camera data; missing entries take the defaults of the white balance
// (tungsten) and the capture ISO.
void GetNewDenoiseSettings(NewDenoiseSettings& settings, const FCamdata* camdata, bool tungstenWB, float captureISO);

// The multiplier of a user strength s (nominally 0 .. 1): minimum at 0, 1 at
// 0.5, maximum at 1, linear between, held at the ends outside.
double NoiseStrengthFactor(double s, double minimum, double maximum);

// What the step-6 completion needs of the preparation.
struct NoiseModelInputs {
    double dClampedGainRatio = 1.0; // rc
    double dSensorGain = 1.0;
    FDoubleTriple multipliers{1, 1, 1}; // channel multipliers m
    bool bTungstenWB = false;
    double dChromaNoise = 0.5;
    double dLumaNoise = 0.5;
};

// Completes the record for the noise-model reduction: the colour noise model
// scaled to the picture's gains, and the user's strengths applied to the noise
// scaling, the luma diffusion scale and the residual scaling. Strengths
// outside 0 .. 1 are logged and held at the ends.
void CompleteNoiseModelSettings(NewDenoiseSettings& settings, const FCamdata* camdata, const NoiseModelInputs& in);

// The FIR parameter set, in the order the reduction takes them.
struct FIRParameters {
    float fProportionLocalMeanRef = 0;
    float fProportionLocalMeanEdgeRef = 0;
    float fProportionLocalMeanImgWithEdgeRef = 0;
    float fLocality = 0;
    float fSigmoidOffset = 0;
    float fScaleFactorEdgeRef = 0;
    float fScaleFactorLocalMeanEdgeRef = 0;
    float fEdgeMapExponent = 0;
    uint16_t iIterations = 1;
};

// Camera classes 1 and 3 use fixed values for the first four parameters;
// other classes read them and take ISO defaults for 0 or missing entries.
FIRParameters GetFIRParameters(const FCamdata* camdata, int cameraClass, double captureISO);
