#include "managers/FDataRetriever.h"

#include "fileio/loaders/FILoader.h"
#include "foundation/FAssert.h"
#include "foundation/FCache.h"
#include "foundation/FException.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "foundation/FThread.h"
#include "foundation/FWideText.h"
#include "managers/FDataObject.h"
#include "managers/IPMCacheEntry.h"
#include "managers/IPManagerData.h"

#include <new>

namespace {

constexpr size_t kAlignment = 16;
constexpr size_t AlignUp(size_t size) { return (size + kAlignment - 1) / kAlignment * kAlignment; }
constexpr size_t kImageHeaderBytes = AlignUp(sizeof(FFileImageEntryHeader));
constexpr size_t kCamfileHeaderBytes = AlignUp(sizeof(FFileCamfileEntryHeader));

constexpr uint32_t kFileImagePriority = 2;
constexpr uint32_t kFileCamfilePriority = 3;
constexpr int kDestructorPolls = 9;
constexpr double kDestructorPollSeconds = 0.109;

const char* const kNotSupported = "File type not supported.";

FFileImageEntryHeader* ImageHeader(FICacheObject* entry)
{
    return static_cast<FFileImageEntryHeader*>(entry->GetData());
}

FFileCamfileEntryHeader* CamfileHeader(FICacheObject* entry)
{
    return static_cast<FFileCamfileEntryHeader*>(entry->GetData());
}

// The stored result of either kind of entry.
IPRequestResult*& StoredResultOf(FICacheObject* entry)
{
    if (ImageHeader(entry)->m_uTag == kFileImageEntryTag)
        return ImageHeader(entry)->m_pResult;
    return CamfileHeader(entry)->m_pResult;
}

void FixFileImageCacheEntry(FICacheObject* entry)
{
    uint8_t* block = static_cast<uint8_t*>(entry->GetData());
    auto* stale = reinterpret_cast<FPixmap*>(block + kImageHeaderBytes);
    const int32_t type = stale->GetPixelType();
    int32_t headerSize = 0, rowBytes = 0;
    GetFPixmapSizes(type, stale->m_iColumns, stale->m_iRows, headerSize, rowBytes);
    ImageHeader(entry)->m_pPixmap = MapFPixmapHeader(block + kImageHeaderBytes, type, stale->m_iColumns,
                                                     stale->m_iRows, rowBytes,
                                                     block + kImageHeaderBytes + AlignUp(size_t(headerSize)));
}

void FixFileCamfileCacheEntry(FICacheObject* entry)
{
    CamfileHeader(entry)->m_pData = static_cast<uint8_t*>(entry->GetData()) + kCamfileHeaderBytes;
}

void ReleaseFileDataCacheEntry(FICacheObject* entry)
{
    IPRequestResult*& result = StoredResultOf(entry);
    delete result;
    result = nullptr;
    if (ImageHeader(entry)->m_uTag == kFileImageEntryTag && ImageHeader(entry)->m_pPixmap) {
        ImageHeader(entry)->m_pPixmap->~FPixmap();
        ImageHeader(entry)->m_pPixmap = nullptr;
    }
}

// The stored result is shared by every retriever that loads into the entry,
// whatever their threads.
IPRequestResult ReadStoredResult(FICacheObject* entry)
{
    std::lock_guard lock(CacheEntryCreationLock());
    return *StoredResultOf(entry);
}

void WriteStoredResult(FICacheObject* entry, const IPRequestResult& result)
{
    std::lock_guard lock(CacheEntryCreationLock());
    *StoredResultOf(entry) = result;
}

IPRequestResult ResultOf(const FDataRetrieverRequest& request)
{
    IPRequestResult result;
    result.TakeOutcome(request);
    return result;
}

void SetResult(FDataRetrieverRequest& request, const IPRequestResult& result)
{
    request.SetProgress(result.m_dProgress);
    request.SetError(result.m_eError);
    request.m_sErrorText = result.m_sErrorText;
    request.SetStatus(result.m_eStatus);
}

void Fail(FDataRetrieverRequest& request, int error, const char* text)
{
    request.SetError(error);
    request.m_sErrorText = WideFromSystemText(text);
    request.SetStatus(kIPStatusError);
}

bool EndsWithNoCase(const FString& url, const std::string& extension)
{
    const std::u16string_view text = url.View();
    if (text.size() < extension.size())
        return false;
    const size_t start = text.size() - extension.size();
    for (size_t i = 0; i < extension.size(); ++i) {
        char16_t a = text[start + i];
        char16_t b = static_cast<unsigned char>(extension[i]);
        if (a >= u'a' && a <= u'z')
            a = char16_t(a - 32);
        if (b >= u'a' && b <= u'z')
            b = char16_t(b - 32);
        if (a != b)
            return false;
    }
    return true;
}

FString EntryLabel(const FString& url, const FString& id, const char* suffix)
{
    FString label = url;
    label += "-";
    label += id;
    label += suffix;
    return label;
}

} // namespace

