#pragma once
// An engine for the develop tests that counts every request it is handed (so
// a test sees which stages a develop reruns), and a stage 2 of the tests' own
// that a test can stop at a row: it works in place row by row, honours the
// cancel flag between rows and continues from its resume block. It stands in
// for the real stage 2 where a test must control where the stage stops, and
// everywhere while the real one is not built yet.
//
// DevelopDirectly runs the same stages on one engine without the managers:
// what a develop through the managers must equal.

#include "engine/FIPEngine2.h"
#include "engine/GlobalLUTs.h"
#include "engine/Retinex.h"
#include "engine/Stage2.h"
#include "engine/ToneLUT.h"
#include "engine/TransformColor.h"
#include "foundation/FImage.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "managers/DevelopSettings.h"
#include "managers/IPManagerData.h"
#include "support/EngineDriver.h"
#include "support/SyntheticWorkingImage.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// Lets a test run its own handler in place of the engine's, and the engine's
// own handlers from it.
class FIPEngine2TestAccess {
public:
    static void SetHandler(FIPEngine2& engine, std::function<void(FIPERequest&)> handler)
    {
        engine.m_TestHandler = std::move(handler);
    }
    static void Dispatch(FIPEngine2& engine, FIPERequest& request) { engine.priDispatch(&request); }
};

