#include "managers/IPManager2.h"

#include "engine/core/FIPEngine2.h"
#include "fileio/container/CambData.h"
#include "foundation/FAssert.h"
#include "foundation/FCache.h"
#include "foundation/FException.h"
#include "foundation/FIFile.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPropTree.h"
#include "foundation/FWideText.h"
#include "managers/FDataObject.h"
#include "managers/FDataRetriever.h"
#include "managers/IPMCacheEntry.h"
#include "managers/IPManager2Private.h"
#include "managers/IPManagerData.h"
#include "managers/TimeSlicedLoop.h"

#include <new>

using namespace ipmanager2;

namespace {

constexpr double kSliceSeconds = 0.01;

// The share of a whole develop that is done when a state begins.
constexpr double kStateProgress[IPManager2::kStateCount] = {
    0, 0, 0, 0, 0, 0.1, 0.1, 0.19, 0.19, 0.2, 0.2, 0.25, 0.25,
    0.8, 0.8, 0.825, 0.825, 0.838, 0.838, 0.85, 0.85, 0.9, 1, 1, 1, 1,
};

FString ExceptionText(const char* format, const FException& e)
{
    const FNarrowString text(format, e.GetDescription(), e.GetMessage());
    return WideFromSystemText(text.GetText());
}

} // namespace

FIPManager* CreateIPManager2()
{
    try {
        return new IPManager2;
    } catch (const std::bad_alloc&) {
        return nullptr;
    } catch (const FException&) {
        return nullptr;
    }
}

void ReleaseIPManager(FIPManager*& manager)
{
    if (dynamic_cast<IPManager2*>(manager))
        delete manager;
    manager = nullptr;
}

bool FIPManagerPrivate::IsBusy()
{
    return m_Owner.m_pCurrentRequest != nullptr;
}

void FIPManagerPrivate::Idle()
{
    m_Owner.Idle();
}

void FIPManagerPrivate::Request(IPManagerData* request)
{
    m_Owner.priDispatchRequest(request);
}

IPManager2::IPManager2() : IPManager2(CreateIPEngine2()) {}

IPManager2::IPManager2(FIIPEngine2* engine) : m_pRetriever(CreateDataRetriever()), m_pEngine(engine)
{
    if (!m_pRetriever || !m_pEngine) {
        DeleteDataRetriever(m_pRetriever);
        SafeDelete(m_pEngine);
        throw std::bad_alloc();
    }
}

IPManager2::~IPManager2()
{
    m_pSaveManager.reset();
    m_pPreviewManager.reset();
    if (m_pCurrentRequest && m_pCurrentRequest->m_Result.IsPending())
        m_pCurrentRequest->m_Result.Finish(kIPStatusCancelled);
    m_pCurrentRequest = nullptr;
    priCleanup();
    DeleteDataRetriever(m_pRetriever);
    priReleaseUncollectedData();
    SafeDelete(m_pEngine);
    m_pPrivate.reset();
}

bool IPManager2::IsBusy()
{
    return m_pCurrentRequest || m_pHeldSaveRequest || m_pHeldPreviewRequest;
}

void IPManager2::Request(IPManagerData* request)
{
    if (!request)
        return;
    if (m_pHeldSaveRequest || m_pHeldPreviewRequest) {
        request->m_Result.Fail(kIPErrorBusy, "IPManager2 is busy.");
        return;
    }
    priDispatchRequest(request);
}

void IPManager2::priDispatchRequest(IPManagerData* request)
{
    if (!request)
        return;
    if (m_pCurrentRequest) {
        request->m_Result.Fail(kIPErrorBusy, "IPManager2 is busy.");
        return;
    }
    request->m_Result.m_eError = kIPErrorNone;
    switch (request->m_eKind) {
    case kIPRequestNone:
        request->m_Result.Finish(kIPStatusDone);
        break;
    case kIPRequestProperties:
        priHandlePropertiesRequest(*request);
        break;
    case kIPRequestPreview:
        priHandlePreviewRequest(*request);
        break;
    case kIPRequestSave:
        priHandleSaveRequest(*request);
        break;
    case kIPRequestModifyProperties:
        priHandleModifyRequest(*request);
        break;
    case kIPRequestDevelop:
    case kIPRequestAutoAdjust:
    case kIPRequestNeutralAtPoint:
    case kIPRequestIlluminants:
    case kIPRequestColorModes:
        priStartPipeline(*request);
        break;
    default:
        request->m_Result.Fail(kIPErrorUnsupportedRequest);
        break;
    }
}

