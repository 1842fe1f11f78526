#include "engine/stages/Stage2.h"

#include "engine/analysis/AutoWB_ChromaWt.h"
#include "engine/core/CamdataValues.h"
#include "engine/analysis/CalculateAutoAdjustSettings.h"
#include "engine/chroma/ChromaBlur.h"
#include "engine/colour/ColorSpaces.h"
#include "engine/corrections/CorrectionKernels.h"
#include "engine/noise/SpotRemoval.h"
#include "engine/core/EngineAssert.h"
#include "engine/core/FIPEngine2.h"
#include "engine/noise/FIRNoiseReduction.h"
#include "engine/core/GlobalLUTs.h"
#include "engine/chroma/HighlightNeutralization.h"
#include "engine/noise/NoiseModelDenoise.h"
#include "engine/corrections/ReplaceBadPixels.h"
#include "engine/analysis/Retinex.h"
#include "engine/core/RowBandLoop.h"
#include "engine/chroma/SharpenRed.h"
#include "engine/stages/Stage2Calibration.h"
#include "engine/stages/Stage2NoiseSettings.h"
#include "engine/stages/Stage2Preparation.h"
#include "engine/analysis/SubsampledColorAverage.h"
#include "fileio/codecs/FTiffLineWriter.h"
#include "fileio/container/CambData.h"
#include "foundation/FAssert.h"
#include "foundation/FException.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using WorkingPixmap = FPixmapTemplate<FPixelClass48SRGB>;
using MonoPixmap = FPixmapTemplate<FPixelClass16SMono>;

// Progress weight of each step index; step 14 does no work.
constexpr double kStepWeights[kStage2StepCount] = {1.502, 0.001, 0.255, 0.25, 0.584, 0,     5.0,   0, 1.5,
                                                   2.214, 0.453, 10.0,  1.709, 2.225, 0.001, 0.075, 0.071, 0.001};
constexpr const char* kDumpNames[17] = {
    "CorrectionProcess", "ReplaceBadPixels", "SharpenRed", "NeutralizeHighlight", "Despeckle1", "DoNotDump",
    "NewDenoise",        "DoNotDump",        "ChromaBlurSmall", "ChromaBlur1",   "ColorTransform", "DoNotDump",
    "DoNotDump",         "DoNotDump",        "DoNotDump",       "DoNotDump",     "DoNotDump",
};
constexpr const char* kSpatialGainNames[6] = {"SpatialGain_Sunlight",     "SpatialGain_Shade",
                                              "SpatialGain_Overcast",     "SpatialGain_Incandescent",
                                              "SpatialGain_Fluorescent",  "SpatialGain_Flash"};
constexpr double kChromaReference = 0.8;
constexpr int32_t kFIRLowLimit = -500;
constexpr int32_t kFIRHighLimit = 24000;

enum ResumeWord : int {
    kWordStep = FIPEResumeState::kWordStep,
    kWordRow = 2,
    kWordPass = 3,
    kWordSpare = 4,
};

void Check(bool holds, int line, const char* test)
{
    if (!holds)
        AssertionFailed("FIPEngine2", line, test, 0, 0);
}

FDoubleTriple ChromaReference() { return FDoubleTriple(kChromaReference); }

// The product of two truncated factors, held to the int range: they come from
// camera data and from the exposure's gains.
int32_t SaturatedProduct(int32_t a, int32_t b) { return TruncateToInt(double(a) * double(b)); }

bool IsZero(const ColorMatrix3x3& m)
{
    return std::all_of(std::begin(m.m), std::end(m.m), [](double v) { return v == 0.0; });
}

// A spatial gain table, possibly the product with the shading table.
struct GainTable {
    std::vector<float> product;
    std::unique_ptr<CamdataRGBTable> table;
    const CamdataRGBTable* Get() const { return table.get(); }
};

class Stage2Machine {
public:
    Stage2Machine(FIPERequestStage2& request, const Stage2StepObserver& observer)
        : r(request), m_Observer(observer), camdata(request.m_pCambData),
          image(static_cast<WorkingPixmap*>(request.m_pStage1Image)), W(image->m_iColumns), H(image->m_iRows),
          words(request.m_ResumeState.m_aWords)
    {
    }

    void Run();

private:
    // Each returns false when the step stopped on the cancel flag (it has saved
    // its position and the stage ends cancelled).
    bool RunStep(int step);
    // The step that follows a completed one.
    int NextStep(int step) const;
    void CorrectionProcess();
    void ReplaceBadPixelsStep();
    void SharpenRedStep();
    void NeutralizeHighlightStep();
    void DespeckleStep();
    void NewDenoiseStep();
    ColorMatrix3x3 WarmHighISODaylightMatrix() const;
    void ChromaBlurSmallStep();
    bool ChromaBlurStep();
    void ColorTransformStep();
    void FIRStep();
    bool LargeChromaBlurStep();
    bool RetinexStep();
    void AutoAdjustStep();

