#include "managers/IPPreviewManager.h"

#include "engine/chroma/ChromaBlur.h"
#include "engine/core/FIPEngine2.h"
#include "engine/geometry/ResizeDisplayPixmap.h"
#include "foundation/FAssert.h"
#include "foundation/FCache.h"
#include "foundation/FImage.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "foundation/FSync.h"
#include "foundation/PixelConversion.h"
#include "managers/FDataObject.h"
#include "managers/FDataRetriever.h"
#include "managers/FIPMImage.h"
#include "managers/FRotation16.h"
#include "managers/IPMCacheEntry.h"
#include "managers/TimeSlicedLoop.h"

#include <algorithm>
#include <new>

namespace {

constexpr double kSliceSeconds = 0.01;
constexpr uint32_t kPreviewPriority = 20;
constexpr int32_t kEmbeddedPreview = 4;
constexpr int32_t kChromaBlurStrength = 1200;
constexpr int32_t kChromaBlurOffset = 12;

// Turns a crop and the size it lies in by angle degrees. The fixed-point turn
// lands exclusive rectangles one unit before 0 on the axes it mirrors; such a
// rectangle is moved back inside, keeping its size, so a whole-picture crop
// stays the whole turned picture.
void TurnCrop(FIntRect& crop, FIntSize& size, int32_t angle)
{
    if (angle % 360 == 0)
        return;
    RotateRectBounds(crop, size, angle);
    if (crop.left < 0) {
        crop.right -= crop.left;
        crop.left = 0;
    }
    if (crop.top < 0) {
        crop.bottom -= crop.top;
        crop.top = 0;
    }
}

int32_t Width(const FIntRect& rect) { return rect.right - rect.left; }
int32_t Height(const FIntRect& rect) { return rect.bottom - rect.top; }

} // namespace

FIPManager* CreatePreviewManager(FIPManager* worker, FIDataRetriever* retriever, FIIPEngine2* engine)
{
    if (!worker || !retriever || !engine)
        return nullptr;
    return new (std::nothrow) IPPreviewManager(worker, retriever, engine);
}

IPPreviewManager::IPPreviewManager(FIPManager* worker, FIDataRetriever* retriever, FIIPEngine2* engine)
    : m_pWorker(worker), m_pRetriever(retriever), m_pEngine(engine)
{
}

IPPreviewManager::~IPPreviewManager()
{
    if (m_pRequest && m_pRequest->m_Result.IsPending())
        m_pRequest->m_Result.Finish(kIPStatusCancelled);
    m_pRequest = nullptr;
    priCleanup();
}

void IPPreviewManager::Request(IPManagerData* request)
{
    if (!request)
        return;
    IPRequestResult& result = request->m_Result;
    if (m_pRequest) {
        result.Fail(kIPErrorBusy, "IPPreviewManager is busy.");
        return;
    }
    if (request->m_eKind != kIPRequestPreview) {
        result.Fail(kIPErrorUnsupportedRequest, "IPPreviewManager can only handle Preview requests.");
        return;
    }
    if (request->m_eOutputFormat != kDisplay) {
        result.Fail(kIPErrorBadParameter, "IPPreviewManager: cannot process a preview for non-display output format.");
        return;
    }
    m_iState = kStateRequestProperties;
    m_pRequest = request;
    result.Begin(kIPStatusPending);
    m_Stopwatch.Start();
    Idle();
}

void IPPreviewManager::Idle()
{
    if (!m_pRequest)
        return;
    if (m_pRequest->m_Result.m_bCancel) {
        if (m_pIPEngineReq && m_pIPEngineReq->GetStatus() == kIPStatusPending)
            m_pIPEngineReq->Cancel();
        if (m_RetrieverRequest.IsPending())
            m_RetrieverRequest.Cancel();
    }
    priProcessIdle();
}

void IPPreviewManager::priProcessIdle()
{
    try {
        RunTimeSlice(kSliceSeconds, m_iState, [this] { return m_pRequest != nullptr; }, [this] {
            m_pEngine->Idle();
            m_pRetriever->Idle();
            priRunState(m_iState);
            if (m_pRequest && !m_pRequest->m_Result.IsPending())
                priEndRequest();
        });
    } catch (...) {
        priFail(kIPErrorException, "IPPreviewManager::priProcessIdle: caught exception!");
        priEndRequest();
    }
}

