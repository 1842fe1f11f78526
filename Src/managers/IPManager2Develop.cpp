// The develop states of the per-image worker up to the stage-2 picture:
// finding and loading the frames, stages 1 and 2 on the engine, and the
// guarded computation that every stage shares.
//
// A computed entry is guarded by the mutex in its header: the worker that
// takes it computes (the mutex is only ever tried, so a worker never blocks
// its caller's thread), the others come back on a later Idle and find the
// entry done. An engine request that ends without success leaves its resume
// block in the entry, so the next attempt continues where it stopped.
#include "managers/IPManager2.h"

#include "engine/core/FIPEngine2.h"
#include "engine/stages/Stage2.h"
#include "fileio/container/CambData.h"
#include "foundation/FAssert.h"
#include "foundation/FCache.h"
#include "foundation/FImage.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "foundation/FSync.h"
#include "managers/FDataObject.h"
#include "managers/FDataRetriever.h"
#include "managers/IPMCacheEntry.h"
#include "managers/IPManager2Private.h"
#include "managers/IPManagerData.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <string>

using namespace ipmanager2;

namespace {

// What the guarded computation needs of an entry's header, for pixmap and
// table entries alike.
struct EntryControl {
    bool& done;
    FMutex* mutex;
    FIPEResumeState& resume;
};

EntryControl ControlOf(FICacheObject* entry, bool lut)
{
    if (lut) {
        FLUTEntryHeader* header = LUTEntryHeader(entry);
        return {header->m_bDone, header->m_pMutex, header->m_ResumeState};
    }
    FPixmapEntryHeader* header = PixmapEntryHeader(entry);
    return {header->m_bDone, header->m_pMutex, header->m_ResumeState};
}

void CopyRows(const FPixmap& from, FPixmap& to)
{
    const size_t bytes = size_t(std::min(from.m_iRowBytes, to.m_iRowBytes));
    for (int32_t y = 0; y < to.m_iRows; ++y)
        std::memcpy(to.GetRow(y), from.GetRow(y), bytes);
}

// Stage 1's six results travel with the picture they belong to, in the
// geometry words of the stage-1 entry and of the stage-2 entry made from it,
// so stage 2 gets them whether stage 1 ran now or was found in the cache.
void StoreStage1Results(FICacheObject* entry, const std::array<int32_t, 6>& results)
{
    std::copy(results.begin(), results.end(), PixmapEntryHeader(entry)->m_aiGeometry);
}

} // namespace

// ---------------------------------------------------------------------------
// Refused before any work

bool IPManager2::priCheckDevelopRequest(IPManagerData& request)
{
    const FIntRect& crop = request.m_Crop;
    const char* fault = nullptr;
    if (request.m_OutputSize.width <= 0 || request.m_OutputSize.height <= 0)
        fault = "IPManager2::Request: The output size is empty.";
    else if (crop.left < 0 || crop.top < 0 || crop.right <= crop.left || crop.bottom <= crop.top)
        fault = "IPManager2::Request: The cropping rectangle is empty or inverted.";
    else if (PixelTypeOfOutputFormat(request.m_eOutputFormat) == 0)
        fault = "IPManager2::Request: Unknown output format.";
    else if (!IsOutputColorSpace(request.m_iColorSpace))
        fault = "IPManager2::Request: Unknown color space.";
    if (!fault)
        return true;
    request.m_Result.Fail(kIPErrorBadParameter, fault);
    return false;
}

// ---------------------------------------------------------------------------
// The dispatcher of the develop states

