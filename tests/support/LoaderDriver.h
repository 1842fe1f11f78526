#pragma once
// Drives loaders the way the data retriever does: one request at a time,
// Request, then Idle until the status leaves "pending", then the results.

#include "fileio/FDataRetrieverRequest.h"
#include "fileio/FILoader.h"
#include "foundation/FString.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

// Deletes a loader through Release.
struct LoaderReleaser {
    void operator()(FILoader* loader) const
    {
        if (loader)
            loader->Release();
    }
};
using LoaderPtr = std::unique_ptr<FILoader, LoaderReleaser>;

inline std::unique_ptr<FDataRetrieverRequest> NewLoaderRequest(const FString& url, int kind)
{
    auto request = std::make_unique<FDataRetrieverRequest>();
    request->m_sURL = url;
    request->m_iKind = kind;
    return request;
}

// Request, then Idle while pending (each Idle waits at most 100 ms, so the cap
// is minutes, only there to turn a hang into a failure).
inline int DriveLoaderRequest(FILoader& loader, FDataRetrieverRequest& request)
{
    loader.Request(&request);
    for (int polls = 0; request.IsPending() && polls < 3000; ++polls)
        loader.Idle();
    return request.GetStatus();
}

// A camfile request (kind 2 or 3) the way the retriever makes one: the size
// first, then the data into a buffer of that size. Returns the request that
// ended the exchange; `bytes` holds what was delivered.
inline std::unique_ptr<FDataRetrieverRequest> LoadCamfileBytes(FILoader& loader, const FString& url, int kind,
                                                              std::vector<uint8_t>& bytes)
{
    bytes.clear();
    auto size = NewLoaderRequest(url, kind);
    if (DriveLoaderRequest(loader, *size) != LOADER_STATUS_DONE)
        return size;
    bytes.resize(size_t(size->GetIndexWord()));
    auto data = NewLoaderRequest(url, kind);
    data->SetCamfileBuffer(bytes.data(), bytes.size());
    DriveLoaderRequest(loader, *data);
    return data;
}

inline std::string ErrorTextOf(const FDataRetrieverRequest& request)
{
    std::unique_ptr<char[]> text = WideToAnsi(request.m_sErrorText.GetText());
    return text ? text.get() : "";
}

} // namespace testsupport
