#include "managers/IPMCacheEntry.h"

#include "foundation/FAssert.h"
#include "foundation/FCache.h"
#include "foundation/FException.h"
#include "foundation/FImage.h"
#include "foundation/FPixmap.h"
#include "foundation/FString.h"
#include "foundation/FSync.h"

#include <atomic>
#include <cstring>
#include <new>

namespace {

constexpr size_t kAlignment = 16;

constexpr size_t AlignUp(size_t size) { return (size + kAlignment - 1) / kAlignment * kAlignment; }

constexpr size_t kPixmapHeaderBytes = AlignUp(sizeof(FPixmapEntryHeader));
constexpr size_t kLUTHeaderBytes = AlignUp(sizeof(FLUTEntryHeader));

struct PixmapLayout {
    size_t pixmapHeaderBytes; // the FPixmap object, padded
    int32_t rowBytes;
};

PixmapLayout LayoutOf(int32_t pixelType, int32_t width, int32_t height)
{
    int32_t headerSize = 0;
    int32_t rowBytes = 0;
    GetFPixmapSizes(pixelType, width, height, headerSize, rowBytes);
    return {AlignUp(size_t(headerSize)), rowBytes};
}

uint8_t* BlockOf(FICacheObject* entry) { return static_cast<uint8_t*>(entry->GetData()); }

// Maps the pixmap header over the rows that follow it, at the block's
// current address.
void MapPixmap(FICacheObject* entry, int32_t pixelType, int32_t width, int32_t height)
{
    uint8_t* block = BlockOf(entry);
    const PixmapLayout layout = LayoutOf(pixelType, width, height);
    uint8_t* headerMemory = block + kPixmapHeaderBytes;
    PixmapEntryHeader(entry)->m_pPixmap = MapFPixmapHeader(headerMemory, pixelType, width, height, layout.rowBytes,
                                                           headerMemory + layout.pixmapHeaderBytes);
}

void FixPixmapCacheEntry(FICacheObject* entry)
{
    // The pixmap object was copied with the block; only its addresses are
    // stale, so it is built again in place from what it holds.
    auto* stale = reinterpret_cast<FPixmap*>(BlockOf(entry) + kPixmapHeaderBytes);
    const int32_t type = stale->GetPixelType();
    const int32_t width = stale->m_iColumns;
    const int32_t height = stale->m_iRows;
    MapPixmap(entry, type, width, height);
}

void ReleasePixmapCacheEntry(FICacheObject* entry)
{
    FPixmapEntryHeader* header = PixmapEntryHeader(entry);
    delete header->m_pMutex;
    header->m_pMutex = nullptr;
    if (FImage* scratch = header->m_pScratch) {
        header->m_pScratch = nullptr;
        scratch->Release();
    }
    if (header->m_pPixmap) {
        header->m_pPixmap->~FPixmap();
        header->m_pPixmap = nullptr;
    }
}

void FixLUTCacheEntry(FICacheObject* entry)
{
    LUTEntryHeader(entry)->m_pTable = reinterpret_cast<int16_t*>(BlockOf(entry) + kLUTHeaderBytes);
}

void ReleaseLUTCacheEntry(FICacheObject* entry)
{
    FLUTEntryHeader* header = LUTEntryHeader(entry);
    delete header->m_pMutex;
    header->m_pMutex = nullptr;
}

} // namespace

std::mutex& CacheEntryCreationLock()
{
    static std::mutex lock;
    return lock;
}

FICacheObject* FindCacheEntry(const FString& label)
{
    std::lock_guard lock(CacheEntryCreationLock());
    return GetGlobalCache()->Allocate(label, 0);
}

bool IsEntryDone(const bool& doneFlag)
{
    return std::atomic_ref<bool>(const_cast<bool&>(doneFlag)).load(std::memory_order_acquire);
}

void SetEntryDone(bool& doneFlag, bool done)
{
    std::atomic_ref<bool>(doneFlag).store(done, std::memory_order_release);
}

FPixmapEntryHeader* PixmapEntryHeader(FICacheObject* entry)
{
    return static_cast<FPixmapEntryHeader*>(entry->GetData());
}

FLUTEntryHeader* LUTEntryHeader(FICacheObject* entry)
{
    return static_cast<FLUTEntryHeader*>(entry->GetData());
}

uint64_t PixmapCacheEntrySize(int32_t pixelType, int32_t width, int32_t height)
{
    const PixmapLayout layout = LayoutOf(pixelType, width, height);
    return kPixmapHeaderBytes + layout.pixmapHeaderBytes + uint64_t(uint32_t(height)) * uint32_t(layout.rowBytes);
}

uint64_t LUTCacheEntrySize(bool colorLUT)
{
    return kLUTHeaderBytes + uint64_t(kLUTEntries) * sizeof(int16_t) * (colorLUT ? 3 : 1);
}

FICacheObject* GetPixmapCacheEntry(const FString& label, int32_t pixelType, int32_t width, int32_t height)
{
    if (width < 0 || height < 0)
        return nullptr;
    uint64_t size = 0;
    try {
        size = PixmapCacheEntrySize(pixelType, width, height);
    } catch (const FException&) {
        return nullptr;
    }
    std::lock_guard lock(CacheEntryCreationLock());
    FICache* cache = GetGlobalCache();
    if (FICacheObject* existing = cache->Allocate(label, 0))
        return existing;
    FICacheObject* entry = cache->Allocate(label, size);
    if (!entry)
        return nullptr;
    auto* header = new (entry->GetData()) FPixmapEntryHeader{};
    try {
        header->m_pMutex = new FMutex;
    } catch (...) {
        ForgetCacheEntry(entry);
        entry->Unlock();
        return nullptr;
    }
    MapPixmap(entry, pixelType, width, height);
    entry->SetMovedCallback(FixPixmapCacheEntry);
    entry->SetReleaseCallback(ReleasePixmapCacheEntry);
    return entry;
}

FICacheObject* GetLUTCacheEntry(const FString& label, bool colorLUT)
{
    std::lock_guard lock(CacheEntryCreationLock());
    FICache* cache = GetGlobalCache();
    if (FICacheObject* existing = cache->Allocate(label, 0))
        return existing;
    FICacheObject* entry = cache->Allocate(label, LUTCacheEntrySize(colorLUT));
    if (!entry)
        return nullptr;
    auto* header = new (entry->GetData()) FLUTEntryHeader{};
    header->m_bColorLUT = colorLUT;
    try {
        header->m_pMutex = new FMutex;
    } catch (...) {
        ForgetCacheEntry(entry);
        entry->Unlock();
        return nullptr;
    }
    FixLUTCacheEntry(entry);
    entry->SetMovedCallback(FixLUTCacheEntry);
    entry->SetReleaseCallback(ReleaseLUTCacheEntry);
    return entry;
}

bool AttachScratchPixmap(FICacheObject* entry, int32_t pixelType, int32_t width, int32_t rows)
{
    FImage* scratch = nullptr;
    try {
        scratch = new FImage(width, rows, pixelType, 1);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const FException&) {
        return false;
    }
    FPixmapEntryHeader* header = PixmapEntryHeader(entry);
    if (FImage* old = header->m_pScratch)
        old->Release();
    header->m_pScratch = scratch;
    return true;
}

void ForgetCacheEntry(FICacheObject* entry)
{
    entry->SetLabel(FString());
    entry->SetPriority(0);
}