void IPPreviewManager::priRunState(int state)
{
    switch (state) {
    case kStateRequestProperties:
        return priRequestProperties();
    case kStateWaitProperties:
        return priWaitProperties();
    case kStateAllocate:
        return priAllocate();
    case kStateNextEmbeddedImage:
        return priNextEmbeddedImage();
    case kStateChooseEmbeddedImage:
        return priChooseEmbeddedImage();
    case kStateLoadImage:
        return priLoadImage();
    case kStateProcessImage:
        return priProcessImage();
    case kStateRotate:
        return priRotate();
    case kStateWaitRotate:
        return priWaitRotate();
    case kStateResize:
        return priResize();
    case kStateComplete:
        return priComplete();
    case kStateIdle:
        DebugPrintf("IPPreviewManager: Someone left a request open and the state machine in the Idle state.");
        return priFail(kIPErrorException, "IPPreviewManager: request left open in the idle state.");
    default:
        DebugPrintf("IPPreviewManager: IPPreviewManager in an invalid state.");
        return priFail(kIPErrorException, "IPPreviewManager: IPPreviewManager in an invalid state.");
    }
}

void IPPreviewManager::priFail(int32_t error, const char* text)
{
    if (m_pRequest)
        m_pRequest->m_Result.Fail(error, text);
}

void IPPreviewManager::priEndRequest()
{
    m_Stopwatch.Stop();
    m_pRequest = nullptr;
    m_iState = kStateIdle;
    priCleanup();
}

bool IPPreviewManager::priRetrieverFree(const char* busyText)
{
    if (!m_RetrieverRequest.IsPending())
        return true;
    priFail(kIPErrorException, busyText);
    return false;
}

bool IPPreviewManager::priRetrieverDone()
{
    if (m_RetrieverRequest.GetStatus() == kIPStatusDone)
        return true;
    m_pRequest->m_Result.TakeOutcome(m_RetrieverRequest);
    return false;
}

// ---------------------------------------------------------------------------
// States

void IPPreviewManager::priRequestProperties()
{
    if (m_SubRequest.m_Result.IsPending()) {
        priFail(kIPErrorException, "IPPreviewManager::priPreviewRequestProperties: IP Manager is busy!");
        return;
    }
    DeletePropTree(m_pProps);
    m_pProps = new FPropTree(nullptr, "ImageProps");
    m_SubRequest.Reset();
    m_SubRequest.m_eKind = kIPRequestProperties;
    m_SubRequest.m_sURL = m_pRequest->m_sURL;
    std::swap(m_SubRequest.m_pImageProps, m_pProps); // the sub-request fills this manager's tree
    m_pWorker->Request(&m_SubRequest);
    m_iState = kStateWaitProperties;
}

void IPPreviewManager::priWaitProperties()
{
    if (m_SubRequest.m_Result.IsPending())
        return;
    std::swap(m_SubRequest.m_pImageProps, m_pProps);
    if (m_SubRequest.m_Result.m_eStatus == kIPStatusDone)
        m_iState = kStateAllocate;
    else
        m_pRequest->m_Result = m_SubRequest.m_Result;
}

