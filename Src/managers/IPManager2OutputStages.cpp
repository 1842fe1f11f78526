// The output stages of the per-image worker, from the stage-2 picture to the
// delivered one: stage 3 (crop, size, quarter turns and detail), the tone
// table on the engine, the Retinex and gamma tables on this thread, stage 4
// to the requested pixel format and colour space, and the result image. Each
// follows the guarded computation of IPManager2Develop.cpp.
#include "managers/IPManager2.h"

#include "engine/analysis/Retinex.h"
#include "engine/colour/ToneLUT.h"
#include "engine/core/GlobalLUTs.h"
#include "foundation/FAssert.h"
#include "foundation/FCache.h"
#include "foundation/FImage.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "managers/DevelopSettings.h"
#include "managers/FIPMImage.h"
#include "managers/IPMCacheEntry.h"
#include "managers/IPManager2Private.h"
#include "managers/IPManagerData.h"

#include <algorithm>
#include <cmath>

using namespace ipmanager2;

namespace {

enum GeometryWord : int { kCropLeft, kCropTop, kCropRight, kCropBottom, kOutWidth, kOutHeight };

void StoreGeometry(FICacheObject* entry, const FIntRect& crop, const FIntSize& size)
{
    int32_t* words = PixmapEntryHeader(entry)->m_aiGeometry;
    words[kCropLeft] = crop.left;
    words[kCropTop] = crop.top;
    words[kCropRight] = crop.right;
    words[kCropBottom] = crop.bottom;
    words[kOutWidth] = size.width;
    words[kOutHeight] = size.height;
}

// The fitted size and clamped crop the entry was computed for; false when it
// carries none.
bool RestoreGeometry(FICacheObject* entry, IPManagerData& request)
{
    const int32_t* words = PixmapEntryHeader(entry)->m_aiGeometry;
    if (words[kOutWidth] <= 0 || words[kOutHeight] <= 0)
        return false;
    request.m_Crop.Set(words[kCropLeft], words[kCropTop], words[kCropRight], words[kCropBottom]);
    request.m_OutputSize.Set(words[kOutWidth], words[kOutHeight]);
    return true;
}

bool IsPositiveGain(double gain)
{
    return std::isfinite(gain) && gain > 0.0;
}

double IsoOf(const FPropTree& props)
{
    return props.GetDouble(FString("ISO"), 100.0);
}

} // namespace

// ---------------------------------------------------------------------------
// State 13: stage 3

void IPManager2::priStage3Process()
{
    IPManagerData& request = *m_pCurrentRequest;
    if (request.m_Result.m_bCancel) {
        request.m_Result.Finish(kIPStatusCancelled);
        return;
    }
    const FPropTree& props = *m_pCaptureProps;
    const int32_t rotation = props.GetInt(FString("ROTATION"), 0);
    const int32_t columns = props.GetInt(FString("COLS"), 0);
    const int32_t rows = props.GetInt(FString("ROWS"), 0);

    FIntSize fitted;
    if (!FitOutputSize(request.m_OutputSize, columns, rows, rotation, fitted)) {
        priFailCurrent(kIPErrorBadParameter, "IPManager2::priStage3Process: The picture has no size.");
        return;
    }
    if (fitted.width != request.m_OutputSize.width)
        DebugPrintf("Reduce number of Cols in m_pCurrentRequest from %d to %d\n", request.m_OutputSize.width,
                    fitted.width);
    if (fitted.height != request.m_OutputSize.height)
        DebugPrintf("Reduce number of Rows in m_pCurrentRequest from %d to %d\n", request.m_OutputSize.height,
                    fitted.height);
    FIntRect crop;
    if (!ClampCropToOutput(request.m_Crop, fitted, crop)) {
        priFailCurrent(kIPErrorBadParameter, "IPManager2::priStage3Process: Cropping rectangle out of bounds.");
        return;
    }
    request.m_OutputSize = fitted;
    request.m_Crop = crop;
    const int32_t width = crop.right - crop.left, height = crop.bottom - crop.top;

    if (!priFindOrAllocate(m_Held.stage3, m_Labels.m_sStage3Out, FPixmap::PIXEL_48S_RGB, width, height,
                           "IPManager2::priStage3Process:Cache allocation failed on stg3 image.") ||
        !priFindOrAllocate(m_Held.stage3Lightness, m_Labels.m_sStage3OutL, FPixmap::PIXEL_16S_MONO, width, height,
                           "IPManager2::priStage3Process:Cache allocation failed on sharpL image.") ||
        !priFindOrAllocate(m_Held.stage3Retinex, m_Labels.m_sStage3OutRtnx, FPixmap::PIXEL_16S_MONO, width,
                           height, "IPManager2::priStage3Process:Cache allocation failed on rtnx image."))
        return;
    if (!priTryGuard(m_Held.stage3, false, "priStage3Process: waiting for someone else to process.\n"))
        return;
    if (IsPixmapDone(m_Held.stage3) && IsPixmapDone(m_Held.stage3Lightness) &&
        IsPixmapDone(m_Held.stage3Retinex)) {
        priReleaseGuard();
        m_iState = kStateToneLUT;
        return;
    }
    if (!m_Held.stage2 || !m_Held.stage2Retinex || !IsPixmapDone(m_Held.stage2)) {
        priReleaseGuard();
        priFailCurrent(kIPErrorException, "IPManager2::priStage3Process: no stage-2 image.");
        return;
    }
    for (FICacheObject* entry : {m_Held.stage3.get(), m_Held.stage3Lightness.get(), m_Held.stage3Retinex.get()})
        entry->SetPriority(kPriorityStage3);

    FPixmapEntryHeader& header = *PixmapEntryHeader(m_Held.stage3);
    const bool romm = PixmapEntryHeader(m_Held.stage2)->m_bRommWorkingSpace;
    StoreGeometry(m_Held.stage3, crop, fitted);
    header.m_bRommWorkingSpace = romm;
    if (!header.m_pScratch && !AttachScratchPixmap(m_Held.stage3, FPixmap::PIXEL_48S_RGB, width, 5)) {
        priReleaseGuard();
        priFailCurrent(kIPErrorOutOfMemory, "IPManager2::priStage3Process:Cache allocation failed on stg3 image.");
        return;
    }

    const bool quarterTurn = rotation == 90 || rotation == 270;
    auto stage3 = std::make_unique<FIPERequestStage3>();
    stage3->m_pStage2Image = &PixmapOf(m_Held.stage2);
    stage3->m_pStage2ImageRtnx = &PixmapOf(m_Held.stage2Retinex);
    stage3->m_iOutWidth = fitted.width;
    stage3->m_iOutHeight = fitted.height;
    stage3->m_iImageWidth = quarterTurn ? rows : columns;
    stage3->m_iImageHeight = quarterTurn ? columns : rows;
    stage3->m_rcCrop = crop;
    stage3->m_pCambData = m_pCambData.get();
    stage3->m_pTempData = header.m_pScratch->GetPixmap();
    stage3->m_iRotation = rotation;
    stage3->m_pOutImage = header.m_pPixmap;
    stage3->m_pOutImageL = &PixmapOf(m_Held.stage3Lightness);
    stage3->m_pOutImageRtnx = &PixmapOf(m_Held.stage3Retinex);
    stage3->m_bRommWorkingSpace = romm;
    stage3->m_iPipeFlags = request.m_iPipeFlags;
    stage3->m_dISO = IsoOf(props);
    priSendEngineRequest(std::move(stage3), {m_Held.stage3, m_Held.stage3Lightness, m_Held.stage3Retinex},
                         kStateWaitStage3);
}

