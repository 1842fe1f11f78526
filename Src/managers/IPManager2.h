#pragma once
// The per-image worker behind every image request. It owns a data retriever
// and a processing engine and turns a request into a chain of results kept in
// the image cache under labels that hold every input they depend on
// (IPManagerLabels), so a later request that shares a prefix of the pipeline
// starts where the cache already has the answer.
//
// Properties and modifications complete inside Request. Develop, automatic
// adjustment, neutral at a point and the illuminant and colour-mode lists are
// pipeline requests: a state machine that Idle advances for at most 0.01 s at
// a time in the caller's thread. This file's worker runs state 1 (labels,
// retiring superseded results, choosing where to start from what is cached),
// the camera-data load (7, 8) and the completions (22 to 25); the develop
// states (2 to 6 and 9 to 21) are IPManager2::priRunDevelopState.
#include "engine/core/FIPERequest.h"
#include "fileio/loaders/FDataRetrieverRequest.h"
#include "foundation/FStopwatch.h"
#include "foundation/FString.h"
#include "managers/FHeldRef.h"
#include "managers/FIPManager.h"
#include "managers/IPManagerLabels.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

class FCamdata;
class FICacheObject;
class FIDataObject;
class FIDataRetriever;
class FIIPEngine2;
class FPropTree;
class IPManagerData;
class IPManager2;

// The back door through which a worker's preview and save managers send
// their sub-requests to that worker: accepted although the worker's own
// Request calls itself busy while the sub-manager holds a request.
class FIPManagerPrivate final : public FIPManager {
public:
    explicit FIPManagerPrivate(IPManager2& owner) : m_Owner(owner) {}
    bool IsBusy() override;
    void Idle() override;
    void Request(IPManagerData* request) override;

private:
    IPManager2& m_Owner;
};

// The sub-managers' makers; null when they cannot be made.
FIPManager* CreatePreviewManager(FIPManager* worker, FIDataRetriever* retriever, FIIPEngine2* engine);
FIPManager* CreateSaveManager(FIPManager* worker);

class IPManager2 final : public FIPManager {
public:
    // Pipeline states.
    enum : int {
        kStateIdle = 0,
        kStateBegin = 1,
        kStateFindImages = 2,
        kStateLoadRaw = 3,
        kStateWaitRaw = 4,
        kStateLoadDark = 5,
        kStateWaitDark = 6,
        kStateLoadCamfile = 7,
        kStateWaitCamfile = 8,
        kStateStage1 = 9,
        kStateWaitStage1 = 10,
        kStateStage2 = 11,
        kStateWaitStage2 = 12,
        kStateStage3 = 13,
        kStateWaitStage3 = 14,
        kStateToneLUT = 15,
        kStateWaitToneLUT = 16,
        kStateRetinexLUT = 17,
        kStateGammaLUT = 18,
        kStateStage4 = 19,
        kStateWaitStage4 = 20,
        kStateCompleteDevelop = 21,
        kStateCompleteAutoAdjust = 22,
        kStateCompleteNeutralAtPoint = 23,
        kStateCompleteIlluminants = 24,
        kStateCompleteColorModes = 25,
        kStateCount = 26,
    };
    static constexpr uint32_t kNoImage = 0xFFFFFFFF;

    IPManager2();
    // A worker whose engine is the one given (taken over; deleted with the
    // worker): tests observe or replace the engine's work through it.
    explicit IPManager2(FIIPEngine2* engine);
    IPManager2(const IPManager2&) = delete;
    IPManager2& operator=(const IPManager2&) = delete;
    // A request still running ends cancelled; the retriever and the engine
    // stop their threads.
    ~IPManager2() override;

    bool IsBusy() override;
    void Idle() override;
    void Request(IPManagerData* request) override;

    // The state the current (or last) pipeline request started at, its
    // progress base.
    int GetStartState() const { return m_iStartState; }

private:
    friend class FIPManagerPrivate;

    void priDispatchRequest(IPManagerData* request);
    void priHandlePreviewRequest(IPManagerData& request);
    void priHandleSaveRequest(IPManagerData& request);
    bool priEnsurePrivate();
    void priStartPipeline(IPManagerData& request);

    // The state machine.
    void priProcessIdle();
    void priRunState(int state);
    void priRunDevelopState(int state); // states 2 to 6 and 9 to 21