void IPManager2::priRunDevelopState(int state)
{
    switch (state) {
    case kStateFindImages:
        priFindImages();
        break;
    case kStateLoadRaw: {
        const bool darkSub = m_iDarkSubIndex != kNoImage;
        DebugPrintf("Loading %s...\n", darkSub ? "darksub" : "raw");
        priLoadFrame(darkSub ? m_iDarkSubIndex : m_iRawIndex, kStateWaitRaw,
                     "FIPManager::priLoadRaw: data retriever is busy!");
        break;
    }
    case kStateWaitRaw:
        priWaitFrame(m_Held.raw, m_iDarkSubIndex != kNoImage ? kStateLoadCamfile : kStateLoadDark);
        break;
    case kStateLoadDark:
        DebugPrintf("Loading dark...\n");
        priLoadFrame(m_iDarkIndex, kStateWaitDark, "FIPManager::priLoadDark: data retriever is busy!");
        break;
    case kStateWaitDark:
        priWaitFrame(m_Held.dark, kStateLoadCamfile);
        break;
    case kStateStage1:
        priStage1Process();
        break;
    case kStateWaitStage1:
        priWaitEngineRequest(kStateWaitStage1, kStateStage2);
        break;
    case kStateStage2:
        priStage2Process();
        break;
    case kStateWaitStage2:
        priWaitEngineRequest(kStateWaitStage2, kStateStage3);
        break;
    case kStateStage3:
        priStage3Process();
        break;
    case kStateWaitStage3:
        priWaitEngineRequest(kStateWaitStage3, kStateToneLUT);
        break;
    case kStateToneLUT:
        priMakeToneLUT();
        break;
    case kStateWaitToneLUT:
        priWaitEngineRequest(kStateWaitToneLUT, kStateRetinexLUT);
        break;
    case kStateRetinexLUT:
        priMakeLUTInPlace(true);
        break;
    case kStateGammaLUT:
        priMakeLUTInPlace(false);
        break;
    case kStateStage4:
        priStage4Process();
        break;
    case kStateWaitStage4:
        priWaitEngineRequest(kStateWaitStage4, kStateCompleteDevelop);
        break;
    case kStateCompleteDevelop:
        priCompleteDevelop();
        break;
    default:
        DebugPrintf("IPManager2: IPManager2 in an invalid state.");
        priFailCurrent(kIPErrorException, "IPManager2: IPManager2 in an invalid state.");
        break;
    }
}

// ---------------------------------------------------------------------------
// States 2 to 6: the frames

void IPManager2::priFindImages()
{
    IPManagerData& request = *m_pCurrentRequest;
    if (!priRetrieverFree("FIPManager::priFindImages: data retriever is busy!"))
        return;
    priPrepareRetrieverRequest(request.m_sURL, kRetrieverInfo, kRetrieverInfoImageCount, 0);
    priRunRetrieverRequest();
    if (m_RetrieverRequest.GetStatus() != kIPStatusDone) {
        request.m_Result.TakeOutcome(m_RetrieverRequest);
        return;
    }
    m_iRawIndex = m_iDarkIndex = m_iDarkSubIndex = kNoImage;
    // From the last down, so the first image of each kind wins.
    for (intptr_t index = m_RetrieverRequest.m_Index - 1; index >= 0; --index) {
        priPrepareRetrieverRequest(request.m_sURL, kRetrieverInfo, kRetrieverInfoImage, index);
        priRunRetrieverRequest();
        if (m_RetrieverRequest.GetStatus() != kIPStatusDone) {
            request.m_Result.TakeOutcome(m_RetrieverRequest);
            return;
        }
        switch (m_RetrieverRequest.m_iSlotC) {
        case 1:
            m_iRawIndex = uint32_t(index);
            break;
        case 2:
            m_iDarkIndex = uint32_t(index);
            break;
        case 3:
            m_iDarkSubIndex = uint32_t(index);
            break;
        default:
            break;
        }
    }
    const bool raw = m_iRawIndex != kNoImage, dark = m_iDarkIndex != kNoImage, darkSub = m_iDarkSubIndex != kNoImage;
    if ((raw && dark) || darkSub) {
        m_iState = kStateLoadRaw;
        return;
    }
    std::string text = "Image does not contain: ";
    if (!darkSub)
        text += "dark subtracted frame ";
    if (!dark)
        text += "dark frame ";
    if (!raw)
        text += "raw frame";
    priFailCurrent(kIPErrorNotInFile, text.c_str());
}