// ---------------------------------------------------------------------------
// States 15 to 18: the tables

void IPManager2::priMakeToneLUT()
{
    IPManagerData& request = *m_pCurrentRequest;
    if (request.m_Result.m_bCancel) {
        request.m_Result.Finish(kIPStatusCancelled);
        return;
    }
    // The tone curve divides by the gains.
    const FDoubleTriple& gains = request.m_ColorAdjust;
    if (!IsPositiveGain(gains.r) || !IsPositiveGain(gains.g) || !IsPositiveGain(gains.b)) {
        priFailCurrent(kIPErrorBadParameter, "IPManager2::priMakeToneLUT: Color adjust gains must be positive.");
        return;
    }
    if (!priFindOrAllocateLUT(m_Held.toneLUT, m_Labels.m_sToneLUT, true,
                              "IPManager2::priMakeToneLUT:Cache allocation failed."))
        return;
    if (!priTryGuard(m_Held.toneLUT, true, "priMakeToneLUT: waiting for someone else to process.\n"))
        return;
    FLUTEntryHeader& header = *LUTEntryHeader(m_Held.toneLUT);
    if (IsEntryDone(header.m_bDone)) {
        priReleaseGuard();
        m_iState = kStateRetinexLUT;
        return;
    }
    m_Held.toneLUT->SetPriority(kPriorityLUT);

    const FPropTree& props = *m_pCaptureProps;
    auto tone = std::make_unique<FIPERequestGenerateToneLUT>();
    tone->m_pToneLUT = header.m_pTable;
    tone->m_dExposure = request.m_dExposure;
    tone->m_dShadow = request.m_dShadow;
    tone->m_dContrast = request.m_dContrast;
    tone->m_dHighlight = request.m_dHighlight;
    tone->m_adColorGain = request.m_ColorAdjust;
    tone->m_pStage3Image = m_Held.stage3 ? &PixmapOf(m_Held.stage3) : nullptr;
    tone->m_iPipeFlags = request.m_iPipeFlags;
    tone->m_dISO = IsoOf(props);
    tone->m_dContrastCompensation = ColorModeContrastCompensation(m_pCambData.get(), props);
    tone->m_bModelToneOffsets = UsesModelToneOffsets(props);
    priSendEngineRequest(std::move(tone), {m_Held.toneLUT}, kStateWaitToneLUT);
}