    GainTable SpatialGainTable() const;
    // A float of the camera data; 0 when missing or defective.
    double Coefficient(const char* name) const
    {
        return CheckedCamdataValue(CamdataGetFloat(camdata, name), kCamdataCoefficient, 0.0);
    }
    // A strength, truncated.
    int32_t Strength(const char* name) const { return int32_t(Coefficient(name)); }
    int32_t ChromaBlurValue() const { return Strength("ChromaBlur"); }
    uint32_t ChromaShift() const;
    FDoubleTriple ColorNoiseStrengths() const;
    bool FIRWillRun() const;
    double FIRGain() const;
    // The row bands of the image's passes: a small image is one band, not worth
    // handing to other threads.
    uint32_t Bands() const { return RowBandCountFor(W, H); }
    void Dump(const char* name);

    FIPERequestStage2& r;
    const Stage2StepObserver& m_Observer;
    const FCamdata* camdata;
    WorkingPixmap* image;
    int32_t W;
    int32_t H;
    uint32_t* words;
    Stage2Preparation p;
};

void Stage2Machine::Run()
{
    if (!Stage2TempBufferFits(r.m_pTempData, W, H)) {
        r.Fail(kIPErrorBadParameter, "FIPEngine2::priProcessStage2 temporary buffer is the wrong size");
        return;
    }
    const bool fresh = !r.m_ResumeState.ResumeOrRestart(FIPEResumeState::kTagStage2, FIPEResumeState::kWordCount - 1);
    if (fresh)
        r.SetProgress(0.0);
    const uint32_t firstStep = words[kWordStep];
    p = PrepareStage2(r, fresh, firstStep == 0, r.m_ResumeState);
    r.m_bRommWorkingSpace = true;
    // What steps 15 and 16 give besides pixels is not kept between calls: a
    // call resuming after them measures it again (neither changes the image).
    if (!fresh && firstStep >= 16)
        RetinexStep();
    if (!fresh && firstStep == 17)
        AutoAdjustStep();
    // A fresh call that rescaled the image has left the state a resumed step 0
    // could measure again: it goes on into step 0 before it honours a cancel.
    bool honourCancel = !p.bRescaled;
    for (;;) {
        const int step = int(words[kWordStep]);
        if (m_Observer)
            m_Observer(step, r);
        if (honourCancel && r.IsCancelled()) {
            r.Finish(kIPStatusCancelled);
            return;
        }
        honourCancel = true;
        r.SetProgress(Stage2Progress(step - 1));
        if (r.m_bDump && step == 0)
            Dump("Linearized");
        if (step == kStage2StepCount - 1) {
            r.SetProgress(1.0);
            r.Finish(kIPStatusDone);
            return;
        }
        if (!RunStep(step)) {
            r.Finish(kIPStatusCancelled);
            return;
        }
        r.SetProgress(Stage2Progress(step));
        if (r.m_bDump)
            Dump(Stage2DumpStepName(step));
        words[kWordStep] = uint32_t(NextStep(step));
        words[kWordRow] = words[kWordPass] = words[kWordSpare] = 0;
    }
}

bool Stage2Machine::RunStep(int step)
{
    const bool monochrome = p.bMonochrome;
    const uint32_t flags = p.iSkipFlags;
    switch (step) {
    case 0: CorrectionProcess(); return true;
    case 1:
        if ((flags & kSkipBadPixels) == 0)
            ReplaceBadPixelsStep();
        return true;
    case 2:
        if (Strength("RedSharpen") != 0 && !monochrome)
            SharpenRedStep();
        return true;
    case 3:
        if (p.levels.g > 0 && !monochrome && (flags & kSkipHighlight) == 0)
            NeutralizeHighlightStep();
        return true;
    case 4:
        if ((flags & kSkipDespeckle) == 0)
            DespeckleStep();
        return true;
    case 6:
        NewDenoiseStep();
        return true;
    case 8:
        if (ChromaBlurValue() != 0 && (flags & kSkipSmallChromaBlur) == 0)
            ChromaBlurSmallStep();
        return true;
    case 9:
        if (ChromaBlurValue() != 0 && !monochrome && (flags & kSkipChromaBlur) == 0)
            return ChromaBlurStep();
        return true;
    case 10: ColorTransformStep(); return true;
    case 11:
        if (FIRWillRun())
            FIRStep();
        return true;
    case 12:
        if (uint32_t(ChromaBlurValue()) > 100u && !monochrome && (flags & kSkipLargeChromaBlur) == 0)
            return LargeChromaBlurStep();
        return true;
    case 13:
        // The values are read for nothing; kept for the step count.
        (void)ChromaBlurValue();
        (void)ChromaShift();
        return true;
    case 14: return true;
    case 15: return RetinexStep();
    case 16:
        AutoAdjustStep();
        return true;
    default: Check(false, __LINE__, "0"); return false;
    }
}

int Stage2Machine::NextStep(int step) const
{
    // After despeckle the high-ISO path takes the noise-model reduction (6) and
    // then goes straight to Retinex (15); the other path skips to the chroma
    // blurs (8). Steps 5 and 7 are never run.
    if (step == 4)
        return p.bHighISO ? 6 : 8;
    if (step == 6)
        return 15;
    return step + 1;
}

void Stage2Machine::Dump(const char* name)
{
    const FString file = Stage2DumpName(name, r.m_sDumpPath);
    if (file.GetLength() > 0)
        DumpStage2Image(*image, file);
}

// ---- Step 0