namespace testsupport {

// Requests handed to the engines, by type, over every engine that shares it.
class EngineCounts {
public:
    void Count(int32_t type)
    {
        if (type >= 0 && type < int32_t(m_Counts.size()))
            ++m_Counts[size_t(type)];
    }
    int Of(int32_t type) const { return m_Counts[size_t(type)].load(); }
    int Total() const
    {
        int total = 0;
        for (const auto& count : m_Counts)
            total += count.load();
        return total;
    }
    void Reset()
    {
        for (auto& count : m_Counts)
            count = 0;
    }

private:
    std::array<std::atomic<int>, 7> m_Counts{};
};

// Where the tests' stage 2 stops: at holdAtRow it waits until released or
// cancelled.
struct Stage2Hold {
    std::atomic<int> holdAtRow{-1};
    std::atomic<bool> reached{false};
    std::atomic<bool> released{false};
    std::atomic<int> rowsDone{0};
    std::atomic<int> firstRow{-1}; // the row the last run started from
};

// The tests' stage 2: each stage-1 value v becomes v / 2 + 100, the Retinex
// image the mean of a pixel's three, the reference image a copy; the
// automatic values are fixed.
inline void TestStage2(FIPERequestStage2& request, Stage2Hold* hold)
{
    FPixmap& image = *request.m_pStage1Image;
    FIPEResumeState& resume = request.m_ResumeState;
    uint32_t row = 0;
    if (resume.ResumeOrRestart(FIPEResumeState::kTagStage2, 4))
        row = resume.m_aWords[FIPEResumeState::kWordPosition];
    if (hold)
        hold->firstRow = int(row);
    for (; row < uint32_t(image.m_iRows); ++row) {
        if (hold && int(row) == hold->holdAtRow.load()) {
            hold->reached = true;
            while (!hold->released.load() && !request.IsCancelled())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (request.IsCancelled()) {
            resume.m_aWords[FIPEResumeState::kWordPosition] = row;
            request.Finish(kIPStatusCancelled);
            return;
        }
        auto* pixels = reinterpret_cast<int16_t*>(image.GetRow(int32_t(row)));
        auto* retinex = reinterpret_cast<int16_t*>(request.m_pRtnxImage->GetRow(int32_t(row)));
        for (int32_t x = 0; x < image.m_iColumns; ++x) {
            int32_t sum = 0;
            for (int k = 0; k < 3; ++k) {
                pixels[3 * x + k] = int16_t(pixels[3 * x + k] / 2 + 100);
                sum += pixels[3 * x + k];
            }
            retinex[x] = int16_t(sum / 3);
        }
        std::memcpy(request.m_pStage2PreMatImage->GetRow(int32_t(row)), pixels, size_t(image.m_iColumns) * 6);
        if (hold)
            ++hold->rowsDone;
        request.SetProgress(double(row + 1) / image.m_iRows);
    }
    request.m_dAutoExposure = 0.25;
    request.m_dAutoShadow = -0.5;
    request.m_dAutoContrast = 0.125;
    request.m_dAutoHighlight = 0.75;
    request.m_dAutoSaturation = 0.0625;
    request.m_dFillLight = 0.5;
    request.m_adAutoColorGain = FDoubleTriple(1.1, 1.0, 0.9);
    request.m_bRommWorkingSpace = false;
    request.Finish(kIPStatusDone);
}

// True once the engine has a stage 2 of its own.
inline bool EngineHasStage2()
{
    static const bool built = [] {
        FIPERequestStage2 probe;
        RunEngineRequest(probe);
        return probe.GetStatus() != kIPStatusError ||
               Utf8FromWide(probe.m_sErrorText).find("not built") == std::string::npos;
    }();
    return built;
}

// The engine's stages, counted; stage 2 is the tests' own when a hold is
// given or the engine has none. An observer given with the engine's own stage 2
// sees the head of each of its steps (and may wait there).
class CountingEngine final : public FIIPEngine2 {
public:
    CountingEngine(EngineCounts& counts, Stage2Hold* hold, Stage2StepObserver observer = {}) : m_Counts(counts)
    {
        const bool testStage2 = hold || !EngineHasStage2();
        FIPEngine2TestAccess::SetHandler(m_Engine, [this, hold, testStage2,
                                                    observer = std::move(observer)](FIPERequest& request) {
            if (request.GetType() == kIPERequestStage2 && testStage2)
                TestStage2(static_cast<FIPERequestStage2&>(request), hold);
            else if (request.GetType() == kIPERequestStage2 && observer)
                DevelopStage2(static_cast<FIPERequestStage2&>(request), observer);
            else
                FIPEngine2TestAccess::Dispatch(m_Engine, request);
        });
    }
    void Request(FIPERequest* request) override
    {
        if (request)
            m_Counts.Count(request->GetType());
        m_Engine.Request(request);
    }
    void Idle() override { m_Engine.Idle(); }

private:
    EngineCounts& m_Counts;
    FIPEngine2 m_Engine;
};

// An image of its own.
struct OwnedImage {
    OwnedImage(int32_t width, int32_t height, int32_t type) : image(new FImage(width, height, type, 1)) {}
    ~OwnedImage() { image->Release(); }
    OwnedImage(const OwnedImage&) = delete;
    OwnedImage& operator=(const OwnedImage&) = delete;
    FPixmap* get() const { return image->GetPixmap(); }
    FImage* image;
};

// The pixel bytes of an image, row padding left out.
inline std::vector<uint8_t> PixelBytes(const FPixmap& pixmap, int32_t bytesPerPixel)
{
    std::vector<uint8_t> bytes;
    const size_t rowBytes = size_t(pixmap.m_iColumns) * size_t(bytesPerPixel);
    for (int32_t y = 0; y < pixmap.m_iRows; ++y)
        bytes.insert(bytes.end(), pixmap.GetRow(y), pixmap.GetRow(y) + rowBytes);
    return bytes;
}

inline int32_t BytesPerPixel(int32_t outputFormat)
{
    return outputFormat == kDisplay ? 4 : outputFormat == kRGB24 ? 3 : 6;
}

// The whole development of the shot with the request's settings, stage after
// stage on one engine, as the managers should do it. Empty when a stage fails.
// What a direct development starts from: the shot's frames as loaded and its
// camera data, made once.
struct DirectInputs {
    explicit DirectInputs(const SyntheticRaw& shot)
        : camdata(shot), raw(MakeSyntheticFrame(shot, false)), dark(MakeSyntheticFrame(shot, true))
    {
    }
    SyntheticCamdata camdata;
    TestPixmap<FPixelClass48RGB> raw, dark;
};

inline std::vector<uint8_t> DevelopDirectly(FIIPEngine2& engine, const DirectInputs& inputs, const FPropTree& props,
                                            const IPManagerData& settings)
{
    const SyntheticCamdata& camdata = inputs.camdata;
    const auto& raw = inputs.raw;
    const auto& dark = inputs.dark;
    const int32_t W = raw->m_iColumns, H = raw->m_iRows;

    OwnedImage stage1Out(W, H, FPixmap::PIXEL_48S_RGB);
    FIPERequestStage1 stage1;
    stage1.m_pRawImage = raw.get();
    stage1.m_pDarkImage = dark.get();
    stage1.m_pCambData = camdata.get();
    stage1.m_pOutImage = stage1Out.get();
    if (RunEngineRequest(engine, stage1) != kIPStatusDone)
        return {};

    const int64_t w = W, h = H;
    OwnedImage retinex(W, H, FPixmap::PIXEL_16S_MONO), reference(W, H, FPixmap::PIXEL_48S_RGB),
        scratch(W, int32_t(((h + 3) / 4 * ((w + 3) / 4) + w - 1) / w + 2), FPixmap::PIXEL_48S_RGB);
    FIPERequestStage2 stage2;
    stage2.m_pStage1Image = stage1Out.get();
    stage2.m_pRtnxImage = retinex.get();
    stage2.m_pStage2PreMatImage = reference.get();
    stage2.m_pCambData = camdata.get();
    stage2.m_pCaptureProps = &props;
    stage2.m_pTempData = scratch.get();
    stage2.m_dISO = props.GetDouble(FString("ISO"), 100.0);
    stage2.m_adNeutral = settings.m_CustomNeutral;
    stage2.m_sWhiteBalance = settings.m_sWBDesc;
    stage2.m_iExposureTime = props.GetInt(FString("EXPTIME"), 0);
    stage2.m_dAperture = props.GetDouble(FString("APERTURE"), 0.0);
    stage2.m_aiSaturationLevel = stage1.m_aiSaturationLevel;
    stage2.m_aiDarkLevel = stage1.m_aiDarkLevel;
    stage2.m_dChromaNoise = settings.m_dChromaNoise;
    stage2.m_dLumaNoise = settings.m_dLumaNoise;
    if (RunEngineRequest(engine, stage2) != kIPStatusDone)
        return {};

    const int32_t rotation = props.GetInt(FString("ROTATION"), 0);
    const int32_t columns = props.GetInt(FString("COLS"), 0), rows = props.GetInt(FString("ROWS"), 0);
    FIntSize fitted;
    FIntRect crop;
    if (!FitOutputSize(settings.m_OutputSize, columns, rows, rotation, fitted) ||
        !ClampCropToOutput(settings.m_Crop, fitted, crop))
        return {};
    const int32_t cw = crop.right - crop.left, ch = crop.bottom - crop.top;
    const bool quarterTurn = rotation == 90 || rotation == 270;
    OwnedImage out3(cw, ch, FPixmap::PIXEL_48S_RGB), out3L(cw, ch, FPixmap::PIXEL_16S_MONO),
        out3Rtnx(cw, ch, FPixmap::PIXEL_16S_MONO), scratch3(cw, 5, FPixmap::PIXEL_48S_RGB);
    FIPERequestStage3 stage3;
    stage3.m_pStage2Image = stage1Out.get();
    stage3.m_pStage2ImageRtnx = retinex.get();
    stage3.m_iOutWidth = fitted.width;
    stage3.m_iOutHeight = fitted.height;
    stage3.m_iImageWidth = quarterTurn ? rows : columns;
    stage3.m_iImageHeight = quarterTurn ? columns : rows;
    stage3.m_rcCrop = crop;
    stage3.m_pCambData = camdata.get();
    stage3.m_pTempData = scratch3.get();
    stage3.m_iRotation = rotation;
    stage3.m_pOutImage = out3.get();
    stage3.m_pOutImageL = out3L.get();
    stage3.m_pOutImageRtnx = out3Rtnx.get();
    stage3.m_dISO = props.GetDouble(FString("ISO"), 100.0);
    if (RunEngineRequest(engine, stage3) != kIPStatusDone)
        return {};

    std::vector<int16_t> toneTable(3 * 65536);
    FIPERequestGenerateToneLUT tone;
    tone.m_pToneLUT = toneTable.data();
    tone.m_dExposure = settings.m_dExposure;
    tone.m_dShadow = settings.m_dShadow;
    tone.m_dContrast = settings.m_dContrast;
    tone.m_dHighlight = settings.m_dHighlight;
    tone.m_adColorGain = settings.m_ColorAdjust;
    tone.m_dISO = props.GetDouble(FString("ISO"), 100.0);
    tone.m_dContrastCompensation = ColorModeContrastCompensation(camdata.get(), props);
    tone.m_bModelToneOffsets = UsesModelToneOffsets(props);
    if (RunEngineRequest(engine, tone) != kIPStatusDone)
        return {};
    FLUT16 retinexTable(65536), gammaTable(65536);
    MakeRetinexGainLUT(retinexTable, settings.m_dFillLight, 256);
    MakeGammaLUT(gammaTable, 11, 16);

    OwnedImage out4(cw, ch, PixelTypeOfOutputFormat(settings.m_eOutputFormat));
    FIPERequestStage4 stage4;
    stage4.m_pStage3Image = out3.get();
    stage4.m_pStage3ImageL = out3L.get();
    stage4.m_pStage3ImageRtnx = out3Rtnx.get();
    stage4.m_pOutImage = out4.get();
    stage4.m_pToneLUT = toneTable.data();
    stage4.m_pRtnxLUT = retinexTable.m_pTable;
    stage4.m_pGammaLUT = gammaTable.m_pTable;
    stage4.m_dSharpness = settings.m_dSharpness;
    stage4.m_dSaturation = settings.m_dSaturation;
    stage4.m_iColorSpace = settings.m_iColorSpace;
    stage4.m_bRommWorkingSpace = stage2.m_bRommWorkingSpace;
    if (RunEngineRequest(engine, stage4) != kIPStatusDone)
        return {};
    return PixelBytes(*out4.get(), BytesPerPixel(settings.m_eOutputFormat));
}

inline std::vector<uint8_t> DevelopDirectly(FIIPEngine2& engine, const SyntheticRaw& shot, const FPropTree& props,
                                            const IPManagerData& settings)
{
    return DevelopDirectly(engine, DirectInputs(shot), props, settings);
}

} // namespace testsupport
