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
    bytes.reserve(rowBytes * size_t(std::max(pixmap.m_iRows, 0)));
    for (int32_t y = 0; y < pixmap.m_iRows; ++y)
        bytes.insert(bytes.end(), pixmap.GetRow(y), pixmap.GetRow(y) + rowBytes);
    return bytes;
}

inline int32_t BytesPerPixel(int32_t outputFormat)
{
    return outputFormat == kDisplay ? 4 : outputFormat == kRGB24 ? 3 : 6;
}

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

// The whole development of the shot, stage after stage on one engine, as the
// managers should do it: every image it needs is made with the object, for
// the output size, crop and format of the settings it is made for, so that a
// run (with any other tone, noise or colour settings) only develops.
class DirectDevelopment {
public:
    DirectDevelopment(const DirectInputs& inputs, const FPropTree& props, const IPManagerData& settings)
        : m_Inputs(inputs), m_Props(props), W(inputs.raw->m_iColumns), H(inputs.raw->m_iRows),
          m_Stage1Out(W, H, FPixmap::PIXEL_48S_RGB), m_Retinex(W, H, FPixmap::PIXEL_16S_MONO),
          m_Reference(W, H, FPixmap::PIXEL_48S_RGB), m_Scratch(W, Stage2ScratchRows(W, H), FPixmap::PIXEL_48S_RGB)
    {
        m_iRotation = props.GetInt(FString("ROTATION"), 0);
        const int32_t columns = props.GetInt(FString("COLS"), 0), rows = props.GetInt(FString("ROWS"), 0);
        const bool quarterTurn = m_iRotation == 90 || m_iRotation == 270;
        m_ImageSize = {quarterTurn ? rows : columns, quarterTurn ? columns : rows};
        if (!FitOutputSize(settings.m_OutputSize, columns, rows, m_iRotation, m_Fitted) ||
            !ClampCropToOutput(settings.m_Crop, m_Fitted, m_Crop))
            return;
        const int32_t cw = m_Crop.right - m_Crop.left, ch = m_Crop.bottom - m_Crop.top;
        m_pOut3 = std::make_unique<OwnedImage>(cw, ch, FPixmap::PIXEL_48S_RGB);
        m_pOut3L = std::make_unique<OwnedImage>(cw, ch, FPixmap::PIXEL_16S_MONO);
        m_pOut3Rtnx = std::make_unique<OwnedImage>(cw, ch, FPixmap::PIXEL_16S_MONO);
        m_pScratch3 = std::make_unique<OwnedImage>(cw, 5, FPixmap::PIXEL_48S_RGB);
        m_pOut4 = std::make_unique<OwnedImage>(cw, ch, PixelTypeOfOutputFormat(settings.m_eOutputFormat));
        m_iBytesPerPixel = BytesPerPixel(settings.m_eOutputFormat);
    }

