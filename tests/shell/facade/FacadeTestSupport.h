#pragma once
// Shared by the facade's tests and benchmark: the rows the facade hands out,
// an empty image cache, and the managers' own requests to compare with.

#include "foundation/FCache.h"
#include "foundation/FIStorageClass.h"
#include "managers/FIPManagerPool.h"
#include "managers/IPManagerData.h"
#include "toolkit/CET_Dib.h"

#include <cstdint>
#include <memory>

namespace testsupport {

inline constexpr uint32_t kFacadeCacheLimit = 0x20800000;

// Bitmap rows as the caller gets them, freed with the toolkit's routine.
struct DibBits {
    explicit DibBits(BYTE* p = nullptr) : bits(p) {}
    ~DibBits() { DeleteDibBits(bits); }
    DibBits(const DibBits&) = delete;
    DibBits& operator=(const DibBits&) = delete;
    BYTE* bits;
};

// Evicts every cached result, so the next development starts from the file.
inline void EmptyTheCache()
{
    GetGlobalCache()->SetSizeLimit(0);
    GetGlobalCache()->SetSizeLimit(kFacadeCacheLimit);
}

// A new pool and an empty cache: no worker keeps results of an earlier
// development that the next one could take up.
inline void StartWithNewPool()
{
    SetIPManagerPoolSize(0);
    SetIPManagerPoolSize(4);
    EmptyTheCache();
}

// The managers' own request for the whole picture of a file at the size.
inline std::unique_ptr<IPManagerData> PoolRequest(const FString& nativePath, int32_t kind, int32_t width,
                                                  int32_t height, int32_t format)
{
    auto request = std::make_unique<IPManagerData>();
    FString url;
    NativePathToURL(nativePath, url);
    request->SetURL(url);
    request->m_eKind = kind;
    request->m_OutputSize.Set(width, height);
    request->m_Crop.Set(0, 0, width, height);
    request->m_eOutputFormat = format;
    request->m_ColorAdjust = FDoubleTriple(1.0, 1.0, 1.0);
    return request;
}

// Sends the request to the process-wide pool and polls it to its end.
inline int32_t RunOnPool(IPManagerData& request)
{
    FIPManager& pool = *GetIPManagerPool();
    pool.Request(&request);
    while (request.m_Result.IsPending())
        pool.Idle();
    return request.m_Result.m_eStatus;
}

} // namespace testsupport
