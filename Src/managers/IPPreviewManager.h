#pragma once
// Quick display pictures of a raw file made from the previews the camera
// embedded in it, without developing it. A sub-manager of one per-image
// worker: it shares the worker's data retriever and engine and sends its
// properties request through the worker's back door.
//
// The embedded picture that best fits the asked crop is chosen (the smallest
// that covers it, else the largest that does not), turned into a display
// pixmap, softened in its chroma when it is small, turned by the file's
// ROTATION and scaled to the crop's size. The result is kept in the image
// cache under a label of its own (file, identity, size, crop and rotation),
// so the same preview is served from the cache next time.
#include "fileio/loaders/FDataRetrieverRequest.h"
#include "foundation/FStopwatch.h"
#include "foundation/FString.h"
#include "foundation/FValueTypes.h"
#include "managers/FHeldRef.h"
#include "managers/FIPManager.h"
#include "managers/IPManagerData.h"

#include <cstdint>
#include <memory>

class FICacheObject;
class FIDataRetriever;
class FIIPEngine2;
class FIPERequestRotate;
class FImage;
class FPropTree;

// A preview is softened when it has fewer pixels than this.
constexpr int64_t kPreviewChromaBlurLimit = 250000;

class IPPreviewManager final : public FIPManager {
public:
    enum : int {
        kStateIdle = 0,
        kStateRequestProperties = 1,
        kStateWaitProperties = 2,
        kStateAllocate = 3,
        kStateNextEmbeddedImage = 4,
        kStateChooseEmbeddedImage = 5,
        kStateLoadImage = 6,
        kStateProcessImage = 7,
        kStateRotate = 8,
        kStateWaitRotate = 9,
        kStateResize = 10,
        kStateComplete = 13,
    };

    // worker is the owning worker's back door; the three must outlive this.
    IPPreviewManager(FIPManager* worker, FIDataRetriever* retriever, FIIPEngine2* engine);
    IPPreviewManager(const IPPreviewManager&) = delete;
    IPPreviewManager& operator=(const IPPreviewManager&) = delete;
    // A request still held ends cancelled.
    ~IPPreviewManager() override;

    bool IsBusy() override { return m_pRequest != nullptr; }
    void Idle() override;
    void Request(IPManagerData* request) override;

private:
    struct Candidate {
        int32_t index = -1;
        int32_t width = 0;
        int32_t height = 0;
        int32_t pixelType = 0;
        int32_t imageType = 0;
    };

    void priProcessIdle();
    void priRunState(int state);
    void priFail(int32_t error, const char* text);
    void priEndRequest();

    void priRequestProperties();
    void priWaitProperties();
    void priAllocate();
    void priNextEmbeddedImage();
    void priChooseEmbeddedImage();
    void priLoadImage();
    void priProcessImage();
    void priRotate();
    void priWaitRotate();
    void priResize();
    void priComplete();

    // False with the request failed when the retriever still runs a request.
    bool priRetrieverFree(const char* busyText);
    // Copies a finished retriever request's failure into the request; true
    // when it ended done.
    bool priRetrieverDone();
    void priCleanup();

    FIPManager* m_pWorker;
    FIDataRetriever* m_pRetriever;
    FIIPEngine2* m_pEngine;
    FDataRetrieverRequest m_RetrieverRequest;
    std::unique_ptr<FIPERequestRotate> m_pIPEngineReq;

    FStopwatch m_Stopwatch;
    int m_iState = kStateIdle;
    IPManagerData* m_pRequest = nullptr;
    IPManagerData m_SubRequest;
    FPropTree* m_pProps = nullptr; // the file's properties, owned
    FString m_sLabel;
    FCacheEntryLock m_pPreviewEntry;
    bool m_bEntryMutexHeld = false;
    int32_t m_iRotation = 0;
    int32_t m_iCountdown = 0;
    Candidate m_Covering; // the smallest picture that covers the crop
    Candidate m_Smaller;  // the largest picture that does not
    Candidate m_Chosen;
    FIntSize m_FittedSize;
    FIntRect m_FittedCrop;
    FImageRef m_pLoadedImage;
    FImageRef m_pRotatedImage;
};

FIPManager* CreatePreviewManager(FIPManager* worker, FIDataRetriever* retriever, FIIPEngine2* engine);