GainTable Stage2Machine::SpatialGainTable() const
{
    std::string name = "SpatialGain";
    const Stage2List tables = ReadStage2List(camdata, "SpatialGainTables");
    if (!tables.empty()) {
        name = Stage2ListValue(tables, p.sWhiteBalance);
        if (name.empty() && p.sWhiteBalance == "Incandescent")
            name = "SpatialGain_Incandescent";
    }
    if (p.iIlluminantIndex >= 0 && p.iIlluminantIndex < 6)
        name = kSpatialGainNames[p.iIlluminantIndex];
    GainTable gain;
    gain.table = CamdataGetRGBTable(camdata, name.c_str());
    if (!gain.table) {
        DebugPrintf("Table %s not found, using  %s\n", name.c_str(), "SpatialGain");
        gain.table = CamdataGetRGBTable(camdata, "SpatialGain");
    }
    if (!gain.table)
        return gain; // no table: a gain of 1 everywhere
    // A gain that is no positive number would blacken or invert the picture:
    // such a table is taken as none.
    const size_t entries = size_t(gain.table->m_iColumns) * gain.table->m_iRows * 3;
    if (!std::all_of(gain.table->m_pTable, gain.table->m_pTable + entries,
                     [](float v) { return v > 0.0f && std::isfinite(v); })) {
        DebugPrintf("Table %s holds gains that are not positive; not used\n", name.c_str());
        gain.table.reset();
        return gain;
    }
    const std::unique_ptr<CamdataRGBTable> shading = CamdataGetRGBTable(camdata, "Shading");
    if (shading) {
        Check(gain.table->m_iColumns == shading->m_iColumns, __LINE__, "uiSpatialGainCols == uiShadingCols");
        Check(gain.table->m_iRows == shading->m_iRows, __LINE__, "uiSpatialGainRows == uiShadingRows");
        const size_t n = size_t(gain.table->m_iColumns) * gain.table->m_iRows * 3;
        gain.product.resize(n);
        for (size_t i = 0; i < n; ++i)
            gain.product[i] = gain.table->m_pTable[i] * shading->m_pTable[i];
        gain.table->m_pTable = gain.product.data();
    }
    return gain;
}

void DefaultDarkShieldColumnsLogged(int32_t W, int32_t (&columns)[4])
{
    DefaultDarkShieldColumns(W, columns);
    DebugPrintf("Camdata dark shield '%s' not found.\n", "DarkShieldColRange");
}

void Stage2Machine::CorrectionProcess()
{
    const uint32_t flags = p.iSkipFlags;
    FDoubleTriple flare(0.0);
    if ((flags & kSkipFlare) == 0)
        ScaledColorAverage(flare, image, ReadStage2Vector(camdata, "FlareFactor"));

    const double columnFilter = Coefficient("ColumnFilter");
    FDoubleTriple D1 = ReadStage2VectorOr(camdata, "ColumnFilterRGB", kCamdataCoefficient, FDoubleTriple(columnFilter));
    if (p.sCameraModel == "TALVO HV20" && D1.r == D1.g)
        D1.g *= 0.94;
    const FDoubleTriple D2 =
        ReadStage2VectorOr(camdata, "ColumnFilterSquareRGB", kCamdataCoefficient, p.bBulb ? FDoubleTriple(0.0) : D1);

    const GainTable gain = SpatialGainTable();

    double rowGain = Coefficient("RowCorrectionGain");
    double rowScale = Coefficient("RowCorrectionScale");
    if (rowScale == 0.0 || (rowScale == 12.0 && std::fabs(rowGain - 0.8) < 0.01)) {
        rowGain = p.bUseColorAverageRowOffset ? 0.75 : 0.9;
        rowScale = p.bUseColorAverageRowOffset ? 13.0 : 22.0;
    }

    int32_t shield[4] = {0, 0, 0, 0};
    const uint32_t shieldDims[2] = {2, 2};
    const CambMatrix* range =
        camdata ? camdata->FindMatrix("DarkShieldColRange", CAMB_MATRIX_INT32, 2, shieldDims) : nullptr;
    if (range != nullptr && range->pData != nullptr)
        std::copy_n(static_cast<const int32_t*>(range->pData), 4, shield);
    else
        DefaultDarkShieldColumnsLogged(W, shield);
    FDriftPair drift = p.drift;
    if ((flags & kSkipDriftModel) != 0)
        drift.fill(0.0);

    std::vector<FDoubleTriple> rowOffsets(size_t(std::max(H, 1)));
    EstimateRowOffsets(rowOffsets.data(), image, H, shield[0], shield[1], shield[2], shield[3], D1, drift.data(),
                       rowGain, rowScale, p.activeArea, p.bUseColorAverageRowOffset);
    if (p.bBulb)
        flare = FDoubleTriple(0.0);

    const double capacitance = Coefficient("SegmentCapacitance");
    const double feedThrough = Coefficient("SegmentChargeFeedThrough");
    const int32_t interval = CamdataGetInt32(camdata, "SegmentBoundaryInterval");
    const FDoubleTriple PS(capacitance), PO(feedThrough);
    const FDoubleTriple gainFactors = p.multipliers * p.dClampedGainRatio;
    const CamdataRGBTable* table = (flags & kSkipSpatialGain) == 0 ? gain.Get() : nullptr;
    const int32_t first = int32_t(std::min<uint32_t>(words[kWordRow], uint32_t(H)));

    // Rows are independent once the row offsets are known: banded.
    RunInRowBands(uint32_t(H - first), [&](uint32_t a, uint32_t b) {
        std::vector<float> gainRow(table ? size_t(table->m_iColumns) * 3 : 0);
        double ramp[6];
        for (int32_t j = first + int32_t(a); j <= first + int32_t(b); ++j) {
            InterpolateRowRamp(ramp, drift.data(), j, H);
            if (table)
                InterpolateGainRow(*table, j, H, gainRow.data());
            const FDoubleTriple& rowOffset = rowOffsets[size_t(j)];
            const FDoubleTriple offsets(rowOffset.r + flare.r, rowOffset.g + flare.g, rowOffset.b + flare.b);
            CorrectionProcessRow(image->GetPixel(0, j), W, D1, D2, PS, PO, interval, ramp, offsets, p.afPostPoly,
                                 table ? gainRow.data() : nullptr, table ? int32_t(table->m_iColumns) : 0,
                                 gainFactors);
        }
    }, Bands());
    words[kWordRow] = uint32_t(H);
}