void IPPreviewManager::priAllocate()
{
    IPManagerData& request = *m_pRequest;
    const FString fallback("NO-UNIQUEID");
    const FString uniqueID = *m_pProps->GetValue(FString("UNIQUEID"), &fallback);
    m_iRotation = m_pProps->GetInt(FString("ROTATION"), 0);

    FString suffix;
    suffix.Format("-IPManagerPreview-%dx%d-%dx%dx%dx%d,%d", request.m_OutputSize.width, request.m_OutputSize.height,
                  request.m_Crop.left, request.m_Crop.top, request.m_Crop.right, request.m_Crop.bottom, m_iRotation);
    m_sLabel = request.m_sURL;
    m_sLabel += "-";
    m_sLabel += uniqueID;
    m_sLabel += suffix;

    // Only a finished preview is served; one still being made elsewhere is
    // made again here, under the entry's guard (state 10).
    if (FICacheObject* found = FindCacheEntry(m_sLabel)) {
        if (IsEntryDone(PixmapEntryHeader(found)->m_bDone)) {
            m_pPreviewEntry = found;
            m_iState = kStateComplete;
            return;
        }
        found->Unlock();
    }

    if (!priRetrieverFree("IPPreviewManager::priHandlePreviewAllocate: data retriever is busy!"))
        return;
    SetRetrieverRequest(m_RetrieverRequest, request.m_sURL, kRetrieverInfo, kRetrieverInfoImageCount, 0);
    m_pRetriever->Request(&m_RetrieverRequest);
    while (m_RetrieverRequest.IsPending())
        m_pRetriever->Idle();
    if (!priRetrieverDone())
        return;
    m_iCountdown = int32_t(m_RetrieverRequest.m_Index);
    TurnCrop(request.m_Crop, request.m_OutputSize, -m_iRotation);
    m_Covering = Candidate();
    m_Smaller = Candidate();
    m_iState = kStateNextEmbeddedImage;
}

void IPPreviewManager::priNextEmbeddedImage()
{
    --m_iCountdown;
    if (m_iCountdown >= 0) {
        if (!priRetrieverFree("IPPreviewManager::priPreviewNextEmbeddedImage: data retriever is busy!"))
            return;
        SetRetrieverRequest(m_RetrieverRequest, m_pRequest->m_sURL, kRetrieverInfo, kRetrieverInfoImage,
                            m_iCountdown);
        m_pRetriever->Request(&m_RetrieverRequest);
    }
    m_iState = kStateChooseEmbeddedImage;
}

void IPPreviewManager::priChooseEmbeddedImage()
{
    if (m_iCountdown >= 0) {
        if (m_RetrieverRequest.IsPending())
            return;
        if (!priRetrieverDone())
            return;
        Candidate image;
        image.index = m_iCountdown;
        image.width = int32_t(m_RetrieverRequest.m_SlotA);
        image.height = m_RetrieverRequest.m_iSlotB;
        image.imageType = m_RetrieverRequest.m_iSlotC;
        image.pixelType = int32_t(m_RetrieverRequest.m_SlotD);
        // A picture without pixels cannot be scaled to anything.
        if (image.imageType == kEmbeddedPreview && image.pixelType != 0 && image.width > 0 && image.height > 0) {
            const FIntRect& crop = m_pRequest->m_Crop;
            if (image.width < Width(crop) && image.height < Height(crop)) {
                if (m_Smaller.index < 0 || image.width > m_Smaller.width)
                    m_Smaller = image;
            } else if (m_Covering.index < 0 || image.width < m_Covering.width) {
                m_Covering = image;
            }
        }
        if (m_iCountdown > 0) {
            m_iState = kStateNextEmbeddedImage;
            return;
        }
    }
    m_Chosen = m_Covering.index >= 0 ? m_Covering : m_Smaller;
    if (m_Chosen.index < 0) {
        priFail(kIPErrorNoPreview, "No preview images found in image file");
        return;
    }
    m_iState = kStateLoadImage;
}

void IPPreviewManager::priLoadImage()
{
    IPManagerData& request = *m_pRequest;
    if (request.m_Result.m_bCancel) {
        request.m_Result.Finish(kIPStatusCancelled);
        return;
    }
    FIntSize size = request.m_OutputSize;
    FIntRect crop = request.m_Crop;
    const double w = m_Chosen.width;
    const double h = m_Chosen.height;
    if (size.width > 0 && size.height > 0) {
        if (h / w < double(size.height) / size.width)
            size.height = int32_t(size.width * h / w);
        else
            size.width = int32_t(size.height * w / h);
    }
    // The crop must keep at least one pixel inside the fitted picture.
    crop.left = std::max(crop.left, 0);
    crop.top = std::max(crop.top, 0);
    crop.right = std::min(crop.right, size.width);
    crop.bottom = std::min(crop.bottom, size.height);
    if (size.width <= 0 || size.height <= 0 || crop.left >= crop.right || crop.top >= crop.bottom) {
        priFail(kIPErrorBadParameter,
                "IPPreviewManager::priPreviewLoadImage: cropping rectangle is outside of image size.");
        return;
    }
    m_FittedSize = size;
    m_FittedCrop = crop;

    if (!priRetrieverFree("IPPreviewManager::priPreviewLoadImage: data retriever is busy!"))
        return;
    SetRetrieverRequest(m_RetrieverRequest, request.m_sURL, kRetrieverData, kRetrieverDataImage, m_Chosen.index);
    m_pRetriever->Request(&m_RetrieverRequest);
    m_iState = kStateProcessImage;
}

