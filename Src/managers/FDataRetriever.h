#pragma once
// The only way the image managers read files. A retriever picks a loader by
// the file's extension, forwards one request at a time to it, keeps every
// loaded image and camera-data section in the image cache under a label made
// of the file's URL and unique id, and hands loaded data out as FDataObjects.
// It runs in its owner's thread; the loaders read pixels and camera data on
// their own threads.
//
// The record is the loaders' FDataRetrieverRequest with the retriever's
// meanings of its words (see the Set* and Get* helpers below).
#include "fileio/loaders/FDataRetrieverRequest.h"
#include "foundation/FString.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class FICacheObject;
class FIDataObject;
class FDataObject;
class FILoader;
class FPropTree;

enum : int {
    kRetrieverInfo = 0,
    kRetrieverData = 1,
    kRetrieverModify = 2,
};
// Which information an info request asks for.
enum : int {
    kRetrieverInfoImageCount = 0,  // count into the index word
    kRetrieverInfoImage = 1,       // width, height, image type, pixel type of the image at index
    kRetrieverInfoCamfile = 2,     // byte count (index word) and kind (slot A) of the plain camfile
    kRetrieverInfoCambFile = 3,    // the same for the camera-data camfile
    kRetrieverInfoProperties = 4,  // the file's properties into the tree in the index word
    kRetrieverInfoUniqueID = 5,    // "UNIQUEID" into the tree in the index word
};
// What a data request loads.
enum : int {
    kRetrieverDataImage = 0,
    kRetrieverDataCamfile = 1,
    kRetrieverDataCambFile = 2,
};

// Makes the record a new request of the kind: status, error, text, cancel flag
// and every word cleared, then what and index set.
void SetRetrieverRequest(FDataRetrieverRequest& request, const FString& url, int kind, intptr_t what,
                         intptr_t index);
// A data request's result: the data object whose one reference the caller
// now owns (null unless the request ended done).
FIDataObject* GetRetrievedObject(const FDataRetrieverRequest& request);

class FIDataRetriever {
public:
    virtual void Idle() = 0;
    virtual void Request(FDataRetrieverRequest* request) = 0;
    virtual ~FIDataRetriever() = default;
};

// One row of the loader table: a loader made on first use for the files whose
// names end in one of the extensions (ASCII case ignored).
struct FLoaderTableEntry {
    std::function<FILoader*()> factory;
    std::vector<std::string> extensions;
};

class FDataRetriever final : public FIDataRetriever {
public:
    // The raw containers, TIFF and JPEG files: five rows, each with a loader of
    // its own.
    static std::vector<FLoaderTableEntry> DefaultLoaderTable();

    explicit FDataRetriever(std::vector<FLoaderTableEntry> loaderTable = DefaultLoaderTable());
    FDataRetriever(const FDataRetriever&) = delete;
    FDataRetriever& operator=(const FDataRetriever&) = delete;
    // A load still running is cancelled and waited for; never throws.
    ~FDataRetriever() override;

    // Lets each loader finish its work, then collects the current request.
    void Idle() override;
    // Starts a request; answers that need no load complete inside the call.
    void Request(FDataRetrieverRequest* request) override;

private:
    struct LoaderSlot {
        FLoaderTableEntry row;
        FILoader* loader = nullptr;
    };

    FILoader* priGetLoader(const FString& url);
    void priHandleRequest(FDataRetrieverRequest& request);
    void priHandleInfoRequest(FDataRetrieverRequest& request);
    void priHandleDataRequest(FDataRetrieverRequest& request);
    void priHandleModifyRequest(FDataRetrieverRequest& request);
    // The locked entry of the request's data, found or created; null with the
    // request failed.
    FICacheObject* priGetCacheDataImage(FILoader& loader, FDataRetrieverRequest& request);
    FICacheObject* priGetCacheDataCamfile(FILoader& loader, FDataRetrieverRequest& request);
    // The file's identity by a synchronous loader request; false with the
    // request failed.
    bool priGetUniqueID(FILoader& loader, FDataRetrieverRequest& request, FString& id);
    // Runs a loader request to its end in this thread; false with its failure
    // copied into request.
    bool priAskLoader(FILoader& loader, FDataRetrieverRequest& loaderRequest, FDataRetrieverRequest& request);
    void priSendLoad();
    void priIdle();
    void priEndCurrent();
    void priReleaseLoaders();

    std::vector<LoaderSlot> m_Loaders;
    FDataRetrieverRequest* m_pCurrentRequest = nullptr;
    std::unique_ptr<FDataRetrieverRequest> m_pLoaderRequest;
    FILoader* m_pRequestLoader = nullptr;
    // The entry a data request loads into, held by the retriever until the
    // load has ended, so no one can free the memory a load thread writes.
    FDataObject* m_pTarget = nullptr;
    // The target is being loaded by another retriever: this one waits for
    // that load's result instead of writing the same memory at the same time.
    bool m_bWaitingForOtherLoad = false;
};

FIDataRetriever* CreateDataRetriever();
void DeleteDataRetriever(FIDataRetriever*& retriever);