// ---- Steps 1 to 4

void Stage2Machine::ReplaceBadPixelsStep()
{
    uint32_t count = 0, badnessCount = 0;
    const uint32_t* entries = CamdataGetUInt32Array(camdata, "BadPixels", &count);
    if (entries == nullptr || count == 0)
        return;
    const uint8_t* badness = CamdataGetByteArray(camdata, "BPBadness", &badnessCount);
    std::vector<uint32_t> retained;
    if (badness != nullptr) {
        Check(count == badnessCount, __LINE__, "uiBPCount == uiBPBadnessCount");
        uint32_t levels[2] = {128, 30};
        float times[2] = {2.0f, 10.0f};
        uint32_t n = 0;
        // The levels are byte thresholds: beyond a byte they are defective.
        if (const uint32_t* l = CamdataGetUInt32Array(camdata, "BadPixThreshLevels", &n);
            l && n >= 2 && kCamdataByte.Holds(l[0]) && kCamdataByte.Holds(l[1]))
            std::copy_n(l, 2, levels);
        if (const float* t = CamdataGetFloatArray(camdata, "BadPixThreshTimes", &n); t && n >= 2)
            std::copy_n(t, 2, times);
        const double seconds = CamdataGetFloat(camdata, "CaptureShutter") / 1000000.0;
        const uint8_t threshold = BadPixelThreshold(seconds, levels[0], levels[1], times[0], times[1]);
        for (uint32_t i = 0; i < count; ++i)
            if (badness[i] > threshold)
                retained.push_back(entries[i]);
    } else {
        retained.assign(entries, entries + count);
    }
    const int32_t offset[2] = {int32_t(0u - uint32_t(p.keepArea.left)), int32_t(0u - uint32_t(p.keepArea.top))};
    ReplaceBadPixels(image, retained.data(), uint32_t(retained.size()), offset);
}

void Stage2Machine::SharpenRedStep()
{
    const int32_t strength = 2 * Strength("RedSharpen");
    int32_t left = CheckedCamdataValue<int32_t>(CamdataGetInt32(camdata, "RedLeftWeight"), kCamdataCoefficient, 0);
    int32_t right = CheckedCamdataValue<int32_t>(CamdataGetInt32(camdata, "RedRightWeight"), kCamdataCoefficient, 0);
    if (left == 0 && right == 0)
        left = 2048;
    SharpenRedImage(image, strength, left, right, Bands());
    words[kWordRow] = uint32_t(H + 2);
}

void Stage2Machine::NeutralizeHighlightStep()
{
    const FIntTriple T =
        HighlightSaturationLevels(p.levels, p.iCameraClass, p.dExposureTime, p.dMatrixBoost, p.dGainRatio);
    FIntTriple Lo(0), U(0), N(0);
    HighlightClipLevels(p.gains, T, Lo, U, N, float(p.dExposureTime), float(p.dClampedGainRatio));
    NeutralizeHighlightImage(image, p.bBulb, Lo, U, N, Bands());
    words[kWordRow] = uint32_t(H);
}

void Stage2Machine::DespeckleStep()
{
    if (W < 3 || H < 3)
        throw FExceptionPixelProc2("Despeckle: input image too small");
    DespeckleImage(image, p.bLongExposure, Bands());
}

// ---- Step 6, the high-ISO noise reduction

FDoubleTriple Stage2Machine::ColorNoiseStrengths() const
{
    FDoubleTriple dq = ReadStage2Vector(camdata, "ColorDQCamRGB");
    if (dq.r == 0.0 && dq.g == 0.0 && dq.b == 0.0)
        dq = FDoubleTriple(4.0 / std::sqrt(std::sqrt(std::min(p.dGainRatio, 8.0))));
    return dq;
}