void IPPreviewManager::priProcessImage()
{
    if (m_RetrieverRequest.IsPending())
        return;
    if (!priRetrieverDone())
        return;
    FIDataObject* data = GetRetrievedObject(m_RetrieverRequest);
    m_RetrieverRequest.m_SlotA = 0;
    if (!data || !data->GetPixmap()) {
        ReleaseDataObject(data);
        priFail(kIPErrorNoPreview, "No preview images found in image file");
        return;
    }
    try {
        const FPixmap& loaded = *data->GetPixmap();
        m_pLoadedImage.reset();
        m_pLoadedImage = new FImage(loaded.m_iColumns, loaded.m_iRows, FPixmap::PIXEL_32_BGRA, 1);
        FPixmap* display = m_pLoadedImage->GetPixmap();
        ConvertColorPixmap(&loaded, display);
        const int64_t pixels = int64_t(display->m_iColumns) * display->m_iRows;
        if (m_pProps->GetInt(FString("PROCESSABLE"), 0) != 0 && pixels < kPreviewChromaBlurLimit)
            ChromaBlurDisplayPixmap(display, kChromaBlurStrength, kChromaBlurStrength, kChromaBlurStrength,
                                    kChromaBlurOffset);
    } catch (...) {
        ReleaseDataObject(data);
        throw;
    }
    ReleaseDataObject(data);
    m_iState = m_iRotation % 360 != 0 ? kStateRotate : kStateResize;
}

void IPPreviewManager::priRotate()
{
    const FPixmap& loaded = *m_pLoadedImage->GetPixmap();
    FIntRect bounds(0, 0, loaded.m_iColumns, loaded.m_iRows);
    FIntSize size(loaded.m_iColumns, loaded.m_iRows);
    RotateRectBounds(bounds, size, m_iRotation);
    m_pRotatedImage.reset();
    m_pRotatedImage = new FImage(size.width, size.height, FPixmap::PIXEL_32_BGRA, 1);
    m_pIPEngineReq = std::make_unique<FIPERequestRotate>();
    m_pIPEngineReq->m_pInImage = m_pLoadedImage->GetPixmap();
    m_pIPEngineReq->m_pOutImage = m_pRotatedImage->GetPixmap();
    m_pIPEngineReq->m_iAngle = m_iRotation;
    m_pEngine->Request(m_pIPEngineReq.get());
    m_iState = kStateWaitRotate;
}

void IPPreviewManager::priWaitRotate()
{
    const int32_t status = m_pIPEngineReq->GetStatus();
    if (status == kIPStatusPending)
        return;
    if (status != kIPStatusDone) {
        // A cancelled turn ends the request as cancelled; a failed one with
        // the engine's error.
        IPRequestResult& result = m_pRequest->m_Result;
        result.m_dProgress = m_pIPEngineReq->GetProgress();
        result.m_eStatus = status == kIPStatusCancelled ? kIPStatusCancelled : kIPStatusError;
        result.m_eError = m_pIPEngineReq->m_iErrorCode;
        result.m_sErrorText = m_pIPEngineReq->m_sErrorText;
        m_pIPEngineReq.reset();
        m_pLoadedImage.reset();
        m_pRotatedImage.reset();
        return;
    }
    m_pIPEngineReq.reset();
    m_pLoadedImage = std::move(m_pRotatedImage);
    TurnCrop(m_FittedCrop, m_FittedSize, m_iRotation);
    m_iState = kStateResize;
}

