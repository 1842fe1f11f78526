#include "engine/stages/Stage2Preparation.h"

#include "engine/analysis/AutoWB_ChromaWt.h"
#include "engine/analysis/EAutoWB.h"
#include "engine/analysis/SubsampledColorAverage.h"
#include "engine/colour/ColorSpaces.h"
#include "engine/core/CamdataValues.h"
#include "engine/stages/Stage2Calibration.h"
#include "engine/stages/Stage2NoiseSettings.h"
#include "engine/stages/Stage3.h"
#include "fileio/container/CambData.h"
#include "foundation/FAssert.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "foundation/FUnicode.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

namespace {

using WorkingPixmap = FPixmapTemplate<FPixelClass48SRGB>;

constexpr const char* kSearchIlluminants[6] = {"Sunlight", "Shade", "Overcast", "Incandescent", "Fluorescent", "Flash"};
constexpr double kShadingDefaults[6][3] = {
    {0.98437, 1.0, 1.00676}, {0.99381, 1.0, 0.9893},   {0.98253, 1.0, 0.98639},
    {0.985627, 1.0, 0.995364}, {1.00494, 1.0, 0.98753}, {1.0, 1.0, 1.0},
};
constexpr double kMonochromeDeterminant = 0.0001;
constexpr double kMatrixBoostPerIlluminant = 1.3;

std::string Property(const FPropTree* props, const char* key)
{
    if (props == nullptr)
        return {};
    const FString* value = props->GetValue(FString(key), nullptr);
    return value ? Utf16ToUtf8(value->View()).value_or(std::string()) : std::string();
}

double PropertyDouble(const FPropTree* props, const char* key)
{
    if (props == nullptr)
        return 0.0;
    const double v = props->GetDouble(FString(key), 0.0);
    return std::isfinite(v) ? v : 0.0;
}

ColorMatrix3x3 Times(const ColorMatrix3x3& a, const ColorMatrix3x3& b)
{
    ColorMatrix3x3 out;
    return ColorMatrixMultiply(out, a, b);
}

// M x diag(d): column j times d_j.
ColorMatrix3x3 TimesDiagonal(const ColorMatrix3x3& m, const FDoubleTriple& d)
{
    ColorMatrix3x3 out = m;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            out(r, c) *= d[c];
    return out;
}

FDoubleTriple ReferenceWhite() { return FDoubleTriple(kReferenceWhite[0], kReferenceWhite[1], kReferenceWhite[2]); }

bool AllZero(const ColorMatrix3x3& m)
{
    return std::all_of(std::begin(m.m), std::end(m.m), [](double v) { return v == 0.0; });
}

bool PositiveFinite(const FDoubleTriple& v)
{
    for (int i = 0; i < 3; ++i)
        if (!(v[i] > 0.0) || !std::isfinite(v[i]))
            return false;
    return true;
}

// A drift model of the camera data (2 x 3 x 2 floats); zeros when missing or defective.
void ReadDriftModel(const FCamdata* camdata, const char* name, double* out12)
{
    CamdataGetMatrix2x3x2(camdata, name, out12);
    if (!std::all_of(out12, out12 + 12, [](double v) { return kCamdataCoefficient.Holds(v); }))
        std::fill(out12, out12 + 12, 0.0);
}

// An int32 triple of the camera data; zeros when missing or defective.
FDoubleTriple ReadCountTriple(const FCamdata* camdata, const char* name)
{
    int32_t t[3];
    CamdataGetInt32Triple(camdata, name, t);
    return CheckedCamdataValue(FDoubleTriple(t[0], t[1], t[2]), kCamdataCoefficient, FDoubleTriple(0.0));
}

float FloatOfWord(uint32_t word) { return std::bit_cast<float>(word); }
uint32_t WordOfFloat(float value) { return std::bit_cast<uint32_t>(value); }

// The colour space the per-illuminant tables were made for: the picture's
// COLORSPACE, else the camera data's test text (its last word before a "!").
int32_t TableColorSpace(const FPropTree* props, const FCamdata* camdata)
{
    std::string name = Property(props, "COLORSPACE");
    if (name.empty()) {
        uint32_t length = 0;
        const uint8_t* text = CamdataGetText(camdata, "ColorspaceTestText", &length);
        std::string t = text ? std::string(reinterpret_cast<const char*>(text), length) : std::string();
        while (!t.empty() && t.back() == '\0')
            t.pop_back();
        if (!t.empty() && t.back() == '!') {
            t.pop_back();
            const size_t blank = t.find_last_of(' ');
            t = blank == std::string::npos ? t : t.substr(blank + 1);
        }
        name = t;
    }
    return Stage2EqualNoCase(name, "AdobeRGB") ? kColorSpaceAdobeRGB : kColorSpaceSRGB;
}

ColorMatrix3x3 XYZFromColorSpace(int32_t colorSpace)
{
    ColorMatrix3x3 toSpace;
    CreateColorSpaceWhitePoint(toSpace, colorSpace, kWhitePointD65);
    return ColorMatrixInverse(toSpace, toSpace);
}

class Preparation {
public:
    Preparation(const FIPERequestStage2& request, bool fresh, bool measureDrift, FIPEResumeState& resume)
        : r(request), camdata(request.m_pCambData), props(request.m_pCaptureProps), m_bFresh(fresh),
          m_bMeasureDrift(measureDrift), m_Resume(resume),
          image(static_cast<WorkingPixmap*>(request.m_pStage1Image))
    {
    }