void IPManager2::priLoadFrame(uint32_t index, int waitState, const char* busyText)
{
    IPManagerData& request = *m_pCurrentRequest;
    if (request.m_Result.m_bCancel) {
        request.m_Result.Finish(kIPStatusCancelled);
        return;
    }
    if (!priRetrieverFree(busyText))
        return;
    priPrepareRetrieverRequest(request.m_sURL, kRetrieverData, kRetrieverDataImage, intptr_t(index));
    m_pRetriever->Request(&m_RetrieverRequest);
    m_iState = waitState;
}

void IPManager2::priWaitFrame(FDataObjectRef& frame, int next)
{
    if (!priRetrieverDelivered(m_iState, next))
        return;
    frame = GetRetrievedObject(m_RetrieverRequest);
    m_RetrieverRequest.m_SlotA = 0;
    priWriteProgress(m_iState, next, 1.0);
    m_iState = next;
}

// ---------------------------------------------------------------------------
// State 9: stage 1

void IPManager2::priStage1Process()
{
    IPManagerData& request = *m_pCurrentRequest;
    if (request.m_Result.m_bCancel) {
        request.m_Result.Finish(kIPStatusCancelled);
        return;
    }
    const FPixmap* raw = m_Held.raw ? m_Held.raw->GetPixmap() : nullptr;
    if (!raw) {
        priFailCurrent(kIPErrorException, "IPManager2::priStage1Process: no raw frame loaded.");
        return;
    }
    if (!m_Held.stage1) {
        // Another worker may have finished stage 1 and taken its picture
        // over for stage 2 meanwhile: then this one waits for that stage 2.
        // Both looked up at once, so the take-over never falls between them.
        std::lock_guard lock(CacheEntryCreationLock());
        FICache* cache = GetGlobalCache();
        if (!m_Held.stage2 && (m_Held.stage2 = cache->Allocate(m_Labels.m_sStage2Out, 0))) {
            m_Held.raw.reset();
            m_Held.dark.reset();
            m_iState = kStateStage2;
            return;
        }
        m_Held.stage1 = cache->Allocate(m_Labels.m_sStage1Out, 0);
    }
    if (!priFindOrAllocate(m_Held.stage1, m_Labels.m_sStage1Out, FPixmap::PIXEL_48S_RGB, raw->m_iColumns,
                           raw->m_iRows, "IPManager2::priStage1Process:Cache allocation failed."))
        return;
    if (!priTryGuard(m_Held.stage1, false, "priStage1Process: waiting for someone else to process.\n"))
        return;
    if (IsPixmapDone(m_Held.stage1)) {
        priReleaseGuard();
        m_Held.raw.reset();
        m_Held.dark.reset();
        m_iState = kStateStage2;
        return;
    }
    m_Held.stage1->SetPriority(kPriorityStage1);
    FPixmap& out = PixmapOf(m_Held.stage1);

    if (m_iDarkSubIndex != kNoImage) {
        // The camera subtracted the dark frame itself: the frame is stage 1's output.
        if (raw->GetPixelType() != FPixmap::PIXEL_48S_RGB) {
            priReleaseGuard();
            priFailCurrent(kIPErrorException,
                           "IPManager2::priStage1Process: dark subtracted frame is not signed 48-bit RGB.");
            return;
        }
        CopyRows(*raw, out);
        m_aStage1Results.fill(0);
        StoreStage1Results(m_Held.stage1, m_aStage1Results);
        m_Held.raw.reset();
        SetEntryDone(PixmapEntryHeader(m_Held.stage1)->m_bDone, true);
        priReleaseGuard();
        m_iState = kStateStage2;
        return;
    }

    auto stage1 = std::make_unique<FIPERequestStage1>();
    stage1->m_pRawImage = raw;
    stage1->m_pDarkImage = m_Held.dark ? m_Held.dark->GetPixmap() : nullptr;
    stage1->m_pCambData = m_pCambData.get();
    stage1->m_pOutImage = &out;
    priSendEngineRequest(std::move(stage1), {m_Held.stage1}, kStateWaitStage1);
}