// The camera's matrix balanced for daylight, mixed into the matrix of a warm
// white balance at high ISO. The illuminant list names no matrix for "Auto"
// (its matrix is CamToXYZ_Flash), and a zero matrix would only darken the
// mix: the illuminant matrix falls back as the colour matrix does, a missing
// daylight correction is none.
ColorMatrix3x3 Stage2Machine::WarmHighISODaylightMatrix() const
{
    ColorMatrix3x3 I = ReadStage2Matrix(camdata, Stage2ListValue(ReadStage2List(camdata, "WhiteBalanceIlluminants"),
                                                                 p.sWhiteBalance));
    if (IsZero(I))
        I = ReadStage2Matrix(camdata, "CamToXYZ_Flash");
    if (IsZero(I))
        I = ReadStage2Matrix(camdata, "CamToXYZ");
    const Stage2List corrections = ReadStage2List(camdata, "WhiteBalanceCorrections");
    std::string correction = Stage2ListValue(corrections, "Daylight");
    if (correction.empty())
        correction = Stage2ListValue(corrections, "Sunlight");
    ColorMatrix3x3 C = ReadStage2Matrix(camdata, correction);
    if (IsZero(C))
        C = ColorMatrix3x3::Identity();
    ColorMatrix3x3 daylight;
    ColorMatrixMultiply(daylight, C, I);
    if (!ColorMatrixIsInvertible(daylight))
        return ColorMatrix3x3();
    FDoubleTriple w;
    ColorMatrix3x3 inverse;
    ColorMatrixApply(w, ColorMatrixInverse(inverse, daylight),
                     FDoubleTriple(kReferenceWhite[0], kReferenceWhite[1], kReferenceWhite[2]));
    const double largest = std::max({w.r, w.g, w.b});
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            daylight(i, j) *= w[j] / largest;
    return daylight;
}

void Stage2Machine::NewDenoiseStep()
{
    NewDenoiseSettings settings = p.denoise;
    NoiseModelInputs inputs;
    inputs.dClampedGainRatio = p.dClampedGainRatio;
    inputs.dSensorGain = p.dSensorGain;
    inputs.multipliers = p.multipliers;
    inputs.bTungstenWB = p.bTungstenWB;
    inputs.dChromaNoise = r.m_dChromaNoise;
    inputs.dLumaNoise = r.m_dLumaNoise;
    CompleteNoiseModelSettings(settings, camdata, inputs);

    ColorMatrix3x3 matrix = p.mColor;
    if (p.bWarmHighISO) {
        const ColorMatrix3x3 daylight = p.bPerIlluminantWB ? p.mDaylight : WarmHighISODaylightMatrix();
        const double mix = settings.fMatrixMixing;
        if (!IsZero(daylight))
            for (int k = 0; k < 9; ++k)
                matrix.m[k] = (1.0 - mix) * daylight.m[k] + mix * matrix.m[k];
    }
    if ((p.iSkipFlags & kSkipColorMatrix) != 0)
        matrix = ColorMatrix3x3::Identity();

    const FDoubleTriple dq = ColorNoiseStrengths();
    double strengths[3];
    float wbGains[3];
    for (int i = 0; i < 3; ++i) {
        strengths[i] = dq[i] * p.dClampedGainRatio * p.multipliers[i] * p.dMatrixBoost;
        wbGains[i] = float(p.baseGains[i]);
    }
    const NoiseReductionNeutralEstimator estimator = [](const FloatRGBPixmap& grid, double bv, bool flash,
                                                        const ColorMatrix3x3& camToXYZ, double gain, bool constrain) {
        return EstimateNeutralChromaWeightedFloat(grid, bv, flash, camToXYZ, gain, constrain);
    };
    NoiseModelDenoise(image, &settings, &matrix, strengths, float(p.dClampedGainRatio), float(p.dResidualGain),
                      wbGains, p.bAutoWB, p.dBv, p.bFlashFired ? 1 : 0, p.bShortExposure ? 1 : 0, estimator,
                      Bands());
}

// ---- Steps 8 to 12

uint32_t Stage2Machine::ChromaShift() const
{
    bool found = false;
    const uint32_t shift = CamdataGetUInt16(camdata, "ChromaSumShift", &found);
    return found ? CheckedCamdataValue<uint32_t>(shift, kCamdataShift, 3u) : 3u;
}

void Stage2Machine::ChromaBlurSmallStep()
{
    const double fb = p.dBulbNoiseFactor, mb = p.dMatrixBoost, rc = p.dClampedGainRatio;
    const int32_t sdq = Strength("SpatialDQ");
    FDoubleTriple dq = ReadStage2Vector(camdata, "ChromaDQ");
    if (p.bMonochrome)
        dq = dq * 2.0;
    for (int i = 0; i < 3; ++i)
        dq[i] = fb * dq[i] * p.multipliers[i];
    const int32_t s = SaturatedProduct(SaturatedProduct(TruncateToInt(sdq * fb), TruncateToInt(mb * rc * 10.0)), 2);
    dq = FDoubleTriple((dq.r + dq.g + dq.b) * rc * mb * 2.0 / 3.0);
    const FLUT16RGB& table = GetChromaWeightLUT(dq, ChromaReference());
    ChromaBlurImage3(image, dq, s, table, int32_t(ChromaShift()), nullptr, Bands());
    words[kWordRow] = uint32_t(H);
}

