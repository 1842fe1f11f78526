#pragma once
// Counts the bytes a benchmark program holds on the heap, so a benchmark can
// report the most memory a piece of work held at once. Every allocation is
// counted: the program's own malloc family (malloc, calloc, realloc, free,
// aligned_alloc, posix_memalign, memalign, valloc, pvalloc) replaces the C
// library's for the whole process, libraries included, and hands the work to
// the C library's own functions. operator new, the large work blocks
// (aligned_alloc) and the blocks the C library maps for large requests all
// pass through it. Include it in one file of a program only (each benchmark
// program is one file).
#include <malloc.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

namespace countedallocations {

inline std::atomic<int64_t> g_LiveBytes{0};
inline std::atomic<int64_t> g_PeakBytes{0};

inline void Add(int64_t bytes)
{
    const int64_t live = g_LiveBytes += bytes;
    int64_t peak = g_PeakBytes.load(std::memory_order_relaxed);
    while (live > peak && !g_PeakBytes.compare_exchange_weak(peak, live, std::memory_order_relaxed)) {
    }
}

inline void* Counted(void* block)
{
    if (block)
        Add(int64_t(malloc_usable_size(block)));
    return block;
}

inline void Uncount(void* block)
{
    if (block)
        g_LiveBytes -= int64_t(malloc_usable_size(block));
}

} // namespace countedallocations

// Measures from its construction: Bytes() is the most held at once since then,
// above what was held when it began.
class PeakAllocation {
public:
    PeakAllocation() : m_Before(countedallocations::g_LiveBytes.load())
    {
        countedallocations::g_PeakBytes = m_Before;
    }
    int64_t Bytes() const { return countedallocations::g_PeakBytes.load() - m_Before; }

private:
    int64_t m_Before;
};

extern "C" {

void* malloc(size_t size) noexcept { return countedallocations::Counted(__libc_malloc(size)); }

void* calloc(size_t count, size_t size) noexcept { return countedallocations::Counted(__libc_calloc(count, size)); }

void* realloc(void* block, size_t size) noexcept
{
    // The old block is given back only when the new one could be had.
    const int64_t before = block ? int64_t(malloc_usable_size(block)) : 0;
    void* moved = __libc_realloc(block, size);
    if (moved || size == 0) {
        countedallocations::g_LiveBytes -= before;
        countedallocations::Counted(moved);
    }
    return moved;
}

void free(void* block) noexcept
{
    countedallocations::Uncount(block);
    __libc_free(block);
}

void* memalign(size_t alignment, size_t size) noexcept
{
    return countedallocations::Counted(__libc_memalign(alignment, size));
}

void* aligned_alloc(size_t alignment, size_t size) noexcept { return memalign(alignment, size); }

int posix_memalign(void** block, size_t alignment, size_t size) noexcept
{
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    void* allocated = memalign(alignment, size);
    if (!allocated && size != 0)
        return ENOMEM;
    *block = allocated;
    return 0;
}

void* valloc(size_t size) noexcept { return memalign(4096, size); }

void* pvalloc(size_t size) noexcept { return memalign(4096, (size + 4095) / 4096 * 4096); }

} // extern "C"