// ---------------------------------------------------------------------------
// State 11: stage 2

int IPManager2::priStateAfterStage2() const
{
    switch (m_pCurrentRequest ? m_pCurrentRequest->m_eKind : kIPRequestDevelop) {
    case kIPRequestAutoAdjust:
        return kStateCompleteAutoAdjust;
    case kIPRequestNeutralAtPoint:
        return kStateCompleteNeutralAtPoint;
    default:
        return kStateStage3;
    }
}

bool IPManager2::priTakeStage1AsStage2Output()
{
    FICacheObject* stage1 = m_Held.stage1;
    if (!IsPixmapDone(stage1)) {
        priFailCurrent(kIPErrorException, "IPManager2::priStage2Process: stage 1 is not done.");
        return false;
    }
    {
        std::lock_guard lock(CacheEntryCreationLock());
        m_Held.stage2 = GetGlobalCache()->Allocate(m_Labels.m_sStage2Out, 0);
        if (!m_Held.stage2 && stage1->GetLockCount() == 1) {
            // No one else holds the stage-1 picture, and no one can find it
            // while the lock is held: stage 2 may develop it in place.
            stage1->SetLabel(m_Labels.m_sStage2Out);
            SetEntryDone(PixmapEntryHeader(stage1)->m_bDone, false);
            m_Held.stage2 = m_Held.stage1.release();
            return true;
        }
    }
    if (!m_Held.stage2)
        priCopyStage1IntoStage2Output();
    m_Held.stage1.reset();
    return m_Held.stage2 != nullptr;
}

void IPManager2::priCopyStage1IntoStage2Output()
{
    // Another worker holds the stage-1 picture, so it must never change
    // under it: stage 2 works on a copy. The copy is made under a label of
    // this worker's own and takes the stage-2 label only once it is whole,
    // so no one ever finds a stage-2 entry without its picture.
    const FPixmap& from = PixmapOf(m_Held.stage1);
    FString suffix;
    suffix.Format("-Copying-%p", static_cast<void*>(this));
    FString privateLabel = m_Labels.m_sStage2Out;
    privateLabel += suffix;
    FICacheObject* copy =
        GetPixmapCacheEntry(privateLabel, FPixmap::PIXEL_48S_RGB, from.m_iColumns, from.m_iRows);
    if (!copy) {
        priFailCurrent(kIPErrorOutOfMemory, "IPManager2::priStage2Process:Cache allocation failed.");
        return;
    }
    CopyRows(from, PixmapOf(copy));
    std::copy(std::begin(PixmapEntryHeader(m_Held.stage1)->m_aiGeometry),
              std::end(PixmapEntryHeader(m_Held.stage1)->m_aiGeometry), PixmapEntryHeader(copy)->m_aiGeometry);
    {
        std::lock_guard lock(CacheEntryCreationLock());
        m_Held.stage2 = GetGlobalCache()->Allocate(m_Labels.m_sStage2Out, 0);
        if (!m_Held.stage2) {
            copy->SetLabel(m_Labels.m_sStage2Out);
            m_Held.stage2 = copy;
            return;
        }
    }
    ForgetCacheEntry(copy);
    copy->Unlock();
}