bool Stage2Machine::ChromaBlurStep()
{
    // The pass runs whole (a pass stopped half way would leave rows blurred
    // that a resumed pass blurs again); the cancel flag is read after it.
    if (words[kWordRow] < uint32_t(H + 2)) {
        const double fb = p.dBulbNoiseFactor, mb = p.dMatrixBoost, rc = p.dClampedGainRatio;
        const int32_t sdq = Strength("SpatialDQ");
        FDoubleTriple dq = ReadStage2Vector(camdata, "ChromaDQ");
        for (int i = 0; i < 3; ++i)
            dq[i] = fb * dq[i] * p.multipliers[i];
        const int32_t s = SaturatedProduct(TruncateToInt(sdq * fb), TruncateToInt(mb * rc * 10.0));
        dq = FDoubleTriple((dq.r + dq.g + dq.b) * rc * mb / 3.0);
        const FLUT16RGB& table = GetChromaWeightLUT(dq, ChromaReference());
        ChromaBlurImage5(image, dq, s, table, int32_t(ChromaShift()), nullptr, Bands());
        words[kWordRow] = uint32_t(H + 2);
        words[kWordPass] = 1;
    }
    return !r.IsCancelled();
}

bool Stage2Machine::FIRWillRun() const
{
    return p.iFIRDisable == 0 && !p.bMonochrome && r.m_pStage2PreMatImage != nullptr;
}

double Stage2Machine::FIRGain() const
{
    ColorMatrix3x3 P;
    BuildWorkingSpaceMatrix(P, p.mColor, p.gains, 1.0, 0.0);
    const double gain = P(1, 0) + P(1, 1) + P(1, 2);
    return std::isfinite(gain) && gain > 0.0 ? gain : 1.0;
}

void Stage2Machine::ColorTransformStep()
{
    const bool fir = FIRWillRun();
    ColorMatrix3x3 P;
    if (fir) {
        BuildWorkingSpaceMatrix(P, p.mColor, p.gains, 1.0, 0.0);
        ColorMatrixScale(P, P, 1.0 / FIRGain());
    } else {
        BuildWorkingSpaceMatrix(P, p.mColor, p.gains, p.dResidualGain, 0.0);
    }
    ColorMatrix3x3Fixed fixed;
    fixed.iFractionBits = p.dResidualGain < 2.0 ? 14 : (p.dResidualGain > 4.0 ? 12 : 13);
    fixed.Set(P);

    FDoubleTriple dq = ColorNoiseStrengths();
    for (int i = 0; i < 3; ++i)
        dq[i] *= p.dBulbNoiseFactor * p.dClampedGainRatio * p.multipliers[i] * p.dMatrixBoost;
    if ((p.iSkipFlags & kSkipColorNoise) != 0)
        dq = FDoubleTriple(0.0);
    const FLUT16RGB& table = GetChromaWeightLUT(dq, ChromaReference());

    FIntTriple offsets = EstimateDarkColourCastInt(*image, dq.r, dq.g, dq.b, 0, 0, 0);
    const int32_t mean = (offsets.r + 2 * offsets.g + offsets.b) / 4;
    offsets = FIntTriple(offsets.r - mean, offsets.g - mean, offsets.b - mean);

    auto* keep = static_cast<WorkingPixmap*>(r.m_pStage2PreMatImage);
    const int32_t first = int32_t(std::min<uint32_t>(words[kWordRow], uint32_t(H)));
    RunInRowBands(uint32_t(H - first), [&](uint32_t a, uint32_t b) {
        for (int32_t y = first + int32_t(a); y <= first + int32_t(b); ++y) {
            if (fir)
                CorrectColorRowKeep(image->GetPixel(0, y), keep->GetPixel(0, y), W, fixed, table, offsets.r,
                                    offsets.g, offsets.b, kFIRLowLimit, kFIRHighLimit);
            else
                CorrectColorRow(image->GetPixel(0, y), W, fixed, table, offsets.r, offsets.g, offsets.b);
        }
    }, Bands());
    words[kWordRow] = uint32_t(H);
}

void Stage2Machine::FIRStep()
{
    const FIRParameters f = GetFIRParameters(camdata, p.iCameraClass, p.dCaptureISO);
    FPixmap* retinex = r.m_pRtnxImage;
    const size_t workBytes = size_t(std::max(retinex->m_iRows, 0)) * size_t(std::max(retinex->m_iRowBytes, 0));
    // The gain is the colour transform's, known from the preparation, so a
    // call that resumes here scales like one that ran the transform.
    FIRNoiseReduction(image, r.m_pStage2PreMatImage, f.fProportionLocalMeanRef, f.fProportionLocalMeanEdgeRef,
                      f.fProportionLocalMeanImgWithEdgeRef, f.fLocality, f.fSigmoidOffset, f.fScaleFactorEdgeRef,
                      f.fScaleFactorLocalMeanEdgeRef, f.fEdgeMapExponent, f.iIterations, float(FIRGain()),
                      float(p.dResidualGain), retinex->m_pData, workBytes, Bands());
}

