#pragma once
// The process-wide memory cache of labelled blocks.
//
// All large intermediate data (decoded images, stage outputs, lookup tables,
// camera data) lives in blocks of this cache. A user asks for a block by label
// and size and gets back the cached block when one with that label and size is
// still there, so work is not repeated. Every block handed out carries one lock
// that the user gives back with Unlock; the count on a block counts locks, not
// references. A block nobody has locked stays cached until room is needed, and
// is then evicted, lowest priority first.
//
// Sizes are accounted in 64 bits: a request whose size plus bookkeeping does
// not fit under the limit is refused, whatever its size.
//
// Callbacks (release and moved) are always called with no lock of the cache
// held, so a callback may call back into the cache from its own thread, and
// another thread blocked in the cache never waits on a callback's locks.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "foundation/FArray.h"
#include "foundation/FMemoryAllocator.h"
#include "foundation/FString.h"
#include "foundation/FSync.h"

class FICacheObject;
class FCache;

// Called with the entry: a release callback just before an evicted entry's
// block is freed, a moved callback when the block has a new address.
using FCacheCallback = void (*)(FICacheObject* entry);

// One entry of the cache.
class FICacheObject {
public:
    // Takes one more lock; a locked entry is never evicted.
    virtual void Lock() = 0;
    // Gives one lock back (never below 0). The entry must not be used after its
    // last lock is given back: it may be evicted at once.
    virtual void Unlock() = 0;
    // The locks held now: a holder that finds 1 knows no one else holds the
    // entry (another may still find it by its label and lock it afterwards).
    virtual int32_t GetLockCount() = 0;
    virtual void* GetData() = 0;
    virtual uint32_t GetSize() = 0;
    // Lower values are evicted first; 0xFFFFFFFF is never evicted.
    virtual void SetPriority(uint32_t priority) = 0;
    virtual FString GetLabel() = 0;
    virtual void SetLabel(const FString& label) = 0;
    virtual void SetReleaseCallback(FCacheCallback callback) = 0;
    virtual void SetMovedCallback(FCacheCallback callback) = 0;

protected:
    // Entries belong to their cache; users never delete them.
    virtual ~FICacheObject() = default;
};

class FICache {
public:
    // Stores the limit and evicts down to it; false when locked entries keep
    // the cache above it.
    virtual bool SetSizeLimit(uint32_t bytes) = 0;
    virtual uint32_t GetSizeLimit() = 0;
    // An entry with the label and (unless size is 0) that size exists. Takes no lock on it.
    virtual bool Contains(const FString& label, uint64_t size) = 0;
    // The first entry with the label and size (any size when size is 0), or a
    // new entry when size is not 0; locked once. Null when it does not fit or
    // the memory cannot be had, and for a size-0 look-up that finds nothing.
    virtual FICacheObject* Allocate(const FString& label, uint64_t size) = 0;
    virtual FArray<FString> GetLabels() = 0;
    // Writes the limit, the bytes in use and every entry to the diagnostics.
    virtual void DebugDump() = 0;
    virtual ~FICache() = default;
};

class FCacheObject final : public FICacheObject {
public:
    void Lock() override;
    void Unlock() override;
    int32_t GetLockCount() override;
    void* GetData() override;
    uint32_t GetSize() override;
    void SetPriority(uint32_t priority) override;
    FString GetLabel() override;
    void SetLabel(const FString& label) override;
    void SetReleaseCallback(FCacheCallback callback) override;
    void SetMovedCallback(FCacheCallback callback) override;

    // Public for the owning cache's unique_ptr; entries are only made and
    // destroyed by their cache.
    ~FCacheObject() override = default;

private:
    friend class FCache;

    FCacheObject(FCache* owner, const FString& label, uint32_t size);

    // The list lock is held. Counts the lock; true when the block moved and
    // the moved callback (returned in callback) must run before the lock is used.
    bool BeginLock(FCacheCallback& callback);
    // No cache lock is held. Runs the moved callback, or waits for another
    // thread's moved callback to finish, so the block is mapped before use.
    void EndLock(bool remap, FCacheCallback callback);
    // The list lock is held. Asks the allocator where the block is now; true
    // when it moved.
    bool RefreshAddress();

    int32_t m_iLockCount = 1;
    uint32_t m_ulPriority = 0;
    uint32_t m_ulSize;
    void* m_pBlock = nullptr;
    FString m_Label;
    FCriticalSection* m_pListLock;
    FIMemoryAllocator* m_pAllocator = nullptr;
    bool m_bAllocatorAcquired = false;
    FCacheCallback m_pfnRelease = nullptr;
    FCacheCallback m_pfnMoved = nullptr;
    FCache* m_pOwner;

    // Set while the thread that took the first lock runs the moved callback;
    // changed under the owner's remap mutex.
    std::atomic<bool> m_bRemapping{false};
    std::thread::id m_RemapThread;
};

class FCache final : public FICache {
public:
    // Bookkeeping charged to every entry on top of its size.
    static constexpr uint64_t kEntryOverhead = 56;
    static constexpr uint32_t kDefaultSizeLimit = 0x7800000;

    // Entries take their memory from the process-wide allocator, or from the
    // given one, which must outlive the cache.
    explicit FCache(FIMemoryAllocator* allocator = nullptr);
    FCache(const FCache&) = delete;
    FCache& operator=(const FCache&) = delete;
    // Evicts every unlocked entry with its callbacks. Entries still locked are
    // left alone (neither called back nor freed): a holder may still use them.
    ~FCache() override;

    bool SetSizeLimit(uint32_t bytes) override;
    uint32_t GetSizeLimit() override;
    bool Contains(const FString& label, uint64_t size) override;
    FICacheObject* Allocate(const FString& label, uint64_t size) override;
    FArray<FString> GetLabels() override;
    void DebugDump() override;

    // Sum of size + overhead over all entries, locked or not.
    uint64_t GetUsedBytes();
    // Evicts until the bytes in use are at most target; false when only locked
    // (or never-evicted) entries are left above it.
    bool EvictTo(uint64_t target);
    // Evicts the unlocked entry of lowest priority (the first of equals); false
    // when there is none.
    bool EvictOne();
    bool Shrink();

private:
    friend class FCacheObject;
    using Owned = std::unique_ptr<FCacheObject>;

    // These run with the list lock held.
    FCacheObject* Find(const FString& label, uint64_t size);
    FCacheObject* FindEvictionCandidate();
    Owned Unlink(FCacheObject* entry);
    bool MakeRoom(uint64_t target, std::vector<Owned>& victims);
    void DumpLocked();

    // These run with the allocation lock held and the list lock free.
    FCacheObject* CreateEntry(const FString& label, uint64_t size);
    void ReportFull(const FString& label, uint64_t size);

    // These run with no cache lock held.
    static void ReleaseEntry(Owned entry);
    static void ReleaseEntries(std::vector<Owned>& entries);
    void FinishRemap(FCacheObject* entry);
    void WaitForRemap(FCacheObject* entry);

    FIMemoryAllocator* m_pAllocator;
    uint32_t m_ulSizeLimit = kDefaultSizeLimit;
    uint64_t m_UsedBytes = 0;
    std::vector<Owned> m_Entries;
    FCriticalSection m_ListLock;
    FCriticalSection m_AllocLock;
    std::mutex m_RemapMutex;
    std::condition_variable m_RemapDone;
};

// The one cache of the process.
FICache* GetGlobalCache();

// The out-of-memory hook the cache offers the allocator: evicts one entry of
// the global cache; true when it did.
bool CacheOutOfMemoryCallback();