void IPManager2::priStage2Process()
{
    IPManagerData& request = *m_pCurrentRequest;
    if (request.m_Result.m_bCancel) {
        request.m_Result.Finish(kIPStatusCancelled);
        return;
    }
    if (!m_Held.stage2) {
        if (!m_Held.stage1) {
            priFailCurrent(kIPErrorException, "IPManager2::priStage2Process: no stage-1 image.");
            return;
        }
        if (!priTakeStage1AsStage2Output())
            return;
    }
    FICacheObject* output = m_Held.stage2;
    if (!priFindOrAllocate(m_Held.stage2, m_Labels.m_sStage2Out, FPixmap::PIXEL_48S_RGB,
                           PixmapOf(output).m_iColumns, PixmapOf(output).m_iRows,
                           "IPManager2::priStage2Process:Cache allocation failed."))
        return;
    const int32_t width = PixmapOf(output).m_iColumns;
    const int32_t height = PixmapOf(output).m_iRows;
    if (!priFindOrAllocate(m_Held.stage2Retinex, m_Labels.m_sStage2OutRtnx, FPixmap::PIXEL_16S_MONO, width,
                           height, "IPManager2::priStage2Process:Cache allocation failed on rtnx image."))
        return;
    if (!priTryGuard(output, false, "priStage2Process: waiting for someone else to process.\n"))
        return;
    // The pre-matrix reference is read by stage 2 alone: a finished stage 2
    // needs it no more (it is forgotten once stage 2 has succeeded).
    if (IsPixmapDone(output) && IsPixmapDone(m_Held.stage2Retinex)) {
        priReleaseGuard();
        m_iState = priStateAfterStage2();
        return;
    }
    if (!priFindOrAllocate(m_Held.stage2Reference, m_Labels.m_sStage2OutRefKV, FPixmap::PIXEL_48S_RGB, width,
                           height, "IPManager2::priStage2Process:Cache allocation failed on refKV image.")) {
        priReleaseGuard();
        return;
    }
    for (FICacheObject* entry : {output, m_Held.stage2Retinex.get(), m_Held.stage2Reference.get()})
        entry->SetPriority(kPriorityStage2);

    FPixmapEntryHeader& header = *PixmapEntryHeader(output);
    if (!header.m_pScratch) {
        if (!AttachScratchPixmap(output, FPixmap::PIXEL_48S_RGB, width, int32_t(Stage2TempRows(width, height)))) {
            priReleaseGuard();
            priFailCurrent(kIPErrorOutOfMemory, "IPManager2::priStage2Process:Cache allocation failed.");
            return;
        }
    }
    std::copy(std::begin(header.m_aiGeometry), std::end(header.m_aiGeometry), m_aStage1Results.begin());

    const FPropTree& props = *m_pCaptureProps;
    bool isoFound = false;
    double iso = props.GetDouble(FString("ISO"), 100.0, &isoFound);
    if (!isoFound) {
        DebugPrintf("IPManager2: warning ISO property is missing or empty!  Defaulting to 100.\n");
        iso = 100.0;
    }
    auto stage2 = std::make_unique<FIPERequestStage2>();
    stage2->m_pStage1Image = header.m_pPixmap;
    stage2->m_pRtnxImage = &PixmapOf(m_Held.stage2Retinex);
    stage2->m_pStage2PreMatImage = &PixmapOf(m_Held.stage2Reference);
    stage2->m_pCambData = m_pCambData.get();
    stage2->m_pCaptureProps = m_pCaptureProps;
    stage2->m_pTempData = header.m_pScratch->GetPixmap();
    stage2->m_dISO = iso;
    stage2->m_adNeutral = request.m_CustomNeutral;
    stage2->m_bNeutralInWorkingSpace = false;
    stage2->m_sWhiteBalance = request.m_sWBDesc;
    stage2->m_iColorSpace = request.m_iColorSpace;
    stage2->m_iExposureTime = props.GetInt(FString("EXPTIME"), 0);
    stage2->m_dAperture = props.GetDouble(FString("APERTURE"), 0.0);
    stage2->m_bDump = request.m_bDumpIntermediates;
    stage2->m_sDumpPath = request.m_sOutputPath;
    stage2->m_aiSaturationLevel = FIntTriple(m_aStage1Results[0], m_aStage1Results[1], m_aStage1Results[2]);
    stage2->m_aiDarkLevel = FIntTriple(m_aStage1Results[3], m_aStage1Results[4], m_aStage1Results[5]);
    stage2->m_iPipeFlags = request.m_iPipeFlags;
    stage2->m_dChromaNoise = request.m_dChromaNoise;
    stage2->m_dLumaNoise = request.m_dLumaNoise;
    priSendEngineRequest(std::move(stage2), {output, m_Held.stage2Retinex, m_Held.stage2Reference},
                         kStateWaitStage2);
}