void SetRetrieverRequest(FDataRetrieverRequest& request, const FString& url, int kind, intptr_t what,
                         intptr_t index)
{
    request.m_sURL = url;
    request.m_iKind = kind;
    request.SetStatus(kIPStatusNew);
    request.SetError(kIPErrorNone);
    request.m_sErrorText.Empty();
    request.m_bCancel.store(0, std::memory_order_relaxed);
    request.SetProgress(0.0);
    request.m_What = what;
    request.m_Index = index;
    request.m_SlotA = 0;
    request.m_iSlotB = 0;
    request.m_iSlotC = 0;
    request.m_SlotD = 0;
}

FIDataObject* GetRetrievedObject(const FDataRetrieverRequest& request)
{
    return reinterpret_cast<FIDataObject*>(request.m_SlotA);
}

std::vector<FLoaderTableEntry> FDataRetriever::DefaultLoaderTable()
{
    return {
        {CreatePDXbLoader, {".xxx", ".pdx", ".kvr"}},
        {CreateTiffLoader, {".tif"}},
        {CreateTiffLoader, {".tiff"}},
        {CreateJPEGLoader, {".jpg"}},
        {CreateJPEGLoader, {".jpeg"}},
    };
}

FDataRetriever::FDataRetriever(std::vector<FLoaderTableEntry> loaderTable)
{
    for (FLoaderTableEntry& row : loaderTable)
        m_Loaders.push_back({std::move(row), nullptr});
}

FDataRetriever::~FDataRetriever()
{
    const bool loadRunning = m_pLoaderRequest && m_pLoaderRequest->IsPending() && !m_bWaitingForOtherLoad;
    if (loadRunning) {
        m_pLoaderRequest->Cancel();
        for (int poll = 0; poll < kDestructorPolls && m_pLoaderRequest && m_pLoaderRequest->IsPending(); ++poll) {
            SleepSeconds(kDestructorPollSeconds);
            Idle();
        }
        if (m_pLoaderRequest && m_pLoaderRequest->IsPending())
            DebugPrintf("~FDataRetriever(): load request still busy in destructor.\n");
    }
    if (m_pCurrentRequest) {
        DebugPrintf("~FDataRetriever: Current request still active in destructor\n");
        // The loaders wait for their threads, so after this nothing writes the
        // target or the loader request any more.
        priReleaseLoaders();
        if (m_pTarget && !m_bWaitingForOtherLoad) {
            IPRequestResult stored = ResultOf(*m_pLoaderRequest);
            if (stored.m_eStatus == kIPStatusPending)
                stored.m_eStatus = kIPStatusCancelled;
            WriteStoredResult(m_pTarget->GetEntry(), stored);
        }
        FDataRetrieverRequest& current = *m_pCurrentRequest;
        current.SetError(kIPErrorNone);
        current.SetStatus(kIPStatusCancelled);
        if (current.m_iKind == kRetrieverData) {
            if (auto* object = GetRetrievedObject(current))
                object->Release();
            current.m_SlotA = 0;
        }
        priEndCurrent();
    }
    priReleaseLoaders();
}

void FDataRetriever::priReleaseLoaders()
{
    for (LoaderSlot& slot : m_Loaders) {
        if (slot.loader) {
            slot.loader->Release();
            slot.loader = nullptr;
        }
    }
}

FILoader* FDataRetriever::priGetLoader(const FString& url)
{
    for (LoaderSlot& slot : m_Loaders) {
        for (const std::string& extension : slot.row.extensions) {
            if (!EndsWithNoCase(url, extension))
                continue;
            if (!slot.loader)
                slot.loader = slot.row.factory();
            return slot.loader;
        }
    }
    return nullptr;
}