bool Stage2Machine::LargeChromaBlurStep()
{
    if (words[kWordRow] < uint32_t(H)) {
        const double fb = p.dBulbNoiseFactor, gainRatio = p.dGainRatio;
        const int32_t sdq = Strength("SpatialDQ");
        FDoubleTriple dq = ReadStage2Vector(camdata, "ChromaDQ");
        for (int i = 0; i < 3; ++i)
            dq[i] = fb * dq[i] * p.multipliers[i] * (2.0 * gainRatio / 3.0) * 0.5;
        const int32_t s = SaturatedProduct(TruncateToInt(fb * sdq), TruncateToInt(gainRatio * 10.0)) >> 1;
        const FLUT16RGB& table = GetChromaWeightLUT(dq, ChromaReference());
        ChromaBlurLargeImage(image, 5.0, 5.0, 5.0, dq, s, table, int32_t(ChromaShift()), nullptr, Bands());
        // Saved as done: a resumed call must not blur the image a second time.
        words[kWordRow] = uint32_t(H);
        words[kWordPass] = 1;
    }
    return !r.IsCancelled();
}

// ---- Steps 15 and 16

bool Stage2Machine::RetinexStep()
{
    if (W <= 2 || H <= 2)
        throw FExceptionPixelProc2("Retinexing: input image too small");
    auto* retinex = static_cast<MonoPixmap*>(r.m_pRtnxImage);
    const FIntRect a = p.activeArea;
    const int32_t L = a.left, T = a.top, R = a.right, B = a.bottom;
    WorkingPixmap colourView(image->GetPixel(L, T), R - L, B - T, image->m_iRowBytes);
    MonoPixmap retinexView(retinex->GetPixel(L, T), R - L, B - T, retinex->m_iRowBytes);
    r.m_dFillLight = ApplyRetinex(&colourView, &retinexView, p.dExposureTime, r.m_dAperture,
                                  TruncateToInt(r.m_dISO), r.GetCancelFlag());
    for (int32_t y = 0; y < H; ++y) {
        const int32_t from = std::clamp(y, T, B - 1);
        if (from != y)
            std::memcpy(retinex->GetPixel(0, y), retinex->GetPixel(0, from), size_t(W) * sizeof(FPixelClass16SMono));
    }
    for (int32_t y = 0; y < H; ++y) {
        FPixelClass16SMono* row = retinex->GetPixel(0, y);
        std::fill(row, row + L, row[L]);
        std::fill(row + R, row + W, row[R - 1]);
    }
    return !r.IsCancelled();
}

void Stage2Machine::AutoAdjustStep()
{
    double exposure = 0, contrast = 0, shadow = 0, highlight = 0, saturation = 0, gains[3] = {1, 1, 1};
    CalculateAutoAdjustSettings(image, GetCubeRootLUT(), GetInverseCubeRootLUT(), r.m_dFillLight, exposure, contrast,
                                shadow, highlight, saturation, gains);
    r.m_dAutoExposure = exposure;
    r.m_dAutoContrast = contrast;
    r.m_dAutoShadow = shadow;
    r.m_dAutoHighlight = highlight;
    if (p.bPerIlluminantWB)
        r.m_dAutoSaturation = 0.0;
    else
        r.m_dAutoSaturation = (saturation < 0.0 && p.bLowLight) ? 0.0 : saturation;
    r.m_adAutoColorGain = p.bPresetWhiteBalance ? FDoubleTriple(gains[0], gains[1], gains[2]) : FDoubleTriple(1.0);
}

void CheckImages(const FIPERequestStage2& r)
{
    const FPixmap* image = r.m_pStage1Image;
    if (image->GetPixelType() != FPixmap::PIXEL_48S_RGB || image->m_iColumns <= 0 || image->m_iRows <= 0)
        throw FExceptionPixelProc2("FIPEngine2::priProcessStage2 working image is not a 48-bit signed RGB image");
    const FPixmap* retinex = r.m_pRtnxImage;
    if (retinex->GetPixelType() != FPixmap::PIXEL_16S_MONO || retinex->m_iColumns != image->m_iColumns ||
        retinex->m_iRows != image->m_iRows)
        throw FExceptionPixelProc2("FIPEngine2::priProcessStage2 Retinex image does not match the working image");
    const FPixmap* keep = r.m_pStage2PreMatImage;
    if (keep != nullptr && (keep->GetPixelType() != FPixmap::PIXEL_48S_RGB || keep->m_iColumns != image->m_iColumns ||
                            keep->m_iRows != image->m_iRows))
        throw FExceptionPixelProc2("FIPEngine2::priProcessStage2 pre-matrix image does not match the working image");
}

} // namespace

int64_t Stage2TempRows(int32_t W, int32_t H)
{
    const int64_t w = std::max<int64_t>(W, 1), h = H;
    return ((h + 3) / 4 * ((w + 3) / 4) + w - 1) / w + 2;
}

bool Stage2TempBufferFits(const FPixmap* temp, int32_t W, int32_t H)
{
    if (temp == nullptr || W <= 0 || H <= 0)
        return false;
    return temp->m_iColumns >= W && int64_t(temp->m_iRows) >= Stage2TempRows(W, H);
}