    // The develop states (IPManager2Develop.cpp).
    bool priCheckDevelopRequest(IPManagerData& request);
    void priFindImages();
    void priLoadFrame(uint32_t index, int waitState, const char* busyText);
    void priWaitFrame(FDataObjectRef& frame, int next);
    void priStage1Process();
    void priStage2Process();
    bool priTakeStage1AsStage2Output();
    void priCopyStage1IntoStage2Output();
    int priStateAfterStage2() const;
    // States 13 to 21 (IPManager2OutputStages.cpp).
    void priStage3Process();
    void priMakeToneLUT();
    void priMakeLUTInPlace(bool retinex);
    void priStage4Process();
    void priCompleteDevelop();
    // The guarded computation shared by the stages: the entry whose mutex
    // decides who computes, the engine request and its end.
    bool priFindOrAllocate(FCacheEntryLock& held, const FString& label, int32_t pixelType, int32_t width,
                           int32_t height, const char* allocationText);
    bool priFindOrAllocateLUT(FCacheEntryLock& held, const FString& label, bool colorLUT,
                              const char* allocationText);
    bool priTryGuard(FICacheObject* guard, bool lut, const char* waitText);
    void priReleaseGuard();
    void priSendEngineRequest(std::unique_ptr<FIPERequest> request, std::initializer_list<FICacheObject*> outputs,
                              int waitState);
    void priWaitEngineRequest(int state, int next);
    // Ends the engine request that has left "pending": the stage's own
    // results, the outputs marked done or its resume block saved, the guard
    // released. The outcome goes into the current request when report is set.
    bool priFinishEngineRequest(bool report);
    // Stops and ends an engine request whose request the caller has dropped.
    void priCollectEngineRequest();
    void priEndRequest();
    void priFailCurrent(int32_t error, const char* text);
    void priFailCurrent(int32_t error, const FString& text);
    // A wait state's progress: sub-request progress x towards state next.
    void priWriteProgress(int state, int next, double x);
    // False with the request failed when the retriever still runs a request.
    bool priRetrieverFree(const char* busyText);

    // State 1 and its parts.
    void priBeginRequest();
    void priRetireLabel(const FString& label, FString& remembered, uint32_t priority);
    bool priChooseStartState(bool region, bool autoAdjust);

    // Camera data.
    void priLoadCamfile();
    // Polls the data retriever: writes progress while it runs and copies its
    // failure into the request; true only once it has delivered.
    bool priRetrieverDelivered(int state, int next);
    void priWaitCamfile();

    // Properties, modifications, lists and the completions.
    bool priGetUniqueID(IPManagerData& request, FString& id);
    void priGetCaptureProps(IPManagerData& request);
    void priHandlePropertiesRequest(IPManagerData& request);
    void priHandleModifyRequest(IPManagerData& request);
    void priCompleteAutoAdjust();
    void priCompleteNeutralAtPoint();
    void priCompleteGetIlluminants();
    void priCompleteGetColorModeList();
    // Runs a retriever request to its end in this call.
    void priRunRetrieverRequest();
    // Makes m_RetrieverRequest a new request, first releasing the data object
    // of a data request that ended after its own request had gone.
    void priPrepareRetrieverRequest(const FString& url, int kind, intptr_t what, intptr_t index);
    void priReleaseUncollectedData();

    void priCleanup();

    std::unique_ptr<FIPManager> m_pSaveManager;
    std::unique_ptr<FIPManager> m_pPreviewManager;
    std::unique_ptr<FIPManagerPrivate> m_pPrivate;
    FStopwatch m_RequestStopwatch;
    IPManagerData* m_pCurrentRequest = nullptr;
    IPManagerData* m_pHeldSaveRequest = nullptr;
    IPManagerData* m_pHeldPreviewRequest = nullptr;
    FIDataRetriever* m_pRetriever = nullptr;
    FIIPEngine2* m_pEngine = nullptr;
    FDataRetrieverRequest m_RetrieverRequest;
    std::unique_ptr<FIPERequest> m_pIPEngineReq;

    int m_iState = kStateIdle;
    int m_iAfterLoadState = kStateStage1;
    int m_iStartState = kStateIdle;
    uint32_t m_iRawIndex = kNoImage;
    uint32_t m_iDarkIndex = kNoImage;
    uint32_t m_iDarkSubIndex = kNoImage;

    // What the current request holds: the frames and camera data the
    // retriever delivered and the cache entries it has found or made, each
    // locked until it is reset; all given back together when a request ends.
    struct RequestHolds {
        FDataObjectRef raw, dark, camfile;
        FCacheEntryLock props;
        FCacheEntryLock stage1;
        FCacheEntryLock stage2, stage2Retinex, stage2Reference;
        FCacheEntryLock stage3, stage3Lightness, stage3Retinex;
        FCacheEntryLock stage4;
        FCacheEntryLock toneLUT, gammaLUT, retinexLUT;
    };
    RequestHolds m_Held;
    std::vector<uint8_t> m_ExternalCamfile;
    std::unique_ptr<FCamdata> m_pCambData;

    FPropTree* m_pCaptureProps = nullptr; // owned by the "-Properties" entry

    FString m_sUniqueID;
    FIPManagerLabels m_Labels;
    FIPManagerLabels m_RememberedLabels; // of the previous request that built each
    std::array<int32_t, 6> m_aStage1Results{};

    // The guarded computation in progress: the entry whose mutex this worker
    // holds and the outputs its engine request writes (the guard first).
    FICacheObject* m_pGuardEntry = nullptr;
    bool m_bGuardIsLUT = false;
    std::array<FICacheObject*, 3> m_aEngineOutputs{};
    bool m_bEngineOutputsAreLUT = false;
};