bool IPManager2::priEnsurePrivate()
{
    if (!m_pPrivate)
        m_pPrivate.reset(new (std::nothrow) FIPManagerPrivate(*this));
    return m_pPrivate != nullptr;
}

void IPManager2::priHandlePreviewRequest(IPManagerData& request)
{
    if (!m_pPreviewManager && priEnsurePrivate())
        m_pPreviewManager.reset(CreatePreviewManager(m_pPrivate.get(), m_pRetriever, m_pEngine));
    if (!m_pPreviewManager) {
        request.m_Result.Fail(kIPErrorException,
                              "IPManager2::priHandlePreviewRequest: Unable to create FIPPreviewManager!");
        return;
    }
    m_pPreviewManager->Request(&request);
    if (request.m_Result.IsPending())
        m_pHeldPreviewRequest = &request;
}

void IPManager2::priHandleSaveRequest(IPManagerData& request)
{
    if (!m_pSaveManager && priEnsurePrivate())
        m_pSaveManager.reset(CreateSaveManager(m_pPrivate.get()));
    if (!m_pSaveManager) {
        request.m_Result.Fail(kIPErrorException, "IPManager2::priHandleSaveRequest: Unable to create FIPSaveManager!");
        return;
    }
    m_pSaveManager->Request(&request);
    if (request.m_Result.IsPending())
        m_pHeldSaveRequest = &request;
}

void IPManager2::priStartPipeline(IPManagerData& request)
{
    // A record its caller cancelled before its turn came ends so, without
    // running: its status is never set back to pending.
    if (request.m_Result.m_eStatus == kIPStatusCancelled)
        return;
    if (request.m_eKind == kIPRequestDevelop && !priCheckDevelopRequest(request))
        return;
    m_iState = kStateBegin;
    m_pCurrentRequest = &request;
    request.m_Result.Begin(kIPStatusPending);
    m_RequestStopwatch.Start();
    priProcessIdle();
}

void IPManager2::Idle()
{
    if (m_pCurrentRequest) {
        priProcessIdle();
    } else {
        m_pEngine->Idle();
        m_pRetriever->Idle();
    }
    if (m_pSaveManager)
        m_pSaveManager->Idle();
    if (m_pPreviewManager)
        m_pPreviewManager->Idle();
    if (m_pHeldSaveRequest && !m_pHeldSaveRequest->m_Result.IsPending())
        m_pHeldSaveRequest = nullptr;
    if (m_pHeldPreviewRequest && !m_pHeldPreviewRequest->m_Result.IsPending())
        m_pHeldPreviewRequest = nullptr;
}

// ---------------------------------------------------------------------------
// The state machine

void IPManager2::priProcessIdle()
{
    if (!m_pCurrentRequest)
        return;
    try {
        if (m_pCurrentRequest->m_Result.m_eStatus == kIPStatusCancelled) {
            if (m_pIPEngineReq && m_pIPEngineReq->GetStatus() == kIPStatusPending)
                m_pIPEngineReq->Cancel();
            if (m_RetrieverRequest.IsPending())
                m_RetrieverRequest.Cancel();
        }
        RunTimeSlice(kSliceSeconds, m_iState, [this] { return m_pCurrentRequest != nullptr; }, [this] {
            m_pEngine->Idle();
            m_pRetriever->Idle();
            priRunState(m_iState);
            if (m_pCurrentRequest && m_pCurrentRequest->m_Result.m_eStatus != kIPStatusPending)
                priEndRequest();
        });
    } catch (const FExceptionFileIO& e) {
        priFailCurrent(kIPErrorFileIO,
                       ExceptionText("IPManager2::priProcessIdle: caught FExceptionFileIO(%s, %s)!", e));
        priEndRequest();
    } catch (const FException& e) {
        DebugPrintf("IPManager2::priProcessIdle caught unhandled FException(%s, %s)\n", e.GetDescription(),
                    e.GetMessage());
        priFailCurrent(kIPErrorException, ExceptionText("IPManager2::priProcessIdle: caught FException(%s, %s)!", e));
        priEndRequest();
    } catch (...) {
        DebugPrintf("IPManager2::priProcessIdle caught unhandled unknown exception\n");
        priFailCurrent(kIPErrorException, "IPManager2::priProcessIdle: caught exception!");
        priEndRequest();
    }
}