    // The developed picture's pixel bytes; empty when a stage fails. The
    // settings' output size, crop and format are those the object was made for.
    std::vector<uint8_t> Run(FIIPEngine2& engine, const IPManagerData& settings)
    {
        if (!m_pOut4)
            return {};
        const SyntheticCamdata& camdata = m_Inputs.camdata;
        FIPERequestStage1 stage1;
        stage1.m_pRawImage = m_Inputs.raw.get();
        stage1.m_pDarkImage = m_Inputs.dark.get();
        stage1.m_pCambData = camdata.get();
        stage1.m_pOutImage = m_Stage1Out.get();
        if (RunEngineRequest(engine, stage1) != kIPStatusDone)
            return {};

        FIPERequestStage2 stage2;
        stage2.m_pStage1Image = m_Stage1Out.get();
        stage2.m_pRtnxImage = m_Retinex.get();
        stage2.m_pStage2PreMatImage = m_Reference.get();
        stage2.m_pCambData = camdata.get();
        stage2.m_pCaptureProps = &m_Props;
        stage2.m_pTempData = m_Scratch.get();
        stage2.m_dISO = m_Props.GetDouble(FString("ISO"), 100.0);
        stage2.m_adNeutral = settings.m_CustomNeutral;
        stage2.m_sWhiteBalance = settings.m_sWBDesc;
        stage2.m_iExposureTime = m_Props.GetInt(FString("EXPTIME"), 0);
        stage2.m_dAperture = m_Props.GetDouble(FString("APERTURE"), 0.0);
        stage2.m_aiSaturationLevel = stage1.m_aiSaturationLevel;
        stage2.m_aiDarkLevel = stage1.m_aiDarkLevel;
        stage2.m_dChromaNoise = settings.m_dChromaNoise;
        stage2.m_dLumaNoise = settings.m_dLumaNoise;
        if (RunEngineRequest(engine, stage2) != kIPStatusDone)
            return {};

        FIPERequestStage3 stage3;
        stage3.m_pStage2Image = m_Stage1Out.get();
        stage3.m_pStage2ImageRtnx = m_Retinex.get();
        stage3.m_iOutWidth = m_Fitted.width;
        stage3.m_iOutHeight = m_Fitted.height;
        stage3.m_iImageWidth = m_ImageSize.width;
        stage3.m_iImageHeight = m_ImageSize.height;
        stage3.m_rcCrop = m_Crop;
        stage3.m_pCambData = camdata.get();
        stage3.m_pTempData = m_pScratch3->get();
        stage3.m_iRotation = m_iRotation;
        stage3.m_pOutImage = m_pOut3->get();
        stage3.m_pOutImageL = m_pOut3L->get();
        stage3.m_pOutImageRtnx = m_pOut3Rtnx->get();
        stage3.m_dISO = m_Props.GetDouble(FString("ISO"), 100.0);
        if (RunEngineRequest(engine, stage3) != kIPStatusDone)
            return {};

        FIPERequestGenerateToneLUT tone;
        tone.m_pToneLUT = m_ToneTable.data();
        tone.m_dExposure = settings.m_dExposure;
        tone.m_dShadow = settings.m_dShadow;
        tone.m_dContrast = settings.m_dContrast;
        tone.m_dHighlight = settings.m_dHighlight;
        tone.m_adColorGain = settings.m_ColorAdjust;
        tone.m_dISO = m_Props.GetDouble(FString("ISO"), 100.0);
        tone.m_dContrastCompensation = ColorModeContrastCompensation(camdata.get(), m_Props);
        tone.m_bModelToneOffsets = UsesModelToneOffsets(m_Props);
        if (RunEngineRequest(engine, tone) != kIPStatusDone)
            return {};
        MakeRetinexGainLUT(m_RetinexTable, settings.m_dFillLight, 256);
        MakeGammaLUT(m_GammaTable, 11, 16);

        FIPERequestStage4 stage4;
        stage4.m_pStage3Image = m_pOut3->get();
        stage4.m_pStage3ImageL = m_pOut3L->get();
        stage4.m_pStage3ImageRtnx = m_pOut3Rtnx->get();
        stage4.m_pOutImage = m_pOut4->get();
        stage4.m_pToneLUT = m_ToneTable.data();
        stage4.m_pRtnxLUT = m_RetinexTable.m_pTable;
        stage4.m_pGammaLUT = m_GammaTable.m_pTable;
        stage4.m_dSharpness = settings.m_dSharpness;
        stage4.m_dSaturation = settings.m_dSaturation;
        stage4.m_iColorSpace = settings.m_iColorSpace;
        stage4.m_bRommWorkingSpace = stage2.m_bRommWorkingSpace;
        if (RunEngineRequest(engine, stage4) != kIPStatusDone)
            return {};
        return PixelBytes(*m_pOut4->get(), m_iBytesPerPixel);
    }

private:
    // The temp pixmap rows stage 2 asks for.
    static int32_t Stage2ScratchRows(int64_t w, int64_t h) { return int32_t(((h + 3) / 4 * ((w + 3) / 4) + w - 1) / w + 2); }

    const DirectInputs& m_Inputs;
    const FPropTree& m_Props;
    int32_t W, H;
    OwnedImage m_Stage1Out, m_Retinex, m_Reference, m_Scratch;
    int32_t m_iRotation = 0;
    FIntSize m_ImageSize{0, 0};
    FIntSize m_Fitted{0, 0};
    FIntRect m_Crop;
    std::unique_ptr<OwnedImage> m_pOut3, m_pOut3L, m_pOut3Rtnx, m_pScratch3, m_pOut4;
    int32_t m_iBytesPerPixel = 3;
    std::vector<int16_t> m_ToneTable = std::vector<int16_t>(3 * 65536);
    FLUT16 m_RetinexTable{65536}, m_GammaTable{65536};
};

inline std::vector<uint8_t> DevelopDirectly(FIIPEngine2& engine, const DirectInputs& inputs, const FPropTree& props,
                                            const IPManagerData& settings)
{
    return DirectDevelopment(inputs, props, settings).Run(engine, settings);
}

inline std::vector<uint8_t> DevelopDirectly(FIIPEngine2& engine, const SyntheticRaw& shot, const FPropTree& props,
                                            const IPManagerData& settings)
{
    return DevelopDirectly(engine, DirectInputs(shot), props, settings);
}

} // namespace testsupport