void FDataRetriever::Idle()
{
    for (LoaderSlot& slot : m_Loaders)
        if (slot.loader)
            slot.loader->Idle();
    priIdle();
}

void FDataRetriever::Request(FDataRetrieverRequest* request)
{
    if (!request)
        return;
    if (m_pCurrentRequest) {
        Fail(*request, kIPErrorBusy, "FDataRetriever");
        return;
    }
    try {
        priHandleRequest(*request);
    } catch (const FException& e) {
        const FNarrowString text("FDataRetriever: Caught unhandled Pardex exception: %s (%s)", e.GetDescription(),
                                 e.GetMessage());
        Fail(*request, kIPErrorException, text.GetText());
        if (m_pCurrentRequest == request && !(m_pLoaderRequest && m_pLoaderRequest->IsPending()))
            priEndCurrent();
    } catch (...) {
        Fail(*request, kIPErrorException, "FDataRetriever: Caught unhandled unknown exception");
        if (m_pCurrentRequest == request && !(m_pLoaderRequest && m_pLoaderRequest->IsPending()))
            priEndCurrent();
    }
}

void FDataRetriever::priHandleRequest(FDataRetrieverRequest& request)
{
    switch (request.m_iKind) {
    case kRetrieverInfo:
        priHandleInfoRequest(request);
        break;
    case kRetrieverData:
        priHandleDataRequest(request);
        break;
    case kRetrieverModify:
        priHandleModifyRequest(request);
        break;
    default:
        Fail(request, kIPErrorBadParameter, "FDataRetriever:Request unknown request");
        break;
    }
}

void FDataRetriever::priHandleInfoRequest(FDataRetrieverRequest& request)
{
    FILoader* loader = priGetLoader(request.m_sURL);
    if (!loader) {
        Fail(request, kIPErrorUnsupportedRequest, kNotSupported);
        return;
    }
    auto loaderRequest = std::make_unique<FDataRetrieverRequest>();
    loaderRequest->m_sURL = request.m_sURL;
    switch (request.m_What) {
    case kRetrieverInfoImageCount:
        loaderRequest->m_iKind = LOADER_REQUEST_COUNT_IMAGES;
        break;
    case kRetrieverInfoImage:
        loaderRequest->m_iKind = LOADER_REQUEST_LOAD_IMAGE;
        loaderRequest->SetIndexWord(request.m_Index);
        break;
    case kRetrieverInfoCamfile:
        loaderRequest->m_iKind = LOADER_REQUEST_LOAD_CAMFILE;
        break;
    case kRetrieverInfoCambFile:
        loaderRequest->m_iKind = LOADER_REQUEST_LOAD_CAMB_FILE;
        break;
    case kRetrieverInfoProperties:
        loaderRequest->m_iKind = LOADER_REQUEST_GET_PROPERTIES;
        loaderRequest->SetPropTree(reinterpret_cast<FPropTree*>(request.m_Index));
        break;
    case kRetrieverInfoUniqueID:
        loaderRequest->m_iKind = LOADER_REQUEST_GET_UNIQUE_ID;
        loaderRequest->SetPropTree(reinterpret_cast<FPropTree*>(request.m_Index));
        break;
    default:
        Fail(request, kIPErrorBadParameter, "FDataRetriever:HandleInfoRequest unknown info request");
        return;
    }
    m_pCurrentRequest = &request;
    m_pLoaderRequest = std::move(loaderRequest);
    m_pRequestLoader = loader;
    loader->Request(m_pLoaderRequest.get());
    priIdle();
}

void FDataRetriever::priHandleModifyRequest(FDataRetrieverRequest& request)
{
    FILoader* loader = priGetLoader(request.m_sURL);
    if (!loader) {
        Fail(request, kIPErrorUnsupportedRequest, "FDataRetriever::priHandleModifyRequest: File type not supported.");
        return;
    }
    m_pCurrentRequest = &request;
    m_pLoaderRequest = std::make_unique<FDataRetrieverRequest>();
    m_pLoaderRequest->m_sURL = request.m_sURL;
    m_pLoaderRequest->m_iKind = LOADER_REQUEST_MODIFY_PROPERTIES;
    m_pLoaderRequest->SetPropTree(reinterpret_cast<FPropTree*>(request.m_What));
    m_pRequestLoader = loader;
    loader->Request(m_pLoaderRequest.get());
    priIdle();
}

