// The process-wide cache of labelled blocks.
//
// Lock order, outermost first; a thread holding one of these never waits for
// one above it:
//   1. FCache::m_AllocLock   held by Allocate through its look-up, its room
//                            check and the creation of a new entry, so that two
//                            threads asking for the same label never both
//                            create it. It is left while evicted entries are
//                            called back, so another request may take the room
//                            meanwhile; the look-up and room check then simply
//                            run again.
//   2. FCache::m_ListLock    the entry list, every entry's fields, the limit and
//                            the bytes in use. Entry operations take only this.
//   3. FCache::m_RemapMutex  the gate that holds back other lockers while a
//                            moved callback re-maps a block. A leaf: nothing is
//                            called and no other lock is taken under it.
// The allocator's own lock is a leaf as well; the allocator is acquired under
// lock 1 and released under none.
//
// No callback ever runs under any of these locks. An entry chosen for eviction
// leaves the list under the list lock, and its callback runs and its block is
// freed after every lock is left; Allocate evicts that way and then tries
// again from its look-up. A moved callback runs after Lock has left the locks,
// while the entry is already locked, so it cannot be evicted meanwhile. A
// callback may therefore call into the cache (Allocate included) from its own
// thread, and may wait for threads that use the cache.
//
// The one exception is the out-of-memory hook offered to the allocator: an
// allocator that called it from Alloc would evict under lock 1 of the global
// cache. The heap allocator never calls it.

#include "foundation/FCache.h"

#include <new>

#include "foundation/FAssert.h"
#include "foundation/FException.h"

namespace {

constexpr uint32_t kNeverEvicted = 0xFFFFFFFF;

// Labels go to the diagnostics as UTF-8.
std::string LabelForDiagnostics(const FString& label)
{
    std::unique_ptr<char[]> text = WideToAnsi(label.GetText());
    return text ? std::string(text.get()) : std::string("?");
}

// A callback's failure must not stop the cache from freeing what it unlinked.
void RunCallback(FCacheCallback callback, FICacheObject* entry, const char* what)
{
    try {
        callback(entry);
    } catch (const FException& e) {
        DebugPrintf("FCache: %s callback failed: %s\n", what, e.GetMessage());
    } catch (...) {
        DebugPrintf("FCache: %s callback failed\n", what);
    }
}

FCache& GlobalCache()
{
    // Never destroyed: objects destroyed at exit may still hold entries and
    // give their locks back, and the allocator's own lock may be gone by then.
    // The application empties the cache by setting its limit to 0 at its stop.
    static FCache* const cache = new FCache;
    return *cache;
}

} // namespace

// ---------------------------------------------------------------------------
// FCacheObject

FCacheObject::FCacheObject(FCache* owner, const FString& label, uint32_t size)
    : m_ulSize(size), m_Label(label), m_pListLock(&owner->m_ListLock), m_pOwner(owner)
{
}

void FCacheObject::Lock()
{
    FCacheCallback moved = nullptr;
    bool remap;
    {
        FCriticalSectionLock list(*m_pListLock);
        remap = BeginLock(moved);
    }
    EndLock(remap, moved);
}

void FCacheObject::Unlock()
{
    // Once the count reaches 0 another thread may evict and free this entry,
    // so nothing of it is touched after the list lock is left.
    FCache* owner = m_pOwner;
    FCache::Owned discarded;
    {
        FCriticalSectionLock list(*m_pListLock);
        if (m_iLockCount == 0)
            return;
        if (--m_iLockCount != 0)
            return;
        if (m_pAllocator->DiscardWhenUnlocked())
            discarded = owner->Unlink(this);
    }
    if (discarded)
        FCache::ReleaseEntry(std::move(discarded));
    owner->Shrink();
}

int32_t FCacheObject::GetLockCount()
{
    FCriticalSectionLock list(*m_pListLock);
    return m_iLockCount;
}

void* FCacheObject::GetData()
{
    FCriticalSectionLock list(*m_pListLock);
    return m_pBlock;
}

uint32_t FCacheObject::GetSize()
{
    return m_ulSize; // fixed at creation
}

void FCacheObject::SetPriority(uint32_t priority)
{
    FCriticalSectionLock list(*m_pListLock);
    m_ulPriority = priority;
}

FString FCacheObject::GetLabel()
{
    FCriticalSectionLock list(*m_pListLock);
    return m_Label;
}

void FCacheObject::SetLabel(const FString& label)
{
    FCriticalSectionLock list(*m_pListLock);
    m_Label = label;
}

void FCacheObject::SetReleaseCallback(FCacheCallback callback)
{
    FCriticalSectionLock list(*m_pListLock);
    m_pfnRelease = callback;
}

void FCacheObject::SetMovedCallback(FCacheCallback callback)
{
    FCriticalSectionLock list(*m_pListLock);
    m_pfnMoved = callback;
}

bool FCacheObject::BeginLock(FCacheCallback& callback)
{
    bool remap = false;
    // Only an unlocked block can have moved.
    if (m_iLockCount == 0 && RefreshAddress() && m_pfnMoved) {
        remap = true;
        callback = m_pfnMoved;
        std::lock_guard<std::mutex> gate(m_pOwner->m_RemapMutex);
        m_RemapThread = std::this_thread::get_id();
        m_bRemapping.store(true, std::memory_order_release);
    }
    ++m_iLockCount;
    return remap;
}

