#pragma once
// The process-wide allocator of image buffers and cache blocks.
//
// The interface allows movable or discardable memory; the one implementation is
// the plain heap, so Lock returns its argument and nothing is discarded.
// Holders acquire the allocator and release it through their own pointer; the
// allocator lives while at least one holder has it.

#include <cstddef>
#include <cstdint>

class FIMemoryAllocator {
public:
    // Throws std::bad_alloc when the bytes cannot be had.
    virtual void* Alloc(size_t byteCount) = 0;
    // Null is ignored.
    virtual void Free(void* block) = 0;
    // The block's current address (it may differ from the one given when the
    // allocator moves memory).
    virtual void* Lock(void* block) = 0;
    // True when a block may be discarded as soon as its last lock is released.
    virtual bool DiscardWhenUnlocked() = 0;
    virtual ~FIMemoryAllocator() = default;
};

class FMemoryAllocator : public FIMemoryAllocator {
public:
    void* Alloc(size_t byteCount) override;
    void Free(void* block) override;
    void* Lock(void* block) override { return block; }
    bool DiscardWhenUnlocked() override { return false; }
};

// Asked to free some memory when an allocation does not fit; true when it did.
using FOutOfMemoryCallback = bool (*)();

// Creates the allocator on first use and counts one more holder. The callback
// is accepted for allocators that can use it; the heap allocator does not.
// Null only when the allocator object itself cannot be allocated.
FIMemoryAllocator* AcquireMemoryAllocator(FOutOfMemoryCallback onOutOfMemory = nullptr);

// Counts one holder less, clears the holder's pointer and deletes the allocator
// with its last holder. Releasing with no holder left is an ASSERTION failure
// (throws FException). A pointer that is not the allocator (null after an
// earlier release, or another object) releases nothing, so a holder that
// releases twice cannot take away another holder's share.
void ReleaseMemoryAllocator(FIMemoryAllocator*& holder);

// The same release for destructors, which must never throw: a release with no
// holder left is only reported (as an ASSUMPTION). False when nothing was
// released.
bool ReleaseMemoryAllocatorNoThrow(FIMemoryAllocator*& holder) noexcept;

// Number of holders right now.
uint32_t GetMemoryAllocatorRefCount();