void FDataRetriever::priHandleDataRequest(FDataRetrieverRequest& request)
{
    FILoader* loader = priGetLoader(request.m_sURL);
    if (!loader) {
        Fail(request, kIPErrorUnsupportedRequest, kNotSupported);
        return;
    }
    const intptr_t dataType = request.m_What;
    if (dataType != kRetrieverDataImage && dataType != kRetrieverDataCamfile && dataType != kRetrieverDataCambFile) {
        Fail(request, kIPErrorBadParameter, "FDataRetriever:HandleDataRequest unknown data request");
        return;
    }
    request.m_SlotA = 0;
    FICacheObject* entry = dataType == kRetrieverDataImage ? priGetCacheDataImage(*loader, request)
                                                           : priGetCacheDataCamfile(*loader, request);
    if (!entry)
        return;

    const int32_t objectType = dataType == kRetrieverDataImage ? kDataObjectImage : kDataObjectCamfile;
    auto* object = new FDataObject(entry, objectType);
    entry->Unlock(); // the object holds its own lock
    request.m_SlotA = reinterpret_cast<intptr_t>(object);
    object->AddRef();
    m_pTarget = object;

    m_pCurrentRequest = &request;
    m_pLoaderRequest = std::make_unique<FDataRetrieverRequest>();
    m_pLoaderRequest->m_sURL = request.m_sURL;
    m_pRequestLoader = loader;
    if (dataType == kRetrieverDataImage) {
        m_pLoaderRequest->m_iKind = LOADER_REQUEST_LOAD_IMAGE;
        m_pLoaderRequest->SetIndexWord(request.m_Index);
        m_pLoaderRequest->SetPixmap(ImageHeader(entry)->m_pPixmap);
    } else {
        m_pLoaderRequest->m_iKind =
            dataType == kRetrieverDataCambFile ? LOADER_REQUEST_LOAD_CAMB_FILE : LOADER_REQUEST_LOAD_CAMFILE;
        m_pLoaderRequest->SetCamfileBuffer(CamfileHeader(entry)->m_pData, CamfileHeader(entry)->m_uByteCount);
    }

    // Done: the data are in the cache. Pending: another retriever is loading
    // them now, so this one waits for that load instead of writing the same
    // memory beside it.
    bool send = false;
    {
        std::lock_guard lock(CacheEntryCreationLock());
        IPRequestResult& stored = *StoredResultOf(entry);
        SetResult(*m_pLoaderRequest, stored);
        if (stored.m_eStatus == kIPStatusPending) {
            m_bWaitingForOtherLoad = true;
        } else if (stored.m_eStatus != kIPStatusDone) {
            stored.Clear();
            stored.m_eStatus = kIPStatusPending;
            send = true;
        }
    }
    if (send)
        priSendLoad();
    priIdle();
}

void FDataRetriever::priSendLoad()
{
    m_bWaitingForOtherLoad = false;
    m_pLoaderRequest->SetStatus(kIPStatusNew);
    if (m_pCurrentRequest->IsCancelled())
        m_pLoaderRequest->Cancel();
    m_pRequestLoader->Request(m_pLoaderRequest.get());
}

bool FDataRetriever::priAskLoader(FILoader& loader, FDataRetrieverRequest& loaderRequest,
                                  FDataRetrieverRequest& request)
{
    loader.Request(&loaderRequest);
    while (loaderRequest.IsPending())
        loader.Idle();
    if (loaderRequest.GetStatus() == kIPStatusDone)
        return true;
    SetResult(request, ResultOf(loaderRequest));
    return false;
}

bool FDataRetriever::priGetUniqueID(FILoader& loader, FDataRetrieverRequest& request, FString& id)
{
    FPropTree tree(nullptr, "UniqueIDProp");
    FDataRetrieverRequest identity;
    identity.m_sURL = request.m_sURL;
    identity.m_iKind = LOADER_REQUEST_GET_UNIQUE_ID;
    identity.SetPropTree(&tree);
    if (!priAskLoader(loader, identity, request))
        return false;
    const FString fallback("NO-UNIQUEID");
    id = *tree.GetValue(FString("UNIQUEID"), &fallback);
    return true;
}