void FCacheObject::EndLock(bool remap, FCacheCallback callback)
{
    if (remap) {
        RunCallback(callback, this, "moved");
        m_pOwner->FinishRemap(this);
    } else if (m_bRemapping.load(std::memory_order_acquire)) {
        m_pOwner->WaitForRemap(this);
    }
}

bool FCacheObject::RefreshAddress()
{
    void* current = m_pAllocator->Lock(m_pBlock);
    if (current == m_pBlock)
        return false;
    m_pBlock = current;
    return true;
}

// ---------------------------------------------------------------------------
// FCache

FCache::FCache(FIMemoryAllocator* allocator) : m_pAllocator(allocator) {}

FCache::~FCache()
{
    SetSizeLimit(0);
    // What is left is locked: its holders may still use it, so it is neither
    // called back nor freed.
    FCriticalSectionLock list(m_ListLock);
    for (Owned& entry : m_Entries)
        (void)entry.release();
    m_Entries.clear();
}

bool FCache::SetSizeLimit(uint32_t bytes)
{
    {
        FCriticalSectionLock list(m_ListLock);
        m_ulSizeLimit = bytes;
    }
    return EvictTo(bytes);
}

uint32_t FCache::GetSizeLimit()
{
    FCriticalSectionLock list(m_ListLock);
    return m_ulSizeLimit;
}

bool FCache::Contains(const FString& label, uint64_t size)
{
    FCriticalSectionLock list(m_ListLock);
    return Find(label, size) != nullptr;
}

FICacheObject* FCache::Allocate(const FString& label, uint64_t size)
{
    // Each pass either answers or evicts at least one entry; evicted entries
    // are called back and freed outside the locks, then the label is looked up
    // again, since another thread may have made it meanwhile.
    for (;;) {
        std::vector<Owned> victims;
        FCacheObject* result = nullptr;
        FCacheCallback moved = nullptr;
        bool remap = false;
        {
            FCriticalSectionLock alloc(m_AllocLock);
            bool full = false;
            {
                FCriticalSectionLock list(m_ListLock);
                result = Find(label, size);
                if (result) {
                    remap = result->BeginLock(moved);
                } else if (size == 0) {
                    return nullptr;
                } else if (size >= m_ulSizeLimit || m_ulSizeLimit - size <= kEntryOverhead) {
                    full = true;
                } else {
                    const uint64_t target = m_ulSizeLimit - size - kEntryOverhead;
                    full = !MakeRoom(target, victims);
                }
            }
            if (full) {
                ReportFull(label, size);
                return nullptr;
            }
            if (!result && victims.empty())
                return CreateEntry(label, size);
        }
        if (result) {
            result->EndLock(remap, moved);
            return result;
        }
        ReleaseEntries(victims);
    }
}

FArray<FString> FCache::GetLabels()
{
    FArray<FString> labels;
    FCriticalSectionLock list(m_ListLock);
    for (const Owned& entry : m_Entries)
        labels.Append(entry->m_Label);
    return labels;
}

void FCache::DebugDump()
{
    FCriticalSectionLock list(m_ListLock);
    DumpLocked();
}

uint64_t FCache::GetUsedBytes()
{
    FCriticalSectionLock list(m_ListLock);
    return m_UsedBytes;
}

bool FCache::EvictTo(uint64_t target)
{
    for (;;) {
        Owned victim;
        {
            FCriticalSectionLock list(m_ListLock);
            if (m_UsedBytes <= target)
                return true;
            FCacheObject* candidate = FindEvictionCandidate();
            if (!candidate)
                return false;
            victim = Unlink(candidate);
        }
        ReleaseEntry(std::move(victim));
    }
}

bool FCache::EvictOne()
{
    Owned victim;
    {
        FCriticalSectionLock list(m_ListLock);
        FCacheObject* candidate = FindEvictionCandidate();
        if (!candidate)
            return false;
        victim = Unlink(candidate);
    }
    ReleaseEntry(std::move(victim));
    return true;
}

bool FCache::Shrink()
{
    uint32_t limit;
    {
        FCriticalSectionLock list(m_ListLock);
        limit = m_ulSizeLimit;
    }
    return EvictTo(limit);
}

FCacheObject* FCache::Find(const FString& label, uint64_t size)
{
    for (const Owned& entry : m_Entries) {
        if ((size == 0 || entry->m_ulSize == size) && entry->m_Label == label)
            return entry.get();
    }
    return nullptr;
}

FCacheObject* FCache::FindEvictionCandidate()
{
    // Strictly lower wins, so the first of equal priorities is taken and an
    // entry of priority 0xFFFFFFFF never is.
    FCacheObject* candidate = nullptr;
    uint32_t lowest = kNeverEvicted;
    for (const Owned& entry : m_Entries) {
        if (entry->m_iLockCount == 0 && entry->m_ulPriority < lowest) {
            lowest = entry->m_ulPriority;
            candidate = entry.get();
        }
    }
    return candidate;
}

