#include "engine/stages/Stage2NoiseSettings.h"

#include "engine/core/CamdataValues.h"
#include "engine/stages/Stage2Calibration.h"
#include "fileio/container/CambData.h"
#include "foundation/FAssert.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kDefaultColorNoiseModel[9] = {6.3861f, 5.1706f, 5.3139f, 0.0046f, 0.0044f, 0.004f, 0, 0, 0};
const FDoubleTriple kDefaultIntensityNoiseModel(9.2094, 0.0075, 0);

// A float setting; its default also when defective.
float Float(const FCamdata* camdata, const char* name, float defaultValue)
{
    return CheckedCamdataValue(CamdataGetFloatDefault(camdata, name, defaultValue), kCamdataCoefficient, defaultValue);
}

// The same where 0 also takes the default.
float NonZeroFloat(const FCamdata* camdata, const char* name, float defaultValue)
{
    const float v = Float(camdata, name, defaultValue);
    return v != 0.0f ? v : defaultValue;
}

// An int16 setting; its default also when defective.
int32_t Int16(const FCamdata* camdata, const char* name, const CamdataRange& range, int32_t defaultValue)
{
    return CheckedCamdataValue<int32_t>(CamdataGetInt16Default(camdata, name, defaultValue), range, defaultValue);
}

// The strength factor with the user's setting logged when out of range.
double LoggedStrengthFactor(double s, double minimum, double maximum, const char* format)
{
    if (!(s >= 0.0 && s <= 1.0))
        DebugPrintf(format, s);
    return NoiseStrengthFactor(s, minimum, maximum);
}

// Any float matrix of nine elements that are not defective.
bool ReadColorNoiseModel(const FCamdata* camdata, float (&out)[9])
{
    const CambMatrix* m = camdata ? camdata->GetMatrix("ColorNoiseModel") : nullptr;
    if (m == nullptr || m->iType != CAMB_MATRIX_FLOAT || m->pData == nullptr || m->ElementCount() != 9)
        return false;
    std::copy_n(static_cast<const float*>(m->pData), 9, out);
    return std::all_of(std::begin(out), std::end(out), [](float v) { return kCamdataCoefficient.Holds(v); });
}

} // namespace

void ClearNoiseModels(NewDenoiseSettings& settings) { std::fill(std::begin(settings.afColorNoiseModel), std::end(settings.afColorNoiseModel), 0.0f); }

void GetNewDenoiseSettings(NewDenoiseSettings& s, const FCamdata* camdata, bool tungstenWB, float captureISO)
{
    const bool strong = tungstenWB || captureISO > 400.0f;
    s.iDownSampleFactor = CamdataGetInt16Default(camdata, "DownSampleFactor", strong ? 4 : 2);
    s.iWindowSize = 2 * Int16(camdata, "BilateralFilterRadius", kCamdataFilterRadius, 5) + 1;
    s.bSubSampleKernel = (CamdataGetInt16Default(camdata, "SubSampleKernel", 1) & 0xFF) != 0;
    s.fNoiseScaling = Float(camdata, "NoiseScaling", 0.5f);
    s.fEdgeMapScale = Float(camdata, "EdgeMapScale", 0.5f);
    s.fLocalMeanDecay = Float(camdata, "LocalMeanDecay", 0.9f);
    s.iLocalMeanIters = Int16(camdata, "LocalMeanIters", kCamdataIterations, 1);
    s.iDarkNeutralizeLow = CamdataGetInt16Default(camdata, "DarkNeutralizeLow", 2);
    s.iDarkNeutralizeHigh = CamdataGetInt16Default(camdata, "DarkNeutralizeHigh", 50);
    s.iResidualAnisoDiffIters = Int16(camdata, "ResidualAnisoDiffIters2", kCamdataIterations, strong ? 1 : 0);
    s.iNoiseModelDiffIters = 1;
    s.iResidualAnisoDiffK = CamdataGetInt16Default(camdata, "ResidualAnisoDiffK2", 2);
    s.fAnisoLambda = Float(camdata, "AnisoLambda", 0.25f);
    float scaleNM = 1.0f;
    if (captureISO == 400.0f)
        scaleNM = tungstenWB ? 0.75f : 0.25f;
    else if (captureISO == 800.0f && !tungstenWB)
        scaleNM = 0.75f;
    s.fResidualAnisoDiffScaleNM = Float(camdata, "ResidualAnisoDiffScaleNM", scaleNM);
    s.fResidualEpsilon = Float(camdata, "ResidualEpsilon", 5.0f);
    s.fResidualScaling = Float(camdata, "ResidualScaling", 1.0f);
    s.fWBMixing = Float(camdata, "WBMixing", 0.5f);
    s.fMatrixMixing = Float(camdata, "MatrixMixing", 0.5f);
}

double NoiseStrengthFactor(double s, double minimum, double maximum)
{
    if (std::isnan(s) || s < 0.0)
        return minimum;
    if (s < 0.5)
        return 2.0 * s + (1.0 - 2.0 * s) * minimum;
    if (s <= 1.0)
        return 2.0 * (s - 0.5) * maximum + (1.0 - 2.0 * (s - 0.5));
    return maximum;
}