void IPManager2::priRunState(int state)
{
    switch (state) {
    case kStateIdle:
        DebugPrintf("IPManager2: Someone left the a request open and the state machine in the Idle state.");
        priFailCurrent(kIPErrorException, "IPManager2: request left open in the idle state.");
        break;
    case kStateBegin:
        priBeginRequest();
        break;
    case kStateLoadCamfile:
        priLoadCamfile();
        break;
    case kStateWaitCamfile:
        priWaitCamfile();
        break;
    case kStateCompleteAutoAdjust:
        priCompleteAutoAdjust();
        break;
    case kStateCompleteNeutralAtPoint:
        priCompleteNeutralAtPoint();
        break;
    case kStateCompleteIlluminants:
        priCompleteGetIlluminants();
        break;
    case kStateCompleteColorModes:
        priCompleteGetColorModeList();
        break;
    default:
        if (state > kStateBegin && state <= kStateCompleteDevelop) {
            priRunDevelopState(state);
            break;
        }
        DebugPrintf("IPManager2: IPManager2 in an invalid state.");
        priFailCurrent(kIPErrorException, "IPManager2: IPManager2 in an invalid state.");
        break;
    }
}

void IPManager2::priEndRequest()
{
    m_RequestStopwatch.Stop();
    m_pCurrentRequest = nullptr;
    m_iState = kStateIdle;
    priCleanup();
}

void IPManager2::priFailCurrent(int32_t error, const char* text)
{
    priFailCurrent(error, text ? WideFromSystemText(text) : FString());
}

void IPManager2::priFailCurrent(int32_t error, const FString& text)
{
    m_iState = kStateIdle;
    if (m_pCurrentRequest)
        m_pCurrentRequest->m_Result.Fail(error, text);
}

void IPManager2::priWriteProgress(int state, int next, double x)
{
    if (!m_pCurrentRequest || state < 0 || next < 0 || state >= kStateCount || next >= kStateCount)
        return;
    const double base = kStateProgress[m_iStartState >= 0 && m_iStartState < kStateCount ? m_iStartState : 0];
    if (base >= 1.0)
        return;
    const double done = (1.0 - x) * kStateProgress[state] + x * kStateProgress[next];
    m_pCurrentRequest->m_Result.m_dProgress = (done - base) / (1.0 - base);
}

bool IPManager2::priRetrieverFree(const char* busyText)
{
    if (!m_RetrieverRequest.IsPending())
        return true;
    priFailCurrent(kIPErrorException, busyText);
    return false;
}

// ---------------------------------------------------------------------------
// State 1: labels, retiring superseded results, where to start

