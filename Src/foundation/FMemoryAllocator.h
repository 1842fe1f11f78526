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

// Image buffers and cache blocks of kLargeBlockBytes or more are aligned to
// huge pages and offered to the system for them: a developed picture's fresh
// images would otherwise fault in one 4 KiB page at a time, which costs more
// than much of the work done in them.
class FMemoryAllocator : public FIMemoryAllocator {
public:
    static constexpr size_t kLargeBlockBytes = size_t{4} << 20;

    void* Alloc(size_t byteCount) override;
    void Free(void* block) override;
    void* Lock(void* block) override { return block; }
    bool DiscardWhenUnlocked() override { return false; }
};

// The bytes of a huge page of the system.
inline constexpr size_t kHugePageBytes = size_t{2} << 20;

// Offers the whole huge pages inside the block to the system as huge pages.
// Only advice: where the system does not give them, the memory stays ordinary.
void AdviseHugePages(void* block, size_t bytes);

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
