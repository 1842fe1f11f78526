#pragma once
// Owners of what a manager holds between calls: a lock on an image-cache entry
// (taken by the cache's find or allocate), a reference to a retrieved data
// object and a reference to an image. Each gives its hold back when it is
// reset, assigned another or destroyed, so a request that ends on any path
// leaves nothing locked.
//
// Each converts to the raw pointer it holds, so the helpers that read an entry
// or an object take it as it is; assigning a raw pointer adopts a hold the
// caller already has.
#include "foundation/FCache.h"
#include "foundation/FImage.h"
#include "managers/FDataObject.h"

#include <utility>

template <class T, void (*Give)(T*)>
class FHeldRef {
public:
    FHeldRef() = default;
    explicit FHeldRef(T* held) : m_p(held) {}
    FHeldRef(const FHeldRef&) = delete;
    FHeldRef& operator=(const FHeldRef&) = delete;
    FHeldRef(FHeldRef&& other) noexcept : m_p(other.release()) {}
    FHeldRef& operator=(FHeldRef&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    // Adopts a hold the caller has taken.
    FHeldRef& operator=(T* held)
    {
        reset(held);
        return *this;
    }
    ~FHeldRef() { reset(); }

    // Gives the hold back (unless the same pointer is adopted again) and keeps held.
    void reset(T* held = nullptr)
    {
        T* old = std::exchange(m_p, held);
        if (old && old != held)
            Give(old);
    }
    // Hands the hold to the caller.
    T* release() { return std::exchange(m_p, nullptr); }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    operator T*() const { return m_p; }

private:
    T* m_p = nullptr;
};

inline void UnlockCacheEntry(FICacheObject* entry) { entry->Unlock(); }
inline void ReleaseDataObjectRef(FIDataObject* object) { object->Release(); }
inline void ReleaseImageRef(FImage* image) { image->Release(); }

// A locked image-cache entry.
using FCacheEntryLock = FHeldRef<FICacheObject, UnlockCacheEntry>;
// A counted reference to a data object of the data retriever.
using FDataObjectRef = FHeldRef<FIDataObject, ReleaseDataObjectRef>;
// A counted reference to an image.
using FImageRef = FHeldRef<FImage, ReleaseImageRef>;
