#pragma once
// Drives loaders the way the data retriever does: one request at a time,
// Request, then Idle until the status leaves "pending", then the results.

#include "fileio/FDataRetrieverRequest.h"
#include "fileio/FILoader.h"
#include "foundation/FString.h"

#include <memory>
#include <string>

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

inline std::string ErrorTextOf(const FDataRetrieverRequest& request)
{
    std::unique_ptr<char[]> text = WideToAnsi(request.m_sErrorText.GetText());
    return text ? text.get() : "";
}

} // namespace testsupport