void IPManager2::priMakeLUTInPlace(bool retinex)
{
    IPManagerData& request = *m_pCurrentRequest;
    if (request.m_Result.m_bCancel) {
        request.m_Result.Finish(kIPStatusCancelled);
        return;
    }
    FCacheEntryLock& entry = retinex ? m_Held.retinexLUT : m_Held.gammaLUT;
    if (!priFindOrAllocateLUT(entry, retinex ? m_Labels.m_sRtnxLUT : m_Labels.m_sGammaLUT, false,
                              retinex ? "IPManager2::priMakeRetinexLUT:Cache allocation failed."
                                      : "IPManager2::priMakeGammaLUT:Cache allocation failed."))
        return;
    if (!priTryGuard(entry, true,
                     retinex ? "priMakeRtnxLUT: waiting for someone else to process.\n"
                             : "priMakeGammaLUT: waiting for someone else to process.\n"))
        return;
    FLUTEntryHeader& header = *LUTEntryHeader(entry);
    if (!IsEntryDone(header.m_bDone)) {
        entry->SetPriority(kPriorityLUT);
        FLUT16 table(header.m_pTable, kLUTEntries);
        if (retinex)
            MakeRetinexGainLUT(table, request.m_dFillLight, 256);
        else
            // Stage 4 converts to the output colour space itself; its gamma
            // table is always the working one.
            MakeGammaLUT(table, 11, 16);
        SetEntryDone(header.m_bDone, true);
    }
    priReleaseGuard();
    m_iState = retinex ? kStateGammaLUT : kStateStage4;
}

// ---------------------------------------------------------------------------
// States 19 and 21: stage 4 and the result

void IPManager2::priStage4Process()
{
    IPManagerData& request = *m_pCurrentRequest;
    if (request.m_Result.m_bCancel) {
        request.m_Result.Finish(kIPStatusCancelled);
        return;
    }
    if (!m_Held.stage3 || !m_Held.stage3Lightness || !m_Held.stage3Retinex || !m_Held.toneLUT ||
        !m_Held.retinexLUT || !m_Held.gammaLUT) {
        priFailCurrent(kIPErrorException, "IPManager2::priStage4Process: a stage-3 image or a table is missing.");
        return;
    }
    // A stage 3 found in the cache gives the fitted geometry back too.
    RestoreGeometry(m_Held.stage3, request);
    const FPixmap& stage3 = PixmapOf(m_Held.stage3);
    if (!priFindOrAllocate(m_Held.stage4, m_Labels.m_sStage4Out,
                           PixelTypeOfOutputFormat(request.m_eOutputFormat), stage3.m_iColumns, stage3.m_iRows,
                           "IPManager2::priStage4Process:Cache allocation failed."))
        return;
    if (!priTryGuard(m_Held.stage4, false, "priStage4Process: waiting for someone else to process.\n"))
        return;
    if (IsPixmapDone(m_Held.stage4)) {
        priReleaseGuard();
        m_iState = kStateCompleteDevelop;
        return;
    }
    m_Held.stage4->SetPriority(kPriorityStage4);
    FPixmapEntryHeader& stage3Header = *PixmapEntryHeader(m_Held.stage3);
    // So that a stage 4 found in the cache gives it back as well.
    std::copy(std::begin(stage3Header.m_aiGeometry), std::end(stage3Header.m_aiGeometry),
              PixmapEntryHeader(m_Held.stage4)->m_aiGeometry);

    auto stage4 = std::make_unique<FIPERequestStage4>();
    stage4->m_pStage3Image = &stage3;
    stage4->m_pStage3ImageL = &PixmapOf(m_Held.stage3Lightness);
    stage4->m_pStage3ImageRtnx = &PixmapOf(m_Held.stage3Retinex);
    stage4->m_pOutImage = &PixmapOf(m_Held.stage4);
    stage4->m_pToneLUT = LUTEntryHeader(m_Held.toneLUT)->m_pTable;
    stage4->m_pRtnxLUT = LUTEntryHeader(m_Held.retinexLUT)->m_pTable;
    stage4->m_pGammaLUT = LUTEntryHeader(m_Held.gammaLUT)->m_pTable;
    stage4->m_dSharpness = request.m_dSharpness;
    stage4->m_dSaturation = request.m_dSaturation;
    stage4->m_iColorSpace = request.m_iColorSpace;
    stage4->m_bRommWorkingSpace = stage3Header.m_bRommWorkingSpace;
    stage4->m_pCambData = m_pCambData.get();
    stage4->m_iPipeFlags = request.m_iPipeFlags;
    priSendEngineRequest(std::move(stage4), {m_Held.stage4}, kStateWaitStage4);
}

void IPManager2::priCompleteDevelop()
{
    IPManagerData& request = *m_pCurrentRequest;
    if (!IsPixmapDone(m_Held.stage4)) {
        priFailCurrent(kIPErrorException, "IPManager2::priCompleteDevelop: no developed image.");
        return;
    }
    RestoreGeometry(m_Held.stage4, request);
    FIPMImage* image = new FIPMCommon::Image(m_Held.stage4);
    if (request.m_pResultImage)
        request.m_pResultImage->Release();
    request.m_pResultImage = image;
    m_Held.stage4.reset(); // the image holds a lock of its own
    request.m_Result.m_dProgress = 1.0;
    request.m_Result.Finish(kIPStatusDone);
    m_iState = kStateIdle;
}
