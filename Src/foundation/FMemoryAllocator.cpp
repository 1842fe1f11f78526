#include "foundation/FMemoryAllocator.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>

#include "foundation/FAssert.h"

namespace {

// Guards the allocator's creation and the holder count: images and cache
// blocks come and go on every thread.
std::mutex& AllocatorLock()
{
    static std::mutex lock;
    return lock;
}

FMemoryAllocator* staMemoryAllocator = nullptr;
uint32_t staulMemoryAllocatorRefCount = 0;

} // namespace

void* FMemoryAllocator::Alloc(size_t byteCount)
{
    // No object can be this large; refusing here keeps absurd sizes (a negative
    // count turned unsigned) away from the heap.
    if (byteCount > static_cast<size_t>(PTRDIFF_MAX))
        throw std::bad_alloc();
    void* block = nullptr;
    if (byteCount < kLargeBlockBytes) {
        block = std::malloc(byteCount > 0 ? byteCount : 1);
    } else if (posix_memalign(&block, kHugePageBytes, byteCount) == 0) {
        AdviseHugePages(block, byteCount);
    } else {
        block = nullptr;
    }
    if (!block)
        throw std::bad_alloc();
    return block;
}

void FMemoryAllocator::Free(void* block)
{
    std::free(block);
}

void AdviseHugePages(void* block, size_t bytes)
{
    const uintptr_t start = reinterpret_cast<uintptr_t>(block);
    const uintptr_t first = (start + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
    const uintptr_t end = (start + bytes) / kHugePageBytes * kHugePageBytes;
    if (block && end > first)
        (void)madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

FIMemoryAllocator* AcquireMemoryAllocator(FOutOfMemoryCallback /*onOutOfMemory*/)
{
    std::lock_guard<std::mutex> guard(AllocatorLock());
    if (!staMemoryAllocator) {
        staMemoryAllocator = new (std::nothrow) FMemoryAllocator;
        if (!staMemoryAllocator)
            return nullptr;
    }
    ++staulMemoryAllocatorRefCount;
    return staMemoryAllocator;
}

namespace {

// assertionFlags decide whether a release without holders throws (0) or is only
// reported (ASSERT_FLAG_ASSUMPTION).
bool ReleaseHolder(FIMemoryAllocator*& holder, uint32_t assertionFlags)
{
    std::unique_lock<std::mutex> guard(AllocatorLock());
    if (staulMemoryAllocatorRefCount == 0) {
        guard.unlock();
        AssertionFailed("FMemoryAllocator", 62, "staulMemoryAllocatorRefCount", assertionFlags, 0);
        return false;
    }
    if (holder != staMemoryAllocator) {
        DebugPrintf("ReleaseMemoryAllocator: %p is not a holder of the allocator\n", static_cast<void*>(holder));
        return false;
    }
    holder = nullptr;
    if (--staulMemoryAllocatorRefCount == 0) {
        delete staMemoryAllocator;
        staMemoryAllocator = nullptr;
    }
    return true;
}

} // namespace

void ReleaseMemoryAllocator(FIMemoryAllocator*& holder)
{
    ReleaseHolder(holder, 0);
}

bool ReleaseMemoryAllocatorNoThrow(FIMemoryAllocator*& holder) noexcept
{
    try {
        return ReleaseHolder(holder, ASSERT_FLAG_ASSUMPTION);
    } catch (...) { // only the report itself could fail, for want of memory
        return false;
    }
}

uint32_t GetMemoryAllocatorRefCount()
{
    std::lock_guard<std::mutex> guard(AllocatorLock());
    return staulMemoryAllocatorRefCount;
}