double Stage2Progress(int step)
{
    if (step < 0)
        return 0.0;
    static const std::array<double, kStage2StepCount> cumulative = [] {
        std::array<double, kStage2StepCount> c{};
        double total = 0.0;
        for (double w : kStepWeights)
            total += w;
        double sum = 0.0;
        for (int k = 0; k < kStage2StepCount; ++k)
            c[size_t(k)] = (sum += kStepWeights[k]) / total;
        return c;
    }();
    return cumulative[size_t(std::min(step, kStage2StepCount - 1))];
}

const char* Stage2DumpStepName(int stepIndex)
{
    return stepIndex >= 0 && stepIndex < 17 ? kDumpNames[stepIndex] : "DoNotDump";
}

FString Stage2DumpName(const char* stepName, const FString& dumpPath)
{
    if (std::strcmp(stepName, "DoNotDump") == 0)
        return FString();
    FString name = dumpPath;
    name.RemoveLast(4);
    name += "-";
    name += stepName;
    name += ".tif";
    return name;
}

void DumpStage2Image(const FPixmap& image, const FString& url)
{
    const int32_t W = image.m_iColumns, H = image.m_iRows;
    try {
        FTiffLineWriter writer(url, false);
        FPropTree properties(nullptr, "Properties");
        writer.SetDimensions(W, H, FPixmap::PIXEL_48_RGB);
        writer.WriteTags(properties);
        std::vector<FPixelClass48RGB> line(size_t(std::max(W, 0)));
        for (int32_t y = 0; y < H; ++y) {
            const auto* row = reinterpret_cast<const FPixelClass48SRGB*>(image.GetRow(y));
            for (int32_t x = 0; x < W; ++x)
                line[size_t(x)] = FPixelClass48RGB{uint16_t(row[x].r + 0x8000), uint16_t(row[x].g + 0x8000),
                                                   uint16_t(row[x].b + 0x8000)};
            writer.WriteLine(line.data(), FPixmap::PIXEL_48_RGB);
        }
    } catch (const FException&) {
        // A diagnostic that cannot be written must not cost the development.
        DebugPrintf("Stage 2 dump not written\n");
    }
}

uint8_t BadPixelThreshold(double t, uint32_t L0, uint32_t L1, double t0, double t1)
{
    double threshold = L0;
    if (t0 != t1) {
        if (t > t1) {
            threshold = L1;
        } else if (t > t0) {
            const double slope = (double(L1) - double(L0)) / (t1 - t0);
            threshold = t * slope + (double(L0) - t0 * slope) + 0.5;
        }
    }
    return uint8_t(TruncateToInt(threshold));
}

FIntTriple HighlightSaturationLevels(const FIntTriple& levels, int cameraClass, double t, double mb, double gainRatio)
{
    FIntTriple T = levels;
    const auto scaled = [&](double factor) {
        for (int i = 0; i < 3; ++i)
            T[i] = TruncateToInt(T[i] * factor + 0.5);
    };
    switch (cameraClass) {
    case 1: {
        const int32_t r1 = T.r - T.r / 32;
        T.r = r1 - r1 / 6;
        T.g = T.g - T.g / 32;
        T.b = T.b - T.b / 32;
        scaled(1.2);
        break;
    }
    case 3: {
        T.b = T.b - T.b / 64;
        T.g = T.g - T.g / 64;
        T.r = T.r - T.r / 64 - (T.r - T.r / 64) / 8;
        T.r = std::min(T.r, T.g - T.g / 16);
        T.b = std::min(T.b, T.g + T.g / 16);
        scaled(1.2);
        break;
    }
    case 5:
        if (t < 0.5)
            scaled(mb);
        else if (t < 1.5)
            scaled((1.5 - t) * (mb - 1.0) + 1.0);
        break;
    case 6:
        if (gainRatio < 1.0)
            scaled(1.3);
        break;
    case 10:
        scaled(0.8);
        DebugPrintf("HV25 adjusted sat level = %d %d %d\n", T.r, T.g, T.b);
        break;
    default: break;
    }
    return T;
}

void DefaultDarkShieldColumns(int32_t W, int32_t (&columns)[4])
{
    if (W == 2304) {
        columns[0] = 6, columns[1] = 14, columns[2] = 2292, columns[3] = 2300;
    } else if (W == 1152) {
        columns[0] = 3, columns[1] = 7, columns[2] = 1146, columns[3] = 1150;
    } else {
        columns[0] = columns[1] = columns[2] = columns[3] = 0;
    }
}

void DevelopStage2(FIPERequestStage2& request, const Stage2StepObserver& observer)
{
    CheckImages(request);
    Stage2Machine(request, observer).Run();
}

void FIPEngine2::priProcessStage2(FIPERequestStage2* pReq)
{
    FIPE_REQUIRE(pReq, "pReq != NULL");
    FIPE_REQUIRE(pReq->m_pCambData, "pReq->m_pCambData != NULL");
    FIPE_REQUIRE(pReq->m_pStage1Image, "pReq->m_pStage1Image != NULL");
    FIPE_REQUIRE(pReq->m_pRtnxImage, "pReq->m_pRtnxImage != NULL");
    FIPE_REQUIRE(pReq->m_pTempData, "pReq->m_pTempData != NULL");
    FIPE_REQUIRE(pReq->m_pCaptureProps, "pReq->m_pCaptureProps != NULL");
    DevelopStage2(*pReq);
}