// ---------------------------------------------------------------------------
// The guarded computation

bool IPManager2::priFindOrAllocate(FCacheEntryLock& held, const FString& label, int32_t pixelType, int32_t width,
                                   int32_t height, const char* allocationText)
{
    if (held) {
        if (held->GetLabel() != label) {
            priFailCurrent(kIPErrorException, "IPManager2: a held cache entry carries another label.");
            return false;
        }
    } else if (!(held = GetPixmapCacheEntry(label, pixelType, width, height))) {
        priFailCurrent(kIPErrorOutOfMemory, allocationText);
        return false;
    }
    const FPixmap* pixmap = PixmapEntryHeader(held)->m_pPixmap;
    if (!pixmap || pixmap->GetPixelType() != pixelType || pixmap->m_iColumns != width || pixmap->m_iRows != height) {
        priFailCurrent(kIPErrorException, "IPManager2: a cached image has another type or size.");
        return false;
    }
    return true;
}

bool IPManager2::priFindOrAllocateLUT(FCacheEntryLock& held, const FString& label, bool colorLUT,
                                      const char* allocationText)
{
    if (held) {
        if (held->GetLabel() != label) {
            priFailCurrent(kIPErrorException, "IPManager2: a held cache entry carries another label.");
            return false;
        }
    } else if (!(held = GetLUTCacheEntry(label, colorLUT))) {
        priFailCurrent(kIPErrorOutOfMemory, allocationText);
        return false;
    }
    if (LUTEntryHeader(held)->m_bColorLUT != colorLUT) {
        priFailCurrent(kIPErrorException, "IPManager2: a cached table has another channel count.");
        return false;
    }
    return true;
}

bool IPManager2::priTryGuard(FICacheObject* guard, bool lut, const char* waitText)
{
    priReleaseGuard();
    if (!ControlOf(guard, lut).mutex->Lock(0)) {
        DebugPrintf("%s", waitText);
        return false;
    }
    m_pGuardEntry = guard;
    m_bGuardIsLUT = lut;
    return true;
}

void IPManager2::priReleaseGuard()
{
    if (m_pGuardEntry) {
        ControlOf(m_pGuardEntry, m_bGuardIsLUT).mutex->Unlock();
        m_pGuardEntry = nullptr;
    }
}

void IPManager2::priSendEngineRequest(std::unique_ptr<FIPERequest> request,
                                      std::initializer_list<FICacheObject*> outputs, int waitState)
{
    if (!m_pGuardEntry) {
        priFailCurrent(kIPErrorException, "IPManager2: an engine request without its output entry.");
        return;
    }
    request->m_ResumeState = ControlOf(m_pGuardEntry, m_bGuardIsLUT).resume;
    m_aEngineOutputs.fill(nullptr);
    std::copy(outputs.begin(), outputs.end(), m_aEngineOutputs.begin());
    m_bEngineOutputsAreLUT = m_bGuardIsLUT;
    m_pIPEngineReq = std::move(request);
    m_iState = waitState;
    m_pEngine->Request(m_pIPEngineReq.get());
}

void IPManager2::priWaitEngineRequest(int state, int next)
{
    if (!m_pIPEngineReq) {
        priFailCurrent(kIPErrorException, "IPManager2: no engine request to wait for.");
        return;
    }
    if (m_pIPEngineReq->GetStatus() == kIPStatusPending) {
        priWriteProgress(state, next, m_pIPEngineReq->GetProgress());
        return;
    }
    if (!priFinishEngineRequest(true))
        return;
    priWriteProgress(state, next, 1.0);
    m_iState = state == kStateWaitStage2 ? priStateAfterStage2() : next;
}