void IPManager2::priBeginRequest()
{
    IPManagerData& request = *m_pCurrentRequest;
    if (!priGetUniqueID(request, m_sUniqueID))
        return;
    priCleanup();

    if (request.m_eKind == kIPRequestNeutralAtPoint) {
        request.m_OutputSize.Set(100, 100);
        request.m_Crop.Set(0, 0, 100, 100);
    }
    if (request.m_eKind == kIPRequestIlluminants || request.m_eKind == kIPRequestColorModes) {
        m_iState = kStateLoadCamfile;
        m_iAfterLoadState =
            request.m_eKind == kIPRequestIlluminants ? kStateCompleteIlluminants : kStateCompleteColorModes;
        m_iStartState = kStateLoadCamfile;
        return;
    }
    const bool region = request.m_Crop.right - request.m_Crop.left < request.m_OutputSize.width ||
                        request.m_Crop.bottom - request.m_Crop.top < request.m_OutputSize.height;

    priGetCaptureProps(request);
    if (request.m_Result.IsFailed())
        return;

    m_iRawIndex = m_iDarkIndex = m_iDarkSubIndex = kNoImage;
    m_aStage1Results.fill(0);
    m_Labels = BuildIPManagerLabels(request, *m_pCaptureProps, m_sUniqueID);
    m_iAfterLoadState = kStateStage1;

    const bool autoAdjust = request.m_eKind == kIPRequestAutoAdjust;
    priRetireLabel(m_Labels.m_sStage2Out, m_RememberedLabels.m_sStage2Out, kPriorityRetiredStage2);
    priRetireLabel(m_Labels.m_sStage2OutRtnx, m_RememberedLabels.m_sStage2OutRtnx, kPriorityRetiredStage2);
    priRetireLabel(m_Labels.m_sStage2OutRefKV, m_RememberedLabels.m_sStage2OutRefKV, kPriorityRetiredStage2);
    priRetireLabel(m_Labels.m_sStage1Out, m_RememberedLabels.m_sStage1Out, 0);
    if (!autoAdjust) {
        priRetireLabel(m_Labels.m_sStage4Out, m_RememberedLabels.m_sStage4Out, region ? 0 : 4);
        priRetireLabel(m_Labels.m_sStage3Out, m_RememberedLabels.m_sStage3Out, region ? 0 : 3);
        priRetireLabel(m_Labels.m_sStage3OutL, m_RememberedLabels.m_sStage3OutL, region ? 0 : 3);
        priRetireLabel(m_Labels.m_sStage3OutRtnx, m_RememberedLabels.m_sStage3OutRtnx, region ? 0 : 3);
        priRetireLabel(m_Labels.m_sToneLUT, m_RememberedLabels.m_sToneLUT, kPriorityRetiredLUT);
        priRetireLabel(m_Labels.m_sGammaLUT, m_RememberedLabels.m_sGammaLUT, kPriorityRetiredLUT);
        priRetireLabel(m_Labels.m_sRtnxLUT, m_RememberedLabels.m_sRtnxLUT, kPriorityRetiredLUT);
    }
    priChooseStartState(region, autoAdjust);
}

void IPManager2::priRetireLabel(const FString& label, FString& remembered, uint32_t priority)
{
    if (label != remembered) {
        if (remembered.GetLength() > 0) {
            if (FICacheObject* old = FindCacheEntry(remembered)) {
                old->SetPriority(priority);
                old->Unlock();
            }
        }
        remembered = label;
    }
}

bool IPManager2::priChooseStartState(bool region, bool autoAdjust)
{
    const IPManagerData& request = *m_pCurrentRequest;
    auto startAt = [this](int state, int afterLoad, int start) {
        m_iState = state;
        m_iAfterLoadState = afterLoad;
        m_iStartState = start;
    };

    if (!autoAdjust) {
        if ((m_Held.stage4 = FindCacheEntry(m_Labels.m_sStage4Out))) {
            m_Held.stage4->SetPriority(region ? 0u : uint32_t(kPriorityStage4));
            if (IsPixmapDone(m_Held.stage4)) {
                startAt(kStateCompleteDevelop, m_iAfterLoadState, kStateCompleteDevelop);
                return true;
            }
        }
        m_Held.stage3 = FindCacheEntry(m_Labels.m_sStage3Out);
        m_Held.stage3Lightness = FindCacheEntry(m_Labels.m_sStage3OutL);
        m_Held.stage3Retinex = FindCacheEntry(m_Labels.m_sStage3OutRtnx);
        if (m_Held.stage3 && m_Held.stage3Lightness && m_Held.stage3Retinex) {
            for (FICacheObject* entry : {m_Held.stage3.get(), m_Held.stage3Lightness.get(), m_Held.stage3Retinex.get()})
                entry->SetPriority(region ? 0u : uint32_t(kPriorityStage3));
            if (IsPixmapDone(m_Held.stage3)) {
                startAt(kStateLoadCamfile, kStateToneLUT, kStateLoadCamfile);
                return true;
            }
        }
    }

    m_Held.stage2 = FindCacheEntry(m_Labels.m_sStage2Out);
    m_Held.stage2Retinex = FindCacheEntry(m_Labels.m_sStage2OutRtnx);
    m_Held.stage2Reference = FindCacheEntry(m_Labels.m_sStage2OutRefKV);
    if (m_Held.stage2 && m_Held.stage2Retinex && m_Held.stage2Reference) {
        for (FICacheObject* entry : {m_Held.stage2.get(), m_Held.stage2Retinex.get(), m_Held.stage2Reference.get()})
            entry->SetPriority(kPriorityStage2);
        int next = kStateStage2;
        if (IsPixmapDone(m_Held.stage2)) {
            next = request.m_eKind == kIPRequestAutoAdjust       ? kStateCompleteAutoAdjust
                   : request.m_eKind == kIPRequestNeutralAtPoint ? kStateCompleteNeutralAtPoint
                                                                  : kStateStage3;
        }
        startAt(kStateLoadCamfile, next, next);
        return true;
    }
    m_Held.stage2.reset();

    if ((m_Held.stage1 = FindCacheEntry(m_Labels.m_sStage1Out))) {
        m_Held.stage1->SetPriority(kPriorityStage1);
        if (IsPixmapDone(m_Held.stage1)) {
            startAt(kStateLoadCamfile, kStateStage2, kStateStage2);
            return true;
        }
    }
    startAt(kStateFindImages, m_iAfterLoadState, kStateFindImages);
    return false;
}