FCache::Owned FCache::Unlink(FCacheObject* entry)
{
    for (auto it = m_Entries.begin(); it != m_Entries.end(); ++it) {
        if (it->get() == entry) {
            Owned owned = std::move(*it);
            m_Entries.erase(it);
            m_UsedBytes -= owned->m_ulSize + kEntryOverhead;
            return owned;
        }
    }
    return nullptr;
}

bool FCache::MakeRoom(uint64_t target, std::vector<Owned>& victims)
{
    if (m_UsedBytes <= target)
        return true;
    // Nothing is evicted unless enough can be: a refused request leaves the
    // cache as it was.
    uint64_t evictable = 0;
    for (const Owned& entry : m_Entries) {
        if (entry->m_iLockCount == 0 && entry->m_ulPriority != kNeverEvicted)
            evictable += entry->m_ulSize + kEntryOverhead;
    }
    if (m_UsedBytes - evictable > target)
        return false;
    victims.reserve(m_Entries.size());
    while (m_UsedBytes > target)
        victims.push_back(Unlink(FindEvictionCandidate()));
    return true;
}

void FCache::DumpLocked()
{
    DebugPrintf("FCache debug dump:\nCache size: %u\nIn use: %llu\n=========================\n",
                m_ulSizeLimit, static_cast<unsigned long long>(m_UsedBytes));
    int index = 0;
    for (const Owned& entry : m_Entries) {
        DebugPrintf("Entry %d: '%s' size %u ptr 0x%08llX refcount %d priority %u\n", index++,
                    LabelForDiagnostics(entry->m_Label).c_str(), entry->m_ulSize,
                    static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(entry->m_pBlock)),
                    entry->m_iLockCount, entry->m_ulPriority);
    }
    DebugPrintf("=========================\n");
}

FCacheObject* FCache::CreateEntry(const FString& label, uint64_t size)
{
    Owned entry;
    try {
        entry.reset(new FCacheObject(this, label, static_cast<uint32_t>(size)));
        if (m_pAllocator) {
            entry->m_pAllocator = m_pAllocator;
        } else {
            entry->m_pAllocator = AcquireMemoryAllocator(CacheOutOfMemoryCallback);
            if (!entry->m_pAllocator)
                throw std::bad_alloc();
            entry->m_bAllocatorAcquired = true;
        }
        entry->m_pBlock = entry->m_pAllocator->Alloc(static_cast<size_t>(size));
        if (!entry->m_pBlock)
            throw std::bad_alloc();
        FCriticalSectionLock list(m_ListLock);
        m_Entries.push_back(std::move(entry));
        m_UsedBytes += size + kEntryOverhead;
        return m_Entries.back().get();
    } catch (...) {
        // Whatever was made of the entry goes again; the list is unchanged.
        if (entry) {
            if (entry->m_pBlock)
                entry->m_pAllocator->Free(entry->m_pBlock);
            if (entry->m_bAllocatorAcquired)
                ReleaseMemoryAllocatorNoThrow(entry->m_pAllocator);
        }
        DebugPrintf("Allocation of cache obj failed!. Size Requested = %llu\n",
                    static_cast<unsigned long long>(size));
        return nullptr;
    }
}

void FCache::ReportFull(const FString& label, uint64_t size)
{
    DebugPrintf("Cache is full! Label = '%s' Size Requested = %llu\n", LabelForDiagnostics(label).c_str(),
                static_cast<unsigned long long>(size));
    DebugDump();
}

void FCache::ReleaseEntry(Owned entry)
{
    // The entry is out of the list and unlocked: no other thread reaches it.
    if (entry->m_pfnRelease) {
        if (entry->RefreshAddress() && entry->m_pfnMoved)
            RunCallback(entry->m_pfnMoved, entry.get(), "moved");
        RunCallback(entry->m_pfnRelease, entry.get(), "release");
    }
    entry->m_pAllocator->Free(entry->m_pBlock);
    if (entry->m_bAllocatorAcquired)
        ReleaseMemoryAllocatorNoThrow(entry->m_pAllocator);
}

void FCache::ReleaseEntries(std::vector<Owned>& entries)
{
    for (Owned& entry : entries)
        ReleaseEntry(std::move(entry));
    entries.clear();
}

void FCache::FinishRemap(FCacheObject* entry)
{
    {
        std::lock_guard<std::mutex> gate(m_RemapMutex);
        entry->m_bRemapping.store(false, std::memory_order_release);
    }
    m_RemapDone.notify_all();
}

void FCache::WaitForRemap(FCacheObject* entry)
{
    std::unique_lock<std::mutex> gate(m_RemapMutex);
    // The remapping thread may lock its own entry from inside the callback.
    if (entry->m_RemapThread == std::this_thread::get_id())
        return;
    m_RemapDone.wait(gate, [entry] { return !entry->m_bRemapping.load(std::memory_order_acquire); });
}

// ---------------------------------------------------------------------------

FICache* GetGlobalCache()
{
    return &GlobalCache();
}

bool CacheOutOfMemoryCallback()
{
    return GlobalCache().EvictOne();
}