    Stage2Preparation Run();

private:
    void MakerAndSwitches();
    void IsoAndGains();
    void LevelTriple();
    void Exposure();
    void WhiteBalanceName();
    bool PerIlluminantMatrix();
    void ColorMatrix();
    void FinishMatrix();
    void DriftGains();
    void PostPolynomial();
    void Neutral();
    void AreasAndDrift();
    void ReductionAndMeans();
    void FlashAndExposureLimits();
    void IlluminantSearch();
    void AutomaticWhiteBalance();
    void KeepMeasuredGains();
    void GainsAndMultipliers();
    void Levels();
    void ColorMode();

    const FIPERequestStage2& r;
    const FCamdata* camdata;
    const FPropTree* props;
    bool m_bFresh;
    bool m_bMeasureDrift;
    FIPEResumeState& m_Resume;
    WorkingPixmap* image;
    Stage2Preparation p;
    std::string m_sNarrowName;
    FDoubleTriple m_DarkK{1, 1, 1};
    FDoubleTriple m_MeanRatios{1, 1, 1}; // D_G / D_R, D_G / D_B (third unused)
};

Stage2Preparation Preparation::Run()
{
    MakerAndSwitches();
    IsoAndGains();
    LevelTriple();
    Exposure();
    p.iSkipFlags = CamdataGetUInt32(camdata, "SkipStepFlags");
    p.sCameraModel = FString(Property(props, "CAMMODEL").c_str());
    p.iCameraClass = CameraClassFromModel(p.sCameraModel);
    p.dAperture = PropertyDouble(props, "APERTURE");
    p.dExposureCompensation = PropertyDouble(props, "EXPCOMP");
    p.dBv = BrightnessValue(p.dAperture, p.dExposureTime, p.dExposureCompensation, p.dGainRatio);
    p.bLowLight = p.dBv < 1.25;
    WhiteBalanceName();
    ClearNoiseModels(p.denoise);
    GetNewDenoiseSettings(p.denoise, camdata, p.bTungstenWB, float(p.dCaptureISO));
    ColorMatrix();
    p.dMatrixBoost = p.bPerIlluminantWB ? kMatrixBoostPerIlluminant : 1.0;
    FinishMatrix();
    DriftGains();
    PostPolynomial();
    Neutral();
    AreasAndDrift();
    ReductionAndMeans();
    FlashAndExposureLimits();
    IlluminantSearch();
    AutomaticWhiteBalance();
    KeepMeasuredGains();
    p.iFIRDisable = CamdataGetUInt16(camdata, "FIR_DisableStep", nullptr);
    if ((p.iSkipFlags & kSkipFIR) != 0)
        p.iFIRDisable = 1;
    if (p.iFIRDisable != 0)
        DebugPrintf("SKIPPING FIR NOISE REDUCTION!\n");
    GainsAndMultipliers();
    Levels();
    const uint32_t threshold = CamdataGetUInt32(camdata, "DespeckleExpTimeThresh");
    p.bLongExposure = p.bBulb || int64_t(r.m_iExposureTime) > int64_t(threshold == 0 ? 150000 : threshold);
    ColorMode();
    p.sWhiteBalance = m_sNarrowName;
    return p;
}

void Preparation::MakerAndSwitches()
{
    const std::string maker = Property(props, "CAMMANUF");
    p.bOwnMakerCamera = Stage2EqualNoCase(maker, "TALVO") || Stage2EqualNoCase(maker, "TALVO.CO");
    bool found = false;
    const uint32_t rowOffset = CamdataGetUInt16(camdata, "UseColorAverageRowOffset", &found);
    p.bUseColorAverageRowOffset = found ? rowOffset != 0 : !p.bOwnMakerCamera;
    const uint32_t slope = CamdataGetUInt16(camdata, "UseSlopeInDrift", &found);
    p.bUseSlopeInDrift = found ? slope != 0 : p.bOwnMakerCamera;
}

void Preparation::IsoAndGains()
{
    p.dCaptureISO = CheckedCamdataValue(CamdataGetFloat(camdata, "CaptureISO"), kCamdataIso, r.m_dISO);
    p.dSensorISO = CheckedCamdataValue(CamdataGetFloat(camdata, "SensorISO"), kCamdataIso, 100.0);
    p.dGainRatio = p.dCaptureISO / p.dSensorISO;
    if (!std::isfinite(p.dGainRatio) || p.dGainRatio <= 0.0)
        p.dGainRatio = 1.0; // a hostile ISO pair would make every later gain meaningless
    p.dSensorGain = p.dSensorISO / 100.0;
    p.iBulbFrames = CheckedCamdataValue<uint32_t>(CamdataGetUInt32(camdata, "BulbFrameCount"), kCamdataFrameCount, 0);
    p.bBulb = p.iBulbFrames > 1;
    p.dClampedGainRatio = (p.dGainRatio < 2.0 || p.bBulb) ? p.dGainRatio : 2.0;
    p.dResidualGain = p.dGainRatio / p.dClampedGainRatio;
    p.bHighISO = p.dCaptureISO >= 400.0;
    if (p.bBulb) {
        const double n = p.iBulbFrames;
        p.dBulbNoiseFactor = std::sqrt(n + 1.0) + n / 6.0;
        if (p.dGainRatio < 2.0)
            p.dBulbNoiseFactor *= std::sqrt(2.0);
    }
}

void Preparation::LevelTriple()
{
    const FIntTriple& dark = r.m_aiDarkLevel;
    const FIntTriple& saturation = r.m_aiSaturationLevel;
    const bool anyDark = dark.r != 0 || dark.g != 0 || dark.b != 0;
    const bool anySaturation = saturation.r != 0 || saturation.g != 0 || saturation.b != 0;
    if (anyDark && anySaturation) {
        for (int i = 0; i < 3; ++i)
            p.levels[i] = saturation[i] - dark[i];
    } else {
        int32_t t[3];
        CamdataGetInt16Triple(camdata, "SaturationLevel", t);
        p.levels = FIntTriple(t[0], t[1], t[2]);
        DebugPrintf("=======  %s/%s(v%s) ISO%d\n", Property(props, "CAMMODEL").c_str(),
                    Property(props, "CAMSERIAL").c_str(), Property(props, "FIRMVERS").c_str(),
                    TruncateToInt(p.dCaptureISO));
    }
    if (p.bBulb) {
        const double f = std::min(std::sqrt(double(p.iBulbFrames) - 1.0) / 2.5, 1.2);
        for (int i = 0; i < 3; ++i)
            p.levels[i] = TruncateToInt(p.levels[i] * f);
    }
}

void Preparation::Exposure()
{
    double t = PropertyDouble(props, "SHUTTER");
    if (t == 0.0)
        t = PropertyDouble(props, "EXPTIME") / 1000000.0;
    if (t == 0.0)
        t = r.m_iExposureTime * 1e-6;
    p.dExposureTime = t;
}

void Preparation::WhiteBalanceName()
{
    const std::string requested = Utf16ToUtf8(r.m_sWhiteBalance.View()).value_or(std::string());
    m_sNarrowName = requested.empty() ? Property(props, "WB_DESC") : requested;
    p.bTungstenWB = Stage2EqualNoCase(m_sNarrowName, "Tungsten") || Stage2EqualNoCase(m_sNarrowName, "Incandescent");
    p.bAutoWB = Stage2EqualNoCase(m_sNarrowName, "Auto");
    p.bWarmHighISO = p.bHighISO && (p.bTungstenWB || p.bAutoWB);
}

// The per-illuminant colour corrections of the camera data, when it enables
// them and has an entry for the white balance.
bool Preparation::PerIlluminantMatrix()
{
    int64_t flag = 0;
    if (!ReadStage2FlexibleInt(camdata, "CCMatrix_Flag", flag) || flag != 1)
        return false;
    const Stage2List corrections = ReadPrefixedStage2List(camdata, "WhiteBalanceColorCorrections");
    const Stage2List gainsList = ReadPrefixedStage2List(camdata, "WhiteBalanceGains");
    if (corrections.empty() || gainsList.empty())
        return false;
    std::string ccName = Stage2ListValue(corrections, m_sNarrowName);
    if (ccName.empty()) {
        if (Stage2EqualNoCase(m_sNarrowName, "Daylight"))
            m_sNarrowName = "Sunlight";
        else if (Stage2EqualNoCase(m_sNarrowName, "Sunlight"))
            m_sNarrowName = "Daylight";
        ccName = Stage2ListValue(corrections, m_sNarrowName);
    }
    const ColorMatrix3x3 cc = ReadStage2Matrix(camdata, ccName);
    const FDoubleTriple gain = ReadStage2Vector(camdata, Stage2ListValue(gainsList, m_sNarrowName));
    if (cc.m[0] == 0.0 || gain[0] == 0.0)
        return false;
    p.bPerIlluminantWB = true;
    const ColorMatrix3x3 toXYZ = XYZFromColorSpace(TableColorSpace(props, camdata));
    p.mColor = Times(toXYZ, cc);
    if (p.bWarmHighISO) {
        std::string daylight = Stage2ListValue(corrections, "Daylight");
        if (daylight.empty())
            daylight = Stage2ListValue(corrections, "Sunlight");
        p.mDaylight = Times(toXYZ, ReadStage2Matrix(camdata, daylight));
        p.bHasDaylightMatrix = true;
    }
    p.mColor = TimesDiagonal(p.mColor, gain);
    p.gains = ReferenceNeutral(p.mColor);
    return true;
}

void Preparation::ColorMatrix()
{
    p.gains = r.m_adNeutral;
    if (PerIlluminantMatrix())
        return;
    const Stage2List illuminants = ReadStage2List(camdata, "WhiteBalanceIlluminants");
    if (!illuminants.empty()) {
        p.bIlluminantTables = true;
        const std::string name = Stage2ListValue(illuminants, m_sNarrowName);
        if (!name.empty()) {
            p.mColor = ReadStage2Matrix(camdata, name);
            const std::string correction =
                Stage2ListValue(ReadStage2List(camdata, "WhiteBalanceCorrections"), m_sNarrowName);
            if (!correction.empty())
                p.mColor = Times(ReadStage2Matrix(camdata, correction), p.mColor);
        } else {
            p.mColor = ReadStage2Matrix(camdata, "CamToXYZ_Flash");
            if (m_sNarrowName == "Monochrome") {
                const FDoubleTriple w = ReferenceNeutral(p.mColor);
                double v = 0.0;
                for (int i = 0; i < 3; ++i)
                    for (int j = 0; j < 3; ++j)
                        v += p.mColor(i, j) * w[j];
                v /= 9.0;
                for (int i = 0; i < 3; ++i)
                    p.mColor(i, 0) = v, p.mColor(i, 1) = 2 * v, p.mColor(i, 2) = v;
            }
        }
    } else {
        p.mColor = ReadStage2Matrix(camdata, "CamToXYZ");
        if (p.mColor.m[0] == 0.0)
            p.mColor = ReadStage2Matrix(camdata, "CamToXYZ_Flash");
    }
    if (AllZero(p.mColor)) {
        // No matrix at all would develop every picture black: take the camera's
        // values as linear sRGB instead.
        DebugPrintf("Camdata has no colour matrix; using sRGB\n");
        p.mColor = XYZFromColorSpace(kColorSpaceSRGB);
    }
}

void Preparation::FinishMatrix()
{
    if ((p.iSkipFlags & kSkipColorMatrix) != 0)
        p.mColor = ColorMatrix3x3::Identity();
    const double determinant = ColorMatrixDeterminant(p.mColor);
    p.bMonochrome = !(std::fabs(determinant) >= kMonochromeDeterminant);
    const double crosstalk = p.iCameraClass == 1 ? 0.06 : (p.iCameraClass == 3 ? 0.02 : 0.0);
    if (crosstalk == 0.0 || p.bMonochrome)
        return;
    const FDoubleTriple w = ReferenceNeutral(p.mColor);
    const ColorMatrix3x3 C{{1, 0, 0, 0, 1, 0, crosstalk, crosstalk, 1 - 2 * crosstalk}};
    p.mColor = Times(C, p.mColor);
    const FDoubleTriple white = ReferenceWhite();
    for (int i = 0; i < 3; ++i) {
        const double mapped = p.mColor(i, 0) * w[0] + p.mColor(i, 1) * w[1] + p.mColor(i, 2) * w[2];
        if (mapped != 0.0 && std::isfinite(mapped))
            for (int j = 0; j < 3; ++j)
                p.mColor(i, j) *= white[i] / mapped;
    }
}

void Preparation::DriftGains()
{
    const bool precomputed = CamdataGetUInt32(camdata, "UsePreComputedDrift") != 0;
    double raw[12];
    ReadDriftModel(camdata, "RawDrift", raw);
    FDoubleTriple d;
    for (int c = 0; c < 3; ++c) {
        double bottomOffset = raw[9 + c];
        if (!precomputed && p.bOwnMakerCamera)
            bottomOffset += raw[6 + c] / 2.0;
        d[c] = (raw[3 + c] + bottomOffset) / 2.0;
    }
    if (p.bBulb) {
        const FDoubleTriple A = ReadCountTriple(camdata, "BulbAccumOffset");
        const FDoubleTriple B = ReadCountTriple(camdata, "BulbAccumOffsetN");
        const double n = p.iBulbFrames;
        for (int c = 0; c < 3; ++c) {
            const double e = (n - 1.0) * (B[c] - 4095.0) - (A[c] - 4095.0);
            d[c] = (d[c] - e) / n;
        }
    }
    const FDoubleTriple u(d.r - (d.g + d.b) / 2.0, d.g - (d.r + d.b) / 2.0, d.b - (d.r + d.g) / 2.0);
    FDoubleTriple factor = ReadStage2Vector(camdata, "DarkGainFactor");
    if (factor.r == 0.0 && factor.g == 0.0 && factor.b == 0.0)
        factor = FDoubleTriple(1.25);
    p.darkGain = factor;
    if (!p.bBulb) {
        FDoubleTriple scale = ReadStage2Vector(camdata, "DarkGainScale");
        if (scale.r == 0.0 && scale.g == 0.0 && scale.b == 0.0)
            scale = FDoubleTriple(p.iCameraClass == 1 ? 2.5e-7 : 0.0);
        for (int c = 0; c < 3; ++c)
            p.darkGain[c] *= scale[c] * r.m_iExposureTime;
    }
    const FDoubleTriple o = ReadStage2Vector(camdata, "DarkNormalOffset");
    for (int c = 0; c < 3; ++c) {
        double k = (u[c] - o[c]) * p.darkGain[c] / 4096.0 + 1.0;
        if (!p.bBulb)
            k = std::clamp(k, 0.98, c == 2 ? 1.04 : 1.01);
        if (!std::isfinite(k))
            k = 1.0;
        m_DarkK[c] = k;
    }
    p.mColor = TimesDiagonal(p.mColor, m_DarkK);
}

void Preparation::PostPolynomial()
{
    CamdataGetMatrix3x9(camdata, "PostPolyMatrix", p.afPostPoly);
    if (!std::all_of(std::begin(p.afPostPoly), std::end(p.afPostPoly),
                     [](float v) { return kCamdataCoefficient.Holds(v); }))
        std::fill(std::begin(p.afPostPoly), std::end(p.afPostPoly), 0.0f);
    if (!p.bBulb)
        return;
    float b = CheckedCamdataValue(CamdataGetFloat(camdata, "BulbCurvatureOffset"), kCamdataCoefficient, 0.0f);
    FDoubleTriple f = ReadStage2Vector(camdata, "BulbCurvatureFactor");
    if (b == 0.0f) {
        f = FDoubleTriple(1.0);
        b = 1.0f;
    }
    const double n = p.iBulbFrames;
    for (int i = 0; i < 3; ++i) {
        const double value = f[i] * m_DarkK[i] / (n - b);
        p.afPostPoly[9 * i + i] = CheckedCamdataValue(value, kCamdataCoefficient, 0.0f);
    }
}

void Preparation::Neutral()
{
    p.bPresetWhiteBalance = true;
    if (p.gains.g <= 0.0 || std::isnan(p.gains.g)) {
        if (p.bIlluminantTables) {
            if (m_sNarrowName == "Auto") {
                p.gains = ReadStage2Vector(camdata, "AutoRGBNeutral");
                p.bPresetWhiteBalance = false;
            } else if (m_sNarrowName == "Custom") {
                p.gains = ReadStage2Vector(camdata, "CustomRGBNeutral");
                p.bPresetWhiteBalance = false;
            } else if (m_sNarrowName == "Monochrome") {
                p.bMonochrome = true;
                p.gains = FDoubleTriple(1.0);
                p.bPresetWhiteBalance = false;
            }
            if (!(p.gains.g > 0.0))
                p.gains = p.bMonochrome ? FDoubleTriple(1.0) : ReferenceNeutral(p.mColor);
        } else {
            p.bPresetWhiteBalance = false;
            p.gains = ReadStage2Vector(camdata, "RGBNeutral");
            if (!(p.gains.r > 0.0 && p.gains.g > 0.0 && p.gains.b > 0.0))
                p.gains = p.bMonochrome ? FDoubleTriple(1.0) : ReferenceNeutral(p.mColor);
        }
        return;
    }
    p.bPresetWhiteBalance = false;
    if (!r.m_bNeutralInWorkingSpace || p.bPerIlluminantWB)
        return;
    const FDoubleTriple v = p.gains;
    ColorMatrix3x3 P;
    BuildWorkingSpaceMatrix(P, p.mColor, ReferenceNeutral(p.mColor), p.dResidualGain, -1.0 / 30.0);
    const ColorMatrix3x3 scaled = Times(ColorMatrix3x3::Diagonal(v.r, v.g, v.b), P);
    ColorMatrix3x3 inverse;
    ColorMatrixInverse(inverse, scaled);
    for (int i = 0; i < 3; ++i)
        p.gains[i] = inverse(i, 0) + inverse(i, 1) + inverse(i, 2);
}

void Preparation::AreasAndDrift()
{
    const int32_t W = image->m_iColumns, H = image->m_iRows;
    p.keepArea = CamdataGetRect(camdata, "KeepImageArea");
    p.activeArea = Stage3PictureArea(camdata, W, H);
    const bool precomputed = CamdataGetUInt32(camdata, "UsePreComputedDrift") != 0;
    const bool movie = CamdataGetUInt32(camdata, "EnableMovieDriftCorrection") != 0;
    if (!m_bMeasureDrift)
        return;
    p.bDriftMeasured = true;
    p.drift.fill(0.0);
    if (!precomputed || movie) {
        const auto relative = [&](const char* name) {
            const FIntRect s = CamdataGetRect(camdata, name);
            const auto at = [](int64_t v, int64_t lo, int64_t hi) { return int32_t(std::clamp<int64_t>(v, lo, hi)); };
            return FIntRect(at(int64_t(s.left) - p.keepArea.left, 0, W), at(int64_t(s.top) - p.keepArea.top, 0, H),
                            at(int64_t(s.right) - p.keepArea.left, 0, W), at(int64_t(s.bottom) - p.keepArea.top, 0, H));
        };
        const FIntRect top = relative("DarkShieldTop"), bottom = relative("DarkShieldBottom");
        const auto nonEmpty = [](const FIntRect& rc) { return rc.right > rc.left && rc.bottom > rc.top; };
        if (nonEmpty(top) && nonEmpty(bottom)) {
            CalculateDriftPair(p.drift, image, top, bottom);
            if (std::fabs(p.drift[3]) > 4000.0)
                p.drift.fill(0.0);
        }
    } else {
        ReadDriftModel(camdata, "DarkDrift", p.drift.data());
    }
    if (!p.bUseSlopeInDrift)
        for (int c = 0; c < 3; ++c)
            p.drift[c] = p.drift[6 + c] = 0.0;
    if (p.bBulb) {
        int32_t offsets[3];
        for (int c = 0; c < 3; ++c)
            offsets[c] = TruncateToInt((p.drift[3 + c] + p.drift[9 + c]) / 2.0);
        const FIntTriple cast =
            EstimateDarkColourCastInt(*image, 4.0, 4.0, 4.0, offsets[0], offsets[1], offsets[2]);
        const int32_t q = (cast.b + 2 * cast.g + cast.r) >> 3;
        for (int c = 0; c < 3; ++c) {
            const double value = offsets[c] + 3 * (cast[c] - q) / 4;
            p.drift[3 + c] = p.drift[9 + c] = value;
        }
    }
    for (double& v : p.drift)
        if (!std::isfinite(v))
            v = 0.0;
}

void Preparation::ReductionAndMeans()
{
    if (!m_bFresh)
        return;
    const float f = CheckedCamdataValue(CamdataGetFloatDefault(camdata, "LinLUT_ReductionFactor", 1.0f),
                                        kCamdataGainFactor, 1.0f);
    const bool rescale = f != 1.0f;
    if (!rescale && !p.bWarmHighISO)
        return; // the means serve only the warm high-ISO multipliers
    p.bRescaled = rescale;
    const int32_t W = image->m_iColumns, H = image->m_iRows;
    int32_t o[3];
    for (int c = 0; c < 3; ++c)
        o[c] = TruncateToInt((p.drift[3 + c] + p.drift[9 + c]) / 2.0);
    const int64_t S = TruncateToInt(double(f) * p.dMatrixBoost * 16384.0);
    double rowMeanSums[3] = {0, 0, 0};
    for (int32_t y = 0; y < H; ++y) {
        FPixelClass48SRGB* row = image->GetPixel(0, y);
        int64_t sums[3] = {0, 0, 0};
        for (int32_t x = 0; x < W; ++x) {
            int16_t* v = &row[x].r;
            for (int c = 0; c < 3; ++c) {
                const int64_t above = int64_t(v[c]) - o[c];
                sums[c] += above;
                if (rescale)
                    v[c] = int16_t(std::clamp<int64_t>((above * S) >> 14, INT16_MIN, INT16_MAX));
            }
        }
        for (int c = 0; c < 3; ++c)
            rowMeanSums[c] += W > 0 ? double(sums[c]) / W : 0.0;
    }
    FDoubleTriple D;
    for (int c = 0; c < 3; ++c)
        D[c] = H > 0 ? (p.darkGain[c] + rowMeanSums[c]) / H : 0.0;
    const auto ratio = [](double g, double other) {
        const double q = g / other;
        return (g > 0.0 && other > 0.0 && std::isfinite(q)) ? q : 1.0;
    };
    m_MeanRatios = FDoubleTriple(ratio(D.g, D.r), ratio(D.g, D.b), 1.0);
}

void Preparation::FlashAndExposureLimits()
{
    p.bFlashFired = Property(props, "FLASH") == "ON";
    if (p.bFlashFired) {
        float compensation = 0.0f;
        if (std::sscanf(Property(props, "FLASHEXPCOMP").c_str(), "%f", &compensation) == 1 && compensation < -0.5f)
            p.bFlashFired = false;
    }
    float limit = CamdataGetFloat(camdata, "MaxConstrainTime");
    if (limit == 0.0f)
        limit = 0.5f;
    p.bShortExposure = p.dExposureTime <= limit;
}

void Preparation::IlluminantSearch()
{
    if ((p.iSkipFlags & kAutoWBAlwaysWins) != 0 || !p.bPerIlluminantWB ||
        (m_sNarrowName != "Auto" && m_sNarrowName != "Custom"))
        return;
    const bool automatic = m_sNarrowName == "Auto";
    ColorMatrix3x3 Mt;
    FDoubleTriple Gt;
    ReadPrefixedMatrixAndGain(camdata, automatic ? "AutoCCMatrix" : "CustomCCMatrix",
                              automatic ? "AutoWBGain" : "CustomWBGain", Mt, Gt);
    const ColorMatrix3x3 Pt = TimesDiagonal(Mt, Gt);
    float b = CamdataGetFloatDefault(camdata, "BVTHRESH", -1000.0f);
    if (b == 0.0f && p.iCameraClass == 5)
        b = 4.0f;
    const int start = b > p.dBv ? 4 : 0;
    double best1 = 100000.0, best2 = 100000.0;
    int winner1 = 100;
    for (int i = start; i < 6; ++i) {
        ColorMatrix3x3 candidate;
        FDoubleTriple gain;
        ReadPrefixedMatrixAndGain(camdata, std::string(kSearchIlluminants[i]) + "CCMatrix",
                                  std::string(kSearchIlluminants[i]) + "WBGain", candidate, gain);
        const ColorMatrix3x3 weighted = TimesDiagonal(candidate, gain);
        double d1 = 0.0, d2 = 0.0;
        for (int k = 0; k < 9; ++k) {
            d1 += (candidate.m[k] - Mt.m[k]) * (candidate.m[k] - Mt.m[k]);
            d2 += (weighted.m[k] - Pt.m[k]) * (weighted.m[k] - Pt.m[k]);
        }
        if (d1 < best1) {
            best1 = d1;
            winner1 = i;
        }
        if (d2 < best2) {
            best2 = d2;
            p.iIlluminantIndex = i;
        }
    }
    if (p.iCameraClass == 5 && winner1 < 6) {
        const std::string name = std::string("ShadingCompensation_") + kSearchIlluminants[winner1];
        const double* d = kShadingDefaults[winner1];
        p.shadingCompensation = ReadStage2VectorOr(camdata, name, kCamdataGainFactor, FDoubleTriple(d[0], d[1], d[2]));
    }
}

void Preparation::AutomaticWhiteBalance()
{
    if (!m_bFresh || !p.bAutoWB || (p.bPerIlluminantWB && !p.bHighISO))
        return;
    FDoubleTriple neutral;
    const bool constrain = p.bShortExposure && std::isfinite(p.dBv);
    if ((p.iSkipFlags & kGreyWorldAutoWB) != 0) {
        FGreyWorldWBParams params;
        params.pImage = image;
        for (int c = 0; c < 3; ++c)
            params.adLevel[c] = p.levels[c];
        params.dFNumber = p.dAperture;
        params.dShutter = p.dExposureTime;
        params.dExpComp = p.dExposureCompensation;
        BuildWorkingSpaceMatrix(params.mCamToROMM, p.mColor, FDoubleTriple(-1.0), p.dGainRatio, 0.0);
        params.dGainRatio = p.dGainRatio;
        params.bConstrain = constrain;
        std::copy(std::begin(p.afPostPoly), std::end(p.afPostPoly), params.afPostPoly);
        params.drift = p.drift;
        neutral = EstimateNeutralGreyWorld(params);
    } else {
        FChromaWeightedWBParams params;
        params.pSource = image;
        for (int c = 0; c < 3; ++c)
            params.adLevel[c] = p.levels[c];
        std::copy(std::begin(p.afPostPoly), std::end(p.afPostPoly), params.afPostPoly);
        params.dBv = p.dBv;
        params.bFlash = p.bFlashFired;
        params.mCamToXYZ = p.mColor;
        params.dGainRatio = p.dGainRatio;
        FDoubleTriple flare;
        ScaledColorAverage(flare, image, ReadStage2Vector(camdata, "FlareFactor"));
        for (int c = 0; c < 3; ++c)
            params.adFlare[c] = (p.drift[3 + c] + p.drift[9 + c]) / 2.0 + flare[c];
        params.bConstrain = constrain;
        neutral = EstimateNeutralChromaWeighted(params);
    }
    if ((p.iSkipFlags & kAutoWBAlwaysWins) != 0 || m_sNarrowName == "Auto")
        p.gains = neutral;
}

// The gains after the automatic white balance and the image means are what
// a resumed call cannot measure again: the fresh call stores them (as floats,
// and uses the stored values itself, so both calls compute alike).
void Preparation::KeepMeasuredGains()
{
    uint32_t* words = m_Resume.m_aWords;
    if (m_bFresh) {
        words[kResumeWordGainR] = WordOfFloat(float(p.gains.r));
        words[kResumeWordGainG] = WordOfFloat(float(p.gains.g));
        words[kResumeWordGainB] = WordOfFloat(float(p.gains.b));
        words[kResumeWordMeanRatioR] = WordOfFloat(float(m_MeanRatios.r));
        words[kResumeWordMeanRatioB] = WordOfFloat(float(m_MeanRatios.g));
    }
    const FDoubleTriple stored(FloatOfWord(words[kResumeWordGainR]), FloatOfWord(words[kResumeWordGainG]),
                               FloatOfWord(words[kResumeWordGainB]));
    if (std::isfinite(stored.r) && std::isfinite(stored.g) && std::isfinite(stored.b) && stored.g > 0.0)
        p.gains = stored;
    const double ratioR = FloatOfWord(words[kResumeWordMeanRatioR]), ratioB = FloatOfWord(words[kResumeWordMeanRatioB]);
    m_MeanRatios = FDoubleTriple(ratioR > 0.0 && std::isfinite(ratioR) ? ratioR : 1.0,
                                 ratioB > 0.0 && std::isfinite(ratioB) ? ratioB : 1.0, 1.0);
}

void Preparation::GainsAndMultipliers()
{
    if (!PositiveFinite(p.gains))
        p.gains = p.bMonochrome ? FDoubleTriple(1.0) : ReferenceNeutral(p.mColor);
    const double largest = std::max({p.gains.r, p.gains.g, p.gains.b});
    p.gains = p.gains / largest;
    const FDoubleTriple fnumber =
        ReadStage2VectorOr(camdata, "FnumberGainFact", kCamdataGainFactor, FDoubleTriple(1.0));
    const FDoubleTriple temperature =
        ReadStage2VectorOr(camdata, "TempGainFact", kCamdataGainFactor, FDoubleTriple(1.0));
    for (int i = 0; i < 3; ++i) {
        p.baseGains[i] = (1.0 / p.gains[i]) * fnumber[i];
        p.multipliers[i] = p.baseGains[i] * p.shadingCompensation[i] * temperature[i];
    }
    const double a = p.bTungstenWB ? double(p.denoise.fWBMixing) : 1.0;
    if (p.bWarmHighISO) {
        p.multipliers.r = m_MeanRatios.r * (1 - a) + p.multipliers.r * a;
        p.multipliers.g = (1 - a) + p.multipliers.g * a;
        p.multipliers.b = m_MeanRatios.g * (1 - a) + p.multipliers.b * a;
    }
    for (int i = 0; i < 3; ++i)
        if (!std::isfinite(p.multipliers[i]))
            p.multipliers[i] = 1.0;
    p.mColor = TimesDiagonal(p.mColor, p.gains);
    p.gains = FDoubleTriple(1.0);
}

void Preparation::Levels()
{
    // No 16-bit picture reaches a level beyond 2^24: held there, the integer
    // steps of the highlight neutralisation cannot overflow whatever gains
    // the camera data and the measured neutral gave.
    constexpr double kLevelLimit = 1 << 24;
    const double scale = std::max(p.dSensorGain, 1.0) * p.dClampedGainRatio;
    for (int i = 0; i < 3; ++i)
        p.levels[i] = TruncateToInt(std::clamp(scale * p.levels[i] * p.multipliers[i], -kLevelLimit, kLevelLimit));
}

void Preparation::ColorMode()
{
    const std::string mode = Property(props, "CM_DESC");
    if (mode.empty())
        return;
    const std::string name = Stage2ListValue(ReadStage2List(camdata, "ColorModeCompensations"), mode);
    const ColorMatrix3x3 compensation = ReadStage2Matrix(camdata, name);
    if (compensation.m[0] != 0.0)
        p.mColor = Times(p.mColor, compensation);
}

} // namespace

FDoubleTriple ReferenceNeutral(const ColorMatrix3x3& M) { return CameraDaylightNeutral(M); }

double BrightnessValue(double aperture, double seconds, double exposureCompensation, double gainRatio)
{
    return 3.322 * std::log10(aperture * aperture / seconds) + exposureCompensation -
           std::log10(gainRatio * 100.0 / 3.125) / std::log10(2.0);
}

Stage2Preparation PrepareStage2(const FIPERequestStage2& request, bool freshStart, bool measureDrift,
                                FIPEResumeState& resume)
{
    return Preparation(request, freshStart, measureDrift, resume).Run();
}