// ---------------------------------------------------------------------------
// States 7 and 8: the camera data

void IPManager2::priLoadCamfile()
{
    IPManagerData& request = *m_pCurrentRequest;
    if (request.m_Result.m_bCancel) {
        request.m_Result.Finish(kIPStatusCancelled);
        return;
    }
    if (request.m_sCamfileURL.GetLength() > 0) {
        const FFilePtr file(OpenFileByURL(request.m_sCamfileURL, FIFile::OPEN_READ));
        if (!file) {
            priFailCurrent(kIPErrorFileNotFound, "FIPManager::priLoadCamfile: external camfile not found.");
            return;
        }
        const int64_t size = file->GetSize();
        m_ExternalCamfile.assign(size_t(size > 0 ? size : 0), 0);
        if (size > 0)
            file->ReadExact(m_ExternalCamfile.data(), size);
        m_pCambData = std::make_unique<FCamdata>(m_ExternalCamfile.data(), m_ExternalCamfile.size());
        m_iState = m_iAfterLoadState;
        return;
    }
    if (!priRetrieverFree("FIPManager::priLoadCamfile: data retriever is busy!"))
        return;
    priPrepareRetrieverRequest(request.m_sURL, kRetrieverData, kRetrieverDataCambFile, 0);
    m_pRetriever->Request(&m_RetrieverRequest);
    m_iState = kStateWaitCamfile;
}

bool IPManager2::priRetrieverDelivered(int state, int next)
{
    const int status = m_RetrieverRequest.GetStatus();
    if (status == kIPStatusPending) {
        priWriteProgress(state, next, m_RetrieverRequest.GetProgress());
        return false;
    }
    if (status != kIPStatusDone) {
        IPRequestResult& result = m_pCurrentRequest->m_Result;
        result.TakeOutcome(m_RetrieverRequest);
        if (result.m_eError == kIPErrorException)
            result.m_eError = kIPErrorFileIO;
        return false;
    }
    return true;
}

void IPManager2::priWaitCamfile()
{
    if (!priRetrieverDelivered(kStateWaitCamfile, m_iAfterLoadState))
        return;
    m_Held.camfile = GetRetrievedObject(m_RetrieverRequest);
    m_RetrieverRequest.m_SlotA = 0;
    m_pCambData = std::make_unique<FCamdata>(m_Held.camfile->GetCamfileData(), m_Held.camfile->GetCamfileSize());
    priWriteProgress(kStateWaitCamfile, m_iAfterLoadState, 1.0);
    m_iState = m_iAfterLoadState;
}

// ---------------------------------------------------------------------------
// Releasing what a request held

void IPManager2::priCleanup()
{
    if (m_RetrieverRequest.IsPending())
        DebugPrintf("IPManager2::priCleanup: retriever request is not done!\n");
    priCollectEngineRequest();

    // The camera data reads the camfile object's bytes: it goes first.
    m_pCambData.reset();
    m_ExternalCamfile.clear();
    m_pCaptureProps = nullptr; // owned by the properties entry
    m_Held = RequestHolds{};
}