void CompleteNoiseModelSettings(NewDenoiseSettings& s, const FCamdata* camdata, const NoiseModelInputs& in)
{
    float model[9];
    if (!ReadColorNoiseModel(camdata, model))
        std::copy(std::begin(kDefaultColorNoiseModel), std::end(kDefaultColorNoiseModel), model);
    const double rc = in.dClampedGainRatio, sg = in.dSensorGain;
    for (int i = 0; i < 3; ++i) {
        float variance = float(double(model[i]) * rc * rc);
        variance = float(double(variance) * sg * sg);
        float slope = float(double(model[3 + i]) * rc);
        slope = float(double(slope) * sg);
        if (!in.bTungstenWB) {
            variance = float(double(variance) * in.multipliers[i] * in.multipliers[i]);
            slope = float(double(slope) * in.multipliers[i]);
        }
        s.afColorNoiseModel[i] = variance;
        s.afColorNoiseModel[3 + i] = slope;
        s.afColorNoiseModel[6 + i] = model[6 + i];
    }

    const double chroma = LoggedStrengthFactor(in.dChromaNoise, Float(camdata, "MinNoiseScalingFactor", 4.0f),
                                               Float(camdata, "MaxNoiseScalingFactor", 0.02f),
                                               "BAD ChromaNoiseSetting = %g; Should be between 0 and 1\n");
    s.fNoiseScaling = float(s.fNoiseScaling * chroma);
    if (in.dChromaNoise > 0.751)
        s.iDownSampleFactor = 4;

    const double luma = LoggedStrengthFactor(in.dLumaNoise, Float(camdata, "MinAnisoDiffScaleNMFactor", 0.5f),
                                             Float(camdata, "MaxAnisoDiffScaleNMFactor", 2.0f),
                                             "BAD LumaNoiseSetting = %g; Should be between 0 and 1\n");
    s.fResidualAnisoDiffScaleNM = float(s.fResidualAnisoDiffScaleNM * luma);

    const double residual = NoiseStrengthFactor(in.dLumaNoise, Float(camdata, "MinResidualScalingFactor", 1.0f),
                                                Float(camdata, "MaxResidualScalingFactor", 0.75f));
    s.fResidualScaling = float(s.fResidualScaling * residual);

    const FDoubleTriple intensity =
        ReadStage2VectorOr(camdata, "IntensityNoiseModel", kCamdataCoefficient, kDefaultIntensityNoiseModel);
    for (int i = 0; i < 3; ++i)
        s.afIntensityNoiseModel[i] = float(intensity[i] * s.fResidualAnisoDiffScaleNM);
}

FIRParameters GetFIRParameters(const FCamdata* camdata, int cameraClass, double c)
{
    FIRParameters p;
    if (cameraClass == 1 || cameraClass == 3) {
        p.fProportionLocalMeanRef = c <= 1200 ? 0.00093f : 0.000846f;
        p.fProportionLocalMeanEdgeRef = c > 600 ? 0.000846f : 0.001606f;
        p.fProportionLocalMeanImgWithEdgeRef = c > 1200 ? 0.008455f : (c > 600 ? 0.012682f : 0.016064f);
        p.fLocality = c > 1200 ? 2.0f : (c > 600 ? 1.5f : 1.0f);
    } else {
        p.fProportionLocalMeanRef =
            NonZeroFloat(camdata, "FIR_ProportionLocalMeanRef", c > 2400 ? 0.008f : (c > 1200 ? 0.001f : 0.0011f));
        p.fProportionLocalMeanEdgeRef =
            NonZeroFloat(camdata, "FIR_ProportionLocalMeanEdgeRef", c > 600 ? 0.001f : 0.0019f);
        p.fProportionLocalMeanImgWithEdgeRef =
            NonZeroFloat(camdata, "FIR_ProportionLocalMeanImgWithEdgeRef",
                         c > 2400 ? 0.015f : (c > 1200 ? 0.01f : (c > 600 ? 0.015f : 0.019f)));
        p.fLocality =
            NonZeroFloat(camdata, "FIR_Locality", c > 2400 ? 3.0f : (c > 1200 ? 2.0f : (c > 600 ? 1.5f : 1.0f)));
    }
    p.fScaleFactorEdgeRef = NonZeroFloat(camdata, "FIR_ScaleFactorEdgeRef", 5.0f);
    p.fScaleFactorLocalMeanEdgeRef = NonZeroFloat(camdata, "FIR_ScaleFactorLocalMeanEdgeRef", 7.0f);
    const uint32_t iterations =
        CheckedCamdataValue<uint32_t>(CamdataGetUInt16(camdata, "FIR_Iterations", nullptr), kCamdataIterations, 0);
    p.iIterations = uint16_t(iterations == 0 ? 1 : iterations);
    p.fSigmoidOffset = NonZeroFloat(camdata, "FIR_SigmoidOffset", 0.55f);
    p.fEdgeMapExponent = NonZeroFloat(camdata, "FIR_EdgeMapExponent", 0.7f);
    return p;
}