FICacheObject* FDataRetriever::priGetCacheDataImage(FILoader& loader, FDataRetrieverRequest& request)
{
    FString id;
    if (!priGetUniqueID(loader, request, id))
        return nullptr;
    const FNarrowString suffix("-FileImage-%d", int(request.m_Index));
    const FString label = EntryLabel(request.m_sURL, id, suffix.GetText());
    if (FICacheObject* existing = FindCacheEntry(label))
        return existing;

    FDataRetrieverRequest describe;
    describe.m_sURL = request.m_sURL;
    describe.m_iKind = LOADER_REQUEST_LOAD_IMAGE;
    describe.SetIndexWord(request.m_Index);
    if (!priAskLoader(loader, describe, request))
        return nullptr;
    const int32_t type = describe.GetPixelType();
    const int32_t width = int32_t(describe.GetFirstSizeWord());
    const int32_t height = int32_t(describe.GetSecondSizeWord());
    int32_t headerSize = 0, rowBytes = 0;
    try {
        GetFPixmapSizes(type, width, height, headerSize, rowBytes);
    } catch (const FException&) {
        Fail(request, kIPErrorNotInFile, "FDataRetriever::priGetCacheDataImage: image cannot be loaded.");
        return nullptr;
    }
    const uint64_t size = kImageHeaderBytes + AlignUp(size_t(headerSize)) + uint64_t(uint32_t(height)) * uint32_t(rowBytes);

    std::lock_guard lock(CacheEntryCreationLock());
    FICache* cache = GetGlobalCache();
    if (FICacheObject* existing = cache->Allocate(label, 0))
        return existing;
    FICacheObject* entry = cache->Allocate(label, size);
    if (!entry) {
        Fail(request, kIPErrorOutOfMemory, "FDataRetriever::priGetCacheDataImage: Cache allocation failed.");
        return nullptr;
    }
    auto* header = new (entry->GetData()) FFileImageEntryHeader{};
    header->m_uTag = kFileImageEntryTag;
    header->m_iImageType = describe.GetImageKind();
    uint8_t* block = static_cast<uint8_t*>(entry->GetData());
    header->m_pPixmap = MapFPixmapHeader(block + kImageHeaderBytes, type, width, height, rowBytes,
                                         block + kImageHeaderBytes + AlignUp(size_t(headerSize)));
    header->m_pResult = new IPRequestResult;
    entry->SetPriority(kFileImagePriority);
    entry->SetMovedCallback(FixFileImageCacheEntry);
    entry->SetReleaseCallback(ReleaseFileDataCacheEntry);
    return entry;
}

FICacheObject* FDataRetriever::priGetCacheDataCamfile(FILoader& loader, FDataRetrieverRequest& request)
{
    FString id;
    if (!priGetUniqueID(loader, request, id))
        return nullptr;
    const bool cambFile = request.m_What == kRetrieverDataCambFile;
    const FString label = EntryLabel(request.m_sURL, id, cambFile ? "-FileCAMbFile" : "-FileCamfile");
    if (FICacheObject* existing = FindCacheEntry(label))
        return existing;

    FDataRetrieverRequest sizeQuery;
    sizeQuery.m_sURL = request.m_sURL;
    sizeQuery.m_iKind = cambFile ? LOADER_REQUEST_LOAD_CAMB_FILE : LOADER_REQUEST_LOAD_CAMFILE;
    if (!priAskLoader(loader, sizeQuery, request))
        return nullptr;
    const int64_t byteCount = sizeQuery.GetIndexWord();
    if (byteCount < 0 || byteCount > int64_t(UINT32_MAX - kCamfileHeaderBytes)) {
        Fail(request, kIPErrorOutOfMemory, "FDataRetriever::priGetCacheDataCamfile: Cache allocation failed.");
        return nullptr;
    }

    std::lock_guard lock(CacheEntryCreationLock());
    FICache* cache = GetGlobalCache();
    if (FICacheObject* existing = cache->Allocate(label, 0))
        return existing;
    FICacheObject* entry = cache->Allocate(label, kCamfileHeaderBytes + uint64_t(byteCount));
    if (!entry) {
        Fail(request, kIPErrorOutOfMemory, "FDataRetriever::priGetCacheDataCamfile: Cache allocation failed.");
        return nullptr;
    }
    auto* header = new (entry->GetData()) FFileCamfileEntryHeader{};
    header->m_uTag = kFileCamfileEntryTag;
    header->m_iCamfileType = int32_t(sizeQuery.GetFirstSizeWord());
    header->m_uByteCount = uint32_t(byteCount);
    header->m_pData = static_cast<uint8_t*>(entry->GetData()) + kCamfileHeaderBytes;
    header->m_pResult = new IPRequestResult;
    entry->SetPriority(kFileCamfilePriority);
    entry->SetMovedCallback(FixFileCamfileCacheEntry);
    entry->SetReleaseCallback(ReleaseFileDataCacheEntry);
    return entry;
}