bool IPManager2::priFinishEngineRequest(bool report)
{
    FIPERequest& ended = *m_pIPEngineReq;
    const bool done = ended.GetStatus() == kIPStatusDone;
    const int32_t type = ended.GetType();

    // The stage's own results, written before the outputs are published.
    if (type == kIPERequestStage1) {
        m_Held.raw.reset();
        m_Held.dark.reset();
        m_aStage1Results.fill(0);
        if (done) {
            const auto& stage1 = static_cast<const FIPERequestStage1&>(ended);
            m_aStage1Results = {stage1.m_aiSaturationLevel.r, stage1.m_aiSaturationLevel.g,
                                stage1.m_aiSaturationLevel.b, stage1.m_aiDarkLevel.r,
                                stage1.m_aiDarkLevel.g,       stage1.m_aiDarkLevel.b};
            StoreStage1Results(m_aEngineOutputs[0], m_aStage1Results);
        }
    } else if (type == kIPERequestStage2 && done) {
        const auto& stage2 = static_cast<const FIPERequestStage2&>(ended);
        FPixmapEntryHeader& header = *PixmapEntryHeader(m_aEngineOutputs[0]);
        header.m_dAutoExposure = stage2.m_dAutoExposure;
        header.m_dAutoShadow = stage2.m_dAutoShadow;
        header.m_dAutoContrast = stage2.m_dAutoContrast;
        header.m_dAutoHighlight = stage2.m_dAutoHighlight;
        header.m_dAutoSaturation = stage2.m_dAutoSaturation;
        header.m_dFillLight = stage2.m_dFillLight;
        header.m_adAutoColorGain[0] = stage2.m_adAutoColorGain.r;
        header.m_adAutoColorGain[1] = stage2.m_adAutoColorGain.g;
        header.m_adAutoColorGain[2] = stage2.m_adAutoColorGain.b;
        header.m_bRommWorkingSpace = stage2.m_bRommWorkingSpace;
    }

    if (!done && m_aEngineOutputs[0])
        ControlOf(m_aEngineOutputs[0], m_bEngineOutputsAreLUT).resume = ended.m_ResumeState;
    for (FICacheObject* output : m_aEngineOutputs)
        if (output)
            SetEntryDone(ControlOf(output, m_bEngineOutputsAreLUT).done, done);
    m_aEngineOutputs.fill(nullptr);
    priReleaseGuard();

    // Inputs and side results no later step of this request reads. The
    // pre-matrix reference of a finished stage 2 is read by no request
    // either: forgotten, it is the first entry the cache gives up. An
    // unfinished stage 2 resumes from it.
    if (type == kIPERequestStage2) {
        if (done && m_Held.stage2Reference)
            ForgetCacheEntry(m_Held.stage2Reference);
        m_Held.stage2Reference.reset();
    } else if (type == kIPERequestStage3) {
        m_Held.stage2.reset();
        m_Held.stage2Retinex.reset();
    } else if (type == kIPERequestStage4) {
        for (FCacheEntryLock* entry : {&m_Held.stage3, &m_Held.stage3Lightness, &m_Held.stage3Retinex,
                                       &m_Held.toneLUT, &m_Held.retinexLUT, &m_Held.gammaLUT})
            entry->reset();
    }

    if (!done && report && m_pCurrentRequest)
        m_pCurrentRequest->m_Result.TakeOutcome(ended);
    m_pIPEngineReq.reset();
    return done;
}

void IPManager2::priCollectEngineRequest()
{
    if (m_pIPEngineReq) {
        if (m_pIPEngineReq->GetStatus() == kIPStatusPending) {
            // The engine writes into entries this worker holds: they stay
            // locked until it has stopped.
            DebugPrintf("IPManager2::priCleanup: IP engine request is not done!\n");
            m_pIPEngineReq->Cancel();
            while (m_pIPEngineReq->GetStatus() == kIPStatusPending)
                m_pEngine->Idle();
        }
        priFinishEngineRequest(false);
    }
    // A guard taken by a step that ended before it sent its request.
    priReleaseGuard();
}