void IPPreviewManager::priResize()
{
    if (m_pRequest->m_Result.m_bCancel) {
        m_pRequest->m_Result.Finish(kIPStatusCancelled);
        return;
    }
    if (!m_pPreviewEntry) {
        m_pPreviewEntry =
            GetPixmapCacheEntry(m_sLabel, FPixmap::PIXEL_32_BGRA, Width(m_FittedCrop), Height(m_FittedCrop));
        if (!m_pPreviewEntry) {
            m_pLoadedImage.reset();
            priFail(kIPErrorOutOfMemory, "IPPreviewManager::priPreviewResize: Cache allocation failed.");
            return;
        }
    }
    FPixmapEntryHeader& header = *PixmapEntryHeader(m_pPreviewEntry);
    // Another worker making the same preview: wait for it, then take its result.
    if (!header.m_pMutex->Lock(0)) {
        DebugPrintf("IPPreviewManager::priPreviewResize: waiting for someone else to process.\n");
        return;
    }
    m_bEntryMutexHeld = true;
    if (!IsEntryDone(header.m_bDone)) {
        m_pPreviewEntry->SetPriority(kPreviewPriority);
        const int32_t geometry[6] = {m_FittedCrop.left, m_FittedCrop.top, m_FittedCrop.right,
                                     m_FittedCrop.bottom, m_FittedSize.width, m_FittedSize.height};
        std::copy(std::begin(geometry), std::end(geometry), header.m_aiGeometry);
        const FPixmap& image = *m_pLoadedImage->GetPixmap();
        const FIntRect from(0, 0, image.m_iColumns, image.m_iRows);
        const FIntRect to(0, 0, header.m_pPixmap->m_iColumns, header.m_pPixmap->m_iRows);
        ResizeDisplayPixmap(header.m_pPixmap, &to, &image, &from);
        SetEntryDone(header.m_bDone, true);
    }
    header.m_pMutex->Unlock();
    m_bEntryMutexHeld = false;
    m_pLoadedImage.reset();
    m_iState = kStateComplete;
}

void IPPreviewManager::priComplete()
{
    IPManagerData& request = *m_pRequest;
    auto* image = new FIPMCommon::Image(m_pPreviewEntry);
    const int32_t* geometry = PixmapEntryHeader(m_pPreviewEntry)->m_aiGeometry;
    request.m_Crop.Set(geometry[0], geometry[1], geometry[2], geometry[3]);
    request.m_OutputSize.Set(geometry[4], geometry[5]);
    m_pPreviewEntry.reset();

    auto* props = new FPropTree(nullptr, "Props");
    props->CopyPairs(m_pProps);
    props->AddPair(FString("Filename"), request.m_sURL);
    image->SetProperties(props);
    if (request.m_pResultImage)
        request.m_pResultImage->Release();
    request.m_pResultImage = image;
    request.m_Result.m_dProgress = 1.0;
    request.m_Result.Finish(kIPStatusDone);
    m_iState = kStateIdle;
}

void IPPreviewManager::priCleanup()
{
    m_SubRequest.Reset();
    if (m_pIPEngineReq) {
        // The engine writes into the images: they stay until it has stopped.
        m_pIPEngineReq->Cancel();
        while (m_pIPEngineReq->GetStatus() == kIPStatusPending)
            m_pEngine->Idle();
        m_pIPEngineReq.reset();
    }
    if (m_RetrieverRequest.IsPending()) {
        m_RetrieverRequest.Cancel();
        while (m_RetrieverRequest.IsPending())
            m_pRetriever->Idle();
    }
    if (m_RetrieverRequest.m_iKind == kRetrieverData) {
        FIDataObject* data = GetRetrievedObject(m_RetrieverRequest);
        ReleaseDataObject(data);
        m_RetrieverRequest.m_SlotA = 0;
    }
    DeletePropTree(m_pProps);
    m_pLoadedImage.reset();
    m_pRotatedImage.reset();
    if (m_pPreviewEntry) {
        // A preview this manager began and did not finish must never be found.
        FPixmapEntryHeader& header = *PixmapEntryHeader(m_pPreviewEntry);
        if (m_bEntryMutexHeld) {
            if (!IsEntryDone(header.m_bDone))
                ForgetCacheEntry(m_pPreviewEntry);
            header.m_pMutex->Unlock();
        }
        m_pPreviewEntry.reset();
    }
    m_bEntryMutexHeld = false;
    m_sLabel.Empty();
}