void FDataRetriever::priIdle()
{
    if (!m_pCurrentRequest)
        return;
    if (!m_pLoaderRequest)
        throw FException("FDataRetriever::Idle() current request has no load request.");
    FDataRetrieverRequest& current = *m_pCurrentRequest;
    FDataRetrieverRequest& loaderRequest = *m_pLoaderRequest;

    if (m_bWaitingForOtherLoad) {
        const IPRequestResult stored = ReadStoredResult(m_pTarget->GetEntry());
        if (stored.m_eStatus == kIPStatusPending && !current.IsCancelled()) {
            current.SetProgress(stored.m_dProgress);
            current.SetStatus(kIPStatusPending);
            return;
        }
        if (stored.m_eStatus != kIPStatusDone && !current.IsCancelled()) {
            // That load did not end well: this retriever loads them itself.
            {
                std::lock_guard lock(CacheEntryCreationLock());
                IPRequestResult& shared = *StoredResultOf(m_pTarget->GetEntry());
                if (shared.m_eStatus == kIPStatusPending)
                    return; // another retriever took it over first
                shared.Clear();
                shared.m_eStatus = kIPStatusPending;
            }
            priSendLoad();
        } else {
            IPRequestResult outcome = stored;
            if (stored.m_eStatus == kIPStatusPending)
                outcome.m_eStatus = kIPStatusCancelled; // only this request stops waiting
            SetResult(loaderRequest, outcome);
        }
    }

    if (current.IsCancelled())
        loaderRequest.Cancel();
    const int32_t status = loaderRequest.GetStatus();
    current.SetProgress(loaderRequest.GetProgress());
    current.SetError(loaderRequest.GetError());
    current.m_sErrorText = loaderRequest.m_sErrorText;

    if (current.m_iKind == kRetrieverInfo && status != kIPStatusPending) {
        switch (current.m_What) {
        case kRetrieverInfoImageCount:
            current.m_Index = intptr_t(loaderRequest.GetIndexWord());
            break;
        case kRetrieverInfoImage:
            current.m_SlotA = intptr_t(loaderRequest.GetFirstSizeWord());
            current.m_iSlotB = int(loaderRequest.GetSecondSizeWord());
            current.m_iSlotC = loaderRequest.GetImageKind();
            current.m_SlotD = loaderRequest.GetPixelType();
            break;
        case kRetrieverInfoCamfile:
        case kRetrieverInfoCambFile:
            current.m_Index = intptr_t(loaderRequest.GetIndexWord());
            current.m_SlotA = intptr_t(loaderRequest.GetFirstSizeWord());
            break;
        default:
            break;
        }
    }
    if (current.m_iKind == kRetrieverData && !m_bWaitingForOtherLoad)
        WriteStoredResult(m_pTarget->GetEntry(), ResultOf(loaderRequest));

    current.SetStatus(status);
    if (status == kIPStatusPending)
        return;
    if (current.m_iKind == kRetrieverData && status != kIPStatusDone) {
        if (auto* object = GetRetrievedObject(current))
            object->Release();
        current.m_SlotA = 0;
    }
    priEndCurrent();
}

void FDataRetriever::priEndCurrent()
{
    m_pLoaderRequest.reset();
    m_pRequestLoader = nullptr;
    m_pCurrentRequest = nullptr;
    m_bWaitingForOtherLoad = false;
    if (m_pTarget) {
        m_pTarget->Release();
        m_pTarget = nullptr;
    }
}

FIDataRetriever* CreateDataRetriever()
{
    try {
        return new FDataRetriever;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void DeleteDataRetriever(FIDataRetriever*& retriever)
{
    delete retriever;
    retriever = nullptr;
}
